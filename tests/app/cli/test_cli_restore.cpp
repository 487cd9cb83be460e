// The safety copies on the console, through the built riapertura-cli: listed,
// a restore refused or unconfirmed, a copy without a manifest, and a restore
// by name.
#include "cli_process.h"
#include "context/exit_status.h"
#include "support/years.h"
#include "test_install.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rio;

class TestCliRestore : public QObject
{
    Q_OBJECT

private slots:
    // The copies listed, a restore unconfirmed, of a copy that is not there,
    // and of the run's copy by name.
    void restoreOnTheConsole()
    {
        TestInstall install;
        install.addCompany(1);
        const QStringList drive{QStringLiteral("--drive-c"), install.driveC()};
        const CliResult opened = runCli(drive + QStringList{QStringLiteral("--yes")});
        QVERIFY2(opened.status == ExitDone, qPrintable(opened.out + opened.err));
        // A second run names the new-year archive it replaces; --yes answers that too.
        const CliResult reopened = runCli(drive + QStringList{QStringLiteral("--yes")});
        QVERIFY2(reopened.status == ExitDone, qPrintable(reopened.out + reopened.err));
        QVERIFY(reopened.out.contains(
            years::fill(QStringLiteral("[Riapertura] La riapertura è già stata eseguita: questa "
                                       "azienda ha già l'archivio {new}. - Azienda_1 ("))));
        QVERIFY(reopened.out.contains(
            years::fill(QStringLiteral("Sostituire l'archivio {new}?\n-> Sì (--yes)\n"))));

        // The second run's copy already holds the new year; the first one's is the one a restore without a
        // name takes.
        const CliResult list = runCli(drive + QStringList{QStringLiteral("--elenca-copie")});
        QVERIFY2(list.status == ExitDone, qPrintable(list.out + list.err));
        const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("Copie di sicurezza in c:\\Programmi\\Ventor Sistemi\\")));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Copia_dati_")) &&
                     lines[1].contains(years::fill(
                         QStringLiteral(" MB  contiene già il {new} (Azienda_1)  verificata ("))) &&
                     !lines[1].contains(QStringLiteral("senza nome")),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(QStringLiteral(" fa ")) &&
                     lines[2].contains(QStringLiteral(" MB  prima della riapertura  verificata (")) &&
                     lines[2].endsWith(QStringLiteral("<- --ripristina senza nome")),
                 qPrintable(lines[2]));
        const QString name = lines[2].section(QLatin1Char(' '), 0, 0);

        // No installation at all: no list, status 1, the reason on standard error.
        QTemporaryDir empty;
        const CliResult noList =
            runCli({QStringLiteral("--drive-c"), empty.path(), QStringLiteral("--elenca-copie")});
        QCOMPARE(noList.status, int(ExitDoneWithErrors));
        QVERIFY2(noList.out.isEmpty() && noList.err.startsWith(QStringLiteral("Errore ")),
                 qPrintable(noList.err));

        const auto before = TestInstall::fingerprint(install.driveC());
        const CliResult unconfirmed = runCli(drive + QStringList{QStringLiteral("--ripristina")});
        QCOMPARE(unconfirmed.status, int(ExitNotStarted));
        const CliResult unknown =
            runCli(drive + QStringList{QStringLiteral("--ripristina"), QStringLiteral("Copia_dati_01011999"),
                                       QStringLiteral("--yes")});
        QCOMPARE(unknown.status, int(ExitNotStarted));
        QVERIFY(unknown.err.contains(QStringLiteral("copia Copia_dati_01011999 non trovata")));
        QVERIFY(!unknown.out.contains(QStringLiteral("non trovata")));
        QCOMPARE(TestInstall::fingerprint(install.driveC()), before);

        // A copy without a manifest, as a killed run leaves it: --yes alone
        // refuses it; with --anche-non-verificabile nothing more is asked.
        const QString root = install.host(TestInstall::base()) + QLatin1Char('/');
        const QString unverifiable = QStringLiteral("Copia_dati_01012020");
        QCOMPARE(
            QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), root + name, root + unverifiable}),
            0);
        QVERIFY(QFile::remove(root + unverifiable + QStringLiteral("/copia_di_sicurezza.sha256")));
        const auto withUnverifiable = TestInstall::fingerprint(install.driveC());
        const QStringList restoreIt{QStringLiteral("--ripristina"), unverifiable.toLower(),
                                    QStringLiteral("--yes")};
        const CliResult refused = runCli(drive + restoreIt);
        QVERIFY2(refused.status == ExitNotStarted, qPrintable(refused.out + refused.err));
        QVERIFY(refused.out.contains(QStringLiteral("aggiungere --anche-non-verificabile")));
        QCOMPARE(TestInstall::fingerprint(install.driveC()), withUnverifiable);
        const CliResult accepted =
            runCli(drive + restoreIt + QStringList{QStringLiteral("--anche-non-verificabile")});
        QVERIFY2(accepted.status == ExitDone, qPrintable(accepted.out + accepted.err));
        QVERIFY(!accepted.out.contains(QStringLiteral("Ripristinarla comunque?")));
        QVERIFY(accepted.out.contains(QStringLiteral("ripristinata senza verifica, come richiesto")));

        const CliResult restored =
            runCli(drive + QStringList{QStringLiteral("--ripristina"), QStringLiteral("--yes")});
        QVERIFY2(restored.status == ExitDone, qPrintable(restored.out + restored.err));
        QVERIFY(restored.out.contains(QStringLiteral("fatta PRIMA DELLA RIAPERTURA")));
        QVERIFY(
            restored.out.contains(QStringLiteral("[Riapertura] COPIA DI SICUREZZA RIPRISTINATA: ") + name));
        QVERIFY(!QFile::exists(install.archiveHost(1, years::New)));

        // Undone: the folder the restore set aside comes back byte for byte.
        const QString aside =
            QDir(root)
                .entryList({QStringLiteral("dati_prima_del_ripristino_*")}, QDir::Dirs, QDir::Name)
                .last();
        const auto setAside = TestInstall::fingerprint(root + aside);
        const CliResult undone = runCli(drive + QStringList{QStringLiteral("--annulla-ripristino")});
        QCOMPARE(undone.status, int(ExitNotStarted)); // nobody to confirm
        const CliResult undoneYes =
            runCli(drive + QStringList{QStringLiteral("--annulla-ripristino"), QStringLiteral("--yes")});
        QVERIFY2(undoneYes.status == ExitDone, qPrintable(undoneYes.out + undoneYes.err));
        QVERIFY(undoneYes.out.contains(QStringLiteral("ULTIMO RIPRISTINO ANNULLATO")));
        QCOMPARE(TestInstall::fingerprint(install.host(TestInstall::base() + QStringLiteral("dati"))),
                 setAside);
    }
};

QTEST_GUILESS_MAIN(TestCliRestore)
#include "test_cli_restore.moc"
