#include "launcher/launcher_window.h"

#include <algorithm>

#include "platform/input/sdl_feed.h"

#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/settings_store.h"
#include "platform/desktop/desktop.h"
#include "platform/window/message_box.h"
#include "platform/window/window.h"

namespace halvex {

namespace {

ImU32 Rgb(int r, int g, int b, int a = 255) { return IM_COL32(r, g, b, a); }


// A frame with a caption in its top border, like a dialog's group box.
void GroupBox(const char* caption, ImVec2 min, ImVec2 max) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const ImU32 line = Rgb(92, 76, 56);
  const float textWidth = ImGui::CalcTextSize(caption).x;
  const float y = min.y;
  dl->AddLine(ImVec2(min.x, y), ImVec2(min.x + 8, y), line);
  dl->AddLine(ImVec2(min.x + 14 + textWidth, y), ImVec2(max.x, y), line);
  dl->AddLine(ImVec2(max.x, y), max, line);
  dl->AddLine(ImVec2(min.x, max.y), max, line);
  dl->AddLine(ImVec2(min.x, y), ImVec2(min.x, max.y), line);
  dl->AddText(ImVec2(min.x + 11, y - 8), Rgb(235, 190, 120), caption);
}

void SetWindowToViewport() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
}

constexpr ImGuiWindowFlags kDialogFlags =
    ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
    ImGuiWindowFlags_NoBringToFrontOnFocus;

int DigitsOnly(ImGuiInputTextCallbackData* data) {
  return (data->EventChar >= '0' && data->EventChar <= '9') ? 0 : 1;
}

// A drop-down list that may have no selection (-1).
void ListBox(const char* id, int& selection, const std::vector<std::string>& items) {
  const char* preview =
      selection >= 0 && selection < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(selection)].c_str() : "";
  if (ImGui::BeginCombo(id, preview)) {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      bool chosen = i == selection;
      if (ImGui::Selectable(items[static_cast<std::size_t>(i)].c_str(), chosen)) selection = i;
      if (chosen) ImGui::SetItemDefaultFocus();
    }
    ImGui::EndCombo();
  }
}

}  // namespace

bool LauncherWindow::Start() {
  if (!host_.Open(options_.title(), layout::kOptionsWidth, layout::kOptionsHeight)) return false;
  platform::ApplyDialogStyle();
  options_.Open();
  host_.SetTitle(options_.title());
  firstFrame_ = true;
  result_.reset();
  return true;
}

std::optional<DialogResult> LauncherWindow::Run() {
  if (!Start()) return std::nullopt;
  for (;;) {
    if (auto r = Frame()) {
      host_.Close();
      return *r;
    }
  }
}

std::optional<DialogResult> LauncherWindow::Frame() {
  if (!host_.BeginFrame()) {
    ImGui::EndFrame();
    if (!advancedOpen_) return options_.ClickExit();
    // Closing the advanced dialog is returning without saving.
    advancedOpen_ = false;
    advancedPage_ = 0;
    capturingAction_ = -1;
    host_.Resize(layout::kOptionsWidth, layout::kOptionsHeight);
    host_.SetTitle(options_.title());
    host_.BeginFrame();
  }
  const ImVec2 mouse = ImGui::GetIO().MousePos;
  if (ImGui::IsMousePosValid(&mouse)) {
    if (advancedOpen_ && advancedPage_ != 0) {
      advanced_.ShowTip(kAdvancedStatusText);  // the page's labels set their tips as they are drawn
    } else if (advancedOpen_) {
      advanced_.MouseMove(static_cast<int>(mouse.x), static_cast<int>(mouse.y));
    } else {
      options_.MouseMove(static_cast<int>(mouse.x), static_cast<int>(mouse.y));
    }
  }
  if (advancedOpen_) {
    DrawAdvanced();
  } else if (options_.ownPickerWanted()) {
    DrawFilePicker();
  } else {
    picker_.reset();
    DrawOptions();
  }
  host_.EndFrame();
  firstFrame_ = false;
  auto r = result_;
  result_.reset();
  return r;
}

