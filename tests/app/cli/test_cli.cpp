// The console front end: its options, its screen, its exit statuses, and the
// built riapertura-cli on a temporary installation.
#include "app/cli/cli_options.h"
#include "app/cli/console_host.h"
#include "app/cli/console_run.h"
#include "console_fixture.h"
#include "context/exit_status.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "support/years.h"
#include "test_install.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rio;
using namespace rio::cli;

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void optionsMirrorTheWindow()
    {
        const CliOptions plain = options({});
        QVERIFY(!plain.server && !plain.zetaFolder && plain.log && !plain.yes && !plain.timings &&
                !plain.check);
        QVERIFY(plain.driveC.isEmpty());

        QTemporaryDir dir;
        const CliOptions all = options({QStringLiteral("--server"), QStringLiteral("--zeta-folder"),
                                        QStringLiteral("--no-log"), QStringLiteral("--drive-c"), dir.path(),
                                        QStringLiteral("--yes"), QStringLiteral("--timings")});
        QVERIFY(all.server && all.zetaFolder && !all.log && all.yes && all.timings);
        QCOMPARE(all.driveC, QDir(dir.path()).absolutePath());

        ConsoleHost host(all, stdout, stderr, {});
        QCOMPARE(host.dataSource(), DataSource::Server);
        QVERIFY(host.zetaFolderChosen());
        QVERIFY(!host.logWanted());

        const CliOptions restore =
            options({QStringLiteral("--ripristina"), QStringLiteral("Copia_dati_07122026")});
        QVERIFY(restore.restore && !restore.listCopies && !restore.check);
        QCOMPARE(restore.restoreCopy, QStringLiteral("Copia_dati_07122026"));
        QVERIFY(options({QStringLiteral("--ripristina")}).restoreCopy.isEmpty());
        QVERIFY(options({QStringLiteral("--elenca-copie")}).listCopies);

        for (const QStringList& bad :
             {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("extra")},
              QStringList{QStringLiteral("--ripristina"), QStringLiteral("a"), QStringLiteral("b")},
              QStringList{QStringLiteral("--check"), QStringLiteral("--elenca-copie")},
              QStringList{QStringLiteral("--anche-non-verificabile")},
              QStringList{QStringLiteral("--elenca-copie"), QStringLiteral("Copia_dati_07122026")},
              QStringList{QStringLiteral("--drive-c")},
              QStringList{QStringLiteral("--drive-c"), dir.filePath(QStringLiteral("none"))}}) {
            const ParsedOptions parsed = parseOptions(QStringList{QStringLiteral("riapertura-cli")} + bad);
            QVERIFY2(!parsed.ok && !parsed.helpShown && !parsed.text.isEmpty(),
                     qPrintable(bad.join(QLatin1Char(' '))));
        }
    }

    void boxesArePrintedAndAnswered()
    {
        Capture out, err;
        std::optional<bool> reply;
        int asked = 0;
        ConsoleHost host(options({}), out.file, err.file, [&](const QString&) {
            ++asked;
            return reply;
        });
        host.addEvent(QStringLiteral("ripristino magazzino azienda n. 3 in corso..."));
        QCOMPARE(host.message(QStringLiteral("Riapertura nuovo esercizio per L'azienda: Rossi eseguita"),
                              Buttons::Ok, Icon::Information, QStringLiteral("Ventor")),
                 Answer::Ok);
        // Nobody at the terminal: the confirmation is refused.
        QCOMPARE(host.message(Confirm, Buttons::YesNo, Icon::Exclamation, QStringLiteral("Ventor")),
                 Answer::No);
        reply = true;
        QCOMPARE(host.message(Confirm, Buttons::YesNo, Icon::Exclamation, QStringLiteral("Ventor")),
                 Answer::Yes);
        reply = false;
        QCOMPARE(host.message(Confirm, Buttons::YesNo, Icon::Exclamation, QStringLiteral("Ventor")),
                 Answer::No);
        QCOMPARE(asked, 3);

        const QStringList lines = out.text().split(QLatin1Char('\n'));
        QCOMPARE(lines[0], QStringLiteral("ripristino magazzino azienda n. 3 in corso..."));
        QCOMPARE(lines[1],
                 QStringLiteral("[Ventor] Riapertura nuovo esercizio per L'azienda: Rossi eseguita"));
        QCOMPARE(lines[2],
                 QStringLiteral("[Ventor] Prima di continuare è preferibile scollegare tutti gli utenti "
                                "Continuare?"));
        QVERIFY(out.text().contains(QStringLiteral("-> Sì\n")));
        QVERIFY(err.text().contains(QStringLiteral("--yes")));

        // --yes answers without asking.
        Capture out2, err2;
        ConsoleHost yes(options({QStringLiteral("--yes")}), out2.file, err2.file, [&](const QString&) {
            ++asked;
            return std::optional<bool>(false);
        });
        QCOMPARE(yes.message(Confirm, Buttons::YesNo, Icon::Exclamation, QStringLiteral("Ventor")),
                 Answer::Yes);
        // Nor does it answer a question that only an explicit answer settles.
        QCOMPARE(yes.message(QStringLiteral("Rimetterla al suo posto?"), Buttons::YesNoExplicit,
                             Icon::Exclamation, QStringLiteral("Riapertura")),
                 Answer::No);
        QVERIFY(out2.text().endsWith(QStringLiteral("-> No: --yes non risponde a questa domanda; rispondere "
                                                    "dalla finestra del programma\n")));
        QCOMPARE(asked, 3);
    }

    void timingsOnlyWhenAsked()
    {
        Capture out, err;
        ConsoleHost host(options({QStringLiteral("--timings")}), out.file, err.file, {});
        host.stepFinished(QStringLiteral("CONTROLLO_AZIENDE"), 0, 12, true);
        host.stepFinished(QStringLiteral("RIPRISTINA_MAGAZZINO"), 3, 1500, true);
        host.stepFinished(QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI"), 10, 7, false);
        host.totalTime(2000);
        QCOMPARE(err.text(), QStringLiteral("tempo: CONTROLLO_AZIENDE comune 12 ms\n"
                                            "tempo: RIPRISTINA_MAGAZZINO Azienda_3 1500 ms\n"
                                            "tempo: CREAZIONE_MOVIMENTI_CONTABILI Azienda_10 7 ms errore\n"
                                            "tempo: totale 2000 ms\n"));
        QVERIFY(out.text().isEmpty());

        Capture out2, err2;
        ConsoleHost quiet(options({}), out2.file, err2.file, {});
        quiet.stepFinished(QStringLiteral("CONTROLLO_AZIENDE"), 0, 12, true);
        quiet.totalTime(5);
        quiet.setRunProgress(RunProgressReport{1, 2, 0.5, 10, -1, false});
        QVERIFY(err2.text().isEmpty());
    }

    // One status line rewritten in place, gone before any other output and
    // at the end: the events never mix with it.
    void progressIsOneStatusLine()
    {
        Capture out, err;
        ConsoleHost host(options({}), out.file, err.file, {});
        host.setProgressShown(true);
        host.setRunProgress(RunProgressReport{1, 4, 0.25, 12'000, 36'000, false});
        host.setRunProgress(RunProgressReport{2, 4, 0.5, 24'000, -1, false});
        host.addEvent(QStringLiteral("ripristino magazzino azienda n. 2 in corso..."));
        host.setRunProgress(RunProgressReport{2, 4, 1, 30'000, -1, true});
        const QString first =
            QStringLiteral("avanzamento: 25% (azienda 1 di 4), trascorsi 0:12, ne mancano circa 0:36");
        const QString second = QStringLiteral("avanzamento: 50% (azienda 2 di 4), trascorsi 0:24");
        const QString blank =
            QStringLiteral("\r") + QString(second.size(), QLatin1Char(' ')) + QStringLiteral("\r");
        QCOMPARE(err.text(), QStringLiteral("\r") + first + QStringLiteral("\r") + second +
                                 QString(first.size() - second.size(), QLatin1Char(' ')) + blank);
        QCOMPARE(out.text(), QStringLiteral("ripristino magazzino azienda n. 2 in corso...\n"));
    }

    // --quiet keeps the boxes, the errors and the closing lines; errors go to standard error.
    void quietKeepsWhatMatters()
    {
        Capture out, err;
        ConsoleHost host(options({QStringLiteral("--quiet")}), out.file, err.file, {});
        host.addEvent(QStringLiteral("ripristino in corso articolo: a1"));
        host.addMarkedEvent(QStringLiteral("ATTENZIONE tabella CAUSALI mancante"), {Tone::Warning, false});
        host.addMarkedEvent(QStringLiteral("Error 3021 (...)"), {Tone::Error, false});
        host.addMarkedEvent(QStringLiteral("Rapporto di verifica: x.html"), {Tone::Plain, true});
        host.message(QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE"), Buttons::Ok,
                     Icon::Information, QStringLiteral("Ventor 2005"));
        host.message(QStringLiteral("Impossibile\r\nripristinare"), Buttons::Ok, Icon::Critical,
                     QStringLiteral("Riapertura"));
        QCOMPARE(out.text(),
                 QStringLiteral("Rapporto di verifica: x.html\n"
                                "[Ventor 2005] APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE\n"));
        // Errors and boxes of kind error on standard error, for scripts and for 2>file.
        QCOMPARE(err.text(), QStringLiteral("Error 3021 (...)\n[Riapertura] Impossibile ripristinare\n"));
    }

    void exitStatusFollowsTheOutcome()
    {
        Capture out, err;
        ConsoleHost host(options({QStringLiteral("--yes")}), out.file, err.file, {});
        int calls = 0;
        const auto returning = [&](RunOutcome outcome) {
            return [&calls, outcome](RunContext&) {
                ++calls;
                return outcome;
            };
        };
        QCOMPARE(runConsole(host, true, returning(RunOutcome::Done)), int(ExitDone));
        // Warnings are for a person to check, not a failure a script should stop on.
        QCOMPARE(runConsole(host, true, returning(RunOutcome::DoneWithWarnings)), int(ExitDone));
        QCOMPARE(runConsole(host, true, returning(RunOutcome::DoneWithErrors)), int(ExitDoneWithErrors));
        QCOMPARE(runConsole(host, true, returning(RunOutcome::NotStarted)), int(ExitNotStarted));
        QCOMPARE(runConsole(host, true, returning(RunOutcome::Interrupted)), int(ExitInterrupted));
        // Nobody can confirm: the run is not even entered.
        QCOMPARE(runConsole(host, false, returning(RunOutcome::Done)), int(ExitNotStarted));
        QCOMPARE(calls, 5);

        QCOMPARE(runConsole(host, true, [](RunContext&) -> RunOutcome { throw ProgramEnd{}; }),
                 int(ExitProgramEnded));
        QCOMPARE(
            runConsole(host, true,
                       [](RunContext&) -> RunOutcome { throw Error(53, QStringLiteral("File not found")); }),
            int(ExitProgramEnded));
        ConsoleHost closing(options({QStringLiteral("--yes")}), out.file, err.file, {});
        QCOMPARE(runConsole(closing, true,
                            [](RunContext& ctx) {
                                ctx.host().closeProgram();
                                return RunOutcome::Done;
                            }),
                 int(ExitProgramEnded));
    }

    void usageErrorsHelpAndNoTerminalDoNotStart()
    {
        TestInstall install;
        install.addCompany(1);
        const QString tmp = install.host(TestInstall::base() + QStringLiteral("dati\\Tmp"));
        const CliResult bogus = runCli({QStringLiteral("--bogus")});
        QCOMPARE(bogus.status, int(ExitNotStarted));
        QCOMPARE(bogus.err, QStringLiteral("riapertura-cli: opzione sconosciuta: --bogus; usare --help\n"));
        const CliResult missing = runCli({QStringLiteral("--drive-c")});
        QCOMPARE(missing.err, QStringLiteral("riapertura-cli: manca il valore di --drive-c; usare --help\n"));
        const CliResult empty = runCli({QStringLiteral("--drive-c=")});
        QCOMPARE(empty.status, int(ExitNotStarted));
        QCOMPARE(empty.err, QStringLiteral("riapertura-cli: --drive-c senza cartella; usare --help\n"));

        // Help and version print their text and start nothing, even with --yes.
        for (const QString& info : {QStringLiteral("--help-all"), QStringLiteral("--help"),
                                    QStringLiteral("-h"), QStringLiteral("--version")}) {
            const CliResult r =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes"), info});
            QVERIFY2(r.status == ExitDone && r.err.isEmpty(), qPrintable(info + r.err));
            QVERIFY2(r.out.startsWith(info == QLatin1String("--version")
                                          ? QStringLiteral("riapertura-cli 1.")
                                          : QStringLiteral("Uso: riapertura-cli")),
                     qPrintable(r.out));
            QVERIFY(!QDir(tmp).exists());
        }
        const CliResult help = runCli({QStringLiteral("--help")});
        QVERIFY(help.out.contains(QStringLiteral("Opzioni:\n")));
        QVERIFY(help.out.contains(QStringLiteral("Stato di uscita:\n  Riapertura (nessuna delle opzioni "
                                                 "qui sotto):\n    0  eseguita, anche con avvisi")));
        QVERIFY(
            help.out.contains(QStringLiteral("\n    130  interrotta dall'utente (Ctrl-C, SIGTERM, SIGHUP)")));
        // Every option that changes what the program does says how it exits.
        for (const char* option : {"--check:", "--elenca-copie:", "--ripristina:", "--annulla-ripristino:"})
            QVERIFY2(
                help.out.contains(QStringLiteral("\n  ") + QLatin1String(option) + QStringLiteral("  0 ")),
                option);

        const CliResult unconfirmed = runCli({QStringLiteral("--drive-c"), install.driveC()});
        QCOMPARE(unconfirmed.status, int(ExitNotStarted));
        QVERIFY(unconfirmed.out.isEmpty());
        QVERIFY(!QDir(tmp).exists());
    }

    void aWholeRunOnTheConsole_data()
    {
        QTest::addColumn<int>("trouble"); // 0 none, 1 twin articles, 2 an open item the writer refuses
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("closing");
        QTest::newRow("eseguita") << 0 << int(ExitDone)
                                  << QStringLiteral("Esito: Riapertura eseguita (2 aziende)");
        QTest::newRow("eseguita con avvisi")
            << 1 << int(ExitDone)
            << QStringLiteral(
                   "Esito: Riapertura eseguita con avvisi: 1 avviso da controllare a mano, elencato "
                   "nel rapporto di verifica, sezione \"Discordanze e avvisi\"");
        QTest::newRow("eseguita con errori")
            << 2 << int(ExitDoneWithErrors)
            << QStringLiteral("Esito: Riapertura eseguita con errori in 1 azienda su 2");
    }
    // One installation per outcome: the exit status and the closing line.
    void aWholeRunOnTheConsole()
    {
        QFETCH(int, trouble);
        QFETCH(int, status);
        QFETCH(QString, closing);
        TestInstall install;
        install.addCompany(1);
        const QString second = install.addCompany(2);
        if (trouble == 1)
            TestInstall::addTwinArticles(second);
        else if (trouble == 2)
            TestInstall::addRefusedOpenItem(second);
        const CliResult r = runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes"),
                                    QStringLiteral("--timings")});
        QVERIFY2(r.status == status, qPrintable(r.out + r.err));
        QVERIFY2(r.out.endsWith(closing + QLatin1Char('\n')), qPrintable(r.out.right(400)));
        if (trouble != 0)
            return;
        const QStringList out = r.out.split(QLatin1Char('\n'));
        QVERIFY(out.contains(
            QStringLiteral("[Ventor] Prima di continuare è preferibile scollegare tutti gli utenti "
                           "Continuare?")));
        QVERIFY(out.contains(QStringLiteral("ripristino magazzino azienda n. 2 in corso...")));
        QVERIFY(out.contains(
            QStringLiteral("[Ventor] Riapertura nuovo esercizio per L'azienda: Azienda 1 S.r.l. eseguita")));
        QVERIFY(
            out.contains(QStringLiteral("[Ventor 2005] APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE")));
        QVERIFY(out.contains(QStringLiteral("riapertura archivi conclusa con successo!")));
        QVERIFY(r.err.contains(QStringLiteral("tempo: RIPRISTINA_MAGAZZINO Azienda_2 ")));
        QVERIFY(r.err.contains(QStringLiteral("tempo: totale ")));
        QVERIFY(QFile::exists(install.archiveHost(2, years::New)));

        // The event lines on standard output are the log's lines.
        QFile log(install.host(rio::layout::logFilePath(TestInstall::base())));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString first = QString::fromLatin1(log.readLine()).trimmed();
        QVERIFY(out.contains(first.mid(1, first.size() - 2)));
    }

    void theCheckOnTheConsole()
    {
        TestInstall install;
        install.addCompany(1);
        const CliResult healthy =
            runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--check")});
        QVERIFY2(healthy.status == ExitDone, qPrintable(healthy.out + healthy.err));
        QVERIFY(healthy.out.contains(QStringLiteral("OK ")));
        QVERIFY(!QFile::exists(install.archiveHost(1, years::New)));

        TestInstall::exec(install.archiveHost(1), QStringLiteral("delete from AZIENDE"));
        const CliResult broken =
            runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--check")});
        QVERIFY2(broken.status == ExitDoneWithErrors, qPrintable(broken.out + broken.err));
        QVERIFY(broken.err.contains(QStringLiteral("ERRORE ")));
        QVERIFY(!broken.out.contains(QStringLiteral("ERRORE ")));
    }

    void stepErrorsAndAnEarlyEnd()
    {
        {
            // An open-item table that cannot be read: that step fails, the run goes on.
            TestInstall install;
            install.addCompany(1);
            TestInstall::exec(install.archiveHost(1), QStringLiteral("drop table MOV_CONT"));
            const CliResult r =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes")});
            QVERIFY2(r.status == ExitDoneWithErrors, qPrintable(r.out + r.err));
            QVERIFY(r.out.contains(QStringLiteral("TERMINATA CON ERRORI")));
        }
        {
            // A company folder without its AZIENDE row: the check refuses the start, nothing changes.
            TestInstall install;
            install.addCompany(1);
            TestInstall::exec(install.archiveHost(1), QStringLiteral("delete from AZIENDE"));
            const auto before = TestInstall::fingerprint(install.driveC());
            const CliResult r =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes")});
            QVERIFY2(r.status == ExitNotStarted, qPrintable(r.out + r.err));
            QVERIFY(r.err.contains(QStringLiteral("Impossibile iniziare la riapertura")));
            QCOMPARE(TestInstall::fingerprint(install.driveC()), before);
        }
        {
            // The data folder set aside by a restore and none in its place: --yes
            // does not put it back (it may have been moved on purpose), the run
            // is refused and nothing changes.
            TestInstall install;
            install.addCompany(1);
            const QString data = install.host(TestInstall::base() + QStringLiteral("dati"));
            QVERIFY(QDir().rename(data, data + QStringLiteral("_prima_del_ripristino_20261207_101500")));
            const auto before = TestInstall::fingerprint(install.driveC());
            const CliResult r =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes")});
            QVERIFY2(r.status == ExitNotStarted, qPrintable(r.out + r.err));
            QVERIFY(r.out.contains(QStringLiteral("Rimetterla al suo posto?")));
            QVERIFY(r.err.contains(QStringLiteral("ERRORE cartella dati mancante")));
            QCOMPARE(TestInstall::fingerprint(install.driveC()), before);
            // The explicit command puts it back with the usual confirmation alone.
            const auto aside =
                TestInstall::fingerprint(data + QStringLiteral("_prima_del_ripristino_20261207_101500"));
            const CliResult undone =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--annulla-ripristino"),
                        QStringLiteral("--yes")});
            QVERIFY2(undone.status == ExitDone, qPrintable(undone.out + undone.err));
            QVERIFY(undone.out.contains(
                QStringLiteral("La cartella dati c:\\Programmi\\Ventor Sistemi\\Dati manca")));
            QVERIFY(undone.out.contains(QStringLiteral("CARTELLA DATI RIMESSA AL SUO POSTO")));
            QCOMPARE(TestInstall::fingerprint(data), aside);
        }
        {
            // A folder where the log file should be: the program ends before any company.
            TestInstall install;
            install.addCompany(1);
            QVERIFY(QDir().mkpath(install.host(rio::layout::logFilePath(TestInstall::base()))));
            const CliResult r =
                runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes")});
            QVERIFY2(r.status == ExitProgramEnded, qPrintable(r.out + r.err));
            QVERIFY(r.err.contains(years::fill(QStringLiteral("log_Riapertura_{new}.txt"))));
            QVERIFY(!r.out.contains(QStringLiteral("APERTURA NUOVO ESERCIZIO")));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
