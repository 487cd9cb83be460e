#pragma once

#include <QString>

namespace rio {

class RunContext;
class SafetyCopyAhead;

// Lists the companies whose old-year archive exists (ElencoAziende, NumAziende).
void CONTROLLO_AZIENDE(RunContext& ctx);

// One dated copy of the whole data folder beside it, made under a working
// name ("Copia_in_corso_...") and named Copia_dati_<ddmmyyyy>[_hhmmss][_n]
// once complete, on disk and verified; a failed copy is removed.
// record.safetyCopyVerified says whether the run may change any archive. A
// copy of the same folder begun before the check (begun, pending) is taken
// over instead of making another. A stop while copying raises Interrupted,
// the copy removed.
void COPIO_CARTELLA_SALVATAGGIO(RunContext& ctx, QString CartellaDaCopiare, SafetyCopyAhead* begun = nullptr);

// Removes what a run killed during its safety copy left under the root (a
// Windows path ending in "\\"): the folders under the working name, and
// what a killed rehearsal left (removeScratchLeftovers). Says so in an event
// line for each; one that cannot be removed is named as such. keep: the
// working folder of the copy under way, left alone. Raises nothing.
void removeUnfinishedCopies(RunContext& ctx, const QString& root, const QString& keep = {});

// Every listed company's new-year folder as a copy of its old-year folder.
void CREO_NUOVO_ANNO(RunContext& ctx);

} // namespace rio
