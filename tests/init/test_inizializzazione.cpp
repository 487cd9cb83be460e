#include "support/step_fixture.h"
#include "support/years.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/product_schema.h"
#include "init/inizializzazione.h"

#include <QTest>

using rio::Stage;

class TestInitialisation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptiesMovementsDocumentsAndCounters();
    void exclusionIsCaseSensitive();
    void missingMovementTablePassedOver_data();
    void missingMovementTablePassedOver();
    void noActiveCausalGoesOn_data();
    void noActiveCausalGoesOn();
    void namesTrimmedAndQuoted_data();
    void namesTrimmedAndQuoted();
    void failureLeavesArchiveUnchanged_data();
    void failureLeavesArchiveUnchanged();
    void onlyFirstCounterRowReset();

    void probeFindsTables();
    void probeClosedOrNull();
    void probeEmptyCatalogue();

private:
    void fill();
    int rowCount(const QString& table) const;
    bool countersAreZero() const;

    std::unique_ptr<StepFixture> m_fixture;
    QString m_file;
};

namespace {
const QString Company = QStringLiteral("Azienda_4");
const QStringList MovementTables{QStringLiteral("MOV_MAG"), QStringLiteral("MOV_CONT"),
                                 QStringLiteral("MOV_IVA"), QStringLiteral("MOV_PROVV"),
                                 QStringLiteral("MOV_TRASP")};
} // namespace

void TestInitialisation::init()
{
    m_fixture = std::make_unique<StepFixture>();
    m_file = m_fixture->install.createArchive(4, years::New);
    fill();
}

void TestInitialisation::cleanup()
{
    rio::Connection::setSqliteThroughOdbc(false);
    m_fixture.reset();
}

// Rows in every movement table and in both document tables of every causal.
void TestInitialisation::fill()
{
    for (const QString& t : MovementTables)
        TestInstall::exec(m_file, QStringLiteral("insert into %1 default values").arg(t));
    for (const auto& c : rio::schema::demoCausals()) {
        if (c.tabella.isEmpty())
            continue;
        TestInstall::exec(m_file, QStringLiteral("insert into T_%1(Numero) values(1)").arg(c.tabella));
        TestInstall::exec(m_file, QStringLiteral("insert into C_%1(Numero) values(1)").arg(c.tabella));
    }
}

int TestInitialisation::rowCount(const QString& table) const
{
    return TestInstall::scalar(m_file, QStringLiteral("select count(*) from ") + table).toInt();
}

bool TestInitialisation::countersAreZero() const
{
    const auto r =
        TestInstall::rows(m_file, QStringLiteral("select * from CONTATORI order by rowid limit 1"));
    for (const QVariant& v : r.first())
        if (v.toLongLong() != 0 || v.isNull())
            return false;
    return r.first().size() == 34;
}

void TestInitialisation::emptiesMovementsDocumentsAndCounters()
{
    QVERIFY(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));

    for (const QString& t : MovementTables)
        QCOMPARE(rowCount(t), 0);
    for (const char* t : {"FATTURE", "DDT", "ORDINI_CLIENTI", "PREVENTIVI"}) {
        QCOMPARE(rowCount(QStringLiteral("T_") + QLatin1String(t)), 0);
        QCOMPARE(rowCount(QStringLiteral("C_") + QLatin1String(t)), 0);
    }
    // Inactive causal, and the two kept by name.
    for (const char* t : {"ORDINI_FORNITORI", "DISTINTA_BASE", "LISTINO_AUTO_1"}) {
        QCOMPARE(rowCount(QStringLiteral("T_") + QLatin1String(t)), 1);
        QCOMPARE(rowCount(QStringLiteral("C_") + QLatin1String(t)), 1);
    }
    QVERIFY(countersAreZero());
    QCOMPARE(m_fixture->host.events, QStringList({QStringLiteral("sto inizializzando il nuovo archivio..."),
                                                  QStringLiteral("sto resettando i progressivi...")}));
    QVERIFY(m_fixture->host.ticked(Stage::Inizializzazione));
    QVERIFY(m_fixture->host.boxes.isEmpty());
    // Nothing left locked.
    TestInstall::exec(m_file, QStringLiteral("insert into MOV_MAG default values"));
}

void TestInitialisation::exclusionIsCaseSensitive()
{
    TestInstall::exec(m_file, QStringLiteral("update CAUSALI set Nome_Tabella_Archiviazione_dati_documento = "
                                             "'distinta_base' where Tipo_Causale = 'DB'"));
    QVERIFY(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));
    QCOMPARE(rowCount(QStringLiteral("T_DISTINTA_BASE")), 0);
    QCOMPARE(rowCount(QStringLiteral("C_DISTINTA_BASE")), 0);
    QCOMPARE(rowCount(QStringLiteral("T_LISTINO_AUTO_1")), 1);
}

