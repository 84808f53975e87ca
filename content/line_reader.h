// Line-by-line reading of a content text file held in memory, with the
// game's rules: LF ends a line, a CR before it is dropped, a line keeps at
// most 254 characters and ends at a NUL byte as a C string would, and reading
// past the end yields empty lines (reported once, as the file ending early).
#pragma once

#include <string>
#include <string_view>

#include "content/data_files.h"

namespace halvex {

class LineReader {
 public:
  LineReader(std::string_view text, std::string_view fileName, DataFileProblems* problems);

  // The next line; empty once the text is used up.
  std::string_view Next();
  void Skip(int lines);
  bool AtEnd() const { return position_ >= text_.size(); }
  int lineNumber() const { return lineNumber_; }  // of the line last returned

  // Reads a count line. A negative count reads as 0; a count above limit is
  // reported and returned unchanged so the caller can skip the extra lines.
  int NextCount(int limit, std::string_view what);

  void Report(std::string message) const { ReportAt(lineNumber_, std::move(message)); }
  void ReportAt(int line, std::string message) const;

 private:
  std::string_view text_;
  std::string fileName_;
  DataFileProblems* problems_;
  size_t position_ = 0;
  int lineNumber_ = 0;
  bool toldEnd_ = false;
};

// Loads a whole content file (a game path) into text. False when it cannot be
// opened. A missing (unless mayBeMissing), empty or binary file is reported:
// to the list when one is given, else on stderr.
bool LoadContentText(std::string_view path, std::string& text, DataFileProblems* problems,
                     bool mayBeMissing = false);

void ReportProblem(DataFileProblems* problems, DataFileProblem problem);

}  // namespace halvex
