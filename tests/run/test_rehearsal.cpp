// The rehearsal on a temporary installation, through a recording screen: it
// leaves every byte of the installation as it was but its own report, its
// figures are a real run's, it refuses before writing anything, and its
// scratch copy never outlives it.
#include "archive/scratch_copy.h"
#include "context/layout.h"
#include "run/rehearsal.h"
#include "scoped_mount.h"
#include "step_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace rio;

namespace {

using Fingerprint = QMap<QString, QByteArray>;

const QString TmpKey = QStringLiteral("Programmi/Ventor Sistemi/dati/Tmp/");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The files of after that before does not have, by name.
QStringList added(const Fingerprint& before, const Fingerprint& after)
{
    QStringList names;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            names << it.key();
    return names;
}

// The report and spreadsheets of one kind ("simulazione", "verifica") in
// the installation's dati\Tmp: suffix -> content.
QMap<QString, QByteArray> reportFiles(const StepFixture& f, const QString& kind)
{
    QMap<QString, QByteArray> files;
    const QDir tmp(f.file(QStringLiteral("dati\\Tmp")));
    const QString prefix = QStringLiteral("%1_Riapertura_%2_").arg(kind).arg(layout::AnnoDaAprire);
    for (const QString& name : tmp.entryList({prefix + QLatin1Char('*')}, QDir::Files))
        files.insert(name.mid(prefix.size() + QStringLiteral("yyyyMMdd_HHmmss").size()),
                     readFile(tmp.filePath(name)));
    return files;
}

// Two companies, one with something to check by hand, a log and a safety
// copy of earlier runs: what a rehearsal must leave as it finds them.
void prepare(StepFixture& f)
{
    TestInstall::addTwinArticles(f.install.addCompany(1));
    f.install.addCompany(2);
    QVERIFY(QDir().mkpath(f.file(QStringLiteral("dati\\Tmp"))));
    QFile log(f.logPath());
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("\"riga di una riapertura precedente\"\r\n");
    log.close();
    QVERIFY(QDir().mkpath(f.file(QStringLiteral("Copia_dati_01012026\\esercizi"))));
}

} // namespace

class TestRehearsal : public QObject
{
    Q_OBJECT

private slots:
    void leavesTheInstallationAsItWas_data()
    {
        QTest::addColumn<QString>("folder"); // --cartella-simulazione, relative to C:\ ("" none)
        QTest::addColumn<bool>("made");      // the folder is there before
        QTest::addColumn<bool>("leftover");  // holding the copy of a rehearsal killed elsewhere
        QTest::newRow("beside the data folder") << QString() << false << false;
        QTest::newRow("in an empty folder") << QStringLiteral("Prove") << true << false;
        QTest::newRow("in a folder it makes") << QStringLiteral("Prove") << false << false;
        QTest::newRow("in a folder with a leftover") << QStringLiteral("Prove") << true << true;
    }

    void leavesTheInstallationAsItWas()
    {
        QFETCH(QString, folder);
        QFETCH(bool, made);
        QFETCH(bool, leftover);
        StepFixture f;
        prepare(f);
        const QString windowsFolder = folder.isEmpty() ? QString() : QStringLiteral("c:\\") + folder;
        if (made)
            QVERIFY(QDir().mkpath(f.install.host(windowsFolder)));
        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());
        if (leftover) { // its mark, and no note of it in this installation's dati\Tmp
            const QString left = f.install.host(windowsFolder) + QStringLiteral("/Simulazione_in_corso");
            QVERIFY(QDir().mkpath(left + QStringLiteral("/dati/esercizi")));
            QFile sign(left + QLatin1Char('/') + QLatin1String(ScratchSignName));
            QVERIFY(sign.open(QIODevice::WriteOnly));
        }

        QCOMPARE(rehearseYearOpening(f.ctx, windowsFolder), RunOutcome::DoneWithWarnings);

        // Only its report and spreadsheets are new, in dati\Tmp; the log
        // and everything else byte for byte as they were.
        const Fingerprint after = TestInstall::fingerprint(f.install.driveC());
        const QStringList fresh = added(before, after);
        QCOMPARE(fresh.size(), 3);
        for (const QString& name : fresh)
            QVERIFY2(name.startsWith(TmpKey + QStringLiteral("simulazione_Riapertura_"), Qt::CaseInsensitive),
                     qPrintable(name));
        Fingerprint kept = after;
        for (const QString& name : fresh)
            kept.remove(name);
        QCOMPARE(kept, before);
        // No scratch folder left, nor the note that leads to one.
        const QString parent = folder.isEmpty() ? f.root() : f.install.host(windowsFolder);
        QVERIFY(!QFileInfo::exists(QDir(parent).filePath(QLatin1String(ScratchFolderName))));
        QVERIFY(!QFileInfo::exists(
            QDir(f.file(QStringLiteral("dati\\Tmp"))).filePath(QLatin1String(ScratchMarkerName))));
        if (!folder.isEmpty())
            QVERIFY(QDir(parent).isEmpty());
        QVERIFY(!QFile::exists(f.newArchive(1)));

