// Drives the real launcher window (ImGui over SDL + GL) with injected mouse
// and keyboard input, and checks what it stores.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "launcher/launcher_window.h"
#include "launcher/settings_store.h"
#include "tests/launcher/fake_services.h"

namespace halvex {
namespace {

const std::vector<std::string> kAreas = {"Proving Grounds", "Sunken Citadel"};

class LauncherWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = test::TempStore();
    registry_ = std::make_unique<platform::Registry>(file_);
    registry_->Load();
    options_ = std::make_unique<OptionsDialog>(settings_, *registry_, services_, kAreas);
    advanced_ = std::make_unique<AdvancedDialog>(settings_, *registry_, services_);
    window_ = std::make_unique<LauncherWindow>(*options_, *advanced_, host_);
    if (!window_->Start()) GTEST_SKIP() << "no display for the launcher window";
    Frames(3);
  }
  void TearDown() override {
    host_.Close();
    std::filesystem::remove_all(file_.parent_path());
  }

  std::optional<DialogResult> Frames(int n) {
    for (int i = 0; i < n; ++i) {
      if (auto r = window_->Frame()) return r;
    }
    return std::nullopt;
  }
  // Clicks and lets ImGui see the press and the release on separate frames.
  std::optional<DialogResult> Click(int x, int y) {
    host_.InjectMouseMove(x, y);
    if (auto r = Frames(2)) return r;
    host_.InjectClick(x, y);
    return Frames(4);
  }
  std::optional<DialogResult> ClickButton(int i) {
    return Click(layout::kButtonLeft[i] + layout::kButtonWidth / 2,
                 layout::kButtonTop + layout::kButtonHeight / 2);
  }
  void Screenshot(const std::string& name) {
    const char* dir = std::getenv("HALVEX_BINARY_DIR");
    std::filesystem::path out = std::filesystem::path(dir ? dir : ".") / "screens";
    std::filesystem::create_directories(out);
    host_.CaptureNextFrame((out / name).string());
    Frames(1);
    EXPECT_TRUE(host_.lastCaptureOk());
  }
  std::optional<std::string> Stored(const char* key, const char* name) const {
    platform::Registry r(file_);
    r.Load();
    return r.Get(key, name);
  }

  std::filesystem::path file_;
  Settings settings_;
  test::FakeServices services_;
  std::unique_ptr<platform::Registry> registry_;
  std::unique_ptr<OptionsDialog> options_;
  std::unique_ptr<AdvancedDialog> advanced_;
  platform::ImGuiHost host_;
  std::unique_ptr<LauncherWindow> window_;
};

TEST_F(LauncherWindowTest, FirstRunThenStartStoresTheMainValues) {
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kWelcomeTitle);
  // The tip of the row under the pointer shows in the status bar.
  host_.InjectMouseMove(150, kOptionsRows[7].top + 5);
  Frames(2);
  EXPECT_EQ(options_->statusText(), kOptionsRows[7].tip);
  Screenshot("launcher-options.png");

  // Type 40 bots: select the box, clear it, type.
  Click(layout::kControlLeft + 20, kOptionsRows[7].top + 4);
  host_.InjectKey(SDLK_BACKSPACE, true);
  Frames(2);
  host_.InjectKey(SDLK_BACKSPACE, false);
  host_.InjectText("4x0");  // the letter is refused by the digits-only box
  Frames(3);
  EXPECT_EQ(options_->controls().botsBox, "40");

  auto result = ClickButton(0);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, DialogResult::Started);
  EXPECT_EQ(settings_.botCount, 32);
  EXPECT_EQ(Stored(kMainKey, "Number Bots"), "32");
  EXPECT_EQ(Stored(kMainKey, "Name"), "Player 1");
  EXPECT_EQ(Stored(kMainKey, "Resolution"), "3");
  EXPECT_FALSE(Stored(kAdvancedKey, "Framerate"));
}

// Ctrl+click turns the slider into a number box; what is typed there must
// still land on the -1..10 scale, in the control and in the store.
TEST_F(LauncherWindowTest, TypedBloodBeyondTheSliderStaysOnItsScale) {
  const int x = layout::kBloodLeft + layout::kBloodWidth / 2;
  const int y = layout::kBloodTop + 7;
  host_.InjectMouseMove(x, y);
  Frames(2);
  // The ImGui backend reads Ctrl from SDL's modifier state at each key event.
  SDL_SetModState(KMOD_LCTRL);
  host_.InjectKey(SDLK_LCTRL, true);
  Frames(2);
  host_.InjectClick(x, y);
  Frames(3);
  SDL_SetModState(KMOD_NONE);
  host_.InjectKey(SDLK_LCTRL, false);
  Frames(2);
  host_.InjectText("500");
  Frames(3);
  host_.InjectKey(SDLK_RETURN, true);
  Frames(2);
  host_.InjectKey(SDLK_RETURN, false);
  Frames(2);
  EXPECT_EQ(options_->controls().blood, 10);
  auto result = ClickButton(0);
  ASSERT_TRUE(result);
  EXPECT_EQ(Stored(kMainKey, "Blood Amount"), "10");
}

