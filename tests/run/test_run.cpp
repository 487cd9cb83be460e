// Whole runs of the year opening on a temporary installation, through a
// recording screen.
#include "run/run.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace rio;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRun : public QObject
{
    Q_OBJECT

private slots:
    void answeringNoChangesNothing_data()
    {
        QTest::addColumn<bool>("opened"); // company 1 already has its new-year archive
        QTest::addColumn<QString>("asked");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("title");
        QTest::newRow("the confirmation")
            << false
            << QStringLiteral("Prima di continuare è preferibile scollegare tutti gli utenti\r\nContinuare?")
            << int(Buttons::YesNo) << QStringLiteral("Ventor");
        // A re-run first names what it replaces, and proposes No.
        QTest::newRow("the new-year archive replaced by a re-run")
            << true
            << years::fill(QStringLiteral(
                   "La riapertura è già stata eseguita: questa azienda ha già l'archivio {new}.\r\n"
                   "- Azienda_1 (Azienda 1 S.r.l.)\r\n\r\nProseguendo, l'archivio {new} di questa "
                   "azienda sarà sostituito da uno nuovo, ricreato dal {old}"))
            << int(Buttons::YesNoDefaultNo) << QStringLiteral("Riapertura");
    }

    void answeringNoChangesNothing()
    {
        QFETCH(bool, opened);
        QFETCH(QString, asked);
        QFETCH(int, buttons);
        QFETCH(QString, title);
        StepFixture f;
        f.install.createArchive(1);
        if (opened)
            f.install.createArchive(1, years::New);
        const auto before = TestInstall::fingerprint(f.install.driveC());
        f.host.answers = {Answer::No};
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        QCOMPARE(f.host.boxes.size(), 1);
        const auto box = f.host.boxes.first();
        QVERIFY2(box.text.startsWith(asked), qPrintable(box.text));
        QCOMPARE(int(box.buttons), buttons);
        QCOMPARE(box.icon, Icon::Exclamation);
        QCOMPARE(box.title, title);
        QCOMPARE(f.host.events,
                 opened
                     ? QStringList{years::fill(QStringLiteral(
                           "Riapertura non eseguita: l'archivio {new} di Azienda_1 non è stato sostituito"))}
                     : QStringList());
        QVERIFY(f.host.runEnabled);
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(!QDir(f.file(QStringLiteral("dati\\Tmp"))).exists());
    }

    void companiesAreProcessedInSlotOrder()
    {
        StepFixture f;
        // The last slot is scanned and copied like the others.
        for (int slot : {10, 2})
            f.install.addCompany(slot);
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);

        QStringList worked;
        for (const auto& [label, caption] : f.host.labelLog)
            if (label == CompanyInfo::Slot)
                worked << caption;
        // Cleared as the run starts, then each company in turn.
        QCOMPARE(worked, QStringList({QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("10")}));
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("2"));
        QCOMPARE(f.boxTexts().mid(1),
                 QStringList(
                     {QStringLiteral("Riapertura nuovo esercizio per L'azienda: Azienda 2 S.r.l. eseguita"),
                      QStringLiteral("Riapertura nuovo esercizio per L'azienda: Azienda 10 S.r.l. eseguita"),
                      QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE")}));
        QCOMPARE(f.host.boxes.last().title, QStringLiteral("Ventor 2005"));
        QCOMPARE(f.host.events.last(), QStringLiteral("riapertura archivi conclusa con successo!"));
        QVERIFY(f.host.events.contains(QStringLiteral("ripristino magazzino azienda n. 10 in corso...")));
        QVERIFY(f.host.runEnabled);
        QVERIFY(f.host.closeEnabled);
        QVERIFY(f.host.yearsLocked);

        // The progress follows the companies and reaches the end.
        QList<int> companies;
        for (const RunProgressReport& p : std::as_const(f.host.progress))
            if (companies.isEmpty() || companies.last() != p.company)
                companies << p.company;
        QCOMPARE(companies, QList<int>({0, 1, 2}));
        QCOMPARE(f.host.progress.last().fraction, 1.0);

        for (int slot : {2, 10})
            QVERIFY2(QDir(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_%1\\{new}")).arg(slot)))
                         .exists(),
                     qPrintable(QString::number(slot)));
        // The new-year archive holds the opening movements and the carried item.
        const QString next = f.newArchive(2);
        QCOMPARE(TestInstall::scalar(
                     next, QStringLiteral("select count(*) from MOV_MAG where TipoMov='RIAPERTURA'"))
                     .toInt(),
                 3);
        QCOMPARE(TestInstall::scalar(next, QStringLiteral("select Giacenza1 from ANAG_ART where CodArt='A1'"))
                     .toDouble(),
                 5.0);
        QCOMPARE(TestInstall::scalar(next, QStringLiteral("select count(*) from MOV_CONT")).toInt(), 1);
        QVERIFY(QDir(f.file(QStringLiteral("Copia_dati_")) +
                     QDate::currentDate().toString(QStringLiteral("ddMMyyyy")))
                    .exists());

        // The copy holds the log as it was at the copy's turn, begun beside
        // the check as the copy was: the run's lines up to the copy's own.
        const QByteArray copiedLog = readFile(f.install.host(f.state.record.safetyCopy) + QStringLiteral("/Tmp/") +
                                              QFileInfo(f.logPath()).fileName());
        QVERIFY2(copiedLog.endsWith("\"backup di sicurezza degli archivi in corso...\"\r\n"),
                 copiedLog.right(300).constData());

        // Every event line reached the log, quoted, CR LF.
        QByteArray expected;
        for (const QString& line : f.host.events)
            expected += '"' + line.toLatin1() + "\"\r\n";
        f.state.release();
        QCOMPARE(readFile(f.logPath()), expected);
        QVERIFY(expected.startsWith(copiedLog));
    }

    void missingCompanyRowIsRefusedBeforeAnythingIsWritten()
    {
        StepFixture f;
        f.install.addCompany(1);
        f.install.createArchive(2);
        TestInstall::exec(f.oldArchive(1), QStringLiteral("delete from AZIENDE"));
        const auto before = TestInstall::fingerprint(f.install.driveC());

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);

        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(!QDir(f.file(QStringLiteral("dati\\Tmp"))).exists());
        const auto box = f.host.boxes.last();
        QVERIFY2(
            box.text.startsWith(QStringLiteral("Impossibile iniziare la riapertura: Azienda_1: manca la riga "
                                               "'Azienda_1' nella tabella AZIENDE")),
            qPrintable(box.text));
        QCOMPARE(box.icon, Icon::Critical);
        QCOMPARE(f.host.events,
                 QStringList{QStringLiteral("ERRORE Azienda_1: manca la riga 'Azienda_1' nella "
                                            "tabella AZIENDE: la riapertura si interromperebbe")});
        QVERIFY(f.host.runEnabled);
    }

    void companyRowGoneAfterTheCheckEndsTheProgram()
    {
        StepFixture f;
        f.install.addCompany(1);
        f.install.createArchive(2);
        const QByteArray before = readFile(f.oldArchive(2));
        // The row disappears between the check and the company's turn.
        f.host.onStepFinished = [&f](const QString& step, int) {
            if (step == QLatin1String("CREO_NUOVO_ANNO"))
                TestInstall::exec(f.oldArchive(1), QStringLiteral("delete from AZIENDE"));
        };

        QVERIFY_THROWS_EXCEPTION(ProgramEnd, runYearOpening(f.ctx));

        const auto box = f.host.boxes.last();
        QVERIFY2(box.text.contains(
                     QStringLiteral("3021 (Nessuna riga trovata nella tabella AZIENDE dell'archivio")),
                 qPrintable(box.text));
        QCOMPARE(box.icon, Icon::Critical);
        QCOMPARE(f.host.events.last(), box.text);
        QVERIFY(!f.state.log);
        // Company 2 was never reached: its new archive is still the raw copy.
        QCOMPARE(readFile(f.newArchive(2)), before);
        QVERIFY(readFile(f.logPath()).endsWith(QByteArray('"' + box.text.toLatin1() + "\"\r\n")));
    }

    // The check's reading of the stock serves the recomputation only while
    // the archive is as the check read it.
    void aMovementChangedAfterTheCheckIsCounted()
    {
        StepFixture f;
        f.install.addCompany(1);
        f.host.onStepFinished = [&f](const QString& step, int) {
            if (step == QLatin1String("CREO_NUOVO_ANNO"))
                TestInstall::exec(
                    f.oldArchive(1),
                    QStringLiteral("update MOV_MAG set Qta = 7 where CodArt = 'A1' and Dep = '01'"));
        };

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);

        QCOMPARE(TestInstall::scalar(f.oldArchive(1),
                                     QStringLiteral("select Giacenza1 from ANAG_ART where CodArt='A1'"))
                     .toDouble(),
                 7.0);
    }

    void withoutTheLogNothingIsWrittenButTmpIsMade()
    {
        StepFixture f;
        f.install.createArchive(1);
        f.host.logOn = false;
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QVERIFY(QDir(f.file(QStringLiteral("dati\\Tmp"))).exists());
        QVERIFY(!QFile::exists(f.logPath()));
        QVERIFY(f.host.events.size() > 5);
    }

    void chklogIsReadAtEveryLine()
    {
        StepFixture f;
        f.install.addCompany(1);
        f.host.onYield = [&f] {
            if (f.host.progressCaption == QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."))
                f.host.logOn = false;
            else if (f.host.progressCaption.startsWith(QStringLiteral("Ripristino in corso articolo")))
                f.host.logOn = true;
        };
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        f.state.release();
        const QByteArray log = readFile(f.logPath());
        QVERIFY(log.contains("\"creazione nuovi archivi in corso...\"\r\n"));
        QVERIFY(!log.contains("\"ripristino magazzino azienda n. 1 in corso...\"\r\n"));
        QVERIFY(log.contains("\"ripristino in corso articolo: b2 - bulloni\"\r\n"));
        QVERIFY(log.endsWith("\"riapertura archivi conclusa con successo!\"\r\n"));
    }

    void twoRunsAppendToOneLog()
    {
        StepFixture f;
        f.install.addCompany(1);
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        const int firstLines = f.host.events.size();
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        f.state.release();
        QCOMPARE(readFile(f.logPath()).count("\r\n"), qsizetype(f.host.events.size()));
        QVERIFY(f.host.events.size() > firstLines);
        // The second run replaced the new year with a fresh copy and redid it.
        QCOMPARE(
            TestInstall::scalar(f.newArchive(1),
                                QStringLiteral("select count(*) from MOV_MAG where TipoMov='RIAPERTURA'"))
                .toInt(),
            3);
        // Each run kept its own safety copy.
        QCOMPARE(QDir(f.root()).entryList({QStringLiteral("Copia_dati_*")}, QDir::Dirs).size(), 2);
    }

    void aSafetyCopyThatDoesNotMatchStopsTheRunBeforeAnyArchive()
    {
        StepFixture f;
        f.install.addCompany(1);
        const QByteArray before = readFile(f.oldArchive(1));
        // A killed run's report working file waits in Tmp: the run removes it
        // first and so copies after its check, the window yielding between the
        // copy's writing and its reading back.
        QVERIFY(QDir().mkpath(f.file(QStringLiteral("dati\\Tmp"))));
        QFile leftover(f.file(QStringLiteral("dati\\Tmp\\verifica_Riapertura_x.parziale")));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        // The copy is damaged between its writing and its reading back.
        f.host.onYield = [&f] {
            const QString copy = f.install.host(f.state.record.safetyCopy);
            if (!f.state.record.safetyCopy.isEmpty() &&
                QFile::exists(copy + QStringLiteral("/copia_di_sicurezza.sha256"))) {
                QFile archive(copy + years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/dati.mdb")));
                if (archive.open(QIODevice::ReadWrite)) {
                    archive.seek(100);
                    archive.write("X");
                }
            }
        };

        QVERIFY_THROWS_EXCEPTION(ProgramEnd, runYearOpening(f.ctx));

        const QString refusal = QStringLiteral("COPIA DI SICUREZZA NON RIUSCITA: la riapertura non prosegue, "
                                               "nessun archivio è stato modificato");
        QCOMPARE(f.boxTexts().size(), 3);
        QVERIFY2(f.boxTexts()[1].endsWith(QStringLiteral("in procedure COPIO_CARTELLA of Form frmRiapri")),
                 qPrintable(f.boxTexts()[1]));
        QCOMPARE(f.boxTexts()[2], refusal);
        QCOMPARE(f.host.boxes.last().icon, Icon::Critical);
        QVERIFY(readFile(f.logPath()).endsWith("nessun archivio \xe8 stato modificato\"\r\n"));
        QCOMPARE(readFile(f.oldArchive(1)), before);
        QVERIFY(!QDir(f.file(years::fill(QStringLiteral("dati\\Esercizi\\Azienda_1\\{new}")))).exists());
        // The half copy is gone: it would pass for a copy later.
        QVERIFY(!QDir(f.install.host(f.state.record.safetyCopy)).exists());
    }

    void eachRunStartsFromAFreshStateOnceConfirmed()
    {
        StepFixture f;
        f.install.createArchive(1);
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        f.state.ElencoAziende[5] = QStringLiteral("c:\\altrove\\dati.mdb*ATTIVA");
        f.state.NumAziende = 9;

        // Answering No leaves everything as it was, the open log included.
        f.host.answers = {Answer::No};
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        QCOMPARE(f.state.NumAziende, 9);
        QVERIFY(f.state.log && f.state.log->isOpen());

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QCOMPARE(f.state.NumAziende, 1);
        QVERIFY(f.state.ElencoAziende[5].isEmpty());
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("1"));
    }

    void serverRootWithoutFinalBackslashStillFindsTheCompanies()
    {
        StepFixture f;
        f.install.createArchive(1);
        TestInstall::exec(f.install.host(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb")),
                          QStringLiteral("update system set Percorso='c:\\Programmi\\Ventor Sistemi'"));
        f.host.server = true;
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QCOMPARE(f.state.PercorsoBase, QStringLiteral("c:\\Programmi\\Ventor Sistemi\\"));
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("1"));
    }

    void theRootIsReadFromTheSystemTableOnlyForServer_data()
    {
        QTest::addColumn<QString>("percorso");
        QTest::newRow("empty") << QStringLiteral("''");
        QTest::newRow("Null") << QStringLiteral("null");
    }
    void theRootIsReadFromTheSystemTableOnlyForServer()
    {
        QFETCH(QString, percorso);
        StepFixture f;
        f.install.createArchive(1);
        const QString system =
            f.install.host(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb"));
        TestInstall::exec(system, QStringLiteral("update system set Percorso=") + percorso);

        // LOCAL never looks at Percorso.
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);

        // SERVER with an empty root would glue every path to the working
        // folder: the run does not start.
        f.host.server = true;
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        QVERIFY2(f.host.boxes.last().text.contains(
                     QStringLiteral("il campo Percorso della tabella system è vuoto")),
                 qPrintable(f.host.boxes.last().text));
        QCOMPARE(f.host.boxes.last().icon, Icon::Critical);
    }

    void anArchiveThatCannotBeInitialisedGetsNoMovements()
    {
        StepFixture f;
        const QString old = f.install.addCompany(1);
        // A counter table without one of the counters: the reset fails.
        TestInstall::exec(old, QStringLiteral("alter table CONTATORI drop column Progr_Mov_Iva"));

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);

        const QStringList texts = f.boxTexts();
        QVERIFY(texts.filter(QStringLiteral("in procedure INIZIALIZZAZIONE_FILE of Form frmRiapri")).size() ==
                1);
        QVERIFY(
            f.host.events.contains(QStringLiteral("nuovo archivio non inizializzato: movimenti non creati")));
        QVERIFY(texts.contains(QStringLiteral(
            "Riapertura nuovo esercizio per L'azienda: Azienda 1 S.r.l. eseguita con errori")));
        QCOMPARE(texts.last(),
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));
        QCOMPARE(f.host.boxes.last().icon, Icon::Exclamation);
        QCOMPARE(f.host.events.last(), QStringLiteral("riapertura archivi conclusa con errori!"));
        // Nothing was added on top of last year's movements.
        const QString next = f.newArchive(1);
        QCOMPARE(TestInstall::scalar(next, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 3);
        QCOMPARE(TestInstall::scalar(next, QStringLiteral("select count(*) from MOV_CONT")).toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRun)
#include "test_run.moc"
