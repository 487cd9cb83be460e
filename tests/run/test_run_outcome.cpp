// How a whole run ends: one of three outcomes, said in the same words by the
// status panel, the report's headline, the closing lines and the final box;
// a report or spreadsheet that cannot be written whole is an error of the run.
#include "context/layout.h"
#include "run/run.h"
#include "scoped_mount.h"
#include "step_fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace rio;

namespace {

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

enum class Trouble { None, TwinArticles, RefusedOpenItem };

} // namespace

class TestRunOutcome : public QObject
{
    Q_OBJECT

private slots:
    void eachOutcomeIsSaidTheSameEverywhere_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("headlineClass");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<Tone>("tone");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("company");
        QTest::newRow("eseguita")
            << Trouble::None << RunOutcome::Done
            << QStringLiteral("RIAPERTURA ESEGUITA: nessun errore, nessuna discordanza, nessun avviso")
            << QStringLiteral("ok") << QStringLiteral("Riapertura eseguita (1 azienda)") << Tone::Plain
            << QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE")
            << QStringLiteral("Azienda_1 Azienda 1 S.r.l.: eseguita");
        QTest::newRow("eseguita con avvisi")
            << Trouble::TwinArticles << RunOutcome::DoneWithWarnings
            << QStringLiteral(
                   "RIAPERTURA ESEGUITA CON AVVISI: nessun errore, nessuna discordanza, 1 avviso da "
                   "controllare a mano")
            << QStringLiteral("warn")
            << QStringLiteral("Riapertura eseguita con avvisi: 1 avviso da controllare a mano, elencato nel "
                              "rapporto di verifica, sezione \"Discordanze e avvisi\"")
            << Tone::Warning
            << QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CON AVVISI: 1 avviso da controllare a mano, "
                              "elencato nel rapporto di verifica, sezione \"Discordanze e avvisi\":\r\n")
            << QStringLiteral(
                   "Azienda_1 Azienda 1 S.r.l.: eseguita con avvisi (1 avviso da controllare a mano)");
        QTest::newRow("eseguita con errori")
            << Trouble::RefusedOpenItem << RunOutcome::DoneWithErrors
            << QStringLiteral(
                   "RIAPERTURA ESEGUITA CON ERRORI: 1 errore della riapertura, 1 discordanza, 0 avvisi")
            << QStringLiteral("ko") << QStringLiteral("Riapertura eseguita con errori in 1 azienda su 1")
            << Tone::Error
            << QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi")
            << QStringLiteral("Azienda_1 Azienda 1 S.r.l.: eseguita con errori (1 errore, 1 discordanza)");
    }
    // One installation per outcome, run whole.
    void eachOutcomeIsSaidTheSameEverywhere()
    {
        QFETCH(Trouble, trouble);
        QFETCH(RunOutcome, outcome);
        QFETCH(QString, headline);
        QFETCH(QString, headlineClass);
        QFETCH(QString, panel);
        QFETCH(Tone, tone);
        QFETCH(QString, box);
        QFETCH(QString, company);
        StepFixture f;
        const QString archive = f.install.addCompany(1);
        if (trouble == Trouble::TwinArticles)
            TestInstall::addTwinArticles(archive);
        else if (trouble == Trouble::RefusedOpenItem)
            TestInstall::addRefusedOpenItem(archive);

        QCOMPARE(runYearOpening(f.ctx), outcome);

        QCOMPARE(f.host.summary.last(), headline);
        const QString html = readText(f.install.host(f.host.reportPath));
        QVERIFY2(
            html.contains(QStringLiteral("<p class=\"headline %1\"><b>%2</b>").arg(headlineClass, headline)),
            qPrintable(html.left(2000)));
        QCOMPARE(f.host.outcome, panel);
        QCOMPARE(f.host.outcomeTone, tone);
        QVERIFY2(f.boxTexts().last().startsWith(box), f.shownBoxes().constData());
        QCOMPARE(f.host.boxes.last().icon, tone == Tone::Plain ? Icon::Information : Icon::Exclamation);
        QVERIFY2(f.host.events.contains(company), qPrintable(f.host.events.join(QLatin1Char('\n'))));
    }

    void aFileOfTheReportNotWrittenWholeIsAnErrorOfTheRun_data()
    {
        QTest::addColumn<bool>(
            "spreadsheets"); // the disk fills before the spreadsheets, else before the report
        QTest::newRow("spreadsheets") << true;
        QTest::newRow("report") << false;
    }
    // The disk fills during the verification: what cannot be written whole
    // is not there at all (nor its working file), an error line names it,
    // and the run ends with errors although the comparison found nothing;
    // the report, when written, says so in its headline.
    void aFileOfTheReportNotWrittenWholeIsAnErrorOfTheRun()
    {
        QFETCH(bool, spreadsheets);
        const auto drive = ScopedMount::tmpfs(64LL * 1024 * 1024);
        if (!drive->isMounted())
            QSKIP("mounting is not allowed here");
        StepFixture f;
        f.install.addCompany(1);
        f.host.logOn = false; // a log line that finds the disk full is another test's error
        const QString tmp = f.file(QStringLiteral("dati\\Tmp"));
        bool verifying = false;
        bool full = false;
        f.host.onStepFinished = [&verifying](const QString& step, int) {
            verifying = verifying || step == QLatin1String("CREAZIONE_MOVIMENTI_CONTABILI");
        };
        f.host.onYield = [&] {
            const auto written = [&](const char* pattern) {
                return !QDir(tmp).entryList({QLatin1String(pattern)}, QDir::Files).isEmpty();
            };
            if (!verifying)
                return;
            if (!full && (spreadsheets || written("*_partite.csv")))
                full = drive->resize(drive->used());
            // Room again once both spreadsheets have failed: the report goes through.
            else if (full && spreadsheets &&
                     f.host.events.filter(QStringLiteral("Foglio di calcolo")).size() == 2)
                full = !drive->resize(64LL * 1024 * 1024);
        };

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);

        const QStringList left = QDir(tmp).entryList({QStringLiteral("verifica_*")}, QDir::Files);
        QVERIFY2(left.filter(QStringLiteral(".parziale")).isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
        QCOMPARE(f.host.outcomeTone, Tone::Error);
        QCOMPARE(f.boxTexts().last(),
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));
        const QStringList errors = f.host.events.filter(
            QRegularExpression(QStringLiteral("^(Foglio di calcolo|Rapporto di verifica) non scritto \\(")));
        if (spreadsheets) {
            QCOMPARE(left.filter(QStringLiteral(".csv")), QStringList());
            QVERIFY2(
                errors.size() == 2 &&
                    errors[0].startsWith(QStringLiteral("Foglio di calcolo non scritto (disco pieno): ")) &&
                    errors[0].endsWith(QStringLiteral("_giacenze.csv")) &&
                    errors[1].endsWith(QStringLiteral("_partite.csv")),
                qPrintable(errors.join(QLatin1Char('\n'))));
            const QString headline = QStringLiteral(
                "RIAPERTURA ESEGUITA CON ERRORI: 2 errori della riapertura, 0 discordanze, 0 avvisi");
            QCOMPARE(f.host.summary.last(), headline);
            QVERIFY(readText(f.install.host(f.host.reportPath))
                        .contains(QStringLiteral("<p class=\"headline ko\"><b>") + headline));
            QCOMPARE(f.host.outcome,
                     QStringLiteral(
                         "Riapertura eseguita con errori: 2 errori (righe in rosso nell'elenco eventi)"));
        } else {
            QCOMPARE(left.filter(QStringLiteral(".html")), QStringList());
            QCOMPARE(left.filter(QStringLiteral(".csv")).size(), 2);
            QVERIFY2(errors.size() == 1 &&
                         errors[0].startsWith(
                             QStringLiteral("Rapporto di verifica non scritto (disco pieno): ")) &&
                         errors[0].endsWith(QStringLiteral(".html")) &&
                         f.host.events.contains(QStringLiteral("Rapporto di verifica: non scritto")),
                     qPrintable(errors.join(QLatin1Char('\n'))));
            QVERIFY(f.host.reportPath.isEmpty());
        }
    }

    void aRunStoppedWhileACompanyIsComparedLeavesNoReport_data()
    {
        QTest::addColumn<QString>("step"); // the stop comes as this step of the second company ends
        QTest::newRow("during the next company's steps") << QStringLiteral("RIPRISTINA_MAGAZZINO");
        QTest::newRow("while the last company is compared")
            << QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI");
    }
    // The first company is compared beside the second one's steps: a stop
    // ends its comparison too, and neither the report nor a spreadsheet (nor
    // a working file of one) is left behind.
    void aRunStoppedWhileACompanyIsComparedLeavesNoReport()
    {
        QFETCH(QString, step);
        StepFixture f;
        // Enough articles and movements that the first company's comparison
        // is still under way when the stop comes.
        const QString first = f.install.addCompany(1);
        TestInstall::execAll(
            first,
            {QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) with recursive n(i) as "
                            "(select 1 union all select i + 1 from n where i < 20000) "
                            "select 'X' || i, 'Articolo ' || i, 0 from n"),
             QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) select CodArt, '01', 3 from ANAG_ART")});
        f.install.addCompany(2);
        f.host.onStepFinished = [&](const QString& name, int slot) {
            if (slot == 2 && name == step)
                f.host.stop = true;
        };

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Interrupted);

        const QStringList left =
            QDir(f.file(QStringLiteral("dati\\Tmp"))).entryList({QStringLiteral("verifica_*")}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
        QVERIFY(f.host.reportPath.isEmpty());
    }

    // A run killed while its report's files were being written leaves their
    // working files; the next run removes them and says so, and leaves every
    // other file alone. (A link there is the check's ERRORE: no run starts.)
    void aKilledRunsWorkingFilesAreRemovedByTheNext()
    {
        StepFixture f;
        f.install.addCompany(1);
        const QString tmp = f.file(QStringLiteral("dati\\Tmp"));
        QVERIFY(QDir().mkpath(tmp));
        const QString stem = QStringLiteral("_Riapertura_%1_20000101_000000").arg(layout::AnnoDaAprire);
        const QStringList leftovers{QStringLiteral("verifica") + stem +
                                        QStringLiteral("_giacenze.csv.parziale"),
                                    QStringLiteral("simulazione") + stem + QStringLiteral(".html.parziale")};
        for (const QString& name : leftovers + QStringList{QStringLiteral("altro.parziale")}) {
            QFile planted(tmp + QLatin1Char('/') + name);
            QVERIFY(planted.open(QIODevice::WriteOnly));
        }

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);

        QCOMPARE(QDir(tmp).entryList({QStringLiteral("*.parziale")}, QDir::Files),
                 QStringList{QStringLiteral("altro.parziale")});
        // Nor are they in the safety copy, made once they were gone.
        QCOMPARE(QDir(f.install.host(f.state.record.safetyCopy) + QStringLiteral("/Tmp"))
                     .entryList({QStringLiteral("*.parziale")}, QDir::Files),
                 QStringList{QStringLiteral("altro.parziale")});
        for (const QString& name : leftovers)
            QVERIFY2(f.host.events.contains(
                         QStringLiteral("File incompleto di una riapertura interrotta rimosso: ") +
                         TestInstall::base() + QStringLiteral("dati\\Tmp\\") + name),
                     qPrintable(f.host.events.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestRunOutcome)
#include "test_run_outcome.moc"
