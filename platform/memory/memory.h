// How the process hands freed heap memory back to the system.
#pragma once

namespace halvex::platform {

// Call once at start, before anything is loaded.
// - Large blocks keep coming from and going back to the system. glibc
//   otherwise raises its mmap threshold each time a large block is freed, and
//   the load's big temporary buffers would stay in the heap, resident, for the
//   rest of the run.
// - Freed small blocks stay in the heap instead of going back to the system
//   as soon as 128 KiB at the heap's top are free: the software rasteriser frees its
//   binning memory after every frame, and handing it back and faulting it in
//   again cost a tenth of the drawing thread. ReleaseFreedMemory still returns
//   what a load leaves behind.
void ConfigureHeap();

// Returns the heap's free pages to the system; call when a load is done.
void ReleaseFreedMemory();

}  // namespace halvex::platform
