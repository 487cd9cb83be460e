#pragma once

namespace rio {

// Makes every thread of the process allocate from one heap, and keeps what
// is freed there for the next use. The engine's work aside (a long delete,
// a commit, a file copy) runs on short-lived threads; each would otherwise
// get an allocator arena of its own, and the pages a connection reads there
// would be held twice over: a medium installation's run grew by a page cache
// (25-40 MB) that way. Each step opens its own connections, whose page
// caches the allocator would hand back to the system and fault in again:
// kept, the run spends half the time in the kernel, and its peak is the same.
// Call it first thing in main. Does nothing where the C library has no
// arenas.
void keepOneHeap();

} // namespace rio
