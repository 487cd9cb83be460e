#pragma once

#include <QString>

namespace rio {

class RunContext;

// Lists the companies whose old-year archive exists (ElencoAziende, NumAziende).
void CONTROLLO_AZIENDE(RunContext& ctx);

// One dated copy of the whole data folder beside it, made under a working
// name ("Copia_in_corso_...") and named Copia_dati_<ddmmyyyy>[_hhmmss][_n]
// once complete, on disk and verified; a failed copy is removed.
// record.safetyCopyVerified says whether the run may change any archive.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare);

// Removes what a run killed during its safety copy left under the root (a
// Windows path ending in "\\"): the folders under the working name, and
// what a killed rehearsal left (removeScratchLeftovers). Says so in an event
// line for each; one that cannot be removed is named as such. Raises nothing.
void removeUnfinishedCopies(RunContext& ctx, const QString& root);

// Every listed company's new-year folder as a copy of its old-year folder.
void CREO_NUOVO_ANNO(RunContext& ctx);

} // namespace rio
