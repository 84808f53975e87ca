#include "content/content_messages.h"

#include <cstdio>
#include <mutex>
#include <set>
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

void ReportContentFileOnce(const std::string& file, const std::string& what) {
  static std::mutex mutex;
  static std::set<std::string> told;
  {
    std::lock_guard lock(mutex);
    if (!told.insert(file).second) return;
  }
  std::fprintf(stderr, "%s: %s\n", file.c_str(), what.c_str());
}

}  // namespace halvex
