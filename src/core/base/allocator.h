// How the C library's allocator is set up for the program.
//
// Geometry comes and goes in arrays of megabytes: an Element list, the
// Regions of a text, a toolpath's motions, made afresh each time the user
// asks again. Left to itself the allocator hands freed memory at the top of
// the heap back to the system as soon as a little is free, and takes each
// large block from the system anew, so the next array is faulted in page by
// page again; on a text that costs several times the work of making it.
// The program keeps what it freed for the next time instead: blocks under
// 32 MB come from the heap, and up to 64 MB of free heap stays mapped.
#pragma once

namespace tarnak {

// Called once at the start of the program (the window, the command line,
// the benchmarks that measure as the program runs). Nothing where the C
// library has no such settings.
void KeepFreedMemoryForReuse();

}  // namespace tarnak
