// halvex_contentcheck CONTENT_DIR [AREA]: checks a content folder (or one
// battle area of it) and prints "file:line: problem" for each problem found.
// Exit code 0 when clean, 1 with problems, 2 on wrong usage.
#include <cstdio>
#include <cstring>

#include "tools/contentcheck/content_check.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(stderr,
                 "usage: %s CONTENT_DIR [AREA]\n"
                 "Checks the content folder (system lists, textures, models and every battle\n"
                 "area) or only the named battle area, and lists each problem by file and line.\n",
                 argv[0]);
    return 2;
  }
  halvex::contentcheck::CheckOptions options;
  options.contentDirectory = argv[1];
  if (argc == 3) options.areaName = argv[2];
  halvex::DataFileProblems problems = halvex::contentcheck::CheckContent(options);
  for (const halvex::DataFileProblem& p : problems) {
    if (p.line > 0) {
      std::printf("%s:%d: %s\n", p.file.c_str(), p.line, p.message.c_str());
    } else {
      std::printf("%s: %s\n", p.file.c_str(), p.message.c_str());
    }
  }
  std::printf("%zu problem%s\n", problems.size(), problems.size() == 1 ? "" : "s");
  return problems.empty() ? 0 : 1;
}