bool LauncherWindow::RadioPair(const char* id, int x, int y, bool yes, bool enabled,
                               bool& clickedYes) {
  bool clicked = false;
  ImGui::PushID(id);
  if (!enabled) ImGui::BeginDisabled();
  ImGui::SetCursorPos(ImVec2(static_cast<float>(x), static_cast<float>(y - 3)));
  if (ImGui::RadioButton("Yes", yes)) {
    clicked = true;
    clickedYes = true;
  }
  ImGui::SetCursorPos(ImVec2(static_cast<float>(x + layout::kAdvancedRadioGap), static_cast<float>(y - 3)));
  if (ImGui::RadioButton("No", !yes)) {
    clicked = true;
    clickedYes = false;
  }
  if (!enabled) ImGui::EndDisabled();
  ImGui::PopID();
  return clicked;
}

void LauncherWindow::DrawPicture() {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const ImVec2 a(8, 14), b(128, 338);
  const float horizon = 214;
  // Dusk sky over the sea.
  dl->AddRectFilledMultiColor(a, ImVec2(b.x, horizon), Rgb(28, 36, 74), Rgb(28, 36, 74),
                              Rgb(226, 128, 70), Rgb(226, 128, 70));
  dl->AddCircleFilled(ImVec2(88, horizon - 22), 17, Rgb(255, 214, 140));
  dl->AddCircleFilled(ImVec2(88, horizon - 22), 24, Rgb(255, 190, 110, 60));
  dl->AddRectFilledMultiColor(ImVec2(a.x, horizon), b, Rgb(34, 74, 92), Rgb(34, 74, 92),
                              Rgb(10, 26, 38), Rgb(10, 26, 38));
  for (int i = 0; i < 7; ++i) {
    float y = horizon + 8 + static_cast<float>(i * i) * 2.6f;
    dl->AddLine(ImVec2(a.x + 6 + static_cast<float>(i * 3), y), ImVec2(b.x - 10 - static_cast<float>(i * 5), y),
                Rgb(240, 160, 100, 70 - i * 8));
  }
  // The island citadel in silhouette.
  const ImU32 stone = Rgb(22, 18, 24);
  const ImVec2 island[] = {{8, 226}, {24, 212}, {50, 206}, {86, 207}, {112, 214}, {128, 226}};
  dl->AddConvexPolyFilled(island, 6, stone);
  dl->AddRectFilled(ImVec2(20, 176), ImVec2(34, 214), stone);
  dl->AddRectFilled(ImVec2(98, 170), ImVec2(112, 214), stone);
  dl->AddRectFilled(ImVec2(34, 192), ImVec2(98, 214), stone);
  dl->AddRectFilled(ImVec2(58, 150), ImVec2(74, 192), stone);
  dl->AddTriangleFilled(ImVec2(56, 150), ImVec2(76, 150), ImVec2(66, 132), stone);
  for (int i = 0; i < 4; ++i) {
    dl->AddRectFilled(ImVec2(20 + static_cast<float>(i * 4), 171), ImVec2(22 + static_cast<float>(i * 4), 176), stone);
    dl->AddRectFilled(ImVec2(98 + static_cast<float>(i * 4), 165), ImVec2(100 + static_cast<float>(i * 4), 170), stone);
  }
  dl->AddRectFilled(ImVec2(64, 166), ImVec2(68, 174), Rgb(255, 200, 120));
  // The name across the top of the sky.
  ImFont* font = host_.display();
  ImGui::PushFont(font);
  const char* title = "HALVEX";
  float tw = ImGui::CalcTextSize(title).x;
  float scale = tw > 112 ? 112 / tw : 1.0f;
  ImGui::SetWindowFontScale(scale);
  tw = ImGui::CalcTextSize(title).x;
  dl->AddText(font, font->FontSize * scale, ImVec2(68 - tw / 2 + 1, 34 + 1), Rgb(0, 0, 0, 160), title);
  dl->AddText(font, font->FontSize * scale, ImVec2(68 - tw / 2, 34), Rgb(240, 196, 120), title);
  ImGui::SetWindowFontScale(1.0f);
  ImGui::PopFont();
  dl->AddText(ImVec2(68 - ImGui::CalcTextSize("VARNHOLT").x / 2, 20), Rgb(230, 220, 200, 200),
              "VARNHOLT");
  const char* tag = "Free-For-All";
  dl->AddText(ImVec2(68 - ImGui::CalcTextSize(tag).x / 2, 318), Rgb(200, 210, 220, 190), tag);
  dl->AddRect(ImVec2(a.x - 1, a.y - 1), ImVec2(b.x + 1, b.y + 1), Rgb(0, 0, 0));
  dl->AddRect(ImVec2(a.x - 2, a.y - 2), ImVec2(b.x + 2, b.y + 2), Rgb(92, 76, 56));
}

