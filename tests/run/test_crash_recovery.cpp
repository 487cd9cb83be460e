// A year opening killed at any write and then run again leaves exactly what
// an uninterrupted run leaves; two runs the same day keep both safety copies.
// Drives the built riapertura-cli on demo installations and kills it with
// strace at writes chosen from the trace of one uninterrupted run.
#include "archive_dump.h"
#include "child_process.h"
#include "support/test_install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

// Small enough for a quick run, with two commits of open items per company
// (the carry-forward commits every 1,000 items).
const QStringList DemoSize{QStringLiteral("--companies"),  QStringLiteral("2"),
                           QStringLiteral("--articles"),   QStringLiteral("40"),
                           QStringLiteral("--movements"),  QStringLiteral("200"),
                           QStringLiteral("--open-items"), QStringLiteral("1500"),
                           QStringLiteral("--seed"),       QStringLiteral("7")};
constexpr int Companies = 2;
constexpr int OpenItemCommits = 2;
const QString ManifestName = QStringLiteral("copia_di_sicurezza.sha256");

QRegularExpression pattern(const QString& text)
{
    return QRegularExpression(text, QRegularExpression::CaseInsensitiveOption);
}

// One system call of such a trace.
struct Call
{
    qint64 pid = 0;
    QString name;
    QString path; // the file, relative to the drive, run timestamps as '*'
    QString args; // what follows the file
    QString result;
    int index = 0; // its number among this thread's calls of this name

    bool is(const QString& n) const { return name == n; }
    bool syncs() const { return is(QStringLiteral("fsync")) || is(QStringLiteral("fdatasync")); }
    bool in(const QRegularExpression& re) const { return re.match(path).hasMatch(); }
    // What a second run must repeat to be at the same place: the page of a
    // database write, the text of a log line (other contents hold the clock).
    QString signature() const
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
};

QList<Call> readTrace(const QString& file, const QString& drive)
{
    static const QRegularExpression done(QStringLiteral(R"(^(\d+)\s+(\w+)\((.*)\) += (.*)$)"));
    static const QRegularExpression unfinished(
        QStringLiteral(R"(^(\d+)\s+(\w+)\((.*) <unfinished \.\.\.>$)"));
    static const QRegularExpression fd(QStringLiteral(R"(^\d+<(.*?)>(?:, (.*))?$)"));
    static const QRegularExpression name(QStringLiteral(R"re(^"(.*)"$)re"));
    static const QRegularExpression stamp(QStringLiteral(R"(\d{8}_\d{6})"));
    QList<Call> calls;
    QHash<QString, int> counted;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return calls;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        QRegularExpressionMatch m = done.match(line);
        if (!m.hasMatch())
            m = unfinished.match(line);
        if (!m.hasMatch())
            continue;
        Call c;
        c.pid = m.captured(1).toLongLong();
        c.name = m.captured(2);
        c.result = m.captured(4);
        const QString args = m.captured(3);
        if (const auto byFd = fd.match(args); byFd.hasMatch()) {
            c.path = byFd.captured(1);
            c.args = byFd.captured(2);
        } else {
            c.path = name.match(args).captured(1);
        }
        if (c.path.startsWith(drive + QLatin1Char('/')))
            c.path = c.path.mid(drive.size() + 1);
        c.path.replace(stamp, QStringLiteral("*"));
        c.index = ++counted[QString::number(c.pid) + c.name];
        calls << c;
    }
    return calls;
}

// A point where the run is killed: the call is never carried out.
struct KillPoint
{
    QString label;
    Call call;
};

// One transaction of an archive in rollback-journal mode: the journal
// writes before its first sync, then the page writes into the database.
struct Commit
{
    QList<int> journalBeforeSync;
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

class TestCrashRecovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_base;
    QString m_template;
    int m_drives = 0;
    QList<Call> m_trace;
    QList<KillPoint> m_points;
    int m_pointBeforeSecondRun = -1;
    QMap<QString, Dump> m_expected; // archive, relative to the drive -> its dump

