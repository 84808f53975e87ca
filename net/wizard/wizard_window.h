// The connect wizard's dialogs drawn with Dear ImGui in a window of their
// own, modal on the thread that runs them (the game thread). Dialogs 10003
// and 10004 appear as boxes over the dialog that opened them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/wizard/connect_wizard.h"
#include "platform/imgui_host/imgui_host.h"

namespace halvex::net {

// Pixel layout (client coordinates), shared with the window tests.
namespace wizard_layout {
inline constexpr int kWidth = 500;
inline constexpr int kHeight = 320;
inline constexpr int kListLeft = 12;
inline constexpr int kListTop = 36;
inline constexpr int kListWidth = 476;
inline constexpr int kConnectListHeight = 226;
inline constexpr int kGamesListHeight = 196;
inline constexpr int kRowHeight = 17;  // one list entry
inline constexpr int kButtonTop = 280;
inline constexpr int kButtonHeight = 24;
inline constexpr int kOkLeft = 316, kCancelLeft = 408, kButtonWidth = 80;
inline constexpr int kSearchLeft = 12, kSearchWidth = 110;
inline constexpr int kJoinLeft = 228, kCreateLeft = 318;
inline constexpr int kAddressTop = 244;
inline constexpr int kAddressLeft = 104, kAddressWidth = 210;
// The box of dialogs 10003 and 10004.
inline constexpr int kBoxLeft = 100, kBoxTop = 80, kBoxWidth = 300, kBoxHeight = 160;
inline constexpr int kBoxInputTop = kBoxTop + 60;
inline constexpr int kBoxButtonTop = kBoxTop + kBoxHeight - 36;
inline constexpr int kBoxOkLeft = kBoxLeft + kBoxWidth - 184, kBoxCancelLeft = kBoxLeft + kBoxWidth - 92;
}  // namespace wizard_layout

class WizardWindow {
 public:
  WizardWindow(ConnectWizard& wizard, platform::ImGuiHost& host) : wizard_(wizard), host_(host) {}

  // Runs the wizard from its first dialog until it ends and returns its
  // result (ConnectWizard::result). kWizardFailed when the window could not
  // be opened (no display, no OpenGL 3.3). Closing the window quits.
  std::uint32_t Run();

  // Called once a dialog (or a box over one) has been drawn and takes
  // input, each time another one shows.
  std::function<void(WizardDialog)> onDialogShown;

  // For tests: open, then one frame at a time; Frame gives the result once
  // the wizard ended (the window is closed then).
  bool Start();
  std::optional<std::uint32_t> Frame();

 private:
  void RunTimers();
  void DrawConnect();
  void DrawGames();
  void DrawCreate();
  void DrawLobbyWait();
  void CloseRequested();
  std::optional<std::uint32_t> Finish();

  ConnectWizard& wizard_;
  platform::ImGuiHost& host_;
  std::string shownTitle_;
  // When each running timer fires next; 0: not running.
  std::int64_t timer1Due_ = 0;
  std::int64_t timer2Due_ = 0;
  bool focusList_ = true;  // the dialog on top takes the keyboard once
  WizardDialog lastDialog_ = WizardDialog::kNone;
  WizardDialog announced_ = WizardDialog::kNone;
};

}  // namespace halvex::net
