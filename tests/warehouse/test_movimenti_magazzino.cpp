#include "support/years.h"
#include "warehouse_rows.h"

#include "data/error.h"
#include "init/inizializzazione.h"
#include "warehouse/movimenti_magazzino.h"
#include "warehouse/ripristino_magazzino.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using rio::Stage;

class TestWarehouseMovements : public QObject
{
    Q_OBJECT

private slots:
    void writesOpeningMovementsAndStock();
    void writesOpeningMovementsThroughOdbc();
    void numbersFollowTheCounter();
    void guardEndsTheProgram();
    void noArticlesWarns();
    void failureInLoopKeepsNothing();
    void failureInRecomputationKeepsMovements();
    void missingArchiveReported();
    void emptyCounterTableReported();
    void afterInitialisationStocksCarryOver();
};

namespace {

const QString Company = QStringLiteral("Azienda_1");

// Old archive with the articles of the cases; the new one its copy with the
// movements emptied and the movement counter at 0.
void prepare(StepFixture& a)
{
    const QString f = a.install.createArchive(1);
    TestInstall::execAll(
        f,
        {QStringLiteral(
             "insert into ANAG_ART(CodArt, Giacenza1, giacenza2, giacenza3, CodIva, CostoStandard, "
             "CostoMedio, CostoUltimo) values('A', 5, 0, 0, '22', 1.5, 2.5, 3.5)"),
         QStringLiteral("insert into ANAG_ART(CodArt, Giacenza1, giacenza2, giacenza3, CodIva) "
                        "values('B''1', -2.5, 4.75, 0, '10')"),
         QStringLiteral("insert into ANAG_ART(CodArt, Giacenza1, giacenza2, giacenza3) values('C', 0, 0, 7)"),
         QStringLiteral("insert into ANAG_ART(CodArt, Giacenza1, giacenza2) values('D', NULL, NULL)"),
         QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta, TipoMov) values('A', '01', 5, 'CARICO')")});
    QVERIFY(QDir().mkpath(QFileInfo(a.newArchive()).absolutePath()));
    QVERIFY(QFile::copy(f, a.newArchive()));
    TestInstall::execAll(a.newArchive(), {QStringLiteral("delete from MOV_MAG"),
                                          QStringLiteral("update CONTATORI set Progr_Mov_Mag = 0")});
}

int movementCount(const QString& file)
{
    return TestInstall::scalar(file, QStringLiteral("select count(*) from MOV_MAG")).toInt();
}

int movementCounter(const QString& file)
{
    return TestInstall::scalar(file, QStringLiteral("select Progr_Mov_Mag from CONTATORI")).toInt();
}

const QString MovementsQuery = QStringLiteral(
    "select Progr_Mov_Mag, DEP, Carico_Scarico, DescrMov, TipoMov, CodCliFor, TipoCliFor, TipoDoc, "
    "CodArt, CodIva, CostoMedio, CostoUltimo, CostoStandard, Qta, NumDoc from MOV_MAG order by rowid");

void checkMovements(const StepFixture& a)
{
    const auto m = TestInstall::rows(a.newArchive(), MovementsQuery);
    const QString description = QStringLiteral("RIPORTO DA ESERCIZIO PRECEDENTE");
    const QString r = QStringLiteral("RIAPERTURA");
    const QString v = QStringLiteral("VENTOR");
    QCOMPARE(m.size(), 3);
    QCOMPARE(m.at(0), (QVariantList{0, QStringLiteral("01"), QStringLiteral("C"), description, r, v,
                                    QStringLiteral("F"), r, QStringLiteral("A"), QStringLiteral("22"), 2.5,
                                    3.5, 1.5, 5.0, QStringLiteral("0")}));
    QCOMPARE(m.at(1).mid(0, 2), (QVariantList{1, QStringLiteral("01")}));
    QCOMPARE(m.at(1).mid(8, 2), (QVariantList{QStringLiteral("B'1"), QStringLiteral("10")}));
    QCOMPARE(m.at(1).at(13), QVariant(-2.5));
    QCOMPARE(m.at(2).mid(0, 2), (QVariantList{2, QStringLiteral("02")}));
    QCOMPARE(m.at(2).at(13), QVariant(4.75));
    QCOMPARE(movementCounter(a.newArchive()), 3);

    // Dates and time of day as the date columns hold them.
    const auto date =
        TestInstall::rows(a.newArchive(), QStringLiteral("select DataMov, DataDoc, oRAMov from MOV_MAG"));
    for (const QVariantList& d : date) {
        QVERIFY2(d.at(0).toString().startsWith(years::fill(QStringLiteral("{new}-01-01"))),
                 qPrintable(d.at(0).toString()));
        QCOMPARE(d.at(1), d.at(0));
        QVERIFY2(d.at(2).toString().startsWith(QStringLiteral("1899-12-30")), qPrintable(d.at(2).toString()));
    }

    // The new stock is the carried stock alone; 03..05 are not carried.
    const auto g = TestInstall::rows(a.newArchive(),
                                     QStringLiteral("select CodArt, Giacenza1, giacenza2, giacenza3 from "
                                                    "ANAG_ART order by rowid"));
    QCOMPARE(g.at(0), (QVariantList{QStringLiteral("A"), 5.0, 0.0, 0.0}));
    QCOMPARE(g.at(1), (QVariantList{QStringLiteral("B'1"), -2.5, 4.75, 0.0}));
    QCOMPARE(g.at(2), (QVariantList{QStringLiteral("C"), 0.0, 0.0, 0.0}));
    QCOMPARE(g.at(3), (QVariantList{QStringLiteral("D"), 0.0, 0.0, 0.0}));
}

// Neither archive is locked: another connection can write to both.
void checkNoLock(const StepFixture& a)
{
    TestInstall::exec(a.oldArchive(), QStringLiteral("update AZIENDE set Citta = 'Roma'"));
    TestInstall::exec(a.newArchive(), QStringLiteral("update AZIENDE set Citta = 'Roma'"));
}

} // namespace

void TestWarehouseMovements::writesOpeningMovementsAndStock()
{
    StepFixture a;
    prepare(a);
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QVERIFY2(a.host.boxes.isEmpty(), a.shownBoxes().constData());
    checkMovements(a);
    QVERIFY(a.host.ticked(Stage::CreazioneMagazzino));
    QVERIFY(a.host.ticked(Stage::RipristinoMagazzino));
    QVERIFY(!a.host.busy);
    QCOMPARE(a.host.progressCaption, QStringLiteral("Riapertura Magazzino Azienda_1 completata!"));
    QCOMPARE(a.host.events.first(), QStringLiteral("sto creando i movimenti di magazzino nel nuovo db"));
    QCOMPARE(a.host.events.last(), QStringLiteral("riapertura magazzino azienda_1 completata!"));
    QVERIFY(a.host.events.contains(QStringLiteral("ripristino in corso articolo: b'1 - ")));
    QVERIFY(a.state.ConnessioneDbOld && a.state.ConnessioneDbOld->isOpen());
    QVERIFY(!a.state.ConnessioneDbOld->inTransaction());
    checkNoLock(a);
    // The old archive is only read.
    QCOMPARE(movementCount(a.oldArchive()), 1);
}

void TestWarehouseMovements::writesOpeningMovementsThroughOdbc()
{
    rio::Connection::setSqliteThroughOdbc(true);
    StepFixture a;
    prepare(a);
    QCOMPARE(StepFixture::open(years::Old)->driver(), rio::Connection::Driver::OdbcSqlite);
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);
    a.state.ConnessioneDbOld.reset();
    rio::Connection::setSqliteThroughOdbc(false);

