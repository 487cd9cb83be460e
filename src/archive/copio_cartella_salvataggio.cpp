#include "archive/archive_steps.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"

#include <QDateTime>

namespace rio {

namespace {

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

} // namespace

// One dated copy of the whole data folder, so that the state before the
// reopening can be put back. Every file is hashed as it is copied; the list
// goes into the copy's manifest and the copy is read back against it. The
// run goes on only when the copy is verified.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare)
{
    RunRecord& record = ctx.state().record;
    record.safetyCopyVerified = false;
    QString copyPath; // a folder that did not exist before this copy
    try {
        copyPath = freeCopyFolder(ctx.state().PercorsoBase, QDateTime::currentDateTime());
        record.safetyCopy = copyPath;
        ctx.setProgress(QStringLiteral("BACKUP DI SICUREZZA DEGLI ARCHIVI IN CORSO..."));
        ctx.host().showBusy(true);
        ctx.yield();
        const auto yield = [&ctx] {
            ctx.yield();
        };
        fs::Manifest manifest;
        fs::CopyFolder(CartellaDaCopiare, copyPath, yield, &manifest);
        fs::writeManifest(copyPath, manifest);
        ctx.yield();
        const QStringList differing = fs::verifyManifest(copyPath, manifest, yield);
        if (!differing.isEmpty())
            throw Error(err::PathFileAccess, QStringLiteral("la copia %1 non corrisponde ai dati copiati: %2")
                                                 .arg(copyPath, differing.join(QStringLiteral(", "))));
        record.safetyCopyVerified = true;
        ctx.setProgress(QString());
        ctx.addEventLine(
            QStringLiteral("Copia di sicurezza verificata: %1 (%2 file)").arg(copyPath).arg(manifest.size()));
        ctx.host().showBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("COPIO_CARTELLA"));
        // Half a copy is no copy: it would pass for one later, and on a full
        // disk it holds the space the user needs back.
        try {
            if (!copyPath.isEmpty() && fs::FolderExists(copyPath) && fs::RemoveFolder(copyPath))
                ctx.addEventLine(QStringLiteral("Copia di sicurezza incompleta rimossa: %1").arg(copyPath));
        } catch (const Error& link) {
            // A link made in its place since: what it leads to is not ours to remove.
            ctx.addEventLine(QStringLiteral("Copia di sicurezza incompleta non rimossa: ") +
                             link.description());
        }
    }
}

} // namespace rio
