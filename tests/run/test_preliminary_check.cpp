// The check before the run: findings on a healthy installation and on each
// kind of trouble, and not one byte changed.
#include "check_fixture.h"
#include "data/interrupted_write.h"
#include "run/preliminary_check.h"
#include "run/run.h"
#include "scoped_mount.h"
#include "support/years.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace rio;
using Level = PreliminaryFinding::Level;

class TestPreliminaryCheck : public QObject
{
    Q_OBJECT

private slots:
    void aHealthyInstallationIsAllOkAndUntouched()
    {
        CheckFixture f;
        const auto before = TestInstall::fingerprint(f.install.driveC());
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY2(findingTexts(check, Level::Error).isEmpty(),
                 qPrintable(findingTexts(check, Level::Error).join(QLatin1Char('\n'))));
        QVERIFY(findingTexts(check, Level::Warning).isEmpty());
        QVERIFY(findingTexts(check, Level::Ok)
                    .contains(QStringLiteral("aziende trovate: 2 (Azienda_1, Azienda_3)")));
        QCOMPARE(f.host.events.size(), check.findings.size());
        QVERIFY(f.host.events.first().startsWith(QStringLiteral("OK ")));
        QCOMPARE(f.host.boxes.last().icon, Icon::Information);
        QVERIFY(f.host.boxes.last().text.endsWith(QStringLiteral("0 ATTENZIONE, 0 ERRORE")));
    }

