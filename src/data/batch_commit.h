#pragma once

#include "data/error.h"

#include <functional>
#include <optional>

namespace rio {

class Connection;

// Commits a long write in batches: no disk sync per row, and what is written
// stays written when a later row fails. Inside a transaction the caller
// already holds, it leaves that transaction to the caller.
class BatchCommit
{
public:
    // A commit syncs the journal and the file several times: a few
    // milliseconds on a quiet disk, hundreds while it writes back a copy.
    // Every thousand rows that came to a tenth of a large run. The
    // environment variable RIAPERTURA_ROWS_PER_COMMIT sets another count
    // (tests that kill a run between two commits).
    static constexpr int RowsPerCommit = 10000;

    // Begins a transaction on the connection unless one is open; raises the
    // engine's error. lostBatch: where the commit made while unwinding puts
    // its own failure, for the caller to report beside the failure that
    // unwound (the rows since the last commit are then not kept).
    explicit BatchCommit(Connection& connection, std::optional<Error>* lostBatch = nullptr);
    // Unwinding from a failure of the write, commits the rows written since
    // the last commit so that they stay; a failure of that commit goes to
    // lostBatch. Without a lostBatch it commits nothing: a commit whose
    // failure nobody hears of would let the rows pass for kept.
    ~BatchCommit();
    BatchCommit(const BatchCommit&) = delete;
    BatchCommit& operator=(const BatchCommit&) = delete;

    // Runs before each commit this makes (the one made while unwinding
    // included), inside the transaction it commits: what belongs with the
    // rows of the batch (a counter kept in memory) is written with them.
    // What it raises fails the commit: nothing of the batch is kept.
    void beforeEachCommit(std::function<void()> write);

    // One more row written: every RowsPerCommit rows, commit and begin again.
    // Raises the engine's error.
    void rowWritten();
    // Commits the rest; raises the engine's error.
    void finish();

private:
    void commit();

    Connection& m_connection;
    std::optional<Error>* m_lostBatch;
    bool m_owned;
    bool m_done = false; // finished, or a commit failed and said so itself
    int m_pending = 0;
    std::function<void()> m_beforeCommit;
};

} // namespace rio
