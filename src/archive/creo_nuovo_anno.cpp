#include "archive/archive_steps.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"

namespace rio {

// The year to open starts as a file copy of the year in course, database
// included; a 2024 folder already there is overwritten file by file.
void CREO_NUOVO_ANNO(RunContext& ctx)
{
    RunState& state = ctx.state();
    try {
        ctx.setProgress(QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."));
        ctx.host().showBusy(true);
        for (int n = 1; n < int(state.ElencoAziende.size()); ++n) {
            const QString& entry = state.ElencoAziende[n];
            if (entry.isEmpty() || entry.split(QLatin1Char('*')).value(1) != QLatin1String("ATTIVA"))
                continue;
            ctx.yield();
            fs::CopyFolder(layout::oldCompanyFolder(state.PercorsoBase, n),
                           layout::newCompanyFolder(state.PercorsoBase, n), [&ctx] { ctx.yield(); });
        }
        ctx.setProgress(QString());
        ctx.host().showBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("CREO_NUOVO_ANNO"));
    }
}

} // namespace rio
