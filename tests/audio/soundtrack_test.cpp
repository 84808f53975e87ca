// The soundtrack: looping WAV and MIDI files through the end-of-file message,
// stopping and resuming with the focus, and files that cannot play.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>

#include "audio/game_audio.h"
#include "tests/audio/audio_test_support.h"

namespace halvex::test {
namespace {

constexpr int kQuiet = 60;
constexpr int kRate = 44100;

// Stands in for the window thread: the soundtrack message is posted to it
// from the audio thread, and it runs the handler.
class WindowThread {
 public:
  explicit WindowThread(Soundtrack& soundtrack)
      : soundtrack_(soundtrack), thread_([this] { Loop(); }) {}
  ~WindowThread() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void Post() {
    {
      std::lock_guard lock(mutex_);
      ++posted_;
    }
    wake_.notify_one();
  }
  int handled() const { return handled_; }
  // Holds messages in the queue until Release, as a busy window thread would.
  void Hold(bool hold) {
    {
      std::lock_guard lock(mutex_);
      held_ = hold;
    }
    wake_.notify_one();
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return quit_ || (posted_ > 0 && !held_); });
      if (quit_) return;
      --posted_;
      lock.unlock();
      soundtrack_.HandleEvent();
      ++handled_;
      lock.lock();
    }
  }
  Soundtrack& soundtrack_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int posted_ = 0;
  bool held_ = false;
  bool quit_ = false;
  std::atomic<int> handled_{0};
  std::thread thread_;
};

class SoundtrackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    raw_ = folder_ / "out.raw";
  }
  void TearDown() override {
    // The audio thread must not post to a window thread that is gone.
    audio_.soundtrack.SetEventPoster(nullptr);
    window_.reset();
    std::filesystem::remove_all(folder_);
  }
  void Init(int delayMs) {
    UseDiskAudio(raw_, delayMs);
    SoundSetup setup;
    setup.postSoundtrackEvent = [this] { window_->Post(); };
    audio_.InitSound(setup);
    ASSERT_TRUE(audio_.device.IsOpen());
    window_ = std::make_unique<WindowThread>(audio_.soundtrack);
  }
  std::vector<int16_t> Finish() {
    audio_.soundtrack.SetEventPoster(nullptr);
    window_.reset();
    const int channels = audio_.device.Format().channels;
    audio_.ShutdownSound();
    return ReadFirstChannel(raw_, channels);
  }
  // Quiet samples inside the looping stretch, from the first sound to the
  // last: the gaps between the loops.
  static size_t LongestGap(const std::vector<int16_t>& out) {
    const std::vector<Burst> all = FindBursts(out, kQuiet, 1);
    if (all.empty()) return out.size();
    return LongestQuietRun(out, all.front().begin, all.back().end, kQuiet);
  }

  std::filesystem::path folder_, raw_;
  GameAudio audio_;
  std::unique_ptr<WindowThread> window_;
};

TEST_F(SoundtrackTest, ShortWavLoopsWithoutAGap) {
  // A sixth of real time: the window thread has 150 ms to answer before the
  // next mixer buffer, so a loaded test machine does not show up as a gap.
  Init(150);
  WriteToneWav(folder_ / "loop.wav", 440.0, 0.5, 100, 0);
  ASSERT_EQ(audio_.soundtrack.Play((folder_ / "loop.wav").string()), Soundtrack::kStarted);
  ASSERT_TRUE(WaitFor([&] { return window_->handled() >= 3; }, 10000));
  const std::vector<int16_t> out = Finish();
  // The file ends inside a mixer buffer, whose rest stays silent; the next
  // buffer (1024 samples, 23 ms later) starts it again: a frame or two.
  const std::vector<Burst> sound = FindBursts(out, kQuiet, 1025);
  ASSERT_EQ(sound.size(), 1u) << "the loop broke into separate pieces";
  EXPECT_GE(sound[0].end - sound[0].begin, static_cast<size_t>(3 * 0.1 * kRate));
  const size_t gap = LongestGap(out);
  RecordProperty("longest_gap_samples", static_cast<int>(gap));
  EXPECT_LE(gap, 1024u);
}

