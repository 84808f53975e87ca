// Device set-up, reset and release on the headless (recording) device, with
// the GameApp slots recorded in the order they are called.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "device/device_setup.h"
#include "platform/paths/paths.h"
#include "platform/window/message_box.h"

namespace halvex::device {
namespace {

using namespace gfx;
using ::testing::ElementsAre;

class Slots final : public DeviceSlots {
 public:
  HRESULT InitSound() override { return Note("InitSound"); }
  HRESULT InitDeviceObjects(bool reloadAll) override {
    Note(reloadAll ? "InitDeviceObjects(true)" : "InitDeviceObjects(false)");
    HRESULT hr = initResults.empty() ? S_OK : initResults.front();
    if (!initResults.empty()) initResults.erase(initResults.begin());
    return hr;
  }
  HRESULT StartMatch() override { return Note("StartMatch"); }
  void ShutdownSound() override { Note("ShutdownSound"); }
  void InvalidateDeviceObjects(bool) override { Note("InvalidateDeviceObjects"); }
  void DeleteDeviceObjects() override { Note("DeleteDeviceObjects"); }
  HRESULT Note(const char* what) {
    calls.push_back(what);
    return S_OK;
  }
  std::vector<std::string> calls;
  std::vector<HRESULT> initResults;
};

class DeviceSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMessageBoxesInteractive(false);
    dir_ = std::filesystem::temp_directory_path() / ("halvex-device-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "system");
    paths::SetContentDirectory(dir_.string());
  }
  void TearDown() override {
    ReleaseDevices(app_, slots_, true);
    std::filesystem::remove_all(dir_);
  }
  void WriteEffects(const char* text) {
    std::ofstream(dir_ / "system" / "multitex.fxz") << text;
    std::ofstream(dir_ / "system" / "multitexa.fxz") << text;
  }
  std::filesystem::path dir_;
  DeviceSetup app_;
  Slots slots_;
};

TEST_F(DeviceSetupTest, CreatesEverythingInOrderWithTheExpectedParameters) {
  app_.debugMode = true;
  ASSERT_EQ(CreateDevices(app_, slots_, 1024, 768, false, true, false, true, false), S_OK);
  EXPECT_THAT(slots_.calls, ElementsAre("InitSound", "InitDeviceObjects(false)", "StartMatch"));
  const auto& pp = app_.presentParams;
  EXPECT_EQ(pp.BackBufferWidth, 1024u);
  EXPECT_EQ(pp.BackBufferHeight, 768u);
  EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8) << "debug mode counts overdraw in the stencil";
  EXPECT_TRUE(pp.Windowed);
  EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(app_.vertexProcessing, kPureHardwareVertexProcessing);
  EXPECT_NE(app_.adapterDescription[0], '\0');
  EXPECT_EQ(app_.backBufferWidth, 1024u);
  D3DVERTEXBUFFER_DESC quad{};
  ASSERT_NE(app_.quadVertexBuffer, nullptr);
  app_.quadVertexBuffer->GetDesc(&quad);
  EXPECT_EQ(quad.Size, 96u);
  EXPECT_EQ(quad.FVF, 0x142u);
  EXPECT_EQ(quad.Usage, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC);
  EXPECT_EQ(quad.Pool, D3DPOOL_SYSTEMMEM);
  EXPECT_EQ(app_.lightMapTechniqueIndex[0], -1) << "light mapping off";
  EXPECT_EQ(app_.lightMapEffect[0], nullptr);
}

TEST_F(DeviceSetupTest, SoftwareProcessingAndFullScreenParameters) {
  ASSERT_EQ(CreateDevices(app_, slots_, 800, 600, true, false, false, true, false), S_OK);
  EXPECT_EQ(app_.vertexProcessing, kSoftwareVertexProcessing);
  EXPECT_EQ(app_.presentParams.AutoDepthStencilFormat, D3DFMT_D16);
  EXPECT_FALSE(app_.presentParams.Windowed);
  EXPECT_EQ(app_.presentParams.FullScreen_RefreshRateInHz, 60u);
  EXPECT_EQ(app_.presentParams.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_ONE);
  D3DVERTEXBUFFER_DESC quad{};
  app_.quadVertexBuffer->GetDesc(&quad);
  EXPECT_TRUE(quad.Usage & D3DUSAGE_SOFTWAREPROCESSING);
}

