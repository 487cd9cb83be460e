// A restore killed at the rename that sets the data folder aside, during its
// copy, while it carries the logs, or at the final swap, and then asked again,
// ends with the restored data folder and nothing lost; killed just after the
// swap, it has restored, and blocks nothing after it; an undo killed between its
// renames is undone again. Drives the built riapertura-cli on a demo installation
// after a run, killed with strace at calls chosen from the trace of one restore.
#include "archive_dump.h"
#include "child_process.h"
#include "crash_points.h"
#include "support/test_install.h"
#include "support/years.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

// The drive's files but the lock file a killed restore leaves: the next one
// to take the lock removes it as it lets go, which changes nothing else.
Fingerprint installationFiles(const QString& drive)
{
    Fingerprint files = TestInstall::fingerprint(drive);
    files.removeIf([](const auto& file) { return file.key().endsWith(QStringLiteral("/riapertura.lock")); });
    return files;
}

const QStringList DemoSize{QStringLiteral("--companies"),  QStringLiteral("2"),
                           QStringLiteral("--articles"),   QStringLiteral("40"),
                           QStringLiteral("--movements"),  QStringLiteral("200"),
                           QStringLiteral("--open-items"), QStringLiteral("50"),
                           QStringLiteral("--seed"),       QStringLiteral("7")};
const QStringList Restore{QStringLiteral("--ripristina"), QStringLiteral("--yes")};
const QString Root = QStringLiteral("Programmi/Ventor Sistemi");

