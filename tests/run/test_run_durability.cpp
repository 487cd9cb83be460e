// What reaches the disk before what, read on the trace of a real run: the
// safety copy and the new-year folders before an archive changes, the report
// before it takes its name; and a sync or a write the disk refuses is
// reported, naming the file.
#include "support/years.h"
#include "traced_run_fixture.h"

#include <QDate>
#include <QRegularExpression>

class TestRunDurability : public TracedRunFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareTracedRun(); }

    // Before the first write to an old-year archive, every file and folder of the
    // safety copy is on disk under its working name, then the copy takes its
    // dated name and that is on disk too; each new-year folder is on disk before
    // its archive is written.
    void theCopiesAreOnDiskBeforeAnArchiveChanges()
    {
        const QList<Call>& trace = m_cleanTrace;
        const QString data = dataOf(QString());
        const QString programs = programsOf(QString());
        const auto inACopy = pattern(QStringLiteral("(^|/)(copia_in_corso_)?copia_dati_"));
        const auto writesInto = [&](const QString& archive) {
            const auto re = pattern(QStringLiteral("^%1/esercizi/azienda_\\d+/%2/dati\\.mdb(-journal)?$")
                                        .arg(QRegularExpression::escape(data), archive));
            return callsWhere(trace, [&](const Call& c) {
                return (c.is(QStringLiteral("pwrite64")) || c.writes()) && c.in(re) && !c.in(inACopy);
            });
        };
        const QList<int> oldWrites = writesInto(years::oldText());
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
                pattern(years::fill(QStringLiteral("^%1/esercizi/azienda_%2/{new}/dati\\.mdb(-journal)?$"))
                            .arg(QRegularExpression::escape(data))
                            .arg(n));
            const QList<int> newWrites = callsWhere(
                trace, [&](const Call& c) { return c.is(QStringLiteral("pwrite64")) && c.in(newArchive); });
            QVERIFY(!newWrites.isEmpty());
            QCOMPARE(unsyncedBefore(trace, company + years::newText(),
                                    treeEntries(m_cleanDrive + QLatin1Char('/') + company + years::oldText()),
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
            << years::fill(QStringLiteral("Copia_in_corso_Copia_dati_%1/esercizi/Azienda_1/{old}/dati.mdb"))
            << QStringLiteral("fdatasync") << 3
            << root + years::fill(QStringLiteral(
                          "\\Copia_in_corso_Copia_dati_%1\\esercizi\\Azienda_1\\{old}\\dati.mdb)"))
            << true;
        QTest::newRow("the folder that holds the safety copy")
            << QString() << QStringLiteral("fsync") << 3
            << root + QStringLiteral(") in procedure COPIO_CARTELLA") << true;
        QTest::newRow("a new-year archive")
            << years::fill(QStringLiteral("dati/esercizi/Azienda_1/{new}/dati.mdb"))
            << QStringLiteral("fdatasync") << 1
            << years::fill(QStringLiteral("{new}\\dati.mdb) in procedure CREO_NUOVO_ANNO")) << false;
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
        const QString data = dataOf(drive);
        const QString programs = programsOf(drive);
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

    // A write the disk refuses in a new-year archive: the step's error names the
    // archive in Italian, and the run ends with errors.
    void anArchiveWriteTheDiskRefusesIsNamed()
    {
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        QString archive;
        for (const QString& file : m_expected.keys())
            if (file.endsWith(years::fill(QStringLiteral("/azienda_1/{new}/dati.mdb")), Qt::CaseInsensitive))
                archive = file;
        QVERIFY(!archive.isEmpty());
        const Outcome refused = traced(
            drive, {QStringLiteral("trace=pwrite64"), QStringLiteral("inject=pwrite64:error=EIO:when=3")},
            {QStringLiteral("--yes")}, drive + QLatin1Char('/') + archive);
        QVERIFY2(refused.exitedWith(1), qPrintable(refused.gist()));
        QVERIFY2(refused.output.contains(years::fill(
                     QStringLiteral("(Errore di lettura o scrittura sul disco: c:\\Programmi\\"
                                    "Ventor Sistemi\\Dati\\Esercizi\\Azienda_1\\{new}\\dati.mdb)"))),
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
            const QString working = years::fill(QStringLiteral("verifica_Riapertura_{new}_*")) + suffix +
                                    QStringLiteral(".parziale");
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
};

QTEST_GUILESS_MAIN(TestRunDurability)
#include "test_run_durability.moc"
