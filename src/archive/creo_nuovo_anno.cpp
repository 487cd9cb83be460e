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
        for (const ListedCompany& company : state.activeCompanies()) {
            ctx.yield();
            fs::CopyFolder(layout::oldCompanyFolder(state.PercorsoBase, company.slot),
                           layout::newCompanyFolder(state.PercorsoBase, company.slot),
                           [&ctx] { ctx.yield(); });
        }
        ctx.setProgress(QString());
        ctx.host().showBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("CREO_NUOVO_ANNO"));
    }
}

} // namespace rio
