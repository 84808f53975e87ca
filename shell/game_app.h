// The application object: one instance for the life of the process, with the
// game's nine main operations as virtual functions in their fixed slot order.
// The framework base supplies the defaults; the game class overrides them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "d3dutil/math/math.h"
#include "platform/window/messages.h"

namespace halvex {

namespace platform {
class Window;
}

using HResult = long;
inline constexpr HResult S_OK = 0;
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005L);

inline constexpr std::uint32_t kMsgSoundtrackEvent = 0x8001;
inline constexpr std::uint32_t kMsgPlayerJoined = 0x8004;
inline constexpr std::uint32_t kMsgPlayerLeft = 0x8005;
inline constexpr std::uint32_t kMsgReceivedChat = 0x8009;
inline constexpr std::uint32_t kMsgApplicationExit = 0x800A;
inline constexpr platform::WParam kTimerStatus = 0;
inline constexpr platform::WParam kTimerChatTyping = 0x8007;
inline constexpr platform::WParam kTimerChatEnterArm = 0x8008;

inline constexpr int kMessageLines = 10;
inline constexpr int kMaxCombatants = 32;

class GameApp {
 public:
  GameApp();
  virtual ~GameApp() = default;
  GameApp(const GameApp&) = delete;
  GameApp& operator=(const GameApp&) = delete;

  virtual int RunMatch();                                  // slot 0
  virtual HResult StartMatch();                            // slot 1
  virtual void SetupLights();                              // slot 2
  virtual HResult InitDeviceObjects(int reload);           // slot 3
  virtual void InitSound();                                // slot 4
  virtual void ShutdownSound();                            // slot 5
  virtual void InvalidateDeviceObjects(int releaseAll);    // slot 6
  virtual void DeleteDeviceObjects();                      // slot 7
  virtual platform::LResult WindowProc(platform::Window& window,
                                       const platform::Message& message);  // slot 8

  // Fields several parts of the game read.
  platform::Window* window = nullptr;
  Matrix viewMatrix;
  Matrix projectionBase;
  float fieldOfView = 3.14159265f / 4.0f;
  float aspect = 1.0f;
  int creationWidth = 0;
  int creationHeight = 0;
  bool debugMode = false;
  std::uint64_t matchStartTime = 0;
  std::string workingDirectory;
  std::array<std::string, kMessageLines> messageLines;
  std::string playerName;
  int remotePlayerCount = 0;
  int combatantCount = 0;
  int combatantHighWater = 0;
  std::array<int, kMaxCombatants> playerIds{};

 protected:
  // The framework's stand-in light animation: a light angle that turns.
  float defaultLightAngle_ = 0.0f;
};

// The system's default handling of a message: nothing to do, result 0.
platform::LResult DefaultWindowProc(platform::Window& window, const platform::Message& message);

}  // namespace halvex
