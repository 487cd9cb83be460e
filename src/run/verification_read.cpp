// Reading the two archives for the verification.
#include "run/verification_read.h"

#include "data/database.h"
#include "run/report_format.h"

#include <algorithm>
#include <cmath>

namespace rio::verification {

double numberOrZero(const Value& v)
{
    return isNull(v) ? 0.0 : numberOf(v);
}

QString shown(const Value& v)
{
    return isNull(v) ? QStringLiteral("Null") : textOf(v);
}

QString number(double v)
{
    return formatQuantity(v);
}

bool sameAmount(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

namespace {

QString articlesSql(int warehouses)
{
    QString sql = QStringLiteral("select rowid, CodArt, Giacenza1, giacenza2");
    if (warehouses == 5)
        sql += QStringLiteral(", giacenza3, giacenza4, giacenza5");
    return sql + QStringLiteral(" from ANAG_ART order by rowid");
}

} // namespace

ArticleReader::ArticleReader(Connection& c, int warehouses)
    : m_query(c, articlesSql(warehouses)), m_warehouses(warehouses)
{
    m_query.exec();
}

bool ArticleReader::next(ArticleRow& row)
{
    if (!m_query.next())
        return false;
    row.rowid = m_query.value(0).toLongLong();
    row.code = textOrEmpty(m_query.value(1));
    for (int i = 0; i < m_warehouses; ++i)
        row.stock[i] = m_query.value(2 + i);
    return true;
}

QString codeAndWarehouse(const QString& code, const QString& dep)
{
    return code + QChar(0x1F) + dep;
}

OpeningMovements readOpeningMovements(Connection& c)
{
    // Summed as they are read: the reads let the window repaint, a pass of
    // its own over a large company's movements would not.
    OpeningMovements moves;
    Query q(c,
            QStringLiteral("select Progr_Mov_Mag, DEP, CodArt, Qta from MOV_MAG where TipoMov='RIAPERTURA'"));
    q.exec();
    while (q.next()) {
        const OpeningMovement m{textOrEmpty(q.value(1)), textOrEmpty(q.value(2)), numberOrZero(q.value(3))};
        moves.quantities[codeAndWarehouse(m.code, m.dep)] += m.qta;
        moves.byNumber.insert(numberOrZero(q.value(0)), m);
    }
    return moves;
}

ItemReader::ItemReader(Connection& c, const QString& where)
    : m_query(c, QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, "
                                "Numero_Documento, Totale_Mov_Cont from MOV_CONT") +
                     where + QStringLiteral(" order by rowid"))
{
    m_query.exec();
}

bool ItemReader::next(ItemRow& row)
{
    if (!m_query.next())
        return false;
    row = ItemRow{m_query.value(0), m_query.value(1), m_query.value(2),
                  m_query.value(3), m_query.value(4), m_query.value(5)};
    return true;
}

qint64 countRows(Connection& c, const QString& table, const QString& where)
{
    Query q(c, QStringLiteral("select count(*) from ") + Connection::quoteIdentifier(table) + where);
    q.exec();
    q.next();
    const qint64 n = q.value(0).toLongLong();
    q.finish();
    return n;
}

QString companyName(Connection& c, int slot)
{
    Query q(c,
            QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda='Azienda_%1'").arg(slot));
    q.exec();
    const QString name = q.next() && !isNull(q.value(0)) ? textOf(q.value(0)) : QString();
    q.finish();
    return name;
}

} // namespace rio::verification
