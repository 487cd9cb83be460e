#pragma once

#include "data/archive_stamp.h"
#include "warehouse/stock_table.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace rio {

class Connection;
class RunContext;

// What the recomputation reads before it writes: the rows it writes stocks
// into, by code, each with the stock summed from the movements.
struct StockReading
{
    StockTable table;
    qint64 articles = 0;
    qint64 withoutCode = 0;
    qint64 firstWithoutCode = 0; // its place in the file, from 1; 0 when none
    // The archive as it was read, when the file says (archiveStamp).
    std::optional<ArchiveStamp> stamp;
};

// The readings the check before the run made of the old-year archives,
// kept for the recomputation, which then need not read the articles and
// movements again. Each holds only for the archive in the state it was
// read in: taken inside the recomputation's transaction, a reading whose
// stamp differs from the archive's now is dropped and the archive read
// again. What the kept tables hold stays within a quarter of the engine's
// memory: beyond it an archive's reading is not kept.
class StockReadings
{
public:
    // Keeps a reading that has a stamp and fits; drops it otherwise.
    void keep(StockReading reading);
    // The reading of the archive of Db, which must be inside a transaction,
    // taken out when the archive is as it was read; nullptr otherwise.
    std::unique_ptr<StockReading> take(Connection& Db);

private:
    std::vector<std::unique_ptr<StockReading>> m_kept;
};

// Recomputes the five warehouse stocks of every article of the archive behind
// Db from its movements. Has no error handler: a failure raises to the caller.
// An empty article table warns and writes nothing.
// Inside the caller's transaction the caller commits; otherwise the rows are
// committed in batches and at the end, a failure included. With readAhead,
// the archive's reading kept there is used when it still holds (see
// StockReadings); the stocks written are the same.
void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda,
                          StockReadings* readAhead = nullptr);

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
// engine's errors. With keep, the reading is made inside one read
// transaction of its own and handed to keep with the archive's stamp; Db
// must then be outside any transaction, and is again on return.
ArticleCodeReview reviewArticleCodes(Connection& Db, StockReadings* keep = nullptr);

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