// Both ways to the file: the missing-table error must be told apart on each.
static void bothDrivers()
{
    QTest::addColumn<bool>("odbc");
    QTest::newRow("sqlite") << false;
    QTest::newRow("odbc") << true;
}

void TestInitialisation::missingMovementTablePassedOver_data()
{
    bothDrivers();
}

void TestInitialisation::missingMovementTablePassedOver()
{
    QFETCH(bool, odbc);
    rio::Connection::setSqliteThroughOdbc(odbc);
    TestInstall::exec(m_file, QStringLiteral("drop table MOV_IVA"));
    TestInstall::exec(m_file, QStringLiteral("drop table C_FATTURE"));
    QVERIFY(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));
    for (const QString& t :
         {QStringLiteral("MOV_MAG"), QStringLiteral("MOV_CONT"), QStringLiteral("MOV_PROVV"),
          QStringLiteral("MOV_TRASP"), QStringLiteral("T_FATTURE"), QStringLiteral("T_DDT")})
        QCOMPARE(rowCount(t), 0);
    QVERIFY(countersAreZero());
    QVERIFY(m_fixture->host.boxes.isEmpty());
    QVERIFY(m_fixture->host.ticked(Stage::Inizializzazione));
}

void TestInitialisation::noActiveCausalGoesOn_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("no active causal") << QStringLiteral("update CAUSALI set Attivazione_causale = 0");
    QTest::newRow("no CAUSALI") << QStringLiteral("drop table CAUSALI");
}

void TestInitialisation::noActiveCausalGoesOn()
{
    QFETCH(QString, sql);
    TestInstall::exec(m_file, sql);
    QVERIFY(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));
    for (const QString& t : MovementTables)
        QCOMPARE(rowCount(t), 0);
    QCOMPARE(rowCount(QStringLiteral("T_FATTURE")), 1);
    QVERIFY(countersAreZero());
    QVERIFY(m_fixture->host.boxes.isEmpty());
    QVERIFY(m_fixture->host.ticked(Stage::Inizializzazione));
}

void TestInitialisation::namesTrimmedAndQuoted_data()
{
    bothDrivers();
}

void TestInitialisation::namesTrimmedAndQuoted()
{
    QFETCH(bool, odbc);
    rio::Connection::setSqliteThroughOdbc(odbc);
    TestInstall::exec(m_file, QStringLiteral("update CAUSALI set Nome_Tabella_Archiviazione_dati_documento = "
                                             "'  FATTURE ' where Tipo_Causale = 'FT'"));
    const QStringList hostileNames{QStringLiteral("DDT; delete from ANAG_ART"),
                                   QStringLiteral("X where 1=1 or 1"),
                                   QStringLiteral("DDT\" ; drop table AZIENDE; --"),
                                   QStringLiteral("DDT] ; --"),
                                   QStringLiteral(""),
                                   QStringLiteral("DDT")};
    for (qsizetype i = 0; i < hostileNames.size(); ++i) {
        QString name = hostileNames.at(i);
        name.replace(QLatin1Char('\''), QLatin1String("''"));
        TestInstall::exec(m_file,
                          QStringLiteral("insert into CAUSALI values('Z%1', 'x', '%2', 1)").arg(i).arg(name));
    }
    TestInstall::exec(m_file, QStringLiteral("insert into ANAG_ART(CodArt) values('A')"));

    QVERIFY2(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company),
             qPrintable(m_fixture->host.boxes.value(0).text));
    QCOMPARE(rowCount(QStringLiteral("T_FATTURE")), 0);
    QCOMPARE(rowCount(QStringLiteral("C_FATTURE")), 0);
    QCOMPARE(rowCount(QStringLiteral("T_DDT")), 0);
    QCOMPARE(rowCount(QStringLiteral("ANAG_ART")), 1);
    QCOMPARE(rowCount(QStringLiteral("AZIENDE")), 1);
    QCOMPARE(rowCount(QStringLiteral("T_ORDINI_FORNITORI")), 1);
    QVERIFY(m_fixture->host.boxes.isEmpty());
}

