// The pack's files: reproducible, complete, and in the layouts the readers
// count lines in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <algorithm>
#include <unistd.h>

#include "tests/contentgen/pack_util.h"
#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"

namespace halvex::contentgen::test {
namespace {

namespace fs = std::filesystem;

// The generator's files: the build's stamp and the recorded demos (the game
// makes those, after the generator) are not among them.
std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(e.path(), root).generic_string();
    if (e.is_regular_file() && e.path().filename() != ".generated" && name.rfind("demos/", 0) != 0)
      files[name] = ReadBytes(e.path());
  }
  return files;
}

TEST(ContentPack, RegeneratingGivesTheSameBytesAndStaysSmall) {
  const fs::path fresh = fs::temp_directory_path() / ("halvex-pack-" + std::to_string(::getpid()));
  fs::remove_all(fresh);
  Pack pack(fresh);
  GeneratePack(pack);
  const auto built = Snapshot(ContentDir());
  const auto again = Snapshot(fresh);
  fs::remove_all(fresh);
  ASSERT_EQ(built.size(), again.size());
  uint64_t total = 0;
  for (const auto& [name, bytes] : built) {
    auto it = again.find(name);
    ASSERT_NE(it, again.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " differs between runs";
    total += bytes.size();
  }
  EXPECT_LT(total, 40u * 1000 * 1000);
}

TEST(ContentPack, SystemListsNameExistingFiles) {
  const auto textures = ReadLines(ContentDir() / "system/textures.txt");
  ASSERT_FALSE(textures.empty());
  const int count = std::atoi(textures[0].c_str());
  ASSERT_EQ(count, static_cast<int>(textures.size()) - 1);
  for (int i = 1; i <= count; ++i) EXPECT_TRUE(fs::exists(PackFile("textures\\" + textures[i]))) << textures[i];

  const auto sounds = ReadLines(ContentDir() / "system/sounds.txt");
  ASSERT_EQ(sounds.size(), 19u);
  EXPECT_EQ(sounds[0], "18");
  for (size_t i = 1; i < sounds.size(); ++i) EXPECT_TRUE(fs::exists(PackFile("sounds\\" + sounds[i]))) << sounds[i];

  const auto worlds = ReadLines(ContentDir() / "system/worlds.txt");
  ASSERT_EQ(worlds.size(), 3u);
  EXPECT_EQ(worlds[0], "2");
  EXPECT_EQ(worlds[1], "Proving Grounds");
  EXPECT_EQ(worlds[2], "Sunken Citadel");
  for (const char* f : {"system/multitex.fxz", "system/multitexa.fxz", "Halvex2.html"})
    EXPECT_GT(fs::file_size(ContentDir() / f), 100u) << f;
}

TEST(ContentPack, FixedTexturesAndModelsExist) {
  std::vector<std::string> names = {"bullet1", "rocket1", "flare1", "smoke1", "shadow2", "blood", "chat", "band",
                                    "armor", "shark", "botblack", "botwhite", "botred", "botblue", "botyellow",
                                    "radioact", "floor", "bark1", "leaves"};
  for (int i = 0; i < 5; ++i) names.push_back("lens" + std::to_string(i));
  for (int i = 0; i < 10; ++i) names.push_back("shine" + std::to_string(i));
  for (const auto& n : names) EXPECT_TRUE(fs::exists(PackFile("textures\\" + n + ".dds"))) << n;
  for (int i = 0; i < 32; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "textures\\exp\\caust%02d.tga", i);
    EXPECT_TRUE(fs::exists(PackFile(name))) << name;
  }
  for (const char* m : {"logo", "skybox", "botanim0", "botanim1", "botanim2", "botanim3", "botanim4", "botanim5",
                        "pistol", "rocket3", "shotgun1", "tree", "ocean00", "ocean01", "ocean02", "ocean03",
                        "scythe", "shark00", "shark01", "sphere", "armor", "ground", "raven00", "raven01", "raven02"})
    EXPECT_TRUE(fs::exists(PackFile(std::string("objects\\") + m + ".x"))) << m;
}

// DDS: power-of-two sizes and an alpha channel that sprites actually use.
TEST(ContentPack, TexturesArePowerOfTwoAndSpritesFadeOut) {
  auto read32 = [](const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
  };
  for (const auto& e : fs::directory_iterator(ContentDir() / "textures")) {
    if (e.path().extension() != ".dds") continue;
    const auto b = ReadBytes(e.path());
    ASSERT_GE(b.size(), 128u);
    const uint32_t h = read32(b, 12), w = read32(b, 16);
    EXPECT_TRUE(w >= 32 && (w & (w - 1)) == 0 && h >= 32 && (h & (h - 1)) == 0) << e.path();
    EXPECT_EQ(b.size(), 128u + 4u * w * h) << e.path();
  }
  // round sprites fade to nothing at their corners; leaves have holes
  for (const char* sprite : {"bullet1", "smoke1", "shadow2", "flare1", "lens1", "leaves"}) {
    const auto b = ReadBytes(PackFile(std::string("textures\\") + sprite + ".dds"));
    ASSERT_GT(b.size(), 132u);
    if (std::string(sprite) != "leaves") {
      EXPECT_EQ(b[128 + 3], 0) << sprite << ": the corner should be transparent";
    }
    int opaque = 0, clear = 0;
    for (size_t i = 128 + 3; i < b.size(); i += 4) {
      opaque += b[i] > 128;
      clear += b[i] < 16;
    }
    EXPECT_GT(opaque, 0) << sprite;
    EXPECT_GT(clear, 0) << sprite;
  }
  // The lens flare adds colour: its sprites darken wherever they turn clear.
  for (const char* sprite : {"lens0", "lens2", "lens4", "shine0", "shine5"}) {
    const auto b = ReadBytes(PackFile(std::string("textures\\") + sprite + ".dds"));
    ASSERT_GT(b.size(), 132u);
    for (size_t i = 128; i + 3 < b.size(); i += 4)
      ASSERT_LE(std::max({b[i], b[i + 1], b[i + 2]}), b[i + 3] + 1) << sprite << " texel " << (i - 128) / 4;
  }
}

