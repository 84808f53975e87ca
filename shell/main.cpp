#include <string>
#include <vector>

#include "platform/memory/memory.h"
#include "shell/entry_point.h"

int main(int argc, char** argv) {
  halvex::platform::ConfigureHeap();
  std::vector<std::string> args(argv + 1, argv + argc);
  return halvex::RunHalvex(args, argc > 0 ? argv[0] : "halvex");
}
