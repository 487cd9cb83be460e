#include "crash_points.h"
#include "support/years.h"

#include "child_process.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <functional>

QRegularExpression pattern(const QString& text)
{
    return QRegularExpression(text, QRegularExpression::CaseInsensitiveOption);
}

QString Call::signature() const
{
    static const QRegularExpression sizeAndOffset(QStringLiteral(R"(, (\d+, \d+)$)"));
    static const QRegularExpression log = pattern(QStringLiteral("/tmp/log_[^/]*$"));
    QString s = name + QLatin1Char(' ') + path;
    if (is(QStringLiteral("pwrite64")))
        s += QLatin1Char(' ') + sizeAndOffset.match(args).captured(1);
    else if (in(log))
        s += QLatin1Char(' ') + args;
    return s;
}

QList<Call> readTrace(const QString& file, const QString& drive)
{
    static const QRegularExpression done(QStringLiteral(R"(^(\d+)\s+(\w+)\((.*)\) += (.*)$)"));
    static const QRegularExpression unfinished(
        QStringLiteral(R"(^(\d+)\s+(\w+)\((.*) <unfinished \.\.\.>$)"));
    static const QRegularExpression cutShort(QStringLiteral(R"(^(\d+)\s+(\w+)\((.*)$)"));
    static const QRegularExpression resumed(QStringLiteral(R"(^(\d+)\s+<\.\.\. (\w+) resumed>.* += (.*)$)"));
    static const QRegularExpression fd(QStringLiteral(R"(^\d+<(.*?)>(?:, (.*))?$)"));
    // copy_file_range(in, offset, out, offset, length, flags)
    static const QRegularExpression copyTo(QStringLiteral(R"(^\d+<(.*?)>, \w+, \d+<(.*?)>, (.*)$)"));
    static const QRegularExpression name(QStringLiteral(R"re(^"(.*)"$)re"));
    static const QRegularExpression stamp(QStringLiteral(R"(\d{8}_\d{6})"));
    QList<Call> calls;
    QHash<QString, int> counted;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return calls;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        // Another thread's call came between: the result of an unfinished call.
        if (const auto r = resumed.match(line); r.hasMatch()) {
            const qint64 pid = r.captured(1).toLongLong();
            for (qsizetype i = calls.size() - 1; i >= 0; --i)
                if (calls[i].pid == pid) {
                    if (calls[i].name == r.captured(2) && calls[i].result.isEmpty())
                        calls[i].result = r.captured(3);
                    break;
                }
            continue;
        }
        QRegularExpressionMatch m = done.match(line);
        if (!m.hasMatch())
            m = unfinished.match(line);
        bool cut = false;
        if (!m.hasMatch()) {
            m = cutShort.match(line);
            cut = m.hasMatch();
        }
        if (!m.hasMatch())
            continue;
        Call c;
        c.pid = m.captured(1).toLongLong();
        c.name = m.captured(2);
        c.result = cut ? QStringLiteral("?") : m.captured(4);
        c.cut = cut;
        const QString args = m.captured(3);
        QString alsoOn; // a copy's source: strace -P counts the call there too
        if (const auto copied = copyTo.match(args); copied.hasMatch()) {
            alsoOn = copied.captured(1);
            c.path = copied.captured(2);
            c.args = copied.captured(3);
        } else if (const auto byFd = fd.match(args); byFd.hasMatch()) {
            c.path = byFd.captured(1);
            c.args = byFd.captured(2);
        } else {
            c.path = name.match(args).captured(1);
        }
        // Both names of a rename are relative to the drive.
        c.path.replace(drive + QLatin1Char('/'), QString());
        c.path.replace(stamp, QStringLiteral("*"));
        const QString thread = QString::number(c.pid) + c.name;
        c.index = ++counted[thread];
        c.indexOnFile = ++counted[thread + QLatin1Char('>') + c.path];
        if (!alsoOn.isEmpty())
            ++counted[thread + QLatin1Char('>') + alsoOn.replace(drive + QLatin1Char('/'), QString())];
        calls << c;
    }
    return calls;
}

QStringList treeEntries(const QString& folder)
{
    QStringList entries{QString()};
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    return entries;
}

