#pragma once

#include <QtGlobal>

struct sqlite3;

namespace rio {

// The memory the process keeps for the archives' data is one budget: the
// engine's page caches, and what a step holds per row beside them (a table
// of every article). Such a holder claims what it holds from the budget and
// the engine's share shrinks by as much, so that the whole run stays near
// the same size however large the archives grow; the engine keeps a floor
// of its own, below which a claim adds to the process.
// The caches emptied are those of connections on Qt's SQLite driver; an
// ODBC driver's connections are its own, and at most share the limit.
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
