// How the process hands freed heap memory back to the system.
#pragma once

namespace halvex::platform {

// Call once at start, before anything is loaded: large blocks then keep
// coming from and going back to the system. glibc otherwise raises its mmap
// threshold each time a large block is freed, and the load's big temporary
// buffers would stay in the heap, resident, for the rest of the run.
void KeepLargeBlocksReturnable();

// Returns the heap's free pages to the system; call when a load is done.
void ReleaseFreedMemory();

}  // namespace halvex::platform
