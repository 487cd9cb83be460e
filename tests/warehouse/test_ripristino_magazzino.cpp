#include "support/years.h"
#include "warehouse_rows.h"

#include "data/engine_memory.h"
#include "data/error.h"
#include "data/value.h"
#include "warehouse/ripristino_magazzino.h"
#include "warehouse/stock_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

using rio::Stage;

class TestStockRecomputation : public QObject
{
    Q_OBJECT

private slots:
    void stockRulesAndCaptions();
    void codesWithQuotesBlanksAndCase();
    void emptyArticleTableWarns();
    void callerTransactionDecidesDurability();
    void failureKeepsEarlierBatches();
    void nullCodeFails();
    void matchesPerArticleReference();
    void theTableIsClaimedFromTheEngine();
};

namespace {

qint64 rowidOf(const QString& file, const QString& where)
{
    return TestInstall::scalar(file, QStringLiteral("select min(rowid) from ANAG_ART where ") + where)
        .toLongLong();
}

} // namespace

void TestStockRecomputation::stockRulesAndCaptions()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    addArticle(f, QStringLiteral("'B1'"), QStringLiteral("'Bullone'"));
    addArticle(f, QStringLiteral("'A1'"), QStringLiteral("NULL"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'01'"), QStringLiteral("5"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'01'"), QStringLiteral("-2"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'02'"), QStringLiteral("-4.25"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'03'"), QStringLiteral("1.25"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'03'"), QStringLiteral("NULL"));
    addMovement(f, QStringLiteral("'B1'"), QStringLiteral("'05'"), QStringLiteral("0.5"));
    // Warehouse codes outside 01..05 count nowhere.
    for (const char* warehouseCode : {"'1'", "'06'", "''", "NULL", "' 01'"})
        addMovement(f, QStringLiteral("'B1'"), QLatin1String(warehouseCode), QStringLiteral("100"));

    auto db = StepFixture::open(years::Old);
    a.host.runEnabled = false;
    rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));

    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='B1'"))), stocks(3, -4.25, 1.25, 0, 0.5));
    // No movements: every stock becomes 0, whatever it held.
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='A1'"))), stocks(0, 0, 0, 0, 0));
    // Captions in code order; a Null description reads as nothing.
    QCOMPARE(a.host.events, QStringList({QStringLiteral("ripristino in corso articolo: a1 - "),
                                         QStringLiteral("ripristino in corso articolo: b1 - bullone")}));
    QVERIFY(a.host.yields >= 2);
    QVERIFY(a.host.ticked(Stage::RipristinoMagazzino));
    QVERIFY(a.host.runEnabled);
    QVERIFY(a.host.busy); // the hourglass stays
    QVERIFY(a.host.boxes.isEmpty());
}

