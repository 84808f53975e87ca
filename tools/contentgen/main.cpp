// halvex_contentgen OUTPUT_DIR: writes the whole default content pack. The
// output depends only on this program, never on the clock or the machine.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"

int main(int argc, char** argv) {
  using namespace halvex::contentgen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  try {
    Pack pack{std::filesystem::path(argv[1])};
    GeneratePack(pack);
    std::printf("content pack: %zu files, %.1f MB in %s\n", pack.written().size(),
                static_cast<double>(pack.bytes()) / 1e6, argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "content generation failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
