// Undoing a year opening: the run's safety copy restored in place of the data
// folder, the refusals that change nothing, a failure that puts the data
// folder back, and what an interrupted restore leaves offered back.
#include "archive_dump.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/preliminary_check.h"
#include "run/restore.h"
#include "run/run.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace rio;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A demo installation of two companies after one run: the data folder as it
// was before the run and as the run left it.
struct AfterRun : StepFixture
{
    Fingerprint beforeRun;
    Fingerprint afterRun;

    AfterRun()
    {
        install.addCompany(1);
        install.addCompany(2);
        beforeRun = TestInstall::fingerprint(data());
        if (runYearOpening(ctx) != RunOutcome::Done)
            qFatal("the run before the restore did not end well");
        afterRun = TestInstall::fingerprint(data());
        host.boxes.clear();
        host.events.clear();
    }
    QString data() const { return file(QStringLiteral("dati")); }
    QString copy() const
    {
        const QList<SafetyCopy> copies = listSafetyCopies(TestInstall::base());
        return copies.isEmpty() ? QString() : fs::hostPath(copies.first().path);
    }
    QString setAside() const
    {
        const QString folder = setAsideFolder(TestInstall::base());
        return folder.isEmpty() ? QString() : fs::hostPath(folder);
    }
    bool stagingLeft() const { return QDir(file(QLatin1String(RestoreStagingFolder))).exists(); }
};

// What is wrong with a copy or the installation when a restore is asked for.
enum class Trouble {
    ByteChanged,
    FileAdded,
    FileMissing,
    ArchiveInUse,
    LockFile,
    NoSpace,
    NoManifestAnsweredNo,
    ConfirmationAnsweredNo,
    UnknownCopy,
    NoCopyBeforeOpening
};

// What makes a confirmed restore fail.
enum class Fault { DiskFull, CopyAltered, ManifestLocked };

} // namespace

class TestRestore : public QObject
{
    Q_OBJECT

private slots:
    // A run, then a restore of its copy: the data folder as it was before the run.
    void aRunIsUndone()
    {
        AfterRun f;
        const QByteArray logAfterRun = readFile(f.logPath());
        // What a run killed during its safety copy left: never a copy to restore.
        const QString unfinished = f.file(QStringLiteral("Copia_in_corso_Copia_dati_01012099"));
        QVERIFY(QDir().mkpath(unfinished + QStringLiteral("/esercizi")));
        QCOMPARE(restoreSafetyCopy(f.ctx), RunOutcome::Done);
        QVERIFY(!QDir(unfinished).exists());
        QCOMPARE(
            f.host.events.filter(QStringLiteral("incompleta di una riapertura interrotta rimossa")).size(),
            1);

        // Every file as before the run, but Tmp keeps the newer logs and reports.
        const Fingerprint restored = TestInstall::fingerprint(f.data());
        QCOMPARE(differences(withoutTmp(f.beforeRun), withoutTmp(restored)), QString());
        QVERIFY(readFile(f.logPath()).startsWith(logAfterRun));
        for (auto it = f.afterRun.begin(); it != f.afterRun.end(); ++it)
            if (it.key().startsWith(QLatin1String("Tmp/verifica_")))
                QCOMPARE(restored.value(it.key()), it.value());
        // The data folder as the run left it, set aside under its own name.
        QVERIFY(f.setAside().contains(QStringLiteral("/Dati_prima_del_ripristino_")));
        QCOMPARE(differences(withoutTmp(f.afterRun), withoutTmp(TestInstall::fingerprint(f.setAside()))),
                 QString());
        QVERIFY(!f.stagingLeft());
        QVERIFY(!QFile::exists(f.data() + QLatin1Char('/') + QLatin1String(fs::ManifestFileName)));

        // What was asked, and what was said at each phase.
        QCOMPARE(f.host.boxes.size(), 2);
        QCOMPARE(f.host.boxes[0].buttons, Buttons::YesNoDefaultNo);
        QVERIFY(f.host.boxes[0].text.contains(QStringLiteral("sarà messa da parte come ") +
                                              TestInstall::base() +
                                              QStringLiteral("Dati_prima_del_ripristino_")));
        QCOMPARE(f.host.boxes[1].icon, Icon::Information);
        QVERIFY(
            f.host.boxes[1].text.startsWith(QStringLiteral("COPIA DI SICUREZZA RIPRISTINATA: Copia_dati_")));
        const QString log = QString::fromLatin1(readFile(f.logPath()).mid(logAfterRun.size()));
        for (const QString& phase :
             {QStringLiteral("RIPRISTINO della copia di sicurezza"),
              QStringLiteral("confrontati con il manifesto"), QStringLiteral("Cartella dati messa da parte"),
              QStringLiteral("(log e rapporti)"), QStringLiteral("Cartella dati ripristinata"),
              QStringLiteral("ripristino concluso con successo!"),
              QStringLiteral("Ripristino concluso: copia"), QStringLiteral("Rapporto del ripristino")}) {
            QVERIFY2(log.contains(phase), qPrintable(phase));
            QVERIFY2(!f.host.events.filter(phase).isEmpty(), qPrintable(phase));
        }
        const QStringList reports =
            QDir(f.file(QStringLiteral("dati\\Tmp"))).entryList({QStringLiteral("ripristino_*.html")});
        QCOMPARE(reports.size(), 1);
        const QString report =
            QString::fromUtf8(readFile(f.file(QStringLiteral("dati\\Tmp")) + QLatin1Char('/') + reports[0]));
        QVERIFY(report.contains(QStringLiteral("<h2>Ripristino</h2>")));
        QVERIFY(report.contains(QStringLiteral("verificata (")));
    }

