// The intro logo: block letters made of convex strokes, each extruded and
// bevelled on its front face.
#include <vector>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/objects.h"

namespace halvex::contentgen {
namespace {

using Stroke = std::vector<glm::vec2>;

constexpr float kW = 24.0f, kH = 36.0f, kT = 7.0f;  // letter cell and stroke width

Stroke Rect(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }
Stroke Slant(glm::vec2 a, glm::vec2 b) {  // a parallelogram stroke from a to b
  return {{a.x - kT / 2, a.y}, {a.x + kT / 2, a.y}, {b.x + kT / 2, b.y}, {b.x - kT / 2, b.y}};
}

std::vector<Stroke> Letter(char c) {
  switch (c) {
    case 'H': return {Rect(0, 0, kT, kH), Rect(kW - kT, 0, kW, kH), Rect(kT, kH / 2 - kT / 2, kW - kT, kH / 2 + kT / 2)};
    case 'A': return {Slant({kT / 2, 0}, {kW / 2 - 1, kH}), Slant({kW - kT / 2, 0}, {kW / 2 + 1, kH}),
                      Rect(kW * 0.25f, kH * 0.3f, kW * 0.75f, kH * 0.3f + kT * 0.8f)};
    case 'L': return {Rect(0, 0, kT, kH), Rect(kT, 0, kW, kT)};
    case 'V': return {Slant({kW / 2 - 1, 0}, {kT / 2, kH}), Slant({kW / 2 + 1, 0}, {kW - kT / 2, kH})};
    case 'E': return {Rect(0, 0, kT, kH), Rect(kT, 0, kW, kT), Rect(kT, kH / 2 - kT / 2, kW - 3, kH / 2 + kT / 2),
                      Rect(kT, kH - kT, kW, kH)};
    case 'X': return {Slant({kT / 2, 0}, {kW - kT / 2, kH}), Slant({kW - kT / 2, 0}, {kT / 2, kH})};
    default: return {};
  }
}

}  // namespace

Mesh Logo() {
  Mesh logo;
  Material bronze;
  bronze.diffuse = {0.95f, 0.7f, 0.4f, 1.0f};
  bronze.specular = {0.9f, 0.8f, 0.6f};
  bronze.power = 20.0f;
  bronze.texture = TexturePath("logometal.dds");
  const uint32_t mat = logo.AddMaterial(bronze);
  const std::string word = "HALVEX";
  const float spacing = kW + 5.0f;
  const float left = -spacing * static_cast<float>(word.size()) / 2 + 2.5f;
  for (size_t i = 0; i < word.size(); ++i)
    for (Stroke s : Letter(word[i])) {
      for (auto& p : s) p += glm::vec2(left + spacing * static_cast<float>(i), -kH / 2);
      AddExtrudedPolygon(logo, s, -4.0f, 4.0f, 1.5f, mat);
    }
  ToTileFrame(logo);
  return logo;
}

}  // namespace halvex::contentgen
