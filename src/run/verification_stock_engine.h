#pragma once

// The stock comparison inside the engine, in its parts: the columns read as
// Query would read them, and the opening movements followed in number order.
// For the verification's own files only.

#include "data/engine_read.h"
#include "run/verification_stock.h"

namespace rio::verification {

// The declared types of what the comparison reads, by which Query would
// convert each value.
struct ArticleTypes
{
    ColumnType code = ColumnType::Other;
    ColumnType description = ColumnType::Other;
    ColumnType stock[5] = {};
};

// Those of both years' articles and of the opening movements.
struct StockTypes
{
    ArticleTypes old;
    ArticleTypes carried;
    ColumnType number = ColumnType::Other; // MOV_MAG: Progr_Mov_Mag, CodArt, DEP, Qta
    ColumnType code = ColumnType::Other;
    ColumnType dep = ColumnType::Other;
    ColumnType quantity = ColumnType::Other;
};

// A column read as a number, Null as 0, as Query and numberOrZero give it.
double numberAt(const EngineRows& q, int column, ColumnType type);
// A column read as text, Null as empty, as Query and textOrEmpty give it.
QString textAt(const EngineRows& q, int column, ColumnType type);
// A column's bytes where a text column holds a text, which it reads as
// those very bytes; a view without data otherwise. Valid while the row is.
QByteArrayView textView(const EngineRows& q, int column, ColumnType type);
// The warehouse "01" to "05" a column names, from 0; -1 for anything else.
int warehouseAt(const EngineRows& q, int column, ColumnType type);

// The movement check: the old year's articles with a stock to carry, in rowid
// order, beside the opening movements in number order (the new archive
// attached to the old one as "nuovo"). Nothing in v changes until it is
// finished.
struct MovementResult
{
    MovementCheck moves;
    qint64 numbers = 0;
    qint64 extra = 0;
    bool ordered = true;
    // Read in rowid order, every movement went with the article its number
    // pairs it with, and carries that article's very code: the movements of
    // each code are then the ones met, in rowid order, beside its article.
    bool besideTheirArticles = false;
};

// sorted: the movements ordered by number by the engine, not read in rowid
// order. Raises the engine's error.
MovementResult checkMovements(Connection& oldDb, const StockTypes& types, bool sorted);

} // namespace rio::verification
