#pragma once

#include <QList>
#include <QString>

#include <optional>

#include "run/preliminary_space.h"

namespace rio {

class Host;
struct RunState;
class StockReadings;

// What the check before the run finds, one line each.
struct PreliminaryFinding
{
    enum class Level { Ok, Warning, Error };
    Level level = Level::Ok;
    QString text;
    QString line() const; // "OK ...", "ATTENZIONE ...", "ERRORE ..."
};

struct PreliminaryCheck
{
    QList<PreliminaryFinding> findings;
    // The space the run needs, part by part, when the companies were read.
    std::optional<SpaceFigure> space;
    int count(PreliminaryFinding::Level level) const;
    bool hasErrors() const { return count(PreliminaryFinding::Level::Error) > 0; }
};

struct PreliminaryOptions
{
    // Free bytes on the drive of the installation, when a test simulates them.
    std::optional<qint64> freeBytes;
    // No event lines, no summary box, no busy pointer: the run's own gate.
    bool silent = false;
    // A rehearsal's: the folder its scratch copy goes in (a Windows path
    // ending in "\"); the space is then counted for the scratch copy there
    // and the report, with no safety copy and no log.
    QString scratchParent{};
    // Where the check leaves its readings of the old-year archives' stock,
    // for the run's recomputation (the run's own gate).
    StockReadings* stockReadings = nullptr;
};

// Checks, writing nothing anywhere, what the run will need: the root and
// workgroup as the run settles them, the companies (those the host's choice
// names only: one it names that is not there is an ERRORE; the copy is still
// counted whole), each old-year archive (opens
// with the account, passes the engine's integrity check, holds its AZIENDE
// row and the tables the run reads, not in use, what an interrupted write
// left beside it, what the steps will refuse or flag), an existing new-year
// folder and archive (not in use), and the free space (spaceFigure); unless
// silent, whether another run or restore holds the installation. Each
// finding becomes an event-list line; a summary box closes the check. ERRORE
// only where the run would stop, lose data or open no company at all; what a
// step reports and passes over is ATTENZIONE.
PreliminaryCheck runPreliminaryCheck(Host& host, const RunState& state,
                                     const PreliminaryOptions& options = {});

} // namespace rio
