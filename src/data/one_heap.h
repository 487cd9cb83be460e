#pragma once

namespace rio {

// Makes every thread of the process allocate from one heap. The engine's
// work aside (a long delete, a commit, a file copy) runs on short-lived
// threads; each would otherwise get an allocator arena of its own, and the
// pages a connection reads there would be held twice over: a medium
// installation's run grew by a page cache (about 25-40 MB) that way. Call it
// first thing in main. Does nothing where the C library has no arenas.
void useOneHeap();

} // namespace rio