void TestStockRecomputation::codesWithQuotesBlanksAndCase()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    addArticle(f, QStringLiteral("'AB''1'"), QStringLiteral("'Quota'"));
    addArticle(f, QStringLiteral("' c1 '"), QStringLiteral("'Spazi'")); // no trimmed twin
    addArticle(f, QStringLiteral("' D1'"), QStringLiteral("'Spazio'"));
    addArticle(f, QStringLiteral("'d1'"), QStringLiteral("'Minuscolo'"));
    addArticle(f, QStringLiteral("'D1'"), QStringLiteral("'Maiuscolo'"));
    addMovement(f, QStringLiteral("'ab''1'"), QStringLiteral("'02'"), QStringLiteral("7"));
    addMovement(f, QStringLiteral("'C1'"), QStringLiteral("'01'"), QStringLiteral("1"));
    addMovement(f, QStringLiteral("'D1'"), QStringLiteral("'01'"), QStringLiteral("2"));
    addMovement(f, QStringLiteral("'d1'"), QStringLiteral("'01'"), QStringLiteral("3"));
    // Blanks around a movement code: no trimmed key matches it.
    addMovement(f, QStringLiteral("' D1'"), QStringLiteral("'01'"), QStringLiteral("1000"));
    addMovement(f, QStringLiteral("'D1 '"), QStringLiteral("'01'"), QStringLiteral("1000"));
    // Only spaces are blanks: a tab makes a code of its own.
    addArticle(f, QStringLiteral("'E1'"), QStringLiteral("'Senza tab'"));
    addArticle(f, QStringLiteral("'E1' || char(9)"), QStringLiteral("'Con tab'"));
    addMovement(f, QStringLiteral("'E1'"), QStringLiteral("'01'"), QStringLiteral("2"));
    addMovement(f, QStringLiteral("'E1' || char(9)"), QStringLiteral("'01'"), QStringLiteral("3"));

    auto db = StepFixture::open(years::Old);
    rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));

    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='AB''1'"))), stocks(0, 7, 0, 0, 0));
    // " c1 " looks for "C1", which no row holds: untouched.
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt=' c1 '"))), stocks(99, 99, 99, 99, 99));
    // "d1" (the first row equal to "D1" letter case aside) takes both case
    // variants' movements; " D1" and the later "D1" row are never found.
    const qint64 d1 = rowidOf(f, QStringLiteral("CodArt='d1' collate binary"));
    QCOMPARE(stocksOf(f, d1), stocks(5, 0, 0, 0, 0));
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt=' D1'"))), stocks(99, 99, 99, 99, 99));
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='D1' collate binary"))),
             stocks(99, 99, 99, 99, 99));
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='E1'"))), stocks(2, 0, 0, 0, 0));
    QCOMPARE(stocksOf(f, rowidOf(f, QStringLiteral("CodArt='E1' || char(9)"))), stocks(3, 0, 0, 0, 0));

    // Every article found shows its own code and the found row's description.
    QVERIFY(a.host.events.contains(QStringLiteral("ripristino in corso articolo: ab'1 - quota")));
    QVERIFY(a.host.events.contains(QStringLiteral("ripristino in corso articolo:  d1 - minuscolo")));
    QVERIFY(a.host.events.contains(QStringLiteral("ripristino in corso articolo: d1 - minuscolo")));
    QVERIFY(a.host.events.contains(QStringLiteral("ripristino in corso articolo: e1\t - con tab")));
    QVERIFY(!a.host.events.join(QLatin1Char('\n')).contains(QStringLiteral("c1")));
    QVERIFY(a.host.ticked(Stage::RipristinoMagazzino));
}

void TestStockRecomputation::emptyArticleTableWarns()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    addMovement(f, QStringLiteral("'X'"), QStringLiteral("'01'"), QStringLiteral("1"));
    a.host.runEnabled = false;

    auto db = StepFixture::open(years::Old);
    rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));

    QCOMPARE(a.host.boxes.size(), 1);
    QCOMPARE(a.host.boxes.first().text, QStringLiteral("Nessun Movimento trovato!"));
    QCOMPARE(a.host.boxes.first().icon, rio::Icon::Exclamation);
    QCOMPARE(a.host.boxes.first().title, QStringLiteral("Ventor"));
    QVERIFY(!a.host.busy);
    QVERIFY(!a.host.windowClosed); // a warning: the run goes on
    QVERIFY(!a.host.ticked(Stage::RipristinoMagazzino));
    QVERIFY(!a.host.runEnabled);
    QVERIFY(!a.ctx.companyHadErrors());
    QVERIFY(a.host.events.isEmpty());
    QVERIFY(!db->inTransaction());
}

void TestStockRecomputation::callerTransactionDecidesDurability()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    addArticle(f, QStringLiteral("'A'"));
    addMovement(f, QStringLiteral("'A'"), QStringLiteral("'01'"), QStringLiteral("4"));
    const qint64 row = rowidOf(f, QStringLiteral("CodArt='A'"));

    {
        // The run's transaction: nothing is durable until the run commits.
        auto db = StepFixture::open(years::Old);
        db->beginTrans();
        rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));
        QVERIFY(db->inTransaction());
        db->release();
    }
    QCOMPARE(stocksOf(f, row), stocks(99, 99, 99, 99, 99));

    {
        // On its own the pass commits what it saved and leaves no
        // transaction open.
        auto db = StepFixture::open(years::Old);
        rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));
        QVERIFY(!db->inTransaction());
        QCOMPARE(stocksOf(f, row), stocks(4, 0, 0, 0, 0));
    }
}

