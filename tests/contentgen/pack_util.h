// Helpers for the content-pack tests: where the pack is, its text files as
// lines, and models read back through Assimp in the file's own coordinates.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace halvex::contentgen::test {

// <build>/bin/content, as the build generated it.
std::filesystem::path ContentDir();
// A game path ("textures\\a.dds") as a file of the pack.
std::filesystem::path PackFile(const std::string& gamePath);
std::vector<std::string> ReadLines(const std::filesystem::path& file);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);

struct LoadedModel {
  bool ok = false;
  std::vector<glm::vec3> positions, normals;
  std::vector<glm::uvec3> faces;       // merged over all materials
  std::vector<unsigned> faceMaterial;  // per face
  std::vector<std::string> textures;   // per material, "" when none
  std::vector<float> alpha;            // per material diffuse alpha
  glm::vec3 lo{1e30f}, hi{-1e30f};
};

// Loaded as the game's loader does (triangulated, no welding), with the
// importer's handedness change undone.
LoadedModel LoadModel(const std::filesystem::path& file);

// The tile models of an area in world axes (model (x, y, z) -> (x, z, -y)).
struct WorldTri {
  glm::vec3 a, b, c;
};
std::vector<WorldTri> TileTriangles(const std::string& area, const char* kind, int tile);

// Nearest hit of the ray o + t d (t >= 0) with the triangles, or -1. With
// frontOnly, triangles whose winding turns their back to the ray are skipped
// (the collision query takes a triangle's front from its winding).
float RayHit(const std::vector<WorldTri>& tris, glm::vec3 o, glm::vec3 d, bool frontOnly = false);
float DistanceToTriangle(glm::vec3 p, const WorldTri& t);

std::string TileName(int tile);

}  // namespace halvex::contentgen::test
