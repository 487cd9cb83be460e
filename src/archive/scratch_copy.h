#pragma once

#include <QString>

// The scratch copy a rehearsal works on: the folder ScratchFolderName, beside
// the data folder or in a folder the user names, holds a copy of the data
// folder as its own "dati", so that every path the steps form from it lands
// in the copy. Its name is neither a safety copy's nor an unfinished one's:
// the restore never lists it and a run never takes it for a copy.
namespace rio {

class RunContext;

inline constexpr auto ScratchFolderName = "Simulazione_in_corso";
// The file that makes a scratch folder this program's: only a folder that
// holds it (or nothing at all) is ever removed as a leftover.
inline constexpr auto ScratchSignName = "riapertura_simulazione.txt";
// In the installation's dati\Tmp while a rehearsal works: the Windows path
// of its scratch folder, so that the next run finds it after a kill even in
// a folder the user named.
inline constexpr auto ScratchMarkerName = "simulazione_in_corso.txt";

// The scratch folder in parent (a Windows path ending in "\").
QString scratchFolderIn(const QString& parent);

// What has a scratch folder's name: nothing; a leftover of this program's
// (its sign inside, or an empty folder); anything else (a file, a link even
// to nowhere, a folder of the user's). Reads names only.
enum class ScratchName { Free, Ours, Taken };
ScratchName scratchNameState(const QString& scratchFolder);

// Makes the scratch copy for the installation at root (a Windows path ending
// in "\"): the marker in root's dati\Tmp, the folder with its sign, then
// the data folder copied in as its "dati" with the file services' copy (the
// safety copy's), its progress shown as the safety copy's. The folder must be
// free. Raises the file services' errors (a link met is never followed);
// what was made stays for removeScratchCopy.
void makeScratchCopy(RunContext& ctx, const QString& root, const QString& scratchFolder);

// Removes the scratch folder, when it is this program's, and the marker.
// True when nothing is left of it. Raises nothing.
bool removeScratchCopy(const QString& root, const QString& scratchFolder);

// What a killed rehearsal left: the scratch folder beside the data folder,
// the one the marker names and alsoFolder (a scratch folder, when given),
// each removed when it is this program's, with an event line (or one that
// says it must be removed by hand). Raises nothing.
void removeScratchLeftovers(RunContext& ctx, const QString& root, const QString& alsoFolder = {});

} // namespace rio
