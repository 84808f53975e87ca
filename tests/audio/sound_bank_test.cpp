// The game's sounds by id, through the sound list, the enable flag and the
// per-frame budget, measured in the mixed output.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "audio/game_audio.h"
#include "audio/match_sounds.h"
#include "platform/paths/paths.h"
#include "sim/clock.h"
#include "sim/match.h"
#include "sim/match_state.h"
#include "sim/weapons.h"
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
    std::filesystem::create_directories(folder_ / "system");
    paths::SetContentDirectory(folder_.string());
    raw_ = folder_ / "out.raw";
    UseDiskAudio(raw_, 2);
  }
  void TearDown() override {
    paths::SetContentDirectory(".");
    std::filesystem::remove_all(folder_);
  }

  void WriteSoundList(const std::vector<std::string>& names) {
    std::ofstream list(folder_ / "system" / "sounds.txt");
    list << names.size() << "\r\n";
    for (const std::string& name : names) list << name << "\r\n";
  }
  // A sound list of 18 tones, each short with a silent tail so that every
  // repetition is its own burst.
  void InitWithTones() {
    std::vector<std::string> names;
    for (int i = 0; i < 18; ++i) {
      names.push_back("s" + std::to_string(i) + ".wav");
      WriteToneWav(folder_ / "sounds" / names.back(), 600.0 + 50 * i, 0.4, 30, 30);
    }
    WriteSoundList(names);
    audio_.InitSound({});
    ASSERT_TRUE(audio_.device.IsOpen());
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
  GameAudio audio_;
};

TEST_F(SoundBankTest, PowerPickupIsHeardThreeTimesAndArmorFour) {
  InitWithTones();
  audio_.bank.soundEnabled = 1;
  MatchSounds events(audio_.bank);
  events.PlaySound(SoundEffect::kPowerPickup);
  WaitUntilQuiet();
  ASSERT_TRUE(WaitForMoreOutput(raw_, 1000));  // a long silence
  events.PlaySound(SoundEffect::kArmorPickup);
  WaitUntilQuiet();
  ASSERT_TRUE(WaitForMoreOutput(raw_, 1000));
  events.PlaySound(SoundEffect::kPowerPickup);  // the count stays with the sound
  WaitUntilQuiet();
  EXPECT_EQ(GroupBursts(FinishBursts(), kGroupGap), (std::vector<int>{3, 4, 3}));
}

TEST_F(SoundBankTest, NothingSoundsWhileDisabled) {
  InitWithTones();
  for (int id = 0; id < 18; ++id) audio_.bank.Play(id, 2, 0);
  audio_.bank.StartAmbientLoops();
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  ASSERT_TRUE(WaitForMoreOutput(raw_, 100));
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
  // The match's own per-frame budget, heard through the event interface.
  MatchSounds events(audio_.bank);
  GameRandom rng(7);
  auto world = std::make_unique<MatchWorld>();
  ManualClock clock;
  FrameTimer timer(clock);
  FrameContext ctx(rng, events, *world, timer);
  auto state = std::make_unique<MatchState>();
  for (int hit = 0; hit < 3; ++hit) PlayBudgetedHitSound(*state, SoundEffect::kHit, ctx);
  PlayBudgetedHitSound(*state, SoundEffect::kExplosion, ctx);
  WaitUntilQuiet();
  EXPECT_EQ(audio_.bank.PlayCount(kSoundHit), 1);
  EXPECT_EQ(audio_.bank.PlayCount(kSoundExplosion), 0);
  EXPECT_EQ(FinishBursts().size(), 1u);
}

TEST_F(SoundBankTest, SoundListEntriesMapToIdsAndBadOnesStaySilent) {
  std::filesystem::create_directories(folder_ / "sounds" / "fx");
  WriteToneWav(folder_ / "sounds" / "fx" / "good.wav", 700.0, 0.4, 30, 0);
  std::ofstream(folder_ / "sounds" / "bad.wav") << "not a sound";
  std::ofstream(folder_ / "sounds" / "empty.wav");
  WriteToneWav(folder_ / "sounds" / "cut.wav", 700.0, 0.4, 30, 0);
  std::filesystem::resize_file(folder_ / "sounds" / "cut.wav", 20);  // inside the header
  std::vector<std::string> names = {"fx\\good.wav", "missing.wav", "", "bad.wav", "empty.wav", "cut.wav"};
  for (int i = 6; i < kMaxSounds; ++i) names.push_back("fx\\good.wav");
  WriteSoundList(names);
  ::testing::internal::CaptureStderr();
  audio_.InitSound({});
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(audio_.bank.soundCount(), kMaxSounds);
  EXPECT_TRUE(audio_.bank.Loaded(0));
  for (int id = 1; id < 6; ++id) EXPECT_FALSE(audio_.bank.Loaded(id)) << id;
  EXPECT_TRUE(audio_.bank.Loaded(kMaxSounds - 1));
  // Each file that should have loaded is named once; the blank entry names none.
  for (const char* bad : {"missing.wav", "bad.wav", "empty.wav", "cut.wav"}) {
    EXPECT_NE(err.find("sounds/" + std::string(bad) + " not loaded ("), std::string::npos) << bad << "\n" << err;
  }
  EXPECT_EQ(CountLines(err, "halvex: "), 4) << err;

  audio_.bank.soundEnabled = 1;
  for (int id : {1, 2, 3, 4, 5, kMaxSounds, -1}) audio_.bank.Play(id, 0, 0);
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
  audio_.bank.Play(0, 0, 0);
  EXPECT_EQ(audio_.device.PlayingEffects(), 1);
  WaitUntilQuiet();
  EXPECT_EQ(FinishBursts().size(), 1u);
}

TEST_F(SoundBankTest, GameWindowAndNetworkThreadsPlayAtOnce) {
  InitWithTones();
  audio_.bank.soundEnabled = 1;
  constexpr int kCalls = 300;
  auto player = [&](int sound, int level) {
    for (int i = 0; i < kCalls; ++i) audio_.bank.Play(sound, i % 3, level);
  };
  std::thread game(player, kSoundHit, 4);
  std::thread window(player, kSoundLineFull, 2);
  std::thread network(player, kSoundShotWeapon1, 4);
  for (int i = 0; i < 50; ++i) audio_.StopAllSound();  // focus changes meanwhile
  game.join();
  window.join();
  network.join();
  EXPECT_EQ(audio_.bank.PlayCount(kSoundHit), kCalls);
  EXPECT_EQ(audio_.bank.PlayCount(kSoundLineFull), kCalls);
  EXPECT_EQ(audio_.bank.PlayCount(kSoundShotWeapon1), kCalls);
  EXPECT_LE(audio_.device.PlayingEffects(), platform::SoundDevice::kMixChannels);
  audio_.ShutdownSound();
  EXPECT_EQ(audio_.device.PlayingEffects(), 0);
}

TEST_F(SoundBankTest, HeadlessRunCountsRequestsWithoutADevice) {
  WriteSoundList({"a.wav", "b.wav"});
  GameAudio audio;
  SoundSetup setup;
  setup.openDevice = false;
  audio.InitSound(setup);
  EXPECT_FALSE(audio.device.IsOpen());
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
