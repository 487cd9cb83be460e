// Statements in the Jet dialect: names without regard to case, the error
// numbers, several queries at once, counts and the current row, the
// catalogue of tables and names taken from data. Registered with ODBC_TOO.
#include "data/error.h"
#include "database_fixture.h"

#include <QDateTime>
#include <QTest>

using namespace rio;

class TestDatabaseSql : public QObject, DatabaseFixture
{
    Q_OBJECT

private slots:
    void init() { createArchive(); }

    void cleanup() { removeArchive(); }

    void jetDialect()
    {
        auto c = openArchive();
        c->execute(
            QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta, DescrMov) values('A', '01', 1, 'x'), "
                           "('B', '01', 2, 'delete * from MOV_MAG'), ('C', '02', 3, '=true')"));
        {
            Query top(*c, QStringLiteral("select TOP 1 CodArt from MOV_MAG order by CodArt desc"));
            top.exec();
            QVERIFY(top.next());
            QCOMPARE(top.value(QStringLiteral("CodArt")), Value(QStringLiteral("C")));
            QVERIFY(!top.next());
        }
        {
            // The literal is left alone: it is matched as written.
            Query lit(*c, QStringLiteral("select count(*) from MOV_MAG where DescrMov = '=true'"));
            lit.exec();
            QVERIFY(lit.next());
            QCOMPARE(lit.value(0), Value(qlonglong(1)));
        }
        {
            Query active(*c,
                         QStringLiteral("select Tipo_Causale from CAUSALI where Attivazione_causale=true"));
            QCOMPARE(active.count(), 7);
            Query inactive(
                *c, QStringLiteral("select Tipo_Causale from CAUSALI where Attivazione_causale = false"));
            inactive.exec();
            QVERIFY(inactive.next());
            QCOMPARE(inactive.value(0), Value(QStringLiteral("OF")));
            QVERIFY(!inactive.next());
        }
        QCOMPARE(c->execute(QStringLiteral("delete * from MOV_MAG")), 3);
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 0);
    }

    void namesIgnoreCase()
    {
        auto c = openArchive();
        QCOMPARE(c->schema(QStringLiteral("anag_art")).find(QStringLiteral("GIACENZA2"))->name,
                 QStringLiteral("giacenza2"));
        RowInserter ins(*c, QStringLiteral("anag_art"),
                        {QStringLiteral("codart"), QStringLiteral("GIACENZA1")});
        ins.insert({QStringLiteral("ART1"), 5});
        Query q(*c, QStringLiteral("select CodArt, Giacenza1 from Anag_Art where codart = 'art1'"));
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("CODART")), Value(QStringLiteral("ART1")));
        QCOMPARE(q.value(QStringLiteral("giacenza1")), Value(5.0));
        QCOMPARE(q.indexOf(QStringLiteral(" Giacenza1 ")), 1);
    }

    void errorNumbers()
    {
        auto c = openArchive();
        QString text;
        QCOMPARE(errorOf([&] { c->execute(QStringLiteral("delete * from T_NESSUNA")); }, &text),
                 err::NoTable);
        QVERIFY2(text.contains(QLatin1String("T_NESSUNA")), qPrintable(text));
        QCOMPARE(errorOf([&] { Query(*c, QStringLiteral("select * from NESSUNA")); }), err::NoTable);
        QCOMPARE(errorOf([&] { c->schema(QStringLiteral("NESSUNA")); }), err::NoTable);
        QCOMPARE(errorOf([&] { RowInserter(*c, QStringLiteral("NESSUNA"), {QStringLiteral("a")}); }),
                 err::NoTable);
        QCOMPARE(errorOf([&] { c->execute(QStringLiteral("update ANAG_ART set Nessuno = 1")); }),
                 err::UnknownColumn);
        QCOMPARE(errorOf([&] { Query(*c, QStringLiteral("select Nessuno from ANAG_ART")); }),
                 err::UnknownColumn);

        Query empty(*c, QStringLiteral("select CodArt from ANAG_ART"));
        empty.exec();
        QCOMPARE(errorOf([&] { empty.value(0); }), err::NoCurrentRecord); // before the first row
        QVERIFY(!empty.next());
        QCOMPARE(errorOf([&] { empty.value(QStringLiteral("CodArt")); }), err::NoCurrentRecord);
        QCOMPARE(errorOf([&] { firstRowId(*c, QStringLiteral("ANAG_ART")); }), err::NoCurrentRecord);

        Query one(*c, QStringLiteral("select * from AZIENDE"));
        one.exec();
        QVERIFY(one.next());
        QCOMPARE(errorOf([&] { one.value(QStringLiteral("Nessuno")); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { one.value(99); }), err::ItemNotFound);
        QCOMPARE(errorOf([&] { RowInserter(*c, QStringLiteral("ANAG_ART"), {QStringLiteral("Nessuno")}); }),
                 err::ItemNotFound);

        QCOMPARE(errorOf([&] {
                     RowInserter(*c, QStringLiteral("MOV_MAG"), {QStringLiteral("DataMov")})
                         .insert({QStringLiteral("31/02/2023")});
                 }),
                 err::DataTypeMismatch);

        c->close();
        QCOMPARE(errorOf([&] { one.value(0); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { one.exec(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { c->execute(QStringLiteral("delete from ANAG_ART")); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { Query(*c, QStringLiteral("select * from ANAG_ART")); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { c->beginTrans(); }), err::ObjectClosed);
        QCOMPARE(errorOf([&] { c->tableNames(); }), err::ObjectClosed);
    }

    // On a file past Connection::RunAsideFromBytes a statement runs on a worker
    // thread of the same connection: its rows, its errors and the transaction
    // are those of the connection.
    void bigFileStatementsRunAside()
    {
        TestInstall::execAll(
            m_file,
            {QStringLiteral("create table PADDING(b)"),
             QStringLiteral("insert into PADDING values(zeroblob(%1))").arg(Connection::RunAsideFromBytes),
             QStringLiteral("insert into MOV_MAG(CodArt) values('A'), ('B'), ('C')"),
             QStringLiteral("create table T_ERR(x)"), QStringLiteral("insert into T_ERR values(1)"),
             QStringLiteral("create trigger T_ERR_NO before delete on T_ERR "
                            "begin select raise(abort, 'cancellazione vietata'); end")});
        auto c = openArchive();
        int calls = 0;
        c->setWhileBusy([&calls] { ++calls; });
        c->beginTrans();
        QCOMPARE(c->execute(QStringLiteral("delete * from MOV_MAG")), 3);
        QString text;
        QCOMPARE(errorOf([&] { c->execute(QStringLiteral("delete * from T_ERR")); }, &text),
                 err::EngineFailure);
        QVERIFY2(text.contains(QLatin1String("cancellazione vietata")), qPrintable(text));
        QCOMPARE(c->execute(QStringLiteral("delete * from PADDING")), 1);
        c->release(); // uncommitted: discarded
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 3);
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from PADDING")).toInt(), 1);
    }

    // With a whileBusy set, the engine commits on the worker thread: what it
    // commits stays, and a commit it refuses raises its error.
    void commitWhileBusy()
    {
        TestInstall::execAll(m_file, {QStringLiteral("create table PADRE(id integer primary key)"),
                                      QStringLiteral("create table FIGLIO(padre integer references PADRE(id) "
                                                     "deferrable initially deferred)")});
        auto c = openArchive();
        c->setWhileBusy([] {});
        c->execute(QStringLiteral("pragma foreign_keys = on"));
        c->beginTrans();
        c->execute(QStringLiteral("insert into MOV_MAG(CodArt) values('A')"));
        c->commitTrans();
        QVERIFY(!c->inTransaction());
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 1);

        c->beginTrans();
        c->execute(QStringLiteral("insert into FIGLIO values(7)")); // no such PADRE
        QString text;
        QCOMPARE(errorOf([&] { c->commitTrans(); }, &text), err::EngineFailure);
        QVERIFY2(text.contains(QLatin1String("FOREIGN KEY"), Qt::CaseInsensitive), qPrintable(text));
        c->release();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from FIGLIO")).toInt(), 0);

        // A whileBusy that fails inside the engine: its failure comes out once
        // the statement has ended, and the transaction can still commit.
        auto d = openArchive();
        if (d->driver() != Connection::Driver::Sqlite)
            return; // no calls from inside the engine through ODBC
        d->setWhileBusy([] { throw Error(err::EngineFailure, QStringLiteral("finestra chiusa")); });
        d->beginTrans();
        QCOMPARE(errorOf(
                     [&] {
                         d->execute(QStringLiteral(
                             "insert into MOV_MAG(CodArt) with recursive n(i) as (select 1 "
                             "union all select i + 1 from n where i < 100000) select 'B' from n"));
                     },
                     &text),
                 err::EngineFailure);
        QCOMPARE(text, QStringLiteral("finestra chiusa"));
        d->setWhileBusy([] {});
        d->commitTrans();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 100001);
    }

    // The engine's check reads the whole file in one statement, which a
    // whileBusy runs on the worker: the problems it names are the same.
    void integrityProblemsWithOrWithoutWhileBusy_data()
    {
        QTest::addColumn<bool>("whileBusy");
        QTest::newRow("on this thread") << false;
        QTest::newRow("while the window repaints") << true;
    }
    void integrityProblemsWithOrWithoutWhileBusy()
    {
        QFETCH(bool, whileBusy);
        {
            auto sound = openArchive();
            if (whileBusy)
                sound->setWhileBusy([] {});
            QCOMPARE(integrityProblems(*sound), QStringList());
        }
        // A rule declared after the rows were written: each row breaks it.
        TestInstall::execAll(
            m_file, {QStringLiteral("create table T_NN(a, b)"),
                     QStringLiteral("insert into T_NN values(null, 1), (null, 2), (null, 3)"),
                     QStringLiteral("pragma writable_schema = on"),
                     QStringLiteral("update sqlite_master set sql = 'create table T_NN(a not null, b)' "
                                    "where name = 'T_NN'")});
        auto c = openArchive();
        if (whileBusy)
            c->setWhileBusy([] {});
        QCOMPARE(integrityProblems(*c, 2), QStringList({QStringLiteral("NULL value in T_NN.a"),
                                                        QStringLiteral("NULL value in T_NN.a")}));
    }

    void severalQueriesAtOnce()
    {
        auto c = openArchive();
        Query outer(*c, QStringLiteral("select Tipo_Causale from CAUSALI order by rowid"));
        Query inner(*c, QStringLiteral("select count(*) from CAUSALI where Tipo_Causale = ?"));
        outer.exec();
        int rows = 0;
        while (outer.next()) {
            inner.bind(0, outer.value(0));
            inner.exec();
            QVERIFY(inner.next());
            QCOMPARE(inner.value(0), Value(qlonglong(1)));
            inner.finish();
            ++rows;
        }
        QCOMPARE(rows, 8);
    }

    void recordCountAndFirstRow()
    {
        auto c = openArchive();
        TestInstall::exec(m_file, QStringLiteral("insert into AZIENDE(ID_Azienda) values('Azienda_9')"));
        Query q(*c, QStringLiteral("select * from AZIENDE where ID_Azienda like ?"));
        q.bind(0, QStringLiteral("azienda_%"));
        QCOMPARE(q.count(), 2);
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("ID_Azienda")), Value(QStringLiteral("Azienda_1")));
        QCOMPARE(firstRowId(*c, QStringLiteral("aziende")), 1);

        // The current row's rowid, to save fields of that row.
        Query rows(*c, QStringLiteral("select rowid, ID_Azienda from AZIENDE order by rowid desc"));
        rows.exec();
        QVERIFY(rows.next());
        QCOMPARE(rows.value(QStringLiteral("rowid")), Value(qlonglong(2)));
        RowUpdater(*c, QStringLiteral("AZIENDE"), {QStringLiteral("Ragione_Sociale1")})
            .update(rows.value(0).toLongLong(), {QStringLiteral("Nona S.p.A.")});
        rows.finish();
        QCOMPARE(TestInstall::scalar(m_file,
                                     QStringLiteral("select Ragione_Sociale1 from AZIENDE where rowid = 2")),
                 QVariant(QStringLiteral("Nona S.p.A.")));
        QCOMPARE(errorOf([&] {
                     RowUpdater(*c, QStringLiteral("AZIENDE"), {QStringLiteral("Citta")})
                         .update(99, {QStringLiteral("x")});
                 }),
                 err::NoCurrentRecord);
    }

    void catalogue()
    {
        TestInstall::exec(m_file, QStringLiteral("create view V_ART as select * from ANAG_ART"));
        TestInstall::exec(m_file,
                          QStringLiteral("create table CON_CONTATORE(id INTEGER PRIMARY KEY AUTOINCREMENT)"));
        TestInstall::exec(m_file, QStringLiteral("insert into CON_CONTATORE default values"));
        TestInstall::exec(m_file, QStringLiteral("analyze"));
        auto c = openArchive();
        const QStringList names = c->tableNames();
        QVERIFY(names.contains(QStringLiteral("ANAG_ART")));
        QVERIFY(names.contains(QStringLiteral("T_DISTINTA_BASE")));
        QVERIFY(names.contains(QStringLiteral("CON_CONTATORE")));
        QVERIFY(!names.contains(QStringLiteral("V_ART")));
        for (const QString& n : names)
            QVERIFY2(!n.startsWith(QLatin1String("sqlite_")), qPrintable(n));
    }

    void identifiersFromData()
    {
        QCOMPARE(Connection::quoteIdentifier(QStringLiteral("T_DDT")), QStringLiteral("[T_DDT]"));
        auto c = openArchive();
        c->execute(QStringLiteral("delete from ") + Connection::quoteIdentifier(QStringLiteral("t_ddt")));
        // Whatever a name holds, it can only name a table, which is not there.
        for (const QString& name :
             {QStringLiteral("T_NESSUNA"), QStringLiteral("X]; delete from ANAG_ART; --"),
              QStringLiteral("X\"]; delete from ANAG_ART; --"),
              QStringLiteral("X'; delete from ANAG_ART; --"), QStringLiteral("X\"; delete from ANAG_ART; --"),
              QStringLiteral("T_[A]"), QString()}) {
            QCOMPARE(errorOf([&] {
                         c->execute(QStringLiteral("delete * from ") + Connection::quoteIdentifier(name));
                     }),
                     err::NoTable);
        }
        TestInstall::exec(m_file, QStringLiteral("create table \"T_A]B\"(x)"));
        c->execute(QStringLiteral("insert into ") + Connection::quoteIdentifier(QStringLiteral("T_A]B")) +
                   QStringLiteral(" values(1)"));
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from \"T_A]B\"")).toInt(), 1);

        // A quote inside a bracketed name is part of the name.
        TestInstall::exec(m_file, QStringLiteral("create table \"T_L'A\"(d DATE, b BOOLEAN)"));
        TestInstall::exec(m_file, QStringLiteral("insert into \"T_L'A\" values('2023-01-31', 1)"));
        Query q(*c, QStringLiteral("select * from [T_L'A] where b = true"));
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("d")), Value(QDateTime(QDate(2023, 1, 31), QTime(0, 0))));
        QCOMPARE(q.value(QStringLiteral("b")), Value(true));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseSql)
#include "test_database_sql.moc"