    QVERIFY2(a.host.boxes.isEmpty(), a.shownBoxes().constData());
    checkMovements(a);
    QVERIFY(a.host.ticked(Stage::CreazioneMagazzino));
}

void TestWarehouseMovements::numbersFollowTheCounter()
{
    // A counter not at 0 numbers on from its value; only the first row counts.
    StepFixture a;
    prepare(a);
    TestInstall::execAll(a.newArchive(),
                         {QStringLiteral("update CONTATORI set Progr_Mov_Mag = 40"),
                          QStringLiteral("insert into CONTATORI(Progr_Mov_Mag) values(900)")});
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    const auto n =
        TestInstall::rows(a.newArchive(), QStringLiteral("select Progr_Mov_Mag from MOV_MAG order by rowid"));
    QCOMPARE(n, (QList<QVariantList>{{40}, {41}, {42}}));
    QCOMPARE(TestInstall::rows(a.newArchive(),
                               QStringLiteral("select Progr_Mov_Mag from CONTATORI order by rowid")),
             (QList<QVariantList>{{43}, {900}}));
}

void TestWarehouseMovements::guardEndsTheProgram()
{
    StepFixture a;
    prepare(a);
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);
    QCOMPARE(movementCount(a.newArchive()), 3);
    const int counter = movementCounter(a.newArchive());
    a.host.boxes.clear();
    a.host.busy = true;

    QVERIFY_THROWS_EXCEPTION(rio::ProgramEnd, rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company));
    QCOMPARE(a.host.boxes.size(), 1);
    QCOMPARE(a.host.boxes.first().text,
             QStringLiteral("Ripertura Magazzino Già esistente, impossibile continuare!"));
    QCOMPARE(a.host.boxes.first().icon, rio::Icon::Exclamation);
    QCOMPARE(a.host.boxes.first().title, QStringLiteral("Ventor"));
    // The event list and the log say why the program ended.
    QCOMPARE(a.host.events.last(),
             QStringLiteral("Ripertura Magazzino Già esistente, impossibile continuare!"));
    QVERIFY(!a.host.busy);
    QCOMPARE(movementCount(a.newArchive()), 3);
    QCOMPARE(movementCounter(a.newArchive()), counter);
    a.state.ConnessioneDbOld.reset();
    checkNoLock(a);
}

