// The content checker: validates a content folder (or one battle area of it)
// against the formats and limits the game reads, and lists every problem
// with its file and line, so a modder can fix a pack before the game shows
// a missing texture or an empty tile.
#pragma once

#include <string>
#include <vector>

#include "content/data_files.h"

namespace halvex::contentcheck {

struct CheckOptions {
  std::string contentDirectory;
  std::string areaName;  // empty: the whole pack, every listed area
};

// Runs every check; problems in file order per check. Game paths (with
// backslashes) name the files.
DataFileProblems CheckContent(const CheckOptions& options);

// A message-table line is a format for two names: at most two "%s", "%%",
// and no other conversion. Empty when it is fine, else the reason.
std::string MessageFormatProblem(const char* entry);

}  // namespace halvex::contentcheck
