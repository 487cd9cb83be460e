// Values written and read through the database layer: Null, empty text and
// zero kept apart, typed fields, refused values, values stored otherwise
// than declared and dates from other producers. Registered with ODBC_TOO.
#include "data/error.h"
#include "database_fixture.h"

#include <QDateTime>
#include <QTest>

using namespace rio;

class TestDatabaseValues : public QObject, DatabaseFixture
{
    Q_OBJECT

private slots:
    void init() { createArchive(); }

    void cleanup() { removeArchive(); }

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
};

QTEST_GUILESS_MAIN(TestDatabaseValues)
#include "test_database_values.moc"