void TestWarehouseMovements::noArticlesWarns()
{
    StepFixture a;
    prepare(a);
    TestInstall::exec(a.oldArchive(), QStringLiteral("delete from ANAG_ART"));
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QCOMPARE(a.host.boxes.size(), 1);
    QCOMPARE(a.host.boxes.first().text, QStringLiteral("Nessun Articolo trovato"));
    QCOMPARE(a.host.boxes.first().icon, rio::Icon::Exclamation);
    QCOMPARE(a.host.boxes.first().title, QStringLiteral("Ventor"));
    QVERIFY(!a.ctx.companyHadErrors());
    QVERIFY(!a.host.ticked(Stage::CreazioneMagazzino));
    QCOMPARE(movementCount(a.newArchive()), 0);
    checkNoLock(a);
}

void TestWarehouseMovements::failureInLoopKeepsNothing()
{
    StepFixture a;
    prepare(a);
    TestInstall::exec(a.newArchive(),
                      QStringLiteral("create trigger guasto before insert on MOV_MAG when new.DEP = '02' "
                                     "begin select raise(abort, 'inserimento rifiutato'); end"));
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QCOMPARE(a.host.boxes.size(), 1);
    QVERIFY2(a.host.boxes.first().text.startsWith(QStringLiteral("Error ")),
             qPrintable(a.host.boxes.first().text));
    QVERIFY(a.host.boxes.first().text.endsWith(
        QStringLiteral(") in procedure CREAZIONE_MOVIMENTI_MAGAZZINO of Form frmRiapri")));
    QCOMPARE(a.host.boxes.first().icon, rio::Icon::None);
    QVERIFY(a.ctx.companyHadErrors());
    QVERIFY(!a.host.ticked(Stage::CreazioneMagazzino));
    // Movements and counter advances go together or not at all.
    QCOMPARE(movementCount(a.newArchive()), 0);
    QCOMPARE(movementCounter(a.newArchive()), 0);
    checkNoLock(a);
}

