// The sound device measured through SDL's disk audio driver: what was asked
// to play is what ends up in the mixed output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/sound/sound_device.h"
#include "tests/audio/audio_test_support.h"

namespace halvex::test {
namespace {

constexpr int kQuiet = 60;             // below this a sample counts as silence
constexpr size_t kBurstGap = 441;      // 10 ms of silence separates two bursts
constexpr size_t kGroupGap = 22050;    // 0.5 s separates two groups of bursts

class SoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    raw_ = folder_ / "out.raw";
    UseDiskAudio(raw_, 2);  // about ten times faster than real time
    ASSERT_TRUE(device_.Open());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void WaitUntilQuiet() {
    ASSERT_TRUE(WaitFor([&] { return device_.PlayingEffects() == 0; }, 10000));
  }
  // Leaves a long stretch of silence in the output between two groups.
  void Pause() { ASSERT_TRUE(WaitForMoreOutput(raw_, 1000)); }
  std::vector<int16_t> Finish() {
    const int channels = device_.Format().channels;
    device_.Close();
    return ReadFirstChannel(raw_, channels);
  }

  std::filesystem::path folder_, raw_;
  platform::SoundDevice device_;
};

TEST_F(SoundDeviceTest, LevelsFallInStepsOfTwoAndAHalfDecibels) {
  ASSERT_EQ(device_.Format().bytesPerSample, 2);
  WriteToneWav(folder_ / "tone.wav", 1000.0, 0.5, 100, 0);
  const int tone = device_.LoadEffect((folder_ / "tone.wav").string());
  ASSERT_GE(tone, 0);
  // Levels 0..4, then a level out of range, which plays at level 4.
  for (int level : {0, 1, 2, 3, 4, 9}) {
    device_.PlayEffect(tone, 0, level);
    WaitUntilQuiet();
  }
  const std::vector<int16_t> out = Finish();
  const std::vector<Burst> bursts = FindBursts(out, kQuiet, kBurstGap);
  ASSERT_EQ(bursts.size(), 6u);
  auto middleRms = [&](const Burst& b) {
    const size_t quarter = (b.end - b.begin) / 4;
    return Rms(out, b.begin + quarter, b.end - quarter);
  };
  const double reference = middleRms(bursts[0]);
  EXPECT_NEAR(reference, 0.5 * 32767 / std::sqrt(2.0), 300.0);
  for (int level = 1; level < 6; ++level) {
    const double db = 20.0 * std::log10(middleRms(bursts[level]) / reference);
    RecordProperty("level_" + std::to_string(level) + "_db", std::to_string(db));
    EXPECT_NEAR(db, -2.5 * std::min(level, 4), 0.5) << "level " << level;
  }
}

TEST_F(SoundDeviceTest, RepeatCountIsSetKeptAndMadeEndless) {
  WriteToneWav(folder_ / "beep.wav", 800.0, 0.4, 40, 40);
  const int beep = device_.LoadEffect((folder_ / "beep.wav").string());
  ASSERT_GE(beep, 0);
  device_.PlayEffect(beep, 0, 0);  // nothing set yet: once
  WaitUntilQuiet();
  Pause();
  device_.PlayEffect(beep, 2, 0);  // three times
  WaitUntilQuiet();
  Pause();
  device_.PlayEffect(beep, 0, 0);  // keeps the two repeats
  WaitUntilQuiet();
  Pause();
  device_.PlayEffect(beep, 3, 0);  // four times
  WaitUntilQuiet();
  Pause();
  device_.PlayEffect(beep, -1, 0);  // endless until stopped
  ASSERT_TRUE(WaitForMoreOutput(raw_, 1000));
  EXPECT_EQ(device_.PlayingEffects(), 1);
  device_.StopEffects();
  EXPECT_EQ(device_.PlayingEffects(), 0);

  const std::vector<int16_t> out = Finish();
  const std::vector<Burst> bursts = FindBursts(out, kQuiet, kBurstGap);
  const std::vector<int> groups = GroupBursts(bursts, kGroupGap);
  ASSERT_EQ(groups.size(), 5u);
  EXPECT_EQ(groups[0], 1);
  EXPECT_EQ(groups[1], 3);
  EXPECT_EQ(groups[2], 3);
  EXPECT_EQ(groups[3], 4);
  EXPECT_GT(groups[4], 8);  // a second of 80 ms beeps
}

TEST_F(SoundDeviceTest, EmptyMissingBrokenAndFreedEffectsPlayNothing) {
  std::ofstream(folder_ / "broken.wav") << "RIFF this is no sound";
  WriteToneWav(folder_ / "tone.wav", 1000.0, 0.5, 50, 0);
  EXPECT_EQ(device_.LoadEffect(""), -1);
  EXPECT_EQ(device_.LoadEffect((folder_ / "absent.wav").string()), -1);
  EXPECT_EQ(device_.LoadEffect((folder_ / "broken.wav").string()), -1);
  const int freed = device_.LoadEffect((folder_ / "tone.wav").string());
  ASSERT_GE(freed, 0);
  device_.FreeEffect(freed);
  for (int handle : {-1, freed, freed + 1, 1000}) device_.PlayEffect(handle, 0, 0);
  EXPECT_EQ(device_.PlayingEffects(), 0);
  ASSERT_TRUE(WaitForMoreOutput(raw_, 100));
  EXPECT_TRUE(FindBursts(Finish(), kQuiet, kBurstGap).empty());
}

TEST_F(SoundDeviceTest, ABigFightCutsNoSound) {
  WriteToneWav(folder_ / "tone.wav", 500.0, 0.01, 50, 0);
  const int tone = device_.LoadEffect((folder_ / "tone.wav").string());
  ASSERT_GE(tone, 0);
  // 32 bots with shots, hits and explosions in flight plus three loops.
  for (int i = 0; i < 120; ++i) device_.PlayEffect(tone, -1, i % 5);
  EXPECT_EQ(device_.PlayingEffects(), 120);
}

// The output going away mid-match (the window thread hears of it and calls
// DeviceLost): one line, then silence, with every call still safe.
TEST_F(SoundDeviceTest, LostDeviceGoesSilentWithOneLine) {
  WriteToneWav(folder_ / "tone.wav", 1000.0, 0.5, 2000, 0);
  const int tone = device_.LoadEffect((folder_ / "tone.wav").string());
  ASSERT_GE(tone, 0);
  device_.PlayEffect(tone, -1, 0);
  ASSERT_TRUE(device_.OpenMusic((folder_ / "tone.wav").string()));
  device_.RunMusic();
  ::testing::internal::CaptureStderr();
  device_.DeviceLost();
  device_.DeviceLost();  // a second notice says nothing more
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "halvex: the audio device is gone; the game goes on without sound\n");
  EXPECT_FALSE(device_.IsOpen());
  EXPECT_EQ(device_.PlayingEffects(), 0);
  EXPECT_FALSE(device_.MusicPlaying());
  device_.PlayEffect(tone, 0, 0);
  device_.FreeEffect(tone);
  EXPECT_EQ(device_.LoadEffect((folder_ / "tone.wav").string()), -1);
  EXPECT_FALSE(device_.OpenMusic((folder_ / "tone.wav").string()));
  EXPECT_FALSE(device_.SeekMusicToStart());
  device_.RunMusic();
  device_.Close();
}

TEST(SoundDeviceNoAudio, RunsSilentWithOneLineOnStderr) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  platform::SoundDevice device;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(device.Open());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("sound is off"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.LoadEffect("anything.wav"), -1);
  device.PlayEffect(0, 2, 0);
  EXPECT_FALSE(device.OpenMusic("anything.mid"));
  device.RunMusic();
  EXPECT_FALSE(device.MusicPlaying());
  EXPECT_EQ(device.PlayingEffects(), 0);
  device.Close();
}

}  // namespace
}  // namespace halvex::test
