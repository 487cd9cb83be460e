// Comparing the stock: the opening movements of 2024 against the 2023 stock,
// and the 2024 stock against what was carried.
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <algorithm>
#include <optional>

namespace rio::verification {

namespace {

using Movements = QHash<qint64, OpeningMovement>;

QString stockArea()
{
    return QStringLiteral("Magazzino");
}

// Codes the stock rules cannot match by design: blanks around the code, or a
// twin that differs only in case. Each with what it is, naming the twins, and
// what the user should do about it.
struct Irregular
{
    QString what;
    QString advice;
};

// The 2023 codes by the key the recomputation matches them on, to find
// twins once every article has been read.
using CodesByKey = QHash<QString, QStringList>;

QString matchKey(const QString& code)
{
    return asciiUpper(trimBlanks(code));
}

// Why a 2023 code cannot match by design, or nothing.
std::optional<Irregular> irregularCode(const QString& code, const CodesByKey& codes)
{
    QStringList twins = codes.value(matchKey(code));
    twins.removeOne(code);
    if (!twins.isEmpty())
        return Irregular{
            QStringLiteral("codice gemello di \"%1\": differiscono solo per maiuscole/minuscole o spazi")
                .arg(twins.join(QStringLiteral("\", \""))),
            QStringLiteral("Il ricalcolo delle giacenze non distingue i codici gemelli e dà i movimenti di "
                           "tutti a uno solo: controllare a mano la giacenza 2024 degli articoli nominati, "
                           "rettificarla se serve e rendere distinti i codici in Zeta.")};
    if (code != trimBlanks(code))
        return Irregular{QStringLiteral("codice con spazi all'inizio o alla fine"),
                         QStringLiteral("Il ricalcolo delle giacenze non trova i movimenti di un codice con "
                                        "spazi: controllare a mano la giacenza 2024 dell'articolo, "
                                        "rettificarla se serve e togliere gli spazi dal codice in Zeta.")};
    return std::nullopt;
}

// Whether movement `number` carries `stock` of the article into deposit `dep`;
// when it does not, says so in findings.
bool movementMatches(const ArticleRow& row, const QString& dep, double stock, qint64 number,
                     const Movements& moves, QList<Finding>& findings)
{
    const auto found = moves.constFind(number);
    if (found == moves.cend()) {
        findings << Finding{
            Finding::Kind::Mismatch, stockArea(),
            QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                           "mancante")
                .arg(row.code, dep, verification::number(stock))
                .arg(number)};
        return false;
    }
    if (found->code != row.code || found->dep != dep || found->qta != stock) {
        findings << Finding{
            Finding::Kind::Mismatch, stockArea(),
            QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                           "per \"%5\" deposito %6 quantità %7")
                .arg(row.code, dep, verification::number(stock))
                .arg(number)
                .arg(found->code, found->dep, verification::number(found->qta))};
        return false;
    }
    return true;
}

// How a 2024 article's stock differs from what it should hold: its 2023
// stock in 01-02 (0 without a 2023 row), 0 in 03-05. Empty when it does not.
QStringList stockDifferences(const ArticleRow& row, const ArticleRow* old)
{
    QStringList differences;
    for (int d = 0; d < 5; ++d) {
        const double expected = (d < 2 && old) ? numberOrZero(old->stock[d]) : 0.0;
        const double found = numberOrZero(row.stock[d]);
        if (found != expected)
            differences << QStringLiteral("deposito 0%1: attesa %2, trovata %3")
                               .arg(d + 1)
                               .arg(number(expected), number(found));
    }
    return differences;
}

// A 2024 article whose stock is not what was carried, with the code of the
// 2023 article of its row (none without one).
struct StockDifference
{
    QString code;
    std::optional<QString> oldCode;
    QStringList differences;
};

// One pass over the articles of both years side by side, in rowid order.
class StockPass
{
public:
    StockPass(OpeningMovements moves, const CompanyVerification& v, const SpreadsheetRows& rows)
        : m_moves(std::move(moves.byNumber)), m_opening(std::move(moves.quantities)), m_v(v), m_rows(rows)
    {
    }

    // A 2023 article, with the 2024 one of the same row (or null).
    void oldArticle(const ArticleRow& row, const ArticleRow* carried)
    {
        ++m_oldCount;
        m_codes[matchKey(row.code)] << row.code;
        static const QString deps[2]{QStringLiteral("01"), QStringLiteral("02")};
        for (int d = 0; d < 2; ++d) {
            const QString& dep = deps[d];
            // The opening movements follow the articles in the order they
            // were read, numbered from 0: the k-th stock to carry is movement k.
            const double stock = numberOrZero(row.stock[d]);
            if (stock != 0 &&
                !movementMatches(row, dep, stock, m_expectedMoves++, m_moves, m_movementFindings))
                ++m_moveMismatches;
            const StockRow sheetRow{row.code, dep, stock, m_opening.take(codeAndWarehouse(row.code, dep)),
                                    carried ? numberOrZero(carried->stock[d]) : 0.0};
            if (m_rows.stock && (sheetRow.stock2023 != 0 || sheetRow.opening != 0 || sheetRow.stock2024 != 0))
                m_rows.stock(m_v, sheetRow);
        }
    }

