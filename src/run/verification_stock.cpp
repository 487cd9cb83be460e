// Comparing the stock: the opening movements of 2024 against the 2023 stock,
// and the 2024 stock against what was carried.
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <algorithm>

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

QHash<qint64, Irregular> irregularRows(const QList<ArticleRow>& rows)
{
    QHash<QString, QStringList> perKey;
    for (const ArticleRow& r : rows)
        perKey[asciiUpper(trimBlanks(r.code))] << r.code;
    QHash<qint64, Irregular> irregular;
    for (const ArticleRow& r : rows) {
        QStringList twins = perKey.value(asciiUpper(trimBlanks(r.code)));
        twins.removeOne(r.code);
        if (!twins.isEmpty())
            irregular.insert(
                r.rowid,
                {QStringLiteral("codice gemello di \"%1\": differiscono solo per maiuscole/minuscole o spazi")
                     .arg(twins.join(QStringLiteral("\", \""))),
                 QStringLiteral(
                     "Il ricalcolo delle giacenze non distingue i codici gemelli e dà i movimenti di "
                     "tutti a uno solo: controllare a mano la giacenza 2024 degli articoli nominati, "
                     "rettificarla se serve e rendere distinti i codici in Zeta.")});
        else if (r.code != trimBlanks(r.code))
            irregular.insert(
                r.rowid, {QStringLiteral("codice con spazi all'inizio o alla fine"),
                          QStringLiteral("Il ricalcolo delle giacenze non trova i movimenti di un codice con "
                                         "spazi: controllare a mano la giacenza 2024 dell'articolo, "
                                         "rettificarla se serve e togliere gli spazi dal codice in Zeta.")});
    }
    return irregular;
}

// Whether movement `number` carries `stock` of the article into deposit `dep`;
// when it does not, says so in v.findings.
bool movementMatches(const ArticleRow& row, const QString& dep, double stock, qint64 number,
                     const Movements& moves, CompanyVerification& v)
{
    const auto found = moves.constFind(number);
    if (found == moves.cend()) {
        v.findings << Finding{
            Finding::Kind::Mismatch, stockArea(),
            QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                           "mancante")
                .arg(row.code, dep, verification::number(stock))
                .arg(number)};
        return false;
    }
    if (found->code != row.code || found->dep != dep || found->qta != stock) {
        v.findings << Finding{
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

// The opening movements follow the articles in the order they were read,
// numbered from 0: the k-th stock to carry is movement number k.
void checkOpeningMovements(const QList<ArticleRow>& oldRows, const Movements& moves, CompanyVerification& v)
{
    qint64 expectedMoves = 0;
    int moveMismatches = 0;
    for (const ArticleRow& row : oldRows) {
        for (int d = 0; d < 2; ++d) {
            const double stock = numberOrZero(row.stock[d]);
            if (stock == 0)
                continue;
            const qint64 number = expectedMoves++;
            if (!movementMatches(row, QStringLiteral("0%1").arg(d + 1), stock, number, moves, v))
                ++moveMismatches;
        }
    }
    const qint64 extra = std::count_if(moves.keyBegin(), moves.keyEnd(),
                                       [expectedMoves](qint64 k) { return k < 0 || k >= expectedMoves; });
    if (extra > 0) {
        v.findings << Finding{
            Finding::Kind::Mismatch, stockArea(),
            QStringLiteral("%1 movimenti RIAPERTURA senza articolo corrispondente").arg(extra)};
        ++moveMismatches;
    }
    v.checks << CheckLine{stockArea(), QStringLiteral("Movimenti RIAPERTURA (giacenze 01 e 02 del 2023)"),
                          QString::number(expectedMoves), QString::number(moves.size()), moveMismatches == 0};
}

void checkArticleCount(const QList<ArticleRow>& oldRows, const QList<ArticleRow>& newRows,
                       CompanyVerification& v)
{
    const bool sameArticles = newRows.size() == oldRows.size();
    v.checks << CheckLine{stockArea(), QStringLiteral("Articoli (2023 e 2024)"),
                          QString::number(oldRows.size()), QString::number(newRows.size()), sameArticles};
    if (!sameArticles)
        v.findings << Finding{Finding::Kind::Mismatch, stockArea(),
                              QStringLiteral("Il 2024 ha %1 articoli, il 2023 ne ha %2")
                                  .arg(newRows.size())
                                  .arg(oldRows.size())};
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

// The 2024 stock recomputed from the opening movements, article by article
// (matched by rowid).
void checkCarriedStock(const QList<ArticleRow>& oldRows, const QList<ArticleRow>& newRows,
                       CompanyVerification& v)
{
    QHash<qint64, const ArticleRow*> oldByRow;
    for (const ArticleRow& r : oldRows)
        oldByRow.insert(r.rowid, &r);
    const QHash<qint64, Irregular> irregular = irregularRows(oldRows);
    int stockMismatches = 0;
    int stockWarnings = 0;
    for (const ArticleRow& row : newRows) {
        const QStringList differences = stockDifferences(row, oldByRow.value(row.rowid));
        if (differences.isEmpty())
            continue;
        const bool byDesign = irregular.contains(row.rowid);
        (byDesign ? stockWarnings : stockMismatches)++;
        QString text = QStringLiteral("Giacenza 2024 dell'articolo \"%1\"").arg(row.code);
        if (byDesign)
            text += QStringLiteral(" (") + irregular.value(row.rowid).what + QLatin1Char(')');
        text += QStringLiteral(": ") + differences.join(QStringLiteral("; ")) + QLatin1Char('.');
        if (byDesign)
            text += QLatin1Char(' ') + irregular.value(row.rowid).advice;
        v.findings << Finding{byDesign ? Finding::Kind::Warning : Finding::Kind::Mismatch, stockArea(), text};
    }
    v.checks << CheckLine{stockArea(),
                          QStringLiteral("Giacenze 2024 uguali a quelle riportate (03-05 a zero)"),
                          QString::number(newRows.size()),
                          stockWarnings == 0 ? QString::number(newRows.size() - stockMismatches)
                                             : QStringLiteral("%1 (+%2 con avviso)")
                                                   .arg(newRows.size() - stockMismatches - stockWarnings)
                                                   .arg(stockWarnings),
                          stockMismatches == 0};
}

} // namespace

void checkStock(const ArchiveRows& rows, CompanyVerification& v)
{
    checkOpeningMovements(rows.oldArticles, rows.opening, v);
    checkArticleCount(rows.oldArticles, rows.newArticles, v);
    checkCarriedStock(rows.oldArticles, rows.newArticles, v);
}

} // namespace rio::verification