void LauncherWindow::DrawStatusBar(const std::string& text, int height) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const float w = ImGui::GetIO().DisplaySize.x;
  const float top = static_cast<float>(height - layout::kStatusHeight);
  dl->AddRectFilled(ImVec2(0, top), ImVec2(w, static_cast<float>(height)), Rgb(24, 22, 20));
  dl->AddLine(ImVec2(0, top), ImVec2(w, top), Rgb(92, 76, 56));
  dl->PushClipRect(ImVec2(0, top), ImVec2(w - 4, static_cast<float>(height)));
  dl->AddText(ImVec2(8, top + 4), Rgb(220, 210, 190), text.c_str());
  dl->PopClipRect();
}

void LauncherWindow::DrawOptions() {
  OptionsDialog::Controls& c = options_.controls();
  SetWindowToViewport();
  ImGui::Begin("##options", nullptr, kDialogFlags);
  DrawPicture();
  GroupBox("Select Your Options", ImVec2(134, 14), ImVec2(478, 338));

  for (const OptionsRow& row : kOptionsRows) {
    ImGui::SetCursorPos(ImVec2(kOptionsLabelLeft + 0.0f, static_cast<float>(row.top)));
    ImGui::TextUnformatted(row.label);
  }
  const float controlWidth = layout::kControlRight - layout::kControlLeft;
  auto at = [](int rowIndex, int x = layout::kControlLeft) {
    ImGui::SetCursorPos(ImVec2(static_cast<float>(x), static_cast<float>(kOptionsRows[rowIndex].top - 3)));
  };
  auto atRadio = [](int rowIndex) { return kOptionsRows[rowIndex].top; };

  at(0);
  ImGui::SetNextItemWidth(controlWidth);
  char name[kPlayerNameMax + 1] = {};
  std::snprintf(name, sizeof name, "%s", c.nameBox.c_str());
  if (ImGui::InputText("##name", name, sizeof name)) c.nameBox = name;

  bool yes = false;
  if (RadioPair("multi", layout::kControlLeft, atRadio(1), c.multiplayer, true, yes)) {
    options_.ClickMultiplayer(yes);
    host_.SetTitle(options_.title());
  }
  if (RadioPair("full", layout::kControlLeft, atRadio(2), c.fullscreen, true, yes)) {
    options_.ClickFullscreen(yes);
  }
  if (RadioPair("sound", layout::kControlLeft, atRadio(3), c.soundtrack, true, yes)) {
    options_.ClickSoundtrack(yes);
  }
  if (c.soundtrack && !options_.soundtrackPath().empty()) {
    // Which file will play, clipped to the space left on the row.
    const std::string& path = options_.soundtrackPath();
    const char* file = path.c_str() + (path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImVec2 origin = ImGui::GetWindowPos();
    float left = origin.x + layout::kControlLeft + 118.0f;
    float top = origin.y + static_cast<float>(atRadio(3));
    dl->PushClipRect(ImVec2(left, top - 2), ImVec2(origin.x + layout::kControlRight, top + 16));
    dl->AddText(ImVec2(left, top), ImGui::GetColorU32(ImGuiCol_TextDisabled), file);
    dl->PopClipRect();
  }
  if (RadioPair("tnl", layout::kControlLeft, atRadio(4), c.hardwareTnL, c.hardwareTnLEnabled, yes)) {
    options_.ClickHardwareTnL(yes);
  }
  if (RadioPair("soft", layout::kControlLeft, atRadio(5), c.softwareMode, true, yes)) {
    options_.ClickSoftwareMode(yes);
  }

  at(6);
  ImGui::SetNextItemWidth(controlWidth);
  ListBox("##area", c.areaSelection, options_.areas());

  at(7);
  ImGui::SetNextItemWidth(60);
  char bots[12] = {};
  std::snprintf(bots, sizeof bots, "%s", c.botsBox.c_str());
  if (ImGui::InputText("##bots", bots, sizeof bots, ImGuiInputTextFlags_CallbackCharFilter,
                       DigitsOnly)) {
    c.botsBox = bots;
  }

  static const std::vector<std::string> kDifficulties(std::begin(kDifficultyNames),
                                                      std::end(kDifficultyNames));
  at(8);
  ImGui::SetNextItemWidth(controlWidth);
  ListBox("##difficulty", c.difficultySelection, kDifficulties);
  at(9);
  ImGui::SetNextItemWidth(controlWidth);
  ListBox("##resolution", c.resolutionSelection, options_.resolutions());

  at(10);
  ImGui::SetNextItemWidth(controlWidth);
  char address[64] = {};
  std::snprintf(address, sizeof address, "%s", c.address.c_str());
  ImGui::InputText("##address", address, sizeof address, ImGuiInputTextFlags_ReadOnly);

  ImGui::SetCursorPos(ImVec2(layout::kBloodLeft - 34.0f, static_cast<float>(kOptionsRows[11].top)));
  ImGui::TextDisabled("None");
  ImGui::SetCursorPos(ImVec2(layout::kBloodLeft + layout::kBloodWidth + 4.0f, static_cast<float>(kOptionsRows[11].top)));
  ImGui::TextDisabled("Tons");
  ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kBloodLeft), static_cast<float>(layout::kBloodTop - 2)));
  ImGui::SetNextItemWidth(layout::kBloodWidth);
  // Ctrl+click lets the player type a number; without AlwaysClamp ImGui
  // would take one past the ends, and the dialog clamps whatever arrives.
  int blood = c.blood;
  if (ImGui::SliderInt("##blood", &blood, kBloodNone, kBloodTons, "%d",
                       ImGuiSliderFlags_AlwaysClamp)) {
    options_.SetBlood(blood);
  }

  const char* labels[4] = {"Start Game", "Advanced", "Get Help!", "Exit Game"};
  for (int i = 0; i < 4; ++i) {
    ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kButtonLeft[i]), static_cast<float>(layout::kButtonTop)));
    bool pressed = ImGui::Button(labels[i], ImVec2(layout::kButtonWidth, layout::kButtonHeight));
    bool focusHere = options_.helpFocused() ? i == 2 : i == 0;
    if (firstFrame_ && focusHere) ImGui::SetItemDefaultFocus();
    if (!pressed) continue;
    switch (i) {
      case 0:
        if (options_.ClickStart() == DialogResult::Started) result_ = DialogResult::Started;
        break;
      case 1:
        advanced_.Open();
        advancedOpen_ = true;
        host_.Resize(layout::kAdvancedWidth, layout::kAdvancedHeight);
        host_.SetTitle(kAdvancedTitle);
        break;
      case 2:
        options_.ClickGetHelp();
        break;
      default:
        result_ = options_.ClickExit();
        break;
    }
  }
  DrawStatusBar(options_.statusText(), layout::kOptionsHeight);
  ImGui::End();
}