    // A 2024 article, with the 2023 one of the same row (or null).
    void newArticle(const ArticleRow& row, const ArticleRow* old)
    {
        ++m_newCount;
        QStringList differences = stockDifferences(row, old);
        if (!differences.isEmpty())
            m_differences << StockDifference{row.code, old ? std::optional(old->code) : std::nullopt,
                                             std::move(differences)};
    }

    void finish(CompanyVerification& v)
    {
        v.findings << m_movementFindings;
        finishMovements(v);
        finishArticleCount(v);
        finishCarriedStock(v);
    }

private:
    void finishMovements(CompanyVerification& v)
    {
        const qint64 expected = m_expectedMoves;
        const qint64 extra = std::count_if(m_moves.keyBegin(), m_moves.keyEnd(),
                                           [expected](qint64 k) { return k < 0 || k >= expected; });
        if (extra > 0) {
            v.findings << Finding{
                Finding::Kind::Mismatch, stockArea(),
                QStringLiteral("%1 movimenti RIAPERTURA senza articolo corrispondente").arg(extra)};
            ++m_moveMismatches;
        }
        v.checks << CheckLine{stockArea(), QStringLiteral("Movimenti RIAPERTURA (giacenze 01 e 02 del 2023)"),
                              QString::number(expected), QString::number(m_moves.size()),
                              m_moveMismatches == 0};
    }

    void finishArticleCount(CompanyVerification& v) const
    {
        const bool sameArticles = m_newCount == m_oldCount;
        v.checks << CheckLine{stockArea(), QStringLiteral("Articoli (2023 e 2024)"),
                              QString::number(m_oldCount), QString::number(m_newCount), sameArticles};
        if (!sameArticles)
            v.findings << Finding{
                Finding::Kind::Mismatch, stockArea(),
                QStringLiteral("Il 2024 ha %1 articoli, il 2023 ne ha %2").arg(m_newCount).arg(m_oldCount)};
    }

    // The 2024 stock against what was carried; a difference the 2023 code
    // explains (a twin, blanks) is a warning that says so.
    void finishCarriedStock(CompanyVerification& v) const
    {
        qint64 stockMismatches = 0;
        qint64 stockWarnings = 0;
        for (const StockDifference& d : m_differences) {
            const std::optional<Irregular> irregular =
                d.oldCode ? irregularCode(*d.oldCode, m_codes) : std::nullopt;
            (irregular ? stockWarnings : stockMismatches)++;
            QString text = QStringLiteral("Giacenza 2024 dell'articolo \"%1\"").arg(d.code);
            if (irregular)
                text += QStringLiteral(" (") + irregular->what + QLatin1Char(')');
            text += QStringLiteral(": ") + d.differences.join(QStringLiteral("; ")) + QLatin1Char('.');
            if (irregular)
                text += QLatin1Char(' ') + irregular->advice;
            v.findings << Finding{irregular ? Finding::Kind::Warning : Finding::Kind::Mismatch, stockArea(),
                                  text};
        }
        v.checks << CheckLine{stockArea(),
                              QStringLiteral("Giacenze 2024 uguali a quelle riportate (03-05 a zero)"),
                              QString::number(m_newCount),
                              stockWarnings == 0 ? QString::number(m_newCount - stockMismatches)
                                                 : QStringLiteral("%1 (+%2 con avviso)")
                                                       .arg(m_newCount - stockMismatches - stockWarnings)
                                                       .arg(stockWarnings),
                              stockMismatches == 0};
    }

    const Movements m_moves;
    QHash<QString, double> m_opening; // the opening movements' quantities by code and warehouse
    const CompanyVerification& m_v;
    const SpreadsheetRows& m_rows;
    CodesByKey m_codes;
    qint64 m_oldCount = 0;
    qint64 m_newCount = 0;
    qint64 m_expectedMoves = 0;
    int m_moveMismatches = 0;
    QList<Finding> m_movementFindings;
    QList<StockDifference> m_differences;
};

} // namespace

void checkStock(Connection& oldDb, Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows)
{
    StockPass pass(readOpeningMovements(newDb), v, rows);
    // Both years read side by side, matched by rowid: the 2024 archive is a
    // copy of the 2023 one, so a row is in both or, when something went
    // wrong, in one only.
    ArticleReader oldArticles(oldDb, 2);
    ArticleReader newArticles(newDb, 5);
    ArticleRow oldRow;
    ArticleRow newRow;
    bool hasOld = oldArticles.next(oldRow);
    bool hasNew = newArticles.next(newRow);
    while (hasOld || hasNew) {
        if (hasOld && (!hasNew || oldRow.rowid <= newRow.rowid)) {
            const bool paired = hasNew && newRow.rowid == oldRow.rowid;
            pass.oldArticle(oldRow, paired ? &newRow : nullptr);
            if (paired) {
                pass.newArticle(newRow, &oldRow);
                hasNew = newArticles.next(newRow);
            }
            hasOld = oldArticles.next(oldRow);
        } else {
            pass.newArticle(newRow, nullptr);
            hasNew = newArticles.next(newRow);
        }
    }
    pass.finish(v);
}

} // namespace rio::verification
