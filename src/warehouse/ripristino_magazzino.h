#pragma once

#include "warehouse/stock_table.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace rio {

class Connection;
class RunContext;

// Recomputes the five warehouse stocks of every article of the archive behind
// Db from its movements. Has no error handler: a failure raises to the caller.
// An empty article table warns and writes nothing.
// Inside the caller's transaction the caller commits; otherwise the rows are
// committed in batches and at the end, a failure included.
void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda);

// The articles of an archive whose stock the recomputation cannot give them
// on their own, found with its own rules, in the order it reads them.
struct ArticleCodeReview
{
    qint64 articles = 0;
    // An article without code stops the recomputation: its place in the
    // file (1 for the first row), 0 when every article has a code.
    qint64 firstWithoutCode = 0;
    qint64 withoutCode = 0;
    // Codes whose stock lands on another article's row (twins by case or
    // blanks), each as "code" -> the code of that row.
    QList<std::pair<QString, QString>> twins;
    // Codes that lead to no row (blanks around them or blanks only): their
    // stock is left as it was.
    QStringList skipped;
    // Movements of warehouses 01-05 the recomputation counts for no
    // article: without code, or with a code (upper-cased, sorted) that no
    // article's lookup asks for (none such, or only with blanks around it).
    qint64 movementsWithoutCode = 0;
    QStringList unmatchedMovementCodes;
};
// Reads ANAG_ART and MOV_MAG as the recomputation reads them. Raises the
// engine's errors.
ArticleCodeReview reviewArticleCodes(Connection& Db);

// The key an article code is looked up by: blanks around it removed, ASCII
// letters upper-cased, as the file compares text.
QString articleKey(const QString& articleCode);

// Sums the quantities of the movements of warehouses 01..05 into the
// table's entry of each movement's code by its ASCII upper case (blanks
// kept: a movement code with blanks around it never matches a trimmed
// article key), in file order, so that each sum adds in the order the
// program adds it. One pass over MOV_MAG; a movement whose code has no
// entry is passed over (its key added to unknownCodes when given).
// yield runs after each movement read: a million movements take a while.
// withoutCode, when given, counts the movements passed over for their Null
// code. Raises the engine's errors.
void LEGGO_MOVIMENTI(Connection& Db, StockTable& stocks, const std::function<void()>& yield = {},
                     qint64* withoutCode = nullptr, QSet<QByteArray>* unknownCodes = nullptr);

} // namespace rio
