// The console's rehearsal through the built riapertura-cli, killed or stopped
// while it copies: a stop removes the scratch copy at once, a kill leaves it
// for whatever runs next on the installation to remove.
#include "cli_process.h"
#include "context/exit_status.h"
#include "context/layout.h"
#include "test_install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace rio;
using namespace Qt::Literals::StringLiterals;

namespace {

// strace arguments that send the signal as the rehearsal makes its fourth
// folder: the scratch folder, its "dati" and one folder of the copy are there.
QStringList signalDuringTheCopy(const QString& signal)
{
    return {u"-f"_s,
            u"-o"_s,
            u"/dev/null"_s,
            u"-e"_s,
            u"trace=mkdir,mkdirat"_s,
            u"-e"_s,
            u"inject=mkdir,mkdirat:signal=%1:when=4"_s.arg(signal)};
}

} // namespace

class TestCliRehearsal : public QObject
{
    Q_OBJECT

private slots:
    void scratchCopyGoneAfterAStopOrAKill_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<bool>("inFolder");    // --cartella-simulazione
        QTest::addColumn<QStringList>("next"); // what runs after a kill
        QTest::addColumn<QString>("removedBy");
        QTest::newRow("Ctrl-C") << u"SIGINT"_s << false << QStringList() << QString();
        QTest::newRow("Ctrl-C in a folder") << u"SIGINT"_s << true << QStringList() << QString();
        QTest::newRow("killed, then a run") << u"SIGKILL"_s << false << QStringList{u"--yes"_s} << u"run"_s;
        QTest::newRow("killed in a folder, then a run")
            << u"SIGKILL"_s << true << QStringList{u"--yes"_s} << u"run"_s;
        QTest::newRow("killed, then a rehearsal")
            << u"SIGKILL"_s << false << QStringList{u"--simulazione"_s, u"--yes"_s} << u"rehearsal"_s;
        QTest::newRow("killed in a folder, then a rehearsal there")
            << u"SIGKILL"_s << true << QStringList{u"--simulazione"_s, u"--yes"_s} << u"rehearsal"_s;
        QTest::newRow("killed, then a restore")
            << u"SIGKILL"_s << false << QStringList{u"--ripristina"_s, u"--yes"_s} << u"restore"_s;
    }

    void scratchCopyGoneAfterAStopOrAKill()
    {
        QFETCH(QString, signal);
        QFETCH(bool, inFolder);
        QFETCH(QStringList, next);
        QFETCH(QString, removedBy);
        TestInstall install;
        install.addCompany(1);
        install.addCompany(2);
        const QString drive = install.driveC();
        const QString root = install.host(TestInstall::base());
        const QStringList driveArgs{u"--drive-c"_s, drive};
        // A restore needs a copy to put back: a run made one before.
        if (removedBy == QLatin1String("restore"))
            QCOMPARE(runCli(driveArgs + QStringList{u"--yes"_s}).status, int(ExitDone));
        QVERIFY(QDir().mkpath(install.host(TestInstall::base() + u"dati\\Tmp"_s)));
        const QString folder = drive + u"/Prove"_s;
        QStringList rehearsal = driveArgs + QStringList{u"--simulazione"_s, u"--yes"_s};
        if (inFolder) {
            QVERIFY(QDir().mkpath(folder));
            rehearsal << u"--cartella-simulazione"_s << folder;
        }
        const QString scratch = (inFolder ? folder : root) + u"/Simulazione_in_corso"_s;
        const QString marker = install.host(TestInstall::base() + u"dati\\Tmp\\simulazione_in_corso.txt"_s);
        const QString logFile = install.host(TestInstall::base() +
                                             u"dati\\Tmp\\log_Riapertura_%1.txt"_s.arg(layout::AnnoDaAprire));
        const QByteArray log = [&] {
            QFile f(logFile);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        const CliResult stopped = runCli(rehearsal, signalDuringTheCopy(signal));
        if (signal == QLatin1String("SIGINT")) {
            QVERIFY2(stopped.status == ExitInterrupted, qPrintable(stopped.out + stopped.err));
            QVERIFY2(stopped.err.contains(u"Simulazione interrotta dall'utente durante la copia di lavoro"_s),
                     qPrintable(stopped.err));
            QVERIFY2(!QFileInfo::exists(scratch), qPrintable(stopped.out));
            QVERIFY(!QFileInfo::exists(marker));
            QVERIFY(!inFolder || QDir(folder).isEmpty());
            return;
        }
        QVERIFY2(stopped.status == -1, qPrintable(QString::number(stopped.status) + stopped.err));
        QVERIFY2(QFileInfo::exists(scratch + u"/riapertura_simulazione.txt"_s), qPrintable(stopped.out));

        if (inFolder && removedBy == QLatin1String("rehearsal"))
            next << u"--cartella-simulazione"_s << folder;
        const CliResult after = runCli(driveArgs + next);
        QVERIFY2(after.status == ExitDone, qPrintable(after.out + after.err));
        QVERIFY2(after.out.contains(u"Copia di lavoro di una simulazione interrotta rimossa: "_s),
                 qPrintable(after.out));
        QVERIFY(!QFileInfo::exists(scratch));
        QVERIFY(!QFileInfo::exists(marker));
        QVERIFY(!inFolder || QDir(folder).isEmpty());
        // Neither the copy nor the kill touched the log; the run after writes its own lines.
        if (removedBy == QLatin1String("rehearsal")) {
            QFile f(logFile);
            QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), log);
        }
    }
};

QTEST_GUILESS_MAIN(TestCliRehearsal)
#include "test_cli_rehearsal.moc"
