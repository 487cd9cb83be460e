#include "app/demo/demo_installation.h"
#include "app/demo/demo_options.h"
#include "context/layout.h"
#include "data/filesystem.h"
#include "data/product_schema.h"
#include "support/test_install.h"
#include "support/years.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace rio::demo;

namespace {

DemoOptions small(const QString& dir, quint32 seed = 7)
{
    DemoOptions o;
    o.dir = dir;
    o.companies = 2;
    o.articles = 400;
    o.movements = 4000;
    o.openItems = 30;
    o.seed = seed;
    return o;
}

} // namespace

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void sameSeedSameFiles()
    {
        QTemporaryDir a, b, c;
        writeDemoInstallation(small(a.path()));
        writeDemoInstallation(small(b.path()));
        writeDemoInstallation(small(c.path(), 8));
        const auto fa = TestInstall::fingerprint(a.path());
        QVERIFY(fa.size() >= 10);
        QCOMPARE(TestInstall::fingerprint(b.path()), fa);
        const QString archive =
            years::fill(QStringLiteral("Programmi/Ventor Sistemi/dati/esercizi/Azienda_1/{old}/dati.mdb"));
        QVERIFY(fa.contains(archive));
        QVERIFY(TestInstall::fingerprint(c.path()).value(archive) != fa.value(archive));
    }

    void companyDataDoNotDependOnTheCount()
    {
        QTemporaryDir one, three;
        DemoOptions o = small(one.path());
        o.companies = 1;
        writeDemoInstallation(o);
        o.dir = three.path();
        o.companies = 3;
        writeDemoInstallation(o);
        const QString archive =
            years::fill(QStringLiteral("Programmi/Ventor Sistemi/dati/esercizi/Azienda_1/{old}/dati.mdb"));
        QCOMPARE(TestInstall::fingerprint(one.path()).value(archive),
                 TestInstall::fingerprint(three.path()).value(archive));
    }

    void installationAsTheProgramLooksForIt()
    {
        QTemporaryDir dir;
        const auto summary = writeDemoInstallation(small(dir.path()));
        QCOMPARE(summary.installationRoot, QStringLiteral("c:\\Programmi\\Ventor Sistemi\\"));
        QCOMPARE(summary.companies.size(), 2);
        QVERIFY(QFileInfo::exists(dir.path() + QLatin1Char('/') + QLatin1String(MarkerFileName)));

        qputenv("RIAPERTURA_DRIVE_C", dir.path().toUtf8());
        namespace layout = rio::layout;
        QVERIFY(!layout::has64BitProgramFolder());
        const QString root = layout::installationRoot(rio::DataSource::Local, false, false, QString(),
                                                      QStringLiteral("Programmi"));
        QCOMPARE(TestInstall::scalar(rio::fs::hostPath(QString::fromLatin1(layout::SystemDatabasePath)),
                                     QStringLiteral("select Percorso from system"))
                     .toString(),
                 root);
        const QString hash = rio::schema::passwordHash(QStringLiteral("kQ482913tW"));
        for (const QString& mdw : {layout::workgroupFilePath(false, QStringLiteral("Programmi")),
                                   QStringLiteral("c:\\programmi\\zeta\\dati\\system\\system.mdw")})
            QCOMPARE(TestInstall::scalar(
                         rio::fs::hostPath(mdw),
                         QStringLiteral("select password_sha256 from accounts where name = 'LARVINOTE'"))
                         .toString(),
                     hash);
        QCOMPARE(rio::fs::Dir(layout::oldArchivePath(root, 1)), QStringLiteral("dati.mdb"));
        QCOMPARE(rio::fs::Dir(layout::oldArchivePath(root, 2)), QStringLiteral("dati.mdb"));
        QCOMPARE(rio::fs::Dir(layout::oldArchivePath(root, 3)), QString());
        // The year folder holds more than the archive.
        QVERIFY(
            !rio::fs::Dir(layout::oldCompanyFolder(root, 1) + QStringLiteral("\\Stampe\\*.txt")).isEmpty());

        const QString db =
            rio::fs::hostPath(layout::archivePath(root, QStringLiteral("Azienda_2"), years::Old));
        auto count = [&](const char* sql) {
            return TestInstall::scalar(db, QString::fromUtf8(sql)).toInt();
        };
        QCOMPARE(
            TestInstall::scalar(db, QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda = "
                                                   "'Azienda_2'"))
                .toString(),
            summary.companies[1].companyName);
        QCOMPARE(count("select count(*) from ANAG_ART"), 400);
        QCOMPARE(count("select count(*) from MOV_MAG"), 4000);
        QCOMPARE(count("select count(*) from MOV_CONT where Stato_PArtita is null"), 30);
        QVERIFY(count("select count(*) from MOV_CONT where Stato_PArtita is not null") > 0);
        // The odd data the year opening has to live with.
        QVERIFY(count("select count(*) from ANAG_ART where CodArt like '%''%'") > 0);
        QVERIFY(count("select count(*) from ANAG_ART where CodArt like ' %' or CodArt like '% '") > 0);
        QVERIFY(count("select count(*) from ANAG_ART a join ANAG_ART b on a.CodArt = b.CodArt "
                      "and a.CodArt <> b.CodArt collate binary") > 0);
        QVERIFY(count("select count(*) from ANAG_ART where DescrArt like '%à%' or DescrArt like '%²%'") > 0);
        QVERIFY(count("select count(*) from MOV_MAG where Qta < 0") > 0);
        QVERIFY(count("select count(*) from MOV_MAG where Qta <> round(Qta)") > 0);
        QCOMPARE(count("select count(distinct DEP) from MOV_MAG where DEP in ('01','02','03','04','05')"), 5);
        QVERIFY(count("select count(*) from MOV_MAG where DEP not in ('01','02','03','04','05')") > 0);
        QCOMPARE(count("select count(*) from CONTATORI"), 1);
        QCOMPARE(count("select Progr_Mov_Mag from CONTATORI"), 4001);
        for (const QString& f : rio::schema::counterFields())
            QVERIFY2(TestInstall::scalar(db, QStringLiteral("select %1 from CONTATORI").arg(f)).toInt() > 0,
                     qPrintable(f));
        QVERIFY(count("select count(*) from CAUSALI where Attivazione_causale = 0") > 0);
        QVERIFY(count("select count(*) from T_DISTINTA_BASE") > 0);
        QVERIFY(count("select count(*) from C_ORDINI_FORNITORI") > 0);
        QVERIFY(count("select count(*) from MOV_IVA") > 0);
        QCOMPARE(count("select count(*) from sqlite_master where type = 'index' and name in "
                       "('ANAG_ART_CodArt', 'MOV_MAG_CodArt_Dep')"),
                 2);
        QCOMPARE(TestInstall::scalar(
                     db, QStringLiteral("select typeof(oRAMov) || ' ' || substr(oRAMov, 1, 11) from "
                                        "MOV_MAG limit 1"))
                     .toString(),
                 QStringLiteral("text 1899-12-30 "));
    }

    void x86PutsTheRootUnderProgramFilesX86()
    {
        QTemporaryDir dir;
        DemoOptions o = small(dir.path());
        o.x86 = true;
        o.companies = 1;
        const auto summary = writeDemoInstallation(o);
        QCOMPARE(summary.installationRoot, QStringLiteral("C:\\Program Files (x86)\\Ventor Sistemi\\"));
        qputenv("RIAPERTURA_DRIVE_C", dir.path().toUtf8());
        QVERIFY(rio::layout::has64BitProgramFolder());
        QVERIFY(QFileInfo::exists(
            rio::fs::hostPath(rio::layout::workgroupFilePath(true, QStringLiteral("Program files")))));
        QCOMPARE(rio::fs::Dir(rio::layout::oldArchivePath(summary.installationRoot, 1)),
                 QStringLiteral("dati.mdb"));
    }

    void refusesAnExistingInstallation()
    {
        QTemporaryDir dir;
        writeDemoInstallation(small(dir.path()));
        const auto before = TestInstall::fingerprint(dir.path());
        QVERIFY_THROWS_EXCEPTION(DemoRefused, writeDemoInstallation(small(dir.path(), 99)));
        QCOMPARE(TestInstall::fingerprint(dir.path()), before);

        // A product folder in other letters' case is still the product.
        QTemporaryDir other;
        QVERIFY(QDir().mkpath(other.path() + QStringLiteral("/PROGRAMMI/zeta")));
        QVERIFY_THROWS_EXCEPTION(DemoRefused, writeDemoInstallation(small(other.path())));
        QVERIFY(!QFileInfo::exists(other.path() + QLatin1Char('/') + QLatin1String(MarkerFileName)));

        // Other contents are no installation.
        QTemporaryDir unrelated;
        QVERIFY(QDir().mkpath(unrelated.path() + QStringLiteral("/Programmi/Altro")));
        writeDemoInstallation(small(unrelated.path()));
        QVERIFY(QFileInfo::exists(unrelated.path() + QLatin1Char('/') + QLatin1String(MarkerFileName)));
    }

    void arguments()
    {
        QString error;
        auto o = parseDemoArguments({QStringLiteral("/tmp/x")}, error);
        QVERIFY(o);
        QCOMPARE(o->dir, QStringLiteral("/tmp/x"));
        QCOMPARE(o->companies, 3);
        QVERIFY(!o->x86);
        o = parseDemoArguments(
            QStringLiteral("--companies 10 d --articles=50000 --movements 1000000 --open-items 0 "
                           "--seed 4294967295 --x86")
                .split(QLatin1Char(' ')),
            error);
        QVERIFY2(o, qPrintable(error));
        QCOMPARE(o->dir, QStringLiteral("d"));
        QCOMPARE(o->companies, 10);
        QCOMPARE(o->articles, 50000);
        QCOMPARE(o->movements, 1000000);
        QCOMPARE(o->openItems, 0);
        QCOMPARE(o->seed, 4294967295u);
        QVERIFY(o->x86);

        const QStringList wrong[] = {
            {},
            {QStringLiteral("d"), QStringLiteral("--companies"), QStringLiteral("11")},
            {QStringLiteral("d"), QStringLiteral("--companies"), QStringLiteral("0")},
            {QStringLiteral("d"), QStringLiteral("--articles"), QStringLiteral("molti")},
            {QStringLiteral("d"), QStringLiteral("--seed")},
            {QStringLiteral("d"), QStringLiteral("--colore"), QStringLiteral("1")},
            {QStringLiteral("d"), QStringLiteral("e")},
        };
        for (const QStringList& args : wrong) {
            error.clear();
            QVERIFY2(!parseDemoArguments(args, error), qPrintable(args.join(QLatin1Char(' '))));
            QVERIFY(error.endsWith(QStringLiteral("; usare --help")));
        }
        // Read as the console reads its options.
        QVERIFY(!parseDemoArguments({QStringLiteral("d"), QStringLiteral("--bogus")}, error));
        QCOMPARE(error, QStringLiteral("opzione sconosciuta: --bogus; usare --help"));
        QVERIFY(!parseDemoArguments({QStringLiteral("d"), QStringLiteral("--x86=1")}, error));
        QCOMPARE(error, QStringLiteral("l'opzione --x86 non vuole un valore; usare --help"));
        for (const QString& info :
             {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("--version")}) {
            QString text;
            error.clear();
            QVERIFY(!parseDemoArguments({info}, error, &text));
            QVERIFY2(error.isEmpty() && text.startsWith(QLatin1String(info == QLatin1String("--version")
                                                                          ? "riapertura-demo 1."
                                                                          : "Uso: riapertura-demo")),
                     qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "test_demo.moc"
