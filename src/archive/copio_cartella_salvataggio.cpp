#include "archive/archive_steps.h"

#include "data/error.h"
#include "data/filesystem.h"
#include "shell/layout.h"
#include "shell/run_context.h"

#include <QDate>

namespace rio {

// One dated copy of the whole data folder, so that the state before the
// reopening can be put back by hand. A second copy the same day overwrites
// the first one's files.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare)
{
    try {
        const QString copia = layout::safetyCopyName(QDate::currentDate());
        ctx.setProgress(QStringLiteral("BACKUP DI SICUREZZA DEGLI ARCHIVI IN CORSO..."));
        ctx.host().setBusy(true);
        ctx.yield();
        fs::CopyFolder(CartellaDaCopiare, ctx.state().PercorsoBase + copia, [&ctx] { ctx.yield(); });
        ctx.setProgress(QString());
        ctx.host().setBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("COPIO_CARTELLA"));
    }
}

} // namespace rio
