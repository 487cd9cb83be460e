#pragma once

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
    // engine's error.
    explicit BatchCommit(Connection& connection);
    // Commits what is pending, every error ignored: unwinding on a failure
    // keeps the rows written so far.
    ~BatchCommit();
    BatchCommit(const BatchCommit&) = delete;
    BatchCommit& operator=(const BatchCommit&) = delete;

    // One more row written: every RowsPerCommit rows, commit and begin again.
    void rowWritten();
    // Commits the rest; raises the engine's error.
    void finish();

private:
    Connection& m_connection;
    bool m_owned;
    int m_pending = 0;
};

} // namespace rio
