// Flags the window thread and the game thread share without locks. Each has
// exactly one writer; the other side only reads it. What the window thread
// wants changed in the match (a pause for the lost focus, a closed chat
// line) reaches the game thread as a request that the match applies at the
// start of a frame, so a change can never be overwritten by the other side.
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
  // Written by the game thread around the connect.
  std::atomic<int> wizardActive{0};
  // Set by match start, by the Delete key and by a termination request; never cleared.
  std::atomic<int> matchReady{0};
  // Only ever goes from 0 to 1 (see the game thread's end).
  std::atomic<int> exitRequested{0};
  std::atomic<int> gameRunning{0};
  // Window thread: the focus went before the match was ready.
  std::atomic<int> appInactive{0};
  std::atomic<int> initFailed{0};
  std::atomic<int> wasSuspended{0};
  // Window thread: a second close asked to leave as quickly as is safe.
  std::atomic<int> quickExit{0};
  // Game thread: the match ended on a failure it reported (a broken
  // invariant under --check); the process exits non-zero.
  std::atomic<int> runFailed{0};

  // Published by the match at the end of every frame; the window thread and
  // the HUD only read them.
  std::atomic<int> gameState{kGameStateLoading};
  std::atomic<int> spectatorMode{0};
  std::atomic<int> chatActive{0};
  std::atomic<int> keyCommandArmed{0};

  // Window thread's request: 1 while the window has lost the focus during
  // the match. The match pauses on the change to 1 and returns to exactly
  // the state it left on the change back to 0.
  std::atomic<int> focusPaused{0};
};

}  // namespace halvex
