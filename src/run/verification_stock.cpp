// Comparing the stock: the opening movements of the new year against the
// old year's stock, and the new year's stock against what was carried.
#include "run/verification_stock.h"

#include "context/years.h"

#include "run/verification_checks.h"

#include <algorithm>

namespace rio::verification {

namespace {

QString stockArea()
{
    return QStringLiteral("Magazzino");
}

// How a new-year article's stock differs from what it should hold; empty when
// it does not.
QList<WarehouseDifference> stockDifferences(const ArticleRow& row, const ArticleRow* old)
{
    QList<WarehouseDifference> differences;
    for (int d = 0; d < 5; ++d) {
        const double expected = (d < 2 && old) ? old->stock[d] : 0.0;
        const double found = row.stock[d];
        if (found != expected)
            differences << WarehouseDifference{d, expected, found};
    }
    return differences;
}

// What the spreadsheet says of a warned warehouse.
QString sheetWarning(const Irregular& irregular)
{
    if (irregular.reason == StockWarning::Reason::Twin)
        return QStringLiteral("codice gemello di \"%1\"").arg(irregular.twins.join(QStringLiteral("\", \"")));
    return QStringLiteral("codice con spazi");
}

} // namespace

QString warehouseName(int warehouse)
{
    // Made for every row of the spreadsheet and every movement: a literal,
    // never a new text.
    switch (warehouse) {
    case 0:
        return QStringLiteral("01");
    case 1:
        return QStringLiteral("02");
    case 2:
        return QStringLiteral("03");
    case 3:
        return QStringLiteral("04");
    default:
        return QStringLiteral("05");
    }
}

QString matchKey(const QString& code)
{
    return asciiUpper(trimBlanks(code));
}

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

void MovementCheck::oldArticle(const ArticleRow& row)
{
    for (int d = 0; d < 2; ++d) {
        const double stock = row.stock[d];
        if (stock == 0)
            continue;
        const QString dep = warehouseName(d);
        const qint64 number = m_expected++;
        const OpeningMovement* found = m_lookup(number);
        if (!found) {
            m_findings << Finding{
                Finding::Kind::Mismatch, stockArea(),
                QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                               "mancante")
                    .arg(row.code, dep, verification::number(stock))
                    .arg(number)};
            ++m_mismatches;
        } else if (found->code != row.code || found->dep != dep || found->qta != stock) {
            m_findings << Finding{
                Finding::Kind::Mismatch, stockArea(),
                QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                               "per \"%5\" deposito %6 quantità %7")
                    .arg(row.code, dep, verification::number(stock))
                    .arg(number)
                    .arg(found->code, found->dep, verification::number(found->qta))};
            ++m_mismatches;
        }
    }
}

void MovementCheck::finish(CompanyVerification& v, qint64 numbers, qint64 extra)
{
    v.findings << m_findings;
    if (extra > 0) {
        v.findings << Finding{
            Finding::Kind::Mismatch, stockArea(),
            QStringLiteral("%1 movimenti RIAPERTURA senza articolo corrispondente").arg(extra)};
        ++m_mismatches;
    }
    v.checks << CheckLine{
        stockArea(),
        QStringLiteral("Movimenti di riapertura (giacenze 01 e 02 del %1)").arg(layout::AnnoInCorso),
        QString::number(m_expected),
        QString::number(numbers),
        m_mismatches == 0,
        QStringLiteral("MOV_MAG RIAPERTURA")};
}

