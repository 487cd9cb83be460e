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

    // What the steps report and pass over never blocks the start; what they
    // will refuse or leave to be checked by hand is ATTENZIONE, counted, the
    // first rows named, and the run then meets it.
    void whatTheStepsPassOverDoesNotRefuseTheRun_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("warning");  // empty: none
        QTest::addColumn<QString>("runMeets"); // an event of the run, empty: none looked for
        QTest::newRow("no movement table")
            << QStringLiteral("drop table MOV_PROVV") << QString() << QString();
        QTest::newRow("no CAUSALI") << QStringLiteral("drop table CAUSALI")
                                    << QStringLiteral("tabella CAUSALI assente") << QString();
        QTest::newRow("empty ANAG_ART") << QStringLiteral("delete from ANAG_ART") << QString() << QString();
        const QString item = QStringLiteral(
            "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, Numero_Documento, "
            "Totale_Mov_Cont) values ");
        QTest::newRow("open item without supplier code")
            << item + years::fill(QStringLiteral(
                          "('{old}-05-02', 'F', '  ', 'FA', '12', 30), ('{old}-05-03', 'F', '7', 'FA', "
                          "'13', 30)"))
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"F\" \"  \", documento \"FA\" n. "
                   "\"12\" del \"02/05/{old}\" (dati mancanti: codice cliente/fornitore)"))
            << QStringLiteral("Non si è potuto creare l'ID del Movimento Contabile");
        // Read side by side, said in the order the steps meet them.
        QTest::newRow("twin articles, then a refused open item")
            << QStringLiteral("insert into ANAG_ART(CodArt) values ('Q1'), ('q1'); ") + item +
                   years::fill(QStringLiteral("('{old}-05-02', 'F', '  ', 'FA', '12', 30)"))
            << QStringLiteral("Azienda_1: 1 articoli con codice gemello\nAzienda_1: 1 partite aperte non "
                              "saranno riportate")
            << QString();
        QTest::newRow("open items without a field the carry-forward reads")
            << item + years::fill(QStringLiteral("('{old}-05-02', 'C', '9', 'FT', '7', 30)")) +
                   QStringLiteral("; alter table MOV_CONT drop column Tipo_Mov")
            << QStringLiteral("Azienda_1: partite aperte non leggibili, il loro riporto fallirà: errore 3265")
            << QString();
        // Not refused for its key, but the writer cannot read its number.
        QTest::newRow("open item with a Null document number")
            << item + years::fill(QStringLiteral("('{old}-05-02', 'C', '9', 'FT', null, 30)"))
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"C\" \"9\", documento \"FT\" n. Null "
                   "del \"02/05/{old}\" (numero documento Null)"))
            << QStringLiteral("Error 94 (Invalid use of Null) in procedure GENERO_MOVIMENTO_CONTABILE");
        // Refused when the row is stored: its date column holds no date.
        QTest::newRow("open item with a date the column cannot hold")
            << item + QStringLiteral("('domani', 'C', '9', 'FT', '4', 30)")
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"C\" \"9\", documento \"FT\" n. \"4\" "
                   "del \"domani\" (errore -2147217913"))
            << QStringLiteral("in procedure GENERO_MOVIMENTO_CONTABILE");
        QTest::newRow("six refused open items, five named")
            << years::fill(QStringLiteral(
                   "with recursive n(i) as (select 1 union all select i + 1 from n where i < 6) insert "
                   "into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                   "Numero_Documento) select '{old}-05-02', 'F', i, 'FA', ' ' from n"))
            << QStringLiteral("(dati mancanti: numero documento) e altri 1") << QString();
        QTest::newRow("twin codes by case and by blanks")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt, DescrArt) values ('d4', 'a'), ('D4', 'b'), (' D4', "
                   "'c'), ('E5', 'd')")
            << years::fill(QStringLiteral(
                   "Azienda_1: 2 articoli con codice gemello di un altro (differiscono solo per "
                   "maiuscole/minuscole o spazi): il ricalcolo delle giacenze dà i loro movimenti "
                   "a un solo articolo e la giacenza {new} andrà controllata a mano: \" D4\" (come "
                   "\"d4\"), \"D4\" (come \"d4\")"))
            << QString();
        QTest::newRow("movements no article's lookup counts")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt) values ('H8 '), ('J9'); insert into MOV_MAG(CodArt, "
                   "Dep, Qta) values (null, '01', 4), ('h8 ', '01', 1), ('J9', '02', 1), ('k1', '03', "
                   "1), (null, '07', 1)")
            << QStringLiteral(
                   "Azienda_1: 1 movimenti di magazzino senza codice articolo: il ricalcolo delle "
                   "giacenze non li conta\nAzienda_1: movimenti di magazzino di 2 codici che nessun "
                   "articolo ha (o che un articolo ha solo con spazi all'inizio o alla fine): il "
                   "ricalcolo delle giacenze non li conta: \"H8 \", \"K1\"")
            << QString();
        QTest::newRow("blank and padded codes")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt, DescrArt) values ('   ', 'a'), ('F6 ', 'b'), ('G7', "
                   "'c'), ('', 'd')")
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 articoli con codice vuoto o con spazi all'inizio o alla fine: il "
                   "ricalcolo delle giacenze li salta e la giacenza {new} andrà controllata a mano: "
                   "\"F6 \""))
            << QString();
    }
    void whatTheStepsPassOverDoesNotRefuseTheRun()
    {
        QFETCH(QString, sql);
        QFETCH(QString, warning);
        QFETCH(QString, runMeets);
        CheckFixture f;
        TestInstall::execAll(f.oldArchive(1), sql.split(QStringLiteral("; ")));
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        const QStringList errors = findingTexts(check, Level::Error);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        const QStringList warnings = findingTexts(check, Level::Warning);
        qsizetype previous = -1;
        for (const QString& expected : warning.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QVERIFY2(warnings.filter(expected).size() == 1, qPrintable(warnings.join(QLatin1Char('\n'))));
            // In the order given.
            qsizetype at = 0;
            while (!warnings.at(at).contains(expected))
                ++at;
            QVERIFY2(at > previous, qPrintable(warnings.join(QLatin1Char('\n'))));
            previous = at;
        }
        f.host.events.clear();
        QVERIFY(runYearOpening(f.ctx) != RunOutcome::NotStarted);
        QVERIFY(QFile::exists(f.newArchive(1)));
        QVERIFY(QFile::exists(f.newArchive(3)));
        if (!runMeets.isEmpty())
            QVERIFY2(!f.host.events.filter(runMeets).isEmpty(),
                     qPrintable(f.host.events.join(QLatin1Char('\n'))));
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