TEST_F(DeviceSetupTest, VsyncIsAskedOfAWindowOnlyWhenThePlayerWantsIt) {
  app_.windowedVsync = true;
  ASSERT_EQ(CreateDevices(app_, slots_, 640, 480, false, false, false, true, false), S_OK);
  EXPECT_TRUE(app_.presentParams.Windowed);
  EXPECT_EQ(app_.presentParams.SwapEffect, D3DSWAPEFFECT_COPY_VSYNC);
}

TEST_F(DeviceSetupTest, LightMappingPicksValidTechniquesAndSurvivesAMissingFile) {
  WriteEffects("texture tex0\ntechnique Three\npass P\n stage 2 texture tex0 colorop modulate\nend\n"
               "technique Two\npass P\n stage 1 texture tex0 colorop modulate\nend\n");
  std::filesystem::remove(dir_ / "system" / "multitexa.fxz");
  app_.lightMapping = true;
  ASSERT_EQ(CreateDevices(app_, slots_, 800, 600, false, true, false, true, false), S_OK);
  EXPECT_EQ(app_.lightMapTechniqueIndex[0], 1) << "technique 0 needs three stages";
  EXPECT_NE(app_.lightMapTechnique[0], nullptr);
  EXPECT_EQ(app_.lightMapTechniqueIndex[1], -1) << "no file, no technique";
  EXPECT_EQ(app_.lightMapTechnique[1], nullptr);

  // A reset rebuilds the effects after the device objects.
  app_.device->SimulateDeviceLost();
  slots_.calls.clear();
  ASSERT_EQ(ResetDevice(app_, slots_, false), S_OK);
  EXPECT_THAT(slots_.calls, ElementsAre("InvalidateDeviceObjects", "InitDeviceObjects(false)"));
  EXPECT_EQ(app_.device->TestCooperativeLevel(), S_OK);
  EXPECT_NE(app_.lightMapTechnique[0], nullptr);
}

TEST_F(DeviceSetupTest, DeviceNeedingResetDuringFirstLoadReloadsEverything) {
  slots_.initResults = {D3DERR_DEVICENOTRESET};
  ASSERT_EQ(CreateDevices(app_, slots_, 800, 600, false, true, false, true, false), S_OK);
  EXPECT_THAT(slots_.calls, ElementsAre("InitSound", "InitDeviceObjects(false)", "InvalidateDeviceObjects",
                                        "DeleteDeviceObjects", "InitDeviceObjects(true)", "StartMatch"));
}

TEST_F(DeviceSetupTest, FailedResetIsReportedAndReleaseEmptiesEverything) {
  ASSERT_EQ(CreateDevices(app_, slots_, 800, 600, false, true, false, true, false), S_OK);
  Texture* held = nullptr;  // a default-pool object nobody released blocks the reset
  app_.device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &held);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ResetDevice(app_, slots_, false), E_FAIL);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Reset Failed"), std::string::npos);
  held->Release();

  slots_.calls.clear();
  ASSERT_EQ(ReleaseDevices(app_, slots_, true), S_OK);
  EXPECT_THAT(slots_.calls, ElementsAre("InvalidateDeviceObjects", "DeleteDeviceObjects", "ShutdownSound"));
  EXPECT_EQ(app_.device, nullptr);
  EXPECT_EQ(app_.d3d, nullptr);
  EXPECT_EQ(app_.quadVertexBuffer, nullptr);
  EXPECT_EQ(app_.directInput, nullptr);
  EXPECT_EQ(app_.mouseDevice, nullptr);
  EXPECT_EQ(ReleaseDevices(app_, slots_, true), S_OK) << "twice is harmless";
}

}  // namespace
}  // namespace halvex::device