        // It says everywhere that it was a rehearsal.
        const QString html =
            QString::fromUtf8(reportFiles(f, QStringLiteral("simulazione")).value(QStringLiteral(".html")));
        QVERIFY2(html.contains(QStringLiteral("SIMULAZIONE - RIAPERTURA ESEGUITA CON AVVISI")),
                 qPrintable(html));
        QVERIFY(f.host.outcome.startsWith(QStringLiteral("Simulazione: Riapertura eseguita con avvisi")));
        QVERIFY(f.host.events.contains(QStringLiteral(
            "Copia di sicurezza: nessuna (simulazione: l'installazione non è stata modificata)")));
        QVERIFY(
            f.host.boxes.last().text.startsWith(QStringLiteral("SIMULAZIONE - APERTURA NUOVO ESERCIZIO")));
        QVERIFY(f.host.runEnabled);
    }

    // The same installation rehearsed, then opened for real: the figures of
    // both reports are the same, company by company, row by row.
    void itsFiguresAreARealRunsOnes()
    {
        StepFixture f;
        prepare(f);
        TestInstall::addRefusedOpenItem(f.oldArchive(2));
        QCOMPARE(rehearseYearOpening(f.ctx), RunOutcome::DoneWithErrors);
        const QStringList rehearsed = f.host.summary;
        f.host = FakeHost();
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);

        const auto rehearsal = reportFiles(f, QStringLiteral("simulazione"));
        const auto run = reportFiles(f, QStringLiteral("verifica"));
        for (const QString& sheet : {QStringLiteral("_giacenze.csv"), QStringLiteral("_partite.csv")}) {
            QVERIFY2(rehearsal.value(sheet).count('\n') > 2, qPrintable(sheet));
            QCOMPARE(rehearsal.value(sheet), run.value(sheet));
        }
        QCOMPARE(rehearsed.size(), f.host.summary.size());
        QCOMPARE(rehearsed.mid(0, rehearsed.size() - 1), f.host.summary.mid(0, f.host.summary.size() - 1));
        QCOMPARE(rehearsed.last(), QStringLiteral("SIMULAZIONE - ") + f.host.summary.last());
    }

    void refusedBeforeAnythingIsWritten_data()
    {
        QTest::addColumn<QString>("folder");  // relative to C:\ ("" beside the data folder)
        QTest::addColumn<QString>("planted"); // what is there: "file", "link", "folder with a file"
        QTest::addColumn<QString>("at");      // where, relative to C:\ (the scratch name beside dati: "*")
        QTest::addColumn<QString>("said");
        QTest::newRow("a link") << QStringLiteral("Prove") << QStringLiteral("link")
                                << QStringLiteral("Prove")
                                << QStringLiteral("è un collegamento: non viene seguito");
        QTest::newRow("a file") << QStringLiteral("Prove") << QStringLiteral("file")
                                << QStringLiteral("Prove") << QStringLiteral("non è una cartella");
        QTest::newRow("not empty") << QStringLiteral("Prove") << QStringLiteral("folder with a file")
                                   << QStringLiteral("Prove") << QStringLiteral("non è vuota");
        QTest::newRow("inside the data folder")
            << QStringLiteral("Programmi\\Ventor Sistemi\\dati\\Prove") << QString() << QString()
            << QStringLiteral("è dentro la cartella dati");
        QTest::newRow("nowhere") << QStringLiteral("Manca\\Prove") << QString() << QString()
                                 << QStringLiteral("non esiste");
        QTest::newRow("the name taken by a folder") << QString() << QStringLiteral("folder with a file")
                                                    << QStringLiteral("*") << QStringLiteral("è già usato");
        QTest::newRow("the name taken by a link")
            << QString() << QStringLiteral("link") << QStringLiteral("*") << QStringLiteral("è già usato");
    }

    void refusedBeforeAnythingIsWritten()
    {
        QFETCH(QString, folder);
        QFETCH(QString, planted);
        QFETCH(QString, at);
        QFETCH(QString, said);
        StepFixture f;
        f.install.addCompany(1);
        const QString place = at == QLatin1String("*") ? f.file(QLatin1String(ScratchFolderName))
                                                       : f.install.host(QStringLiteral("c:\\") + at);
        const QString elsewhere = f.install.host(QStringLiteral("c:\\Altrove"));
        QVERIFY(QDir().mkpath(elsewhere));
        if (planted == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere, place));
        } else if (planted == QLatin1String("file")) {
            QFile file(place);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (!planted.isEmpty()) {
            QVERIFY(QDir().mkpath(place));
            QFile file(place + QStringLiteral("/nota.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());

        QCOMPARE(rehearseYearOpening(f.ctx, folder.isEmpty() ? QString() : QStringLiteral("c:\\") + folder),
                 RunOutcome::NotStarted);

        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(!QDir(f.file(QStringLiteral("dati\\Tmp"))).exists());
        QVERIFY(QDir(elsewhere).isEmpty());
        const FakeHost::Box box = f.host.boxes.last();
        QVERIFY2(box.text.startsWith(QStringLiteral("Impossibile iniziare la simulazione: ")) &&
                     box.text.contains(said) &&
                     box.text.endsWith(QStringLiteral("Nessun file è stato modificato.")),
                 qPrintable(box.text));
        QCOMPARE(box.icon, Icon::Critical);
        QVERIFY(f.host.runEnabled);
    }

    // The scratch copy on a drive of its own, too small for it: refused by
    // the check, before anything is written on either drive.
    void shortOfSpaceWhereTheCopyGoes()
    {
        StepFixture f; // its drive C: where it always is
        f.install.addCompany(1);
        const auto disk = ScopedMount::tmpfs(256 * 1024);
        if (!disk->isMounted())
            QSKIP("mounting is not allowed here");
        QVERIFY(QFile::link(disk->path(),
                            QFileInfo(f.install.driveC()).dir().filePath(QStringLiteral("drive_d"))));
        QVERIFY(QDir().mkpath(disk->path() + QStringLiteral("/Prove")));
        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());

        QCOMPARE(rehearseYearOpening(f.ctx, QStringLiteral("D:\\Prove")), RunOutcome::NotStarted);

        QVERIFY2(f.host.boxes.last().text.contains(
                     QStringLiteral("spazio libero insufficiente per la copia di lavoro in D:\\Prove\\")),
                 qPrintable(f.host.boxes.last().text));
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(QDir(disk->path() + QStringLiteral("/Prove")).isEmpty());
    }

    // Stopped at the console or ended by an error, at any point: the
    // scratch copy goes with it, and the installation is as it was.
    void itsScratchCopyNeverOutlivesIt_data()
    {
        QTest::addColumn<QString>("step"); // where it stops: as that step ends, or as the copy is made
        QTest::addColumn<bool>("fails");   // by an error that ends the program, else by the user
        QTest::newRow("stopped during the copy") << QStringLiteral("copy") << false;
        QTest::newRow("stopped after the first company")
            << QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI") << false;
        QTest::newRow("ended by an error") << QStringLiteral("CONTROLLO_AZIENDE") << true;
    }

    void itsScratchCopyNeverOutlivesIt()
    {
        QFETCH(QString, step);
        QFETCH(bool, fails);
        StepFixture f;
        prepare(f);
        FakeHost host;
        RunContext ctx(host, f.state);
        const QString scratch = f.file(QLatin1String(ScratchFolderName));
        bool seen = false;
        host.onYield = [&] {
            if (step == QLatin1String("copy") && QFileInfo::exists(scratch + QStringLiteral("/dati")))
                seen = host.stop = true;
        };
        host.onStepFinished = [&](const QString& name, int) {
            if (name != step || seen)
                return;
            seen = true;
            QVERIFY(QFileInfo::exists(scratch));
            if (fails) // the company's row gone from the copy: the run cannot go on
                TestInstall::exec(
                    scratch + QStringLiteral("/dati/esercizi/Azienda_1/%1/dati.mdb").arg(layout::AnnoInCorso),
                    QStringLiteral("delete from AZIENDE"));
            else
                host.stop = true;
        };
        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());

        if (fails)
            QVERIFY_THROWS_EXCEPTION(ProgramEnd, rehearseYearOpening(ctx));
        else
            QCOMPARE(rehearseYearOpening(ctx), RunOutcome::Interrupted);

        QVERIFY(seen);
        QVERIFY2(!QFileInfo::exists(scratch), qPrintable(host.events.join(QLatin1Char('\n'))));
        QVERIFY(added(before, TestInstall::fingerprint(f.install.driveC())).isEmpty());
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(host.events.contains(QStringLiteral("Copia di lavoro della simulazione rimossa: ") +
                                     TestInstall::base() + QLatin1String(ScratchFolderName)));
        if (!fails)
            QVERIFY(host.outcome == QStringLiteral("Simulazione interrotta dall'utente"));
    }
};

QTEST_GUILESS_MAIN(TestRehearsal)
#include "test_rehearsal.moc"
