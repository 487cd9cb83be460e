#include "archive/archive_steps.h"
#include "archive/copy_progress.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"

namespace rio {

// The year to open starts as a file copy of the year in course, database
// included; a new-year folder already there is overwritten file by file. Each
// copy is on disk before its archive is opened: the engine's own syncs cover
// its writes, not pages of the copy still waiting in the cache, which a power
// cut would leave as holes under a journal that says the archive is whole.
void CREO_NUOVO_ANNO(RunContext& ctx)
{
    RunState& state = ctx.state();
    try {
        ctx.setProgress(QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."));
        ctx.host().showBusy(true);
        qint64 total = 0;
        for (const ListedCompany& company : state.activeCompanies())
            total += treeBytes(fs::hostPath(layout::oldCompanyFolder(state.PercorsoBase, company.slot)));
        CopyProgress progress(ctx, total);
        qint64 done = 0;
        for (const ListedCompany& company : state.activeCompanies()) {
            ctx.yield();
            const auto yield = [&ctx] {
                ctx.yield();
            };
            const QString oldFolder = layout::oldCompanyFolder(state.PercorsoBase, company.slot);
            const QString newFolder = layout::newCompanyFolder(state.PercorsoBase, company.slot);
            // A new-year folder already there counts from what the copy overwrites.
            fs::CopyFolder(oldFolder, newFolder, progress.yieldWhileCopying(fs::hostPath(newFolder), done));
            done += treeBytes(fs::hostPath(oldFolder));
            progress.reached(done);
            fs::SyncFolder(newFolder, yield);
        }
        ctx.setProgress(QString());
        ctx.host().showBusy(false);
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("CREO_NUOVO_ANNO"));
    }
}

} // namespace rio
