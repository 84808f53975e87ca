#include "platform/paths/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace halvex::paths {
namespace {
namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("halvex_paths_" + std::to_string(::getpid()));
    fs::create_directories(root_ / "Worlds" / "Arena" / "Check");
    std::ofstream(root_ / "Worlds" / "Arena" / "Check" / "World11.X") << "x";
    std::ofstream(root_ / "exact.txt") << "x";
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(PathsTest, BackslashesAndCaseDifferencesResolve) {
  std::string found = ResolveUnder(root_.string(), "worlds\\arena\\check\\world11.x");
  EXPECT_EQ(found, (root_ / "Worlds" / "Arena" / "Check" / "World11.X").string());
  EXPECT_TRUE(fs::exists(found));
  EXPECT_EQ(ResolveUnder(root_.string(), "exact.txt"), (root_ / "exact.txt").string());
}

TEST_F(PathsTest, MissingFilesKeepTheExactJoinedPath) {
  EXPECT_EQ(ResolveUnder(root_.string(), "worlds\\arena\\nothing.x"),
            (root_ / "worlds/arena/nothing.x").string());
  EXPECT_EQ(ToHostSeparators("a\\b\\c"), "a/b/c");
}

TEST_F(PathsTest, FindsTheFolderHoldingTheBattleAreaList) {
  std::string candidates[2] = {root_.string(), "."};
  EXPECT_EQ(FindContentDirectory(candidates, 2), "");
  fs::create_directories(root_ / "SYSTEM");
  std::ofstream(root_ / "SYSTEM" / "worlds.txt") << "0\n";
  EXPECT_EQ(FindContentDirectory(candidates, 2), root_.string());
}

}  // namespace
}  // namespace halvex::paths
