// A temporary content folder and a recording device for content tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/paths/paths.h"

namespace halvex {

class ContentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("halvex_ct_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(root_);
    paths::SetContentDirectory(root_.string());
    d3d_ = gfx::Direct3DCreate8(gfx::D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    gfx::D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = pp.BackBufferHeight = 64;
    pp.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
    pp.Windowed = gfx::TRUE;
    ASSERT_EQ(d3d_->CreateDevice(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, nullptr,
                                 gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device_),
              gfx::S_OK);
  }
  void TearDown() override {
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    paths::SetContentDirectory(".");
    std::filesystem::remove_all(root_);
  }

  // path uses slashes, relative to the content folder
  void Write(const std::string& path, const std::string& bytes) {
    auto full = root_ / path;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << bytes;
  }

  // An uncompressed A8R8G8B8 DDS of one colour; the size tells files apart.
  void WriteDds(const std::string& path, uint32_t side, uint32_t argb = 0xFF808080u) {
    std::string d(128, '\0');
    auto put = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
    std::memcpy(&d[0], "DDS ", 4);
    put(4, 124);
    put(12, side);
    put(16, side);
    put(76, 32);
    put(80, 0x41);
    put(88, 32);
    put(92, 0xFF0000);
    put(96, 0xFF00);
    put(100, 0xFF);
    put(104, 0xFF000000u);
    for (uint32_t i = 0; i < side * side; ++i) d.append(reinterpret_cast<const char*>(&argb), 4);
    Write(path, d);
  }

  static uint32_t Width(gfx::Texture* texture) {
    gfx::D3DSURFACE_DESC desc{};
    if (!texture || gfx::FAILED(texture->GetLevelDesc(0, &desc))) return 0;
    return desc.Width;
  }

  std::filesystem::path root_;
  gfx::Direct3D* d3d_ = nullptr;
  gfx::Device* device_ = nullptr;
};

// A model with n materials (material i has diffuse red i/10, alpha 1 - i/4,
// texture "textures\mi.dds"), one triangle each, side by side.
inline std::string ModelWithMaterials(int n) {
  std::string s = "xof 0302txt 0032\nMesh m {\n" + std::to_string(n * 3) + ";\n";
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < 3; ++c) {
      s += std::to_string(i * 2 + (c == 2)) + ".0;" + std::to_string(c == 1) + ".0;0.0;";
      s += (i == n - 1 && c == 2) ? ";\n" : ",\n";
    }
  }
  s += std::to_string(n) + ";\n";
  for (int i = 0; i < n; ++i) {
    s += "3;" + std::to_string(i * 3) + "," + std::to_string(i * 3 + 1) + "," +
         std::to_string(i * 3 + 2) + (i == n - 1 ? ";;\n" : ";,\n");
  }
  s += "MeshMaterialList { " + std::to_string(n) + "; " + std::to_string(n) + "; ";
  for (int i = 0; i < n; ++i) s += std::to_string(i) + (i == n - 1 ? ";; " : ", ");
  for (int i = 0; i < n; ++i) {
    s += "Material { 0." + std::to_string(i) + ";0.5;0.5;" + std::to_string(1.0 - i * 0.25) +
         ";; 7.0; 0.1;0.1;0.1;; 0.0;0.0;0." + std::to_string(i) +
         ";; TextureFilename { \"textures\\\\m" + std::to_string(i) + ".dds\"; } }\n";
  }
  s += "}\n MeshTextureCoords { " + std::to_string(n * 3) + ";\n";
  for (int i = 0; i < n * 3; ++i) {
    s += "0." + std::to_string(i % 10) + ";0.5;" + (i == n * 3 - 1 ? ";\n" : ",\n");
  }
  return s + "}\n}\n";
}

}  // namespace halvex
