#include "launcher/options_dialog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "launcher/file_picker.h"
#include "launcher/settings_store.h"
#include "tests/launcher/fake_services.h"

namespace halvex {
namespace {

const std::vector<std::string> kAreas = {"Proving Grounds", "Sunken Citadel"};

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = test::TempStore(); }
  void TearDown() override { std::filesystem::remove_all(file_.parent_path()); }

  OptionsDialog& OpenDialog() {
    registry_ = std::make_unique<platform::Registry>(file_);
    registry_->Load();
    dialog_ = std::make_unique<OptionsDialog>(settings_, *registry_, services_, kAreas);
    dialog_->Open();
    return *dialog_;
  }
  std::string StoredFile() const {
    std::ifstream in(file_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::optional<std::string> Stored(const char* name) const {
    platform::Registry r(file_);
    r.Load();
    return r.Get(kMainKey, name);
  }

  std::filesystem::path file_;
  Settings settings_;
  test::FakeServices services_;
  std::unique_ptr<platform::Registry> registry_;
  std::unique_ptr<OptionsDialog> dialog_;
};

TEST_F(OptionsDialogTest, FirstRunShowsDefaultsAndTheWelcomeBox) {
  OptionsDialog& d = OpenDialog();
  const auto& c = d.controls();
  EXPECT_EQ(c.nameBox, "Player 1");
  EXPECT_EQ(c.botsBox, "2");
  EXPECT_EQ(c.resolutionSelection, 3);
  EXPECT_EQ(c.areaSelection, 1);
  EXPECT_EQ(c.difficultySelection, 2);
  EXPECT_TRUE(c.fullscreen);
  EXPECT_FALSE(c.soundtrack);
  EXPECT_FALSE(c.hardwareTnL);
  EXPECT_FALSE(c.multiplayer);
  EXPECT_FALSE(c.softwareMode);
  EXPECT_EQ(c.blood, 1);
  EXPECT_EQ(c.address, "192.0.2.7");
  EXPECT_EQ(d.title(), kStandardTitle);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kWelcomeTitle);
  EXPECT_TRUE(d.helpFocused());

  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.screenWidth, 800);
  EXPECT_EQ(settings_.screenHeight, 600);
  EXPECT_EQ(settings_.areaName, "Sunken Citadel");
  EXPECT_EQ(settings_.areaPath, "worlds\\Sunken Citadel");
  EXPECT_EQ(settings_.processPriority, kPriorityClassHigh);
  EXPECT_EQ(settings_.gameThreadPriority, kThreadPriorityAboveNormal);

  // A second run is no first run.
  services_.messages.clear();
  EXPECT_FALSE(OpenDialog().helpFocused());
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(OptionsDialogTest, StartStoresExactlyTheTenMainValuesAsText) {
  OptionsDialog& d = OpenDialog();
  d.controls().nameBox = "Vex";
  d.controls().botsBox = "5";
  d.controls().blood = -1;
  d.ClickFullscreen(false);
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);

  const char* expected[] = {"Name", "Resolution", "Map File", "Number Bots", "Difficulty",
                            "Fullscreen", "Hardware T&L", "Blood Amount", "Soundtrack",
                            "Sound File"};
  platform::Registry r(file_);
  ASSERT_TRUE(r.Load());
  for (const char* name : expected) EXPECT_TRUE(r.Get(kMainKey, name)) << name;
  EXPECT_FALSE(r.HasKey(kAdvancedKey)) << "Start must not store advanced values";
  const std::string text = StoredFile();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 1 + 10);  // header, key, values
  EXPECT_EQ(Stored("Name"), "Vex");
  EXPECT_EQ(Stored("Number Bots"), "5");
  EXPECT_EQ(Stored("Blood Amount"), "-1");
  EXPECT_EQ(Stored("Fullscreen"), "0");
  EXPECT_EQ(Stored("Sound File"), "");
}

