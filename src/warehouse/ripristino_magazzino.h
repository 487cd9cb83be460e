#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <functional>

namespace rio {

class Connection;
class RunContext;

// Recomputes the five warehouse stocks of every article of the archive behind
// Db from its movements. Has no error handler: a failure raises to the caller.
// An empty article table warns and writes nothing.
// Inside the caller's transaction the caller commits; otherwise the rows are
// committed in batches and at the end, a failure included.
void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda);

// Stock of warehouses 01..05 (index 0..4).
using WarehouseStocks = std::array<double, 5>;

// The key an article code is looked up by: blanks around it removed, ASCII
// letters upper-cased, as the file compares text.
QString articleKey(const QString& articleCode);

// The stock of every article code that has movements in warehouses 01..05,
// by the code's ASCII upper case (blanks kept: a movement code with blanks
// around it never matches a trimmed article key). One pass over MOV_MAG.
// yield runs after each movement read: a million movements take a while.
QHash<QString, WarehouseStocks> LEGGO_MOVIMENTI(Connection& Db, const std::function<void()>& yield = {});

} // namespace rio
