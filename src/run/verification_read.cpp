// Reading the two archives for the verification.
#include "run/verification_read.h"

#include "data/database.h"
#include "data/error.h"
#include "init/inizializzazione.h" // the table probe: tables are found as the initialisation finds them
#include "run/report_format.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

// The key of a party's name: its type and its code as the engine compares
// them, without regard to case.
QString partyKey(const QString& tipo, const QString& codice)
{
    return asciiUpper(trimBlanks(tipo)) + QChar(0x1F) + asciiUpper(codice);
}

} // namespace

ArticleReader::ArticleReader(Connection& c)
    : m_query(c, QStringLiteral("select rowid, CodArt, DescrArt, Giacenza1, giacenza2, giacenza3, giacenza4, "
                                "giacenza5 from ANAG_ART order by rowid"))
{
    m_query.exec();
}

bool ArticleReader::next(ArticleRow& row)
{
    if (!m_query.next())
        return false;
    row.rowid = m_query.value(0).toLongLong();
    row.code = textOrEmpty(m_query.value(1));
    row.description = textOrEmpty(m_query.value(2));
    for (int i = 0; i < 5; ++i)
        row.stock[i] = numberOrZero(m_query.value(3 + i));
    return true;
}

PartyNames::PartyNames(Connection& c)
{
    for (const auto& [tipo, table] : {std::pair{"C", "ANAG_CLI"}, std::pair{"F", "ANAG_FOR"}}) {
        const QString type = QLatin1String(tipo);
        try {
            if (!gEsistenza_Tabella(&c, Value(QLatin1String(table))))
                continue;
            Query q(c,
                    QStringLiteral("select CodCliFor, Ragione_Sociale1 from %1").arg(QLatin1String(table)));
            q.exec();
            while (q.next())
                if (!isNull(q.value(0)) && !isNull(q.value(1)))
                    m_names.insert(partyKey(type, textOf(q.value(0))), textOf(q.value(1)));
        } catch (const Error&) {
            // A table of another shape: that type goes without names.
        }
    }
}

QString PartyNames::name(const QString& tipo, const QString& codice) const
{
    return m_names.value(partyKey(tipo, codice));
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

QStringList itemColumns()
{
    return {QStringLiteral("Data_Mov_Cont"),    QStringLiteral("TipoCliFor"),
            QStringLiteral("CodCliFor"),        QStringLiteral("Tipo_Documento"),
            QStringLiteral("Numero_Documento"), QStringLiteral("Totale_Mov_Cont")};
}

ItemReader::ItemReader(Connection& c, const QString& where)
    : m_query(c, QStringLiteral("select ") + itemColumns().join(QStringLiteral(", ")) +
                     QStringLiteral(" from MOV_CONT") + where + QStringLiteral(" order by rowid"))
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
