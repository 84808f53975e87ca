#include "tests/contentgen/pack_util.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace halvex::contentgen::test {

std::filesystem::path ContentDir() {
  const char* build = std::getenv("HALVEX_BINARY_DIR");
  return std::filesystem::path(build ? build : ".") / "bin" / "content";
}

std::filesystem::path PackFile(const std::string& gamePath) {
  std::string p = gamePath;
  std::replace(p.begin(), p.end(), '\\', '/');
  return ContentDir() / p;
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

LoadedModel LoadModel(const std::filesystem::path& file) {
  LoadedModel m;
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(
      file.string(), aiProcess_Triangulate | aiProcess_MakeLeftHanded | aiProcess_FlipWindingOrder);
  if (!scene) return m;
  for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
    aiString tex;
    m.textures.push_back(scene->mMaterials[i]->GetTexture(aiTextureType_DIFFUSE, 0, &tex) == AI_SUCCESS
                             ? tex.C_Str() : "");
    aiColor4D diffuse(1, 1, 1, 1);
    scene->mMaterials[i]->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    m.alpha.push_back(diffuse.a);
  }
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[i];
    const auto base = static_cast<unsigned>(m.positions.size());
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
      const glm::vec3 p(mesh->mVertices[v].x, mesh->mVertices[v].y, mesh->mVertices[v].z);
      m.positions.push_back(p);
      m.normals.push_back(mesh->HasNormals() ? glm::vec3(mesh->mNormals[v].x, mesh->mNormals[v].y, mesh->mNormals[v].z)
                                             : glm::vec3(0));
      m.lo = glm::min(m.lo, p);
      m.hi = glm::max(m.hi, p);
    }
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices != 3) return m;  // not a triangle: reported as a failed load
      m.faces.emplace_back(face.mIndices[0] + base, face.mIndices[1] + base, face.mIndices[2] + base);
      m.faceMaterial.push_back(mesh->mMaterialIndex);
    }
  }
  m.ok = true;
  return m;
}

std::string TileName(int tile) {
  return "world" + std::to_string(tile / 4 + 1) + std::to_string(tile % 4 + 1) + ".x";
}

std::vector<WorldTri> TileTriangles(const std::string& area, const char* kind, int tile) {
  const LoadedModel m = LoadModel(ContentDir() / "worlds" / area / kind / TileName(tile));
  auto world = [](glm::vec3 p) { return glm::vec3(p.x, p.z, -p.y); };
  std::vector<WorldTri> tris;
  for (const auto& f : m.faces)
    tris.push_back({world(m.positions[f.x]), world(m.positions[f.y]), world(m.positions[f.z])});
  return tris;
}

float RayHit(const std::vector<WorldTri>& tris, glm::vec3 o, glm::vec3 d, bool frontOnly) {
  float best = -1;
  for (const WorldTri& t : tris) {
    const glm::vec3 e1 = t.b - t.a, e2 = t.c - t.a, p = glm::cross(d, e2);
    if (frontOnly && glm::dot(glm::cross(e1, e2), d) >= 0) continue;
    const float det = glm::dot(e1, p);
    if (std::abs(det) < 1e-9f) continue;
    const glm::vec3 s = o - t.a;
    const float u = glm::dot(s, p) / det;
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(d, q) / det;
    const float dist = glm::dot(e2, q) / det;
    if (u < 0 || v < 0 || u + v > 1 || dist < 0) continue;
    if (best < 0 || dist < best) best = dist;
  }
  return best;
}

// Closest-point test (Ericson, Real-Time Collision Detection 5.1.5).
float DistanceToTriangle(glm::vec3 p, const WorldTri& t) {
  const glm::vec3 a = t.a, b = t.b, c = t.c;
  const glm::vec3 ab = b - a, ac = c - a, ap = p - a;
  const float d1 = glm::dot(ab, ap), d2 = glm::dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return glm::length(p - a);
  const glm::vec3 bp = p - b;
  const float d3 = glm::dot(ab, bp), d4 = glm::dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return glm::length(p - b);
  const float vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return glm::length(p - (a + ab * (d1 / (d1 - d3))));
  const glm::vec3 cp = p - c;
  const float d5 = glm::dot(ab, cp), d6 = glm::dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return glm::length(p - c);
  const float vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return glm::length(p - (a + ac * (d2 / (d2 - d6))));
  const float va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
    return glm::length(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
  const float denom = 1.0f / (va + vb + vc);
  return glm::length(p - (a + ab * (vb * denom) + ac * (vc * denom)));
}

}  // namespace halvex::contentgen::test
