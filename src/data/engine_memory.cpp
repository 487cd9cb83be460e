// The budget shared by the engine's page caches and the steps' own tables.
#include "data/engine_memory.h"

#include "data/one_heap.h"

#include <QMutex>
#include <QMutexLocker>

#include <sqlite3.h>

#if defined(Q_OS_UNIX)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <thread>
#include <vector>

namespace rio {

namespace {

struct Registry
{
    QMutex mutex;
    qint64 claimed = 0;
    struct Handle
    {
        sqlite3* handle;
        std::thread::id thread; // the one that opened it, and uses it
    };
    std::vector<Handle> handles; // oldest first
};

Registry& registry()
{
    static Registry r;
    return r;
}

qint64 shareOf(qint64 claimed)
{
    return std::max(engineMemory::FloorBytes, engineMemory::BudgetBytes - claimed);
}

// Freed heap left in place beyond what the engine may still fill.
constexpr qint64 FreeHeapKeptBytes = qint64(2) * 1024 * 1024;

// Under the registry's mutex: the limit set, and the caches emptied of what
// no statement holds until the engine fits in it. The engine alone would
// never shrink a cache already full (it recycles its own pages at the
// limit, it does not give them back), and a claim usually comes when one
// is: after a read of the whole file. The claimed memory is not taken from
// the heap: what the heap holds free beyond what the engine may still fill
// up to its share (those pages, or the caches of connections already
// closed) goes back to the system; what it may still fill stays, as it
// would only be faulted in again while the engine reads on.
void enforce(Registry& r)
{
    const qint64 share = shareOf(r.claimed);
    sqlite3_soft_heap_limit64(share);
    for (const Registry::Handle& h : r.handles) {
        if (sqlite3_memory_used() <= share)
            break;
        // Another thread's connection may be inside the engine right now,
        // and Qt opens its connections without the engine's own mutex: it
        // is left alone, its pages stop growing at the limit all the same.
        // This thread is inside none of its own: a statement run aside
        // keeps this thread waiting, and claims come from the steps' work.
        if (h.thread != std::this_thread::get_id())
            continue;
        sqlite3_db_release_memory(h.handle);
    }
    giveBackFreeHeap(std::max<qint64>(0, share - sqlite3_memory_used()) + FreeHeapKeptBytes);
}

} // namespace

void* mapBlock(std::size_t bytes)
{
    if (bytes == 0)
        bytes = 1;
#if defined(Q_OS_UNIX)
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    return block;
#else
    return ::operator new(bytes);
#endif
}

void unmapBlock(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#if defined(Q_OS_UNIX)
    munmap(block, bytes == 0 ? 1 : bytes);
#else
    Q_UNUSED(bytes);
    ::operator delete(block);
#endif
}

EngineMemoryClaim::EngineMemoryClaim(EngineMemoryClaim&& other) noexcept : m_bytes(other.m_bytes)
{
    other.m_bytes = 0;
}

EngineMemoryClaim& EngineMemoryClaim::operator=(EngineMemoryClaim&& other) noexcept
{
    if (this != &other) {
        const qint64 bytes = other.m_bytes;
        other.m_bytes = 0;
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        r.claimed += bytes - m_bytes;
        m_bytes = bytes;
        sqlite3_soft_heap_limit64(shareOf(r.claimed));
    }
    return *this;
}

EngineMemoryClaim::~EngineMemoryClaim()
{
    hold(0);
}

void EngineMemoryClaim::hold(qint64 bytes) noexcept
{
    bytes = std::max<qint64>(0, bytes);
    if (bytes == m_bytes)
        return;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    const bool grows = bytes > m_bytes;
    r.claimed += bytes - m_bytes;
    m_bytes = bytes;
    if (grows)
        enforce(r);
    else
        sqlite3_soft_heap_limit64(shareOf(r.claimed));
}

namespace engineMemory {

qint64 engineShare()
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return shareOf(r.claimed);
}

qint64 engineUsed()
{
    return sqlite3_memory_used();
}

void applyLimit()
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    sqlite3_soft_heap_limit64(shareOf(r.claimed));
}

void addHandle(sqlite3* handle)
{
    if (!handle)
        return;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.handles.push_back({handle, std::this_thread::get_id()});
}

void removeHandle(sqlite3* handle)
{
    if (!handle)
        return;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.handles.erase(std::remove_if(r.handles.begin(), r.handles.end(),
                                   [handle](const Registry::Handle& h) { return h.handle == handle; }),
                    r.handles.end());
}

} // namespace engineMemory

} // namespace rio
