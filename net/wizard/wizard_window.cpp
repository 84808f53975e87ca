#include "net/wizard/wizard_window.h"

#include <imgui.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace halvex::net {

namespace L = wizard_layout;

namespace {

constexpr ImGuiWindowFlags kDialogFlags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                          ImGuiWindowFlags_NoSavedSettings |
                                          ImGuiWindowFlags_NoBringToFrontOnFocus;


void At(int x, int y) { ImGui::SetCursorPos(ImVec2(static_cast<float>(x), static_cast<float>(y))); }

bool Button(const char* label, int x, int width, bool enabled = true, int y = L::kButtonTop) {
  At(x, y);
  if (!enabled) ImGui::BeginDisabled();
  const bool pressed = ImGui::Button(label, ImVec2(static_cast<float>(width), L::kButtonHeight));
  if (!enabled) ImGui::EndDisabled();
  return pressed;
}

// A list box whose entries may repeat; true on a double-click of an entry.
bool List(const char* id, int height, const std::vector<std::string>& items, int selection, int* clicked) {
  bool doubleClicked = false;
  At(L::kListLeft, L::kListTop);
  if (ImGui::BeginListBox(id, ImVec2(L::kListWidth, static_cast<float>(height)))) {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      ImGui::PushID(i);
      if (ImGui::Selectable(items[static_cast<std::size_t>(i)].c_str(), i == selection,
                            ImGuiSelectableFlags_AllowDoubleClick,
                            ImVec2(0, L::kRowHeight - ImGui::GetStyle().ItemSpacing.y))) {
        *clicked = i;
        if (ImGui::IsMouseDoubleClicked(0)) doubleClicked = true;
      }
      ImGui::PopID();
    }
    ImGui::EndListBox();
  }
  return doubleClicked;
}

// The box of a dialog opened over another one; the one below stays visible
// but takes no input.
void BeginBox(const char* caption) {
  ImGui::SetNextWindowPos(ImVec2(L::kBoxLeft, L::kBoxTop));
  ImGui::SetNextWindowSize(ImVec2(L::kBoxWidth, L::kBoxHeight));
  ImGui::PushStyleColor(ImGuiCol_WindowBg, ImVec4(0.15f, 0.16f, 0.18f, 1));
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 1);
  ImGui::Begin(caption, nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                      ImGuiWindowFlags_NoSavedSettings);
  ImGui::SetWindowFocus();
  At(12, 10);
  ImGui::TextUnformatted(caption);
}

void EndBox() {
  ImGui::End();
  ImGui::PopStyleVar();
  ImGui::PopStyleColor();
}

std::string WithoutMnemonic(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p != '&') out += *p;
  }
  return out;
}

}  // namespace

bool WizardWindow::Start() {
  wizard_.Begin();
  shownTitle_ = wizard_.connectDialog().title();
  if (!host_.Open(shownTitle_, L::kWidth, L::kHeight)) {
    wizard_.Fail(kWizardFailed);
    return false;
  }
  platform::ApplyDialogStyle();  // the launcher's look: the same program
  timer1Due_ = timer2Due_ = 0;
  lastDialog_ = WizardDialog::kNone;
  return true;
}

