// The comparison of the two archives after a run.
#include "run/run.h"
#include "run/verification.h"
#include "step_fixture.h"

#include <QFile>
#include <QTest>

using namespace rio;

namespace {

void fillCompany(const QString& archive)
{
    // The twin "D4" is never found by the recomputation (the first row "d4"
    // is), so it keeps its 7 and carries it; the 2024 recomputation then
    // gives both twins' movements to "d4".
    TestInstall::exec(archive, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values "
                                              "('A1', 'Viti', 0), ('B2', 'Bulloni', 0), (' C3 ', 'Dadi', 9), "
                                              "('d4', 'Rondelle', 0), ('D4', 'Rondelle grandi', 7)"));
    TestInstall::exec(archive,
                      QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values "
                                     "('A1', '01', 5), ('A1', '02', 2.5), ('B2', '01', -1), ('C3', '01', 4), "
                                     "('D4', '02', 3), ('d4', '01', 1)"));
    TestInstall::exec(
        archive, QStringLiteral("insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                                "Numero_Documento, Totale_Mov_Cont, Stato_PArtita) values "
                                "('2023-03-01', 'C', '001', 'FT', 12, 100, null), "
                                "('2023-04-01', 'C', '001', 'FT', 13, 50.5, null), "
                                "('2023-05-01', 'F', '900', 'FA', 7, 30, null), "
                                "('2023-05-02', 'F', '900', 'FA', '   ', 30, null), "
                                "('2023-06-01', 'C', '002', 'FT', 14, 70, 'C')"));
}

struct Fixture : StepFixture
{
    Fixture() { fillCompany(install.createArchive(1)); }
    CompanyVerification verify() const { return verifyCompany(*open(2023), *open(2024), 1, true); }
};

QStringList texts(const QList<Finding>& findings, Finding::Kind kind)
{
    QStringList out;
    for (const Finding& f : findings)
        if (f.kind == kind)
            out << f.text;
    return out;
}

} // namespace

class TestVerification : public QObject
{
    Q_OBJECT

private slots:
    void aCleanRunHasNoMismatch()
    {
        Fixture f;
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors); // the refused item is an error box
        QVERIFY(!f.host.reportPath.isEmpty());
        QVERIFY(QFile::exists(f.install.host(f.host.reportPath)));
        QVERIFY2(f.host.summary.last().startsWith(QStringLiteral("VERIFICA SUPERATA")),
                 qPrintable(f.host.summary.join(QLatin1Char('\n'))));

        const CompanyVerification v = f.verify();
        QCOMPARE(v.mismatches(), 0);
        QCOMPARE(v.refusedItems.size(), 1);
        // The twins cannot match by design: a warning, not a mismatch.
        const QStringList warnings = texts(v.findings, Finding::Kind::Warning);
        QVERIFY2(warnings.filter(QStringLiteral("Giacenza 2024 dell'articolo \"d4\"")).size() == 1,
                 qPrintable(warnings.join(QLatin1Char('\n'))));
        QCOMPARE(warnings.size(), 2); // the twin and the refused item
        QVERIFY(warnings.filter(QStringLiteral("\"A1\"")).isEmpty());
    }

    // One value changed in the 2024 archive between the last step and the
    // verification, on data with no refused item: the verification alone
    // finds it, names it, and makes the run end with errors.
    void oneTamperedValueIsTheRunsOnlyError_data()
    {
        QTest::addColumn<QString>("tamper");
        QTest::addColumn<QString>("named");
        QTest::newRow("opening movement quantity")
            << QStringLiteral(
                   "update MOV_MAG set Qta = 2 where TipoMov='RIAPERTURA' and CodArt='A1' and DEP='02'")
            << QStringLiteral("Articolo \"A1\" deposito 02:");
        QTest::newRow("open item total") << QStringLiteral("update MOV_CONT set Totale_Mov_Cont = 100.5")
                                         << QStringLiteral("Cliente/fornitore C 001:");
    }
    void oneTamperedValueIsTheRunsOnlyError()
    {
        QFETCH(QString, tamper);
        QFETCH(QString, named);
        StepFixture f;
        f.install.addCompany(1);
        f.host.onStepFinished = [&f, &tamper](const QString& step, int) {
            if (step == QLatin1String("CREAZIONE_MOVIMENTI_CONTABILI"))
                TestInstall::exec(f.newArchive(), tamper);
        };

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);

        for (const FakeHost::Step& step : std::as_const(f.host.steps))
            QVERIFY2(step.ok, qPrintable(step.name));
        QCOMPARE(f.host.boxesContaining(QStringLiteral("Azienda 1 S.r.l. eseguita con errori")), 0);
        QCOMPARE(f.host.summary,
                 QStringList({QStringLiteral("Azienda_1 Azienda 1 S.r.l.: 1 discordanze, 0 avvisi"),
                              QStringLiteral("VERIFICA FALLITA: 1 discordanze, 0 avvisi")}));
        QCOMPARE(f.host.boxes.last().text,
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));
        const QStringList mismatches =
            texts(verifyCompany(*f.open(2023), *f.open(2024), 1, true).findings, Finding::Kind::Mismatch);
        QCOMPARE(mismatches.size(), 1);
        QVERIFY2(mismatches.first().startsWith(named), qPrintable(mismatches.first()));
    }

    void aRemovedMovementAndADroppedItemAreReported()
    {
        Fixture f;
        const QString next = f.newArchive();
        f.host.onStepFinished = [&next](const QString& step, int) {
            if (step != QLatin1String("CREAZIONE_MOVIMENTI_CONTABILI"))
                return;
            TestInstall::exec(
                next, QStringLiteral("delete from MOV_MAG where TipoMov='RIAPERTURA' and CodArt='B2'"));
            TestInstall::exec(next, QStringLiteral("delete from MOV_CONT where Totale_Mov_Cont=30"));
        };
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);
        QVERIFY(f.host.summary.last().startsWith(QStringLiteral("VERIFICA FALLITA")));
        QCOMPARE(f.host.boxes.last().text,
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));

        const CompanyVerification v = f.verify();
        const QStringList mismatches = texts(v.findings, Finding::Kind::Mismatch);
        // The missing movement, the counters that no longer agree, the supplier's item.
        QVERIFY2(mismatches.filter(QStringLiteral("\"B2\" deposito 01")).size() == 1,
                 qPrintable(mismatches.join(QLatin1Char('\n'))));
        QVERIFY(mismatches.filter(QStringLiteral("F 900")).size() == 1);
        QVERIFY(mismatches.filter(QStringLiteral("Progr_Mov_Mag")).size() == 1);
        QVERIFY(mismatches.filter(QStringLiteral("Progr_Mov_Cont")).size() == 1);
        QCOMPARE(mismatches.size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestVerification)
#include "test_verification.moc"
