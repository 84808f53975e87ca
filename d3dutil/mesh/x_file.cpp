// X files through Assimp. The importer turns the file into right-handed
// space (z negated, winding reversed, v flipped) and splits each mesh by
// material; this undoes the conversion so the game sees the file's own
// coordinates, and merges everything into one mesh with one subset per
// material. Vertices are never welded: every face corner stays a vertex.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "d3dutil/mesh/x_mesh.h"

namespace halvex {

namespace {

struct Corner {
  Vec3 position;
  Vec3 normal;
  Vec2 uv;
  bool hasNormal;
};

struct Gathered {
  std::vector<Corner> corners;
  std::vector<uint32_t> indices;
  std::vector<DWORD> attributes;
};

// Assimp leaves a default material where a file has none; the file's own
// bytes tell whether it lists materials (compressed files cannot be read
// this way and keep what Assimp gives).
bool FileListsMaterials(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 12) {
    std::string format = bytes.substr(8, 4);
    if (format == "tzip" || format == "bzip") return true;
  }
  return bytes.find("MeshMaterialList") != std::string::npos;
}

gfx::D3DCOLORVALUE Color(const aiMaterial& m, const char* key, unsigned type, unsigned index,
                         float defaultAlpha) {
  aiColor4D c(0.0f, 0.0f, 0.0f, defaultAlpha);
  if (m.Get(key, type, index, c) != AI_SUCCESS) c = aiColor4D(0.0f, 0.0f, 0.0f, defaultAlpha);
  return gfx::D3DCOLORVALUE{c.r, c.g, c.b, c.a};
}

XMaterial ConvertMaterial(const aiMaterial& m) {
  XMaterial out;
  out.matD3D.Diffuse = Color(m, AI_MATKEY_COLOR_DIFFUSE, 1.0f);
  out.matD3D.Specular = Color(m, AI_MATKEY_COLOR_SPECULAR, 1.0f);
  out.matD3D.Emissive = Color(m, AI_MATKEY_COLOR_EMISSIVE, 1.0f);
  out.matD3D.Ambient = out.matD3D.Diffuse;
  float power = 0.0f;
  if (m.Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) out.matD3D.Power = power;
  aiString texture;
  if (m.GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) {
    out.textureFilename = texture.C_Str();
  }
  return out;
}

void GatherNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent,
                bool useMaterials, Gathered& g) {
  aiMatrix4x4 transform = parent * node.mTransformation;
  aiMatrix3x3 normalTransform = aiMatrix3x3(transform);
  normalTransform.Inverse().Transpose();
  for (unsigned i = 0; i < node.mNumMeshes; ++i) {
    const aiMesh& mesh = *scene.mMeshes[node.mMeshes[i]];
    const uint32_t base = uint32_t(g.corners.size());
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
      Corner c{};
      aiVector3D p = transform * mesh.mVertices[v];
      c.position = Vec3(p.x, p.y, -p.z);
      if (mesh.HasNormals()) {
        aiVector3D n = (normalTransform * mesh.mNormals[v]).NormalizeSafe();
        c.normal = Vec3(n.x, n.y, -n.z);
        c.hasNormal = true;
      }
      if (mesh.HasTextureCoords(0)) {
        c.uv = Vec2(mesh.mTextureCoords[0][v].x, 1.0f - mesh.mTextureCoords[0][v].y);
      }
      g.corners.push_back(c);
    }
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices != 3) continue;  // points and lines draw nothing
      // reversed back into the file's winding
      g.indices.push_back(base + face.mIndices[0]);
      g.indices.push_back(base + face.mIndices[2]);
      g.indices.push_back(base + face.mIndices[1]);
      g.attributes.push_back(useMaterials ? mesh.mMaterialIndex : 0);
    }
  }
  for (unsigned i = 0; i < node.mNumChildren; ++i) {
    GatherNode(scene, *node.mChildren[i], transform, useMaterials, g);
  }
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

bool LoadMeshFromX(const std::string& hostPath, XFileMesh& out, std::string* error) {
  out = XFileMesh{};
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(hostPath, aiProcess_Triangulate);
  if (!scene || !scene->mRootNode) return Fail(error, importer.GetErrorString());

  const bool useMaterials = scene->mNumMaterials > 0 && FileListsMaterials(hostPath);
  Gathered g;
  GatherNode(*scene, *scene->mRootNode, aiMatrix4x4(), useMaterials, g);
  if (g.attributes.empty()) return Fail(error, "the file holds no triangles");
  if (g.corners.size() > 0xFFFF) {
    return Fail(error, "the model needs " + std::to_string(g.corners.size()) +
                           " vertices; 16-bit indices allow 65535");
  }

  XMesh mesh(kMeshFvf, uint32_t(g.corners.size()), uint32_t(g.attributes.size()));
  bool missingNormals = false;
  for (uint32_t v = 0; v < g.corners.size(); ++v) {
    mesh.setPosition(v, g.corners[v].position);
    mesh.setNormal(v, g.corners[v].normal);
    mesh.setTexCoord(v, 0, g.corners[v].uv);
    missingNormals |= !g.corners[v].hasNormal;
  }
  std::copy(g.indices.begin(), g.indices.end(), mesh.indexData());
  mesh.attributes() = g.attributes;
  if (missingNormals) {
    XMesh computed;
    mesh.CloneFvf(kMeshFvf, computed);
    computed.ComputeNormals();
    for (uint32_t v = 0; v < g.corners.size(); ++v) {
      if (!g.corners[v].hasNormal) mesh.setNormal(v, computed.normal(v));
    }
  }
  mesh.BuildAttributeTable();

  if (useMaterials) {
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
      out.materials.push_back(ConvertMaterial(*scene->mMaterials[i]));
    }
  }
  out.adjacency = mesh.GenerateAdjacency();
  out.mesh = std::move(mesh);
  return true;
}

}  // namespace halvex
