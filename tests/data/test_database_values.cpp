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

    void typedReadsAgreeWithValues_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored"); // an SQL literal
        QTest::newRow("text") << "ANAG_ART"
                              << "CodArt"
                              << "'ab 1è'";
        QTest::newRow("empty text") << "ANAG_ART"
                                    << "CodArt"
                                    << "''";
        QTest::newRow("Null") << "ANAG_ART"
                              << "CodArt"
                              << "NULL";
        QTest::newRow("bytes in a text column") << "ANAG_ART"
                                                << "CodArt"
                                                << "X'4142'";
        // Written as the program writes numbers, not as the engine does.
        QTest::newRow("fraction") << "ANAG_ART"
                                  << "CostoMedio"
                                  << "1.5";
        QTest::newRow("number column holding text") << "ANAG_ART"
                                                    << "CostoMedio"
                                                    << "'n.d.'";
        QTest::newRow("number column holding a numeric text") << "ANAG_ART"
                                                              << "CostoMedio"
                                                              << "'2,5'";
        QTest::newRow("whole number") << "MOV_MAG"
                                      << "Progr_Mov_Mag"
                                      << "7";
        QTest::newRow("date") << "MOV_MAG"
                              << "DataMov"
                              << "'2023-06-15'";
        QTest::newRow("boolean, read as -1") << "CAUSALI"
                                             << "Attivazione_causale"
                                             << "1";
    }

    // The reads that skip the Qt value give what the value gives, an
    // error included, whatever the column holds.
    void typedReadsAgreeWithValues()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, stored);
        TestInstall::exec(m_file, QStringLiteral("insert into %1(%2) values(%3)").arg(table, column, stored));
        auto c = openArchive();
        Query q(*c, QStringLiteral("select %1 from %2").arg(column, table));
        q.exec();
        QVERIFY(q.next());
        const Value v = q.value(0);
        QCOMPARE(q.isNullAt(0), isNull(v));
        double number = 0;
        double expectedNumber = 0;
        QCOMPARE(errorOf([&] { number = q.numberAt(0); }), errorOf([&] { expectedNumber = numberOf(v); }));
        QCOMPARE(number, expectedNumber);
        QString text;
        QString expectedText;
        QCOMPARE(errorOf([&] { text = QString::fromUtf8(q.textAt(0)); }),
                 errorOf([&] { expectedText = textOf(v); }));
        QCOMPARE(text, expectedText);
    }

    // The fields every row shares are in every row; one that cannot be
    // converted fails each row, and nothing is stored.
    void fixedFieldsInEveryRow()
    {
        auto c = openArchive();
        {
            RowInserter ins(*c, QStringLiteral("MOV_MAG"), {QStringLiteral("CodArt")},
                            {{QStringLiteral("DataMov"), years::fill(QStringLiteral("01/01/{new}"))},
                             {QStringLiteral("TipoMov"), QStringLiteral("RIAPERTURA")}});
            ins.insert({QStringLiteral("A")});
            ins.insert({QStringLiteral("B")});
            RowInserter bad(*c, QStringLiteral("MOV_MAG"), {QStringLiteral("CodArt")},
                            {{QStringLiteral("DataMov"), QStringLiteral("domani")}});
            for (int i = 0; i < 2; ++i)
                QCOMPARE(errorOf([&] { bad.insert({QStringLiteral("C")}); }), err::DataTypeMismatch);
            QCOMPARE(errorOf([&] { bad.convert({QStringLiteral("C")}); }), err::DataTypeMismatch);
            QCOMPARE(errorOf([&] {
                         RowInserter(*c, QStringLiteral("MOV_MAG"), {}, {{QStringLiteral("Nessuno"), 1}});
                     }),
                     err::ItemNotFound);
        }
        QCOMPARE(
            TestInstall::rows(m_file, QStringLiteral("select CodArt, date(DataMov), TipoMov from MOV_MAG "
                                                     "order by rowid")),
            QList<QVariantList>({{QStringLiteral("A"), years::fill(QStringLiteral("{new}-01-01")),
                                  QStringLiteral("RIAPERTURA")},
                                 {QStringLiteral("B"), years::fill(QStringLiteral("{new}-01-01")),
                                  QStringLiteral("RIAPERTURA")}}));

        TestInstall::exec(m_file, QStringLiteral("insert into ANAG_ART(CodArt) values('A'), ('B')"));
        RowUpdater upd(*c, QStringLiteral("ANAG_ART"), {QStringLiteral("Giacenza1")},
                       {{QStringLiteral("DescrArt"), QStringLiteral("fissa")}});
        upd.update(1, {1.0});
        upd.update(2, {2.0});
        QCOMPARE(TestInstall::rows(m_file,
                                   QStringLiteral("select DescrArt, Giacenza1 from ANAG_ART order by rowid")),
                 QList<QVariantList>({{QStringLiteral("fissa"), 1.0}, {QStringLiteral("fissa"), 2.0}}));
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