void StockPass::article(const ArticleRow* old, const ArticleRow* carried)
{
    if (old)
        ++oldCount;
    const StockDifference* difference = nullptr;
    if (carried) {
        ++newCount;
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

// A row per warehouse with a stock to carry (01-02 of the old year), carried
// (an opening movement) or held in the new year; a warned warehouse says why.
void StockPass::sheetRows(const ArticleRow& article, const ArticleRow* old, const ArticleRow* carried,
                          const StockDifference* difference)
{
    for (int d = 0; d < 5; ++d) {
        const double stockOld = old ? old->stock[d] : 0.0;
        const double opening = m_opening(article.code, d);
        const double stockNew = carried ? carried->stock[d] : 0.0;
        if (!(d < 2 && stockOld != 0) && opening == 0 && stockNew == 0)
            continue;
        StockRow row;
        row.code = article.code;
        row.dep = warehouseName(d);
        row.stockOld = stockOld;
        row.opening = opening;
        row.stockNew = stockNew;
        row.description = carried ? carried->description : old->description;
        if (difference && difference->irregular &&
            std::any_of(difference->differences.begin(), difference->differences.end(),
                        [d](const WarehouseDifference& w) { return w.warehouse == d; }))
            row.warning = sheetWarning(*difference->irregular);
        m_rows.stock(m_v, row);
    }
}

void StockPass::finish(CompanyVerification& v, MovementCheck& moves, qint64 numbers, qint64 extra)
{
    moves.finish(v, numbers, extra);
    finishArticleCount(v);
    finishCarriedStock(v);
}

void StockPass::finishArticleCount(CompanyVerification& v) const
{
    const bool sameArticles = newCount == oldCount;
    v.checks << CheckLine{
        stockArea(),
        QStringLiteral("Articoli in anagrafica (%1 e %2)").arg(layout::AnnoInCorso).arg(layout::AnnoDaAprire),
        QString::number(oldCount),
        QString::number(newCount),
        sameArticles,
        QStringLiteral("ANAG_ART")};
    if (!sameArticles)
        v.findings << Finding{Finding::Kind::Mismatch, stockArea(),
                              QStringLiteral("Il %1 ha %2 articoli, il %3 ne ha %4")
                                  .arg(layout::AnnoDaAprire)
                                  .arg(newCount)
                                  .arg(layout::AnnoInCorso)
                                  .arg(oldCount)};
}

// The new-year stock against what was carried; a difference the old-year code
// explains (a twin, blanks) is a warning that says so, with a row per
// warehouse for the report's table of warnings.
void StockPass::finishCarriedStock(CompanyVerification& v) const
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
                rows << StockWarning{irregular->reason,          d.code,     d.description, irregular->twins,
                                     warehouseName(w.warehouse), w.expected, w.found};
        }
        QString text =
            QStringLiteral("Giacenza %1 dell'articolo \"%2\"").arg(layout::AnnoDaAprire).arg(d.code);
        if (irregular)
            text += QStringLiteral(" (") + irregular->what + QLatin1Char(')');
        text += QStringLiteral(": ") + differences.join(QStringLiteral("; ")) + QLatin1Char('.');
        v.findings << Finding{irregular ? Finding::Kind::Warning : Finding::Kind::Mismatch, stockArea(), text,
                              rows};
    }
    v.checks << CheckLine{
        stockArea(),
        QStringLiteral("Giacenze %1 uguali a quelle riportate (03-05 a zero)").arg(layout::AnnoDaAprire),
        QString::number(newCount),
        stockWarnings == 0 ? QString::number(newCount - stockMismatches)
                           : QStringLiteral("%1 (+%2 con avviso)")
                                 .arg(newCount - stockMismatches - stockWarnings)
                                 .arg(stockWarnings),
        stockMismatches == 0,
        QStringLiteral("ANAG_ART")};
}

namespace {

// Both years read row by row through Query: every code, every opening
// movement and every article converted as the steps convert them.
void checkStockByRows(Connection& oldDb, Connection& newDb, CompanyVerification& v,
                      const SpreadsheetRows& rows)
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
    OpeningMovements openings = readOpeningMovements(newDb);
    const QHash<qint64, OpeningMovement> byNumber = std::move(openings.byNumber);
    QHash<QString, double> quantities = std::move(openings.quantities);
    MovementCheck moves([&byNumber](qint64 number) {
        const auto found = byNumber.constFind(number);
        return found == byNumber.cend() ? nullptr : &*found;
    });
    StockPass pass(codes, v, rows, [&quantities](const QString& code, int warehouse) {
        return quantities.take(codeAndWarehouse(code, warehouseName(warehouse)));
    });
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
            moves.oldArticle(oldRow);
            pass.article(&oldRow, paired ? &newRow : nullptr);
            if (paired)
                hasNew = newArticles.next(newRow);
            hasOld = oldArticles.next(oldRow);
        } else {
            pass.article(nullptr, &newRow);
            hasNew = newArticles.next(newRow);
        }
    }
    const qint64 expected = moves.expected();
    const qint64 extra = std::count_if(byNumber.keyBegin(), byNumber.keyEnd(),
                                       [expected](qint64 k) { return k < 0 || k >= expected; });
    pass.finish(v, moves, byNumber.size(), extra);
}

} // namespace

void checkStock(Connection& oldDb, Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows)
{
    if (!checkStockInEngine(oldDb, newDb, v, rows))
        checkStockByRows(oldDb, newDb, v, rows);
}

} // namespace rio::verification