    // A copy of the pristine installation. Every drive path has the same
    // length, so that the console's output takes as many writes in every run.
    QString freshDrive()
    {
        const QString drive = m_base + QStringLiteral("/drive_%1").arg(m_drives++, 3, 10, QLatin1Char('0'));
        if (!run(QStringLiteral("cp"), {QStringLiteral("-a"), m_template, drive}).exitedWith(0))
            return {};
        return drive;
    }

    void addPoint(const QString& label, int call) { m_points.append({label, m_trace[call]}); }

    int first(int from, const std::function<bool(const Call&)>& match) const
    {
        for (int i = std::max(from, 0); i < m_trace.size(); ++i)
            if (match(m_trace[i]))
                return i;
        return -1;
    }

    void selectKillPoints()
    {
        const auto write = QStringLiteral("write");
        const auto copy = pattern(QStringLiteral("(^|/)copia_dati_[^/]*/"));
        const auto log = pattern(QStringLiteral("/tmp/log_[^/]*$"));
        const auto archiveFile = pattern(QStringLiteral("/dati\\.mdb$"));
        const auto newYear = pattern(QStringLiteral("/esercizi/azienda_\\d+/2024/"));
        const auto reportFile = pattern(QStringLiteral("/verifica_riapertura_2024_[^/]*\\.html$"));

        const int safetyCopy =
            first(0, [&](const Call& c) { return c.is(write) && c.in(copy) && c.in(archiveFile); });
        QVERIFY2(safetyCopy >= 0, "no write of an archive into the safety copy");
        addPoint(QStringLiteral("safety copy: archive of the first company"), safetyCopy);

        const int firstPage =
            first(0, [&](const Call& c) { return c.is(QStringLiteral("pwrite64")) && c.in(newYear); });
        int newYearCopy = -1;
        for (int i = 0; i < firstPage; ++i)
            if (m_trace[i].is(write) && m_trace[i].in(newYear) && !m_trace[i].in(copy) &&
                m_trace[i].in(archiveFile))
                newYearCopy = i;
        QVERIFY2(newYearCopy >= 0, "no file copy into a 2024 folder before its first page write");
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

        const QMap<QString, QList<Commit>> commits = commitsByArchive(m_trace);
        const auto middle = [](const QList<int>& calls) {
            return calls.value(calls.size() / 2, -1);
        };
        for (int n = 1; n <= Companies; ++n) {
            const QString company = QStringLiteral("Azienda_%1").arg(n);
            const int start =
                logLine(0, QStringLiteral("ripristino magazzino azienda n. %1 in corso...").arg(n));
            QVERIFY2(start >= 0, qPrintable(company + QStringLiteral(": no first step")));
            addPoint(company + QStringLiteral(" start of step: 2023 stock recomputation"), start);
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
            const QList<Commit> old = archive(2023);
            QVERIFY2(old.size() == 1,
                     qPrintable(company + QStringLiteral(": commits into 2023: %1").arg(old.size())));
            QVERIFY2(middle(old[0].pageWrites) >= 0, "2023 commit without page writes");
            addPoint(company + QStringLiteral(" 2023 commit: page write"), middle(old[0].pageWrites));

            const QList<Commit> year = archive(2024);
            QVERIFY2(year.size() == 3 + OpenItemCommits,
                     qPrintable(company + QStringLiteral(": commits into 2024: %1").arg(year.size())));
            const QStringList names{QStringLiteral("initialisation"), QStringLiteral("opening stock"),
                                    QStringLiteral("stock recomputation")};
            for (int i = 0; i < year.size(); ++i) {
                const QString commit = company + QStringLiteral(" 2024 ") +
                                       names.value(i, QStringLiteral("open items %1").arg(i - 2)) +
                                       QStringLiteral(" commit: ");
                QVERIFY2(middle(year[i].pageWrites) >= 0,
                         qPrintable(commit + QStringLiteral("no page write")));
                addPoint(commit + QStringLiteral("page write"), middle(year[i].pageWrites));
                if (i == 3 && n == 1)
                    m_pointBeforeSecondRun = int(m_points.size()) - 1;
                // A journal half written: once at the first commit, once at the last.
                if ((n == 1 && i == 0) || (n == Companies && i == year.size() - 1)) {
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

        // strace counts each thread's calls: no other thread may reach the same number.
        for (const KillPoint& p : std::as_const(m_points)) {
            const bool alone = std::none_of(m_trace.begin(), m_trace.end(), [&](const Call& c) {
                return c.pid != p.call.pid && c.name == p.call.name && c.index == p.call.index;
            });
            QVERIFY2(alone, qPrintable(p.label + QStringLiteral(": another thread makes as many calls")));
        }
    }

    // Runs the year opening killed at the point, and checks that it died there.
    void killAt(const QString& drive, const KillPoint& point)
    {
        const Outcome killed = traced(
            drive,
            {QStringLiteral("trace=") + point.call.name,
             QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(point.call.name).arg(point.call.index)});
        QVERIFY2(killed.status == QProcess::CrashExit,
                 qPrintable(QStringLiteral("not killed: ") + killed.gist()));
        const QList<Call> calls = readTrace(drive + QStringLiteral(".trace"), drive);
        const auto last = std::find_if(calls.begin(), calls.end(),
                                       [](const Call& c) { return c.result == QLatin1String("?"); });
        QVERIFY2(last != calls.end(), "no call cut short in the trace of the killed run");
        QVERIFY2(last->index == point.call.index && last->signature() == point.call.signature(),
                 qPrintable(QStringLiteral("killed at %1 #%2, expected %3 #%4")
                                .arg(last->signature())
                                .arg(last->index)
                                .arg(point.call.signature())
                                .arg(point.call.index)));
    }

    void sameArchivesAsExpected(const QString& drive)
    {
        for (auto it = m_expected.begin(); it != m_expected.end(); ++it) {
            QString difference;
            try {
                difference = firstDifference(dumpArchive(drive + QLatin1Char('/') + it.key()), *it);
            } catch (const std::exception& e) {
                difference = QString::fromLocal8Bit(e.what());
            }
            QVERIFY2(difference.isEmpty(), qPrintable(it.key() + QStringLiteral(": ") + difference));
        }
    }

    // The manifest lists every file of the copy and sha256sum agrees with it.
    static void manifestHolds(const QString& copy)
    {
        QFile manifest(copy + QLatin1Char('/') + ManifestName);
        QVERIFY2(manifest.open(QIODevice::ReadOnly), qPrintable(QStringLiteral("no manifest in ") + copy));
        QSet<QString> listed;
        for (const QByteArray& line : manifest.readAll().split('\n'))
            if (line.size() > 66)
                listed.insert(QString::fromUtf8(line.mid(66)));
        const Fingerprint files = withoutTmp(TestInstall::fingerprint(copy));
        for (auto it = files.begin(); it != files.end(); ++it)
            QVERIFY2(it.key() == ManifestName || listed.contains(it.key()),
                     qPrintable(QStringLiteral("not in the manifest: ") + it.key()));
        const Outcome check = run(QStringLiteral("sha256sum"),
                                  {QStringLiteral("-c"), QStringLiteral("--quiet"), ManifestName}, copy);
        QVERIFY2(check.exitedWith(0), qPrintable(copy + QStringLiteral(": ") + check.output));
    }

    static QStringList safetyCopies(const QString& programs)
    {
        return QDir(programs).entryList({QStringLiteral("copia_dati_*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty(),
                 "strace kills the run at the chosen writes");
        // strace shows real paths: the drives are named by theirs.
        m_base = QDir(m_root.path()).canonicalPath();
        m_template = m_base + QStringLiteral("/template");
        const Outcome demo = run(QStringLiteral(RIAPERTURA_DEMO), QStringList{m_template} + DemoSize);
        QVERIFY2(demo.exitedWith(0), qPrintable(demo.gist()));

        // The uninterrupted run, traced: what every run after a kill must leave.
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome clean = traced(drive, {QStringLiteral("trace=write,pwrite64,fsync,fdatasync,unlink")});
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        m_trace = readTrace(drive + QStringLiteral(".trace"), drive);

        const auto archive = pattern(
            QStringLiteral("^programmi/ventor sistemi/dati/esercizi/azienda_\\d+/\\d{4}/dati\\.mdb$"));
        QDirIterator it(drive, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = QDir(drive).relativeFilePath(it.next());
            if (archive.match(file).hasMatch())
                m_expected.insert(file, dumpArchive(drive + QLatin1Char('/') + file));
        }
        QCOMPARE(m_expected.size(), 2 * Companies);

        selectKillPoints();
        if (QTest::currentTestFailed())
            return;
        qInfo("%d kill points (system call, its number among the thread's calls of it):",
              int(m_points.size()));
        for (const KillPoint& p : std::as_const(m_points))
            qInfo("  %s: %s #%d %s", qPrintable(p.label), qPrintable(p.call.name), p.call.index,
                  qPrintable(p.call.path));
    }

    void killedAndRunAgain_data()
    {
        QTest::addColumn<int>("point");
        for (int i = 0; i < m_points.size(); ++i)
            QTest::newRow(qPrintable(m_points[i].label)) << i;
    }

    // Killed anywhere, checked, then run again: the same archives as one
    // uninterrupted run, and the check alone writes nothing.
    void killedAndRunAgain()
    {
        QFETCH(int, point);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        killAt(drive, m_points[point]);
        if (QTest::currentTestFailed())
            return;

        const Fingerprint before = TestInstall::fingerprint(drive);
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QVERIFY2(check.status == QProcess::NormalExit, qPrintable(check.gist()));
        const Fingerprint after = TestInstall::fingerprint(drive);
        QVERIFY2(after == before,
                 qPrintable(QStringLiteral("--check changed ") + differences(before, after)));

        const Outcome again = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("run again: ") + again.gist()));
        sameArchivesAsExpected(drive);
    }

    void twoRunsSameDay_data()
    {
        QTest::addColumn<int>("killedAt");
        QTest::newRow("after a complete run") << -1;
        QTest::newRow("after a killed run") << m_pointBeforeSecondRun;
    }

    // The second run keeps the first safety copy as it was taken; each copy
    // carries a manifest that holds.
    void twoRunsSameDay()
    {
        QFETCH(int, killedAt);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        // The data folder as the demo names it, and the folder of the copies.
        const QString data = drive + QLatin1Char('/') +
                             m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                           QString::SectionCaseInsensitiveSeps);
        const QString programs = QFileInfo(data).path();
        const Fingerprint pristine = withoutTmp(TestInstall::fingerprint(data));

        if (killedAt < 0) {
            const Outcome first = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(first.exitedWith(0), qPrintable(first.gist()));
        } else {
            killAt(drive, m_points[killedAt]);
            if (QTest::currentTestFailed())
                return;
        }
        const QStringList firstCopy = safetyCopies(programs);
        QCOMPARE(firstCopy.size(), 1);

        const Outcome second = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(second.status == QProcess::NormalExit, qPrintable(second.gist()));
        const QStringList copies = safetyCopies(programs);
        QVERIFY2(
            copies.size() == 2 && copies.contains(firstCopy[0]),
            qPrintable(QStringLiteral("safety copies after two runs: ") + copies.join(QStringLiteral(", "))));

        Fingerprint kept = withoutTmp(TestInstall::fingerprint(programs + QLatin1Char('/') + firstCopy[0]));
        kept.remove(ManifestName);
        QVERIFY2(kept == pristine,
                 qPrintable(QStringLiteral("first copy differs: ") + differences(pristine, kept)));
        for (const QString& copy : copies) {
            manifestHolds(programs + QLatin1Char('/') + copy);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashRecovery)
#include "test_crash_recovery.moc"
