#pragma once

#include "data/database.h"
#include "data/error.h"

#include <QSqlError>

// The failures of the layer, with the numbers and texts a VB program sees.
namespace rio::engine {

Error noCurrentRecord();
Error itemNotFound();
Error objectClosed();
Error objectOpen();

// An engine failure classified by what the driver reports: a missing table,
// an unknown column, anything else (a locked file among it) with the
// engine's own text.
Error fromSqlError(const QSqlError& error, Connection::Driver driver);

} // namespace rio::engine
