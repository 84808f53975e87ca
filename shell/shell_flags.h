// Flags the window thread and the game thread share without locks. Each is
// written by one side at a time and polled by the other.
#pragma once

#include <atomic>

namespace halvex {

// gameState values.
inline constexpr int kGameStateLoading = 0;
inline constexpr int kGameStatePlaying = 1;
inline constexpr int kGameStatePaused = 2;
inline constexpr int kGameStateResumed = 3;
inline constexpr int kGameStateDead = 10;

struct ShellFlags {
  std::atomic<int> wizardActive{0};
  std::atomic<int> matchReady{0};
  std::atomic<int> exitRequested{0};
  std::atomic<int> gameRunning{0};
  std::atomic<int> appInactive{0};
  std::atomic<int> initFailed{0};
  std::atomic<int> gameState{kGameStateLoading};
  std::atomic<int> wasSuspended{0};
  std::atomic<int> spectatorMode{0};
  std::atomic<int> savedSpectatorMode{0};
  std::atomic<int> keyCommandArmed{0};
  std::atomic<int> chatActive{0};
  std::atomic<int> chatOpen{0};
  // Roster changes the window thread hands to the match loop.
  std::atomic<int> joinPending{0};
  std::atomic<int> leavePending{0};
};

}  // namespace halvex