void TestStockRecomputation::failureKeepsEarlierBatches()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    QStringList s;
    for (int i = 0; i < 2500; ++i) {
        s << QStringLiteral("insert into ANAG_ART(CodArt, Giacenza1) values('A%1', 99)")
                 .arg(i, 5, 10, QLatin1Char('0'));
        s << QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values('A%1', '01', 1)")
                 .arg(i, 5, 10, QLatin1Char('0'));
    }
    TestInstall::execAll(f, s);
    TestInstall::exec(
        f, QStringLiteral("create trigger guasto before update on ANAG_ART when old.CodArt = 'A01500' "
                          "and new.Giacenza1 <> 99 "
                          "begin select raise(abort, 'riga bloccata'); end"));

    {
        auto db = StepFixture::open(years::Old);
        QVERIFY_THROWS_EXCEPTION(rio::Error,
                                 rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1")));
        QVERIFY(!db->inTransaction());
    }
    // Every row saved before the failing one survives; none after it.
    QCOMPARE(
        TestInstall::scalar(f, QStringLiteral("select count(*) from ANAG_ART where Giacenza1 = 1")).toInt(),
        1500);
    QCOMPARE(TestInstall::scalar(f, QStringLiteral("select max(CodArt) from ANAG_ART where Giacenza1 = 1"))
                 .toString(),
             QStringLiteral("A01499"));
    QVERIFY(!a.host.ticked(Stage::RipristinoMagazzino));

    // Under the caller's transaction the failure leaves the commit to it.
    TestInstall::exec(f, QStringLiteral("update ANAG_ART set Giacenza1 = 99"));
    {
        auto db = StepFixture::open(years::Old);
        db->beginTrans();
        QVERIFY_THROWS_EXCEPTION(rio::Error,
                                 rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1")));
        QVERIFY(db->inTransaction());
    }
    QCOMPARE(
        TestInstall::scalar(f, QStringLiteral("select count(*) from ANAG_ART where Giacenza1 = 1")).toInt(),
        0);
}

void TestStockRecomputation::nullCodeFails()
{
    // A Null code cannot be turned into text: the failure reaches the caller.
    StepFixture a;
    const QString f = a.install.createArchive(1);
    addArticle(f, QStringLiteral("NULL"));
    addArticle(f, QStringLiteral("'A'"));
    auto db = StepFixture::open(years::Old);
    db->beginTrans();
    try {
        rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));
        QFAIL("no error");
    } catch (const rio::Error& e) {
        QCOMPARE(e.number(), rio::err::InvalidUseOfNull);
    }
}