QStringList unsyncedBefore(const QList<Call>& trace, const QString& tracedAs, const QStringList& entries,
                           int before)
{
    static const QRegularExpression stamp(QStringLiteral(R"(\d{8}_\d{6})"));
    QHash<QString, bool> synced; // the entry's path in lower case -> synced since its last write
    for (const QString& e : entries)
        synced.insert(QString(e.isEmpty() ? tracedAs : tracedAs + QLatin1Char('/') + e)
                          .replace(stamp, QStringLiteral("*"))
                          .toLower(),
                      false);
    for (int i = 0; i < std::min<qsizetype>(before, trace.size()); ++i) {
        const auto it = synced.find(trace[i].path.toLower());
        if (it == synced.end())
            continue;
        if (trace[i].syncs())
            *it = true;
        else if (trace[i].writes())
            *it = false;
    }
    QStringList missing;
    for (const QString& e : entries)
        if (!synced.value(QString(e.isEmpty() ? tracedAs : tracedAs + QLatin1Char('/') + e)
                              .replace(stamp, QStringLiteral("*"))
                              .toLower()))
            missing << (e.isEmpty() ? QStringLiteral("(the folder itself)") : e);
    return missing;
}

QList<int> callsWhere(const QList<Call>& trace, const std::function<bool(const Call&)>& match, int from)
{
    QList<int> found;
    for (int i = from; i < trace.size(); ++i)
        if (match(trace[i]))
            found << i;
    return found;
}

bool aloneAtItsNumber(const QList<Call>& trace, const Call& call)
{
    return std::none_of(trace.begin(), trace.end(), [&](const Call& c) {
        if (c.pid == call.pid || c.name != call.name)
            return false;
        return call.onOneFile() ? c.path == call.path && c.indexOnFile == call.indexOnFile
                                : c.index == call.index;
    });
}

void addKillPointRows(const QList<KillPoint>& points)
{
    QTest::addColumn<int>("point");
    for (int i = 0; i < points.size(); ++i)
        QTest::newRow(qPrintable(points[i].label)) << i;
}

void showKillPoints(const QList<KillPoint>& points)
{
    qInfo("%d kill points (system call, its number among the thread's calls of it, on its file when it "
          "names one):",
          int(points.size()));
    for (const KillPoint& p : points)
        qInfo("  %s: %s #%d %s", qPrintable(p.label), qPrintable(p.call.name),
              p.call.onOneFile() ? p.call.indexOnFile : p.call.index, qPrintable(p.call.path));
}

namespace {

// One transaction of an archive in rollback-journal mode: the journal
// writes before its first sync, then the page writes into the database.
struct Commit
{
    QList<int> journalBeforeSync;
    int journalSync = -1; // the first: it writes the header's magic
    QList<int> pageWrites;
};

QMap<QString, QList<Commit>> commitsByArchive(const QList<Call>& calls)
{
    static const QRegularExpression journal(QStringLiteral("-journal$"));
    QMap<QString, QList<Commit>> commits;
    QMap<QString, Commit> open;
    QSet<QString> synced;
    for (int i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        QString archive = c.path.toLower();
        const bool toJournal = archive.endsWith(QLatin1String("-journal"));
        archive.remove(journal);
        if (!archive.endsWith(QLatin1String("/dati.mdb")))
            continue;
        if (c.is(QStringLiteral("pwrite64")) && toJournal) {
            if (!open.contains(archive))
                synced.remove(archive);
            if (!synced.contains(archive))
                open[archive].journalBeforeSync << i;
        } else if (c.syncs() && toJournal && open.contains(archive)) {
            if (!synced.contains(archive))
                open[archive].journalSync = i;
            synced.insert(archive);
        } else if (c.is(QStringLiteral("pwrite64")) && synced.contains(archive) && open.contains(archive)) {
            open[archive].pageWrites << i;
        } else if (c.is(QStringLiteral("unlink")) && toJournal && open.contains(archive)) {
            commits[archive] << open.take(archive);
        }
    }
    return commits;
}

} // namespace