void TestInitialisation::failureLeavesArchiveUnchanged_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("says"); // in the box, when the words matter
    QTest::newRow("counter field missing")
        << QStringLiteral("alter table CONTATORI drop column Progr_Mov_Iva") << QString();
    QTest::newRow("no counter row") << QStringLiteral("delete from CONTATORI")
                                    << QStringLiteral("3021 (Nessuna riga trovata nella tabella CONTATORI "
                                                      "dell'archivio c:\\Programmi\\Ventor Sistemi\\");
    QTest::newRow("no CONTATORI") << QStringLiteral("drop table CONTATORI") << QString();
    QTest::newRow("document table refuses")
        << QStringLiteral(
               "create trigger guasto before delete on T_DDT begin select raise(abort, 'bloccata'); end")
        << QString();
}

void TestInitialisation::failureLeavesArchiveUnchanged()
{
    QFETCH(QString, sql);
    QFETCH(QString, says);
    TestInstall::exec(m_file, sql);
    const auto counters = [this] {
        return TestInstall::rows(m_file,
                                 QStringLiteral("select * from sqlite_master where name = 'CONTATORI'"))
                       .isEmpty()
                   ? QList<QVariantList>()
                   : TestInstall::rows(m_file, QStringLiteral("select * from CONTATORI order by rowid"));
    };
    const QList<QVariantList> before = counters();

    QVERIFY(!rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));
    QCOMPARE(m_fixture->host.boxes.size(), 1);
    const FakeHost::Box& box = m_fixture->host.boxes.first();
    QVERIFY2(box.text.startsWith(QStringLiteral("Error ")), qPrintable(box.text));
    QVERIFY(box.text.endsWith(QStringLiteral(") in procedure INIZIALIZZAZIONE_FILE of Form frmRiapri")));
    QVERIFY2(box.text.contains(says), qPrintable(box.text));
    QCOMPARE(box.icon, rio::Icon::None);
    QCOMPARE(box.buttons, rio::Buttons::Ok);
    QVERIFY(m_fixture->ctx.companyHadErrors());
    QVERIFY(!m_fixture->host.ticked(Stage::Inizializzazione));
    // Nothing committed: every table as it was.
    for (const QString& t : MovementTables)
        QCOMPARE(rowCount(t), 1);
    QCOMPARE(rowCount(QStringLiteral("T_FATTURE")), 1);
    QCOMPARE(counters(), before);
    TestInstall::exec(m_file, QStringLiteral("insert into MOV_MAG default values"));
}

void TestInitialisation::onlyFirstCounterRowReset()
{
    TestInstall::exec(m_file,
                      QStringLiteral("insert into CONTATORI(Progr_Fatture, Progr_Mov_Mag) values(5, 6)"));
    QVERIFY(rio::INIZIALIZZAZIONE_FILE(m_fixture->ctx, Company));
    QVERIFY(countersAreZero());
    QCOMPARE(TestInstall::rows(m_file, QStringLiteral("select Progr_Fatture, Progr_Mov_Mag from CONTATORI "
                                                      "order by rowid"))
                 .last(),
             (QVariantList{5, 6}));
}

void TestInitialisation::probeFindsTables()
{
    TestInstall::exec(m_file, QStringLiteral("create view V_ARTICOLI as select CodArt from ANAG_ART"));
    const auto db = StepFixture::open(years::New, 4);

    QVERIFY(rio::gEsistenza_Tabella(db.get(), QStringLiteral("ANAG_ART")));
    QVERIFY(rio::gEsistenza_Tabella(db.get(), QStringLiteral("  mov_mag ")));
    QVERIFY(rio::gEsistenza_Tabella(db.get(), QStringLiteral("t_Fatture")));
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("V_ARTICOLI")));
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("sqlite_master")));
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("MOV")));
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("")));
    // It only reads.
    QVERIFY(!db->inTransaction());
    TestInstall::exec(m_file, QStringLiteral("insert into MOV_MAG default values"));
}

void TestInitialisation::probeClosedOrNull()
{
    rio::Connection closed;
    QVERIFY(!rio::gEsistenza_Tabella(&closed, QStringLiteral("ANAG_ART")));
    QVERIFY(!rio::gEsistenza_Tabella(nullptr, QStringLiteral("ANAG_ART")));

    const auto db = StepFixture::open(years::New, 4);
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), rio::nullValue()));
    db->close();
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("ANAG_ART")));
}

void TestInitialisation::probeEmptyCatalogue()
{
    // Only a view: no table of type "Table".
    TestInstall::createDatabase(m_fixture->install.archiveHost(5, years::New),
                                {QStringLiteral("create view V as select 1 as x")});
    const auto db = StepFixture::open(years::New, 5);
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("V")));
    QVERIFY(!rio::gEsistenza_Tabella(db.get(), QStringLiteral("ANAG_ART")));
}

QTEST_GUILESS_MAIN(TestInitialisation)
#include "test_inizializzazione.moc"
