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

QList<ArticleRow> readArticles(Connection& c, int warehouses)
{
    QString sql = QStringLiteral("select rowid, CodArt, Giacenza1, giacenza2");
    if (warehouses == 5)
        sql += QStringLiteral(", giacenza3, giacenza4, giacenza5");
    sql += QStringLiteral(" from ANAG_ART order by rowid");
    Query q(c, sql);
    q.exec();
    QList<ArticleRow> rows;
    while (q.next()) {
        ArticleRow row;
        row.rowid = q.value(0).toLongLong();
        row.code = textOrEmpty(q.value(1));
        for (int i = 0; i < warehouses; ++i)
            row.stock[i] = q.value(2 + i);
        rows << row;
    }
    return rows;
}

QHash<qint64, OpeningMovement> readOpeningMovements(Connection& c)
{
    QHash<qint64, OpeningMovement> moves;
    Query q(c,
            QStringLiteral("select Progr_Mov_Mag, DEP, CodArt, Qta from MOV_MAG where TipoMov='RIAPERTURA'"));
    q.exec();
    while (q.next())
        moves.insert(
            numberOrZero(q.value(0)),
            OpeningMovement{textOrEmpty(q.value(1)), textOrEmpty(q.value(2)), numberOrZero(q.value(3))});
    return moves;
}

namespace {

QList<ItemRow> readItems(Connection& c, const QString& where)
{
    Query q(c,
            QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, Numero_Documento, "
                           "Totale_Mov_Cont from MOV_CONT") +
                where + QStringLiteral(" order by rowid"));
    q.exec();
    QList<ItemRow> items;
    while (q.next())
        items << ItemRow{q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5)};
    return items;
}

} // namespace

ArchiveRows readArchives(Connection& oldDb, Connection& newDb)
{
    ArchiveRows rows;
    rows.oldArticles = readArticles(oldDb, 2);
    rows.newArticles = readArticles(newDb, 5);
    rows.opening = readOpeningMovements(newDb);
    rows.oldOpenItems = readItems(oldDb, QStringLiteral(" where Stato_PArtita is null"));
    rows.newItems = readItems(newDb, QString());
    return rows;
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