void selectKillPoints(const QList<Call>& trace, int companies, int openItemCommits, QList<KillPoint>& points,
                      int& pointBeforeSecondRun)
{
    const auto addPoint = [&](const QString& label, int call) {
        points.append({label, trace[call]});
    };
    const auto first = [&](int from, const std::function<bool(const Call&)>& match) {
        return callsWhere(trace, match, std::max(from, 0)).value(0, -1);
    };

    const auto write = QStringLiteral("write");
    const auto copy = pattern(QStringLiteral("(^|/)(copia_in_corso_)?copia_dati_[^/]*/"));
    const auto log = pattern(QStringLiteral("/tmp/log_[^/]*$"));
    const auto archiveFile = pattern(QStringLiteral("/dati\\.mdb$"));
    const auto newYear = pattern(years::fill(QStringLiteral("/esercizi/azienda_\\d+/{new}/")));
    const auto reportFile =
        pattern(years::fill(QStringLiteral("/verifica_riapertura_{new}_[^/]*\\.html(\\.parziale)?$")));

    const int safetyCopy =
        first(0, [&](const Call& c) { return c.writes() && c.in(copy) && c.in(archiveFile); });
    QVERIFY2(safetyCopy >= 0, "no write of an archive into the safety copy");
    addPoint(QStringLiteral("safety copy: archive of the first company"), safetyCopy);
    // Complete, synced and verified, but still under its working name.
    const auto unfinished = pattern(QStringLiteral("/copia_in_corso_[^/]*\", \""));
    const int copyNamed = first(safetyCopy, [&](const Call& c) { return c.renames() && c.in(unfinished); });
    QVERIFY2(copyNamed >= 0, "no rename of the safety copy to its dated name");
    addPoint(QStringLiteral("safety copy: its rename to the dated name"), copyNamed);

    const int firstPage =
        first(0, [&](const Call& c) { return c.is(QStringLiteral("pwrite64")) && c.in(newYear); });
    int newYearCopy = -1;
    for (int i = 0; i < firstPage; ++i)
        if (trace[i].writes() && trace[i].in(newYear) && !trace[i].in(copy) && trace[i].in(archiveFile))
            newYearCopy = i;
    QVERIFY2(newYearCopy >= 0, "no file copy into a new-year folder before its first page write");
    addPoint(QStringLiteral("new-year copy: archive of the last company"), newYearCopy);

    const auto logLine = [&](int from, const QString& caption) {
        return first(from, [&](const Call& c) {
            return c.is(write) && c.in(log) && !c.in(copy) && c.args.contains(caption);
        });
    };
    const struct
    {
        const char* caption;
        const char* step;
    } common[] = {{"backup di sicurezza degli archivi in corso...", "safety copy"},
                  {"creazione nuovi archivi in corso...", "new-year copy"}},
      perCompany[] = {{"sto inizializzando il nuovo archivio...", "initialisation"},
                      {"sto creando i movimenti di magazzino nel nuovo db", "opening stock"},
                      {"sto creando i movimenti contabili...", "open items"}};
    for (const auto& step : common) {
        const int line = logLine(0, QLatin1String(step.caption));
        QVERIFY2(line >= 0, step.caption);
        addPoint(QStringLiteral("start of step: %1").arg(QLatin1String(step.step)), line);
    }

    const QMap<QString, QList<Commit>> commits = commitsByArchive(trace);
    const auto middle = [](const QList<int>& calls) {
        return calls.value(calls.size() / 2, -1);
    };
    for (int n = 1; n <= companies; ++n) {
        const QString company = QStringLiteral("Azienda_%1").arg(n);
        const int start = logLine(0, QStringLiteral("ripristino magazzino azienda n. %1 in corso...").arg(n));
        QVERIFY2(start >= 0, qPrintable(company + QStringLiteral(": no first step")));
        addPoint(company + years::fill(QStringLiteral(" start of step: {old} stock recomputation")), start);
        for (const auto& step : perCompany) {
            const int line = logLine(start, QLatin1String(step.caption));
            QVERIFY2(line >= 0, step.caption);
            addPoint(company + QStringLiteral(" start of step: ") + QLatin1String(step.step), line);
        }

        const auto archive = [&](int year) {
            const QString suffix = QStringLiteral("/esercizi/azienda_%1/%2/dati.mdb").arg(n).arg(year);
            for (auto it = commits.begin(); it != commits.end(); ++it)
                if (it.key().endsWith(suffix) && !it.key().contains(QLatin1String("copia_dati_")))
                    return *it;
            return QList<Commit>();
        };
        const QList<Commit> old = archive(years::Old);
        QVERIFY2(
            old.size() == 1,
            qPrintable(company + years::fill(QStringLiteral(": commits into {old}: %1")).arg(old.size())));
        QVERIFY2(middle(old[0].pageWrites) >= 0, "old-year commit without page writes");
        // Before the journal's first sync its header is still zero: a journal
        // the engine never plays back. Its very first write comes before any
        // other thread's on the journal (the statement and the commit take
        // the connection in turn), so strace stops there whichever thread
        // makes it.
        QVERIFY2(!old[0].journalBeforeSync.isEmpty() && old[0].journalSync >= 0,
                 "old-year journal without a write before its first sync");
        const int unsyncedWrite = old[0].journalBeforeSync.first();
        QVERIFY2(callsWhere(
                     trace,
                     [&](const Call& c) {
                         return c.name == trace[unsyncedWrite].name && c.path == trace[unsyncedWrite].path;
                     }).first() == unsyncedWrite &&
                     trace[unsyncedWrite].indexOnFile == 1,
                 "a write on the old-year journal before its first write");
        points.append({company + years::fill(QStringLiteral(" {old} commit: first journal write")),
                       trace[unsyncedWrite], true});
        addPoint(company + years::fill(QStringLiteral(" {old} commit: first journal sync")),
                 old[0].journalSync);
        addPoint(company + years::fill(QStringLiteral(" {old} commit: page write")),
                 middle(old[0].pageWrites));

        const QList<Commit> year = archive(years::New);
        QVERIFY2(
            year.size() == 3 + openItemCommits,
            qPrintable(company + years::fill(QStringLiteral(": commits into {new}: %1")).arg(year.size())));
        const QStringList names{QStringLiteral("initialisation"), QStringLiteral("opening stock"),
                                QStringLiteral("stock recomputation")};
        for (int i = 0; i < year.size(); ++i) {
            const QString commit = company + years::fill(QStringLiteral(" {new} ")) +
                                   names.value(i, QStringLiteral("open items %1").arg(i - 2)) +
                                   QStringLiteral(" commit: ");
            QVERIFY2(middle(year[i].pageWrites) >= 0, qPrintable(commit + QStringLiteral("no page write")));
            addPoint(commit + QStringLiteral("page write"), middle(year[i].pageWrites));
            if (i == 3 && n == 1)
                pointBeforeSecondRun = int(points.size()) - 1;
            // A journal half written: once at the first commit, once at the last.
            if ((n == 1 && i == 0) || (n == companies && i == year.size() - 1)) {
                QVERIFY2(middle(year[i].journalBeforeSync) >= 0,
                         qPrintable(commit + QStringLiteral("no journal")));
                addPoint(commit + QStringLiteral("journal write before its sync"),
                         middle(year[i].journalBeforeSync));
            }
        }
    }

    const int report = first(0, [&](const Call& c) { return c.is(write) && c.in(reportFile); });
    QVERIFY2(report >= 0, "no write of the verification report");
    addPoint(QStringLiteral("verification report"), report);

    for (const KillPoint& p : std::as_const(points))
        QVERIFY2(p.firstOnItsFile || aloneAtItsNumber(trace, p.call),
                 qPrintable(p.label + QStringLiteral(": another thread makes as many calls")));
}

