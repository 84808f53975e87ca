// X files through Assimp. The importer turns the file into right-handed
// space (z negated, winding reversed, v flipped) and splits each mesh by
// material; this undoes the conversion so the game sees the file's own
// coordinates, and merges everything into one mesh with one subset per
// material. The importer gives every face corner its own vertex; the corners
// the file shared are joined again (see WeldCorners).
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>

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
bool FileListsMaterials(std::string_view bytes) {
  if (bytes.size() >= 12) {
    std::string_view format = bytes.substr(8, 4);
    if (format == "tzip" || format == "bzip") return true;
  }
  return bytes.find("MeshMaterialList") != std::string_view::npos;
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

// A corner's bytes as the vertex stores them: position, normal, texture
// coordinates.
struct CornerBits {
  uint32_t bits[8];
  bool operator==(const CornerBits& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};
struct CornerBitsHash {
  size_t operator()(const CornerBits& k) const {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t b : k.bits) h = (h ^ b) * 1099511628211ull;
    return size_t(h);
  }
};

CornerBits BitsOf(const Corner& c) {
  const float values[8] = {c.position.x, c.position.y, c.position.z, c.normal.x,
                           c.normal.y,   c.normal.z,   c.uv.x,       c.uv.y};
  CornerBits k;
  std::memcpy(k.bits, values, sizeof k.bits);
  return k;
}

struct Welded {
  std::vector<uint32_t> firstCorner;  // per vertex, the corner it was made from
  std::vector<uint32_t> indices;      // per face corner, in the gathered order
};

// Equal bytes alone are not enough: frames of one animation are separate
// files, and two corners that only meet in one pose (a hand on a knee) would
// be joined in that frame alone, leaving its vertices out of step with the
// others. So two faces that share an edge, both ends equal, join their ends;
// that follows the file's own connectivity, which every frame shares. A
// vertex is each group joined this way, numbered by first use.
Welded WeldCorners(const Gathered& g) {
  std::unordered_map<CornerBits, uint32_t, CornerBitsHash> ids;
  std::vector<uint32_t> id(g.corners.size());
  for (size_t c = 0; c < g.corners.size(); ++c) {
    id[c] = ids.try_emplace(BitsOf(g.corners[c]), uint32_t(ids.size())).first->second;
  }
  std::vector<uint32_t> parent(g.corners.size());
  std::iota(parent.begin(), parent.end(), 0u);
  auto find = [&](uint32_t c) {
    while (parent[c] != c) c = parent[c] = parent[parent[c]];
    return c;
  };
  auto unite = [&](uint32_t a, uint32_t b) {
    a = find(a), b = find(b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  };
  // edge by the ids of its ends (lower first) -> the corners of its first face
  std::unordered_map<uint64_t, std::pair<uint32_t, uint32_t>> edges;
  for (size_t f = 0; f + 2 < g.indices.size(); f += 3) {
    for (int e = 0; e < 3; ++e) {
      uint32_t a = g.indices[f + e], b = g.indices[f + (e + 1) % 3];
      if (id[a] == id[b]) continue;  // a collapsed edge says nothing
      if (id[a] > id[b]) std::swap(a, b);
      auto [it, added] = edges.try_emplace((uint64_t(id[a]) << 32) | id[b], a, b);
      if (added) continue;
      unite(it->second.first, a);
      unite(it->second.second, b);
    }
  }
  Welded w;
  std::vector<uint32_t> vertexOf(g.corners.size(), ~0u);
  w.indices.reserve(g.indices.size());
  for (uint32_t c : g.indices) {
    uint32_t& v = vertexOf[find(c)];
    if (v == ~0u) {
      v = uint32_t(w.firstCorner.size());
      w.firstCorner.push_back(c);
    }
    w.indices.push_back(v);
  }
  return w;
}

// The importer takes the counts of a mesh's vertices and faces, a mesh's
// normals and a bone's weights from the file and reserves room for them
// before it reads a single entry, and objects nest as deep as the file says,
// a call per level. Before it sees a text file, the file is split into
// tokens as the importer splits it, and each such count is held to the
// file's size in bytes (every entry takes more than one) and the nesting to
// kMaxModelNesting.
std::vector<std::string_view> XTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '#' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == ';' || c == ',' || c == '{' || c == '}') {
      tokens.push_back(text.substr(i++, 1));
    } else {
      const size_t start = i;
      while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
             text[i] != ';' && text[i] != ',' && text[i] != '{' && text[i] != '}') {
        ++i;
      }
      tokens.push_back(text.substr(start, i - start));
    }
  }
  return tokens;
}