namespace {

QString sqlText(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The recomputation as the original does it, article by article: five sum
// queries, a search for the first matching row, five saves. Returns the
// captions.
QStringList referenceRecomputation(const QString& file)
{
    QStringList captions;
    const auto articles =
        TestInstall::rows(file, QStringLiteral("select CodArt from ANAG_ART order by CodArt"));
    for (const QVariantList& article : articles) {
        const QString code = article.first().toString();
        const QString key = sqlText(rio::articleKey(code));
        QVariantList sums;
        for (int n = 1; n <= 5; ++n) {
            const QVariant s = TestInstall::scalar(
                file, QStringLiteral("select sum(Qta) as QtaRecuperata from MOV_MAG where (MOV_MAG.CodArt=%1 "
                                     "and MOV_MAG.Dep ='0%2')")
                          .arg(key)
                          .arg(n));
            sums << (s.isNull() ? 0.0 : s.toDouble());
        }
        const auto found = TestInstall::rows(
            file,
            QStringLiteral("select rowid, DescrArt from ANAG_ART where CodArt=%1 order by rowid limit 1")
                .arg(key));
        if (found.isEmpty())
            continue;
        captions << QStringLiteral("Ripristino in corso articolo: ") + code + QStringLiteral(" - ") +
                        found.first().at(1).toString();
        const QStringList fields{QStringLiteral("Giacenza1"), QStringLiteral("giacenza2"),
                                 QStringLiteral("giacenza3"), QStringLiteral("giacenza4"),
                                 QStringLiteral("giacenza5")};
        for (int n = 0; n < 5; ++n)
            TestInstall::exec(file, QStringLiteral("update ANAG_ART set %1 = %2 where rowid = %3")
                                        .arg(fields.at(n), QString::number(sums.at(n).toDouble(), 'g', 17))
                                        .arg(found.first().at(0).toLongLong()));
    }
    return captions;
}

} // namespace

void TestStockRecomputation::matchesPerArticleReference()
{
    StepFixture a;
    const QString f = a.install.createArchive(1);
    const QStringList codes{QStringLiteral("AB'1"),  QStringLiteral(" AB'1"), QStringLiteral("ab'1"),
                            QStringLiteral("X1"),    QStringLiteral("x1"),    QStringLiteral("X1 "),
                            QStringLiteral(" x1"),   QStringLiteral("Y2"),    QStringLiteral("Y2"),
                            QStringLiteral("Z"),     QStringLiteral(""),      QStringLiteral("caffè"),
                            QStringLiteral("CAFFè"), QStringLiteral("Q'' "),  QStringLiteral(" W ")};
    const QStringList movementCodes = codes + QStringList{QStringLiteral("NOART"), QStringLiteral(" Y2"),
                                                          QStringLiteral("w"), QStringLiteral("Q''")};
    const QStringList warehouses{QStringLiteral("'01'"), QStringLiteral("'02'"), QStringLiteral("'03'"),
                                 QStringLiteral("'04'"), QStringLiteral("'05'"), QStringLiteral("'1'"),
                                 QStringLiteral("'06'"), QStringLiteral("''"),   QStringLiteral("NULL"),
                                 QStringLiteral("'5 '")};
    // Fractions that binary cannot hold exactly: a sum in another order than
    // the reference's (rowid order within a code and warehouse) differs in
    // its last bits.
    const QStringList quantities{QStringLiteral("NULL"), QStringLiteral("-3"),   QStringLiteral("2.5"),
                                 QStringLiteral("0.1"),  QStringLiteral("-0.7"), QStringLiteral("1000000.3"),
                                 QStringLiteral("0"),    QStringLiteral("1e-17")};
    QRandomGenerator rnd(20231231);
    QStringList s;
    for (int i = 0; i < 60; ++i) {
        const QString code = codes.at(i % codes.size());
        s << QStringLiteral(
                 "insert into ANAG_ART(CodArt, DescrArt, Giacenza1, giacenza2, giacenza3, giacenza4, "
                 "giacenza5) values(%1, 'art %2', 99, 99, 99, 99, 99)")
                 .arg(sqlText(code))
                 .arg(i);
    }
    for (int i = 0; i < 1500; ++i)
        s << QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values(%1, %2, %3)")
                 .arg(sqlText(movementCodes.at(rnd.bounded(movementCodes.size()))),
                      warehouses.at(rnd.bounded(warehouses.size())),
                      quantities.at(rnd.bounded(quantities.size())));
    TestInstall::execAll(f, s);
    // The reference works on a copy of the same archive.
    const QString reference = a.install.archiveHost(1, years::New);
    QVERIFY(QDir().mkpath(QFileInfo(reference).absolutePath()));
    QVERIFY(QFile::copy(f, reference));

    auto db = StepFixture::open(years::Old);
    rio::RIPRISTINA_MAGAZZINO(a.ctx, *db, QStringLiteral("Azienda_1"));
    db->release();
    const QStringList expected = referenceRecomputation(reference);

    const QString allRows =
        QStringLiteral("select rowid, CodArt, Giacenza1, giacenza2, giacenza3, giacenza4, giacenza5 "
                       "from ANAG_ART order by rowid");
    QCOMPARE(TestInstall::rows(f, allRows), TestInstall::rows(reference, allRows));

    // The same captions in the same order; a caption equal to the one before
    // adds no line.
    QStringList lines;
    QString previous;
    for (const QString& c : expected) {
        if (c != previous)
            lines << c.toLower();
        previous = c;
    }
    QCOMPARE(a.host.events, lines);
}

// The table of every article is paid for by the engine's pages while it
// lives, moved or not, and given back once when it goes.
void TestStockRecomputation::theTableIsClaimedFromTheEngine()
{
    using namespace rio::engineMemory;
    constexpr int Articles = 20000;
    {
        rio::StockTable table;
        QByteArray key;
        for (int i = 0; i < Articles; ++i)
            table.add(rio::upperKey(QByteArray::number(i), key), i + 1);
        QVERIFY(engineShare() <= BudgetBytes - qint64(Articles) * qint64(sizeof(rio::StockTable::Entry)));
        const qint64 share = engineShare();
        const rio::StockTable moved(std::move(table));
        QCOMPARE(engineShare(), share);
    }
    QCOMPARE(engineShare(), BudgetBytes);
}

QTEST_GUILESS_MAIN(TestStockRecomputation)
#include "test_ripristino_magazzino.moc"
