#include "run/run_gate.h"

#include "archive/copy_progress.h"
#include "archive/safety_copy_ahead.h"
#include "context/host.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/interrupted_write.h"
#include "run/preliminary_check.h"
#include "run/rehearsal.h"
#include "run/report_file.h"
#include "run/run.h"

#include <QStorageInfo>

namespace rio {

namespace {

constexpr qint64 RoomBeyondTwoCopies = 64 * 1024 * 1024;
constexpr int Slots = 10;

// What the run writes into the data folder before its copy: a journal
// played back, a killed run's report working file removed.
bool runChangesDataBeforeCopying(const QString& root)
{
    for (int slot = 1; slot <= Slots; ++slot)
        if (leftoverJournal(layout::oldArchivePath(root, slot)) != LeftoverJournal::None)
            return true;
    // The temporary folder itself the run makes when missing: the copy takes
    // it as it is at the copy's turn.
    const QString tmp = layout::tempFolder(root);
    return fs::FolderExists(tmp) && !leftoverReportFileNames(tmp).isEmpty();
}

// The free bytes on the root's drive before the copy began; nullopt when
// none was begun (the run then copies after its check).
std::optional<qint64> beginCopyBesideCheck(RunContext& ctx, SafetyCopyAhead& copy)
{
    try {
        const QString root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
        const QString data = layout::dataFolder(root);
        if (!fs::FolderExists(root) || !fs::FolderExists(data) || fs::IsLink(data) ||
            runChangesDataBeforeCopying(root))
            return std::nullopt;
        const qint64 available = QStorageInfo(fs::hostPath(root)).bytesAvailable();
        if (available < 2 * treeBytes(fs::hostPath(data)) + RoomBeyondTwoCopies)
            return std::nullopt;
        if (!copy.start(root, data))
            return std::nullopt;
        return available;
    } catch (const Error&) {
        // What cannot be read here the check says.
        return std::nullopt;
    }
}

} // namespace

bool checkBeforeStarting(RunContext& ctx, const Rehearsal* rehearsal, SafetyCopyAhead& copy,
                         StockReadings& readings, bool locked)
{
    PreliminaryOptions options;
    options.silent = true;
    if (rehearsal) {
        options.scratchParent = rehearsal->parent();
    } else {
        options.stockReadings = &readings;
        if (locked)
            options.freeBytes = beginCopyBesideCheck(ctx, copy);
    }
    const PreliminaryCheck check = runPreliminaryCheck(ctx.host(), ctx.state(), options);
    if (!check.hasErrors())
        return true;
    copy.discard([&ctx] { ctx.host().yield(); });
    QStringList errors;
    for (const PreliminaryFinding& finding : check.findings)
        if (finding.level == PreliminaryFinding::Level::Error) {
            ctx.host().addMarkedEvent(finding.line(), {Tone::Error, false});
            errors << finding.text;
        }
    ctx.host().message((rehearsal ? QStringLiteral("Impossibile iniziare la simulazione: ")
                                  : QStringLiteral("Impossibile iniziare la riapertura: ")) +
                           errors.join(QStringLiteral("; ")) +
                           QStringLiteral(".\r\nNessun file è stato modificato."),
                       Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
    ctx.host().allowNewRun(true);
    return false;
}

} // namespace rio
