#include "platform/window/message_box.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <string_view>

namespace halvex::platform {

namespace {
std::atomic<bool> gInteractive{true};

// Without a display SDL would try each desktop's box helper in turn, each
// failing with its own noise on stderr, before taking the default anyway.
bool NoDisplay() {
  auto set = [](const char* name) {
    const char* value = SDL_getenv(name);
    return value && *value;
  };
  return !set("DISPLAY") && !set("WAYLAND_DISPLAY");
}

const char* AnswerName(MessageBoxAnswer a) {
  switch (a) {
    case MessageBoxAnswer::Yes: return "Yes";
    case MessageBoxAnswer::No: return "No";
    default: return "OK";
  }
}
}  // namespace

std::string WrapMessageText(const std::string& text, std::size_t columns) {
  std::string out;
  for (std::size_t start = 0;;) {
    const std::size_t newline = text.find('\n', start);
    const std::string_view paragraph(text.data() + start,
                                     (newline == std::string::npos ? text.size() : newline) - start);
    std::size_t lineLength = 0;
    for (std::size_t at = 0; at < paragraph.size();) {
      std::size_t end = paragraph.find(' ', at);
      if (end == std::string_view::npos) end = paragraph.size();
      const std::string_view word = paragraph.substr(at, end - at);
      at = end + 1;
      if (word.empty()) continue;  // runs of blanks fold into one
      if (lineLength > 0 && lineLength + 1 + word.size() > columns) {
        out += '\n';
        lineLength = 0;
      } else if (lineLength > 0) {
        out += ' ';
        ++lineLength;
      }
      out += word;
      lineLength += word.size();
    }
    if (newline == std::string::npos) return out;
    out += '\n';
    start = newline + 1;
  }
}

void SetMessageBoxesInteractive(bool interactive) { gInteractive = interactive; }
bool MessageBoxesInteractive() { return gInteractive; }

MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                MessageBoxButtons buttons, MessageBoxAnswer defaultAnswer,
                                SDL_Window* owner) {
  if (!gInteractive || NoDisplay()) {
    std::fprintf(stderr, "[%s] %s\n  -> %s\n", title.c_str(), text.c_str(),
                 AnswerName(defaultAnswer));
    return defaultAnswer;
  }
  SDL_MessageBoxButtonData yesNo[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"}};
  SDL_MessageBoxButtonData ok[1] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2,
       "OK"}};
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_INFORMATION;
  data.window = owner;
  data.title = title.c_str();
  const std::string wrapped = WrapMessageText(text);
  data.message = wrapped.c_str();
  if (buttons == MessageBoxButtons::YesNo) {
    data.flags = SDL_MESSAGEBOX_WARNING;
    data.numbuttons = 2;
    data.buttons = yesNo;
  } else {
    data.numbuttons = 1;
    data.buttons = ok;
  }
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    std::fprintf(stderr, "[%s] %s\n  -> %s (no message box: %s)\n", title.c_str(), text.c_str(),
                 AnswerName(defaultAnswer), SDL_GetError());
    return defaultAnswer;
  }
  switch (pressed) {
    case 1: return MessageBoxAnswer::Yes;
    case 0: return MessageBoxAnswer::No;
    case 2: return MessageBoxAnswer::Ok;
    default: return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
  }
}

}  // namespace halvex::platform
