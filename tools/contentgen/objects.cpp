// The models under objects/: scenery, pickups, weapons and the animated
// bodies, sea, sharks and ravens. Key frames of one animation are built by
// the same calls with different pose values, so they share their topology
// (the writer copies frame 0's triangle list to make that exact).
#include <cmath>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"
#include "tools/contentgen/mesh.h"
#include "tools/contentgen/objects.h"

namespace halvex::contentgen {
namespace {

constexpr float kPi = 3.14159265f;

Material Mat(glm::vec3 colour, const std::string& texture, float alpha = 1.0f) {
  Material m;
  m.diffuse = glm::vec4(colour, alpha);
  m.texture = texture.empty() ? std::string() : TexturePath(texture);
  return m;
}

void WriteModel(Pack& pack, const std::string& name, const Mesh& mesh) {
  pack.Write("objects/" + name + ".x", WriteXFile(mesh, name));
}

void WriteFrames(Pack& pack, const std::string& base, std::vector<Mesh> frames) {
  for (size_t i = 1; i < frames.size(); ++i) {
    frames[i].faces = frames[0].faces;
    frames[i].faceMaterial = frames[0].faceMaterial;
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, base == "botanim" ? "%zu" : "%02zu", i);
    WriteModel(pack, base + suffix, frames[i]);
  }
}

// Moves a part's texture coordinates into one rectangle of an atlas.
void AtlasPart(Mesh& body, Mesh part, glm::vec4 rect) {
  for (auto& t : part.uvs) t = glm::vec2(rect.x, rect.y) + t * glm::vec2(rect.z, rect.w);
  part.materials.clear();
  const auto base = static_cast<uint32_t>(body.positions.size());
  body.positions.insert(body.positions.end(), part.positions.begin(), part.positions.end());
  body.normals.insert(body.normals.end(), part.normals.begin(), part.normals.end());
  body.uvs.insert(body.uvs.end(), part.uvs.begin(), part.uvs.end());
  for (size_t i = 0; i < part.faces.size(); ++i) {
    body.faces.push_back({part.faces[i][0] + base, part.faces[i][1] + base, part.faces[i][2] + base});
    body.faceMaterial.push_back(0);
  }
}

// Direction of a limb hanging down and swung forward (toward +z) by angle a.
glm::vec3 Swing(float a, float spread = 0.0f) {
  return glm::normalize(glm::vec3(spread, -std::cos(a), std::sin(a)));
}

Mesh Body(const BodyPose& pose) {
  Mesh body;
  body.AddMaterial(Mat({1, 1, 1}, "botwhite.dds"));
  const glm::vec4 kUpper{0, 0, 1, 0.45f}, kLegs{0, 0.5f, 1, 0.25f}, kHead{0, 0.75f, 1, 0.25f};
  const glm::vec3 lean(0, 0, pose.lean);
  auto part = [&](glm::vec4 rect, auto build) {
    Mesh m;
    m.AddMaterial({});
    build(m);
    AtlasPart(body, m, rect);
  };
  const float hipY = 14.0f - pose.crouch;
  for (int side = 0; side < 2; ++side) {
    const float s = side ? 1.0f : -1.0f;
    const float thigh = side ? pose.rightThigh : pose.leftThigh;
    const float knee = side ? pose.rightKnee : pose.leftKnee;
    const glm::vec3 hip(s * 2.2f, hipY, 0);
    const glm::vec3 kneeP = hip + Swing(thigh) * 7.0f;
    const glm::vec3 ankle = kneeP + Swing(thigh - knee) * 6.5f;
    const glm::vec3 toe = ankle + Swing(thigh - knee + kPi / 2) * 3.0f + glm::vec3(0, -0.6f, 0);
    part(kLegs, [&](Mesh& m) { AddTube(m, hip, kneeP, 2.0f, 1.6f, 8, 0, true); });
    part(kLegs, [&](Mesh& m) { AddTube(m, kneeP, ankle, 1.6f, 1.2f, 8, 0, true); });
    part(kLegs, [&](Mesh& m) { AddTube(m, ankle, toe, 1.3f, 1.0f, 6, 0, true, {0, 1, 0}); });
    const float arm = side ? pose.rightArm : pose.leftArm;
    const float elbow = side ? pose.rightElbow : pose.leftElbow;
    const glm::vec3 shoulder = glm::vec3(s * 5.2f, hipY + 9.0f, 0) + lean;
    const glm::vec3 elbowP = shoulder + Swing(arm, s * 0.25f) * 5.5f;
    const glm::vec3 wrist = elbowP + Swing(arm + elbow, s * 0.1f) * 5.0f;
    part(kUpper, [&](Mesh& m) { AddTube(m, shoulder, elbowP, 1.4f, 1.1f, 6, 0, true); });
    part(kUpper, [&](Mesh& m) { AddTube(m, elbowP, wrist, 1.1f, 0.9f, 6, 0, true); });
    part(kHead, [&](Mesh& m) { AddSphere(m, wrist + Swing(arm + elbow) * 0.9f, glm::vec3(1.1f), 6, 4, 0); });
  }
  part(kUpper, [&](Mesh& m) { AddSphere(m, {0, hipY + 0.5f, 0}, {4.0f, 2.6f, 2.8f}, 8, 4, 0); });
  part(kUpper, [&](Mesh& m) { AddTube(m, {0, hipY + 1.0f, 0}, glm::vec3(0, hipY + 9.5f, 0) + lean, 3.6f, 4.8f, 8, 0, true); });
  part(kHead, [&](Mesh& m) { AddTube(m, glm::vec3(0, hipY + 9.5f, 0) + lean, glm::vec3(0, hipY + 11.0f, 0) + lean, 1.4f, 1.3f, 6, 0, false); });
  part(kHead, [&](Mesh& m) { AddSphere(m, glm::vec3(0, hipY + 13.2f, 0.2f) + lean * 1.2f, {2.8f, 3.1f, 3.0f}, 10, 6, 0); });
  // feet of the standing pose on the origin, head at about 30
  for (auto& p : body.positions) p = (p + glm::vec3(0, 1.4f, 0)) * 0.94f;
  ToActorFrame(body);
  return body;
}

void Bodies(Pack& pack) {
  std::vector<Mesh> frames;
  for (const BodyPose& pose : BodyPoses()) frames.push_back(Body(pose));
  WriteFrames(pack, "botanim", frames);
}

// Squeezes a model's texture coordinates into one rectangle of its
// texture, keeping their layout.
void FitTextureTo(Mesh& m, glm::vec2 low, glm::vec2 high) {
  glm::vec2 lo(1e30f), hi(-1e30f);
  for (const glm::vec2& uv : m.uvs) lo = glm::min(lo, uv), hi = glm::max(hi, uv);
  const glm::vec2 span = glm::max(hi - lo, glm::vec2(1e-6f));
  for (glm::vec2& uv : m.uvs) uv = low + (uv - lo) / span * (high - low);
}

// Weapons point along +z from the hand at the origin, offset to the lower
// right of the eye so that the first-person view shows them there.
void Weapons(Pack& pack) {
  const glm::vec3 hand(2.5f, -2.5f, 3.0f);
  Mesh pistol;
  // The game skins the pistol with the black body texture, and lighting
  // can only darken a texture, so the materials stay at or below 1 and
  // give the faces their shading; a small glow keeps the side away from
  // the sun (the one the player sees when facing it) from going black.
  auto metal = [](glm::vec3 colour, float glow, const char* texture) {
    Material m = Mat(colour, texture);
    m.emissive = glm::vec3(glow);
    return m;
  };
  const uint32_t grip = pistol.AddMaterial(metal({0.75f, 0.72f, 0.70f}, 0.3f, "botblack.dds"));
  const uint32_t slide = pistol.AddMaterial(metal({0.95f, 0.97f, 1.0f}, 0.35f, "botblack.dds"));
  const uint32_t barrel = pistol.AddMaterial(metal({0.7f, 0.7f, 0.7f}, 0.2f, "botwhite.dds"));
  AddBox(pistol, hand + glm::vec3(-0.45f, -2.6f, -0.2f), hand + glm::vec3(0.45f, 0.0f, 1.1f), grip, 2.0f);
  AddBox(pistol, hand + glm::vec3(-0.55f, 0.0f, -0.4f), hand + glm::vec3(0.55f, 1.1f, 4.2f), slide, 2.0f);
  AddTube(pistol, hand + glm::vec3(0, 0.55f, 4.2f), hand + glm::vec3(0, 0.55f, 5.0f), 0.35f, 0.35f, 8, barrel, true);
  FitTextureTo(pistol, {0.1f, 0.53f}, {0.9f, 0.67f});  // the skin's plain leg band: no visor, belt or seams
  ToActorFrame(pistol);
  WriteModel(pack, "pistol", pistol);

  Mesh rocket;
  const uint32_t tube = rocket.AddMaterial(Mat({0.45f, 0.55f, 0.35f}, "radioact.dds"));
  const uint32_t parts = rocket.AddMaterial(Mat({0.25f, 0.25f, 0.25f}, "radioact.dds"));
  AddTube(rocket, hand + glm::vec3(0, 0.6f, -3.0f), hand + glm::vec3(0, 0.6f, 7.0f), 1.0f, 1.0f, 12, tube, true);
  AddTube(rocket, hand + glm::vec3(0, 0.6f, 6.6f), hand + glm::vec3(0, 0.6f, 7.6f), 1.0f, 1.25f, 12, parts, true);
  AddBox(rocket, hand + glm::vec3(-0.3f, 1.5f, 1.0f), hand + glm::vec3(0.3f, 2.4f, 2.5f), parts, 2.0f);  // sight
  AddBox(rocket, hand + glm::vec3(-0.4f, -2.2f, 0.0f), hand + glm::vec3(0.4f, -0.2f, 1.2f), parts, 2.0f);
  ToActorFrame(rocket);
  WriteModel(pack, "rocket3", rocket);

  Mesh shotgun;
  const uint32_t steel = shotgun.AddMaterial(Mat({0.40f, 0.42f, 0.45f}, "floor.dds"));
  const uint32_t stock = shotgun.AddMaterial(Mat({0.55f, 0.35f, 0.20f}, "floor.dds"));
  for (float x : {-0.42f, 0.42f})
    AddTube(shotgun, hand + glm::vec3(x, 0.6f, 0.5f), hand + glm::vec3(x, 0.6f, 8.0f), 0.4f, 0.4f, 8, steel, true);
  AddBox(shotgun, hand + glm::vec3(-0.8f, -0.2f, -0.5f), hand + glm::vec3(0.8f, 1.0f, 1.5f), steel, 2.0f);
  AddBox(shotgun, hand + glm::vec3(-0.6f, -0.2f, 2.0f), hand + glm::vec3(0.6f, 0.2f, 5.0f), stock, 2.0f);  // pump
  AddBox(shotgun, hand + glm::vec3(-0.5f, -2.0f, -3.5f), hand + glm::vec3(0.5f, 0.6f, -0.5f), stock, 2.0f);
  ToActorFrame(shotgun);
  WriteModel(pack, "shotgun1", shotgun);
}

void Tree(Pack& pack) {
  Mesh tree;
  const uint32_t bark = tree.AddMaterial(Mat({0.8f, 0.8f, 0.8f}, "bark1.dds"));
  const uint32_t leaves = tree.AddMaterial(Mat({0.9f, 1.0f, 0.9f}, "leaves.dds"));
  AddTube(tree, {0, 0, 0}, {0.5f, 38, 0}, 3.2f, 1.6f, 8, bark, false);
  const glm::vec3 branches[4] = {{10, 44, 3}, {-9, 40, -6}, {3, 46, -10}, {-4, 48, 9}};
  for (const auto& b : branches) AddTube(tree, {0.3f, 30, 0}, b, 1.2f, 0.6f, 6, bark, true);
  AddSphere(tree, {0.5f, 50, 0}, {14, 10, 14}, 10, 6, leaves);
  for (const auto& b : branches) AddSphere(tree, b, {8, 6, 8}, 8, 5, leaves);
  ToActorFrame(tree);
  WriteModel(pack, "tree", tree);
}

// One wave grid; frames 0..3 advance every wave by a quarter of its period,
// so 3 blends back into 0 without a jump.
void Ocean(Pack& pack) {
  constexpr int kCells = 24;
  constexpr float kHalf = 200.0f;
  std::vector<Mesh> frames;
  for (int f = 0; f < 4; ++f) {
    Mesh sea;
    const uint32_t water = sea.AddMaterial(Mat({0.35f, 0.55f, 0.85f}, "water.dds"));
    const float phase = kPi * 0.5f * static_cast<float>(f);
    auto height = [&](float x, float z) {
      return 1.2f * std::sin(x * 0.047f + phase) + 0.8f * std::sin(z * 0.063f + x * 0.02f + phase) +
             0.4f * std::sin((x - z) * 0.11f + 2 * phase);
    };
    std::vector<uint32_t> idx;
    for (int j = 0; j <= kCells; ++j)
      for (int i = 0; i <= kCells; ++i) {
        const float x = -kHalf + 2 * kHalf * static_cast<float>(i) / kCells;
        const float z = -kHalf + 2 * kHalf * static_cast<float>(j) / kCells;
        const float e = 0.5f;
        const glm::vec3 n = glm::normalize(glm::vec3(height(x - e, z) - height(x + e, z), 2 * e,
                                                     height(x, z - e) - height(x, z + e)));
        idx.push_back(sea.AddVertex({x, height(x, z), z}, n, {static_cast<float>(i) / 3, static_cast<float>(j) / 3}));
      }
    for (int j = 0; j < kCells; ++j)
      for (int i = 0; i < kCells; ++i) {
        const uint32_t a = idx[j * (kCells + 1) + i], b = a + 1, c = a + kCells + 2, d = a + kCells + 1;
        sea.AddTriangle(a, b, c, water);
        sea.AddTriangle(a, c, d, water);
      }
    ToTileFrame(sea);
    frames.push_back(sea);
  }
  WriteFrames(pack, "ocean", frames);
}

// A body lofted along +z; `bend` swings the tail sideways.
Mesh Shark(float bend) {
  Mesh shark;
  const uint32_t skin = shark.AddMaterial(Mat({0.9f, 0.9f, 0.95f}, "shark.dds"));
  const float radii[] = {0.3f, 1.6f, 2.4f, 2.6f, 2.3f, 1.7f, 1.0f, 0.5f, 0.3f};
  constexpr int kRings = 9, kSides = 8;
  auto spine = [&](float t) { return glm::vec3(bend * (1 - t) * (1 - t) * 3.0f, 0, 14.0f * t - 7.0f); };
  std::vector<uint32_t> idx;
  for (int r = 0; r < kRings; ++r) {
    const float t = 1.0f - static_cast<float>(r) / (kRings - 1);  // nose first
    for (int s = 0; s <= kSides; ++s) {
      const float a = 2 * kPi * static_cast<float>(s) / kSides;
      const glm::vec3 d(std::cos(a), std::sin(a) * 0.8f, 0);
      idx.push_back(shark.AddVertex(spine(t) + d * radii[r], d, {static_cast<float>(s) / kSides, 1 - t}));
    }
  }
  for (int r = 0; r + 1 < kRings; ++r)
    for (int s = 0; s < kSides; ++s) {
      const uint32_t a = idx[r * (kSides + 1) + s], b = a + 1, c = b + kSides + 1, d = a + kSides + 1;
      shark.AddTriangle(a, b, c, skin);
      shark.AddTriangle(a, c, d, skin);
    }
  auto fin = [&](glm::vec3 a, glm::vec3 b, glm::vec3 c) {
    const glm::vec3 n = glm::cross(b - a, c - a);
    for (const glm::vec3 side : {n, -n}) {  // two-sided; vertices added in a fixed order
      const uint32_t i = shark.AddVertex(a, side, {0, 0});
      const uint32_t j = shark.AddVertex(b, side, {1, 0});
      const uint32_t k = shark.AddVertex(c, side, {0, 1});
      shark.AddTriangle(i, j, k, skin);
    }
  };
  fin(spine(0.55f) + glm::vec3(0, 2.0f, 0), spine(0.35f) + glm::vec3(0, 2.0f, 0), spine(0.38f) + glm::vec3(0, 5.5f, 0));
  fin(spine(0.0f) + glm::vec3(0, 0, 0.5f), spine(0.0f) + glm::vec3(bend * 0.8f, 4.0f, -2.0f), spine(0.0f) + glm::vec3(bend * 0.5f, -2.5f, -1.5f));
  fin(spine(0.6f) + glm::vec3(1.8f, -1, 0), spine(0.45f) + glm::vec3(2.0f, -1, 0), spine(0.45f) + glm::vec3(5.0f, -2.5f, -2.0f));
  fin(spine(0.6f) + glm::vec3(-1.8f, -1, 0), spine(0.45f) + glm::vec3(-2.0f, -1, 0), spine(0.45f) + glm::vec3(-5.0f, -2.5f, -2.0f));
  ToActorFrame(shark);
  return shark;
}

Mesh Raven(float wing) {
  Mesh raven;
  const uint32_t feathers = raven.AddMaterial(Mat({0.15f, 0.15f, 0.18f}, "botblack.dds"));
  AddSphere(raven, {0, 0, 0}, {1.2f, 1.0f, 3.0f}, 8, 5, feathers);
  AddSphere(raven, {0, 0.5f, 3.0f}, glm::vec3(0.9f), 6, 4, feathers);
  for (int side = 0; side < 2; ++side) {
    const float s = side ? 1.0f : -1.0f;
    const glm::vec3 root(s * 1.0f, 0.3f, 0.5f), mid = root + glm::vec3(s * 4.0f, wing * 2.0f, -0.5f);
    const glm::vec3 tip = mid + glm::vec3(s * 4.0f, wing * 3.5f, -2.0f);
    const glm::vec3 back(0, 0, -2.5f);
    for (int face = 0; face < 2; ++face) {
      const float up = face ? 1.0f : -1.0f;
      const glm::vec3 n = glm::vec3(-s * wing * 0.4f, 1.0f, 0) * up;
      const uint32_t a = raven.AddVertex(root, n, {0, 0}), b = raven.AddVertex(mid, n, {0.5f, 0}),
                     c = raven.AddVertex(tip, n, {1, 0}), d = raven.AddVertex(mid + back, n, {0.5f, 1}),
                     e = raven.AddVertex(root + back, n, {0, 1});
      raven.AddTriangle(a, b, d, feathers);
      raven.AddTriangle(a, d, e, feathers);
      raven.AddTriangle(b, c, d, feathers);
    }
  }
  ToActorFrame(raven);
  return raven;
}

// A monument: an octagonal plinth (subset 0), a bronze column (subset 1) and
// a polished crescent blade on top (subset 2, mirrored in the environment
// pass). Authored in world axes; the game stretches x and z by 2.
void Monument(Pack& pack) {
  Mesh m;
  const uint32_t stone = m.AddMaterial(Mat({0.95f, 0.92f, 0.85f}, "trim.dds"));
  const uint32_t bronze = m.AddMaterial(Mat({1.0f, 0.9f, 0.8f}, "bronze.dds"));
  const uint32_t chrome = m.AddMaterial(Mat({1.0f, 1.0f, 1.0f}, "chrome.dds"));
  AddTube(m, {0, 0, 0}, {0, 3, 0}, 9.5f, 9.0f, 8, stone, true);
  AddTube(m, {0, 3, 0}, {0, 5, 0}, 7.0f, 6.5f, 8, stone, true);
  AddTube(m, {0, 5, 0}, {0, 24, 0}, 2.4f, 1.8f, 10, bronze, true);
  AddSphere(m, {0, 25, 0}, glm::vec3(2.6f), 10, 6, bronze);
  // crescent: a bent tube of segments in the x-y plane
  constexpr int kSegs = 10;
  for (int i = 0; i < kSegs; ++i) {
    auto at = [](int k) {
      const float a = -0.3f + 2.4f * static_cast<float>(k) / kSegs;
      return glm::vec3(std::cos(a) * 9.0f - 2.0f, 25.0f + std::sin(a) * 9.0f, 0);
    };
    const float r0 = 0.5f + 1.2f * std::sin(kPi * static_cast<float>(i) / kSegs);
    const float r1 = 0.5f + 1.2f * std::sin(kPi * static_cast<float>(i + 1) / kSegs);
    AddTube(m, at(i), at(i + 1), r0, r1, 8, chrome, i == 0 || i == kSegs - 1);
  }
  ToTileFrame(m);
  WriteModel(pack, "scythe", m);
}

void Pickups(Pack& pack) {
  Mesh sphere;  // drawn at 1/8 and 1/5 scale: a power orb about 5 units across
  AddSphere(sphere, {0, 0, 0}, glm::vec3(20.0f), 16, 10, sphere.AddMaterial(Mat({1, 1, 1}, "exp\\caust00.tga")));
  ToActorFrame(sphere);
  WriteModel(pack, "sphere", sphere);

  Mesh armor;  // drawn at (0.25, 0.5, 0.25): a breastplate about 5 units wide
  const uint32_t plate = armor.AddMaterial(Mat({1, 1, 1}, "armor.dds"));
  AddTube(armor, {0, -9, 0}, {0, 7, 0}, 7.0f, 9.5f, 12, plate, true);
  // flatten front to back; normals take the inverse scale
  for (auto& p : armor.positions) p.z *= 0.55f;
  for (auto& n : armor.normals) n = glm::normalize(glm::vec3(n.x, n.y, n.z / 0.55f));
  AddSphere(armor, {-8.5f, 7, 0}, {4.5f, 2.5f, 4.0f}, 8, 5, plate);
  AddSphere(armor, {8.5f, 7, 0}, {4.5f, 2.5f, 4.0f}, 8, 5, plate);
  AddTube(armor, {0, 7, 0}, {0, 10, 0}, 3.0f, 3.2f, 8, plate, true);  // collar
  ToActorFrame(armor);
  WriteModel(pack, "armor", armor);
}

void Ground(Pack& pack) {
  Mesh g;
  const uint32_t mat = g.AddMaterial(Mat({0.75f, 0.72f, 0.6f}, "sand.dds"));
  constexpr int kCells = 8;
  constexpr float kHalf = 1500.0f, kCell = 2 * kHalf / kCells;
  for (int j = 0; j < kCells; ++j)
    for (int i = 0; i < kCells; ++i) {
      const float x0 = -kHalf + kCell * static_cast<float>(i), z0 = -kHalf + kCell * static_cast<float>(j);
      g.AddQuadPlanar({x0, -0.5f, z0}, {x0, -0.5f, z0 + kCell}, {x0 + kCell, -0.5f, z0 + kCell}, {x0 + kCell, -0.5f, z0},
                      mat, 62.5f);
    }
  ToTileFrame(g);
  WriteModel(pack, "ground", g);
}

// Five inward-facing subsets: north, east, south, west walls and the top.
void SkyBox(Pack& pack) {
  Mesh sky;
  constexpr float kHalf = 5000.0f, kLow = -1000.0f;
  const glm::vec3 c[8] = {{-kHalf, kLow, kHalf}, {kHalf, kLow, kHalf}, {kHalf, kLow, -kHalf}, {-kHalf, kLow, -kHalf},
                          {-kHalf, kHalf, kHalf}, {kHalf, kHalf, kHalf}, {kHalf, kHalf, -kHalf}, {-kHalf, kHalf, -kHalf}};
  const int walls[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};  // seen from inside, left to right
  // Normals point from each vertex to the middle of the box, as on a dome:
  // the sun's light then shades the sky smoothly, where flat walls showed
  // the box's edges as seams between a lit and an unlit wall.
  auto Inward = [](glm::vec3 p) { return glm::normalize(glm::vec3(0, 2000, 0) - p); };
  constexpr int kGrid = 4;
  for (int w = 0; w < 4; ++w) {
    const uint32_t mat = sky.AddMaterial(Mat({1, 1, 1}, "skyside" + std::to_string(w) + ".dds"));
    sky.materials[mat].emissive = glm::vec3(0.35f);
    const glm::vec3 bl = c[walls[w][0]], br = c[walls[w][1]];
    const glm::vec3 up = c[walls[w][0] + 4] - bl;
    for (int j = 0; j < kGrid; ++j)
      for (int i = 0; i < kGrid; ++i) {
        const float u0 = static_cast<float>(i) / kGrid, u1 = static_cast<float>(i + 1) / kGrid;
        const float v0 = static_cast<float>(j) / kGrid, v1 = static_cast<float>(j + 1) / kGrid;
        auto p = [&](float u, float v) { return glm::mix(bl, br, u) + up * v; };
        const uint32_t a = sky.AddVertex(p(u0, v0), Inward(p(u0, v0)), {u0, 1 - v0}),
                       b = sky.AddVertex(p(u1, v0), Inward(p(u1, v0)), {u1, 1 - v0}),
                       d = sky.AddVertex(p(u1, v1), Inward(p(u1, v1)), {u1, 1 - v1}),
                       e = sky.AddVertex(p(u0, v1), Inward(p(u0, v1)), {u0, 1 - v1});
        sky.AddTriangle(a, b, d, mat);
        sky.AddTriangle(a, d, e, mat);
      }
  }
  const uint32_t top = sky.AddMaterial(Mat({1, 1, 1}, "skytop.dds"));
  sky.materials[top].emissive = glm::vec3(0.35f);
  sky.AddQuad(c[4], c[5], c[6], c[7], top, {0, 0}, {1, 0}, {1, 1}, {0, 1});
  // AddQuad takes its normal from the winding; the top must face down.
  for (size_t i = sky.normals.size() - 4; i < sky.normals.size(); ++i) sky.normals[i] = Inward(sky.positions[i]);
  if (glm::dot(glm::cross(sky.positions[sky.faces.back()[1]] - sky.positions[sky.faces.back()[0]],
                          sky.positions[sky.faces.back()[2]] - sky.positions[sky.faces.back()[0]]),
               glm::vec3(0, -1, 0)) < 0)
    for (size_t f = sky.faces.size() - 2; f < sky.faces.size(); ++f) std::swap(sky.faces[f][1], sky.faces[f][2]);
  ToTileFrame(sky);
  WriteModel(pack, "skybox", sky);
}

}  // namespace

void GenerateObjects(Pack& pack) {
  WriteModel(pack, "logo", Logo());
  SkyBox(pack);
  Bodies(pack);
  Weapons(pack);
  Tree(pack);
  Ocean(pack);
  Monument(pack);
  WriteFrames(pack, "shark", {Shark(-1.0f), Shark(1.0f)});
  Pickups(pack);
  Ground(pack);
  WriteFrames(pack, "raven", {Raven(1.0f), Raven(0.0f), Raven(-1.0f)});
}

}  // namespace halvex::contentgen
