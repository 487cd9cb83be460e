#include "archive/archive_steps.h"
#include "archive/copy_progress.h"
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

// A copy never goes over another: a second run the same day would otherwise
// overwrite the only copy of the data as they were before the first. A name
// taken by anything else (a file, a link even to nowhere) is passed over too.
QString freeCopyFolder(const QString& root, const QDateTime& now)
{
    const QString daily = root + layout::safetyCopyName(now.date());
    if (!fs::NameTaken(daily))
        return daily;
    const QString timed = root + layout::safetyCopyName(now);
    QString candidate = timed;
    for (int n = 2; fs::NameTaken(candidate); ++n)
        candidate = timed + QLatin1Char('_') + QString::number(n);
    return candidate;
}

// The working name of the copy that will be named finalPath, not yet taken.
QString freeWorkingFolder(const QString& root, const QString& finalPath)
{
    const QString base = root + UnfinishedPrefix + finalPath.mid(root.size());
    QString candidate = base;
    for (int n = 2; fs::NameTaken(candidate); ++n)
        candidate = base + QLatin1Char('_') + QString::number(n);
    return candidate;
}

} // namespace

void removeUnfinishedCopies(RunContext& ctx, const QString& root)
{
    removeScratchLeftovers(ctx, root);
    const QString hostRoot = fs::hostPath(root);
    // A link is not a copy of ours: what it points to is left alone.
    const QStringList names = QDir(hostRoot).entryList({UnfinishedPrefix + QLatin1Char('*')},
                                                       QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString path = root + name;
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
// power cut exists.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare)
{
    RunRecord& record = ctx.state().record;
    record.safetyCopyVerified = false;
    QString& madePath = record.safetyCopy; // the folder this copy made, under the name it has now
    madePath.clear();
    try {
        const QString root = ctx.state().PercorsoBase;
        removeUnfinishedCopies(ctx, root);
        const QDateTime started = QDateTime::currentDateTime();
        madePath = freeWorkingFolder(root, freeCopyFolder(root, started));
        ctx.setProgress(QStringLiteral("BACKUP DI SICUREZZA DEGLI ARCHIVI IN CORSO..."));
        ctx.host().showBusy(true);
        ctx.yield();
        const auto yield = [&ctx] {
            ctx.yield();
        };
        const qint64 bytes = treeBytes(fs::hostPath(CartellaDaCopiare));
        CopyProgress progress(ctx, bytes);
        fs::Manifest manifest;
        fs::CopyFolder(CartellaDaCopiare, madePath, progress.yieldWhileCopying(fs::hostPath(madePath), 0),
                       &manifest);
        progress.reached(bytes);
        fs::writeManifest(madePath, manifest);
        fs::SyncFolder(madePath, yield, true);
        ctx.yield();
        const QStringList differing = fs::verifyManifest(madePath, manifest, yield);
        if (!differing.isEmpty())
            throw Error(err::PathFileAccess, QStringLiteral("la copia %1 non corrisponde ai dati copiati: %2")
                                                 .arg(madePath, differing.join(QStringLiteral(", "))));
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