    void refusedChangesNothing_data()
    {
        QTest::addColumn<int>("trouble");
        QTest::addColumn<QString>("said");
        QTest::newRow("one byte changed in the copy")
            << int(Trouble::ByteChanged)
            << years::fill(QStringLiteral("esercizi/Azienda_1/{old}/dati.mdb (contenuto diverso)"));
        QTest::newRow("a file added to the copy")
            << int(Trouble::FileAdded) << QStringLiteral("nota.txt (non elencato nel manifesto)");
        QTest::newRow("a file gone from the copy")
            << int(Trouble::FileMissing)
            << years::fill(QStringLiteral("esercizi/Azienda_2/{old}/dati.mdb (mancante)"));
        QTest::newRow("an archive in use")
            << int(Trouble::ArchiveInUse) << QStringLiteral("archivio in uso da un altro programma: ");
        QTest::newRow("a lock file") << int(Trouble::LockFile)
                                     << QStringLiteral("file di blocco dati.ldb presente");
        QTest::newRow("too little space")
            << int(Trouble::NoSpace) << QStringLiteral("spazio libero insufficiente");
        QTest::newRow("no manifest, not confirmed")
            << int(Trouble::NoManifestAnsweredNo) << QStringLiteral("non può essere verificata");
        QTest::newRow("the confirmation answered No")
            << int(Trouble::ConfirmationAnsweredNo) << QStringLiteral("sarà messa da parte come");
        QTest::newRow("a copy that is not there")
            << int(Trouble::UnknownCopy) << QStringLiteral("non trovata");
        // A later run's copy holds the new year already: it would not undo the opening.
        QTest::newRow("no copy made before the opening, none named")
            << int(Trouble::NoCopyBeforeOpening)
            << QStringLiteral("nessuna copia fatta prima della riapertura in ");
    }

