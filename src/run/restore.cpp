// Undoing a year opening: a safety copy put back in place of the data folder.
#include "run/restore.h"

#include "archive/archive_steps.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "data/manifest.h"
#include "run/preliminary_check_archive.h"
#include "run/probes.h"
#include "run/restore_record.h"

#include <QDir>
#include <QFileInfo>

namespace rio {

namespace {

const QString Title = QLatin1String(ApplicationTitle);

// The copy asked for: by name without regard to case, or the default one.
const SafetyCopy* findCopy(const QList<SafetyCopy>& copies, const QString& name)
{
    if (name.isEmpty())
        return defaultSafetyCopy(copies);
    for (const SafetyCopy& copy : copies)
        if (copy.name.compare(name, Qt::CaseInsensitive) == 0)
            return &copy;
    return nullptr;
}

// Why no copy was found: none at all, none made before an opening (a later
// one is restored only by name), or no copy of that name.
QString notFoundText(const QList<SafetyCopy>& copies, const QString& name, const QString& root)
{
    if (name.isEmpty() && copies.isEmpty())
        return QStringLiteral("nessuna copia di sicurezza (Copia_dati_...) in %1").arg(root);
    if (name.isEmpty())
        return QStringLiteral("nessuna copia fatta prima della riapertura in %1: le copie presenti "
                              "contengono già il %2; per ripristinarne una indicarla per nome")
            .arg(root)
            .arg(layout::AnnoDaAprire);
    QString text = QStringLiteral("copia %1 non trovata in %2").arg(name, root);
    if (name.contains(QLatin1String(SetAsideSuffix), Qt::CaseInsensitive))
        text += QStringLiteral(" (una cartella dati messa da parte da un ripristino torna al suo posto "
                               "con Annulla l'ultimo ripristino)");
    return text;
}

RunOutcome restoreFoundCopy(RunContext& ctx, RestoreRecord& record, const QString& copyName,
                            const PreliminaryOptions& options);

} // namespace

// The data folder's own name, then the suffix and the time: a name not yet
// taken by anything, a link to nowhere included.
QString freeSetAsideName(const QString& root, const QString& dataName, const QDateTime& now)
{
    // The newest even with the clock set back since the last one: a restore or
    // an undo killed between its renames is put right by putting the newest back.
    QDateTime stamp = now;
    const QDateTime latest = setAsideTime(setAsideFolder(root));
    if (latest.isValid() && latest >= stamp)
        stamp = latest.addSecs(1);
    const QString base =
        root + dataName + QLatin1String(SetAsideSuffix) + stamp.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString candidate = base;
    for (int n = 2; fs::NameTaken(candidate); ++n)
        candidate = base + QLatin1Char('_') + QString::number(n);
    return candidate;
}

std::unique_ptr<InstallationLock> startRestoreWork(RunContext& ctx)
{
    RunState& state = ctx.state();
    // Whatever the last run holds open (the log, an archive) would move with the folder.
    state.reset();
    ctx.startRun();
    state.PercorsoBase = readInstallationRoot(ctx.host(), state.CartellaProgrammi);
    state.PercorsoSystemMdw =
        layout::workgroupFilePath(layout::has64BitProgramFolder(), state.CartellaProgrammi);
    return lockInstallation(ctx, state.PercorsoBase);
}

RunOutcome restoreSafetyCopy(RunContext& ctx, const QString& copyName, const PreliminaryOptions& options)
{
    const RunState& state = ctx.state();
    RestoreRecord record;
    record.started = QDateTime::currentDateTime();
    // Held to the end: a run or another restore would write under this one.
    std::unique_ptr<InstallationLock> lock;
    try {
        lock = startRestoreWork(ctx);
        if (!lock)
            return RunOutcome::NotStarted;
        if (!offerToPutBackDataFolder(ctx, state.PercorsoBase))
            return refuseRestore(ctx, {missingDataFolderText(state.PercorsoBase)});
    } catch (const Error& e) {
        return refuseRestore(ctx, {describe(e)});
    }
    record.root = state.PercorsoBase;
    try {
        return restoreFoundCopy(ctx, record, copyName, options);
    } catch (const Interrupted&) {
        return restoreInterrupted(ctx, record);
    }
}

namespace {

RunOutcome restoreFoundCopy(RunContext& ctx, RestoreRecord& record, const QString& copyName,
                            const PreliminaryOptions& options)
{
    const QList<SafetyCopy> copies = listSafetyCopies(record.root);
    const SafetyCopy* copy = findCopy(copies, copyName);
    if (!copy)
        return refuseRestore(ctx, {notFoundText(copies, copyName, record.root)});
    record.copy = *copy;
    if (!checkBeforeRestoring(ctx, record.copy, options) || !verifyBeforeRestoring(ctx, record))
        return RunOutcome::NotStarted;

    // The data folder keeps the spelling it has on disk.
    const QString dataName = QFileInfo(fs::hostPath(layout::dataFolder(record.root))).fileName();
    record.dataFolder = record.root + dataName;
    const QString setAside = freeSetAsideName(record.root, dataName, QDateTime::currentDateTime());
    if (!confirmRestore(ctx, record, setAside)) {
        ctx.addEventLine(QStringLiteral("Ripristino annullato: nessun file è stato modificato"));
        return RunOutcome::NotStarted;
    }
    return runConfirmedRestore(ctx, record, setAside);
}

} // namespace

} // namespace rio
