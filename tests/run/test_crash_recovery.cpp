// A year opening killed at any write and then run again leaves exactly what
// an uninterrupted run leaves; two runs the same day keep both safety copies;
// a second run or restore started during one is refused and changes nothing.
// Drives the built riapertura-cli on demo installations and kills it with
// strace at writes chosen from the trace of one uninterrupted run.
#include "archive_dump.h"
#include "child_process.h"
#include "crash_points.h"
#include "support/test_install.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
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
    QString m_cleanDrive;           // after the uninterrupted run
    QList<Call> m_cleanTrace;

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

    static QStringList unfinishedCopies(const QString& programs)
    {
        return QDir(programs).entryList({QStringLiteral("copia_in_corso_*")},
                                        QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The point of that label (its index; -1, failing the test, when none).
    int pointLabelled(const QString& label) const
    {
        for (int i = 0; i < m_points.size(); ++i)
            if (m_points[i].label == label)
                return i;
        return -1;
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
            traced(drive, {QStringLiteral("trace=write,copy_file_range,pwrite64,fsync,fdatasync,"
                                          "unlink,rename,renameat,renameat2,fadvise64")});
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        const QList<Call> trace = readTrace(drive + QStringLiteral(".trace"), drive);
        m_cleanDrive = drive;
        m_cleanTrace = trace;

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

    // Before the first write to a 2023 archive, every file and folder of the
    // safety copy is on disk under its working name, then the copy takes its
    // dated name and that is on disk too; each 2024 folder is on disk before
    // its archive is written.
    void theCopiesAreOnDiskBeforeAnArchiveChanges()
    {
        const QList<Call>& trace = m_cleanTrace;
        const QString data = m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                           QString::SectionCaseInsensitiveSeps);
        const QString programs = QFileInfo(data).path();
        const auto inACopy = pattern(QStringLiteral("(^|/)(copia_in_corso_)?copia_dati_"));
        const auto writesInto = [&](const QString& archive) {
            const auto re = pattern(QStringLiteral("^%1/esercizi/azienda_\\d+/%2/dati\\.mdb(-journal)?$")
                                        .arg(QRegularExpression::escape(data), archive));
            return callsWhere(trace, [&](const Call& c) {
                return (c.is(QStringLiteral("pwrite64")) || c.writes()) && c.in(re) && !c.in(inACopy);
            });
        };
        const QList<int> oldWrites = writesInto(QStringLiteral("2023"));
        QVERIFY(!oldWrites.isEmpty());
        const int firstChange = oldWrites.first();

        const QStringList copies = safetyCopies(m_cleanDrive + QLatin1Char('/') + programs);
        QCOMPARE(copies.size(), 1);
        const QString working = programs + QStringLiteral("/Copia_in_corso_") + copies.first();
        const QString dated = programs + QLatin1Char('/') + copies.first();
        const QList<int> renamed = callsWhere(trace, [&](const Call& c) {
            return c.renames() &&
                   c.path.compare(working + QStringLiteral("\", \"") + dated, Qt::CaseInsensitive) == 0;
        });
        QCOMPARE(renamed.size(), 1);
        QVERIFY(renamed.first() < firstChange);
        QCOMPARE(unsyncedBefore(trace, working, treeEntries(m_cleanDrive + QLatin1Char('/') + dated),
                                renamed.first()),
                 QStringList());
        // Its pages leave the cache once synced, so that the read-back reads the disk.
        for (const QString& e : treeEntries(m_cleanDrive + QLatin1Char('/') + dated)) {
            if (!QFileInfo(m_cleanDrive + QLatin1Char('/') + dated + QLatin1Char('/') + e).isFile())
                continue;
            const QString path = working + QLatin1Char('/') + e;
            const QList<int> dropped = callsWhere(trace, [&](const Call& c) {
                return c.is(QStringLiteral("fadvise64")) &&
                       c.args.contains(QStringLiteral("POSIX_FADV_DONTNEED")) &&
                       c.path.compare(path, Qt::CaseInsensitive) == 0;
            });
            QVERIFY2(!dropped.isEmpty() && dropped.first() < renamed.first() &&
                         unsyncedBefore(trace, working, {e}, dropped.first()).isEmpty(),
                     qPrintable(e + QStringLiteral(": its pages are not dropped once synced")));
        }
        const QList<int> rootSyncs = callsWhere(
            trace,
            [&](const Call& c) { return c.syncs() && c.path.compare(programs, Qt::CaseInsensitive) == 0; },
            renamed.first());
        QVERIFY2(!rootSyncs.isEmpty() && rootSyncs.first() < firstChange, "the dated name is not synced");

        for (int n = 1; n <= Companies; ++n) {
            const QString company = data + QStringLiteral("/esercizi/Azienda_%1/").arg(n);
            const auto newArchive =
                pattern(QStringLiteral("^%1/esercizi/azienda_%2/2024/dati\\.mdb(-journal)?$")
                            .arg(QRegularExpression::escape(data))
                            .arg(n));
            const QList<int> newWrites = callsWhere(
                trace, [&](const Call& c) { return c.is(QStringLiteral("pwrite64")) && c.in(newArchive); });
            QVERIFY(!newWrites.isEmpty());
            QCOMPARE(unsyncedBefore(
                         trace, company + QStringLiteral("2024"),
                         treeEntries(m_cleanDrive + QLatin1Char('/') + company + QStringLiteral("2023")),
                         newWrites.first()),
                     QStringList());
        }
    }

    void aFailedSyncIsReported_data()
    {
        QTest::addColumn<QString>("file"); // under the installation root; %1 the date of the copy
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("nothingChanged");
        const QString root =
            QStringLiteral("Error 75 (Errore di accesso al percorso/file: c:\\Programmi\\Ventor Sistemi");
        QTest::newRow("a file of the safety copy")
            << QStringLiteral("Copia_in_corso_Copia_dati_%1/esercizi/Azienda_1/2023/dati.mdb")
            << QStringLiteral("fdatasync") << 3
            << root + QStringLiteral("\\Copia_in_corso_Copia_dati_%1\\esercizi\\Azienda_1\\2023\\dati.mdb)")
            << true;
        QTest::newRow("the folder that holds the safety copy")
            << QString() << QStringLiteral("fsync") << 3
            << root + QStringLiteral(") in procedure COPIO_CARTELLA") << true;
        QTest::newRow("a 2024 archive")
            << QStringLiteral("dati/esercizi/Azienda_1/2024/dati.mdb") << QStringLiteral("fdatasync") << 1
            << QStringLiteral("2024\\dati.mdb) in procedure CREO_NUOVO_ANNO") << false;
    }

    // A sync that fails is an error naming the file or folder; while the
    // safety copy is made it stops the run with nothing changed and no copy
    // left.
    void aFailedSyncIsReported()
    {
        QFETCH(QString, file);
        QFETCH(QString, call);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(bool, nothingChanged);
        const QString today = QDate::currentDate().toString(QStringLiteral("ddMMyyyy"));
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const QString data = drive + QLatin1Char('/') +
                             m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                           QString::SectionCaseInsensitiveSeps);
        const QString programs = QFileInfo(data).path();
        const Fingerprint pristine = withoutTmp(TestInstall::fingerprint(data));

        const Outcome failed = traced(
            drive, {QStringLiteral("trace=") + call, QStringLiteral("inject=%1:error=EIO:when=1").arg(call)},
            {QStringLiteral("--yes")},
            file.isEmpty()
                ? programs
                : programs + QLatin1Char('/') + QString(file).replace(QStringLiteral("%1"), today));
        QVERIFY2(failed.exitedWith(exitCode), qPrintable(failed.gist()));
        QVERIFY2(failed.output.contains(said.replace(QStringLiteral("%1"), today), Qt::CaseInsensitive),
                 qPrintable(failed.output));
        if (!nothingChanged)
            return;
        QVERIFY(failed.output.contains(QStringLiteral("COPIA DI SICUREZZA NON RIUSCITA")));
        QCOMPARE(differences(pristine, withoutTmp(TestInstall::fingerprint(data))), QString());
        QCOMPARE(safetyCopies(programs) + unfinishedCopies(programs), QStringList());
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

        const QString programs = QFileInfo(drive + QLatin1Char('/') +
                                           m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                                         QString::SectionCaseInsensitiveSeps))
                                     .path();
        const QStringList unfinished = unfinishedCopies(programs);
        const Outcome again = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("run again: ") + again.gist()));
        sameArchivesAsExpected(drive);
        // A copy cut short is never left to pass for one.
        QCOMPARE(unfinishedCopies(programs), QStringList());
        for (const QString& copy : unfinished)
            QVERIFY2(again.output.contains(QStringLiteral(
                         "Copia di sicurezza incompleta di una riapertura interrotta rimossa: ")) &&
                         again.output.contains(copy),
                     qPrintable(again.output));
        noJournalInTheCopies(programsOf(drive));
        if (point < 0) {
            QVERIFY2(check.output.contains(
                         QStringLiteral("ATTENZIONE Azienda_1: il file dati.mdb-journal è rimasto")),
                     qPrintable(check.output));
            QVERIFY2(again.output.contains(QStringLiteral("rimosso il file dati.mdb-journal")),
                     qPrintable(again.output));
        }
    }

    void interruptedAndRunAgain_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("again"); // Ctrl-C again at every later call of the kind
        QTest::addColumn<QString>("said");
        QTest::newRow("during the copy")
            << QStringLiteral("safety copy: archive of the first company") << false
            << QStringLiteral("durante la copia di sicurezza: nessuna azienda è stata aperta; una nuova "
                              "riapertura rifà tutto da capo");
        QTest::newRow("at the start of a step")
            << QStringLiteral("Azienda_1 start of step: opening stock") << false
            << QStringLiteral(
                   "durante la creazione dei movimenti di magazzino di Azienda_1: nessuna azienda");
        QTest::newRow("inside a commit, Ctrl-C again and again")
            << QStringLiteral("Azienda_2 2024 open items 1 commit: page write") << true
            << QStringLiteral("durante il riporto delle partite aperte di Azienda_2: l'azienda Azienda_1 è "
                              "stata aperta, Azienda_2 no; una nuova riapertura le rifà tutte da capo");
    }

    // Ctrl-C at a chosen call: the run stops at its next safe point, says
    // where in one line (on the console and last in the log, which holds
    // every event line, the held ones too) and exits 130; a second Ctrl-C is
    // answered, not obeyed. Run again, it leaves what an uninterrupted run
    // leaves.
    void interruptedAndRunAgain()
    {
        QFETCH(QString, point);
        QFETCH(bool, again);
        QFETCH(QString, said);
        const int at = pointLabelled(point);
        QVERIFY2(at >= 0, qPrintable(point));
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());

        const Outcome stopped = interruptAt(drive, m_points[at], again);
        QVERIFY2(stopped.exitedWith(130), qPrintable(stopped.gist()));
        const QString line = QStringLiteral("Riapertura interrotta dall'utente ") + said;
        QVERIFY2(stopped.output.contains(line), qPrintable(stopped.output.right(1500)));
        QCOMPARE(stopped.output.contains(QStringLiteral("interruzione già in corso")), again);

        QDirIterator logs(drive, {QStringLiteral("log_Riapertura_2024.txt")}, QDir::Files,
                          QDirIterator::Subdirectories);
        QVERIFY(logs.hasNext());
        QFile logFile(logs.next());
        QVERIFY2(logFile.open(QIODevice::ReadOnly), qPrintable(logFile.fileName()));
        QStringList log;
        for (const QByteArray& quoted : logFile.readAll().split('\n'))
            if (quoted.trimmed().size() > 2) // the empty lines are not on the console's
                log << QString::fromLatin1(quoted.trimmed().mid(1).chopped(1));
        QVERIFY2(log.last().startsWith(line), qPrintable(log.last()));
        // Every event line on the console is in the log, in order: the
        // console's own lines (boxes, answers, the outcome, its notices) apart.
        // The notices come on standard error whenever a signal does, maybe
        // between two pieces of one line of standard output.
        QString console = stopped.output;
        console.remove(QRegularExpression(QStringLiteral("\n*riapertura-cli: interruzione [^\n]*\n")));
        QStringList events;
        for (const QString& shown : console.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!shown.startsWith(QLatin1Char('[')) && !shown.startsWith(QStringLiteral("-> ")) &&
                !shown.startsWith(QStringLiteral("Esito: ")))
                events << shown;
        QCOMPARE(log, events);

        // No half copy left to pass for one: every copy there has its manifest.
        QDirIterator copies(drive, {QStringLiteral("Copia_dati_*")}, QDir::Dirs,
                            QDirIterator::Subdirectories);
        while (copies.hasNext()) {
            const QString copy = copies.next();
            QVERIFY2(QFile::exists(copy + QLatin1Char('/') + ManifestName), qPrintable(copy));
        }

        const Outcome runAgain = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(runAgain.exitedWith(0), qPrintable(QStringLiteral("run again: ") + runAgain.gist()));
        sameArchivesAsExpected(drive);
    }

    // A write the disk refuses in a 2024 archive: the step's error names the
    // archive in Italian, and the run ends with errors.
    void anArchiveWriteTheDiskRefusesIsNamed()
    {
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        QString archive;
        for (const QString& file : m_expected.keys())
            if (file.endsWith(QStringLiteral("/azienda_1/2024/dati.mdb"), Qt::CaseInsensitive))
                archive = file;
        QVERIFY(!archive.isEmpty());
        const Outcome refused = traced(
            drive, {QStringLiteral("trace=pwrite64"), QStringLiteral("inject=pwrite64:error=EIO:when=3")},
            {QStringLiteral("--yes")}, drive + QLatin1Char('/') + archive);
        QVERIFY2(refused.exitedWith(1), qPrintable(refused.gist()));
        QVERIFY2(refused.output.contains(
                     QStringLiteral("(Errore di lettura o scrittura sul disco: c:\\Programmi\\"
                                    "Ventor Sistemi\\Dati\\Esercizi\\Azienda_1\\2024\\dati.mdb)")),
                 qPrintable(refused.output.right(3000)));
        QVERIFY(!refused.output.contains(QStringLiteral("disk I/O error")));
    }

    // The report and its spreadsheets reach the disk under their working
    // name before they take their own, and the folder that holds the new
    // name is synced after: a power cut leaves the whole file or none.
    void theReportFilesAreSyncedBeforeTheyTakeTheirNames()
    {
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome clean =
            traced(drive, {QStringLiteral("trace=fsync,fdatasync,rename,renameat,renameat2")});
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        const QList<Call> trace = readTrace(drive + QStringLiteral(".trace"), drive);
        const auto tmpFolder = pattern(QStringLiteral("/dati/tmp$"));
        for (const QString& suffix :
             {QStringLiteral(".html"), QStringLiteral("_giacenze.csv"), QStringLiteral("_partite.csv")}) {
            const QString working =
                QStringLiteral("verifica_Riapertura_2024_*") + suffix + QStringLiteral(".parziale");
            const int synced = callsWhere(trace, [&](const Call& c) {
                                   return c.syncs() && c.path.endsWith(working, Qt::CaseInsensitive);
                               }).value(0, -1);
            const int renamed = callsWhere(trace, [&](const Call& c) {
                                    return c.renames() && c.path.contains(working + QStringLiteral("\""));
                                }).value(0, -1);
            const int folderSynced =
                callsWhere(
                    trace, [&](const Call& c) { return c.syncs() && c.in(tmpFolder); }, std::max(renamed, 0))
                    .value(0, -1);
            QVERIFY2(synced >= 0 && renamed > synced && folderSynced > renamed,
                     qPrintable(suffix + QStringLiteral(": synced %1, renamed %2, folder synced %3")
                                             .arg(synced)
                                             .arg(renamed)
                                             .arg(folderSynced)));
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
