#include "data/batch_commit.h"

#include "data/database.h"

#include <QtGlobal>

#include <utility>

namespace rio {

namespace {

int rowsPerCommit()
{
    static const int rows = [] {
        bool ok = false;
        const int set = qEnvironmentVariableIntValue("RIAPERTURA_ROWS_PER_COMMIT", &ok);
        return ok && set > 0 ? set : BatchCommit::RowsPerCommit;
    }();
    return rows;
}

} // namespace

BatchCommit::BatchCommit(Connection& connection, std::optional<Error>* lostBatch)
    : m_connection(connection), m_lostBatch(lostBatch), m_owned(!connection.inTransaction())
{
    if (m_owned)
        m_connection.beginTrans();
}

BatchCommit::~BatchCommit()
{
    if (!m_owned || m_done || !m_lostBatch)
        return;
    try {
        if (m_connection.isOpen() && m_connection.inTransaction()) {
            if (m_beforeCommit)
                m_beforeCommit();
            m_connection.commitTrans();
        }
    } catch (const Error& e) {
        *m_lostBatch = e;
    } catch (...) {
        *m_lostBatch = Error(err::EngineFailure, QStringLiteral("conferma delle ultime righe non riuscita"));
    }
}

void BatchCommit::beforeEachCommit(std::function<void()> write)
{
    m_beforeCommit = std::move(write);
}

void BatchCommit::commit()
{
    try {
        if (m_beforeCommit)
            m_beforeCommit();
        m_connection.commitTrans();
    } catch (...) {
        m_done = true; // raised here: the caller hears of it
        throw;
    }
}

void BatchCommit::rowWritten()
{
    if (!m_owned || ++m_pending < rowsPerCommit())
        return;
    m_pending = 0;
    commit();
    m_connection.beginTrans();
}

void BatchCommit::finish()
{
    if (m_owned && m_connection.inTransaction())
        commit();
    m_done = true;
}

} // namespace rio