TEST_F(OptionsDialogTest, ExitStoresNothing) {
  OptionsDialog& d = OpenDialog();
  d.controls().nameBox = "Changed";
  EXPECT_EQ(d.ClickExit(), DialogResult::Left);
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(OptionsDialogTest, BotCountRulesAndDifficultyScaling) {
  struct Case {
    const char* box;
    int difficulty;
    int bots;
    float leadMin, leadMax, fireDelay, fireChance, messageChance;
  };
  const Case cases[] = {
      {"40", 3, 32, 1.6f, 5.333f, 2.667f, 40, 8},  // f = 4
      {"16", 3, 16, 1.6f, 5.333f, 1.333f, 50, 10},
      {"7", 3, 7, 1.6f, 5.333f, 0.667f, 80, 30},  // below 8, f = 1
      {"", 2, 0, 0.8f, 3.333f, 1.333f, 80, 40},
      {"abc", 0, 0, 0.0f, 0.0f, 3.333f, 80, 40},
      {"12", 4, 12, 2.0f, 6.667f, 0.333f, 60, 20},
      {"99999999999999", 1, 0, 0.4f, 0.667f, 2.667f, 80, 40},
  };
  for (const Case& c : cases) {
    OptionsDialog& d = OpenDialog();
    d.controls().botsBox = c.box;
    d.controls().difficultySelection = c.difficulty;
    ASSERT_EQ(d.ClickStart(), DialogResult::Started);
    SCOPED_TRACE(c.box);
    EXPECT_EQ(settings_.botCount, c.bots);
    EXPECT_NEAR(settings_.botLeadMin, c.leadMin, 1e-3);
    EXPECT_NEAR(settings_.botLeadMax, c.leadMax, 1e-3);
    EXPECT_NEAR(settings_.botFireDelayScale, c.fireDelay, 1e-3);
    EXPECT_EQ(settings_.botFireChance, c.fireChance);
    EXPECT_EQ(settings_.botMessageChance, c.messageChance);
    EXPECT_EQ(Stored("Number Bots"), std::to_string(c.bots));
    EXPECT_EQ(settings_.botCountF, c.bots == 0 ? 1.0f : float(c.bots));
  }
}

TEST_F(OptionsDialogTest, MultiplayerStoresTheBotsButStartsWithNone) {
  OptionsDialog& d = OpenDialog();
  d.controls().botsBox = "9";
  d.ClickMultiplayer(true);
  EXPECT_EQ(d.title(), kMultiplayerTitle);
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(Stored("Number Bots"), "9");
  EXPECT_EQ(settings_.botCount, 0);
  EXPECT_EQ(settings_.processPriority, kPriorityClassNormal);
  EXPECT_EQ(settings_.gameThreadPriority, kThreadPriorityNormal);
  // Neither multiplayer nor software mode is remembered.
  EXPECT_FALSE(OpenDialog().controls().multiplayer);
}

TEST_F(OptionsDialogTest, SoftwareModeForcesHardwareOffAndAsksFirst) {
  OptionsDialog& d = OpenDialog();
  d.ClickHardwareTnL(true);
  d.ClickSoftwareMode(true);
  EXPECT_FALSE(d.controls().hardwareTnL);
  EXPECT_FALSE(d.controls().hardwareTnLEnabled);
  d.ClickHardwareTnL(true);  // disabled: no effect
  EXPECT_FALSE(d.controls().hardwareTnL);

  services_.answer = false;
  EXPECT_EQ(d.ClickStart(), DialogResult::Open);
  EXPECT_FALSE(std::filesystem::exists(file_)) << "a declined start stores nothing";
  services_.answer = true;
  EXPECT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_TRUE(settings_.softwareRasterizer);
  EXPECT_EQ(services_.questions.size(), 2u);

  d.ClickSoftwareMode(false);
  EXPECT_TRUE(d.controls().hardwareTnLEnabled);
  EXPECT_FALSE(d.controls().hardwareTnL) << "re-enabling keeps the check as it was";
}

TEST_F(OptionsDialogTest, StoredIndicesOutsideTheListsLeaveNoSelection) {
  {
    platform::Registry r(file_);
    r.Set(kMainKey, "Name", "Old");
    r.Set(kMainKey, "Resolution", "9");
    r.Set(kMainKey, "Difficulty", "x");  // reads as 0
    r.Set(kMainKey, "Map File", "7");
    ASSERT_TRUE(r.Save());
  }
  OptionsDialog& d = OpenDialog();
  EXPECT_EQ(d.controls().resolutionSelection, -1);
  EXPECT_EQ(d.controls().difficultySelection, 0);
  EXPECT_EQ(d.controls().areaSelection, -1);
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.screenWidth, 320);
  EXPECT_EQ(settings_.screenHeight, 200);
  EXPECT_EQ(Stored("Resolution"), "-1");
  EXPECT_EQ(Stored("Map File"), "-1");
  EXPECT_EQ(settings_.areaName, "Proving Grounds");
}

