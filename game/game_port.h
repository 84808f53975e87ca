// The game as the shell sees it: a small interface without the match's
// headers, so the shell's own records never meet the simulation's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/game_audio.h"
#include "game/run_options.h"
#include "launcher/settings.h"
#include "net/session/match_network.h"
#include "platform/gfx/d3d8types.h"
#include "platform/input/input.h"
#include "shell/shell_flags.h"

struct SDL_Window;

namespace halvex::game {

// What the game asks of the window thread's side.
struct ShellLinks {
  std::function<void()> openChatEntry;      // Enter pressed: start typing
  std::function<bool()> chatEntryOpen;      // false once the window thread ended chat entry
  std::function<void()> safePoint;          // parks the game thread while it is suspended
  std::function<std::string()> chatLine;    // the line being typed
  std::function<bool()> chatTyping;         // a character typed within 500 ms
  std::function<std::string()> statusText;  // the window's status line
  std::function<void(const std::string&)> setStatusText;
  std::function<void()> postApplicationExit;
  std::function<void()> postSoundtrackEvent;  // called on the audio thread
};

class GamePort {
 public:
  virtual ~GamePort() = default;
  // The device set-up with the game as its slots (loading and match start
  // included); the window is null for a headless run.
  virtual gfx::HRESULT CreateDevices(SDL_Window* window) = 0;
  virtual void ReleaseDevices(bool releaseDeviceObjects) = 0;
  virtual int RunMatch() = 0;
  virtual void RunClosingScreen() = 0;
  // Lines from the window thread, applied on the game thread.
  virtual void QueueChatLine(const std::string& typed) = 0;
  virtual void QueueMessageLine(const std::string& line) = 0;
  virtual std::string TimedemoReport() const = 0;
  // The scoreboard and the state hash of the match as it stands.
  virtual std::string MatchSummary() const = 0;
  // Network matches. The session the match sends through (null: none);
  // players joining and leaving, and checked messages from the session's
  // threads; the window thread's once-a-second status send.
  virtual void AttachNetwork(net::MatchNetwork* network) = 0;
  virtual void QueueRosterChange(bool joined, std::uint32_t id, const std::string& name) = 0;
  virtual void QueueNetMessage(const std::string& sender, const net::GameMessage& message) = 0;
  virtual void RequestStatusSend() = 0;
  virtual input::InputDevice* keyboard() = 0;
  virtual input::InputDevice* mouse() = 0;
  ShellLinks links;
};

std::unique_ptr<GamePort> MakeGame(Settings& settings, ShellFlags& flags, GameAudio& audio,
                                   const RunOptions& options);

}  // namespace halvex::game