bool IsDelimiter(std::string_view token) {
  return token == ";" || token == "," || token == "{" || token == "}";
}

// The number the importer reads at the start of a token: an optional minus,
// digits, wrapping as its unsigned arithmetic wraps.
uint32_t ImporterInt(std::string_view token) {
  const bool negative = !token.empty() && token[0] == '-';
  uint32_t value = 0;
  for (size_t i = negative ? 1 : 0; i < token.size() && std::isdigit(static_cast<unsigned char>(token[i])); ++i) {
    value = value * 10 + uint32_t(token[i] - '0');
  }
  return negative ? 0u - value : value;
}

bool CountsFit(std::string_view text, std::string* why) {
  const std::vector<std::string_view> tokens = XTokens(text);
  const uint64_t limit = text.size();
  // The next token that is not a delimiter, from i on; tokens.size() if none.
  auto value = [&](size_t i) {
    while (i < tokens.size() && IsDelimiter(tokens[i])) ++i;
    return i;
  };
  // The last token of the number at i as the importer reads a float: a
  // comma right after whole digits and right before a digit is its decimal
  // point, so "0,5" is one number, not two.
  auto floatEnd = [&](size_t i) {
    if (i + 2 >= tokens.size()) return i;
    const std::string_view whole = tokens[i], comma = tokens[i + 1], fraction = tokens[i + 2];
    const bool digitsOnly = !whole.empty() && whole.find_first_not_of("+-0123456789") == std::string_view::npos;
    const bool adjacent = comma == "," && comma.data() == whole.data() + whole.size() &&
                          fraction.data() == comma.data() + 1 && std::isdigit(static_cast<unsigned char>(fraction[0]));
    return digitsOnly && adjacent ? i + 2 : i;
  };
  auto countAt = [&](size_t i, const char* what) {
    if (i < tokens.size() && ImporterInt(tokens[i]) > limit) {
      *why = std::string("a ") + what + " count larger than the file";
      return false;
    }
    return true;
  };
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] == "{" && ++depth > kMaxModelNesting) {
      *why = "objects nested deeper than " + std::to_string(kMaxModelNesting);
      return false;
    }
    if (tokens[i] == "}") --depth;
    if (tokens[i] == "template") {
      // The importer reads a template's body as words up to its first '}'.
      while (i < tokens.size() && tokens[i] != "{") ++i;
      while (i < tokens.size() && tokens[i] != "}") ++i;
      continue;
    }
    const std::string_view name = tokens[i];
    if (name != "Mesh" && name != "MeshNormals" && name != "SkinWeights" &&
        name != "MeshMaterialList") {
      continue;
    }
    // "Name [object name] {"
    size_t open = i + 1;
    if (open < tokens.size() && tokens[open] != "{") ++open;
    if (open >= tokens.size() || tokens[open] != "{") continue;
    if (name == "MeshMaterialList") {
      // Faces name materials by number; the importer takes the first from
      // the list without looking whether it holds any.
      size_t at = value(value(open + 1) + 1);  // past the material count, at the index count
      for (uint32_t n = at < tokens.size() ? ImporterInt(tokens[at]) : 0; n > 0 && at < tokens.size(); --n) {
        at = value(at + 1);
      }
      // What follows as the importer reads it: materials, references
      // ("{ name }"), ';', and other objects it skips up to their block's end.
      bool listed = false;
      for (size_t t = at + 1; t < tokens.size() && tokens[t] != "}";) {
        if (tokens[t] == "{" || tokens[t] == "Material") {
          listed = true;
          break;
        }
        if (tokens[t] == ";") {
          ++t;
          continue;
        }
        while (t < tokens.size() && tokens[t] != "{") ++t;
        for (int level = 0; t < tokens.size(); ++t) {
          if (tokens[t] == "{") ++level;
          if (tokens[t] == "}" && --level == 0) {
            ++t;
            break;
          }
        }
      }
      if (!listed) {
        *why = "a material list that lists no material";
        return false;
      }
      continue;
    }
    if (name == "SkinWeights") {
      // A quoted frame name and ';' come first, read by characters.
      const size_t from = size_t(tokens[open].data() - text.data()) + 1;
      const size_t first = text.find('"', from);
      const size_t second = first == std::string_view::npos ? first : text.find('"', first + 1);
      if (second == std::string_view::npos) continue;
      size_t next = open + 1;
      while (next < tokens.size() && size_t(tokens[next].data() - text.data()) <= second) ++next;
      if (!countAt(value(next), "weight")) return false;
      continue;
    }
    const size_t count = value(open + 1);
    if (!countAt(count, name == "Mesh" ? "vertex" : "normal")) return false;
    if (count >= tokens.size()) continue;
    // Three numbers a vertex (or normal), the face count, then each face:
    // its corner count and corners. The importer lets a corner equal to the
    // vertex count through and then reads past the vertices (a corner of a
    // mesh without vertices, 0, reads from nowhere); a corner must name one
    // of them. A face without corners crashes it as well.
    const uint32_t vertices = ImporterInt(tokens[count]);
    size_t at = value(count + 1);  // the first coordinate, then past each
    for (uint64_t n = uint64_t(vertices) * 3; n > 0 && at < tokens.size(); --n) at = value(floatEnd(at) + 1);
    if (!countAt(at, "face")) return false;
    for (uint32_t faces = at < tokens.size() ? ImporterInt(tokens[at]) : 0; faces > 0; --faces) {
      at = value(at + 1);
      if (at >= tokens.size()) break;
      if (ImporterInt(tokens[at]) == 0) {
        *why = "a face without corners";
        return false;
      }
      for (uint32_t corners = ImporterInt(tokens[at]); corners > 0; --corners) {
        at = value(at + 1);
        if (at >= tokens.size()) break;
        if (ImporterInt(tokens[at]) >= vertices) {
          *why = std::string("a face corner past the ") + (name == "Mesh" ? "vertices" : "normals");
          return false;
        }
      }
      if (at >= tokens.size()) break;
    }
  }
  return true;
}

