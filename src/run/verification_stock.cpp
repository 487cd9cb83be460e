// Comparing the stock: the opening movements of the new year against the old-year stock,
// and the new-year stock against what was carried.
#include "context/years.h"
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
// twin that differs only in case. Each with what it is, naming the twins.
struct Irregular
{
    StockWarning::Reason reason;
    QString what;
    QStringList twins;
};

// The old-year codes by the key the recomputation matches them on, to find
// twins once every article has been read.
using CodesByKey = QHash<QString, QStringList>;

QString matchKey(const QString& code)
{
    return asciiUpper(trimBlanks(code));
}

// Why an old-year code cannot match by design, or nothing.
std::optional<Irregular> irregularCode(const QString& code, const CodesByKey& codes)
{
    QStringList twins = codes.value(matchKey(code));
    twins.removeOne(code);
    if (!twins.isEmpty())
        return Irregular{
            StockWarning::Reason::Twin,
            QStringLiteral("codice gemello di \"%1\": differiscono solo per maiuscole/minuscole o spazi")
                .arg(twins.join(QStringLiteral("\", \""))),
            twins};
    if (code != trimBlanks(code))
        return Irregular{
            StockWarning::Reason::Blanks, QStringLiteral("codice con spazi all'inizio o alla fine"), {}};
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

// A warehouse whose new-year stock is not what it should hold: its old-year stock in
// 01-02 (0 without an old-year row), 0 in 03-05.
struct WarehouseDifference
{
    int warehouse = 0; // 0 for "01"
    double expected = 0;
    double found = 0;
};

QString warehouseName(int warehouse)
{
    return QStringLiteral("0%1").arg(warehouse + 1);
}

// How a new-year article's stock differs from what it should hold; empty when
// it does not.
QList<WarehouseDifference> stockDifferences(const ArticleRow& row, const ArticleRow* old)
{
    QList<WarehouseDifference> differences;
    for (int d = 0; d < 5; ++d) {
        const double expected = (d < 2 && old) ? numberOrZero(old->stock[d]) : 0.0;
        const double found = numberOrZero(row.stock[d]);
        if (found != expected)
            differences << WarehouseDifference{d, expected, found};
    }
    return differences;
}

// A new-year article whose stock is not what was carried, and why by design when
// the code of the old-year article of its row explains it.
struct StockDifference
{
    QString code;
    QString description;
    std::optional<Irregular> irregular;
    QList<WarehouseDifference> differences;
};

// What the spreadsheet says of a warned warehouse.
QString sheetWarning(const Irregular& irregular)
{
    if (irregular.reason == StockWarning::Reason::Twin)
        return QStringLiteral("codice gemello di \"%1\"").arg(irregular.twins.join(QStringLiteral("\", \"")));
    return QStringLiteral("codice con spazi");
}

// One pass over the articles of both years side by side, in rowid order,
// with every old-year code known beforehand: a twin may come after its twin.
class StockPass
{
public:
    StockPass(OpeningMovements moves, CodesByKey codes, const CompanyVerification& v,
              const SpreadsheetRows& rows)
        : m_moves(std::move(moves.byNumber)), m_opening(std::move(moves.quantities)),
          m_codes(std::move(codes)), m_v(v), m_rows(rows)
    {
    }

    // The articles of one row: the old-year one, the new-year one, or both.
    void article(const ArticleRow* old, const ArticleRow* carried)
    {
        if (old)
            oldArticle(*old);
        const StockDifference* difference = nullptr;
        if (carried) {
            ++m_newCount;
            QList<WarehouseDifference> differences = stockDifferences(*carried, old);
            if (!differences.isEmpty()) {
                m_differences << StockDifference{carried->code, carried->description,
                                                 old ? irregularCode(old->code, m_codes) : std::nullopt,
                                                 std::move(differences)};
                difference = &m_differences.last();
            }
        }
        if (m_rows.stock)
            sheetRows(old ? *old : *carried, old, carried, difference);
    }

    void finish(CompanyVerification& v)
    {
        v.findings << m_movementFindings;
        finishMovements(v);
        finishArticleCount(v);
        finishCarriedStock(v);
    }

private:
    void oldArticle(const ArticleRow& row)
    {
        ++m_oldCount;
        for (int d = 0; d < 2; ++d) {
            // The opening movements follow the articles in the order they
            // were read, numbered from 0: the k-th stock to carry is movement k.
            const double stock = numberOrZero(row.stock[d]);
            if (stock != 0 && !movementMatches(row, warehouseName(d), stock, m_expectedMoves++, m_moves,
                                               m_movementFindings))
                ++m_moveMismatches;
        }
    }

    // A row per warehouse with a stock to carry (01-02 of the old year), carried
    // (an opening movement) or held in the new year; a warned warehouse says why.
    void sheetRows(const ArticleRow& article, const ArticleRow* old, const ArticleRow* carried,
                   const StockDifference* difference)
    {
        for (int d = 0; d < 5; ++d) {
            StockRow row;
            row.code = article.code;
            row.dep = warehouseName(d);
            row.stockOld = old ? numberOrZero(old->stock[d]) : 0.0;
            row.opening = m_opening.take(codeAndWarehouse(row.code, row.dep));
            row.stockNew = carried ? numberOrZero(carried->stock[d]) : 0.0;
            if (!(d < 2 && row.stockOld != 0) && row.opening == 0 && row.stockNew == 0)
                continue;
            row.description = carried ? carried->description : old->description;
            if (difference && difference->irregular &&
                std::any_of(difference->differences.begin(), difference->differences.end(),
                            [d](const WarehouseDifference& w) { return w.warehouse == d; }))
                row.warning = sheetWarning(*difference->irregular);
            m_rows.stock(m_v, row);
        }
    }

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
        v.checks << CheckLine{
            stockArea(),
            QStringLiteral("Movimenti di riapertura (giacenze 01 e 02 del %1)").arg(layout::AnnoInCorso),
            QString::number(expected),
            QString::number(m_moves.size()),
            m_moveMismatches == 0,
            QStringLiteral("MOV_MAG RIAPERTURA")};
    }

    void finishArticleCount(CompanyVerification& v) const
    {
        const bool sameArticles = m_newCount == m_oldCount;
        v.checks << CheckLine{stockArea(),
                              QStringLiteral("Articoli in anagrafica (%1 e %2)")
                                  .arg(layout::AnnoInCorso)
                                  .arg(layout::AnnoDaAprire),
                              QString::number(m_oldCount),
                              QString::number(m_newCount),
                              sameArticles,
                              QStringLiteral("ANAG_ART")};
        if (!sameArticles)
            v.findings << Finding{Finding::Kind::Mismatch, stockArea(),
                                  QStringLiteral("Il %1 ha %2 articoli, il %3 ne ha %4")
                                      .arg(layout::AnnoDaAprire)
                                      .arg(m_newCount)
                                      .arg(layout::AnnoInCorso)
                                      .arg(m_oldCount)};
    }

    // The new-year stock against what was carried; a difference the old-year code
    // explains (a twin, blanks) is a warning that says so, with a row per
    // warehouse for the report's table of warnings.
    void finishCarriedStock(CompanyVerification& v) const
    {
        qint64 stockMismatches = 0;
        qint64 stockWarnings = 0;
        for (const StockDifference& d : m_differences) {
            const std::optional<Irregular>& irregular = d.irregular;
            (irregular ? stockWarnings : stockMismatches)++;
            QStringList differences;
            QList<StockWarning> rows;
            for (const WarehouseDifference& w : d.differences) {
                differences << QStringLiteral("deposito %1: attesa %2, trovata %3")
                                   .arg(warehouseName(w.warehouse), number(w.expected), number(w.found));
                if (irregular)
                    rows << StockWarning{
                        irregular->reason,          d.code,     d.description, irregular->twins,
                        warehouseName(w.warehouse), w.expected, w.found};
            }
            QString text =
                QStringLiteral("Giacenza %1 dell'articolo \"%2\"").arg(layout::AnnoDaAprire).arg(d.code);
            if (irregular)
                text += QStringLiteral(" (") + irregular->what + QLatin1Char(')');
            text += QStringLiteral(": ") + differences.join(QStringLiteral("; ")) + QLatin1Char('.');
            v.findings << Finding{irregular ? Finding::Kind::Warning : Finding::Kind::Mismatch, stockArea(),
                                  text, rows};
        }
        v.checks << CheckLine{
            stockArea(),
            QStringLiteral("Giacenze %1 uguali a quelle riportate (03-05 a zero)").arg(layout::AnnoDaAprire),
            QString::number(m_newCount),
            stockWarnings == 0 ? QString::number(m_newCount - stockMismatches)
                               : QStringLiteral("%1 (+%2 con avviso)")
                                     .arg(m_newCount - stockMismatches - stockWarnings)
                                     .arg(stockWarnings),
            stockMismatches == 0,
            QStringLiteral("ANAG_ART")};
    }

    const Movements m_moves;
    QHash<QString, double> m_opening; // the opening movements' quantities by code and warehouse
    const CodesByKey m_codes;
    const CompanyVerification& m_v;
    const SpreadsheetRows& m_rows;
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
    // Every old-year code first: an article's twin may come after it, and its
    // spreadsheet rows are written as it is read.
    CodesByKey codes;
    {
        ArticleReader all(oldDb);
        ArticleRow row;
        while (all.next(row))
            codes[matchKey(row.code)] << row.code;
    }
    StockPass pass(readOpeningMovements(newDb), std::move(codes), v, rows);
    // Both years read side by side, matched by rowid: the new archive is a
    // copy of the old-year one, so a row is in both or, when something went
    // wrong, in one only.
    ArticleReader oldArticles(oldDb);
    ArticleReader newArticles(newDb);
    ArticleRow oldRow;
    ArticleRow newRow;
    bool hasOld = oldArticles.next(oldRow);
    bool hasNew = newArticles.next(newRow);
    while (hasOld || hasNew) {
        if (hasOld && (!hasNew || oldRow.rowid <= newRow.rowid)) {
            const bool paired = hasNew && newRow.rowid == oldRow.rowid;
            pass.article(&oldRow, paired ? &newRow : nullptr);
            if (paired)
                hasNew = newArticles.next(newRow);
            hasOld = oldArticles.next(oldRow);
        } else {
            pass.article(nullptr, &newRow);
            hasNew = newArticles.next(newRow);
        }
    }
    pass.finish(v);
}

} // namespace rio::verification
