// The whole year opening on a demo installation: what the run carried is
// checked against the archives with plain SQL, independent of the run's own
// verification.
#include "app/demo/demo_installation.h"
#include "context/run_context.h"
#include "data/filesystem.h"
#include "fake_host.h"
#include "run/run.h"
#include "support/years.h"
#include "test_install.h"

#include <QHash>
#include <QTemporaryDir>
#include <QTest>

using namespace rio;

namespace {

struct Stock
{
    double g[5] = {0, 0, 0, 0, 0};
};

// rowid -> the five stock fields, and the codes that the stock rules cannot
// match by design (blanks around them, or a twin differing only in case).
QHash<qint64, Stock> stocks(const QString& archive, QSet<qint64>* irregular = nullptr)
{
    QHash<qint64, Stock> out;
    QHash<QString, int> perKey;
    QHash<qint64, QString> codes;
    for (const QVariantList& r : TestInstall::rows(
             archive,
             QStringLiteral("select rowid, CodArt, Giacenza1, giacenza2, giacenza3, giacenza4, giacenza5 "
                            "from ANAG_ART"))) {
        Stock s;
        for (int i = 0; i < 5; ++i)
            s.g[i] = r[2 + i].toDouble();
        out.insert(r[0].toLongLong(), s);
        codes.insert(r[0].toLongLong(), r[1].toString());
        ++perKey[r[1].toString().trimmed().toUpper()];
    }
    if (irregular)
        for (auto it = codes.cbegin(); it != codes.cend(); ++it)
            if (it.value() != it.value().trimmed() || perKey.value(it.value().trimmed().toUpper()) > 1)
                irregular->insert(it.key());
    return out;
}

} // namespace

class TestDemoRun : public QObject
{
    Q_OBJECT

private slots:
    void aDemoInstallationIsOpenedCompletely()
    {
        QTemporaryDir dir;
        demo::DemoOptions options;
        options.dir = dir.path() + QStringLiteral("/drive_c");
        options.companies = 2;
        options.articles = 500;
        options.movements = 6000;
        options.openItems = 80;
        options.seed = 11;
        demo::writeDemoInstallation(options);
        qputenv("RIAPERTURA_DRIVE_C", options.dir.toUtf8());

        FakeHost host;
        RunState state;
        RunContext ctx(host, state);
        startUp(state);
        // The demo's twin and blank-padded codes are warnings to check by hand.
        QCOMPARE(runYearOpening(ctx), RunOutcome::DoneWithWarnings);
        QVERIFY2(host.summary.last().startsWith(
                     QStringLiteral("RIAPERTURA ESEGUITA CON AVVISI: nessun errore, nessuna discordanza, ")),
                 qPrintable(host.summary.join(QLatin1Char('\n'))));

        for (int slot = 1; slot <= 2; ++slot) {
            const QString base =
                state.PercorsoBase + QStringLiteral("dati\\esercizi\\Azienda_%1\\").arg(slot);
            const QString oldFile = fs::hostPath(base + years::fill(QStringLiteral("{old}\\dati.mdb")));
            const QString newFile = fs::hostPath(base + years::fill(QStringLiteral("{new}\\dati.mdb")));

            QSet<qint64> irregular;
            const auto before = stocks(oldFile, &irregular);
            const auto after = stocks(newFile);
            QVERIFY(!irregular.isEmpty()); // the demo has such codes: the check below must skip them
            int compared = 0;
            for (auto it = before.cbegin(); it != before.cend(); ++it) {
                if (irregular.contains(it.key()))
                    continue;
                const Stock& n = after.value(it.key());
                QCOMPARE(n.g[0], it.value().g[0]);
                QCOMPARE(n.g[1], it.value().g[1]);
                QCOMPARE(n.g[2] + n.g[3] + n.g[4], 0.0);
                ++compared;
            }
            QVERIFY(compared > 400);

            const qint64 opening =
                TestInstall::scalar(newFile,
                                    QStringLiteral("select count(*) from MOV_MAG where TipoMov='RIAPERTURA'"))
                    .toLongLong();
            QCOMPARE(
                TestInstall::scalar(newFile, QStringLiteral("select count(*) from MOV_MAG")).toLongLong(),
                opening);
            QCOMPARE(TestInstall::scalar(newFile, QStringLiteral("select Progr_Mov_Mag from CONTATORI"))
                         .toLongLong(),
                     opening);
            const qint64 open =
                TestInstall::scalar(
                    oldFile, QStringLiteral("select count(*) from MOV_CONT where Stato_PArtita is null"))
                    .toLongLong();
            QVERIFY(open > 0);
            QCOMPARE(
                TestInstall::scalar(newFile, QStringLiteral("select count(*) from MOV_CONT")).toLongLong(),
                open);
            QCOMPARE(TestInstall::scalar(newFile, QStringLiteral("select Progr_Mov_Cont from CONTATORI"))
                         .toLongLong(),
                     open);
        }
    }
};

QTEST_GUILESS_MAIN(TestDemoRun)
#include "test_demo_run.moc"
