// halvex_contentpreview CONTENT_DIR OUT_DIR: reads a generated pack back and
// draws PNG views for looking at it: each battle area from above and at a
// slant (from its Render tiles), and a sheet of every model under objects/.
// A small flat-shaded rasteriser; colours are the mean colours of the
// textures the materials name.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <stb/stb_image_write.h>

namespace {

namespace fs = std::filesystem;

struct Tri {
  glm::vec3 p[3];  // file coordinates (z up)
  glm::vec3 colour;
};

// Mean colour of an uncompressed DDS (128-byte header) or TGA (18-byte
// header) as this pack writes them, weighted by alpha.
glm::vec3 MeanColour(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), {});
  const size_t header = file.extension() == ".tga" ? 18 : 128;
  glm::dvec3 sum(0);
  double weight = 0;
  for (size_t i = header; i + 3 < data.size(); i += 4) {
    const double a = data[i + 3] / 255.0;
    sum += glm::dvec3(data[i + 2], data[i + 1], data[i]) / 255.0 * a;
    weight += a;
  }
  return weight > 0 ? glm::vec3(sum / weight) : glm::vec3(1, 0, 1);
}

std::vector<Tri> Load(const fs::path& file, const fs::path& content) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(
      file.string(), aiProcess_Triangulate | aiProcess_MakeLeftHanded | aiProcess_FlipWindingOrder);
  std::vector<Tri> tris;
  if (!scene) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), importer.GetErrorString());
    return tris;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    const aiMaterial* mat = scene->mMaterials[mesh->mMaterialIndex];
    aiColor4D diffuse(1, 1, 1, 1);
    mat->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    glm::vec3 colour(diffuse.r, diffuse.g, diffuse.b);
    aiString tex;
    if (mat->GetTexture(aiTextureType_DIFFUSE, 0, &tex) == AI_SUCCESS) {
      std::string name = tex.C_Str();
      std::replace(name.begin(), name.end(), '\\', '/');
      colour *= MeanColour(content / name);
    }
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      if (face.mNumIndices != 3) continue;
      Tri t;
      for (int k = 0; k < 3; ++k) {
        const aiVector3D& v = mesh->mVertices[face.mIndices[k]];
        t.p[k] = {v.x, v.y, v.z};
      }
      t.colour = colour;
      tris.push_back(t);
    }
  }
  return tris;
}

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), rgb_(static_cast<size_t>(w * h) * 3, 40), depth_(static_cast<size_t>(w * h), -1e30f) {}

  // view: file coordinates to (screen x, screen y up, depth toward viewer);
  // [lo, hi] of screen x/y maps onto the cell at (cx, cy) of size cw x ch.
  void Draw(const std::vector<Tri>& tris, const glm::mat3& view, glm::vec2 lo, glm::vec2 hi, int cx, int cy, int cw,
            int ch) {
    const glm::vec3 light = glm::normalize(glm::vec3(-0.3f, 0.5f, 0.8f));
    const float scale = std::min(static_cast<float>(cw) / (hi.x - lo.x), static_cast<float>(ch) / (hi.y - lo.y));
    for (const Tri& t : tris) {
      glm::vec3 s[3];
      for (int k = 0; k < 3; ++k) {
        const glm::vec3 v = view * t.p[k];
        s[k] = {static_cast<float>(cx) + (v.x - lo.x) * scale, static_cast<float>(cy + ch) - (v.y - lo.y) * scale, v.z};
      }
      const glm::vec3 n = glm::cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
      if (glm::length(n) == 0) continue;
      const glm::vec3 vn = glm::normalize(view * n);  // view space, z toward the viewer
      const float shade = 0.35f + 0.65f * std::fabs(glm::dot(vn, light));
      Fill(s, t.colour * shade, cx, cy, cw, ch);
    }
  }

  bool Save(const fs::path& file) const {
    return stbi_write_png(file.c_str(), w_, h_, 3, rgb_.data(), w_ * 3) != 0;
  }

 private:
  void Fill(const glm::vec3 s[3], glm::vec3 colour, int cx, int cy, int cw, int ch) {
    const int x0 = std::max(cx, static_cast<int>(std::floor(std::min({s[0].x, s[1].x, s[2].x}))));
    const int x1 = std::min(cx + cw - 1, static_cast<int>(std::ceil(std::max({s[0].x, s[1].x, s[2].x}))));
    const int y0 = std::max(cy, static_cast<int>(std::floor(std::min({s[0].y, s[1].y, s[2].y}))));
    const int y1 = std::min(cy + ch - 1, static_cast<int>(std::ceil(std::max({s[0].y, s[1].y, s[2].y}))));
    const float area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
    if (std::fabs(area) < 1e-9f) return;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
        const float w0 = ((s[1].x - px) * (s[2].y - py) - (s[2].x - px) * (s[1].y - py)) / area;
        const float w1 = ((s[2].x - px) * (s[0].y - py) - (s[0].x - px) * (s[2].y - py)) / area;
        const float w2 = 1 - w0 - w1;
        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
        const float z = w0 * s[0].z + w1 * s[1].z + w2 * s[2].z;
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x);
        if (z < depth_[i]) continue;
        depth_[i] = z;
        for (int c = 0; c < 3; ++c)
          rgb_[i * 3 + c] = static_cast<unsigned char>(std::clamp(colour[c], 0.0f, 1.0f) * 255.0f);
      }
  }

  int w_, h_;
  std::vector<unsigned char> rgb_;
  std::vector<float> depth_;
};

