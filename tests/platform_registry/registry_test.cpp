#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// A slip in a hand-edited file costs that line only: the rest is read, the
// warning names the file and the line, and the file as it was is kept aside
// before a save drops the bad line. Binary or oversized files read as empty.
TEST_F(RegistryTest, BadLinesAreSkippedNamedAndKeptAside) {
  struct Case {
    std::string text;
    int badLine;           // 0: the whole file reads as empty
    bool keepsA;           // A=1 under [K] survives
  };
  const Case cases[] = {
      {"[K]\nA=1\nthis line is junk\nB=2\n", 3, true},
      {"[K]\nA=1\nC=\\q\nB=2\n", 3, true},
      {"[K]\nA=1\nC=\\x4\r\nB=2\n", 3, true},
      {"C=0\n[K]\nA=1\nB=2\n", 1, true},
      {"[K\nC=0\n[K]\nA=1\nB=2\n", 1, true},  // C sits under a key nobody can name
      {"[K]\nA=1\nB=2\n[L]\nC=\\q\nD=\\q\nE=\\q\nF=\\q\nG=\\q\nH=\\q\nI=\\q\n", 5, true},
      {std::string("[K]\nA=1\nB=2\0\n", 13), 0, false},
      {"[K]\nA=1\nB=2\n; " + std::string(2 << 20, 'x') + "\n", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    fs::remove_all(dir_);
    Spit(file_, c.text);
    Registry reg(file_);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(reg.Load());
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find(file_.string()), std::string::npos) << warning;
    if (c.badLine > 0) {
      EXPECT_NE(warning.find("line " + std::to_string(c.badLine) + " "), std::string::npos) << warning;
      EXPECT_LE(std::count(warning.begin(), warning.end(), '\n'), 6) << "a flood of warnings";
    }
    EXPECT_EQ(reg.Get("K", "A"), c.keepsA ? std::optional<std::string>("1") : std::nullopt);
    EXPECT_EQ(reg.Get("K", "B"), c.keepsA ? std::optional<std::string>("2") : std::nullopt);
    EXPECT_FALSE(reg.Get("K", "C"));
    EXPECT_FALSE(reg.Get("", "C"));

    reg.Set("K", "N", "new");
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(reg.Save());
    ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(reg.backup().empty());
    EXPECT_EQ(Slurp(reg.backup()), c.text) << "the file as it was is kept";
    Registry again(file_);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Get("K", "A").has_value(), c.keepsA);
    EXPECT_EQ(again.Get("K", "N"), "new");
  }
}

TEST_F(RegistryTest, UnwritableLocationFailsWithoutPretending) {
  Spit(dir_ / "blocker", "x");
  Registry reg(dir_ / "blocker" / "sub" / "halvex.conf");
  reg.Load();
  reg.Set("K", "A", "1");
  EXPECT_FALSE(reg.Save());
}

// A folder where the file goes is reported, left alone, and never saved over.
TEST_F(RegistryTest, AFolderInTheFilesPlaceIsReportedAndLeftAlone) {
  fs::create_directories(file_);
  Spit(file_ / "inside", "x");
  Registry reg(file_);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(reg.Load());
  reg.Set("K", "A", "1");
  EXPECT_FALSE(reg.Save());
  const std::string warning = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(warning.find(file_.string() + " is a folder"), std::string::npos) << warning;
  EXPECT_FALSE(reg.saveError().empty());
  EXPECT_TRUE(fs::is_directory(file_));
  EXPECT_EQ(Slurp(file_ / "inside"), "x");
}

// A settings file linked in from elsewhere is read through the link, and a
// save replaces the linked file, leaving the link in place; a link to a file
// not made yet gets it made.
TEST_F(RegistryTest, SymbolicLinkIsReadThroughAndItsTargetWritten) {
  for (bool targetExists : {true, false}) {
    SCOPED_TRACE(targetExists ? "link to a file" : "dangling link");
    fs::remove_all(dir_);
    const fs::path real = dir_ / "elsewhere" / "settings.txt";
    fs::create_directories(real.parent_path());
    if (targetExists) Spit(real, "[K]\nA=1\n");
    fs::create_directories(file_.parent_path());
    fs::create_symlink(fs::path("..") / "elsewhere" / "settings.txt", file_);
    Registry reg(file_);
    EXPECT_TRUE(reg.Load());
    EXPECT_EQ(reg.Get("K", "A").has_value(), targetExists);
    reg.Set("K", "B", "2");
    ASSERT_TRUE(reg.Save());
    EXPECT_TRUE(fs::is_symlink(file_)) << "the link was replaced by a file";
    Registry fromTarget(real);
    ASSERT_TRUE(fromTarget.Load());
    EXPECT_EQ(fromTarget.Get("K", "B"), "2");
    EXPECT_EQ(fromTarget.Get("K", "A").has_value(), targetExists);
  }
}

// A save that runs out of room (the file size limit stands in for a full
// disk) reports it and leaves the old file whole, with no partial copy.
TEST_F(RegistryTest, AFullDiskLeavesTheOldFileIntact) {
  Spit(file_, "[K]\nA=old\n");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{2048, 2048};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Registry reg(file_);
    reg.Load();
    reg.Set("K", "A", std::string(10000, 'n'));
    const bool saved = reg.Save();
    ::_exit(!saved && !reg.saveError().empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save claimed success or gave no reason";
  EXPECT_EQ(Slurp(file_), "[K]\nA=old\n");
  for (const auto& entry : fs::directory_iterator(file_.parent_path()))
    EXPECT_EQ(entry.path(), file_) << "left behind";
}

// A folder the player may not write to: the save fails and says why. (Root
// writes through permission bits, so there the case cannot be staged.)
TEST_F(RegistryTest, ReadOnlyFolderFailsTheSaveAndKeepsTheFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  Spit(file_, "[K]\nA=old\n");
  fs::permissions(file_.parent_path(), fs::perms::owner_write, fs::perm_options::remove);
  Registry reg(file_);
  ASSERT_TRUE(reg.Load());
  reg.Set("K", "A", "new");
  EXPECT_FALSE(reg.Save());
  EXPECT_NE(reg.saveError().find("ermission"), std::string::npos) << reg.saveError();
  fs::permissions(file_.parent_path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(Slurp(file_), "[K]\nA=old\n");
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
