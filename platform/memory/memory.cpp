#include "platform/memory/memory.h"

#include <cstdlib>  // defines __GLIBC__ on glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace halvex::platform {

void ConfigureHeap() {
#ifdef __GLIBC__
  // glibc's own default, fixed: setting it turns the dynamic raise off. Not
  // lower: the software rasteriser's per-frame 64 KiB blocks would then be
  // mapped and unmapped every frame.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  // What a frame frees at the top (under 2 MiB with 32 bots) stays below it;
  // a load's leftovers go back through ReleaseFreedMemory.
  mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
#endif
}

void ReleaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace halvex::platform
