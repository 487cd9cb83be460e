#include "data/batch_commit.h"

#include "data/database.h"

#include <QtGlobal>

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

BatchCommit::BatchCommit(Connection& connection)
    : m_connection(connection), m_owned(!connection.inTransaction())
{
    if (m_owned)
        m_connection.beginTrans();
}

BatchCommit::~BatchCommit()
{
    if (!m_owned)
        return;
    try {
        if (m_connection.isOpen() && m_connection.inTransaction())
            m_connection.commitTrans();
    } catch (...) {
    }
}

void BatchCommit::rowWritten()
{
    if (!m_owned || ++m_pending < rowsPerCommit())
        return;
    m_pending = 0;
    m_connection.commitTrans();
    m_connection.beginTrans();
}

void BatchCommit::finish()
{
    if (m_owned && m_connection.inTransaction())
        m_connection.commitTrans();
}

} // namespace rio