bool ReadableXFile(std::string_view bytes, std::string* error) {
  if (bytes.size() < 16 || bytes.substr(0, 4) != "xof ") return Fail(error, "not an X file");
  if (bytes.substr(8, 4) != "txt ") {
    return Fail(error, "a binary or compressed X file: only text X files are read");
  }
  std::string why;
  if (!CountsFit(bytes, &why)) return Fail(error, "the file gives " + why);
  return true;
}

}  // namespace

bool LoadMeshFromX(const std::string& hostPath, XFileMesh& out, std::string* error) {
  out = XFileMesh{};
  std::ifstream in(hostPath, std::ios::binary | std::ios::ate);
  if (!in) return Fail(error, "the file cannot be opened");
  const std::streamoff size = in.tellg();
  if (size < 0) return Fail(error, "the file cannot be read");
  if (uint64_t(size) > kMaxModelFileBytes) return Fail(error, "the file is larger than 16 MiB");
  std::string bytes(size_t(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return Fail(error, "the file cannot be read");
  return LoadMeshFromXMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out,
                             error);
}

bool LoadMeshFromXMemory(const uint8_t* data, size_t size, XFileMesh& out, std::string* error) {
  out = XFileMesh{};
  if (size > kMaxModelFileBytes) return Fail(error, "the file is larger than 16 MiB");
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!ReadableXFile(bytes, error)) return false;
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFileFromMemory(data, size, aiProcess_Triangulate, "x");
  if (!scene || !scene->mRootNode) return Fail(error, importer.GetErrorString());

  const bool useMaterials = scene->mNumMaterials > 0 && FileListsMaterials(bytes);
  Gathered g;
  GatherNode(*scene, *scene->mRootNode, aiMatrix4x4(), useMaterials, g);
  if (g.attributes.empty()) return Fail(error, "the file holds no triangles");
  bool missingNormals = false;
  for (const Corner& c : g.corners) missingNormals |= !c.hasNormal;
  if (missingNormals) {
    // before welding: computed normals are part of what makes corners equal
    std::vector<Vec3> positions(g.corners.size());
    for (size_t c = 0; c < g.corners.size(); ++c) positions[c] = g.corners[c].position;
    const std::vector<Vec3> computed = SmoothNormals(positions, g.indices);
    for (size_t c = 0; c < g.corners.size(); ++c) {
      if (!g.corners[c].hasNormal) g.corners[c].normal = computed[c];
    }
  }
  const Welded w = WeldCorners(g);
  if (w.firstCorner.size() > 0xFFFF) {
    return Fail(error, "the model has " + std::to_string(w.firstCorner.size()) +
                           " distinct vertices; 16-bit indices allow 65535");
  }

  XMesh mesh(kMeshFvf, uint32_t(w.firstCorner.size()), uint32_t(g.attributes.size()));
  for (uint32_t v = 0; v < w.firstCorner.size(); ++v) {
    const Corner& c = g.corners[w.firstCorner[v]];
    mesh.setPosition(v, c.position);
    mesh.setNormal(v, c.normal);
    mesh.setTexCoord(v, 0, c.uv);
  }
  std::copy(w.indices.begin(), w.indices.end(), mesh.indexData());
  mesh.attributes() = g.attributes;
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