TEST_F(LauncherWindowTest, ExitStoresNothing) {
  auto result = ClickButton(3);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, DialogResult::Left);
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(LauncherWindowTest, AdvancedDialogAsksBeforeDebugModeAndSavesAll) {
  EXPECT_FALSE(ClickButton(1));
  ASSERT_TRUE(window_->advancedOpen());
  Frames(2);
  Screenshot("launcher-advanced.png");
  // "Allow Debug Mode" is the sixth row of the right column: click its Yes.
  const int debugRowY = kAdvancedBandTop + 5 * kAdvancedBandStep;
  Click(layout::kAdvancedRadioLeft[1] + 6, debugRowY + 4);
  services_.answer = false;
  Click(layout::kAdvancedButtonLeft[0] + 40, layout::kAdvancedButtonTop + 10);
  ASSERT_EQ(services_.questions.size(), 1u);
  EXPECT_TRUE(window_->advancedOpen()) << "declining keeps the dialog open";
  services_.answer = true;
  Click(layout::kAdvancedButtonLeft[0] + 40, layout::kAdvancedButtonTop + 10);
  EXPECT_FALSE(window_->advancedOpen());
  EXPECT_TRUE(settings_.debugMode);
  for (const AdvancedSwitch& sw : kAdvancedSwitches) {
    EXPECT_TRUE(Stored(kAdvancedKey, sw.registryName)) << sw.registryName;
  }
  EXPECT_EQ(Stored(kAdvancedKey, "Debug Mode"), "1");
  EXPECT_FALSE(Stored(kMainKey, "Name")) << "saving the advanced dialog stores only its values";
}

TEST_F(LauncherWindowTest, ComfortAndKeyPagesStoreOnlyWhatThePlayerChanged) {
  EXPECT_FALSE(ClickButton(1));
  auto nextPage = [&] { Click(layout::kAdvancedPageButton[0] + 20, layout::kAdvancedButtonTop + 10); };
  nextPage();
  Frames(2);
  Screenshot("launcher-comfort.png");
  // Invert Mouse is the third row of the left column: click its Yes.
  Click(layout::kAdvancedRadioLeft[0] + 6, kAdvancedBandTop + 2 * kAdvancedBandStep + 4);
  nextPage();
  // Move Forward, the first key: click its button, then press the Up arrow.
  Click(layout::kAdvancedRadioLeft[0] + 30, kAdvancedBandTop + 6);
  host_.InjectKey(SDLK_UP, true);
  Frames(2);
  host_.InjectKey(SDLK_UP, false);
  Frames(2);
  // Jump, the last of the right column, onto the left button: the click lands
  // on "Return Without Saving", which must not act while a key is awaited.
  Click(layout::kAdvancedRadioLeft[1] + 30, kAdvancedBandTop + 5 * kAdvancedBandStep + 6);
  Click(layout::kAdvancedButtonLeft[1] + 40, layout::kAdvancedButtonTop + 10);
  ASSERT_TRUE(window_->advancedOpen());
  Screenshot("launcher-keys.png");
  Click(layout::kAdvancedButtonLeft[0] + 40, layout::kAdvancedButtonTop + 10);
  EXPECT_FALSE(window_->advancedOpen());
  EXPECT_TRUE(settings_.comfort.invertMouse);
  EXPECT_EQ(Stored(kComfortKey, "Invert Mouse"), "1");
  EXPECT_EQ(Stored(kComfortKey, "Key Forward"), "200") << "the Up arrow's scan code";
  EXPECT_EQ(Stored(kComfortKey, "Key Jump"), "256") << "the left mouse button";
  EXPECT_FALSE(Stored(kComfortKey, "Mouse Sensitivity")) << "untouched values stay out of the file";
  EXPECT_FALSE(Stored(kComfortKey, "Key Backward"));
}

TEST_F(LauncherWindowTest, OwnFilePickerWhenTheDesktopHasNone) {
  namespace fs = std::filesystem;
  fs::path music = file_.parent_path() / "music";
  fs::create_directories(music);
  std::ofstream(music / "theme.mp3") << "x";
  ::setenv("HOME", music.c_str(), 1);
  services_.pickerUnavailable = true;
  // Custom Soundtrack: Yes.
  Click(layout::kControlLeft + 6, kOptionsRows[3].top + 4);
  ASSERT_TRUE(options_->ownPickerWanted());
  Frames(2);
  Screenshot("launcher-picker.png");
  // The first entry under ".." is the file; double-click chooses it.
  const int firstFileY = 52 + 4 + 17 + 8;
  host_.InjectMouseMove(60, firstFileY);
  Frames(2);
  host_.InjectClick(60, firstFileY);
  Frames(2);
  host_.InjectClick(60, firstFileY);
  Frames(4);
  EXPECT_FALSE(options_->ownPickerWanted());
  EXPECT_EQ(options_->soundtrackPath(), (music / "theme.mp3").string());
}

}  // namespace
}  // namespace halvex
