// Links under the data folder and at the names the run and the restore
// write: named by the check, the run and the restore refused, and nothing
// changed where they lead, also when one is made after the check.
#include "context/run_context.h"
#include "outside_folder.h"
#include "run/preliminary_check.h"
#include "run/restore.h"
#include "run/run.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace rio;
using Level = PreliminaryFinding::Level;

namespace {

QStringList lines(const PreliminaryCheck& check, Level level)
{
    QStringList out;
    for (const auto& f : check.findings)
        if (f.level == level)
            out << f.text;
    return out;
}

struct Fixture : StepFixture
{
    Fixture()
    {
        install.createArchive(1);
        install.createArchive(3);
    }
};

} // namespace

class TestLinks : public QObject
{
    Q_OBJECT

private slots:
    // A link under the data folder or at a name the run or the restore
    // writes: an ERRORE naming it, the run (and the restore) refused, and
    // nothing changed inside the installation or where the link leads.
    void aLinkIsNamedAndRefusedAndNothingOutsideChanges_data()
    {
        QTest::addColumn<QString>("link");    // under the root
        QTest::addColumn<QString>("target");  // in the outside folder; ".." as it is
        QTest::addColumn<bool>("restore");    // a run first, then a restore refused too
        QTest::addColumn<bool>("afterCheck"); // made once the safety copy is done
        const QString newYear = years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{new}\\"));
        QTest::newRow("leggimi.txt in a new-year folder")
            << newYear + QStringLiteral("leggimi.txt") << QStringLiteral("fuori.txt") << false << false;
        QTest::newRow("Stampe in a new-year folder")
            << newYear + QStringLiteral("Stampe") << QStringLiteral("cartella") << false << false;
        QTest::newRow("the archive of a new-year folder")
            << newYear + QStringLiteral("dati.mdb") << QStringLiteral("fuori.mdb") << false << false;
        QTest::newRow("a folder back up the tree")
            << QStringLiteral("dati\\esercizi\\giro") << QStringLiteral("..") << false << false;
        QTest::newRow("today's copy, leading nowhere")
            << QStringLiteral("Copia_dati_") + QDate::currentDate().toString(QStringLiteral("ddMMyyyy"))
            << QStringLiteral("manca") << false << false;
        QTest::newRow("the restore's copy in progress")
            << QString::fromLatin1(RestoreStagingFolder) << QStringLiteral("cartella") << true << false;
        QTest::newRow("a data folder set aside")
            << QStringLiteral("dati_prima_del_ripristino_20261207_101500") << QStringLiteral("cartella")
            << true << false;
        QTest::newRow("the log file") << years::fill(QStringLiteral("dati\\Tmp\\log_Riapertura_{new}.txt"))
                                      << QStringLiteral("fuori.txt") << true << false;
        QTest::newRow("the archive of a new-year folder, after the check")
            << newYear + QStringLiteral("dati.mdb") << QStringLiteral("fuori.mdb") << false << true;
    }
    void aLinkIsNamedAndRefusedAndNothingOutsideChanges()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(bool, restore);
        QFETCH(bool, afterCheck);
        Fixture f;
        if (restore)
            QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        f.host.boxes.clear();
        OutsideFolder outside;
        // Another program's archive, which the engine would open and write.
        QVERIFY(QFile::remove(outside.path(QStringLiteral("fuori.mdb"))));
        QVERIFY(QFile::copy(f.oldArchive(3), outside.path(QStringLiteral("fuori.mdb"))));
        const QString hostLink = f.file(link);
        const auto plant = [&] {
            QVERIFY(QDir().mkpath(QFileInfo(hostLink).absolutePath()));
            QFile::remove(hostLink);
            QVERIFY(QFile::link(target == QLatin1String("..") ? target : outside.path(target), hostLink));
        };
        const QStringList outsideBefore = outside.state();
        const QString named = TestInstall::base() + link + QStringLiteral(" è un collegamento");
        if (afterCheck) {
            // The check passed: the copies, then the engine, meet the link.
            f.host.onStepFinished = [&](const QString& step, int) {
                if (step == QLatin1String("COPIO_CARTELLA_SALVATAGGIO"))
                    plant();
            };
            QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);
            // Refused by the new year's copy and by the engine opening the archive.
            QVERIFY2(f.boxTexts()
                             .filter(named + QStringLiteral(": non viene seguito"), Qt::CaseInsensitive)
                             .size() == 2,
                     f.shownBoxes().constData());
            QCOMPARE(outside.state(), outsideBefore);
            return;
        }
        plant();
        const auto before = TestInstall::fingerprint(f.install.driveC());

        const QStringList errors = lines(runPreliminaryCheck(f.host, f.state), Level::Error);
        QVERIFY2(errors.size() == 1 && errors.first().startsWith(named, Qt::CaseInsensitive),
                 qPrintable(errors.join(QLatin1Char('\n'))));
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        QVERIFY2(f.host.boxes.last().text.contains(named, Qt::CaseInsensitive), f.shownBoxes().constData());
        if (restore) {
            QCOMPARE(restoreSafetyCopy(f.ctx), RunOutcome::NotStarted);
            QVERIFY2(f.host.boxes.last().text.contains(named, Qt::CaseInsensitive),
                     f.shownBoxes().constData());
        }
        QCOMPARE(outside.state(), outsideBefore);
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);
        QVERIFY(QFileInfo(hostLink).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestLinks)
#include "test_links.moc"
