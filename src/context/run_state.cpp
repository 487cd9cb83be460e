#include "context/run_state.h"

namespace rio {

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