namespace {
const char* const kPickerFilters[2] = {"Music Files (*.mp3;*.wav;*.mid;*.midi)",
                                       "All Files (*.*)"};
std::vector<std::string> PickerPatterns(int filter) {
  if (filter == 0) return {"*.mp3", "*.wav", "*.mid", "*.midi"};
  return {"*"};
}
}  // namespace

void LauncherWindow::DrawFilePicker() {
  if (!picker_) {
    std::string start = options_.soundtrackPath();
    start = start.empty() ? std::string() : start.substr(0, start.find_last_of('/'));
    if (start.empty()) {
      const char* home = std::getenv("HOME");
      start = home ? home : ".";
    }
    pickerFilter_ = 0;
    pickerSelected_.clear();
    picker_ = std::make_unique<FilePicker>(start, PickerPatterns(0));
  }
  SetWindowToViewport();
  ImGui::Begin("##picker", nullptr, kDialogFlags);
  const float width = ImGui::GetIO().DisplaySize.x;
  GroupBox("Select Soundtrack File", ImVec2(8, 14), ImVec2(width - 8, 338));
  ImGui::SetCursorPos(ImVec2(18, 30));
  ImGui::PushTextWrapPos(width - 18);
  ImGui::TextDisabled("%s", picker_->folder().c_str());
  ImGui::PopTextWrapPos();
  ImGui::SetCursorPos(ImVec2(18, 52));
  std::string chosen;
  if (ImGui::BeginListBox("##files", ImVec2(width - 36, 226))) {
    for (const FilePicker::Entry& entry : picker_->entries()) {
      std::string label = entry.folder ? "[" + entry.name + "]" : entry.name;
      bool selected = !entry.folder && entry.name == pickerSelected_;
      if (ImGui::Selectable(label.c_str(), selected, ImGuiSelectableFlags_AllowDoubleClick)) {
        pickerSelected_ = entry.folder ? std::string() : entry.name;
        if (entry.folder || ImGui::IsMouseDoubleClicked(0)) {
          chosen = picker_->Open(entry);
          break;  // the listing changed under us
        }
      }
    }
    if (!picker_->error().empty()) ImGui::TextDisabled("%s", picker_->error().c_str());
    ImGui::EndListBox();
  }
  ImGui::SetCursorPos(ImVec2(18, 290));
  ImGui::SetNextItemWidth(width - 36);
  if (ImGui::Combo("##filter", &pickerFilter_, kPickerFilters, 2)) {
    picker_->SetPatterns(PickerPatterns(pickerFilter_));
  }
  ImGui::SetCursorPos(ImVec2(width - 188, static_cast<float>(layout::kButtonTop)));
  if (pickerSelected_.empty()) ImGui::BeginDisabled();
  if (ImGui::Button("Open", ImVec2(80, layout::kButtonHeight))) {
    chosen = picker_->Open({pickerSelected_, false});
  }
  if (pickerSelected_.empty()) ImGui::EndDisabled();
  ImGui::SetCursorPos(ImVec2(width - 100, static_cast<float>(layout::kButtonTop)));
  if (ImGui::Button("Cancel", ImVec2(80, layout::kButtonHeight))) options_.CancelPicker();
  if (!chosen.empty()) options_.ChooseSoundtrack(chosen);
  DrawStatusBar("Select Soundtrack File", layout::kOptionsHeight);
  ImGui::End();
}

