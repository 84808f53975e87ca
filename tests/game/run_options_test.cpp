// Run limits, screenshot frames, timedemo figures and the loading screen's
// lines.
#include <gtest/gtest.h>

#include <chrono>

#include "device/device_setup.h"
#include "game/loading_screen.h"
#include "game/frame_pacer.h"
#include "game/run_options.h"

namespace halvex::game {
namespace {

// Taken during this program's static set-up, after the process started.
const auto staticSetUp = std::chrono::steady_clock::now();

TEST(RunOptions, FramesOrSecondsEndTheRun) {
  RunOptions o;
  EXPECT_FALSE(o.Finished(1000000, 1e6)) << "no limit: the player ends it";
  o.frames = 10;
  EXPECT_FALSE(o.Finished(9, 0));
  EXPECT_TRUE(o.Finished(10, 0));
  RunOptions s;
  s.seconds = 2.5;
  EXPECT_FALSE(s.Finished(5, 2.49));
  EXPECT_TRUE(s.Finished(5, 2.5));
}

TEST(RunOptions, SteppedTimeAndShots) {
  RunOptions o;
  EXPECT_EQ(o.SteppedMs(), 0.0) << "follows the clock";
  o.timedemo = true;
  EXPECT_EQ(o.SteppedMs(), 25.0);
  o.fixedStepMs = 10.0;
  EXPECT_EQ(o.SteppedMs(), 10.0);
  o.shots = {5, 100};
  EXPECT_TRUE(o.ShotDue(5));
  EXPECT_TRUE(o.ShotDue(100));
  EXPECT_FALSE(o.ShotDue(6));
}

TEST(FramePacer, HoldsTheCapWithoutBurstsAndFollowsTheFocus) {
  using namespace std::chrono;
  FramePacer pacer;
  FramePacer::Clock::time_point now{};
  // Frames that take 5 ms under a 50 fps cap start exactly 20 ms apart.
  std::vector<FramePacer::Clock::time_point> starts;
  for (int i = 0; i < 50; ++i) {
    starts.push_back(pacer.StartAt(50, now));
    now = starts.back() + milliseconds(5);
  }
  EXPECT_EQ(starts.back() - starts.front(), milliseconds(49 * 20));
  // A 100 ms hitch: the next frame starts at once, the one after a full period later.
  now += milliseconds(100);
  const auto late = pacer.StartAt(50, now);
  EXPECT_EQ(late, now);
  EXPECT_EQ(pacer.StartAt(50, late + milliseconds(1)), late + milliseconds(20));
  EXPECT_EQ(pacer.StartAt(0, now), now) << "no cap, no wait";

  // --max-fps wins over the player's cap; without focus the lower of it and the background cap.
  EXPECT_EQ(FrameCap(0, 0, false, 20), 0);
  EXPECT_EQ(FrameCap(0, 0, true, 0), 0) << "the background cap is the player's choice";
  EXPECT_EQ(FrameCap(0, 120, true, 20), 20);
  EXPECT_EQ(FrameCap(300, 120, false, 20), 300);
  EXPECT_EQ(FrameCap(10, 0, true, 20), 10);
}

TEST(TimedemoStats, FiguresFromTheFrameTimes) {
  TimedemoStats t;
  EXPECT_EQ(t.AverageFps(), 0.0);
  EXPECT_EQ(t.PercentileMs(50), 0.0);
  // 1..100 ms, 200 draws a frame on average, 30 of them outside the view
  for (int i = 1; i <= 100; ++i) t.Add(i, i % 2 ? 300 : 100, i % 2 ? 40 : 20);
  EXPECT_EQ(t.frames(), 100u);
  EXPECT_DOUBLE_EQ(t.TotalMs(), 5050.0);
  EXPECT_NEAR(t.AverageFps(), 100.0 / 5.05, 1e-9);
  EXPECT_EQ(t.PercentileMs(50), 50.0);
  EXPECT_EQ(t.PercentileMs(95), 95.0);
  EXPECT_EQ(t.PercentileMs(100), 100.0);
  EXPECT_EQ(t.PercentileMs(0), 1.0);
  EXPECT_EQ(t.MaxMs(), 100.0);
  EXPECT_NE(t.Report().find("100 frames"), std::string::npos) << t.Report();
  EXPECT_DOUBLE_EQ(t.DrawCallsPerFrame(), 200.0);
  EXPECT_NE(t.Report().find("200 draw calls per frame, 30 of them outside the view"), std::string::npos)
      << t.Report();
}

TEST(StartupFigures, CountFromTheProcessStartAndLeaveTheIntroApart) {
  // The process is older than its static set-up; a clock that started at the
  // first call, or at boot, would be caught here.
  const double sinceSetUp = std::chrono::duration<double>(std::chrono::steady_clock::now() - staticSetUp).count();
  const double age = SecondsSinceProcessStart();
  EXPECT_GE(age, sinceSetUp);
  EXPECT_LT(age, 60.0);
  EXPECT_GE(SecondsSinceProcessStart(), age);
  StartupFigures f;
  f.toFirstFrame = 4.744;
  f.intro = 3.9;
  EXPECT_EQ(f.Line(), "start-up: 0.84 s to the first match frame (+ 3.90 s of intro)");
}

TEST(LoadingScreen, NoticeAndDeviceLines) {
  EXPECT_STREQ(NoticeLine(1), "Do Not Switch Apps At This Time.");
  EXPECT_STREQ(NoticeLine(0), "First Attempt Failed. Final Retry.");
  const std::string line = DeviceLine("Mesa llvmpipe", device::kPureHardwareVertexProcessing);
  EXPECT_EQ(line, "Device: Mesa llvmpipe\nStatus: Pure Hardware T&&L and Shading");
  EXPECT_EQ(ShownText(line), "Device: Mesa llvmpipe\nStatus: Pure Hardware T&L and Shading");
  EXPECT_NE(DeviceLine("x", device::kMixedVertexProcessing).find("Mixed Software/Hardware T&&L"),
            std::string::npos);
  EXPECT_NE(DeviceLine("x", device::kSoftwareVertexProcessing).find("Software T&&L Emulation"),
            std::string::npos);
  EXPECT_EQ(ShownText("a & b"), "a & b");
}

TEST(LoadingScreen, BarGrowsByGlyphsAndStartsEmptyEachStep) {
  LoadingScreen screen(nullptr, 800, 600, "Device: x", NoticeLine(1), nullptr);
  screen.Redraw("Initializing and Receiving Options");
  EXPECT_TRUE(screen.barText().empty());
  screen.AppendBarGlyphs(4);
  screen.AppendBarGlyphs(4);
  EXPECT_EQ(screen.barText(), std::string(8, static_cast<char>(kBarGlyph)));
  screen.ClearBar();
  EXPECT_TRUE(screen.barText().empty());
  screen.Redraw("Generating World Map");
  EXPECT_EQ(screen.caption(), "Generating World Map");
  EXPECT_EQ(screen.redraws(), 2);
}

TEST(LoadingScreen, QuickStepsShareAPictureAndKeepEveryGlyph) {
  LoadingScreen screen(nullptr, 800, 600, "Device: x", NoticeLine(1), nullptr);
  LoadingScreen::Clock::time_point now{};
  screen.UseClock([&] { return now; });
  screen.Redraw("Initializing and Receiving Options");
  EXPECT_EQ(screen.pictures(), 1) << "the first step is always drawn";
  screen.ClearBar();
  // 600 steps 1 ms apart: a picture when the caption changes, then one a frame.
  for (int i = 0; i < 600; ++i) {
    now += std::chrono::milliseconds(1);
    screen.Redraw("Generating Texture Database");
    if (i % 2 == 1) screen.AppendBarGlyphs(4);
  }
  EXPECT_EQ(screen.redraws(), 601);
  EXPECT_EQ(screen.pictures(), 2 + 599 / 17);
  EXPECT_EQ(screen.barText(), std::string(1200, static_cast<char>(kBarGlyph)));
  // The steps since the last picture are shown once asked for, and only once.
  screen.ShowPending();
  EXPECT_EQ(screen.pictures(), 3 + 599 / 17);
  screen.ShowPending();
  EXPECT_EQ(screen.pictures(), 3 + 599 / 17);
  screen.Redraw("Loading Complete, Starting Game");
  EXPECT_EQ(screen.pictures(), 4 + 599 / 17) << "a new caption is drawn at once";
}

}  // namespace
}  // namespace halvex::game
