// The game's sounds by id, through the sound list, the enable flag and the
// per-frame budget, measured in the mixed output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "audio/game_audio.h"
#include "tests/audio/audio_test_support.h"

namespace halvex::test {
namespace {

constexpr int kQuiet = 60;
constexpr size_t kBurstGap = 441;     // 10 ms
constexpr size_t kGroupGap = 22050;  // 0.5 s

class SoundBankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_ / "sounds");
    raw_ = folder_ / "out.raw";
    UseDiskAudio(raw_, 2);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A sound list of 18 tones, each short with a silent tail so that every
  // repetition is its own burst.
  void InitWithTones() {
    SoundSetup setup;
    for (int i = 0; i < 18; ++i) {
      const std::string name = "s" + std::to_string(i) + ".wav";
      WriteToneWav(folder_ / "sounds" / name, 600.0 + 50 * i, 0.4, 30, 30);
      setup.soundNames.push_back(name);
    }
    setup.resolvePath = [this](const std::string& p) { return Resolve(p); };
    audio_.InitSound(setup);
    ASSERT_TRUE(audio_.device.IsOpen());
  }
  std::string Resolve(const std::string& contentPath) {
    std::string p = contentPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    resolved_.push_back(contentPath);
    return (folder_ / p).string();
  }
  void WaitUntilQuiet() {
    ASSERT_TRUE(WaitFor([&] { return audio_.device.PlayingEffects() == 0; }, 10000));
  }
  std::vector<Burst> FinishBursts() {
    const int channels = audio_.device.Format().channels;
    audio_.ShutdownSound();
    return FindBursts(ReadFirstChannel(raw_, channels), kQuiet, kBurstGap);
  }

  std::filesystem::path folder_, raw_;
  std::vector<std::string> resolved_;
  GameAudio audio_;
};

TEST_F(SoundBankTest, PowerPickupIsHeardThreeTimesAndArmorFour) {
  InitWithTones();
  audio_.bank.soundEnabled = 1;
  audio_.bank.Play(kSoundPowerPickup, 2, 0);
  WaitUntilQuiet();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a long silence
  audio_.bank.Play(kSoundArmorPickup, 3, 0);
  WaitUntilQuiet();
  EXPECT_EQ(GroupBursts(FinishBursts(), kGroupGap), (std::vector<int>{3, 4}));
}

TEST_F(SoundBankTest, NothingSoundsWhileDisabled) {
  InitWithTones();
  for (int id = 0; id < 18; ++id) audio_.bank.Play(id, 2, 0);
  audio_.bank.StartAmbientLoops();
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_TRUE(FinishBursts().empty());
}

TEST_F(SoundBankTest, LoopsStopOnDeactivationAndComeBackOnReactivation) {
  InitWithTones();
  audio_.bank.soundEnabled = 1;  // match start
  audio_.bank.StartAmbientLoops();
  EXPECT_EQ(audio_.device.PlayingEffects(), 3);
  audio_.StopAllSound();  // deactivation
  audio_.bank.soundEnabled = 0;
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  audio_.bank.Play(kSoundHit);
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  audio_.Reactivate(false);
  EXPECT_EQ(audio_.device.PlayingEffects(), 3);
  EXPECT_EQ(audio_.bank.PlayCount(kSoundAmbientLoop2), 2);
  EXPECT_EQ(audio_.bank.PlayCount(kSoundHit), 0);
}

TEST_F(SoundBankTest, ThreeHitsInOneFrameGiveOneHitSound) {
  InitWithTones();
  audio_.bank.soundEnabled = 1;
  FrameSoundBudget hitBudget(1);
  for (int frame = 0; frame < 2; ++frame) {
    hitBudget.NewFrame();
    for (int hit = 0; hit < 3; ++hit) {
      if (hitBudget.Take()) audio_.bank.Play(kSoundHit, 0, 4);
    }
    WaitUntilQuiet();
  }
  EXPECT_EQ(audio_.bank.PlayCount(kSoundHit), 2);
  EXPECT_EQ(FinishBursts().size(), 2u);
}

TEST_F(SoundBankTest, SoundListEntriesMapToIdsAndBadOnesStaySilent) {
  WriteToneWav(folder_ / "sounds" / "good.wav", 700.0, 0.4, 30, 0);
  std::ofstream(folder_ / "sounds" / "bad.wav") << "not a sound";
  SoundSetup setup;
  setup.soundNames = {"good.wav", "missing.wav", "", "bad.wav"};
  for (int i = 0; i < 40; ++i) setup.soundNames.push_back("good.wav");
  setup.resolvePath = [this](const std::string& p) { return Resolve(p); };
  audio_.InitSound(setup);
  EXPECT_EQ(audio_.bank.soundCount(), kMaxSounds);
  EXPECT_TRUE(audio_.bank.Loaded(0));
  EXPECT_FALSE(audio_.bank.Loaded(1));
  EXPECT_FALSE(audio_.bank.Loaded(2));
  EXPECT_FALSE(audio_.bank.Loaded(3));
  EXPECT_TRUE(audio_.bank.Loaded(kMaxSounds - 1));
  ASSERT_FALSE(resolved_.empty());
  EXPECT_EQ(resolved_[0], "sounds\\good.wav");

  audio_.bank.soundEnabled = 1;
  for (int id : {1, 2, 3, kMaxSounds, -1}) audio_.bank.Play(id, 0, 0);
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  audio_.bank.Play(0, 0, 0);
  EXPECT_EQ(audio_.device.PlayingEffects(), 1);
  WaitUntilQuiet();
  EXPECT_EQ(FinishBursts().size(), 1u);
}

TEST(SoundBankHeadless, CountsRequestsWithoutADevice) {
  GameAudio audio;
  SoundSetup setup;
  setup.soundNames = {"a.wav", "b.wav"};
  setup.openDevice = false;
  audio.InitSound(setup);
  EXPECT_EQ(audio.bank.soundCount(), 2);
  audio.bank.soundEnabled = 1;
  audio.bank.Play(kSoundReload);
  audio.bank.Play(kSoundReload, 3, 0);
  EXPECT_EQ(audio.bank.PlayCount(kSoundReload), 2);
  EXPECT_EQ(audio.soundtrack.Play("/nonexistent/music.mid"), Soundtrack::kFileMissing);
  audio.StopAllSound();
  audio.ShutdownSound();
}

}  // namespace
}  // namespace halvex::test
