#include "tools/contentgen/mesh.h"

#include <algorithm>
#include <cmath>

#include "tools/contentgen/common.h"

namespace halvex::contentgen {

uint32_t Mesh::AddMaterial(const Material& m) {
  materials.push_back(m);
  return static_cast<uint32_t>(materials.size() - 1);
}

uint32_t Mesh::AddVertex(glm::vec3 p, glm::vec3 n, glm::vec2 uv) {
  positions.push_back(p);
  const float len = glm::length(n);
  normals.push_back(len > 0 ? n / len : glm::vec3(0, 1, 0));
  uvs.push_back(uv);
  return static_cast<uint32_t>(positions.size() - 1);
}

// The winding follows the vertex normals, so every builder only has to get
// its normals right; triangles with no area are dropped.
void Mesh::AddTriangle(uint32_t a, uint32_t b, uint32_t c, uint32_t material) {
  const glm::vec3 e1 = positions[b] - positions[a], e2 = positions[c] - positions[a];
  const glm::vec3 n = glm::cross(e1, e2);
  if (glm::length(n) <= 1e-5f * glm::length(e1) * glm::length(e2)) return;
  const glm::vec3 avg = normals[a] + normals[b] + normals[c];
  if (glm::dot(n, avg) < 0) std::swap(b, c);
  faces.push_back({a, b, c});
  faceMaterial.push_back(material);
}

void Mesh::AddQuad(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, uint32_t material, glm::vec2 ta,
                   glm::vec2 tb, glm::vec2 tc, glm::vec2 td) {
  glm::vec3 n = glm::cross(b - a, c - a);
  if (glm::length(n) < 1e-9f) n = glm::cross(c - a, d - a);
  const uint32_t ia = AddVertex(a, n, ta), ib = AddVertex(b, n, tb), ic = AddVertex(c, n, tc),
                 id = AddVertex(d, n, td);
  AddTriangle(ia, ib, ic, material);
  AddTriangle(ia, ic, id, material);
}

void Mesh::AddQuadPlanar(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, uint32_t material,
                         float texelSize) {
  const glm::vec3 n = glm::cross(b - a, c - a);
  const glm::vec3 an = glm::abs(n);
  auto project = [&](glm::vec3 p) {
    if (an.y >= an.x && an.y >= an.z) return glm::vec2(p.x, p.z) / texelSize;
    if (an.x >= an.z) return glm::vec2(p.z, -p.y) / texelSize;
    return glm::vec2(p.x, -p.y) / texelSize;
  };
  AddQuad(a, b, c, d, material, project(a), project(b), project(c), project(d));
}

void Mesh::Transform(const glm::mat4& m) {
  const glm::mat3 r(m);
  for (auto& p : positions) p = glm::vec3(m * glm::vec4(p, 1.0f));
  for (auto& n : normals) n = glm::normalize(r * n);
}

void Mesh::Append(const Mesh& other) {
  const auto vbase = static_cast<uint32_t>(positions.size());
  const auto mbase = static_cast<uint32_t>(materials.size());
  positions.insert(positions.end(), other.positions.begin(), other.positions.end());
  normals.insert(normals.end(), other.normals.begin(), other.normals.end());
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  materials.insert(materials.end(), other.materials.begin(), other.materials.end());
  for (size_t i = 0; i < other.faces.size(); ++i) {
    const auto& f = other.faces[i];
    faces.push_back({f[0] + vbase, f[1] + vbase, f[2] + vbase});
    faceMaterial.push_back(other.faceMaterial[i] + mbase);
  }
}

glm::vec3 Mesh::BoundsMin() const {
  glm::vec3 lo(1e30f);
  for (const auto& p : positions) lo = glm::min(lo, p);
  return lo;
}

glm::vec3 Mesh::BoundsMax() const {
  glm::vec3 hi(-1e30f);
  for (const auto& p : positions) hi = glm::max(hi, p);
  return hi;
}

static void Remap(Mesh& mesh, glm::mat3 r) {
  for (auto& p : mesh.positions) p = r * p;
  for (auto& n : mesh.normals) n = r * n;
}

// glm matrices are column-major: each vec3 below is one column.
void ToTileFrame(Mesh& mesh) { Remap(mesh, glm::mat3({1, 0, 0}, {0, 0, 1}, {0, -1, 0})); }
void ToActorFrame(Mesh& mesh) { Remap(mesh, glm::mat3({-1, 0, 0}, {0, 0, 1}, {0, 1, 0})); }

void AddBox(Mesh& mesh, glm::vec3 lo, glm::vec3 hi, uint32_t material, float texelSize) {
  const glm::vec3 p[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                          {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 4, 7, 3}, {1, 2, 6, 5}, {3, 7, 6, 2}, {0, 1, 5, 4}};
  for (const auto& q : quads) mesh.AddQuadPlanar(p[q[0]], p[q[1]], p[q[2]], p[q[3]], material, texelSize);
}

void AddTube(Mesh& mesh, glm::vec3 p0, glm::vec3 p1, float r0, float r1, int sides, uint32_t material,
             bool caps, glm::vec3 reference) {
  glm::vec3 axis = p1 - p0;
  const float len = glm::length(axis);
  axis = len > 0 ? axis / len : glm::vec3(0, 1, 0);
  glm::vec3 u = reference - axis * glm::dot(reference, axis);
  if (glm::length(u) < 1e-4f) u = glm::vec3(1, 0, 0) - axis * axis.x;
  if (glm::length(u) < 1e-4f) u = glm::vec3(0, 1, 0) - axis * axis.y;
  u = glm::normalize(u);
  const glm::vec3 v = glm::cross(axis, u);
  const float slope = (r0 - r1) / (len > 0 ? len : 1.0f);
  std::vector<uint32_t> ring0, ring1;
  for (int i = 0; i <= sides; ++i) {
    const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(sides);
    const glm::vec3 dir = u * std::cos(a) + v * std::sin(a);
    const glm::vec3 n = dir + axis * slope;
    const float s = static_cast<float>(i) / static_cast<float>(sides);
    ring0.push_back(mesh.AddVertex(p0 + dir * r0, n, {s, 0}));
    ring1.push_back(mesh.AddVertex(p1 + dir * r1, n, {s, 1}));
  }
  for (int i = 0; i < sides; ++i) {
    mesh.AddTriangle(ring0[i], ring1[i], ring1[i + 1], material);
    mesh.AddTriangle(ring0[i], ring1[i + 1], ring0[i + 1], material);
  }
  if (!caps) return;
  for (int end = 0; end < 2; ++end) {
    const glm::vec3 c = end ? p1 : p0;
    const float r = end ? r1 : r0;
    const glm::vec3 n = end ? axis : -axis;
    const uint32_t centre = mesh.AddVertex(c, n, {0.5f, 0.5f});
    std::vector<uint32_t> rim;
    for (int i = 0; i <= sides; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(sides);
      const float ca = std::cos(a), sa = std::sin(a);
      rim.push_back(mesh.AddVertex(c + (u * ca + v * sa) * r, n, {0.5f + 0.5f * ca, 0.5f + 0.5f * sa}));
    }
    for (int i = 0; i < sides; ++i) mesh.AddTriangle(centre, rim[i], rim[i + 1], material);
  }
}

void AddSphere(Mesh& mesh, glm::vec3 centre, glm::vec3 radii, int slices, int stacks, uint32_t material) {
  std::vector<uint32_t> idx;
  for (int j = 0; j <= stacks; ++j) {
    const float t = 3.14159265f * static_cast<float>(j) / static_cast<float>(stacks);
    for (int i = 0; i <= slices; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(slices);
      const bool pole = j == 0 || j == stacks;  // exact poles: their thin triangles vanish cleanly
      const float st = pole ? 0.0f : std::sin(t), ct = j == 0 ? 1.0f : j == stacks ? -1.0f : std::cos(t);
      const glm::vec3 d(st * std::cos(a), ct, st * std::sin(a));
      idx.push_back(mesh.AddVertex(centre + d * radii, d / radii,
                                   {static_cast<float>(i) / static_cast<float>(slices),
                                    static_cast<float>(j) / static_cast<float>(stacks)}));
    }
  }
  const int row = slices + 1;
  for (int j = 0; j < stacks; ++j)
    for (int i = 0; i < slices; ++i) {
      const uint32_t a = idx[j * row + i], b = idx[j * row + i + 1], c = idx[(j + 1) * row + i + 1],
                     d = idx[(j + 1) * row + i];
      mesh.AddTriangle(a, b, c, material);
      mesh.AddTriangle(a, c, d, material);
    }
}

void AddExtrudedPolygon(Mesh& mesh, const std::vector<glm::vec2>& outlineIn, float z0, float z1, float bevel,
                        uint32_t material) {
  std::vector<glm::vec2> outline = outlineIn;
  float area = 0;
  for (size_t i = 0; i < outline.size(); ++i) {
    const glm::vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
    area += a.x * b.y - b.x * a.y;
  }
  if (area < 0) std::reverse(outline.begin(), outline.end());
  glm::vec2 centroid(0);
  for (auto p : outline) centroid += p;
  centroid /= static_cast<float>(outline.size());
  const size_t n = outline.size();
  auto inset = [&](glm::vec2 p) {
    const glm::vec2 d = centroid - p;
    const float len = glm::length(d);
    return len > bevel * 2 ? p + d / len * bevel * 1.4f : p;
  };
  const float zf = z0 - bevel;  // the chamfered face stands out toward -z
  for (size_t i = 0; i < n; ++i) {
    const glm::vec2 a = outline[i], b = outline[(i + 1) % n];
    const glm::vec2 edge = b - a;
    const glm::vec3 out = glm::normalize(glm::vec3(edge.y, -edge.x, 0));
    glm::vec3 q[4] = {{a, z0}, {b, z0}, {b, z1}, {a, z1}};
    if (glm::dot(glm::cross(q[1] - q[0], q[2] - q[0]), out) < 0) std::swap(q[1], q[3]);
    const float len = glm::length(edge);
    mesh.AddQuad(q[0], q[1], q[2], q[3], material, {0, 0}, {len / 32, 0}, {len / 32, 1}, {0, 1});
    // chamfer ring between the outline at z0 and the inset face at zf
    const glm::vec3 ia(inset(a), zf), ib(inset(b), zf), oa(a, z0), ob(b, z0);
    const glm::vec3 cn = glm::normalize(out + glm::vec3(0, 0, -1));
    const uint32_t v0 = mesh.AddVertex(oa, cn, {0, 0}), v1 = mesh.AddVertex(ob, cn, {1, 0}),
                   v2 = mesh.AddVertex(ib, cn, {1, 1}), v3 = mesh.AddVertex(ia, cn, {0, 1});
    mesh.AddTriangle(v0, v1, v2, material);
    mesh.AddTriangle(v0, v2, v3, material);
  }
  for (int side = 0; side < 2; ++side) {
    const glm::vec3 nrm(0, 0, side ? 1.0f : -1.0f);
    std::vector<uint32_t> ring;
    for (auto p : outline) {
      const glm::vec2 q = side ? p : inset(p);
      ring.push_back(mesh.AddVertex({q, side ? z1 : zf}, nrm, q / 32.0f));
    }
    for (size_t i = 1; i + 1 < n; ++i) mesh.AddTriangle(ring[0], ring[i], ring[i + 1], material);
  }
}

// Four decimals: finer than any model needs, and coarse enough that
// different compilers' last-bit rounding writes the same text.
static std::string Vec(glm::vec3 v) { return Num(v.x, 4) + ";" + Num(v.y, 4) + ";" + Num(v.z, 4) + ";"; }

std::string WriteXFile(const Mesh& mesh, const std::string& comment) {
  std::string s = "xof 0303txt 0032\n// " + comment + "\n\nMesh {\n";
  const size_t nv = mesh.positions.size(), nf = mesh.faces.size();
  auto sep = [](size_t i, size_t n) { return i + 1 < n ? ",\n" : ";\n"; };
  s += " " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) s += " " + Vec(mesh.positions[i]) + sep(i, nv);
  auto faceList = [&]() {
    std::string f = " " + std::to_string(nf) + ";\n";
    for (size_t i = 0; i < nf; ++i)
      f += " 3;" + std::to_string(mesh.faces[i][0]) + "," + std::to_string(mesh.faces[i][1]) + "," +
           std::to_string(mesh.faces[i][2]) + ";" + sep(i, nf);
    return f;
  };
  s += faceList();
  s += "\n MeshNormals {\n " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) s += " " + Vec(mesh.normals[i]) + sep(i, nv);
  s += faceList() + " }\n\n MeshTextureCoords {\n " + std::to_string(nv) + ";\n";
  for (size_t i = 0; i < nv; ++i) s += " " + Num(mesh.uvs[i].x, 4) + ";" + Num(mesh.uvs[i].y, 4) + ";" + sep(i, nv);
  s += " }\n\n MeshMaterialList {\n " + std::to_string(mesh.materials.size()) + ";\n " + std::to_string(nf) +
       ";\n";
  for (size_t i = 0; i < nf; ++i) s += " " + std::to_string(mesh.faceMaterial[i]) + sep(i, nf);
  for (const auto& m : mesh.materials) {
    s += "\n  Material {\n   " + Num(m.diffuse.r) + ";" + Num(m.diffuse.g) + ";" + Num(m.diffuse.b) + ";" +
         Num(m.diffuse.a) + ";;\n   " + Num(m.power) + ";\n   " + Vec(m.specular) + ";\n   " +
         Vec(m.emissive) + ";\n";
    if (!m.texture.empty()) s += "   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
    s += "  }\n";
  }
  s += " }\n}\n";
  return s;
}

}  // namespace halvex::contentgen
