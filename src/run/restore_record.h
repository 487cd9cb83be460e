#pragma once

#include "run/preliminary_check.h"
#include "run/restore.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

// What the restore shares between its files: the check before it and its
// report.
namespace rio {

class InstallationLock;
class RunContext;

// One phase of a restore, with its wall time.
struct RestorePhase
{
    QString name;
    qint64 milliseconds = 0;
    bool ok = true;
};

// What one restore did, for its report.
struct RestoreRecord
{
    QDateTime started;
    QString root;
    QString dataFolder; // Windows path of the data folder
    SafetyCopy copy;
    CopyCheck check;
    int filesCopied = 0;
    QString setAside; // where the data folder went ("" when it never moved)
    bool tmpCarried = false;
    QList<RestorePhase> phases;
    bool restored = false;
    QString outcome; // the final line
};

// A restore or an undo starts from nothing the last run held open: the
// root and the workgroup the window's choices settle, then the
// installation's lock, held by the caller to its end. Null when another run
// or restore holds it (the refusal is already shown). Raises what settling
// the root raises.
std::unique_ptr<InstallationLock> startRestoreWork(RunContext& ctx);

// The data folder's own name, then SetAsideSuffix and the time (a second
// after the newest set-aside folder's when the clock is behind it): a name
// under the root not yet taken by anything, a link to nowhere included, that
// setAsideFolder finds as the newest.
QString freeSetAsideName(const QString& root, const QString& dataName, const QDateTime& now);

// The check before a restore, silent: an archive under the data folder in
// use, a root that cannot be written, too little space for the copy, no data
// folder, a link the restore would meet (see checkLinks). On an ERRORE the lines go to the event list, one
// box lists them, and false is returned: nothing has changed.
bool checkBeforeRestoring(RunContext& ctx, const SafetyCopy& copy, const PreliminaryOptions& options);
// The same before the last restore is undone, which copies nothing: no
// space is needed, and a data folder an interrupted restore left missing is
// no refusal.
bool checkBeforeUndoing(RunContext& ctx);

// Reads the copy back against its manifest (record.check); a copy without
// one is restored only when the user confirms. False when refused or not
// confirmed (a box has said why); nothing is written either way.
bool verifyBeforeRestoring(RunContext& ctx, RestoreRecord& record);

// The last word before anything changes, a Yes/No box whose default is No:
// what is replaced, where the current data folder goes.
bool confirmRestore(RunContext& ctx, const RestoreRecord& record, const QString& setAside);

// The restore once confirmed: the copy is copied beside the data folder and
// compared with its manifest, the data folder is renamed setAside, its Tmp is
// carried into the copy, and the copy takes the data folder's name; any
// failure before that last rename puts the data folder back. Ends with the
// closing box and the report.
RunOutcome runConfirmedRestore(RunContext& ctx, RestoreRecord& record, const QString& setAside);

// Writes dati\tmp\ripristino_<yyyymmdd_hhmmss>.html under the root and
// returns its Windows path, or "" (with an event line) when it could not be
// written.
QString writeRestoreReport(RunContext& ctx, const RestoreRecord& record);

// The box that refuses a restore (or what refused says is refused), with
// what was found; nothing has changed.
inline const QString UndoRefused = QStringLiteral("Impossibile annullare l'ultimo ripristino");
RunOutcome refuseRestore(RunContext& ctx, const QStringList& reasons, const QString& refused = {});

// A restore stopped at the front end's request (Interrupted). On its way out
// the restore put the data folder back and removed its copy, as for a
// failure: one line says where the data folder stands, in the log too (open
// again when it was closed while the folder moved), and the log is closed.
RunOutcome restoreInterrupted(RunContext& ctx, const RestoreRecord& record);

} // namespace rio