// The entry of a folder named so without regard to case ("" when none).
QString entry(const QString& folder, const QString& name)
{
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const auto it = std::find_if(names.begin(), names.end(),
                                 [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
    return it == names.end() ? QString() : folder + QLatin1Char('/') + *it;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString logOf(const QString& data)
{
    return entry(entry(data, QStringLiteral("tmp")), years::fill(QStringLiteral("log_Riapertura_{new}.txt")));
}

} // namespace

class TestRestoreRecovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_base;
    QString m_template; // a demo installation after one run
    int m_drives = 0;
    Fingerprint m_beforeRun; // the data folder less Tmp
    Fingerprint m_afterRun;
    QByteArray m_logAfterRun;
    QList<KillPoint> m_points;
    QString m_cleanDrive; // after the uninterrupted restore
    QList<Call> m_cleanTrace;
    static constexpr int AtTheSwap = 3; // the points as choosePoints lists them
    static constexpr int AfterTheSwap = 4;

    // A copy of the installation after the run.
    QString freshDrive() { return copyOfDrive(m_template, m_base, m_drives); }

    static QString dataOf(const QString& drive)
    {
        return entry(drive + QLatin1Char('/') + Root, QStringLiteral("dati"));
    }

    static QStringList besideData(const QString& drive, const QString& filter)
    {
        return QDir(drive + QLatin1Char('/') + Root).entryList({filter}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The data folder as before the run but for the newer logs; the state
    // after the run set aside, once; nothing half copied left.
    void restoredAsExpected(const QString& drive)
    {
        const QString data = dataOf(drive);
        QVERIFY2(!data.isEmpty(), "no data folder");
        QCOMPARE(differences(m_beforeRun, withoutTmp(TestInstall::fingerprint(data))), QString());
        QVERIFY(readFile(logOf(data)).startsWith(m_logAfterRun));
        const QStringList aside = besideData(drive, QStringLiteral("dati_prima_del_ripristino_*"));
        QCOMPARE(aside.size(), 1);
        const QString setAside = drive + QLatin1Char('/') + Root + QLatin1Char('/') + aside.first();
        QCOMPARE(differences(m_afterRun, withoutTmp(TestInstall::fingerprint(setAside))), QString());
        QVERIFY(besideData(drive, QStringLiteral("dati_ripristino_in_corso")).isEmpty());
    }

    // The calls of the uninterrupted restore where the kills go.
    void choosePoints(const QList<Call>& trace)
    {
        const auto write = QStringLiteral("write");
        const auto staging = pattern(QStringLiteral("/dati_ripristino_in_corso/"));
        const auto archive = pattern(QStringLiteral("/dati\\.mdb$"));
        const auto stagingTmp = pattern(QStringLiteral("/dati_ripristino_in_corso/tmp/"));
        const auto setAside = pattern(QStringLiteral("/dati\", \".*/dati_prima_del_ripristino_"));
        const auto swap = pattern(QStringLiteral("/dati_ripristino_in_corso\", \".*/dati$"));
        const QList<int> renames =
            callsWhere(trace, [&](const Call& c) { return c.renames() && c.in(setAside); });
        QVERIFY2(renames.size() == 1, "the data folder is set aside once");
        const int setAsideCall = renames.first();
        const QList<int> swaps = callsWhere(trace, [&](const Call& c) { return c.renames() && c.in(swap); });
        QVERIFY2(swaps.size() == 1, "the copy takes the data folder's name once");
        const struct
        {
            const char* label;
            QList<int> calls;
        } chosen[] = {
            {"during the copy: an archive half written",
             callsWhere(trace, [&](const Call& c) { return c.is(write) && c.in(staging) && c.in(archive); })},
            {"at the rename that sets the data folder aside", renames},
            {"while the logs are carried: data folder set aside",
             callsWhere(
                 trace, [&](const Call& c) { return c.writes() && c.in(stagingTmp); }, setAsideCall)},
            {"at the final swap", swaps},
            // The first write after it, to the restored folder's log: the
            // restore is done but for its last lines.
            {"after the final swap", callsWhere(
                                         trace, [&](const Call& c) { return c.writes(); }, swaps.first() + 1)
                                         .mid(0, 1)},
        };
        for (const auto& point : chosen) {
            QVERIFY2(!point.calls.isEmpty(), point.label);
            const Call& call = trace[point.calls[point.calls.size() / 2]];
            QVERIFY2(aloneAtItsNumber(trace, call), point.label);
            m_points.append({QLatin1String(point.label), call});
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty(),
                 "strace kills the restore at the chosen calls");
        m_base = QDir(m_root.path()).canonicalPath();
        m_template = m_base + QStringLiteral("/template");
        const Outcome demo = run(QStringLiteral(RIAPERTURA_DEMO), QStringList{m_template} + DemoSize);
        QVERIFY2(demo.exitedWith(0), qPrintable(demo.gist()));
        m_beforeRun = withoutTmp(TestInstall::fingerprint(dataOf(m_template)));
        const Outcome opened = cli(m_template, QStringLiteral("--yes"));
        QVERIFY2(opened.exitedWith(0), qPrintable(opened.gist()));
        m_afterRun = withoutTmp(TestInstall::fingerprint(dataOf(m_template)));
        m_logAfterRun = readFile(logOf(dataOf(m_template)));
        QVERIFY(!m_logAfterRun.isEmpty());

        // The uninterrupted restore, traced: what every restore after a kill must leave.
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome clean = traced(
            drive, {QStringLiteral("trace=write,copy_file_range,rename,renameat,renameat2,fsync,fdatasync")},
            Restore);
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        restoredAsExpected(drive);
        m_cleanDrive = drive;
        m_cleanTrace = readTrace(drive + QStringLiteral(".trace"), drive);
        choosePoints(m_cleanTrace);
        showKillPoints(m_points);
    }

    // Before the data folder is set aside, every file and folder of the copy
    // made beside it is on disk; before the copy takes its place, the logs
    // carried into it too; and each rename is on disk before the next step.
    void theStagedCopyIsOnDiskBeforeTheSwap()
    {
        const QList<Call>& trace = m_cleanTrace;
        const QString staging = Root + QStringLiteral("/dati_ripristino_in_corso");
        const auto setAside = pattern(QStringLiteral("/dati\", \".*/dati_prima_del_ripristino_"));
        const auto swap = pattern(QStringLiteral("/dati_ripristino_in_corso\", \".*/dati$"));
        const QList<int> asideRename =
            callsWhere(trace, [&](const Call& c) { return c.renames() && c.in(setAside); });
        const QList<int> swapRename =
            callsWhere(trace, [&](const Call& c) { return c.renames() && c.in(swap); });
        QCOMPARE(asideRename.size(), 1);
        QCOMPARE(swapRename.size(), 1);

        const QStringList copies = besideData(m_cleanDrive, QStringLiteral("copia_dati_*"));
        QCOMPARE(copies.size(), 1);
        QStringList copied =
            treeEntries(m_cleanDrive + QLatin1Char('/') + Root + QLatin1Char('/') + copies.first());
        copied.removeAll(QStringLiteral("copia_di_sicurezza.sha256"));
        QCOMPARE(unsyncedBefore(trace, staging, copied, asideRename.first()), QStringList());

        const QStringList aside = besideData(m_cleanDrive, QStringLiteral("dati_prima_del_ripristino_*"));
        QCOMPARE(aside.size(), 1);
        const QString asideTmp = entry(
            m_cleanDrive + QLatin1Char('/') + Root + QLatin1Char('/') + aside.first(), QStringLiteral("tmp"));
        QVERIFY(!asideTmp.isEmpty());
        QStringList carried;
        for (const QString& e : treeEntries(asideTmp))
            carried << (e.isEmpty() ? QFileInfo(asideTmp).fileName()
                                    : QFileInfo(asideTmp).fileName() + QLatin1Char('/') + e);
        QCOMPARE(unsyncedBefore(trace, staging, copied + carried, swapRename.first()), QStringList());

        // The root holds both names: synced after each rename, before what follows it.
        const auto rootSynced = [&](int from, int before) {
            const QList<int> syncs = callsWhere(
                trace,
                [&](const Call& c) { return c.syncs() && c.path.compare(Root, Qt::CaseInsensitive) == 0; },
                from);
            return !syncs.isEmpty() && syncs.first() < before;
        };
        QVERIFY(rootSynced(asideRename.first(), swapRename.first()));
        QVERIFY(rootSynced(swapRename.first(), int(trace.size())));
    }

    void aFailedSyncOfTheRootIsReported_data()
    {
        QTest::addColumn<int>("when"); // the root's sync that fails, on the thread that makes it
        QTest::addColumn<bool>("restored");
        QTest::addColumn<QString>("said");
        QTest::newRow("after the staged copy: nothing changed")
            << 1 << false << QStringLiteral("la cartella dati è quella di prima del ripristino");
        QTest::newRow("after the final rename: said so")
            << 2 << true << QStringLiteral("non è stato possibile confermarne la scrittura su disco");
    }

    // The root holds the names the restore gives: a sync of it that fails is
    // a failed restore that says where the data are.
    void aFailedSyncOfTheRootIsReported()
    {
        QFETCH(int, when);
        QFETCH(bool, restored);
        QFETCH(QString, said);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome failed = traced(
            drive,
            {QStringLiteral("trace=fsync"), QStringLiteral("inject=fsync:error=EIO:when=%1").arg(when)},
            Restore, drive + QLatin1Char('/') + Root);
        QVERIFY2(failed.exitedWith(1), qPrintable(failed.gist()));
        QVERIFY2(failed.output.contains(QStringLiteral("RIPRISTINO NON RIUSCITO")) &&
                     failed.output.contains(said),
                 qPrintable(failed.output));
        QCOMPARE(differences(restored ? m_beforeRun : m_afterRun,
                             withoutTmp(TestInstall::fingerprint(dataOf(drive)))),
                 QString());
        QCOMPARE(besideData(drive, QStringLiteral("dati_prima_del_ripristino_*")).size(), restored ? 1 : 0);
        QVERIFY(besideData(drive, QStringLiteral("dati_ripristino_in_corso")).isEmpty());
    }

    void killedAndRestoredAgain_data() { addKillPointRows(m_points); }

    // Killed, checked (which writes nothing and says where the data folder
    // went), then asked again: restored, and nothing lost.
    void killedAndRestoredAgain()
    {
        QFETCH(int, point);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        killAt(drive, m_points[point], Restore);
        if (QTest::currentTestFailed())
            return;
        if (point == AfterTheSwap) {
            // Restored: asking again would restore it twice. What the killed
            // restore held (its lock) does not block what comes next.
            restoredAsExpected(drive);
            const Fingerprint before = installationFiles(drive);
            const Outcome check = cli(drive, QStringLiteral("--check"));
            QCOMPARE(differences(before, installationFiles(drive)), QString());
            QVERIFY2(check.exitedWith(0), qPrintable(check.gist()));
            const Outcome opened = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(opened.exitedWith(0), qPrintable(opened.gist()));
            return;
        }

        const Fingerprint before = installationFiles(drive);
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QCOMPARE(differences(before, installationFiles(drive)), QString());
        if (dataOf(drive).isEmpty())
            QVERIFY2(
                check.output.contains(QStringLiteral("un ripristino interrotto l'ha messa da parte come")),
                qPrintable(check.output));

        if (dataOf(drive).isEmpty()) {
            // Only the user puts the folder set aside back: --yes does not.
            const Outcome refused = run(QStringLiteral(RIAPERTURA_CLI),
                                        QStringList{QStringLiteral("--drive-c"), drive} + Restore);
            QVERIFY2(refused.exitedWith(2), qPrintable(refused.gist()));
            QVERIFY(refused.output.contains(QStringLiteral("Rimetterla al suo posto?")));
            QVERIFY(refused.output.contains(QStringLiteral("-> No: --yes non risponde a questa domanda")));
            QCOMPARE(differences(before, installationFiles(drive)), QString());
            // As the refusal says: renamed back by hand.
            const QStringList aside = besideData(drive, QStringLiteral("dati_prima_del_ripristino_*"));
            QCOMPARE(aside.size(), 1);
            const QString root = drive + QLatin1Char('/') + Root + QLatin1Char('/');
            QVERIFY(QDir().rename(root + aside.first(), root + QStringLiteral("dati")));
        }
        const Outcome again =
            run(QStringLiteral(RIAPERTURA_CLI), QStringList{QStringLiteral("--drive-c"), drive} + Restore);
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("restore again: ") + again.gist()));
        restoredAsExpected(drive);
    }

    void interruptedAndRestoredAgain_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<bool>("putBack"); // the data folder was set aside and is put back
        QTest::newRow("during the copy") << 0 << false;
        QTest::newRow("while the logs are carried: data folder set aside") << 2 << true;
    }

    // Ctrl-C during the restore is a failed restore: the data folder is the
    // one before, nothing is left beside it, one line says so, exit 130; the
    // restore asked again goes through.
    void interruptedAndRestoredAgain()
    {
        QFETCH(int, point);
        QFETCH(bool, putBack);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome stopped = interruptAt(drive, m_points[point], false, Restore);
        QVERIFY2(stopped.exitedWith(130), qPrintable(stopped.gist()));
        QVERIFY2(
            stopped.output.contains(QStringLiteral("RIPRISTINO INTERROTTO DALL'UTENTE: la cartella dati ")) &&
                stopped.output.contains(QStringLiteral(" è quella di prima del ripristino")),
            qPrintable(stopped.output.right(1500)));
        QCOMPARE(stopped.output.contains(QStringLiteral("Cartella dati rimessa al suo posto")), putBack);
        const QString data = dataOf(drive);
        QVERIFY2(!data.isEmpty(), "no data folder");
        QCOMPARE(differences(m_afterRun, withoutTmp(TestInstall::fingerprint(data))), QString());
        QVERIFY(besideData(drive, QStringLiteral("dati_prima_del_ripristino_*")).isEmpty());
        QVERIFY(besideData(drive, QStringLiteral("dati_ripristino_in_corso")).isEmpty());
        QVERIFY(readFile(logOf(data)).endsWith("\xe8 quella di prima del ripristino\"\r\n"));

        const Outcome again =
            run(QStringLiteral(RIAPERTURA_CLI), QStringList{QStringLiteral("--drive-c"), drive} + Restore);
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("restore again: ") + again.gist()));
        restoredAsExpected(drive);
    }

    // After a kill at the final swap the run says where the data folder went
    // and offers it back, but --yes does not answer: the run is refused and
    // nothing changes (the folder set aside may be one the user moved).
    void aRunAfterAKillIsRefusedWithoutTheDataFolder()
    {
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        killAt(drive, m_points[AtTheSwap], Restore);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(dataOf(drive).isEmpty());
        const Fingerprint before = installationFiles(drive);
        const Outcome opened = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(opened.exitedWith(2), qPrintable(opened.gist()));
        QVERIFY(opened.output.contains(QStringLiteral("Rimetterla al suo posto?")));
        QVERIFY(opened.output.contains(QStringLiteral("-> No: --yes non risponde a questa domanda")));
        QVERIFY(opened.output.contains(QStringLiteral("ERRORE cartella dati mancante")));
        QCOMPARE(differences(before, installationFiles(drive)), QString());
    }

    // An undo killed between its renames: undoing again puts back the folder it had just
    // set aside, byte for byte, even when the restore's bears a time later than the clock's.
    void anUndoKilledBetweenItsRenamesIsUndoneAgain()
    {
        const QString drive = copyOfDrive(m_cleanDrive, m_base, m_drives);
        QVERIFY(!drive.isEmpty());
        const QString root = drive + QLatin1Char('/') + Root + QLatin1Char('/');
        const QString aside = besideData(drive, QStringLiteral("dati_prima_del_ripristino_*")).value(0);
        QVERIFY(
            QDir().rename(root + aside, root + QStringLiteral("dati_prima_del_ripristino_20991231_235959")));
        const Fingerprint restored = TestInstall::fingerprint(dataOf(drive));
        const QStringList undo{QStringLiteral("--drive-c"), drive, QStringLiteral("--annulla-ripristino"),
                               QStringLiteral("--yes")};
        const Outcome killed =
            run(QStringLiteral("strace"),
                QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                            QStringLiteral("/dev/null"), QStringLiteral("-e"),
                            QStringLiteral("inject=rename,renameat,renameat2:signal=SIGKILL:when=2"),
                            QStringLiteral(RIAPERTURA_CLI)} +
                    undo);
        QVERIFY2(dataOf(drive).isEmpty(), qPrintable(killed.gist()));
        const Outcome again = run(QStringLiteral(RIAPERTURA_CLI), undo);
        QVERIFY2(again.exitedWith(0), qPrintable(again.gist()));
        QCOMPARE(differences(restored, TestInstall::fingerprint(dataOf(drive))), QString());
    }
};

QTEST_GUILESS_MAIN(TestRestoreRecovery)
#include "test_restore_recovery.moc"
