#pragma once

#include "run/preliminary_check.h"
#include "run/run.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Undoing a year opening: a safety copy put back in place of the data folder.
// The current data folder is never copied over: it is set aside by a rename,
// so that the data folder is always either the old one or the restored one.
namespace rio {

class Host;
class RunContext;
struct RunState;

// The names the restore gives to folders beside the data folder: the data
// folder set aside is its own name followed by this and yyyymmdd_hhmmss
// (dati_prima_del_ripristino_20261207_101500); the copy being put in place
// is made under the second name.
inline constexpr auto SetAsideSuffix = "_prima_del_ripristino_";
inline constexpr auto RestoreStagingFolder = "dati_ripristino_in_corso";

// The companies of a data folder, or of a copy of one (a Windows path), that
// have an old-year archive and already a new-year folder: a copy without any holds
// the data as they were before the year opening. Reads names only.
QList<int> companiesWithNewYear(const QString& dataFolder);

// What a data folder, or a copy of one, holds: "prima della riapertura", or
// "contiene già il <new year> (Azienda_1, Azienda_2)". Reads names only.
QString dataKindText(const QString& dataFolder);

// "Azienda_1, Azienda_3".
QString companyList(const QList<int>& found);

// How long ago: "5 minuti fa", "3 ore fa", "oggi" (the time unknown),
// "ieri", "12 giorni fa", "2 mesi fa", "1 anno fa".
QString ageText(const QDateTime& taken, bool timeKnown, const QDateTime& now);

// A safety copy found under the installation root.
struct SafetyCopy
{
    QString name;    // "Copia_dati_07122026" as it is on disk
    QString path;    // its Windows path, root + name
    QDateTime taken; // from the name; the time from the copy's files when the name has none
    bool timeKnown = false;
    qint64 bytes = 0; // its files, the manifest left out
    bool hasManifest = false;
    QList<int> opened; // companiesWithNewYear of the copy: empty, it undoes an opening

    bool beforeOpening() const { return opened.isEmpty(); }
    QString takenText() const; // "07/12/2026 10:15", or the date alone
    QString sizeText() const;  // "12,3 MB"
    QString ageText(const QDateTime& now = QDateTime::currentDateTime()) const;
    // "prima della riapertura", or "contiene già il <new year> (Azienda_1, Azienda_2)"
    QString kindText() const;
};

// The folders Copia_dati_* under the root (a Windows path ending in "\"),
// newest first; a link of that name is no copy and is left out. Reads names, times and sizes only; raises
// nothing: a root that cannot be read has no copies.
QList<SafetyCopy> listSafetyCopies(const QString& root);

// The copy a restore takes when none is named: the newest made before an
// opening (a later run's copy already holds the new-year archives and would not
// undo the opening); null when there is none.
const SafetyCopy* defaultSafetyCopy(const QList<SafetyCopy>& copies);

// The newest copy with its manifest (one a run finished), or null: the copy
// that is never removed.
const SafetyCopy* newestCompleteCopy(const QList<SafetyCopy>& copies);

// Removes the copy of that name (without regard to case) under the root, at
// the user's request once confirmed: never the newestCompleteCopy; under the
// installation lock, since a run or a restore may be reading it; a link is
// never followed (fs::RemoveFolder). Returns "" once removed, else why not
// (Italian, for a box); a removal that fails half-way says so.
QString removeSafetyCopy(const QString& root, const QString& name);

// What reading a copy back against its manifest found.
struct CopyCheck
{
    enum class State { Verified, NoManifest, Differs, Unreadable, Cancelled };
    State state = State::Unreadable;
    int files = 0;        // files listed in the manifest
    QStringList problems; // "path (contenuto diverso)", "path (non elencato nel manifesto)", or the error

    bool verified() const { return state == State::Verified; }
    // May be restored: verified, or without a manifest once the user confirms.
    bool restorable() const { return state == State::Verified || state == State::NoManifest; }
    QString text() const; // Italian, one line: "verificata (57 file)", "NON corrisponde al manifesto: ..."
};

// Reads every file of a copy back against copia_di_sicurezza.sha256: a file
// that is missing, differs, or is not listed makes it Differs. Touches no
// window: it may run on a worker thread. progress(done, total) reports bytes
// read; cancelled() is asked every few megabytes.
CopyCheck checkSafetyCopy(const QString& copyPath, const std::function<void(qint64, qint64)>& progress = {},
                          const std::function<bool()>& cancelled = {});

// The newest folder that a restore set aside under the root, or "" when none
// (a link of that name is none).
QString setAsideFolder(const QString& root);

// When a restore set that folder aside, from its name; invalid for any other name.
QDateTime setAsideTime(const QString& folder);

// A restore killed between setting the data folder aside and putting the
// restored one in its place leaves no data folder: says so and offers to put
// the set-aside one back (Yes/No, default No, never answered for the user:
// Buttons::YesNoExplicit). Removes what such a restore left half copied,
// unless a link stands there (the check names it). Returns whether the data folder is there. Raises the file
// services' errors.
bool offerToPutBackDataFolder(RunContext& ctx, const QString& root);

// Restores a safety copy (by name, without regard to case; when empty the
// defaultSafetyCopy, and none is refused) in place of the data folder of the root the window's choices
// settle: the copy is read back against its manifest (a copy without one
// only after the user confirms that it cannot be verified, in a box of
// Buttons::YesNoExplicit, or said so beforehand, Host::
// unverifiableCopyAccepted; one that does not match is refused), the check refuses when an archive is in use,
// the root cannot be written or the space is short, and a Yes/No box (default No) says what is replaced and
// where the current folder goes. Then the copy is copied beside the data folder and compared with the
// manifest as it goes, the data folder is renamed dati_prima_del_ripristino_<stamp>, its Tmp (logs, reports)
// is carried into the copy, and the copy takes the name of the data folder. Any failure before that puts the
// old data folder back. NotStarted: refused or not confirmed, nothing changed; Done: restored;
// DoneWithErrors: failed, the data folder is the one before the restore.
// options.freeBytes stands for the free space in tests.
RunOutcome restoreSafetyCopy(RunContext& ctx, const QString& copyName = {},
                             const PreliminaryOptions& options = {});

// Undoes the last restore: the newest folder a restore set aside
// (setAsideFolder) takes the data folder's place again, and the data folder
// is set aside in turn under a new name, so that undoing again goes back
// (nothing is deleted). Two renames under the installation lock, after the
// check (an archive in use, a link on the way, a root that cannot be written)
// and a Yes/No box (default No) that says which folder goes where and what
// each holds; nothing is written into either folder, not even the log: each
// comes back byte for byte. With the data folder missing (a restore killed
// between its renames) the set-aside folder is put back alone. NotStarted:
// nothing set aside, refused or not confirmed; Done; DoneWithErrors: a
// rename failed, the data folder put back where it was when possible (the
// box says where it is).
RunOutcome undoLastRestore(RunContext& ctx);

} // namespace rio