void TestWarehouseMovements::failureInRecomputationKeepsMovements()
{
    StepFixture a;
    prepare(a);
    TestInstall::exec(a.newArchive(),
                      QStringLiteral("create trigger guasto before update on ANAG_ART when old.CodArt = 'C' "
                                     "begin select raise(abort, 'articolo bloccato'); end"));
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QCOMPARE(a.host.boxes.size(), 1);
    QVERIFY(a.host.boxes.first().text.contains(QStringLiteral("in procedure CREAZIONE_MOVIMENTI_MAGAZZINO")));
    QVERIFY(!a.host.ticked(Stage::CreazioneMagazzino));
    QCOMPARE(movementCount(a.newArchive()), 3);
    QCOMPARE(movementCounter(a.newArchive()), 3);
    // The articles recomputed before the failure keep their stock.
    QCOMPARE(TestInstall::scalar(a.newArchive(),
                                 QStringLiteral("select giacenza2 from ANAG_ART where CodArt = 'B''1'")),
             QVariant(4.75));
    checkNoLock(a);
}

void TestWarehouseMovements::missingArchiveReported()
{
    StepFixture a;
    a.install.createArchive(1);
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QCOMPARE(a.host.boxes.size(), 1);
    QVERIFY(a.host.boxes.first().text.contains(QStringLiteral("in procedure CREAZIONE_MOVIMENTI_MAGAZZINO")));
    QVERIFY(a.host.events.last().contains(QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO")));
    QVERIFY(a.ctx.companyHadErrors());
    QVERIFY(!QFile::exists(a.newArchive()));
}

void TestWarehouseMovements::emptyCounterTableReported()
{
    StepFixture a;
    prepare(a);
    TestInstall::exec(a.newArchive(), QStringLiteral("delete from CONTATORI"));
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QCOMPARE(a.host.boxes.size(), 1);
    QVERIFY2(a.host.boxes.first().text.startsWith(QStringLiteral("Error 3021 (")),
             a.shownBoxes().constData());
    QCOMPARE(movementCount(a.newArchive()), 0);
    QVERIFY(!a.host.ticked(Stage::CreazioneMagazzino));
    checkNoLock(a);
}

void TestWarehouseMovements::afterInitialisationStocksCarryOver()
{
    // The company's road: recompute the old year, empty the new one, carry the stock.
    StepFixture a;
    const QString f = a.install.createArchive(1);
    TestInstall::execAll(f, {QStringLiteral("insert into ANAG_ART(CodArt) values('P1')"),
                             QStringLiteral("insert into ANAG_ART(CodArt) values('P2')"),
                             QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values('P1', '01', 10)"),
                             QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values('P1', '02', 3)"),
                             QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values('p1', '01', -4)"),
                             QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values('P2', '04', 8)")});
    {
        auto db = StepFixture::open(years::Old);
        db->beginTrans();
        rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, Company);
        db->commitTrans();
    }
    QVERIFY(QDir().mkpath(QFileInfo(a.newArchive()).absolutePath()));
    QVERIFY(QFile::copy(f, a.newArchive()));
    QVERIFY2(rio::INIZIALIZZAZIONE_FILE(a.ctx, Company), a.shownBoxes().constData());
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(a.ctx, Company);

    QVERIFY2(a.host.boxes.isEmpty(), a.shownBoxes().constData());
    const auto g = TestInstall::rows(a.newArchive(),
                                     QStringLiteral("select CodArt, Giacenza1, giacenza2, giacenza3, "
                                                    "giacenza4, giacenza5 from ANAG_ART order by CodArt"));
    QCOMPARE(g, (QList<QVariantList>{{QStringLiteral("P1"), 6.0, 3.0, 0.0, 0.0, 0.0},
                                     {QStringLiteral("P2"), 0.0, 0.0, 0.0, 0.0, 0.0}}));
    QCOMPARE(movementCounter(a.newArchive()), 2);
    QCOMPARE(movementCount(a.newArchive()), 2);
}

QTEST_GUILESS_MAIN(TestWarehouseMovements)
#include "test_movimenti_magazzino.moc"