void LauncherWindow::DrawSwitches() {
  GroupBox("Select Your Options", ImVec2(8, 14), ImVec2(482, 258));
  for (int i = 0; i < kAdvancedSwitchCount; ++i) {
    const AdvancedSwitch& sw = kAdvancedSwitches[i];
    const int column = sw.leftColumn ? 0 : 1;
    const int y = kAdvancedBandTop + sw.band * kAdvancedBandStep;
    ImGui::SetCursorPos(ImVec2(static_cast<float>(column == 0 ? kAdvancedLeftLabel[0] : kAdvancedRightLabel[0]), static_cast<float>(y)));
    ImGui::TextUnformatted(sw.label);
    bool yes = false;
    if (RadioPair(sw.registryName, layout::kAdvancedRadioLeft[column], y, advanced_.yes(i), true, yes)) {
      advanced_.Click(i, yes);
    }
  }
}

namespace {

// A row of the comfort page: its label, and its tip while the row is hovered.
void ComfortLabel(AdvancedDialog& dialog, int column, int band, const char* label, const char* tip) {
  const int y = kAdvancedBandTop + band * kAdvancedBandStep;
  ImGui::SetCursorPos(ImVec2(static_cast<float>(column == 0 ? kAdvancedLeftLabel[0] : kAdvancedRightLabel[0]), static_cast<float>(y)));
  ImGui::TextUnformatted(label);
  if (ImGui::IsItemHovered()) dialog.ShowTip(tip);
}

}  // namespace