// Rows of the matrices are screen x, screen y and depth, in file axes (z up).
const glm::mat3 kTop = glm::transpose(glm::mat3({1, 0, 0}, {0, 1, 0}, {0, 0, 1}));
glm::mat3 Slanted(float yaw, float pitch) {
  const glm::vec3 right(std::cos(yaw), std::sin(yaw), 0);
  const glm::vec3 forward(-std::sin(yaw) * std::cos(pitch), std::cos(yaw) * std::cos(pitch), -std::sin(pitch));
  const glm::vec3 up = glm::cross(right, forward);
  return glm::transpose(glm::mat3(right, up, -forward));
}

void Bounds(const std::vector<Tri>& tris, const glm::mat3& view, glm::vec2& lo, glm::vec2& hi) {
  lo = glm::vec2(1e30f);
  hi = glm::vec2(-1e30f);
  for (const Tri& t : tris)
    for (const auto& p : t.p) {
      const glm::vec3 v = view * p;
      lo = glm::min(lo, glm::vec2(v));
      hi = glm::max(hi, glm::vec2(v));
    }
  const glm::vec2 pad = (hi - lo) * 0.05f + glm::vec2(0.01f);
  lo -= pad;
  hi += pad;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CONTENT_DIR OUT_DIR\n", argv[0]);
    return 2;
  }
  const fs::path content = argv[1], out = argv[2];
  fs::create_directories(out);
  for (const auto& area : fs::directory_iterator(content / "worlds")) {
    for (const char* kind : {"Render", "Check"}) {
      std::vector<Tri> tris;
      for (int t = 0; t < 16; ++t) {
        const std::string name = "world" + std::to_string(t / 4 + 1) + std::to_string(t % 4 + 1) + ".x";
        const auto tile = Load(area.path() / kind / name, content);
        tris.insert(tris.end(), tile.begin(), tile.end());
      }
      Canvas canvas(1600, 800);
      canvas.Draw(tris, kTop, {-520, -520}, {520, 520}, 0, 0, 800, 800);
      const glm::mat3 slant = Slanted(0.5f, 0.6f);
      glm::vec2 lo, hi;
      Bounds(tris, slant, lo, hi);
      canvas.Draw(tris, slant, lo, hi, 800, 0, 800, 800);
      canvas.Save(out / (area.path().filename().string() + "-" + kind + ".png"));
    }
  }
  std::vector<fs::path> models;
  for (const auto& f : fs::directory_iterator(content / "objects")) models.push_back(f.path());
  std::sort(models.begin(), models.end());
  constexpr int kCell = 200, kColumns = 6;
  const int rows = static_cast<int>((models.size() + kColumns - 1) / kColumns);
  Canvas sheet(kCell * kColumns, kCell * rows);
  for (size_t i = 0; i < models.size(); ++i) {
    const auto tris = Load(models[i], content);
    const glm::mat3 view = Slanted(3.14159f + 0.6f, 0.35f);
    glm::vec2 lo, hi;
    Bounds(tris, view, lo, hi);
    sheet.Draw(tris, view, lo, hi, static_cast<int>(i % kColumns) * kCell, static_cast<int>(i / kColumns) * kCell,
               kCell - 4, kCell - 4);
    std::printf("%2zu %s\n", i, models[i].filename().c_str());
  }
  sheet.Save(out / "objects.png");
  return 0;
}
