#pragma once

#include <QString>
#include <QStringList>

namespace rio::cli {

// The choices of a console run; they mirror the window's.
struct CliOptions
{
    bool server = false;       // cmbSorgente = SERVER
    bool zetaFolder = false;   // chkSplus
    bool log = true;           // chklog
    QString driveC;            // folder that stands for C: (empty: the default)
    bool yes = false;          // answers the confirmation
    bool timings = false;      // step times on standard error
    bool check = false;        // only the check before the run, writing nothing
    bool quiet = false;        // only boxes, errors and the closing lines
    bool listCopies = false;   // only the list of the safety copies, each read back
    bool restore = false;      // restores a safety copy instead of the run
    QString restoreCopy;       // its name; empty: the newest made before an opening
    bool undoRestore = false;  // undoes the last restore instead of the run
    bool unverifiable = false; // a copy without a manifest may be restored (--yes alone never does)
    bool json = false;         // one JSON object on standard output, every line on standard error
    bool rehearsal = false;    // the whole run on a scratch copy of the data folder, then removed
    QString rehearsalFolder;   // where that copy goes, as given (empty: beside the data folder)
    QList<int> companies;      // --aziende: the slots to open, ascending; empty: every company
};

struct ParsedOptions
{
    CliOptions options;
    bool ok = false;
    bool helpShown = false; // --help / --version: print text and stop
    QString text;           // the error, or the help or version text
};

// Reads the command line (arguments[0] is the program). A mistake gives one
// Italian line ending with "usare --help"; --help, --help-all and --version
// give their text with helpShown set, and nothing runs.
ParsedOptions parseOptions(const QStringList& arguments);

// The command line that runs again what arguments ran (arguments[0] is the
// program, as typed), for the companies given only: every argument kept
// except --aziende, then "--aziende 2,5"; an argument the shell would split
// or read is quoted.
QString commandLineFor(const QStringList& arguments, const QList<int>& companies);

} // namespace rio::cli
