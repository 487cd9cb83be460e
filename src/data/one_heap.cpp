// One heap for every thread of the process.
#include "data/one_heap.h"

#include <cstdlib> // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace rio {

void keepOneHeap()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    // Freed memory stays in the heap up to this much (the run's peak is
    // well below it), and blocks up to the allocator's largest come from it.
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

} // namespace rio
