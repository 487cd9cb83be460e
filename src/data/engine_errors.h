#pragma once

#include "data/database.h"
#include "data/error.h"

#include <QSqlError>

struct sqlite3;

// The failures of the layer, with the numbers and texts a VB program sees.
namespace rio::engine {

Error noCurrentRecord();
// 3021 for a read that found no row: names the table and the archive, so
// that an empty system or CONTATORI table says so.
Error noRowIn(const QString& table, const QString& archive);
Error itemNotFound();
Error objectClosed();
Error objectOpen();

// An engine failure on a connection, classified by what the driver reports:
// a missing table, an unknown column; the engine's common failures (archive
// in use, read-only, not openable, a read or write the disk refused, disk
// full, damaged) in Italian with the archive's Windows path; anything else
// with the engine's own text.
Error fromSqlError(const QSqlError& error, const Connection& connection);
// The same for a failure met on the engine's own handle (a statement run
// without the driver): code is what the engine returned, the text its last
// message on that handle.
Error fromEngineHandle(sqlite3* handle, int code, const Connection& connection);

} // namespace rio::engine