void LauncherWindow::DrawComfort() {
  GroupBox("Comfort Options", ImVec2(8, 14), ImVec2(482, 258));
  ComfortSettings& c = advanced_.comfort();
  auto yesNo = [&](const char* id, int column, int band, bool& value) {
    bool yes = false;
    if (RadioPair(id, layout::kAdvancedRadioLeft[column], kAdvancedBandTop + band * kAdvancedBandStep, value, true, yes)) value = yes;
  };
  auto numberAt = [&](int band) {
    ImGui::SetCursorPos(ImVec2(static_cast<float>(kAdvancedLeftLabel[0]), static_cast<float>(kAdvancedBandTop + band * kAdvancedBandStep + 16)));
    ImGui::SetNextItemWidth(200);
  };
  ComfortLabel(advanced_, 0, 0, "Mouse Sensitivity :", "How far the view turns for the same mouse motion. 100% is the original.");
  numberAt(0);
  ImGui::SliderInt("##sensitivity", &c.mouseSensitivity, kMouseSensitivityMin, kMouseSensitivityMax, "%d%%", ImGuiSliderFlags_AlwaysClamp | ImGuiSliderFlags_Logarithmic);
  ComfortLabel(advanced_, 0, 2, "Invert Mouse :", "Moving the mouse forward looks down.");
  yesNo("invert", 0, 2, c.invertMouse);
  ComfortLabel(advanced_, 0, 3, "Raw Mouse :", "Use the mouse's own motion, without the desktop's acceleration.");
  yesNo("raw", 0, 3, c.rawMouse);
  ComfortLabel(advanced_, 0, 4, "Frame Cap :", "Draw at most this many frames a second (0: as many as possible).");
  numberAt(4);
  ImGui::InputInt("##framecap", &c.frameCap, 10, 60);
  // Kept to its range once the player is done typing, not at every digit.
  if (!ImGui::IsItemActive()) c.frameCap = c.frameCap < kFrameCapMin ? 0 : std::min(c.frameCap, kFrameCapMax);
  ComfortLabel(advanced_, 0, 6, "Background Cap :", "At most 20 frames a second while the window is not in front.");
  yesNo("background", 0, 6, c.backgroundCap);
  ComfortLabel(advanced_, 1, 0, "VSync In Window :", "A windowed game waits for the display before each frame.");
  yesNo("vsync", 1, 0, c.vsync);
  ComfortLabel(advanced_, 1, 1, "Correct Aspect :", "Wide screens see more to the sides; nothing is stretched.");
  yesNo("aspect", 1, 1, c.correctAspect);
  ComfortLabel(advanced_, 1, 2, "PNG Screenshots :", "Save F11 screenshots as PNG instead of BMP.");
  yesNo("png", 1, 2, c.pngScreenshots);
  ComfortLabel(advanced_, 1, 3, "Copy To Pictures :", "Also put each screenshot in your Pictures folder.");
  yesNo("mirror", 1, 3, c.mirrorScreenshots);
  ComfortLabel(advanced_, 1, 4, "Resizable Window :", "A windowed game may be sized freely; the picture keeps its shape.");
  yesNo("resizable", 1, 4, c.resizableWindow);
}

void LauncherWindow::DrawKeys() {
  GroupBox("Your Keys", ImVec2(8, 14), ImVec2(482, 258));
  KeyBindings& keys = advanced_.comfort().keys;
  if (capturingAction_ >= 0) {
    // The next key pressed is taken, by where it sits on the keyboard, or the
    // next mouse button (not the click that asked for it).
    const ImGuiIO& io = ImGui::GetIO();
    for (int button = 0; button < kMouseButtonCount && !capturingFirstFrame_; ++button) {
      if (!ImGui::IsMouseClicked(button)) continue;
      keys[static_cast<std::size_t>(capturingAction_)] = kMouseButtonCode + button;
      capturingAction_ = -1;
      break;
    }
    capturingFirstFrame_ = false;
    for (int sdl = 0; capturingAction_ >= 0 && sdl < IM_ARRAYSIZE(io.KeysDown); ++sdl) {
      if (!io.KeysDown[sdl] || io.KeysDownDuration[sdl] != 0.0f) continue;
      const int code = input::DikFromScancode(sdl);
      if (code == 0x01) {
        capturingAction_ = -1;  // Escape: keep the key it had
      } else if (BindableKey(code)) {
        keys[static_cast<std::size_t>(capturingAction_)] = code;
        capturingAction_ = -1;
      }
      break;
    }
  }
  constexpr int kLeftColumnActions = (kBindableActionCount + 1) / 2;
  ImGui::BeginDisabled(capturingAction_ >= 0);
  for (int i = 0; i < kBindableActionCount; ++i) {
    const int column = i < kLeftColumnActions ? 0 : 1;
    const int band = i < kLeftColumnActions ? i : i - kLeftColumnActions;
    const std::string label = std::string(kBindableActions[static_cast<std::size_t>(i)].helpName) + " :";
    ComfortLabel(advanced_, column, band, label.c_str(),
                 "Click, then press the key or mouse button you want; Escape keeps the old one.");
    const int y = kAdvancedBandTop + band * kAdvancedBandStep;
    ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kAdvancedRadioLeft[column]), static_cast<float>(y - 4)));
    const std::string shown = capturingAction_ == i ? "press a key" : KeyName(keys[static_cast<std::size_t>(i)]);
    ImGui::PushID(i);
    if (ImGui::Button(shown.c_str(), ImVec2(96, 20))) {
      capturingAction_ = i;
      capturingFirstFrame_ = true;
    }
    ImGui::PopID();
  }
  ImGui::SetCursorPos(ImVec2(static_cast<float>(kAdvancedRightLabel[0]),
                             static_cast<float>(kAdvancedBandTop + kLeftColumnActions * kAdvancedBandStep)));
  if (ImGui::Button("Default Keys", ImVec2(120, 20))) keys = DefaultKeyBindings();
  ImGui::EndDisabled();
}

