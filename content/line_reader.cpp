#include "content/line_reader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/paths/paths.h"

namespace halvex {

namespace {
// Far above any real content text file; keeps a stray binary from being
// read whole into memory.
constexpr std::streamsize kMaxTextFileSize = 16 * 1024 * 1024;
}  // namespace

void ReportProblem(DataFileProblems* problems, DataFileProblem problem) {
  if (problems) {
    problems->push_back(std::move(problem));
    return;
  }
  if (problem.line > 0) {
    std::fprintf(stderr, "%s:%d: %s\n", problem.file.c_str(), problem.line,
                 problem.message.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", problem.file.c_str(), problem.message.c_str());
  }
}

LineReader::LineReader(std::string_view text, std::string_view fileName,
                       DataFileProblems* problems)
    : text_(text), fileName_(fileName), problems_(problems) {}

void LineReader::ReportAt(int line, std::string message) const {
  ReportProblem(problems_, DataFileProblem{fileName_, line, std::move(message)});
}

std::string_view LineReader::Next() {
  ++lineNumber_;
  if (AtEnd()) {
    // Said once, and not for an empty file, whose loading already said so.
    if (!text_.empty() && !toldEnd_) {
      toldEnd_ = true;
      Report("the file ends before this line; the rest reads as empty (zeros and blank names)");
    }
    return {};
  }
  size_t end = text_.find('\n', position_);
  if (end == std::string_view::npos) end = text_.size();
  std::string_view line = text_.substr(position_, end - position_);
  position_ = end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  if (line.size() > static_cast<size_t>(kMaxLineLength)) {
    Report("line longer than " + std::to_string(kMaxLineLength) +
           " characters; the rest is ignored");
    line = line.substr(0, kMaxLineLength);
  }
  return line;
}

void LineReader::Skip(int lines) {
  for (int i = 0; i < lines && !AtEnd(); ++i) Next();
}

int LineReader::NextCount(int limit, std::string_view what) {
  const bool pastEnd = AtEnd();  // already reported as the file ending early
  const std::string_view line = Next();
  int count = LineToInt(line);
  // Junk where a count goes reads as 0, as atoi would; it is still worth a word.
  size_t digit = line.find_first_not_of(" \t\v\f\r");
  if (digit != std::string_view::npos && (line[digit] == '-' || line[digit] == '+')) ++digit;
  if (!pastEnd && (digit >= line.size() || line[digit] < '0' || line[digit] > '9')) {
    Report("no " + std::string(what) + " count on this line; read as 0");
    return 0;
  }
  size_t end = digit;
  while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
  if (!pastEnd && line.find_first_not_of(" \t\v\f\r", end) != std::string_view::npos) {
    Report("the " + std::string(what) + " count line holds more than a number; read as " +
           std::to_string(count));
  }
  if (count < 0) {
    Report("negative " + std::string(what) + " count " + std::to_string(count) +
           " read as 0");
    return 0;
  }
  if (count > limit) {
    Report(std::string(what) + " count " + std::to_string(count) + " exceeds the limit of " +
           std::to_string(limit) + "; the extra entries are ignored");
  }
  return count;
}

bool LoadContentText(std::string_view path, std::string& text, DataFileProblems* problems,
                     bool mayBeMissing) {
  text.clear();
  const std::string host = paths::Resolve(path);
  std::ifstream file(host, std::ios::binary);
  std::error_code ec;
  if (!file || std::filesystem::is_directory(host, ec)) {
    // The game goes on with an empty file, but says which one it lacks.
    if (!mayBeMissing) ReportProblem(problems, {std::string(path), 0, "file not found; read as empty"});
    return false;
  }
  file.seekg(0, std::ios::end);
  std::streamsize size = file.tellg();
  file.seekg(0, std::ios::beg);
  if (size > kMaxTextFileSize) {
    ReportProblem(problems, {std::string(path), 0, "file too large for a content list"});
    return false;
  }
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (text.empty()) {
    ReportProblem(problems, {std::string(path), 0, "the file is empty"});
  } else if (text.find('\0') != std::string::npos) {
    // A NUL ends a line as in a C string, so the lines are read all the same.
    ReportProblem(problems, {std::string(path), 0, "holds binary data, not text"});
  }
  return true;
}

}  // namespace halvex
