// The progress of a whole run and of the restore that undoes it, as the
// screen is shown it.
#include "run/restore.h"
#include "run/run.h"
#include "step_fixture.h"

#include <QTest>

using namespace rio;

Q_DECLARE_METATYPE(rio::RunPhase)

class TestRunProgress : public QObject
{
    Q_OBJECT

private slots:
    // One fraction for the whole run: it only grows across companies of
    // different sizes and the steps that count their rows more than once,
    // ends at 1, and estimates the time left once enough has been done (the
    // clock moves as the run yields).
    void progressOnlyGrowsOverTheWholeRun()
    {
        StepFixture f;
        for (int slot : {1, 2, 3})
            f.install.addCompany(slot);
        QStringList articles;
        for (int i = 0; i < 40; ++i)
            articles
                << QStringLiteral("insert into ANAG_ART(CodArt, DescrArt) values ('X%1', 'Extra')").arg(i);
        TestInstall::execAll(f.install.archiveHost(2), articles);
        qint64 now = 0;
        f.ctx.runProgress() = RunProgress([&now] { return now; });
        f.host.onYield = [&now] {
            now += 400;
        };
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);

        const QList<RunProgressReport>& shown = f.host.progress;
        QVERIFY(shown.size() > 20);
        for (qsizetype i = 1; i < shown.size(); ++i)
            QVERIFY2(shown[i].fraction >= shown[i - 1].fraction && shown[i].company >= shown[i - 1].company,
                     qPrintable(QStringLiteral("report %1: %2 after %3")
                                    .arg(i)
                                    .arg(shown[i].fraction)
                                    .arg(shown[i - 1].fraction)));
        QCOMPARE(shown.last().fraction, 1.0);
        QVERIFY(shown.last().over);
        QCOMPARE(shown.last().companies, 3);
        QVERIFY(std::any_of(shown.begin(), shown.end(),
                            [](const RunProgressReport& r) { return r.remainingMs > 0; }));
    }

    // Each part of a run and of the restore that undoes it moves the bar
    // from where the last part ended to where it ends itself: the next part
    // starts where this one stopped (no jump over a part left half done,
    // as when a second pass is not told from the first), and the bar never
    // goes back.
    void progressReachesTheEndOfEveryPart_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<RunPhase>("phase");
        QTest::addColumn<int>("pass");
        QTest::newRow("copia di sicurezza") << false << RunPhase::SafetyCopy << 0;
        QTest::newRow("cartelle nuovo anno") << false << RunPhase::NewYear << 0;
        QTest::newRow("ricalcolo anno in corso") << false << RunPhase::Recompute << 0;
        QTest::newRow("archivio nuovo svuotato") << false << RunPhase::Initialise << 0;
        QTest::newRow("giacenze iniziali scritte") << false << RunPhase::OpeningStock << 0;
        QTest::newRow("giacenze nuove ricalcolate") << false << RunPhase::OpeningStock << 1;
        QTest::newRow("partite aperte") << false << RunPhase::OpenItems << 0;
        QTest::newRow("verifica") << false << RunPhase::Verification << 0;
        QTest::newRow("ripristino: copia riletta") << true << RunPhase::Restore << 0;
        QTest::newRow("ripristino: copia nei dati") << true << RunPhase::Restore << 1;
    }
    void progressReachesTheEndOfEveryPart()
    {
        QFETCH(bool, restore);
        QFETCH(RunPhase, phase);
        QFETCH(int, pass);
        StepFixture f;
        for (int slot : {1, 2})
            f.install.addCompany(slot);
        // Enough rows that a part left half done stands out from one row's step.
        for (int slot : {1, 2}) {
            QStringList rows;
            for (int i = 0; i < 60; ++i)
                rows << QStringLiteral("insert into ANAG_ART(CodArt, DescrArt) values ('X%1', 'Extra')")
                            .arg(i);
            TestInstall::execAll(f.install.archiveHost(slot), rows);
        }
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        if (restore) {
            f.state.release();
            f.host.progress.clear();
            QCOMPARE(restoreSafetyCopy(f.ctx), RunOutcome::Done);
        }

        const QList<RunProgressReport>& shown = f.host.progress;
        for (qsizetype i = 1; i < shown.size(); ++i)
            QVERIFY2(shown[i].fraction >= shown[i - 1].fraction,
                     qPrintable(QStringLiteral("report %1 goes back").arg(i)));
        QCOMPARE(shown.last().fraction, 1.0);
        // Every stretch of reports in this part, and the report that follows it.
        int stretches = 0;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const bool inPart = !shown[i].over && shown[i].phase == phase && shown[i].pass == pass;
            const bool partEnds = i + 1 == shown.size() || shown[i + 1].over || shown[i + 1].phase != phase ||
                                  shown[i + 1].pass != pass;
            if (!inPart || !partEnds)
                continue;
            ++stretches;
            QVERIFY2(i + 1 < shown.size(), "the run's progress stops in this part");
            const double step = shown[i + 1].fraction - shown[i].fraction;
            QVERIFY2(step < 0.005, qPrintable(QStringLiteral("the part ends at %1, the next starts at %2")
                                                  .arg(shown[i].fraction)
                                                  .arg(shown[i + 1].fraction)));
        }
        QVERIFY2(stretches > 0, "no report in this part");
    }
};

QTEST_MAIN(TestRunProgress)
#include "test_run_progress.moc"