    void eachTroubleIsFound()
    {
        CheckFixture f;
        QFile lock(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.ldb"))));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.close();
        TestInstall::exec(f.oldArchive(3), QStringLiteral("delete from AZIENDE"));
        QDir().mkpath(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_3\\{new}"))));
        // Never reopened: a folder in place of the archive, folders that are not a slot.
        QDir().mkpath(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_4\\{old}\\dati.mdb"))));
        QDir().mkpath(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_03\\{old}"))));
        QDir().mkpath(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_11\\{old}"))));

        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state, PreliminaryOptions{1024});

        const QStringList errors = findingTexts(check, Level::Error);
        QVERIFY2(
            errors.filter(years::fill(QStringLiteral("Azienda_1: l'archivio {old} è in uso (file di blocco")))
                    .size() == 1,
            qPrintable(errors.join(QLatin1Char('\n'))));
        QVERIFY(errors.filter(QStringLiteral("Azienda_3: manca la riga")).size() == 1);
        QVERIFY(errors.filter(QStringLiteral("spazio libero insufficiente")).size() == 1);
        QCOMPARE(errors.size(), 3);
        const QStringList warnings = findingTexts(check, Level::Warning);
        QVERIFY(warnings.contains(
            years::fill(QStringLiteral("Azienda_3: la cartella {new} esiste già e sarà sostituita"))));
        QVERIFY2(warnings.filter(years::fill(QStringLiteral("Azienda_4: {old}\\dati.mdb è una cartella")))
                         .size() == 1,
                 qPrintable(warnings.join(QLatin1Char('\n'))));
        QVERIFY(warnings.filter(QStringLiteral("cartella Azienda_03 ignorata")).size() == 1);
        QVERIFY(warnings.filter(QStringLiteral("cartella Azienda_11 ignorata")).size() == 1);
        QCOMPARE(f.host.boxes.last().icon, Icon::Critical);

        // ESEGUI agrees with VERIFICA: it refuses, with every ERRORE in its box
        // (the space here was only simulated).
        const auto before = TestInstall::fingerprint(f.install.driveC());
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        for (const QString& error : errors)
            QVERIFY2(error.startsWith(QStringLiteral("spazio")) || f.host.boxes.last().text.contains(error),
                     qPrintable(error));
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
    }

    void aMissingWorkgroupStopsEveryArchive()
    {
        CheckFixture f;
        QVERIFY(QFile::remove(f.install.host(TestInstall::mdw())));
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        const QStringList errors = findingTexts(check, Level::Error);
        QVERIFY(errors.filter(QStringLiteral("file di gruppo di lavoro mancante")).size() == 1);
        QVERIFY(errors.filter(years::fill(QStringLiteral("l'archivio {old} non si apre"))).size() == 2);
    }

    // A hot journal is played back by the run; one whose header was never
    // synced (all zero) is never played back by the engine, and the run
    // removes it. The check changes neither.
    // Company 3's archive is the one whose integrity check runs ahead, while
    // company 1's is reviewed.
    void anInterruptedArchiveIsLeftAloneByTheCheckAndRecoveredByTheRun_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("hot");
        QTest::addColumn<QString>("warning"); // %1: the slot
        QTest::addColumn<QString>("event");
        const QString hotWarning = QStringLiteral(
            "Azienda_%1: una riapertura precedente è stata interrotta: l'archivio sarà ripristinato "
            "all'inizio della riapertura");
        const QString hotEvent = QStringLiteral("dati.mdb riportato all'ultimo stato confermato");
        QTest::newRow("hot journal") << 1 << true << hotWarning << hotEvent;
        QTest::newRow("hot journal beside the archive checked ahead") << 3 << true << hotWarning << hotEvent;
        QTest::newRow("journal never synced")
            << 1 << false
            << years::fill(QStringLiteral(
                   "Azienda_%1: il file dati.mdb-journal è rimasto da una riapertura interrotta prima "
                   "che l'archivio {old} fosse modificato: sarà rimosso all'inizio della riapertura"))
            << QStringLiteral("dati.mdb: rimosso il file dati.mdb-journal");
    }
    void anInterruptedArchiveIsLeftAloneByTheCheckAndRecoveredByTheRun()
    {
        QFETCH(int, slot);
        QFETCH(bool, hot);
        QFETCH(QString, warning);
        QFETCH(QString, event);
        warning = warning.arg(slot);
        CheckFixture f;
        const QString archive = f.oldArchive(slot);
        if (hot) {
            TestInstall::leaveInterruptedWrite(
                archive, QStringLiteral("update AZIENDE set Ragione_Sociale1 = 'A METÀ'"));
        } else {
            QFile journal(archive + QStringLiteral("-journal"));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            journal.write(QByteArray(4096, '\0'));
        }
        const auto before = TestInstall::fingerprint(f.install.driveC());

        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY2(findingTexts(check, Level::Warning).contains(warning),
                 qPrintable(findingTexts(check, Level::Warning).join(QLatin1Char('\n'))));
        QVERIFY(findingTexts(check, Level::Error).isEmpty());
        QCOMPARE(findingTexts(check, Level::Warning)
                     .filter(QStringLiteral("Azienda_%1: lo spazio per il LOG").arg(slot))
                     .size(),
                 hot ? 1 : 0);

        f.host.boxes.clear();
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QVERIFY(!QFile::exists(archive + QStringLiteral("-journal")));
        QVERIFY2(f.host.events
                         .filter(years::fill(
                                     QStringLiteral("Archivio c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\"
                                                    "Azienda_%1\\{old}\\")
                                         .arg(slot)) +
                                 event)
                         .size() == 1,
                 qPrintable(f.host.events.join(QLatin1Char('\n'))));
        QCOMPARE(f.host.boxesContaining(QStringLiteral("Azienda %1 S.r.l. eseguita").arg(slot)), 1);
        QCOMPARE(TestInstall::scalar(archive, QStringLiteral("select count(*) from sqlite_master where "
                                                             "name = 'zz_spill'")),
                 QVariant(0));
    }

    // What the run would trip on half-way: the check says ERRORE, and the run
    // then refuses to start with every file as it was.
    void whatTheRunWouldTripOnIsAnErrorAndRefusesTheRun_data()
    {
        QTest::addColumn<QString>("immutable"); // relative to the root, made immutable
        QTest::addColumn<bool>("mount");        // that folder bound read-only instead
        QTest::addColumn<QString>("sql");       // run on company 1's old-year archive, or the damaged one
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("zetaFolder"); // "Abilita aggiornamento in cartella Zeta" ticked
        QTest::addColumn<int>("damaged"); // the company whose archive has one page in the middle overwritten
        QTest::newRow("archive immutable")
            << years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.mdb")) << false << QString()
            << years::fill(QStringLiteral("Azienda_1: l'archivio {old} non è scrivibile")) << false << 0;
        QTest::newRow("new-year folder immutable")
            << years::fill(QStringLiteral("dati\\Esercizi\\Azienda_1\\{new}")) << false << QString()
            << years::fill(QStringLiteral("Azienda_1: la cartella {new} non è scrivibile")) << false << 0;
        QTest::newRow("data folder immutable")
            << QStringLiteral("dati") << false << QString()
            << QStringLiteral("la cartella dati non è scrivibile") << false << 0;
        QTest::newRow("data folder on a read-only mount")
            << QStringLiteral("dati") << true << QString()
            << years::fill(QStringLiteral("Azienda_1: l'archivio {old} non è scrivibile")) << false << 0;
        QTest::newRow("article without code")
            << QString() << false
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt, DescrArt) values ('A1', 'a'), (null, 'senza codice')")
            << QStringLiteral("Azienda_1: l'articolo alla riga 2 di ANAG_ART non ha codice") << false << 0;
        // Ticked by mistake: the product's folder holds no company, and a run
        // that opens nothing would end as a success.
        QTest::newRow("no company") << QString() << false << QString()
                                    << years::fill(
                                           QStringLiteral("nessuna azienda con archivio {old} trovata in "
                                                          "c:\\Programmi\\Zeta\\dati\\esercizi"))
                                    << true << 0;
        // Passes every other check: only the engine's own check reads every page.
        const QString manyArticles = QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
            "insert into ANAG_ART(CodArt, DescrArt) select 'A' || i, hex(randomblob(300)) from n");
        QTest::newRow("damaged page")
            << QString() << false << manyArticles
            << years::fill(QStringLiteral(
                   "Azienda_1: l'archivio {old} c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\"
                   "Azienda_1\\{old}\\dati.mdb è danneggiato (controllo di integrità: "))
            << false << 1;
        // Checked on the second thread while company 1 is reviewed.
        QTest::newRow("damaged page of the archive checked ahead")
            << QString() << false << manyArticles
            << years::fill(QStringLiteral(
                   "Azienda_3: l'archivio {old} c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\"
                   "Azienda_3\\{old}\\dati.mdb è danneggiato (controllo di integrità: "))
            << false << 3;
    }
    void whatTheRunWouldTripOnIsAnErrorAndRefusesTheRun()
    {
        QFETCH(QString, immutable);
        QFETCH(bool, mount);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QFETCH(bool, zetaFolder);
        QFETCH(int, damaged);
        CheckFixture f;
        f.host.zetaFolder = zetaFolder;
        if (!sql.isEmpty())
            TestInstall::exec(f.oldArchive(damaged ? damaged : 1), sql);
        if (damaged) {
            TestInstall::overwriteMiddlePage(f.oldArchive(damaged));
            // Said in its turn, right after the archive opens, and the archive
            // is read no further; the other company is checked whole.
            QStringList lines;
            for (const PreliminaryFinding& finding : runPreliminaryCheck(f.host, f.state).findings)
                lines << finding.text;
            qsizetype said = 0;
            while (said < lines.size() && !lines.at(said).startsWith(expected))
                ++said;
            QVERIFY2(said > 0 && said < lines.size(), qPrintable(lines.join(QLatin1Char('\n'))));
            QCOMPARE(
                lines.at(said - 1),
                years::fill(QStringLiteral("Azienda_%1: l'archivio {old} si apre con l'utente del programma"))
                    .arg(damaged));
            QVERIFY(lines.filter(QStringLiteral("Azienda_%1: tabelle").arg(damaged)).isEmpty());
            QCOMPARE(lines.filter(QStringLiteral("Azienda_%1: tabelle necessarie presenti").arg(4 - damaged))
                         .size(),
                     1);
        }
        std::unique_ptr<ScopedMount> readOnly;
        if (mount) {
            readOnly = ScopedMount::readOnly(f.file(immutable));
            if (!readOnly->isMounted())
                QSKIP("mounting is not allowed here");
        }
        QString flagged;
        if (!immutable.isEmpty() && !mount) {
            flagged = f.file(immutable);
            QDir().mkpath(QFileInfo(flagged).isFile() ? QString() : flagged);
            if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), flagged}) != 0)
                QSKIP("chattr +i is not available here");
        }
        const auto cleanUp = qScopeGuard([&flagged] {
            if (!flagged.isEmpty())
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), flagged});
        });
        f.refusedWith(expected);
    }

    // Another program writing (before or after its journal's first sync),
    // or only reading inside a transaction, on an old-year archive or on a new-year
    // one the run would replace: either way ERRORE, and ESEGUI refuses with
    // every file as it was, the other program's journal included.
    void anArchiveLockedByAnotherConnectionIsInUse_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QStringList>("statements"); // the last one is left in the middle
        QTest::addColumn<bool>("hotJournal");
        const QString writing = QStringLiteral("update CONTATORI set Progr_1 = Progr_1");
        const QString reading = QStringLiteral("select CodArt from ANAG_ART");
        QTest::newRow("old year writing")
            << years::Old << QStringList{QStringLiteral("begin immediate"), writing} << false;
        QTest::newRow("old year writing past its journal's sync")
            << years::Old
            << QStringList{QStringLiteral("pragma cache_size = 1"), QStringLiteral("begin immediate"),
                           QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n "
                                          "where i < 200) insert into ANAG_ART(CodArt, DescrArt) select "
                                          "'X' || i, hex(randomblob(2000)) from n")}
            << true;
        QTest::newRow("old year reading")
            << years::Old << QStringList{QStringLiteral("begin"), reading} << false;
        QTest::newRow("new year writing")
            << years::New << QStringList{QStringLiteral("begin immediate"), writing} << false;
        QTest::newRow("new year reading")
            << years::New << QStringList{QStringLiteral("begin"), reading} << false;
    }
    void anArchiveLockedByAnotherConnectionIsInUse()
    {
        QFETCH(int, year);
        QFETCH(QStringList, statements);
        QFETCH(bool, hotJournal);
        CheckFixture f;
        const QString archive = year == years::Old ? f.oldArchive(1) : f.install.createArchive(1, year);
        TestInstall::exec(archive, QStringLiteral("insert into ANAG_ART(CodArt) values ('A1'), ('A2')"));
        const QString expected =
            QStringLiteral("Azienda_1: l'archivio %1 è in uso da un altro programma").arg(year);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            db.setDatabaseName(archive);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& statement : statements.mid(0, statements.size() - 1))
                QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
            QSqlQuery held(db);
            QVERIFY2(held.exec(statements.last()), qPrintable(held.lastError().text()));
            held.next(); // a read left in the middle holds its lock
            QCOMPARE(leftoverJournal(TestInstall::archiveWindowsPath(1, year)) == LeftoverJournal::Hot,
                     hotJournal);
            f.refusedWith(expected);
            held.finish();
            QVERIFY(q.exec(QStringLiteral("rollback")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    }
};

QTEST_GUILESS_MAIN(TestPreliminaryCheck)
#include "test_preliminary_check.moc"
