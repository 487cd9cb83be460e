#pragma once

#include <QtGlobal>

#include <cstddef>
#include <new>

struct sqlite3;

namespace rio {

// The memory the process keeps for the archives' data is one budget: the
// engine's page caches, and what a step holds per row beside them (a table
// of every article). Such a holder claims what it holds from the budget and
// the engine's share shrinks by as much, so that the whole run stays near
// the same size however large the archives grow; the engine keeps a floor
// of its own, below which a claim adds to the process.
// On Qt's SQLite driver; through ODBC the engine is another program's and
// a claim changes nothing.
class EngineMemoryClaim
{
public:
    EngineMemoryClaim() = default;
    EngineMemoryClaim(EngineMemoryClaim&& other) noexcept;
    EngineMemoryClaim& operator=(EngineMemoryClaim&& other) noexcept;
    EngineMemoryClaim(const EngineMemoryClaim&) = delete;
    EngineMemoryClaim& operator=(const EngineMemoryClaim&) = delete;
    ~EngineMemoryClaim(); // gives the claim back

    // Claims `bytes` in all (not in addition). When the engine then holds
    // more than its share, the connections this thread opened give back
    // the pages no statement holds (those of other threads stop growing at
    // the limit instead). Call it on a thread not waiting for one of its
    // connections' statements run aside.
    void hold(qint64 bytes) noexcept;
    qint64 held() const { return m_bytes; }

private:
    qint64 m_bytes = 0;
};

// Memory for a table that grows with the archive, taken from the system
// and given back to it block by block, apart from the heap: the heap keeps
// what is freed for the next use (data/one_heap.h), and the blocks a
// growing table leaves behind would keep the process at its largest ever,
// the engine's pages sitting beside them.
void* mapBlock(std::size_t bytes); // raises std::bad_alloc
void unmapBlock(void* block, std::size_t bytes) noexcept;

template <class T> struct MappedAllocator
{
    using value_type = T;
    MappedAllocator() = default;
    template <class U> MappedAllocator(const MappedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(mapBlock(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { unmapBlock(p, n * sizeof(T)); }
    template <class U> bool operator==(const MappedAllocator<U>&) const noexcept { return true; }
};

namespace engineMemory {

// What the engine may keep for all open archives together, claims aside.
constexpr qint64 BudgetBytes = qint64(48) * 1024 * 1024;
// What the engine keeps however much is claimed: below it every page read
// twice would be read from the file twice.
constexpr qint64 FloorBytes = qint64(16) * 1024 * 1024;

// The engine's share now: the budget less the claims, at least the floor.
qint64 engineShare();
// What the engine holds now, for all its connections.
qint64 engineUsed();
// Bounds the engine's memory at its share; called as a connection opens.
void applyLimit();
// A connection on the engine's own handle, from its opening to its close:
// its unheld pages are what a claim takes back.
void addHandle(sqlite3* handle);
void removeHandle(sqlite3* handle);

} // namespace engineMemory

} // namespace rio
