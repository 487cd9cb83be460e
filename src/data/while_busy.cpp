// Letting the window repaint while the engine works on one statement.
#include "data/connection_private.h"
#include "data/engine_errors.h"

#include <QSqlError>

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rio {

namespace {

// Engine instructions between two calls: a fraction of a millisecond.
constexpr int InstructionsBetweenCalls = 20000;
constexpr auto WaitBetweenCalls = std::chrono::milliseconds(15);

int callWhileBusy(void* whileBusy)
{
    (*static_cast<std::function<void()>*>(whileBusy))();
    return 0; // never interrupts the statement
}

void installProgressCalls(Connection& c)
{
    auto& p = ConnectionAccess::of(c);
    if (!p.lite)
        return;
    if (p.whileBusy)
        sqlite3_progress_handler(p.lite, InstructionsBetweenCalls, &callWhileBusy, &p.whileBusy);
    else
        sqlite3_progress_handler(p.lite, 0, nullptr, nullptr);
}

} // namespace

void Connection::setWhileBusy(std::function<void()> whileBusy)
{
    d->whileBusy = std::move(whileBusy);
    installProgressCalls(*this);
}

void Statement::runAside(Connection& c, const std::function<void()>& whileWaiting)
{
    if (!lite) {
        run(c);
        finishWrite();
        return;
    }
    sqlite3* handle = sqlite3_db_handle(lite);
    // The progress calls would come from the worker: none while it runs.
    sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int rc = SQLITE_OK;
    QString message;
    sqlite3_reset(lite);
    std::thread worker([&] {
        int result = SQLITE_ROW;
        while (result == SQLITE_ROW)
            result = sqlite3_step(lite);
        const QString text = result == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
        const std::lock_guard<std::mutex> lock(mutex);
        rc = result;
        message = text;
        done = true;
        finished.notify_one();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, WaitBetweenCalls, [&] { return done; })) {
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
    }
    worker.join();
    sqlite3_reset(lite);
    installProgressCalls(c);
    if (rc != SQLITE_DONE)
        throw engine::fromSqlError(QSqlError(QStringLiteral("Unable to execute statement"), message,
                                             QSqlError::StatementError, QString::number(rc)),
                                   c);
}

} // namespace rio
