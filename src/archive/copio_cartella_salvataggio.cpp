#include "archive/archive_steps.h"
#include "archive/copy_progress.h"
#include "archive/safety_copy_ahead.h"
#include "archive/scratch_copy.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"

#include <QDateTime>
#include <QDir>

namespace rio {

namespace {

// A copy cut short by a kill or a power cut keeps its working name, so it
// is never taken for one.
const QString UnfinishedPrefix = QLatin1String(layout::UnfinishedCopyPrefix);

// Removes what a copy stopped half-way left; true when nothing is left of it.
// Raises nothing.
bool removeHalfCopy(const QString& path)
{
    try {
        return fs::RemoveFolder(path);
    } catch (const Error&) {
        return false; // a link put in its place since is not ours
    }
}

} // namespace

void removeUnfinishedCopies(RunContext& ctx, const QString& root, const QString& keep)
{
    removeScratchLeftovers(ctx, root);
    const QString hostRoot = fs::hostPath(root);
    // A link is not a copy of ours: what it points to is left alone.
    const QStringList names = QDir(hostRoot).entryList({UnfinishedPrefix + QLatin1Char('*')},
                                                       QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString path = root + name;
        if (path.compare(keep, Qt::CaseInsensitive) == 0)
            continue;
        bool removed = false;
        try {
            removed = fs::RemoveFolder(path);
        } catch (const Error&) {
            // A link put in its place since: what it leads to is not ours.
        }
        if (removed)
            ctx.addEventLine(
                QStringLiteral("Copia di sicurezza incompleta di una riapertura interrotta rimossa: %1")
                    .arg(path));
        else
            ctx.addEventLine(
                QStringLiteral("Impossibile rimuovere la copia di sicurezza incompleta %1 di una "
                               "riapertura interrotta: rimuoverla a mano")
                    .arg(path));
    }
}

// One dated copy of the whole data folder, so that the state before the
// reopening can be put back. Every file is hashed as it is copied; the list
// goes into the copy's manifest. The copy is made under a working name and
// synced to the disk, then read back from the disk against its manifest:
// only then does it take its dated name. The run goes on only when the copy
// is verified, so that no archive changes before a copy that survives a
// power cut exists. A copy begun before the check, on a thread of its own,
// is taken over: the window shows how far it has come while it ends.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare, SafetyCopyAhead* begun)
{
    RunRecord& record = ctx.state().record;
    record.safetyCopyVerified = false;
    QString& madePath = record.safetyCopy; // the folder this copy made, under the name it has now
    madePath.clear();
    try {
        const QString root = ctx.state().PercorsoBase;
        // A copy begun of another folder than the one settled now is not this run's.
        if (begun && begun->pending() &&
            (begun->root() != root || begun->source().compare(CartellaDaCopiare, Qt::CaseInsensitive) != 0))
            begun->discard();
        SafetyCopyAhead* copy = begun && begun->pending() ? begun : nullptr;
        removeUnfinishedCopies(ctx, root, copy ? copy->workingPath() : QString());
        const QDateTime started = copy ? copy->startedAt() : QDateTime::currentDateTime();
        madePath = copy ? copy->workingPath() : freeWorkingFolder(root, freeCopyFolder(root, started));
        ctx.setProgress(QStringLiteral("BACKUP DI SICUREZZA DEGLI ARCHIVI IN CORSO..."));
        ctx.host().showBusy(true);
        ctx.yield();
        const auto yield = [&ctx] {
            ctx.yield();
        };
        const qint64 bytes = treeBytes(fs::hostPath(CartellaDaCopiare));
        CopyProgress progress(ctx, bytes);
        const auto whileCopying = progress.yieldWhileCopying(fs::hostPath(madePath), 0);
        fs::Manifest manifest;
        try {
            manifest = copy ? copy->take(whileCopying)
                            : copyAndReadBack(CartellaDaCopiare, madePath, whileCopying, yield);
        } catch (const Interrupted&) {
            // Stopped while copying: half a copy is no copy.
            const bool begunHere = fs::NameTaken(madePath);
            const auto repaint = [&ctx] {
                ctx.host().yield();
            };
            if ((copy && copy->pending() ? copy->discard(repaint) : removeHalfCopy(madePath)) && begunHere)
                ctx.addEventLine(QStringLiteral("Copia di sicurezza incompleta rimossa: %1").arg(madePath));
            throw;
        }
        progress.reached(bytes);
        // A name taken since the copy started (another copy, a folder made by
        // hand) passes to the next free one.
        const QString finalPath = freeCopyFolder(root, started);
        try {
            fs::Name(madePath, finalPath);
        } catch (const Error&) {
            if (!fs::FolderExists(madePath))
                madePath = finalPath; // renamed, but the root could not be synced
            throw;
        }
        madePath = finalPath;
        record.safetyCopyVerified = true;
        ctx.setProgress(QString());
        ctx.addEventLine(QStringLiteral("Copia di sicurezza verificata: %1 (%2 file)")
                             .arg(finalPath)
                             .arg(manifest.size()));
        ctx.host().showBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("COPIO_CARTELLA"));
        // Half a copy is no copy: it would pass for one later, and on a full
        // disk it holds the space the user needs back.
        try {
            if (!madePath.isEmpty() && fs::FolderExists(madePath) && fs::RemoveFolder(madePath))
                ctx.addEventLine(QStringLiteral("Copia di sicurezza incompleta rimossa: %1").arg(madePath));
        } catch (const Error& link) {
            // A link made in its place since: what it leads to is not ours to remove.
            ctx.addEventLine(QStringLiteral("Copia di sicurezza incompleta non rimossa: ") +
                             link.description());
        }
    }
}

} // namespace rio