TEST_F(OptionsDialogTest, DesktopSizesFollowTheOriginalFiveAndAreStoredApart) {
  services_.desktopSizes = {"1920x1080", "800x600", "1280x720", "1920x1080", "junk", "1280x1024"};
  OptionsDialog& d = OpenDialog();
  const std::vector<std::string> expected = {"320x240", "400x300", "640x480", "800x600", "1024x768",
                                             "1280x720", "1280x1024", "1920x1080"};
  EXPECT_EQ(d.resolutions(), expected);
  d.controls().resolutionSelection = 7;
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.screenWidth, 1920);
  EXPECT_EQ(settings_.screenHeight, 1080);
  EXPECT_EQ(Stored("Resolution"), "3") << "the original index is left as it was";
  platform::Registry r(file_);
  r.Load();
  EXPECT_EQ(r.Get(kComfortKey, "Screen Size"), "1920x1080");

  // Another display without that size still shows the player's choice; an
  // original size clears it.
  services_.desktopSizes = {"1024x768"};
  settings_ = Settings{};
  OptionsDialog& again = OpenDialog();
  ASSERT_EQ(again.resolutions().size(), 6u);
  EXPECT_EQ(again.controls().resolutionSelection, 5);
  again.controls().resolutionSelection = 2;
  ASSERT_EQ(again.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.screenWidth, 640);
  EXPECT_EQ(Stored("Resolution"), "2");
  settings_ = Settings{};
  EXPECT_EQ(OpenDialog().resolutions().size(), 5u) << "nothing of the desktop size is left";
}

TEST_F(OptionsDialogTest, SoundtrackPickerKeepsThePathOnCancel) {
  OptionsDialog& d = OpenDialog();
  services_.pickedFile = "/music/a.mp3";
  d.ClickSoundtrack(true);
  EXPECT_EQ(settings_.soundtrackPath, "/music/a.mp3");
  services_.pickedFile.reset();
  d.ClickSoundtrack(true);
  EXPECT_TRUE(d.controls().soundtrack);
  EXPECT_EQ(settings_.soundtrackPath, "/music/a.mp3");
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(Stored("Sound File"), "/music/a.mp3");
  EXPECT_EQ(Stored("Soundtrack"), "1");
}

TEST_F(OptionsDialogTest, LongNamesAreCutToNineteenCharacters) {
  OptionsDialog& d = OpenDialog();
  d.controls().nameBox = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.playerName, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(ClampText("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9");
}

// A hand-edited file or an old build may hold any number: the game, the
// dialog and the next save all see the nearest end of the -1..10 scale.
TEST_F(OptionsDialogTest, StoredBloodOutsideTheScaleReadsAsItsNearestEnd) {
  const std::pair<const char*, int> cases[] = {
      {"500", 10}, {"2147483647", 10}, {"99999999999", 10}, {"-500", -1}, {"-2147483648", -1},
      {"7", 7}, {"-1", -1}};
  for (const auto& [stored, expected] : cases) {
    SCOPED_TRACE(stored);
    {
      platform::Registry r(file_);
      r.Set(kMainKey, "Name", "Old");
      r.Set(kMainKey, "Blood Amount", stored);
      ASSERT_TRUE(r.Save());
    }
    OptionsDialog& d = OpenDialog();
    EXPECT_EQ(settings_.bloodAmount, expected);
    EXPECT_EQ(d.controls().blood, expected);
    ASSERT_EQ(d.ClickStart(), DialogResult::Started);
    EXPECT_EQ(Stored("Blood Amount"), std::to_string(expected));

    // The path that skips the launcher reads the same way.
    platform::Registry r(file_);
    ASSERT_TRUE(r.Load());
    r.Set(kMainKey, "Blood Amount", stored);
    Settings s;
    ReadMainSettings(platform::RegistryKey(r, kMainKey), s);
    EXPECT_EQ(s.bloodAmount, expected);
  }
}

// The slider takes typed values (Ctrl+click), which ignore its range.
TEST_F(OptionsDialogTest, BloodControlHoldsOnlyTheScale) {
  OptionsDialog& d = OpenDialog();
  d.SetBlood(500);
  EXPECT_EQ(d.controls().blood, 10);
  d.SetBlood(-500);
  EXPECT_EQ(d.controls().blood, -1);
  d.SetBlood(4);
  EXPECT_EQ(d.controls().blood, 4);
  // Whatever reached the control, Start keeps the scale.
  d.controls().blood = 500;
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.bloodAmount, 10);
  EXPECT_EQ(Stored("Blood Amount"), "10");
}

