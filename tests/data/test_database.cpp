// The database layer, run once on Qt's SQLite driver and once through ODBC
// (registered with ODBC_TOO), so that both code paths meet the same cases.
#include "data/database.h"
#include "data/error.h"
#include "data/product_schema.h"
#include "support/test_install.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <functional>
#include <memory>

using namespace rio;

namespace {

QString connectionString(const QString& archive, const QString& mdw = TestInstall::mdw(),
                         const QString& password = QLatin1String(schema::ProductPassword))
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=") + password +
           QStringLiteral(";User ID=Larvinote;Data Source=") + archive +
           QStringLiteral(";Persist Security Info=True;Jet OLEDB:System database=") + mdw;
}

// The number of the Error that f raises, 0 when it raises none.
qint64 errorOf(const std::function<void()>& f, QString* description = nullptr)
{
    try {
        f();
    } catch (const Error& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    QString m_file;    // host path of the archive of slot 1
    QString m_windows; // its Windows path

    std::unique_ptr<Connection> openArchive()
    {
        auto c = std::make_unique<Connection>();
        c->open(connectionString(m_windows));
        return c;
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        m_file = m_install->createArchive(1);
        m_windows = TestInstall::archiveWindowsPath(1, 2023);
    }

    void cleanup() { m_install.reset(); }

    void opensTheArchiveOnTheChosenDriver()
    {
        auto c = openArchive();
        QVERIFY(c->isOpen());
        QCOMPARE(Connection::sqliteThroughOdbc(), qgetenv("RIO_TEST_DB_DRIVER") == "odbc");
        QCOMPARE(c->driver(), Connection::sqliteThroughOdbc() ? Connection::Driver::OdbcSqlite
                                                              : Connection::Driver::Sqlite);
        QCOMPARE(QFileInfo(c->hostFilePath()).canonicalFilePath(), QFileInfo(m_file).canonicalFilePath());
        c->close();
        QVERIFY(!c->isOpen());
        QCOMPARE(errorOf([&] { c->close(); }), err::ObjectClosed);
    }

    void missingFileFailsAndIsNotCreated()
    {
        const QString windows = TestInstall::archiveWindowsPath(7, 2023);
        QDir().mkpath(QFileInfo(m_install->host(windows)).absolutePath());
        Connection c;
        QString text;
        QCOMPARE(errorOf([&] { c.open(connectionString(windows)); }, &text), err::EngineFailure);
        QVERIFY2(text.contains(windows), qPrintable(text));
        QVERIFY(!c.isOpen());
        QVERIFY(!QFile::exists(m_install->host(windows)));
    }

    void workgroupRefusals()
    {
        Connection c;
        QString text;
        const QString missing = QStringLiteral("c:\\Programmi\\Nessuno\\System.mdw");
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows, missing)); }, &text),
                 err::WorkgroupRefused);
        QVERIFY2(text.contains(missing), qPrintable(text));
        QVERIFY(!QFile::exists(m_install->host(missing)));

        QCOMPARE(
            errorOf([&] { c.open(connectionString(m_windows, TestInstall::mdw(), QStringLiteral("x"))); },
                    &text),
            err::WorkgroupRefused);
        QVERIFY2(text.contains(QLatin1String("password")), qPrintable(text));

        QString other = connectionString(m_windows);
        other.replace(QLatin1String("User ID=Larvinote"), QLatin1String("User ID=Admin"));
        QCOMPARE(errorOf([&] { c.open(other); }), err::WorkgroupRefused);

        // A workgroup file without the accounts is no workgroup file.
        TestInstall::createDatabase(m_install->host(TestInstall::mdw()),
                                    {QStringLiteral("create table x(a)")});
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }), err::WorkgroupRefused);
        QVERIFY(!c.isOpen());
    }

    void accountNameIgnoresCase()
    {
        Connection c;
        QString lower = connectionString(m_windows);
        lower.replace(QLatin1String("User ID=Larvinote"), QLatin1String("User ID=larvinote"));
        c.open(lower);
        QVERIFY(c.isOpen());
    }

    void accessFileNeedsTheWindowsBuild()
    {
        QFile jet(m_file);
        QVERIFY(jet.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray header(2048, '\0');
        header.replace(0, 19, QByteArrayLiteral("\x00\x01\x00\x00Standard Jet DB\x00"));
        jet.write(header);
        jet.close();
        Connection c;
        QString text;
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }, &text), err::EngineFailure);
        QVERIFY2(text.contains(m_windows) && text.contains(QLatin1String("Windows")), qPrintable(text));
    }

    void notADatabase()
    {
        QFile junk(m_file);
        QVERIFY(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write("questo non è un database");
        junk.close();
        Connection c;
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }), err::EngineFailure);
        QVERIFY(!c.isOpen());
    }

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

    void nullEmptyTextAndZeroStayApart()
    {
        auto c = openArchive();
        {
            RowInserter ins(*c, QStringLiteral("MOV_CONT"),
                            {QStringLiteral("ID_MOV_CONT"), QStringLiteral("Stato_Partita"),
                             QStringLiteral("Note"), QStringLiteral("Numero_Documento")});
            ins.insert({QStringLiteral("null"), nullValue(), nullValue(), nullValue()});
            ins.insert({QStringLiteral("vuoto"), QString(), QStringLiteral(""), 0});
            ins.insert({QStringLiteral("zero"), QStringLiteral("0"), QStringLiteral(" "), 0.0});
        }
        Query q(*c,
                QStringLiteral("select ID_MOV_CONT, Stato_PArtita, note, Numero_Documento, Giorni_Scadenza "
                               "from MOV_CONT order by rowid"));
        q.exec();
        QVERIFY(q.next());
        QVERIFY(isNull(q.value(QStringLiteral("stato_partita"))));
        QVERIFY(isNull(q.value(QStringLiteral("Note"))));
        QVERIFY(isNull(q.value(QStringLiteral("Numero_Documento"))));
        // Fields not named keep the table's default.
        QCOMPARE(q.value(QStringLiteral("Giorni_Scadenza")), Value(qlonglong(0)));
        QVERIFY(q.next());
        QCOMPARE(q.value(1), Value(QStringLiteral("")));
        QVERIFY(!isNull(q.value(1)));
        QCOMPARE(q.value(2), Value(QStringLiteral("")));
        QCOMPARE(q.value(3), Value(0.0));
        QVERIFY(q.next());
        QCOMPARE(q.value(1), Value(QStringLiteral("0")));
        QCOMPARE(q.value(2), Value(QStringLiteral(" ")));
        QVERIFY(!q.next());

        QCOMPARE(TestInstall::scalar(
                     m_file, QStringLiteral("select count(*) from MOV_CONT where Stato_PArtita is null"))
                     .toInt(),
                 1);
        QCOMPARE(
            TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_CONT where Note is null"))
                .toInt(),
            1);

        // A bound empty text matches the empty text only.
        Query bound(*c, QStringLiteral("select ID_MOV_CONT from MOV_CONT where Stato_Partita = ?"));
        bound.bind(0, QString());
        bound.exec();
        QVERIFY(bound.next());
        QCOMPARE(bound.value(0), Value(QStringLiteral("vuoto")));
        QVERIFY(!bound.next());
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

    void uncommittedWorkIsDiscarded()
    {
        const QString count = QStringLiteral("select count(*) from ANAG_ART");
        {
            auto c = openArchive();
            c->beginTrans();
            c->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('X')"));
            QVERIFY(c->inTransaction());
            c->close();
        }
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 0);
        {
            auto c = openArchive();
            c->beginTrans();
            RowInserter(*c, QStringLiteral("ANAG_ART"), {QStringLiteral("CodArt")})
                .insert({QStringLiteral("Y")});
        } // destroyed with the transaction open
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 0);
        {
            auto c = openArchive();
            c->beginTrans();
            c->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('Z')"));
            c->commitTrans();
            QVERIFY(!c->inTransaction());
        }
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 1);
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

    void lockedDatabase()
    {
        auto writer = openArchive();
        writer->beginTrans();
        writer->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('A')"));
        auto other = openArchive();
        QString text;
        QCOMPARE(errorOf([&] { other->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('B')")); },
                         &text),
                 err::EngineFailure);
        QVERIFY2(text.contains(QLatin1String("locked"), Qt::CaseInsensitive), qPrintable(text));
        writer->commitTrans();
        other->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('B')"));
    }

    void finishedReadsHoldNoLock()
    {
        auto reader = openArchive();
        auto writer = openArchive();
        Query q(*reader, QStringLiteral("select * from CAUSALI"));
        q.exec();
        while (q.next()) {
        }
        Query early(*reader, QStringLiteral("select * from CAUSALI"));
        early.exec();
        QVERIFY(early.next());
        early.finish();
        writer->beginTrans();
        writer->execute(QStringLiteral("delete from CAUSALI"));
        writer->commitTrans();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from CAUSALI")).toInt(), 0);
    }

    void commitWithAReadInProgress()
    {
        auto c = openArchive();
        c->beginTrans();
        Query reading(*c, QStringLiteral("select Tipo_Causale from CAUSALI order by rowid"));
        reading.exec();
        QVERIFY(reading.next());
        c->execute(QStringLiteral("update CONTATORI set Progr_ddt = 0"));
        c->commitTrans();
        QVERIFY(reading.next());
        reading.finish();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select Progr_ddt from CONTATORI")).toInt(), 0);
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

    void typedWritesAndReads()
    {
        auto c = openArchive();
        RowInserter ins(*c, QStringLiteral("MOV_MAG"),
                        {QStringLiteral("Progr_Mov_Mag"), QStringLiteral("DataMov"), QStringLiteral("oRAMov"),
                         QStringLiteral("Qta"), QStringLiteral("CodArt"), QStringLiteral("DataDoc")});
        ins.insert({QStringLiteral("12"), QStringLiteral("15/06/2023"), QStringLiteral("10:30:00"),
                    QStringLiteral("12,5"), 45, QDateTime(QDate(2023, 6, 15), QTime(8, 5, 9))});
        ins.insert({2.5, QDate(2024, 1, 1), QTime(23, 59, 58), true, QStringLiteral("caffè"), nullValue()});

        const auto raw =
            TestInstall::rows(m_file, QStringLiteral("select Progr_Mov_Mag, DataMov, oRAMov, Qta, "
                                                     "CodArt, DataDoc from MOV_MAG order by rowid"));
        QCOMPARE(raw.size(), 2);
        QCOMPARE(raw[0], (QVariantList{qlonglong(12), QStringLiteral("2023-06-15"),
                                       QStringLiteral("1899-12-30 10:30:00"), 12.5, QStringLiteral("45"),
                                       QStringLiteral("2023-06-15 08:05:09")}));
        QCOMPARE(raw[1].at(0), QVariant(qlonglong(2))); // rounded to even, as CLng
        QCOMPARE(raw[1].at(1), QVariant(QStringLiteral("2024-01-01")));
        QCOMPARE(raw[1].at(3), QVariant(-1.0)); // Jet's Yes as a number

        Query q(*c, QStringLiteral("select * from MOV_MAG order by rowid"));
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("DataMov")), Value(QDateTime(QDate(2023, 6, 15), QTime(0, 0))));
        QCOMPARE(q.value(QStringLiteral("oramov")), Value(QDateTime(QDate(1899, 12, 30), QTime(10, 30))));
        QCOMPARE(q.value(QStringLiteral("DataDoc")), Value(QDateTime(QDate(2023, 6, 15), QTime(8, 5, 9))));
        QCOMPARE(q.value(QStringLiteral("Progr_Mov_Mag")), Value(qlonglong(12)));
        QCOMPARE(q.value(QStringLiteral("Qta")), Value(12.5));
        QCOMPARE(textOf(q.value(QStringLiteral("DataMov"))), QStringLiteral("15/06/2023"));
        QCOMPARE(textOf(q.value(QStringLiteral("oRAMov"))), QStringLiteral("10:30:00"));
        QVERIFY(q.next());
        QCOMPARE(q.value(QStringLiteral("CodArt")), Value(QStringLiteral("caffè")));
        QVERIFY(isNull(q.value(QStringLiteral("DataDoc"))));
        QVERIFY(!q.next());

        Query b(*c, QStringLiteral("select Attivazione_causale from CAUSALI where Tipo_Causale = 'OF'"));
        b.exec();
        QVERIFY(b.next());
        QCOMPARE(b.value(0), Value(false));
        RowUpdater upd(*c, QStringLiteral("CAUSALI"), {QStringLiteral("attivazione_causale")});
        upd.update(firstRowId(*c, QStringLiteral("CAUSALI")), {QStringLiteral("Vero")});
        QCOMPARE(TestInstall::scalar(m_file,
                                     QStringLiteral("select Attivazione_causale from CAUSALI order by rowid "
                                                    "limit 1"))
                     .toInt(),
                 1);
    }

    void refusedValueStoresNothing()
    {
        auto c = openArchive();
        RowInserter ins(*c, QStringLiteral("MOV_MAG"), {QStringLiteral("CodArt"), QStringLiteral("DataMov")});
        QString text;
        QCOMPARE(errorOf(
                     [&] {
                         ins.insert({QStringLiteral("A"), QStringLiteral("domani")});
                     },
                     &text),
                 err::DataTypeMismatch);
        QCOMPARE(text, QStringLiteral("Data type mismatch in criteria expression."));
        RowInserter num(*c, QStringLiteral("MOV_MAG"), {QStringLiteral("CodArt"), QStringLiteral("Qta")});
        QCOMPARE(errorOf([&] {
                     num.insert({QStringLiteral("A"), QStringLiteral("dieci")});
                 }),
                 err::DataTypeMismatch);
        QCOMPARE(errorOf([&] {
                     num.insert({QStringLiteral("A"), QStringLiteral("")});
                 }),
                 err::DataTypeMismatch);
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from MOV_MAG")).toInt(), 0);

        TestInstall::exec(m_file, QStringLiteral("insert into CONTATORI(Progr_Fatture) values(1)"));
        RowUpdater upd(*c, QStringLiteral("CONTATORI"),
                       {QStringLiteral("Progr_ddt"), QStringLiteral("Progr_Fatture")});
        const qint64 row = firstRowId(*c, QStringLiteral("CONTATORI"));
        QCOMPARE(errorOf([&] { upd.update(row, {0, QStringLiteral("x")}); }), err::DataTypeMismatch);
        QCOMPARE(TestInstall::scalar(m_file,
                                     QStringLiteral("select Progr_ddt from CONTATORI order by rowid limit 1"))
                     .toInt(),
                 8);
    }

    void valuesReadAsStoredWhenNotAsDeclared()
    {
        TestInstall::exec(m_file, QStringLiteral("insert into ANAG_ART(CodArt, CostoMedio, Giacenza1) "
                                                 "values('A', 'n.d.', 2), ('B', 1.5, 3)"));
        auto c = openArchive();
        Query q(*c, QStringLiteral("select CodArt, CostoMedio from ANAG_ART order by CodArt"));
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(1), Value(QStringLiteral("n.d.")));
        QVERIFY(q.next());
        QCOMPARE(q.value(1), Value(1.5));

        Query sum(*c, QStringLiteral("select sum(Giacenza1) as Tot, count(*) from ANAG_ART"));
        sum.exec();
        QVERIFY(sum.next());
        QCOMPARE(sum.value(QStringLiteral("tot")), Value(5.0));
        QCOMPARE(sum.value(1), Value(qlonglong(2)));

        Query none(*c, QStringLiteral("select sum(Qta) from MOV_MAG where CodArt = 'A'"));
        none.exec();
        QVERIFY(none.next());
        QVERIFY(isNull(none.value(0)));
        QCOMPARE(errorOf([&] { numberOf(none.value(0)); }), err::InvalidUseOfNull);
    }

    void datesWrittenByOtherProducers()
    {
        TestInstall::exec(m_file, QStringLiteral("insert into MOV_MAG(CodArt, DataMov, oRAMov) values "
                                                 "('A', '2023-06-15T10:30:00', '10:30:00'), "
                                                 "('B', '2023-6-5 7:08:09.250', '1899-12-30 23:59:59'), "
                                                 "('C', 'mai', 45092)"));
        auto c = openArchive();
        Query q(*c, QStringLiteral("select DataMov, oRAMov from MOV_MAG order by CodArt"));
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.value(0), Value(QDateTime(QDate(2023, 6, 15), QTime(10, 30))));
        QCOMPARE(q.value(1), Value(QDateTime(QDate(1899, 12, 30), QTime(10, 30))));
        QVERIFY(q.next());
        QCOMPARE(q.value(0), Value(QDateTime(QDate(2023, 6, 5), QTime(7, 8, 9, 250))));
        QCOMPARE(textOf(q.value(1)), QStringLiteral("23:59:59"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0), Value(QStringLiteral("mai"))); // as stored
        QCOMPARE(q.value(1), Value(qlonglong(45092)));
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

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
