// The safety copies under the root: listed newest first with their time,
// size and kind, and read back against their manifests.
#include "archive_dump.h"
#include "context/run_context.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/restore.h"
#include "run/run.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QDir>
#include <QTest>

using namespace rio;

class TestRestoreCopies : public QObject
{
    Q_OBJECT

private slots:
    // Two runs: the first one's copy holds the data before the opening, the
    // second one's already the new-year archives. A restore without a name takes
    // the first; undoing it gives the data folder back byte for byte, and
    // undoing again the restored one.
    void theCopyBeforeTheOpeningIsRestoredAndTheRestoreUndone()
    {
        StepFixture f;
        f.install.addCompany(1);
        f.install.addCompany(2);
        const QString data = f.file(QStringLiteral("dati"));
        const Fingerprint beforeRuns = TestInstall::fingerprint(data);
        QCOMPARE(undoLastRestore(f.ctx), RunOutcome::NotStarted);
        QCOMPARE(f.host.boxesContaining(QStringLiteral("Impossibile annullare l'ultimo ripristino: nessuna "
                                                       "cartella dati messa da parte")),
                 1);
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        const Fingerprint afterRuns = TestInstall::fingerprint(data);

        const QList<SafetyCopy> copies = listSafetyCopies(TestInstall::base());
        QCOMPARE(copies.size(), 2);
        QCOMPARE(copies[0].kindText(),
                 years::fill(QStringLiteral("contiene già il {new} (Azienda_1, Azienda_2)")));
        QCOMPARE(copies[1].kindText(), QStringLiteral("prima della riapertura"));
        QCOMPARE(defaultSafetyCopy(copies), &copies[1]);
        QCOMPARE(copies[1].ageText(copies[1].taken.addSecs(150)), QStringLiteral("2 minuti fa"));

        // One set aside under a time later than the clock's: the restore's is still the newest.
        QVERIFY(QDir().mkpath(f.file(QStringLiteral("dati_prima_del_ripristino_20991231_235959"))));
        f.host.boxes.clear();
        QCOMPARE(restoreSafetyCopy(f.ctx), RunOutcome::Done);
        QVERIFY2(f.host.boxes[0].text.startsWith(QStringLiteral("Ripristino della copia di sicurezza ") +
                                                 copies[1].name) &&
                     f.host.boxes[0].text.contains(QStringLiteral("fatta PRIMA DELLA RIAPERTURA")),
                 qPrintable(f.host.boxes[0].text));
        QCOMPARE(differences(withoutTmp(beforeRuns), withoutTmp(TestInstall::fingerprint(data))), QString());
        const Fingerprint restored = TestInstall::fingerprint(data);

        // Answered No: nothing moves.
        f.host.boxes.clear();
        f.host.answers = {Answer::No};
        QCOMPARE(undoLastRestore(f.ctx), RunOutcome::NotStarted);
        QCOMPARE(f.host.boxes[0].buttons, Buttons::YesNoDefaultNo);
        QCOMPARE(TestInstall::fingerprint(data), restored);

        // The folder set aside as the restore left it (its log holds the restore's first lines).
        const QString aside = fs::hostPath(setAsideFolder(TestInstall::base()));
        const Fingerprint setAside = TestInstall::fingerprint(aside);
        QCOMPARE(differences(withoutTmp(afterRuns), withoutTmp(setAside)), QString());
        f.host.boxes.clear();
        QCOMPARE(undoLastRestore(f.ctx), RunOutcome::Done);
        QVERIFY2(f.host.boxes[0].text.contains(
                     years::fill(QStringLiteral("contiene già il {new} (Azienda_1, Azienda_2)"))),
                 qPrintable(f.host.boxes[0].text));
        QCOMPARE(differences(setAside, TestInstall::fingerprint(data)), QString());
        QVERIFY(!QDir(aside).exists());
        QCOMPARE(differences(restored,
                             TestInstall::fingerprint(fs::hostPath(setAsideFolder(TestInstall::base())))),
                 QString());
        QCOMPARE(QDir(f.root()).entryList({QStringLiteral("dati_prima_del_ripristino_*")}, QDir::Dirs).size(),
                 2);

        QCOMPARE(undoLastRestore(f.ctx), RunOutcome::Done);
        QCOMPARE(differences(restored, TestInstall::fingerprint(data)), QString());

        // The newest complete copy is never removed; an older one is.
        QVERIFY(
            removeSafetyCopy(TestInstall::base(), copies[0].name).contains(QStringLiteral("più recente")));
        QVERIFY(QDir(fs::hostPath(copies[0].path)).exists());
        QCOMPARE(removeSafetyCopy(TestInstall::base(), copies[1].name), QString());
        QVERIFY(!QDir(fs::hostPath(copies[1].path)).exists());
    }