void LauncherWindow::DrawAdvanced() {
  SetWindowToViewport();
  ImGui::Begin("##advanced", nullptr, kDialogFlags);
  // While a key is awaited, a click is the player's choice of button, not a
  // press of whatever lies under the pointer.
  const bool capturing = capturingAction_ >= 0;
  if (advancedPage_ == 1) {
    DrawComfort();
  } else if (advancedPage_ == 2) {
    DrawKeys();
  } else {
    DrawSwitches();
  }
  ImGui::BeginDisabled(capturing);
  ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kAdvancedPageButton[0]), static_cast<float>(layout::kAdvancedButtonTop)));
  static const char* const kNextPage[3] = {"Comfort >>", "Keys >>", "<< Switches"};
  if (ImGui::Button(kNextPage[advancedPage_],
                    ImVec2(static_cast<float>(layout::kAdvancedPageButton[1]), layout::kButtonHeight))) {
    advancedPage_ = (advancedPage_ + 1) % 3;
    capturingAction_ = -1;
  }
  auto close = [&] {
    advancedOpen_ = false;
    advancedPage_ = 0;
    capturingAction_ = -1;
    host_.Resize(layout::kOptionsWidth, layout::kOptionsHeight);
    host_.SetTitle(options_.title());
  };
  ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kAdvancedButtonLeft[0]), static_cast<float>(layout::kAdvancedButtonTop)));
  if (ImGui::Button("Save New Settings", ImVec2(layout::kAdvancedButtonWidth, layout::kButtonHeight))) {
    if (advanced_.ClickSave() == DialogResult::Started) close();
  }
  if (firstFrame_) ImGui::SetItemDefaultFocus();
  ImGui::SetCursorPos(ImVec2(static_cast<float>(layout::kAdvancedButtonLeft[1]), static_cast<float>(layout::kAdvancedButtonTop)));
  if (ImGui::Button("Return Without Saving", ImVec2(layout::kAdvancedButtonWidth, layout::kButtonHeight))) {
    advanced_.ClickReturn();
    close();
  }
  ImGui::EndDisabled();
  DrawStatusBar(advanced_.statusText(), layout::kAdvancedHeight);
  ImGui::End();
}

// ----------------------------------------------------------------- services

void DesktopLauncherServices::ShowMessage(const std::string& title, const std::string& text) {
  platform::ShowMessageBox(title, text, platform::MessageBoxButtons::Ok,
                           platform::MessageBoxAnswer::Ok);
}

bool DesktopLauncherServices::AskYesNo(const std::string& title, const std::string& text) {
  return platform::ShowMessageBox(title, text, platform::MessageBoxButtons::YesNo,
                                  platform::MessageBoxAnswer::No) == platform::MessageBoxAnswer::Yes;
}

LauncherServices::Pick DesktopLauncherServices::PickSoundtrackFile() {
  auto result = platform::PickExistingFile(
      "Select Soundtrack File",
      {{"Music Files (*.mp3;*.wav;*.mid;*.midi)", {"*.mp3", "*.wav", "*.mid", "*.midi"}},
       {"All Files (*.*)", {"*"}}});
  switch (result.status) {
    case platform::PickerStatus::Chosen: return {Pick::Chosen, result.path};
    case platform::PickerStatus::Cancelled: return {Pick::Cancelled, ""};
    default: return {Pick::Unavailable, ""};
  }
}

void DesktopLauncherServices::OpenHelp() { platform::OpenDocument(helpFile_); }

std::string DesktopLauncherServices::LocalAddress() { return platform::LocalIPv4Address(); }

std::vector<std::string> DesktopLauncherServices::DesktopResolutions() { return platform::DisplayModeSizes(); }

}  // namespace halvex
