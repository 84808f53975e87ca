// Message boxes raised while loading content ("FAILED", "Restore Error").
// The content code only names text and caption; the shell installs the
// platform's message box (which answers by itself in non-interactive runs).
// Until then messages go to stderr.
#pragma once

#include <functional>
#include <string>

namespace halvex {

using ContentMessageHandler = std::function<void(const char* text, const char* caption)>;

void SetContentMessageHandler(ContentMessageHandler handler);
void ShowContentMessage(const char* text, const char* caption);
// The same box, with a line on stderr first that says what the box cannot
// (which file, which line, what went wrong).
void ShowContentMessage(const char* text, const char* caption, const std::string& detail);

// "file: what" on stderr, once per file for the whole run: a picture many
// models share is named once, not once per model.
void ReportContentFileOnce(const std::string& file, const std::string& what);

}  // namespace halvex
