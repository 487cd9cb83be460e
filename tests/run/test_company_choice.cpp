// A run for some companies only: the others keep every byte, the check looks
// at the chosen ones, and the report says which were left out.
#include "check_fixture.h"
#include "context/layout.h"
#include "run/company_choice.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace rio;
using Level = PreliminaryFinding::Level;

namespace {

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString companyFolder(const StepFixture& f, int slot)
{
    return f.file(QStringLiteral("dati\\esercizi\\Azienda_%1").arg(slot));
}

} // namespace

class TestCompanyChoice : public QObject
{
    Q_OBJECT

private slots:
    // Companies 1 and 3 are left out (1 with a write a killed program left
    // half-done, 3 already with its new-year folder): not one of their files
    // changes (1's journal is not played back to read its name), nobody is
    // asked to replace 3's new archive, and every place that lists
    // companies says "non scelta".
    void aChoiceOpensTheChosenAndLeavesTheOthers()
    {
        StepFixture f;
        for (int slot : {1, 2, 3})
            f.install.addCompany(slot);
        f.install.createArchive(3, layout::AnnoDaAprire);
        TestInstall::leaveInterruptedWrite(f.oldArchive(1), QStringLiteral("delete from ANAG_ART"));
        const auto first = TestInstall::fingerprint(companyFolder(f, 1));
        const auto third = TestInstall::fingerprint(companyFolder(f, 3));
        f.host.chosen = {2};

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QCOMPARE(TestInstall::fingerprint(companyFolder(f, 1)), first);
        QCOMPARE(TestInstall::fingerprint(companyFolder(f, 3)), third);
        QVERIFY(QFile::exists(f.newArchive(2)));
        QVERIFY(!QFile::exists(f.newArchive(1)));
        QCOMPARE(f.host.boxesContaining(QStringLiteral("già stata eseguita")), 0);
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("1"));
        // The safety copy is the whole data folder.
        const QString copy = f.install.host(f.state.record.safetyCopy);
        QVERIFY(
            QFile::exists(copy + QStringLiteral("/esercizi/Azienda_1/%1/dati.mdb").arg(layout::AnnoInCorso)));
        QVERIFY(QFile::exists(copy +
                              QStringLiteral("/esercizi/Azienda_3/%1/dati.mdb").arg(layout::AnnoDaAprire)));

        for (const QString& line : {QStringLiteral("Azienda_1: non scelta"),
                                    QStringLiteral("Azienda_3 Azienda 3 S.r.l.: non scelta"),
                                    QStringLiteral("Azienda_2 Azienda 2 S.r.l.: eseguita")})
            QVERIFY2(f.host.events.contains(line), qPrintable(line));
        const QString headline =
            QStringLiteral("RIAPERTURA ESEGUITA: nessun errore, nessuna discordanza, nessun avviso; non "
                           "scelte: Azienda_1, Azienda_3");
        QCOMPARE(f.host.summary.last(), headline);
        const QString report = f.install.host(f.host.reportPath);
        const QString html = readText(report);
        QVERIFY(html.contains(headline));
        QVERIFY(html.contains(QStringLiteral("<tr><td>Azienda_1</td><td></td><td>non scelta</td>")));
        // In slot order among the companies opened.
        QVERIFY(html.indexOf(QStringLiteral("<td>Azienda_1</td>")) <
                html.indexOf(QStringLiteral("<td>Azienda_2</td>")));
        QVERIFY(html.indexOf(QStringLiteral("<td>Azienda_2</td>")) <
                html.indexOf(QStringLiteral("<td>Azienda_3</td>")));
        const QString stem = report.chopped(5);
        QVERIFY(readText(stem + QStringLiteral("_giacenze.csv"))
                    .contains(QStringLiteral("\r\nAzienda_3;Azienda 3 S.r.l.;;;;;;;non scelta\r\n")));
        QVERIFY(readText(stem + QStringLiteral("_partite.csv"))
                    .contains(QStringLiteral("\r\nAzienda_3;Azienda 3 S.r.l.;;;;;;;;non scelta;\r\n")));

        // What the choice shows next time: the outcome of the company opened,
        // none for those left out.
        const QList<CompanyOverview> overview = companyOverview(TestInstall::base(), TestInstall::mdw());
        QCOMPARE(overview.size(), 3);
        QCOMPARE(overview[0].name, QString()); // not read over the interrupted write
        QCOMPARE(overview[0].lastOutcome, QStringLiteral("mai aperta"));
        QVERIFY2(overview[1].newYear && overview[1].lastOutcome.startsWith(QStringLiteral("eseguita il ")),
                 qPrintable(overview[1].lastOutcome));
        QCOMPARE(overview[2].lastOutcome, QStringLiteral("nessun esito registrato"));
    }

    void theCheckLooksAtTheChosenOnly_data()
    {
        QTest::addColumn<QList<int>>("chosen");
        QTest::addColumn<QString>("error"); // the run's refusal; empty: none
        const QString noRow = QStringLiteral("Azienda_1: manca la riga 'Azienda_1' nella tabella AZIENDE");
        QTest::newRow("tutte") << QList<int>{} << noRow;
        QTest::newRow("la rotta") << QList<int>{1} << noRow;
        QTest::newRow("la sana") << QList<int>{3} << QString();
        QTest::newRow("senza archivio") << QList<int>{3, 4}
                                        << QStringLiteral("Azienda_4 scelta ma senza archivio %1 (%2)")
                                               .arg(layout::AnnoInCorso)
                                               .arg(layout::oldArchivePath(TestInstall::base(), 4));
    }
    // Company 1 has lost its AZIENDE row: only a choice that includes it, or
    // names a company that is not there, stops the run. The copy is counted
    // whole whatever the choice.
    void theCheckLooksAtTheChosenOnly()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QString, error);
        CheckFixture f;
        TestInstall::exec(f.oldArchive(1), QStringLiteral("delete from AZIENDE"));
        const PreliminaryCheck all =
            runPreliminaryCheck(f.host, f.state, PreliminaryOptions{1LL << 40, true});
        f.host.chosen = chosen;
        if (!error.isEmpty()) {
            f.refusedWith(error);
            // A company that is not there is refused before any question.
            if (!chosen.isEmpty() && !chosen.contains(1))
                QCOMPARE(f.host.boxesContaining(QStringLiteral("Continuare?")), 0);
            return;
        }
        const PreliminaryCheck check =
            runPreliminaryCheck(f.host, f.state, PreliminaryOptions{1LL << 40, true});
        QVERIFY2(findingTexts(check, Level::Error).isEmpty(),
                 qPrintable(findingTexts(check, Level::Error).join(QLatin1Char('\n'))));
        QVERIFY(findingTexts(check, Level::Ok)
                    .contains(QStringLiteral(
                        "aziende non scelte, lasciate come sono e non controllate: Azienda_1")));
        QCOMPARE(check.space->copy, all.space->copy);
        QVERIFY(check.space->newFolders < all.space->newFolders);
    }
};

QTEST_GUILESS_MAIN(TestCompanyChoice)
#include "test_company_choice.moc"
