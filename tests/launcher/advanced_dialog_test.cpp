#include "launcher/advanced_dialog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "launcher/options_dialog.h"
#include "tests/launcher/fake_services.h"

namespace halvex {
namespace {

constexpr int kQualitySky = 6;
constexpr int kDebug = 12;

class AdvancedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = test::TempStore();
    registry_ = std::make_unique<platform::Registry>(file_);
    registry_->Load();
  }
  void TearDown() override { std::filesystem::remove_all(file_.parent_path()); }
  std::optional<std::string> Stored(const char* name) const {
    platform::Registry r(file_);
    r.Load();
    return r.Get(kAdvancedKey, name);
  }

  std::filesystem::path file_;
  Settings settings_;
  test::FakeServices services_;
  std::unique_ptr<platform::Registry> registry_;
};

TEST_F(AdvancedDialogTest, FreshStoreShowsQualitySkyOffAndSavesAllEighteen) {
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  EXPECT_FALSE(d.yes(kQualitySky)) << "the dialog shows No for a missing High Quality BG";
  EXPECT_TRUE(settings_.qualitySky) << "while the game's own default is on";
  EXPECT_TRUE(d.yes(0));
  EXPECT_FALSE(d.yes(kDebug));
  ASSERT_EQ(d.ClickSave(), DialogResult::Started);
  EXPECT_FALSE(settings_.qualitySky);
  EXPECT_EQ(Stored("Quality Sky"), "0");
  for (const AdvancedSwitch& sw : kAdvancedSwitches) {
    EXPECT_EQ(Stored(sw.registryName), sw.shownWhenMissing ? "1" : "0") << sw.registryName;
  }
  EXPECT_TRUE(services_.questions.empty());
}

TEST_F(AdvancedDialogTest, DebugModeQuestionOnlyWhenSwitchingItOn) {
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  d.Click(kDebug, true);
  services_.answer = false;
  EXPECT_EQ(d.ClickSave(), DialogResult::Open);
  EXPECT_FALSE(settings_.debugMode);
  EXPECT_FALSE(std::filesystem::exists(file_));
  services_.answer = true;
  EXPECT_EQ(d.ClickSave(), DialogResult::Started);
  EXPECT_TRUE(settings_.debugMode);
  EXPECT_EQ(Stored("Debug Mode"), "1");
  ASSERT_EQ(services_.questions.size(), 2u);
  EXPECT_EQ(services_.questions[0], kDebugTitle);

  // Already stored as on: saving asks nothing.
  AdvancedDialog again(settings_, *registry_, services_);
  again.Open();
  EXPECT_TRUE(again.yes(kDebug));
  EXPECT_EQ(again.ClickSave(), DialogResult::Started);
  EXPECT_EQ(services_.questions.size(), 2u);
}

TEST_F(AdvancedDialogTest, ReturnWithoutSavingChangesNothing) {
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  const Settings before = settings_;
  for (int i = 0; i < kAdvancedSwitchCount; ++i) d.Click(i, !d.yes(i));
  EXPECT_EQ(d.ClickReturn(), DialogResult::Left);
  EXPECT_FALSE(std::filesystem::exists(file_));
  for (int i = 0; i < kAdvancedSwitchCount; ++i) {
    EXPECT_EQ(AdvancedValue(settings_, i), AdvancedValue(before, i));
  }
}

TEST_F(AdvancedDialogTest, SaveToAnUnwritableFolderSaysSoAndKeepsTheChoice) {
  // A file where the settings folder should be.
  const std::filesystem::path folder = file_.parent_path();
  std::filesystem::create_directories(folder.parent_path());
  std::ofstream(folder) << "not a folder\n";
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  d.Click(kQualitySky, true);
  EXPECT_EQ(d.ClickSave(), DialogResult::Started);
  EXPECT_TRUE(settings_.qualitySky) << "this run plays with what was chosen";
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kSettingsNotSavedTitle);
  EXPECT_NE(services_.texts[0].find(folder.string()), std::string::npos) << services_.texts[0];
  EXPECT_NE(services_.texts[0].find("not kept"), std::string::npos) << services_.texts[0];
}

TEST_F(AdvancedDialogTest, GameReadsItsOwnDefaultsAndStoredValues) {
  registry_->Set(kAdvancedKey, "Render Trees", "0");
  registry_->Set(kAdvancedKey, "Enemy AI", "7");
  OptionsDialog options(settings_, *registry_, services_, {"A"});
  options.Open();
  EXPECT_FALSE(settings_.renderTrees);
  EXPECT_EQ(settings_.enemyAI, 7);
  EXPECT_TRUE(settings_.qualitySky);
  EXPECT_FALSE(settings_.mipMapping);
}

TEST_F(AdvancedDialogTest, ComfortsAreStoredOnlyOnceChangedAndReadBackWithinTheirRanges) {
  auto fileText = [&] {
    std::ifstream in(file_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  EXPECT_EQ(d.comfort(), ComfortSettings{});
  ASSERT_EQ(d.ClickSave(), DialogResult::Started);
  EXPECT_EQ(fileText().find("Comfort"), std::string::npos) << "untouched comforts leave the file as it was";

  d.Open();
  d.comfort().mouseSensitivity = 150;
  d.comfort().invertMouse = true;
  d.comfort().vsync = true;
  ASSERT_EQ(d.ClickSave(), DialogResult::Started);
  EXPECT_EQ(settings_.comfort.mouseSensitivity, 150);
  Settings game;
  OptionsDialog options(game, *registry_, services_, {"A"});
  options.Open();
  EXPECT_EQ(game.comfort, settings_.comfort);

  // Hand-edited values outside their ranges play at the nearest sensible one.
  registry_->Set(kComfortKey, "Mouse Sensitivity", "5000");
  registry_->Set(kComfortKey, "Frame Cap", "3");
  options.Open();
  EXPECT_EQ(game.comfort.mouseSensitivity, kMouseSensitivityMax);
  EXPECT_EQ(game.comfort.frameCap, 0) << "a cap too low to play at reads as none";
}

TEST_F(AdvancedDialogTest, TipsByColumnAndBand) {
  AdvancedDialog d(settings_, *registry_, services_);
  d.Open();
  d.MouseMove(30, 36 + 24 * 8);
  EXPECT_EQ(d.statusText(), std::string("All lighting effects look better with this on."));
  d.MouseMove(250, 36 + 24 * 8 + 13);
  EXPECT_EQ(d.statusText(),
            std::string("Real-time environment mapping of surfaces; use with newer cards."));
  d.MouseMove(200, 36);
  EXPECT_EQ(d.statusText(), kAdvancedStatusText);
}

}  // namespace
}  // namespace halvex
