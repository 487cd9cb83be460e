#pragma once

#include "context/host.h"
#include "data/database.h"
#include "data/filesystem.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <memory>

namespace rio {

// One step of the run for one company (slot 0: the common part).
struct StepRecord
{
    int slot = 0;
    QString step;
    qint64 milliseconds = 0;
    bool ok = true;
};

// What a run did, for the verification report.
struct RunRecord
{
    QDateTime started;
    DataSource dataSource = DataSource::Local;
    bool zetaFolder = false;
    bool log = false;
    QString safetyCopy;              // Windows path of the dated copy actually used
    bool safetyCopyVerified = false; // copied, listed in its manifest and read back equal
    QList<StepRecord> steps;
    QList<int> companies;         // slots processed, in order
    QList<int> initialised;       // slots whose new archive was emptied
    QMap<int, int> companyErrors; // errors reported while each slot was in work
    // A rehearsal: the installation's own root (PercorsoBase is then the
    // scratch copy's) and the scratch folder; both empty for a run.
    QString rehearsalRoot;
    QString scratchFolder;
    bool rehearsal() const { return !rehearsalRoot.isEmpty(); }
};

// What the run keeps between its steps, owned by whoever starts the run (the
// window, the console front end, a test). Released when the window closes and
// before a new run starts.
// A company the run works on: its slot and the path of its old-year archive.
struct ListedCompany
{
    int slot = 0;
    QString archivePath;
};

struct RunState
{
    QString CartellaProgrammi; // set at start-up
    QString PercorsoBase;
    QString PercorsoSystemMdw;
    std::array<QString, 11> ElencoAziende; // slots 1..10; "" marks a free slot
    qint16 NumAziende = 0;

    std::unique_ptr<fs::LogFile> log;             // open from the run's start
    std::unique_ptr<Connection> ConnessioneDbOld; // left open by the opening stock movements

    RunRecord record;

    // The entries of ElencoAziende whose state is "ATTIVA" (exactly), in slot order.
    QList<ListedCompany> activeCompanies() const;

    // Clears the company list and releases every object of the last run.
    void reset();
    // Releases what holds a file or a lock, every error ignored.
    void release() noexcept;
};

} // namespace rio
