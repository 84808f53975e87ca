#include "shell/game_app.h"

namespace halvex {

GameApp::GameApp() : viewMatrix(MatrixIdentity()), projectionBase(MatrixIdentity()) {}

int GameApp::RunMatch() { return 0; }
HResult GameApp::StartMatch() { return S_OK; }
void GameApp::SetupLights() { defaultLightAngle_ += 0.01f; }
HResult GameApp::InitDeviceObjects(int) { return S_OK; }
void GameApp::InitSound() {}
void GameApp::ShutdownSound() {}
void GameApp::InvalidateDeviceObjects(int) {}
void GameApp::DeleteDeviceObjects() {}

platform::LResult GameApp::WindowProc(platform::Window& window, const platform::Message& message) {
  if (message.message == platform::WM_PAINT) return 0;
  return DefaultWindowProc(window, message);
}

platform::LResult DefaultWindowProc(platform::Window&, const platform::Message&) { return 0; }

}  // namespace halvex
