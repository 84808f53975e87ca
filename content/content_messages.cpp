#include "content/content_messages.h"

#include <cstdio>
#include <utility>

namespace halvex {

namespace {
ContentMessageHandler& Handler() {
  static ContentMessageHandler handler;
  return handler;
}
}  // namespace

void SetContentMessageHandler(ContentMessageHandler handler) { Handler() = std::move(handler); }

void ShowContentMessage(const char* text, const char* caption) {
  if (Handler()) {
    Handler()(text, caption);
  } else {
    std::fprintf(stderr, "[%s] %s\n", caption, text);
  }
}

void ShowContentMessage(const char* text, const char* caption, const std::string& detail) {
  std::fprintf(stderr, "%s\n", detail.c_str());
  ShowContentMessage(text, caption);
}

}  // namespace halvex