TEST_F(SoundtrackTest, ShortMidiLoopsAndIsHeard) {
  Init(23);
  WriteOrganMidi(folder_ / "loop.mid", 400);
  ASSERT_EQ(audio_.soundtrack.Play((folder_ / "loop.mid").string()), Soundtrack::kStarted);
  // The synthesizer repeats a MIDI file itself; wait for three rounds of
  // output (a busy machine writes it late, never with holes).
  const size_t threeRounds = static_cast<size_t>(3 * 0.4 * kRate);
  auto soundLength = [&] {
    const std::vector<Burst> sound = FindBursts(ReadFirstChannel(raw_, 2), kQuiet, 1);
    return sound.empty() ? 0 : sound.back().end - sound.front().begin;
  };
  for (int i = 0; i < 300 && soundLength() < threeRounds; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(audio_.device.MusicPlaying());
  const std::vector<int16_t> out = Finish();
  const std::vector<Burst> sound = FindBursts(out, kQuiet, 1);
  ASSERT_FALSE(sound.empty()) << "MIDI played silence: no soundfont or patches found";
  const Burst whole{sound.front().begin, sound.back().end};
  EXPECT_GT(Rms(out, whole.begin, whole.end), 500.0);
  EXPECT_GE(whole.end - whole.begin, threeRounds);
  const size_t gap = LongestGap(out);
  RecordProperty("longest_gap_samples", static_cast<int>(gap));
  EXPECT_LE(gap, static_cast<size_t>(kRate / 20));
}

TEST_F(SoundtrackTest, StopsOnDeactivationAndResumesOnReactivation) {
  Init(23);
  WriteToneWav(folder_ / "song.wav", 440.0, 0.5, 150, 0);
  ASSERT_EQ(audio_.soundtrack.Play((folder_ / "song.wav").string()), Soundtrack::kStarted);
  EXPECT_TRUE(audio_.device.MusicPlaying());
  audio_.bank.soundEnabled = 1;

  // The file ends while the window thread is busy; the player switches away
  // before the message is handled: the late handler must not start it again.
  window_->Hold(true);
  ASSERT_TRUE(WaitFor([&] { return !audio_.device.MusicPlaying(); }, 5000));
  audio_.StopAllSound();
  audio_.bank.soundEnabled = 0;
  window_->Hold(false);
  ASSERT_TRUE(WaitFor([&] { return window_->handled() >= 1; }, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(audio_.device.MusicPlaying());

  audio_.Reactivate(true);
  EXPECT_TRUE(audio_.device.MusicPlaying());
  // Switching away mid-file pauses it; switching back runs it on.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  audio_.StopAllSound();
  EXPECT_FALSE(audio_.device.MusicPlaying());
  ASSERT_TRUE(WaitForMoreOutput(raw_, 150));
  audio_.Reactivate(true);
  // On a slow machine the file may have ended just before the switch; then
  // the end message, still on its way, starts it again.
  EXPECT_TRUE(WaitFor([&] { return audio_.device.MusicPlaying(); }, 5000));
  ASSERT_TRUE(WaitFor([&] { return window_->handled() >= 2; }, 5000));

  const std::vector<Burst> pieces = FindBursts(Finish(), kQuiet, kRate / 20);
  // First play, then the resumed play split by the mid-file pause, at least.
  EXPECT_GE(pieces.size(), 3u);
}

// Each file that cannot play is one line naming it, and the match goes on
// in silence.
TEST_F(SoundtrackTest, MissingOrUnplayableFilesPlayNothing) {
  Init(2);
  std::ofstream(folder_ / "noise.mid") << "MThd but nothing after it";
  std::ofstream(folder_ / "words.mp3") << "this is a shopping list, not a song\n";
  std::ofstream(folder_ / "empty.ogg");
  std::filesystem::create_directories(folder_ / "folder.wav");  // exists, cannot be read as a file
  struct Case {
    std::string path;
    int result;
    std::string said;
  };
  const auto file = [&](const char* name) { return (folder_ / name).string(); };
  const Case cases[] = {
      {"", Soundtrack::kFileMissing, "soundtrack file not chosen"},
      {file("absent.mp3"), Soundtrack::kFileMissing, "\"" + file("absent.mp3") + "\" not found"},
      {file("noise.mid"), Soundtrack::kNotPlayable, "\"" + file("noise.mid") + "\" cannot be played ("},
      {file("words.mp3"), Soundtrack::kNotPlayable, "\"" + file("words.mp3") + "\" cannot be played ("},
      {file("empty.ogg"), Soundtrack::kNotPlayable, "\"" + file("empty.ogg") + "\" cannot be played ("},
      {file("folder.wav"), Soundtrack::kNotPlayable, "\"" + file("folder.wav") + "\" cannot be played ("},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(audio_.soundtrack.Play(c.path), c.result) << c.path;
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.said), std::string::npos) << err;
    EXPECT_NE(err.find("the match plays without music\n"), std::string::npos) << err;
    EXPECT_EQ(CountLines(err, "halvex: "), 1) << err;
    EXPECT_FALSE(audio_.device.MusicPlaying());
  }
  audio_.soundtrack.Resume();
  audio_.soundtrack.HandleEvent();
  EXPECT_FALSE(audio_.device.MusicPlaying());
  EXPECT_TRUE(audio_.soundtrack.looping());
  ASSERT_TRUE(WaitForMoreOutput(raw_, 100));
  EXPECT_TRUE(FindBursts(Finish(), kQuiet, 1).empty());
}

}  // namespace
}  // namespace halvex::test
