#include "data/batch_commit.h"

#include "data/database.h"

namespace rio {

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
    if (!m_owned || ++m_pending < RowsPerCommit)
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
