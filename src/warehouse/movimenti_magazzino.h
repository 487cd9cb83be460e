#pragma once

#include <QString>

namespace rio {

class RunContext;

// Writes the "RIAPERTURA" opening movements of every article with stock in
// warehouse 01 or 02 into the new-year archive, then recomputes its stock.
void CREAZIONE_MOVIMENTI_MAGAZZINO(RunContext& ctx, const QString& Numero_Azienda);

} // namespace rio
