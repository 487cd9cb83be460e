#pragma once

#include "data/value.h"

#include <QString>

namespace rio {

class Connection;
class RunContext;

// Empties the new-year archive's movements and the document tables of its
// active causals and resets its counters, in one transaction. Returns true
// when the archive was initialised (false: its error box was shown and the
// archive is unchanged).
bool INIZIALIZZAZIONE_FILE(RunContext& ctx, const QString& Numero_Azienda);

// True when a table of that name (case and surrounding blanks ignored) is in
// the catalogue of the open connection; false for a closed connection or a
// Null name. Shows nothing.
bool gEsistenza_Tabella(Connection* Connessione, const Value& NomeTabella);

} // namespace rio