std::uint32_t WizardWindow::Run() {
  if (!Start()) return wizard_.result();
  for (;;) {
    if (auto r = Frame()) return *r;
    // Dialogs need no more than this; without vsync the loop would spin.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::optional<std::uint32_t> WizardWindow::Finish() {
  host_.Close();
  return wizard_.result();
}

// Closing the window leaves the wizard: every open dialog is cancelled.
void WizardWindow::CloseRequested() {
  for (int guard = 0; guard < 4 && !wizard_.done(); ++guard) {
    switch (wizard_.dialog()) {
      case WizardDialog::kCreateGame: wizard_.createDialog().ClickCancel(); break;
      case WizardDialog::kLobbyWait: wizard_.lobbyDialog().ClickCancel(); break;
      case WizardDialog::kGames: wizard_.gamesDialog().Close(); break;
      case WizardDialog::kConnect: wizard_.connectDialog().ClickCancel(); break;
      case WizardDialog::kNone: break;
    }
  }
}

void WizardWindow::RunTimers() {
  const std::int64_t now = wizard_.now();
  auto tick = [now](bool running, std::int64_t& due, int period, auto&& fire) {
    if (!running) {
      due = 0;
    } else if (due == 0) {
      due = now + period;
    } else if (now >= due) {
      due = now + period;
      fire();
    }
  };
  const WizardDialog d = wizard_.dialog();
  GamesDialog& games = wizard_.gamesDialog();
  const bool gamesUp = d == WizardDialog::kGames || d == WizardDialog::kCreateGame;
  tick(gamesUp && games.timer1Running(), timer1Due_, kSearchTimerMs, [&] { games.Timer1(); });
  if (wizard_.done()) return;
  if (d == WizardDialog::kLobbyWait) {
    tick(true, timer2Due_, kJoinTimerMs, [&] { wizard_.lobbyDialog().Timer2(); });
  } else {
    tick(gamesUp && games.timer2Running(), timer2Due_, kJoinTimerMs, [&] { games.Timer2(); });
  }
}

std::optional<std::uint32_t> WizardWindow::Frame() {
  if (wizard_.done()) return Finish();
  if (!host_.BeginFrame()) {
    ImGui::EndFrame();
    CloseRequested();
    return Finish();
  }
  RunTimers();
  const WizardDialog d = wizard_.dialog();
  if (d != lastDialog_) {
    focusList_ = true;
    lastDialog_ = d;
  }
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##wizard", nullptr, kDialogFlags);
  switch (d) {
    case WizardDialog::kConnect: DrawConnect(); break;
    case WizardDialog::kLobbyWait:
      ImGui::BeginDisabled();
      DrawConnect();
      ImGui::EndDisabled();
      break;
    case WizardDialog::kGames: DrawGames(); break;
    case WizardDialog::kCreateGame:
      ImGui::BeginDisabled();
      DrawGames();
      ImGui::EndDisabled();
      break;
    case WizardDialog::kNone: break;
  }
  if (d == WizardDialog::kCreateGame || d == WizardDialog::kLobbyWait) {
    ImGui::GetWindowDrawList()->AddRectFilled(ImVec2(0, 0), ImGui::GetIO().DisplaySize, IM_COL32(0, 0, 0, 110));
  }
  ImGui::End();
  // The box is drawn after the dialog below it, which may have closed it.
  if (wizard_.dialog() == WizardDialog::kCreateGame && d == WizardDialog::kCreateGame) DrawCreate();
  if (wizard_.dialog() == WizardDialog::kLobbyWait && d == WizardDialog::kLobbyWait) DrawLobbyWait();
  host_.EndFrame();
  if (d == wizard_.dialog() && d != announced_) {
    announced_ = d;
    if (onDialogShown) onDialogShown(d);
  }

  if (wizard_.done()) return Finish();
  const std::string& title = wizard_.dialog() == WizardDialog::kGames || wizard_.dialog() == WizardDialog::kCreateGame
                                 ? wizard_.gamesDialog().title()
                                 : wizard_.connectDialog().title();
  if (title != shownTitle_) {
    shownTitle_ = title;
    host_.SetTitle(title);
  }
  return std::nullopt;
}

void WizardWindow::DrawConnect() {
  ConnectDialog& dialog = wizard_.connectDialog();
  At(L::kListLeft, 12);
  ImGui::TextUnformatted(kConnectLabel);
  int clicked = -1;
  const bool twice = List("##types", L::kConnectListHeight, dialog.items(), dialog.selection(), &clicked);
  if (clicked >= 0) dialog.Select(clicked);
  if (twice) {
    dialog.ClickOk();
    return;
  }
  if (Button("OK", L::kOkLeft, L::kButtonWidth)) {
    dialog.ClickOk();
    return;
  }
  if (focusList_ && wizard_.dialog() == WizardDialog::kConnect) {
    ImGui::SetItemDefaultFocus();
    focusList_ = false;
  }
  if (Button("Cancel", L::kCancelLeft, L::kButtonWidth)) dialog.ClickCancel();
}

void WizardWindow::DrawGames() {
  GamesDialog& dialog = wizard_.gamesDialog();
  At(L::kListLeft, 12);
  ImGui::TextUnformatted(kGamesLabel);
  std::vector<std::string> texts;
  for (const GamesDialog::Item& item : dialog.items()) texts.push_back(item.text);
  int clicked = -1;
  const bool twice = List("##games", L::kGamesListHeight, texts, dialog.selection(), &clicked);
  if (clicked >= 0) dialog.Select(clicked);
  if (twice) {
    dialog.ClickJoin();
    if (wizard_.dialog() != WizardDialog::kGames) return;
  }

  At(L::kListLeft, L::kAddressTop + 3);
  ImGui::TextUnformatted(kAddressLabel);
  At(L::kAddressLeft, L::kAddressTop);
  ImGui::SetNextItemWidth(L::kAddressWidth);
  char address[kLobbyAddressMax + 8] = {};
  std::snprintf(address, sizeof address, "%s", dialog.address.c_str());
  if (dialog.searching()) ImGui::BeginDisabled();
  if (ImGui::InputTextWithHint("##address", "this network", address, sizeof address)) dialog.address = address;
  if (dialog.searching()) ImGui::EndDisabled();

  // "Start Search" is a push-like check box: it stays pressed while searching.
  const bool on = dialog.searching();
  if (on) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
  const bool search = Button(dialog.searchButtonText(), L::kSearchLeft, L::kSearchWidth);
  if (on) ImGui::PopStyleColor();
  if (focusList_ && wizard_.dialog() == WizardDialog::kGames) {
    ImGui::SetItemDefaultFocus();
    focusList_ = false;
  }
  if (search) {
    dialog.ClickSearch();
    return;
  }
  if (Button("Join", L::kJoinLeft, L::kButtonWidth, dialog.joinEnabled())) {
    dialog.ClickJoin();
    return;
  }
  if (Button("Create", L::kCreateLeft, L::kButtonWidth, dialog.createEnabled())) {
    dialog.ClickCreate();
    return;
  }
  if (Button("Cancel", L::kCancelLeft, L::kButtonWidth)) dialog.ClickCancel();
}

void WizardWindow::DrawCreate() {
  CreateGameDialog& dialog = wizard_.createDialog();
  BeginBox(kCreateDialogTitle);
  At(12, 36);
  ImGui::TextUnformatted(kDescriptionLabel);
  At(12, L::kBoxInputTop - L::kBoxTop);
  ImGui::SetNextItemWidth(L::kBoxWidth - 24);
  char text[kWizardTextMax + 1] = {};
  std::snprintf(text, sizeof text, "%s", dialog.description.c_str());
  if (focusList_) {
    ImGui::SetKeyboardFocusHere();
    focusList_ = false;
  }
  if (ImGui::InputText("##description", text, sizeof text)) dialog.description = text;
  // "Migrate Host" is not shown: hosts always hand over when they leave.
  const int buttonTop = L::kBoxButtonTop - L::kBoxTop;
  if (Button("OK", L::kBoxOkLeft - L::kBoxLeft, L::kButtonWidth, true, buttonTop)) {
    dialog.ClickOk();
  } else if (Button("Cancel", L::kBoxCancelLeft - L::kBoxLeft, L::kButtonWidth, true, buttonTop)) {
    dialog.ClickCancel();
  }
  EndBox();
}

void WizardWindow::DrawLobbyWait() {
  LobbyWaitDialog& dialog = wizard_.lobbyDialog();
  BeginBox(kLobbyDialogTitle);
  At(12, 56);
  ImGui::TextUnformatted(dialog.text());
  const int buttonTop = L::kBoxButtonTop - L::kBoxTop;
  const std::string cancel = WithoutMnemonic(kLobbyCancelText);
  if (Button(cancel.c_str(), L::kBoxCancelLeft - L::kBoxLeft, L::kButtonWidth, true, buttonTop)) {
    dialog.ClickCancel();
  }
  EndBox();
}

}  // namespace halvex::net
