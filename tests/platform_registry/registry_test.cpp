#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using halvex::platform::AtoiLike;
using halvex::platform::Registry;
using halvex::platform::RegistryKey;

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("halvex-registry-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    file_ = Registry::FileIn(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Spit(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }

  fs::path dir_;
  fs::path file_;
};

TEST(AtoiLike, FollowsTheCLibraryRules) {
  EXPECT_EQ(AtoiLike("42"), 42);
  EXPECT_EQ(AtoiLike("   -7xyz"), -7);
  EXPECT_EQ(AtoiLike("+3"), 3);
  EXPECT_EQ(AtoiLike("abc"), 0);
  EXPECT_EQ(AtoiLike(""), 0);
  EXPECT_EQ(AtoiLike("12 34"), 12);
  EXPECT_EQ(AtoiLike("- 5"), 0);
  // Out of range saturates instead of wrapping into a surprising value.
  EXPECT_EQ(AtoiLike("99999999999999999999"), INT_MAX);
  EXPECT_EQ(AtoiLike("-99999999999999999999"), INT_MIN);
}

TEST_F(RegistryTest, MissingFileReadsEmptyAndValuesRoundTripThroughTheFile) {
  Registry reg(file_);
  EXPECT_TRUE(reg.Load());
  EXPECT_FALSE(reg.Get("Software\\Varnholt\\Halvex", "Name"));

  const std::string awkward = "A=b [c] \\d\nnew line\ttab \xC3\xA9";
  reg.Set("Software\\Varnholt\\Halvex", "Name", awkward);
  reg.Set("Software\\Varnholt\\Halvex", "Number Bots", "12");
  reg.Set("Software\\Varnholt\\Halvex\\Advanced", "Debug Mode", "1");
  ASSERT_TRUE(reg.Save());

  Registry again(file_);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Get("Software\\Varnholt\\Halvex", "Name"), awkward);
  EXPECT_EQ(again.Get("Software\\Varnholt\\Halvex", "Number Bots"), "12");
  EXPECT_EQ(again.Get("Software\\Varnholt\\Halvex\\Advanced", "Debug Mode"), "1");
  EXPECT_FALSE(again.Get("Software\\Varnholt\\Halvex", "Debug Mode"));
  // Stored as readable text, one value per line.
  EXPECT_NE(Slurp(file_).find("Number Bots=12\n"), std::string::npos);
}

TEST_F(RegistryTest, KeyReadsDefaultsAndAtoiAndWritesOnlyWhenChanged) {
  Registry reg(file_);
  reg.Load();
  {
    RegistryKey key(reg, "K");
    EXPECT_EQ(key.QueryInt("Missing", 7), 7);
    EXPECT_EQ(key.QueryText("Missing", "dflt", 128), "dflt");
    EXPECT_TRUE(key.Close());
  }
  EXPECT_FALSE(fs::exists(file_)) << "closing an unchanged key must not write";
  {
    RegistryKey key(reg, "K");
    key.SetText("Word", "letters");
    key.SetInt("Neg", -1);
    key.SetText("Long", std::string(300, 'x'));
  }
  Registry again(file_);
  ASSERT_TRUE(again.Load());
  RegistryKey key(again, "K");
  EXPECT_EQ(key.QueryInt("Word", 5), 0);
  EXPECT_EQ(key.QueryInt("Neg", 5), -1);
  EXPECT_EQ(key.QueryText("Long", "", 128).size(), 127u);
}

TEST_F(RegistryTest, CorruptFileReadsEmptyAndIsKeptBeforeBeingReplaced) {
  const std::string garbage = "[Software\\Varnholt\\Halvex]\nName=Ann\nthis line is junk\n";
  Spit(file_, garbage);
  Registry reg(file_);
  EXPECT_FALSE(reg.Load());
  EXPECT_FALSE(reg.Get("Software\\Varnholt\\Halvex", "Name")) << "corrupt file must read as empty";

  reg.Set("Software\\Varnholt\\Halvex", "Name", "Bob");
  ASSERT_TRUE(reg.Save());
  ASSERT_FALSE(reg.backup().empty());
  EXPECT_EQ(Slurp(reg.backup()), garbage);

  Registry again(file_);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Get("Software\\Varnholt\\Halvex", "Name"), "Bob");
}

TEST_F(RegistryTest, BrokenEscapesAndBinaryCountAsCorrupt) {
  for (const std::string& bad : {std::string("[K]\nA=\\q\n"), std::string("[K\nA=1\n"),
                                std::string("A=1\n"), std::string("[K]\nA=\\x4\n"),
                                std::string("[K]\nA=1\0\n", 9)}) {
    Spit(file_, bad);
    Registry reg(file_);
    EXPECT_FALSE(reg.Load()) << bad;
  }
}

TEST_F(RegistryTest, UnwritableLocationFailsWithoutPretending) {
  Spit(dir_ / "blocker", "x");
  Registry reg(dir_ / "blocker" / "sub" / "halvex.conf");
  reg.Load();
  reg.Set("K", "A", "1");
  EXPECT_FALSE(reg.Save());
}

// A writer killed at any moment must leave either the old or the new file,
// complete: never a half-written one.
TEST_F(RegistryTest, SurvivesAWriterKilledMidWrite) {
  auto contentFor = [](int generation) {
    return std::string(4000 + generation % 2 * 3000, static_cast<char>('a' + generation % 2));
  };
  {
    Registry reg(file_);
    reg.Set("K", "V", contentFor(0));
    ASSERT_TRUE(reg.Save());
  }
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Registry reg(file_);
      for (int generation = 1;; ++generation) {
        reg.Set("K", "V", contentFor(generation));
        reg.Save();
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    Registry reg(file_);
    ASSERT_TRUE(reg.Load()) << "round " << round;
    auto value = reg.Get("K", "V");
    ASSERT_TRUE(value) << "round " << round;
    EXPECT_TRUE(*value == contentFor(0) || *value == contentFor(1)) << "round " << round;
  }
}

}  // namespace
