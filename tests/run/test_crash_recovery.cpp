// A year opening killed at any write and then run again leaves exactly what
// an uninterrupted run leaves; two runs the same day keep both safety copies;
// a second run or restore started during one is refused and changes nothing.
// Drives the built riapertura-cli on demo installations and kills it with
// strace at writes chosen from the trace of one uninterrupted run.
#include "archive_dump.h"
#include "child_process.h"
#include "crash_points.h"
#include "support/test_install.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <exception>
#include <functional>

namespace {

// Small enough for a quick run, with two commits of open items per company:
// the run is told to commit every 1,000 rows (initTestCase).
const QStringList DemoSize{QStringLiteral("--companies"),  QStringLiteral("2"),
                           QStringLiteral("--articles"),   QStringLiteral("40"),
                           QStringLiteral("--movements"),  QStringLiteral("200"),
                           QStringLiteral("--open-items"), QStringLiteral("1500"),
                           QStringLiteral("--seed"),       QStringLiteral("7")};
constexpr int Companies = 2;
constexpr int OpenItemCommits = 2;
const QString ManifestName = QStringLiteral("copia_di_sicurezza.sha256");
const QStringList Run{QStringLiteral("--yes")};
const QStringList Restore{QStringLiteral("--ripristina"), QStringLiteral("--yes")};
const QString Busy = QStringLiteral("Una riapertura o un ripristino è già in corso su questa installazione "
                                    "(avviato alle ");

// Waits (up to a minute) until the condition holds or the process ends.
bool waitUntil(const QProcess& p, const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000; ++i) {
        if (condition())
            return true;
        if (p.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return false;
}

// Every file of the folder but the logs and reports, which a run held at a
// write may still add to.
Fingerprint withoutLogs(Fingerprint files)
{
    for (auto it = files.begin(); it != files.end();)
        it = it.key().contains(QLatin1String("/tmp/"), Qt::CaseInsensitive) ? files.erase(it) : std::next(it);
    return files;
}

} // namespace

class TestCrashRecovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_base;
    QString m_template;
    int m_drives = 0;
    QList<KillPoint> m_points;
    int m_pointBeforeSecondRun = -1;
    QMap<QString, Dump> m_expected; // archive, relative to the drive -> its dump

    // A copy of the pristine installation.
    QString freshDrive() { return copyOfDrive(m_template, m_base, m_drives); }

