#pragma once

#include "child_process.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <functional>

// The points where the crash tests kill a run: the system calls of one
// uninterrupted run, read from its strace output, and the calls chosen among
// them; then a run killed at one of them.

// A pattern matched without regard to case, as the product's paths are.
QRegularExpression pattern(const QString& text);

// One system call of such a trace.
struct Call
{
    qint64 pid = 0;
    QString name;
    QString path; // the file, relative to the drive, run timestamps as '*'; a copy's: the one written
    QString args; // what follows the file
    QString result;
    int index = 0;       // its number among this thread's calls of this name
    int indexOnFile = 0; // the same among those on its file (as strace -P counts them)
    // The process died while strace wrote the call out: its arguments may
    // stop short (strace leaves the line so when another thread ends first).
    bool cut = false;

    // Names one file of the drive, with no run timestamp: a kill can count
    // only the calls on that file, which the commits' worker thread shares
    // with the thread that writes the journal.
    bool onOneFile() const
    {
        return !path.isEmpty() && !path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1Char('*')) &&
               !path.contains(QLatin1Char('"'));
    }

    bool is(const QString& n) const { return name == n; }
    // Puts bytes into its file: a write, or a copy inside the kernel that
    // copied some (the last call of such a copy finds the end).
    bool writes() const
    {
        return is(QStringLiteral("write")) ||
               (is(QStringLiteral("copy_file_range")) && result != QLatin1String("0"));
    }
    bool syncs() const { return is(QStringLiteral("fsync")) || is(QStringLiteral("fdatasync")); }
    // Its path is then "from\", \"to".
    bool renames() const
    {
        return is(QStringLiteral("rename")) || is(QStringLiteral("renameat")) ||
               is(QStringLiteral("renameat2"));
    }
    bool in(const QRegularExpression& re) const { return re.match(path).hasMatch(); }
    // What a second run must repeat to be at the same place: the page of a
    // database write, the text of a log line (other contents hold the clock).
    QString signature() const;
};

// The calls of a trace written by strace -f -y (see traced()), finished or
// cut short ("?" as the result, the line maybe left unfinished), in order; paths under the drive are made
// relative to it (both of a rename's). Empty when the file cannot be read.
QList<Call> readTrace(const QString& file, const QString& drive);

// The files and folders under a folder on disk, relative to it, the folder
// itself as "": what a sync must have reached.
QStringList treeEntries(const QString& folder);

// The entries (relative to tracedAs, the tree's path as the trace names it)
// that no fsync or fdatasync before position `before` reached after their
// last write before it: what a power cut at `before` could lose.
QStringList unsyncedBefore(const QList<Call>& trace, const QString& tracedAs, const QStringList& entries,
                           int before);

// The positions in the trace of the calls that match, from position from on.
QList<int> callsWhere(const QList<Call>& trace, const std::function<bool(const Call&)>& match, int from = 0);

// strace counts each thread's calls: true when no other thread makes as many
// calls of the call's name (on its file, when it names one), so that its
// number names it alone.
bool aloneAtItsNumber(const QList<Call>& trace, const Call& call);

// A point where the run is killed: the call is never carried out.
struct KillPoint
{
    QString label;
    Call call;
    // The first call of its name on its file in the whole run: another
    // thread may reach the same number, but only after it.
    bool firstOnItsFile = false;
};

// Chooses the kill points from the trace of one uninterrupted run over as
// many companies as given, each with that many commits of open items: the
// safety copy (a write, its rename), the new-year copy, the start of every
// step, a page write of every commit into an archive, the first write and the
// first sync of every old-year journal, two new-year journals half written and the
// verification report. pointBeforeSecondRun is the one of the first company's
// first commit of open items. A point the trace lacks, or a call another
// thread could reach with the same number, fails the current test (QVERIFY)
// with the points chosen so far left in points.
void selectKillPoints(const QList<Call>& trace, int companies, int openItemCommits, QList<KillPoint>& points,
                      int& pointBeforeSecondRun);

// Each point a row of the current data-driven test (column "point", its
// index), and a line of the test's output.
void addKillPointRows(const QList<KillPoint>& points);
void showKillPoints(const QList<KillPoint>& points);

// Runs the year opening (or the console with the arguments given) on the
// drive killed at the point (its number counted on its file when it names
// one), and checks (QVERIFY) that it died there, at the same call of the same
// thread.
void killAt(const QString& drive, const KillPoint& point,
            const QStringList& cliArguments = {QStringLiteral("--yes")});

// Runs the console on the drive with SIGINT delivered as the point's call
// starts (the call itself goes on), and again at every later call of that
// name on the same file when again is set; returns how it ended.
Outcome interruptAt(const QString& drive, const KillPoint& point, bool again,
                    const QStringList& cliArguments = {QStringLiteral("--yes")});
