// Letting the window repaint while the engine works on one statement.
#include "data/aside_thread.h"
#include "data/connection_private.h"
#include "data/engine_errors.h"

#include <QSqlError>

#include <sqlite3.h>

#include <exception>
#include <utility>

namespace rio {

namespace {

// Engine instructions between two calls: a fraction of a millisecond.
constexpr int InstructionsBetweenCalls = 20000;

// Called from inside the engine: a failure must not unwind through it (it
// would leave the connection's lock held), nor interrupt the statement (an
// interrupted write rolls the whole transaction back). It waits until the
// engine has returned.
int callWhileBusy(void* connection)
{
    auto& p = ConnectionAccess::of(*static_cast<Connection*>(connection));
    if (!p.whileBusyFailure) {
        try {
            p.whileBusy();
        } catch (...) {
            p.whileBusyFailure = std::current_exception();
        }
    }
    return 0;
}

void installProgressCalls(Connection& c)
{
    auto& p = ConnectionAccess::of(c);
    if (!p.lite)
        return;
    if (p.whileBusy)
        sqlite3_progress_handler(p.lite, InstructionsBetweenCalls, &callWhileBusy, &c);
    else
        sqlite3_progress_handler(p.lite, 0, nullptr, nullptr);
}

} // namespace

void Connection::setWhileBusy(std::function<void()> whileBusy)
{
    d->whileBusy = std::move(whileBusy);
    installProgressCalls(*this);
}

void raiseWhileBusyFailure(Connection& c)
{
    if (auto& failure = ConnectionAccess::of(c).whileBusyFailure)
        std::rethrow_exception(std::exchange(failure, nullptr));
}

void Statement::runAside(Connection& c, const std::function<void()>& whileWaiting,
                         const std::function<void(sqlite3_stmt*)>& eachRow)
{
    if (!lite) {
        run(c);
        finishWrite();
        return;
    }
    sqlite3* handle = sqlite3_db_handle(lite);
    // The progress calls would come from the worker: none while it runs.
    sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    int rc = SQLITE_OK;
    QString message;
    sqlite3_reset(lite);
    try {
        detail::runAside(
            [&] {
                int result = SQLITE_ROW;
                while ((result = sqlite3_step(lite)) == SQLITE_ROW)
                    if (eachRow)
                        eachRow(lite);
                rc = result;
                if (result != SQLITE_DONE)
                    message = QString::fromUtf8(sqlite3_errmsg(handle));
            },
            whileWaiting);
    } catch (...) {
        sqlite3_reset(lite);
        installProgressCalls(c);
        throw;
    }
    sqlite3_reset(lite);
    installProgressCalls(c);
    if (rc != SQLITE_DONE)
        throw engine::fromSqlError(QSqlError(QStringLiteral("Unable to execute statement"), message,
                                             QSqlError::StatementError, QString::number(rc)),
                                   c);
}

void commitAside(Connection& c)
{
    auto& p = ConnectionAccess::of(c);
    sqlite3_progress_handler(p.lite, 0, nullptr, nullptr);
    int rc = SQLITE_OK;
    QString message;
    std::exception_ptr interrupted;
    try {
        // What Qt's driver runs for a commit, on the same handle.
        detail::runAside(
            [&] {
                rc = sqlite3_exec(p.lite, "COMMIT", nullptr, nullptr, nullptr);
                if (rc != SQLITE_OK)
                    message = QString::fromUtf8(sqlite3_errmsg(p.lite));
            },
            p.whileBusy);
    } catch (...) {
        interrupted = std::current_exception();
    }
    installProgressCalls(c);
    if (rc != SQLITE_OK)
        throw engine::fromSqlError(QSqlError(QStringLiteral("Unable to commit transaction"), message,
                                             QSqlError::TransactionError, QString::number(rc)),
                                   c);
    if (interrupted) {
        // whileBusy failed while the engine committed: what it wrote stays.
        p.transactionLevel = 0;
        std::rethrow_exception(interrupted);
    }
}

} // namespace rio
