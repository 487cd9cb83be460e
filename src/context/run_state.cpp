#include "context/run_state.h"

namespace rio {

QList<ListedCompany> RunState::activeCompanies() const
{
    QList<ListedCompany> companies;
    for (int n = 1; n < int(ElencoAziende.size()); ++n) {
        const QStringList fields = ElencoAziende[n].split(QLatin1Char('*'));
        if (fields.value(1) == QLatin1String("ATTIVA"))
            companies.append({n, fields.value(0)});
    }
    return companies;
}

void RunState::reset()
{
    release();
    ElencoAziende.fill(QString());
    NumAziende = 0;
    record = RunRecord();
}

void RunState::release() noexcept
{
    try {
        if (ConnessioneDbOld)
            ConnessioneDbOld->release();
        ConnessioneDbOld.reset();
        if (log)
            log->close();
        log.reset();
    } catch (...) {
        // Closing ignores every error: nothing may stop the window from closing.
    }
}

} // namespace rio