    void ageText_data()
    {
        QTest::addColumn<QDateTime>("taken");
        QTest::addColumn<bool>("timeKnown");
        QTest::addColumn<QString>("said");
        const QDateTime now(QDate(2026, 12, 9), QTime(12, 0));
        QTest::newRow("seconds") << now.addSecs(-20) << true << QStringLiteral("meno di un minuto fa");
        QTest::newRow("one minute") << now.addSecs(-61) << true << QStringLiteral("1 minuto fa");
        QTest::newRow("hours") << now.addSecs(-3 * 3600 - 5) << true << QStringLiteral("3 ore fa");
        QTest::newRow("today, time unknown")
            << QDateTime(now.date(), QTime(0, 0)) << false << QStringLiteral("oggi");
        QTest::newRow("yesterday late") << now.addSecs(-13 * 3600) << true << QStringLiteral("ieri");
        QTest::newRow("days") << now.addDays(-12) << true << QStringLiteral("12 giorni fa");
        QTest::newRow("months") << now.addDays(-95) << true << QStringLiteral("3 mesi fa");
        QTest::newRow("a year") << now.addDays(-400) << false << QStringLiteral("1 anno fa");
        QTest::newRow("a clock set back") << now.addDays(2) << true << QStringLiteral("data futura");
    }

    void ageText()
    {
        QFETCH(QDateTime, taken);
        QFETCH(bool, timeKnown);
        QFETCH(QString, said);
        QCOMPARE(rio::ageText(taken, timeKnown, QDateTime(QDate(2026, 12, 9), QTime(12, 0))), said);
    }

    void copiesAreListedNewestFirst()
    {
        StepFixture f;
        f.install.addCompany(1);
        const QString data = TestInstall::base() + QStringLiteral("dati");
        for (const char* name : {"Copia_dati_07122031", "Copia_dati_31122025", "Copia_dati_07122031_101500",
                                 "copia_dati_08122031"}) {
            fs::Manifest manifest;
            fs::CopyFolder(data, TestInstall::base() + QLatin1String(name), {}, &manifest);
            if (QByteArray(name) != "Copia_dati_31122025")
                fs::writeManifest(TestInstall::base() + QLatin1String(name), manifest);
        }
        const QList<SafetyCopy> copies = listSafetyCopies(TestInstall::base());
        QStringList names;
        for (const SafetyCopy& c : copies)
            names << c.name + QLatin1Char(' ') + c.takenText();
        QCOMPARE(names, QStringList({QStringLiteral("copia_dati_08122031 08/12/2031"),
                                     QStringLiteral("Copia_dati_07122031_101500 07/12/2031 10:15"),
                                     QStringLiteral("Copia_dati_07122031 07/12/2031"),
                                     QStringLiteral("Copia_dati_31122025 31/12/2025")}));
        QVERIFY(copies[0].hasManifest && !copies[3].hasManifest);
        QCOMPARE(copies[3].bytes, copies[0].bytes);
        QVERIFY(copies[0].sizeText().endsWith(QStringLiteral(" MB")));

        QList<qint64> progress;
        const CopyCheck verified =
            checkSafetyCopy(copies[0].path, [&](qint64 done, qint64 total) { progress << done << total; });
        QCOMPARE(verified.state, CopyCheck::State::Verified);
        QCOMPARE(verified.text(), QStringLiteral("verificata (%1 file)").arg(verified.files));
        QCOMPARE(progress.mid(progress.size() - 2), QList<qint64>({copies[0].bytes, copies[0].bytes}));
        QCOMPARE(checkSafetyCopy(copies[3].path).state, CopyCheck::State::NoManifest);
        QCOMPARE(checkSafetyCopy(copies[0].path, {}, [] { return true; }).state, CopyCheck::State::Cancelled);
    }
};

QTEST_GUILESS_MAIN(TestRestoreCopies)
#include "test_restore_copies.moc"
