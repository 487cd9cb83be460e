#pragma once

#include <QString>

namespace rio {

class RunContext;

// Lists the companies whose 2023 archive exists (ElencoAziende, NumAziende).
void CONTROLLO_AZIENDE(RunContext& ctx);

// One dated copy of the whole data folder beside it.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare);

// Every listed company's 2024 folder as a copy of its 2023 folder.
void CREO_NUOVO_ANNO(RunContext& ctx);

} // namespace rio
