// --aziende on the built riapertura-cli: a wrong choice is refused before
// anything is written, and a run with errors prints the command that opens
// again the companies that failed, which then ends "eseguita" for them.
#include "app/cli/cli_options.h"
#include "cli_process.h"
#include "context/exit_status.h"
#include "context/layout.h"
#include "test_install.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace rio;

namespace {

// The companies of the JSON object: slot -> outcome.
QMap<int, QString> outcomes(const QString& json)
{
    QMap<int, QString> found;
    const QJsonArray companies =
        QJsonDocument::fromJson(json.toUtf8()).object()[QStringLiteral("aziende")].toArray();
    for (const QJsonValue& c : companies)
        found.insert(c[QStringLiteral("azienda")].toInt(), c[QStringLiteral("esito")].toString());
    return found;
}

} // namespace

class TestCliCompanies : public QObject
{
    Q_OBJECT

private slots:
    void aWrongChoiceWritesNothing_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("said");
        QTest::newRow("non un numero")
            << QStringLiteral("2,x") << QStringLiteral("\"x\" non è un numero di azienda");
        QTest::newRow("ripetuta") << QStringLiteral("2, 2")
                                  << QStringLiteral("l'azienda 2 è indicata due volte");
        QTest::newRow("fuori elenco") << QStringLiteral("11") << QStringLiteral("l'azienda 11 non esiste");
        QTest::newRow("vuota") << QString() << QStringLiteral("nessuna azienda indicata");
        QTest::newRow("senza archivio")
            << QStringLiteral("1,4")
            << QStringLiteral("Azienda_4 scelta ma senza archivio %1").arg(layout::AnnoInCorso);
    }
    void aWrongChoiceWritesNothing()
    {
        QFETCH(QString, choice);
        QFETCH(QString, said);
        TestInstall install;
        install.addCompany(1);
        const auto before = TestInstall::fingerprint(install.driveC());
        const CliResult r = runCli({QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes"),
                                    QStringLiteral("--aziende=") + choice});
        QVERIFY2(r.status == ExitNotStarted, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QCOMPARE(TestInstall::fingerprint(install.driveC()), before);
    }

    // Company 2 has an open item the writer refuses; once it is mended, the
    // command the run printed opens company 2 again and leaves company 1 as
    // the first run left it.
    void theFailedCompaniesAreOpenedAgain()
    {
        TestInstall install;
        install.addCompany(1);
        TestInstall::addRefusedOpenItem(install.addCompany(2));
        const QStringList args{QStringLiteral("--drive-c"), install.driveC(), QStringLiteral("--yes"),
                               QStringLiteral("--json")};
        const CliResult first = runCli(args);
        QVERIFY2(first.status == ExitDoneWithErrors, qPrintable(first.err));
        QCOMPARE(outcomes(first.out), (QMap<int, QString>{{1, QStringLiteral("eseguita")},
                                                          {2, QStringLiteral("eseguita con errori")}}));
        const QStringList lines = first.err.split(QLatin1Char('\n'));
        const qsizetype offer = lines.indexOf(
            QStringLiteral("Per ripetere la riapertura solo per l'azienda con errori Azienda_2:"));
        QVERIFY2(offer >= 0, qPrintable(first.err.right(600)));
        const QString command = lines.value(offer + 1);
        QCOMPARE(command, QStringLiteral(RIAPERTURA_CLI) + QLatin1Char(' ') + args.join(QLatin1Char(' ')) +
                              QStringLiteral(" --aziende 2"));
        QVERIFY(lines.value(offer + 2).startsWith(QStringLiteral("Esito: ")));

        TestInstall::exec(install.archiveHost(2), QStringLiteral("update MOV_CONT set Numero_Documento = '7' "
                                                                 "where CodCLIFOR = '900'"));
        const QString company1 =
            install.host(TestInstall::base() + QStringLiteral("dati\\esercizi\\Azienda_1"));
        const auto opened = TestInstall::fingerprint(company1);
        const CliResult again = runCli(QProcess::splitCommand(command).mid(1));
        QVERIFY2(again.status == ExitDone, qPrintable(again.err));
        QCOMPARE(outcomes(again.out),
                 (QMap<int, QString>{{1, QStringLiteral("non scelta")}, {2, QStringLiteral("eseguita")}}));
        QVERIFY(again.err.contains(QStringLiteral("\nAzienda_1 Azienda 1 S.r.l.: non scelta\n")));
        QVERIFY(!again.err.contains(QStringLiteral("Per ripetere")));
        QCOMPARE(TestInstall::fingerprint(company1), opened);

        // What the shell would split or expand is quoted; --aziende given before is replaced.
        QCOMPARE(cli::commandLineFor({QStringLiteral("riapertura-cli"), QStringLiteral("--drive-c"),
                                      QStringLiteral("/mnt/c d's"), QStringLiteral("--aziende=1,2"),
                                      QStringLiteral("-y"), QStringLiteral("--aziende"), QStringLiteral("3")},
                                     {2, 5}),
                 QStringLiteral("riapertura-cli --drive-c '/mnt/c d'\\''s' -y --aziende 2,5"));
    }
};

QTEST_GUILESS_MAIN(TestCliCompanies)
#include "test_cli_companies.moc"
