#include "archive/archive_steps.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"

namespace rio {

// A company exists when its old-year archive is in its own numbered folder;
// no database is opened.
void CONTROLLO_AZIENDE(RunContext& ctx)
{
    RunState& state = ctx.state();
    try {
        for (int n = 1; n <= 10; ++n) {
            const QString archive = layout::oldArchivePath(state.PercorsoBase, n);
            if (!fs::Dir(archive, fs::vbNormal).isEmpty()) {
                state.ElencoAziende[n] = archive + QStringLiteral("*") + QStringLiteral("ATTIVA");
                ++state.NumAziende;
            }
        }
        ctx.host().showCompanyInfo(CompanyInfo::Count, QString::number(state.NumAziende));
    } catch (const Error& e) {
        ctx.reportError(e, QStringLiteral("CONTROLLO_AZIENDE"));
    }
}

} // namespace rio
