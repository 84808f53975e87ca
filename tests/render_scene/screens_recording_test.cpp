// The intro and closing screens' loops on the recording device: how long
// they run, what they play, and how they leave.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/gfx/device.h"
#include "screens/closing/closing.h"
#include "screens/intro/intro.h"

namespace halvex::screens {
namespace {

using namespace gfx;

class ScreensRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &pp, &dev_),
              S_OK);
    dev_->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_SYSTEMMEM,
                             &quad_);
    in_.device = dev_;
    in_.quad = quad_;
    in_.width = 320;
    in_.height = 240;
    in_.exitRequested = &exit_;
    in_.paceFrames = false;
    in_.playSound = [this](int s) { sounds_.push_back(s); };
  }
  void TearDown() override {
    if (quad_) quad_->Release();
    if (dev_) dev_->Release();
    if (d3d_) d3d_->Release();
  }
  int Presents() const {
    int n = 0;
    for (const std::string& c : *RecordedCalls(dev_)) n += c.rfind("Present", 0) == 0;
    return n;
  }

  Direct3D* d3d_ = nullptr;
  Device* dev_ = nullptr;
  VertexBuffer* quad_ = nullptr;
  IntroInputs in_;
  std::atomic<int> exit_{0};
  std::vector<int> sounds_;
};

TEST_F(ScreensRecording, IntroWithNobodyWatchingMovesOnAtThePromptAfterOneThunder) {
  in_.nonInteractive = true;
  GameRandom r(1);
  const int frames = RunIntro(in_, r);
  EXPECT_NEAR(frames, 640, 2) << "the flight and the rise, then the prompt";
  int thunders = 0;
  for (int s : sounds_) thunders += s == kSoundThunder;
  EXPECT_EQ(thunders, 1);
  EXPECT_EQ(Presents(), frames + 1);
}

TEST_F(ScreensRecording, IntroInMultiplayerAndAfterAQuitShowsNothing) {
  GameRandom r(1);
  in_.multiplayer = true;
  EXPECT_EQ(RunIntro(in_, r), 0);
  in_.multiplayer = false;
  exit_ = 1;
  EXPECT_EQ(RunIntro(in_, r), 0);
  EXPECT_TRUE(sounds_.empty());
}

TEST_F(ScreensRecording, ClosingRunsItsCreditsToTheEndOrStopsOnAQuit) {
  GameRandom r(2);
  EXPECT_EQ(RunClosing(in_, r, nullptr), kCredits * (31 + 151));
  exit_ = 1;
  EXPECT_EQ(RunClosing(in_, r, nullptr), 0);
  exit_ = 0;
  in_.nonInteractive = true;
  EXPECT_EQ(RunClosing(in_, r, nullptr), 0) << "a run nobody watches skips it";
}

TEST_F(ScreensRecording, CreditsAreLitEightyAboveTheMatchsAmbient) {
  const render::AmbientLevels match{100, 50, 200};
  in_.sceneAmbient = &match;
  exit_ = 0;
  GameRandom r(3);
  RunClosing(in_, r, nullptr);
  const std::string lit = "SetRenderState " + std::to_string(D3DRS_AMBIENT) + " " + std::to_string(0xffb482ffu);
  int found = 0;
  for (const std::string& c : *RecordedCalls(dev_)) found += c == lit;
  EXPECT_EQ(found, kCredits * (31 + 151)) << "every frame; blue kept to 255";
}

}  // namespace
}  // namespace halvex::screens
