#pragma once

#include "run/run.h"

#include <QString>

// The rehearsal of the year opening ("Simulazione"): the whole run, after the
// same check of the installation, on a scratch copy of its data folder
// (archive/scratch_copy.h), made beside it or in a folder the user names.
// The verification report and its spreadsheets go to the installation's own
// dati\Tmp as simulazione_Riapertura_<year>_<stamp>.*, then the copy is
// removed, also when the run is stopped or fails. No safety copy is made
// (nothing of the installation changes, so there is nothing to protect) and
// no log written: the installation's archives, log and copies stay as they
// were, byte for byte.
namespace rio {

// What the run does differently when it rehearses; the run calls it at
// each of those points.
class Rehearsal
{
public:
    // folder: the Windows path of the folder the scratch copy goes in (made
    // when absent, its parent must exist); empty: beside the data folder.
    explicit Rehearsal(QString folder = {});
    // A scratch copy still there is removed, every error ignored.
    ~Rehearsal();
    Rehearsal(const Rehearsal&) = delete;
    Rehearsal& operator=(const Rehearsal&) = delete;

    // The box that says what a rehearsal does and asks whether to go on
    // (the users should be disconnected: the copy is taken as the data lie).
    bool confirm(RunContext& ctx);

    // Before anything is written, for the installation at root (read as the
    // run reads it): the folder named is no link, no file, not inside the
    // data folder, and empty (but for a scratch folder a killed rehearsal
    // left); the scratch folder's name is free or such a leftover. Refused:
    // an error line and a box that say why and that nothing was changed;
    // false. A root that cannot be read is left to the check.
    bool accepted(RunContext& ctx);

    // The folder the scratch copy goes in (a Windows path ending in "\"),
    // once accepted.
    const QString& parent() const { return m_parent; }

    // After the check, with the installation's layout settled: what killed
    // rehearsals left is removed, the scratch copy made, PercorsoBase moved
    // onto it and the record told. Raises the file services' errors.
    void start(RunContext& ctx);

    // The scratch copy removed (the run's objects on it released first, and
    // PercorsoBase back on the installation), with a line that says so or
    // that it must be removed by hand. Raises nothing.
    void finish(RunContext& ctx);

private:
    bool refuse(RunContext& ctx, const QString& why);

    QString m_folder;
    QString m_root;
    QString m_parent;
    QString m_scratch; // set once start() may have written it
};

// The rehearsal behind "Simula..." and riapertura-cli --simulazione: the
// run's outcomes, confirmation, lock and check; folder as Rehearsal's.
RunOutcome rehearseYearOpening(RunContext& ctx, const QString& folder = {});

// The run behind ESEGUI (rehearsal null) or a rehearsal.
RunOutcome openNewYear(RunContext& ctx, Rehearsal* rehearsal);

} // namespace rio