    // Refused before anything changes, with the reason in a box.
    void refusedChangesNothing()
    {
        QFETCH(int, trouble);
        QFETCH(QString, said);
        AfterRun f;
        const QString copy = f.copy();
        QString name;
        PreliminaryOptions options;
        QSqlDatabase holder;
        switch (Trouble(trouble)) {
        case Trouble::ByteChanged: {
            QFile archive(copy + years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/dati.mdb")));
            QVERIFY(archive.open(QIODevice::ReadWrite));
            archive.seek(archive.size() / 2);
            char byte = 0;
            archive.getChar(&byte);
            archive.seek(archive.size() / 2);
            archive.putChar(char(byte ^ 0x01));
            break;
        }
        case Trouble::FileAdded: {
            QFile note(copy + QStringLiteral("/nota.txt"));
            QVERIFY(note.open(QIODevice::WriteOnly));
            note.write("aggiunto a mano\n");
            break;
        }
        case Trouble::FileMissing:
            QVERIFY(QFile::remove(copy + years::fill(QStringLiteral("/esercizi/Azienda_2/{old}/dati.mdb"))));
            break;
        case Trouble::ArchiveInUse:
            holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(f.newArchive(2));
            holder.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(holder.open());
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("begin immediate")));
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("update CONTATORI set Progr_1 = Progr_1")));
            break;
        case Trouble::LockFile: {
            QFile lock(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.ldb"))));
            QVERIFY(lock.open(QIODevice::WriteOnly));
            break;
        }
        case Trouble::NoSpace:
            options.freeBytes = 1024;
            break;
        case Trouble::NoManifestAnsweredNo:
            QVERIFY(QFile::remove(copy + QLatin1Char('/') + QLatin1String(fs::ManifestFileName)));
            f.host.answers = {Answer::No};
            break;
        case Trouble::ConfirmationAnsweredNo:
            f.host.answers = {Answer::No};
            break;
        case Trouble::UnknownCopy:
            name = QStringLiteral("Copia_dati_01011999");
            break;
        case Trouble::NoCopyBeforeOpening:
            QVERIFY(QDir().mkpath(copy + years::fill(QStringLiteral("/esercizi/Azienda_2/{new}"))));
            break;
        }
        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());

        QCOMPARE(restoreSafetyCopy(f.ctx, name, options), RunOutcome::NotStarted);
        QCOMPARE(differences(before, TestInstall::fingerprint(f.install.driveC())), QString());
        QVERIFY2(f.host.boxesContaining(said) == 1, f.shownBoxes().constData());
        if (holder.isOpen()) {
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("rollback")));
            holder.close();
        }
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }

    void aCopyWithoutManifestOnceConfirmed()
    {
        AfterRun f;
        QVERIFY(QFile::remove(f.copy() + QLatin1Char('/') + QLatin1String(fs::ManifestFileName)));
        QCOMPARE(restoreSafetyCopy(f.ctx), RunOutcome::Done);
        QCOMPARE(f.host.boxes[0].buttons, Buttons::YesNoExplicit);
        QVERIFY(f.host.boxes[0].text.contains(QStringLiteral("non può essere verificata")));
        QCOMPARE(differences(withoutTmp(f.beforeRun), withoutTmp(TestInstall::fingerprint(f.data()))),
                 QString());
        QVERIFY(!f.host.events.filter(QStringLiteral("non verificati (copia senza manifesto)")).isEmpty());
    }

    void aFailurePutsTheDataFolderBack_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("setAside"); // the data folder was set aside before the failure
        QTest::addColumn<QString>("reason");
        const QString copying = QStringLiteral("copia dei dati dalla copia di sicurezza in corso...");
        const QString diskFull = QStringLiteral("errore 61 (Disco pieno (per prova))");
        QTest::newRow("the copy") << copying << int(Fault::DiskFull) << false << diskFull;
        // The copy changed after it was verified: what is copied from it does not match.
        QTest::newRow("the comparison with the manifest")
            << copying << int(Fault::CopyAltered) << false
            << years::fill(QStringLiteral("esercizi/Azienda_1/{old}/dati.mdb (contenuto diverso)"));
        QTest::newRow("the manifest cannot leave the staged copy (every run would stop on it)")
            << copying << int(Fault::ManifestLocked) << false << QStringLiteral("impossibile rimuovere ");
        QTest::newRow("the logs carried, data folder set aside")
            << QStringLiteral("trasferimento di log e rapporti in corso...") << int(Fault::DiskFull) << true
            << diskFull;
    }

    void aFailurePutsTheDataFolderBack()
    {
        QFETCH(QString, during);
        QFETCH(int, fault);
        QFETCH(bool, setAside);
        QFETCH(QString, reason);
        AfterRun f;
        const QString staged = f.file(QLatin1String(RestoreStagingFolder)) + QLatin1Char('/') +
                               QLatin1String(fs::ManifestFileName);
        bool done = false; // the copy altered, the staged manifest made immutable
        f.host.onYield = [&, during] {
            if (!f.host.events.contains(during) || done)
                return;
            if (Fault(fault) == Fault::DiskFull)
                throw Error(err::DiskFull, QStringLiteral("Disco pieno (per prova)"));
            QFile file(f.copy() + years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/dati.mdb")));
            if (Fault(fault) == Fault::CopyAltered)
                done = file.open(QIODevice::ReadWrite) && file.seek(100) && file.write("X") == 1;
            else if (QFileInfo(staged).size() > 0)
                done = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), staged}) == 0;
        };
        const RunOutcome outcome = restoreSafetyCopy(f.ctx);
        f.host.onYield = nullptr;
        if (Fault(fault) == Fault::ManifestLocked) {
            if (!done)
                QSKIP("chattr +i is refused here");
            for (const QString& path :
                 {staged, QString(f.data() + QLatin1Char('/') + QLatin1String(fs::ManifestFileName))})
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path}); // wherever it went
            QVERIFY(QFile::remove(staged) && QDir().rmdir(QFileInfo(staged).path()));
        }
        QCOMPARE(outcome, RunOutcome::DoneWithErrors);

        QCOMPARE(differences(withoutTmp(f.afterRun), withoutTmp(TestInstall::fingerprint(f.data()))),
                 QString());
        QVERIFY(f.setAside().isEmpty());
        QVERIFY(!f.stagingLeft());
        QCOMPARE(f.host.boxes.last().icon, Icon::Critical);
        QVERIFY2(f.host.boxes.last().text.contains(
                     QStringLiteral("la cartella dati è quella di prima del ripristino")),
                 f.shownBoxes().constData());
        const QString log = QString::fromLatin1(readFile(f.logPath()));
        QVERIFY2(log.contains(QStringLiteral("RIPRISTINO NON RIUSCITO: ")) && log.contains(reason),
                 qPrintable(log));
        QCOMPARE(f.host.events.filter(QStringLiteral("Cartella dati messa da parte")).size(),
                 setAside ? 1 : 0);
    }

    void anInterruptedRestoreIsOfferedBack_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("put back") << true;
        QTest::newRow("left aside") << false;
    }

    // A restore killed between its two renames: the check says where the data
    // folder went, the run offers to put it back.
    void anInterruptedRestoreIsOfferedBack()
    {
        QFETCH(bool, putBack);
        StepFixture f;
        f.install.addCompany(1);
        const QString data = f.file(QStringLiteral("dati"));
        const QString aside = f.file(QStringLiteral("Dati_prima_del_ripristino_20261207_101500"));
        const QString staging = f.file(QLatin1String(RestoreStagingFolder));
        QVERIFY(QDir().rename(data, aside));
        QVERIFY(QDir().mkpath(staging + QStringLiteral("/esercizi")));

        const Fingerprint before = TestInstall::fingerprint(f.install.driveC());
        runPreliminaryCheck(f.host, f.state);
        QVERIFY(!f.host.events
                     .filter(QStringLiteral("un ripristino interrotto l'ha messa da parte come ") +
                             TestInstall::base() +
                             QStringLiteral("Dati_prima_del_ripristino_20261207_101500"))
                     .isEmpty());
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);

        f.host.boxes.clear();
        f.host.answers = {Answer::Yes, putBack ? Answer::Yes : Answer::No};
        const RunOutcome outcome = runYearOpening(f.ctx);
        QVERIFY2(f.host.boxesContaining(QStringLiteral("Rimetterla al suo posto?")) == 1,
                 f.shownBoxes().constData());
        // Only the user's own answer: never the console's --yes.
        QCOMPARE(f.host.boxes[1].buttons, Buttons::YesNoExplicit);
        if (!putBack) {
            QCOMPARE(outcome, RunOutcome::NotStarted);
            QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
            return;
        }
        QCOMPARE(outcome, RunOutcome::Done);
        QVERIFY(!QDir(aside).exists());
        QVERIFY(!QDir(staging).exists());
        QVERIFY(QFile::exists(f.newArchive(1)));
        QVERIFY(!f.host.events.filter(QStringLiteral("Cartella dati rimessa al suo posto")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRestore)
#include "test_restore.moc"
