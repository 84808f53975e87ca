// Triangle meshes with per-face materials, the shape builders the models are
// made of, and the text DirectX .x writer.
//
// Winding: cross(b - a, c - a) points out of the front of every triangle, the
// side the collision query and back-face culling treat as outside.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace halvex::contentgen {

struct Material {
  glm::vec4 diffuse{1, 1, 1, 1};
  float power = 8.0f;
  glm::vec3 specular{0.3f, 0.3f, 0.3f};
  glm::vec3 emissive{0, 0, 0};
  std::string texture;  // game path, e.g. "textures\\stone.dds"; empty for none
};

struct Mesh {
  std::vector<glm::vec3> positions;
  std::vector<glm::vec3> normals;
  std::vector<glm::vec2> uvs;
  std::vector<std::array<uint32_t, 3>> faces;
  std::vector<uint32_t> faceMaterial;
  std::vector<Material> materials;

  uint32_t AddMaterial(const Material& m);
  uint32_t AddVertex(glm::vec3 p, glm::vec3 n, glm::vec2 uv);
  void AddTriangle(uint32_t a, uint32_t b, uint32_t c, uint32_t material);
  // A flat quad a-b-c-d (in order around its rim, front side by the winding
  // rule) with its own four vertices.
  void AddQuad(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, uint32_t material,
               glm::vec2 ta, glm::vec2 tb, glm::vec2 tc, glm::vec2 td);
  // As AddQuad, texture coordinates by planar projection (world units / tile).
  void AddQuadPlanar(glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, uint32_t material,
                     float texelSize);
  // Applies a rotation/translation (an orthonormal 3x3 part) to everything.
  void Transform(const glm::mat4& m);
  void Append(const Mesh& other);  // materials appended, indices shifted
  glm::vec3 BoundsMin() const;
  glm::vec3 BoundsMax() const;
};

// Model frames. Objects are authored y-up facing +z; tile-frame objects (the
// tiles, the central model, sky, sea, ground plane, logo) are authored in
// world coordinates. Both are turned into the z-up files the game loads.
void ToTileFrame(Mesh& mesh);   // world (x, y, z) -> file (x, -z, y)
void ToActorFrame(Mesh& mesh);  // object (x, y, z) -> file (-x, z, y)

// ---- shape builders (all append to mesh with the given material)
// Axis-aligned box, flat faces, planar texture coordinates.
void AddBox(Mesh& mesh, glm::vec3 lo, glm::vec3 hi, uint32_t material, float texelSize = 16.0f);
// A tube between two points with radii r0 and r1, `sides` facets, smooth
// sides, optional flat caps. The cross-section starts at `reference`
// projected perpendicular to the axis, so poses keep their vertex order.
void AddTube(Mesh& mesh, glm::vec3 p0, glm::vec3 p1, float r0, float r1, int sides, uint32_t material,
             bool caps, glm::vec3 reference = {0, 0, 1});
// Latitude/longitude sphere (or ellipsoid by radii), smooth.
void AddSphere(Mesh& mesh, glm::vec3 centre, glm::vec3 radii, int slices, int stacks, uint32_t material);
// A convex polygon (counter-clockwise seen from -z) extruded from z0 to z1,
// with a chamfer of `bevel` on the z0 face.
void AddExtrudedPolygon(Mesh& mesh, const std::vector<glm::vec2>& outline, float z0, float z1, float bevel,
                        uint32_t material);

std::string WriteXFile(const Mesh& mesh, const std::string& comment);

}  // namespace halvex::contentgen