// The caustics animate and loop: the step from frame 31 back to 0 is no
// bigger than an ordinary step between frames.
TEST(ContentPack, CausticsFramesLoop) {
  auto frame = [](int i) {
    char name[64];
    std::snprintf(name, sizeof name, "textures\\exp\\caust%02d.tga", i);
    return ReadBytes(PackFile(name));
  };
  auto diff = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 18; i < a.size() && i < b.size(); ++i) sum += std::abs(a[i] - b[i]);
    return sum;
  };
  double typical = 0;
  for (int i = 0; i < 31; ++i) {
    const double d = diff(frame(i), frame(i + 1));
    EXPECT_GT(d, 0) << "frames " << i << " and " << i + 1 << " are the same";
    typical = std::max(typical, d);
  }
  EXPECT_LE(diff(frame(31), frame(0)), typical * 1.2);
}

TEST(ContentPack, MessageTablesAreSafeFormatStrings) {
  const auto lines = ReadLines(ContentDir() / "system/messages.txt");
  size_t at = 4;
  for (int table = 0; table < 4; ++table) {
    if (table > 0) ++at;  // label
    ASSERT_LT(at, lines.size());
    const int count = std::atoi(lines[at++].c_str());
    EXPECT_GE(count, 10);
    EXPECT_LE(count, 100);
    for (int i = 0; i < count; ++i, ++at) {
      ASSERT_LT(at, lines.size());
      const std::string& l = lines[at];
      const size_t percents = static_cast<size_t>(std::count(l.begin(), l.end(), '%'));
      size_t names = 0;
      for (size_t pos = l.find("%s"); pos != std::string::npos; pos = l.find("%s", pos + 2)) ++names;
      EXPECT_EQ(percents, names) << l;
      EXPECT_LE(names, 2u) << l;
      EXPECT_LE(l.size() - 2 * names + 2 * 16, 127u) << "too long with two 16-character names: " << l;
    }
  }
  EXPECT_EQ(at, lines.size());
}

struct Wav {
  int rate = 0, bits = 0, channels = 0;
  std::vector<int16_t> samples;
};

Wav ReadWav(const fs::path& file) {
  const auto b = ReadBytes(file);
  Wav w;
  if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" || std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return w;
  w.channels = b[22] | b[23] << 8;
  w.rate = b[24] | b[25] << 8 | b[26] << 16;
  w.bits = b[34] | b[35] << 8;
  for (size_t i = 44; i + 1 < b.size(); i += 2) w.samples.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
  return w;
}

// Effects leave headroom for overlapping; the three ambient loops join their
// end to their start without a jump.
TEST(ContentPack, SoundsArePcmWithHeadroomAndLoopsJoin) {
  const auto list = ReadLines(ContentDir() / "system/sounds.txt");
  ASSERT_EQ(list.size(), 19u);
  for (size_t id = 0; id < 18; ++id) {
    const Wav w = ReadWav(ContentDir() / "sounds" / list[id + 1]);
    ASSERT_EQ(w.bits, 16) << list[id + 1];
    EXPECT_EQ(w.channels, 1);
    EXPECT_TRUE(w.rate == 22050 || w.rate == 44100);
    ASSERT_GT(w.samples.size(), 1000u) << list[id + 1];
    int peak = 0;
    for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 3000) << list[id + 1] << " is nearly silent";
    EXPECT_LT(peak, 20000) << list[id + 1] << " leaves no headroom";
    if (id >= 7 && id <= 9) {
      const int jump = std::abs(w.samples.back() - w.samples.front());
      double meanStep = 0;
      for (size_t i = 1; i < w.samples.size(); ++i) meanStep += std::abs(w.samples[i] - w.samples[i - 1]);
      meanStep /= static_cast<double>(w.samples.size() - 1);
      EXPECT_LE(jump, 4 * meanStep + 1) << list[id + 1] << " clicks where it loops";
      EXPECT_GT(w.samples.size(), static_cast<size_t>(w.rate) * 4) << "ambient loops run for seconds";
    }
  }
}

}  // namespace
}  // namespace halvex::contentgen::test
