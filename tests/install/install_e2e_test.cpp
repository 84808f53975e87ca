// `cmake --install` into a fresh prefix, then the installed game as a
// player's desktop would start it: from an unrelated folder, with nothing
// to tell it where its content is.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/shell_run.h"

namespace fs = std::filesystem;

namespace {

using halvex::test::ProcessRun;
using halvex::test::RunShell;

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// cmake --install records what it wrote in the build folder's
// install_manifest.txt, which players use to uninstall: keep theirs.
class KeptFile {
 public:
  explicit KeptFile(fs::path file) : file_(std::move(file)), existed_(fs::exists(file_)) {
    if (existed_) text_ = ReadText(file_);
  }
  ~KeptFile() {
    if (!existed_) {
      fs::remove(file_);
      return;
    }
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << text_;
  }

 private:
  fs::path file_;
  bool existed_;
  std::string text_;
};

TEST(Install, TheInstalledGameRunsFromAnyFolderWithItsDesktopFilesInPlace) {
  const char* build = std::getenv("HALVEX_BINARY_DIR");
  ASSERT_NE(build, nullptr) << "run through ctest";
  const fs::path root = fs::temp_directory_path() / ("halvex-install-" + std::to_string(::getpid()));
  const fs::path prefix = root / "prefix";
  fs::remove_all(root);
  fs::create_directories(root / "elsewhere");
  const struct RemovedAtEnd {
    fs::path path;
    ~RemovedAtEnd() { fs::remove_all(path); }
  } removed{root};
  {
    KeptFile manifest(fs::path(build) / "install_manifest.txt");
    ProcessRun install = RunShell(std::string(HALVEX_CMAKE_COMMAND) + " --install " + Quoted(build) +
                                  " --prefix " + Quoted(prefix));
    ASSERT_EQ(install.code, 0) << install.output;
  }

  for (const char* tool : {"halvex", "halvex_contentgen", "halvex_contentcheck"}) {
    const fs::path exe = prefix / "bin" / tool;
    EXPECT_TRUE(fs::exists(exe)) << exe;
    EXPECT_EQ(::access(exe.c_str(), X_OK), 0) << exe << " is not executable";
  }
  const fs::path content = prefix / "share" / "halvex";
  EXPECT_TRUE(fs::exists(content / "system" / "worlds.txt"));
  EXPECT_TRUE(fs::exists(content / "readme.txt")) << "the launcher's welcome sends players to it";
  EXPECT_FALSE(fs::exists(content / ".generated")) << "the build's stamp is not content";

  const std::string desktop = ReadText(prefix / "share" / "applications" / "halvex.desktop");
  for (const char* line : {"[Desktop Entry]", "\nType=Application\n", "\nName=Halvex\n", "\nExec=halvex\n",
                           "\nIcon=halvex\n", "\nCategories=Game;ActionGame;\n"})
    EXPECT_NE(desktop.find(line), std::string::npos) << "halvex.desktop lacks " << line;
  for (const char* size : {"64x64", "256x256"}) {
    const std::string icon = ReadText(prefix / "share" / "icons" / "hicolor" / size / "apps" / "halvex.png");
    EXPECT_EQ(icon.substr(0, 8), "\x89PNG\r\n\x1a\n") << size << " icon missing or not a PNG";
  }

  // The installed checker agrees that the installed pack is whole.
  ProcessRun check = RunShell(Quoted(prefix / "bin" / "halvex_contentcheck") + " " + Quoted(content));
  EXPECT_EQ(check.code, 0) << check.output;

  // Started as a menu would start it: from an unrelated folder, with
  // nothing saying where the content is.
  ProcessRun run = RunShell("cd " + Quoted(root / "elsewhere") + " && SDL_AUDIODRIVER=dummy timeout 120 " +
                         Quoted(prefix / "bin" / "halvex") + " --headless --frames 30 --config-dir " +
                         Quoted(root / "config"));
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_TRUE(fs::is_empty(root / "elsewhere")) << "a headless run leaves nothing in the working folder";
}

}  // namespace