Outcome interruptAt(const QString& drive, const KillPoint& point, bool again, const QStringList& cliArguments)
{
    const bool onFile = point.call.onOneFile();
    const int number = onFile ? point.call.indexOnFile : point.call.index;
    return traced(
        drive,
        {QStringLiteral("trace=") + point.call.name, QStringLiteral("inject=%1:signal=SIGINT:when=%2%3")
                                                         .arg(point.call.name)
                                                         .arg(number)
                                                         .arg(again ? QStringLiteral("+") : QString())},
        cliArguments, onFile ? drive + QLatin1Char('/') + point.call.path : QString());
}

void killAt(const QString& drive, const KillPoint& point, const QStringList& cliArguments)
{
    const bool onFile = point.call.onOneFile();
    const int number = onFile ? point.call.indexOnFile : point.call.index;
    const Outcome killed =
        traced(drive,
               {QStringLiteral("trace=") + point.call.name,
                QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(point.call.name).arg(number)},
               cliArguments, onFile ? drive + QLatin1Char('/') + point.call.path : QString());
    QVERIFY2(killed.status == QProcess::CrashExit,
             qPrintable(QStringLiteral("not killed: ") + killed.gist()));
    const QList<Call> calls = readTrace(drive + QStringLiteral(".trace"), drive);
    const auto last = std::find_if(calls.begin(), calls.end(),
                                   [](const Call& c) { return c.result == QLatin1String("?"); });
    QVERIFY2(last != calls.end(), "no call cut short in the trace of the killed run");
    // Only the calls on the file were traced: counted as strace counted them.
    const bool same = last->cut ? last->name == point.call.name && last->path == point.call.path
                                : last->signature() == point.call.signature();
    QVERIFY2(last->index == number && same, qPrintable(QStringLiteral("killed at %1 #%2, expected %3 #%4")
                                                           .arg(last->signature())
                                                           .arg(last->index)
                                                           .arg(point.call.signature())
                                                           .arg(number)));
}
