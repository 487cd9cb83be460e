// The budget shared by the engine's page caches and the steps' own tables.
#include "data/engine_memory.h"

#include <QMutex>
#include <QMutexLocker>

#include <sqlite3.h>

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

// Under the registry's mutex: the limit set, and the caches emptied of what
// no statement holds until the engine fits in it. The engine alone would
// never shrink a cache already full (it recycles its own pages at the
// limit, it does not give them back), and a claim usually comes when one
// is: after a read of the whole file. The pages freed stay in the heap
// (data/one_heap.h), where the claimant's memory then comes from.
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
}

} // namespace

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
