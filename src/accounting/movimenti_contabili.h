#pragma once

#include <QString>

namespace rio {

class RunContext;

// Carries every open accounting item (Stato_Partita Null) of the 2023 archive
// into the 2024 archive through the accounting movement writer.
void CREAZIONE_MOVIMENTI_CONTABILI(RunContext& ctx, QString Numero_Azienda);

} // namespace rio