    // The folder of the data folder and the safety copies, and a company's 2023 archive.
    QString programsOf(const QString& drive) const
    {
        return QFileInfo(drive + QLatin1Char('/') +
                         m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                       QString::SectionCaseInsensitiveSeps))
            .path();
    }
    QString oldArchiveOf(const QString& drive, int slot) const
    {
        const auto re = pattern(QStringLiteral("/azienda_%1/2023/dati\\.mdb$").arg(slot));
        for (auto it = m_expected.begin(); it != m_expected.end(); ++it)
            if (re.match(it.key()).hasMatch())
                return drive + QLatin1Char('/') + it.key();
        return {};
    }

    // The copy is made after the 2023 archives are put back: it never
    // holds their journal. (A 2024 archive that a killed run left half
    // written is copied as it is, its journal beside it.)
    static void noJournalInTheCopies(const QString& programs)
    {
        for (const QString& copy : safetyCopies(programs)) {
            QDirIterator it(programs + QLatin1Char('/') + copy, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                QVERIFY2(!file.endsWith(QLatin1String("/2023/dati.mdb-journal"), Qt::CaseInsensitive),
                         qPrintable(file));
            }
        }
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
        qputenv("RIAPERTURA_ROWS_PER_COMMIT", "1000");
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
        const Outcome clean =
            traced(drive, {QStringLiteral("trace=write,copy_file_range,pwrite64,fsync,fdatasync,unlink")});
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        const QList<Call> trace = readTrace(drive + QStringLiteral(".trace"), drive);

        const auto archive = pattern(
            QStringLiteral("^programmi/ventor sistemi/dati/esercizi/azienda_\\d+/\\d{4}/dati\\.mdb$"));
        QDirIterator it(drive, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = QDir(drive).relativeFilePath(it.next());
            if (archive.match(file).hasMatch())
                m_expected.insert(file, dumpArchive(drive + QLatin1Char('/') + file));
        }
        QCOMPARE(m_expected.size(), 2 * Companies);

        selectKillPoints(trace, Companies, OpenItemCommits, m_points, m_pointBeforeSecondRun);
        if (QTest::currentTestFailed())
            return;
        showKillPoints(m_points);
    }

    void killedAndRunAgain_data()
    {
        addKillPointRows(m_points);
        QTest::newRow("Azienda_1 2023: an all-zero journal put by hand") << -1;
    }

    // Killed anywhere, checked, then run again: the same archives as one
    // uninterrupted run, and the check alone writes nothing.
    void killedAndRunAgain()
    {
        QFETCH(int, point);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        if (point >= 0) {
            killAt(drive, m_points[point]);
            if (QTest::currentTestFailed())
                return;
        } else {
            QFile journal(oldArchiveOf(drive, 1) + QStringLiteral("-journal"));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            QCOMPARE(journal.write(QByteArray(4096, '\0')), 4096);
        }

        const Fingerprint before = TestInstall::fingerprint(drive);
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QVERIFY2(check.status == QProcess::NormalExit, qPrintable(check.gist()));
        const Fingerprint after = TestInstall::fingerprint(drive);
        QVERIFY2(after == before,
                 qPrintable(QStringLiteral("--check changed ") + differences(before, after)));

        const Outcome again = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("run again: ") + again.gist()));
        sameArchivesAsExpected(drive);
        noJournalInTheCopies(programsOf(drive));
        if (point < 0) {
            QVERIFY2(check.output.contains(
                         QStringLiteral("ATTENZIONE Azienda_1: il file dati.mdb-journal è rimasto")),
                     qPrintable(check.output));
            QVERIFY2(again.output.contains(QStringLiteral("rimosso il file dati.mdb-journal")),
                     qPrintable(again.output));
        }
    }

    void aSecondOneIsRefused_data()
    {
        QTest::addColumn<bool>("restoreFirst"); // else a run first
        QTest::addColumn<QStringList>("second");
        QTest::newRow("a run during a run") << false << Run;
        QTest::newRow("a restore during a run") << false << Restore;
        QTest::newRow("a run during a restore") << true << Run;
    }

    // A run held at its first 2023 journal sync, or a restore held at its
    // final swap (data folder set aside): a second run or restore started
    // then is refused, exit 2, and changes nothing; the check says so as a
    // warning; the first ends as if alone.
    void aSecondOneIsRefused()
    {
        QFETCH(bool, restoreFirst);
        QFETCH(QStringList, second);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const QString programs = programsOf(drive);
        const auto data = [&] {
            return QDir(programs).entryList({QStringLiteral("dati")}, QDir::Dirs);
        };
        QStringList hold;
        QString heldFile;
        std::function<bool()> held;
        if (restoreFirst) {
            const Outcome opened = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(opened.exitedWith(0), qPrintable(opened.gist()));
            hold << QStringLiteral("trace=rename,renameat,renameat2")
                 << QStringLiteral("inject=rename,renameat,renameat2:delay_enter=10000000:when=1");
            heldFile = programs + QStringLiteral("/dati_ripristino_in_corso");
            held = [&] {
                return data().isEmpty();
            };
        } else {
            hold << QStringLiteral("trace=fdatasync")
                 << QStringLiteral("inject=fdatasync:delay_enter=10000000:when=1");
            heldFile = oldArchiveOf(drive, 1) + QStringLiteral("-journal");
            held = [&] {
                return QFile::exists(heldFile);
            };
        }
        QProcess first;
        start(first, QStringLiteral("strace"),
              tracedArguments(drive, hold, restoreFirst ? Restore : Run, heldFile));
        if (!waitUntil(first, held))
            QFAIL(qPrintable(QStringLiteral("never held: ") + finish(first).gist()));

        const Fingerprint before = withoutLogs(TestInstall::fingerprint(drive));
        const Outcome refused =
            run(QStringLiteral(RIAPERTURA_CLI), QStringList{QStringLiteral("--drive-c"), drive} + second);
        const Fingerprint after = withoutLogs(TestInstall::fingerprint(drive));
        QVERIFY2(refused.exitedWith(2) && refused.output.contains(Busy), qPrintable(refused.gist()));
        QVERIFY2(after == before, qPrintable(QStringLiteral("changed: ") + differences(before, after)));
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QVERIFY2(check.output.contains(QStringLiteral("ATTENZIONE ") + Busy), qPrintable(check.output));

        const Outcome firstOutcome = finish(first);
        QVERIFY2(firstOutcome.exitedWith(0), qPrintable(firstOutcome.gist()));
        if (restoreFirst) {
            const Outcome again = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(again.exitedWith(0), qPrintable(again.gist()));
        }
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