// A file where the settings folder should be: nothing can be written there.
TEST_F(OptionsDialogTest, StartWithAnUnwritableFolderSaysSoAndStartsAnyway) {
  const std::filesystem::path folder = file_.parent_path();
  std::filesystem::create_directories(folder.parent_path());
  std::ofstream(folder) << "not a folder\n";
  OptionsDialog& d = OpenDialog();
  services_.messages.clear();
  services_.texts.clear();
  d.controls().nameBox = "Vex";
  d.SetBlood(6);
  ASSERT_EQ(d.ClickStart(), DialogResult::Started);
  EXPECT_EQ(settings_.playerName, "Vex");
  EXPECT_EQ(settings_.bloodAmount, 6);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0], kSettingsNotSavedTitle);
  EXPECT_NE(services_.texts[0].find(folder.string()), std::string::npos) << services_.texts[0];
  EXPECT_NE(services_.texts[0].find("not kept"), std::string::npos) << services_.texts[0];
}

TEST_F(OptionsDialogTest, TipsFollowThePointerOverTheLabels) {
  OptionsDialog& d = OpenDialog();
  d.MouseMove(150, 40);
  EXPECT_EQ(d.statusText(), kOptionsRows[0].tip);
  d.MouseMove(234, 313);
  EXPECT_EQ(d.statusText(), kOptionsRows[11].tip);
  d.MouseMove(150, 55);  // between two bands
  EXPECT_EQ(d.statusText(), kOptionsStatusText);
  d.MouseMove(150, 205);
  d.MouseMove(300, 205);  // right of the labels
  EXPECT_EQ(d.statusText(), kOptionsStatusText);
}

}  // namespace
}  // namespace halvex

namespace halvex {
namespace {

TEST(FilePickerPatterns, WildcardsIgnoreCase) {
  EXPECT_TRUE(MatchesPattern("Theme.MP3", "*.mp3"));
  EXPECT_TRUE(MatchesPattern("a.mid", "*.mid"));
  EXPECT_FALSE(MatchesPattern("a.midi.txt", "*.midi"));
  EXPECT_TRUE(MatchesPattern("track01.wav", "track??.wav"));
  EXPECT_FALSE(MatchesPattern("track1.wav", "track??.wav"));
  EXPECT_TRUE(MatchesPattern("anything", "*"));
  EXPECT_TRUE(MatchesPattern("a*b.mp3", "*.mp3"));
}

TEST(FilePickerListing, FoldersFirstThenMatchingFilesAndWalking) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("halvex-picker-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "albums");
  for (const char* f : {"b.mp3", "a.MID", "notes.txt", ".hidden.mp3"}) std::ofstream(root / f) << "x";
  std::ofstream(root / "albums" / "c.wav") << "x";

  FilePicker picker(root.string(), {"*.mp3", "*.wav", "*.mid", "*.midi"});
  std::vector<std::string> names;
  for (const auto& e : picker.entries()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"..", "albums", "a.MID", "b.mp3"}));

  EXPECT_EQ(picker.Open({"albums", true}), "");
  ASSERT_EQ(picker.entries().size(), 2u);
  EXPECT_EQ(picker.Open(picker.entries()[1]), (root / "albums" / "c.wav").string());
  picker.Open({"..", true});
  EXPECT_EQ(fs::path(picker.folder()), root);
  picker.SetPatterns({"*"});
  EXPECT_EQ(picker.entries().size(), 5u) << "all files but the hidden one";
  fs::remove_all(root);
}

TEST_F(OptionsDialogTest, OwnPickerWhenTheDesktopHasNone) {
  OptionsDialog& d = OpenDialog();
  services_.pickerUnavailable = true;
  d.ClickSoundtrack(true);
  EXPECT_TRUE(d.ownPickerWanted());
  d.ChooseSoundtrack(std::string(300, 'x'));  // too long to keep
  EXPECT_FALSE(d.ownPickerWanted());
  EXPECT_EQ(settings_.soundtrackPath, "");
  d.ClickSoundtrack(true);
  d.ChooseSoundtrack("/music/b.mid");
  EXPECT_EQ(settings_.soundtrackPath, "/music/b.mid");
}

}  // namespace
}  // namespace halvex
