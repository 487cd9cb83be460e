// Text forms, numbers from values, the Jet dialect and the connection string.
#include "data/column_values.h"
#include "data/connection_string.h"
#include "data/database.h"
#include "data/error.h"
#include "data/value.h"
#include "support/raised_error.h"

#include <QDateTime>
#include <QTest>

using namespace rio;

Q_DECLARE_METATYPE(rio::Value)

class TestValues : public QObject
{
    Q_OBJECT

private slots:
    void italianTextForms_data()
    {
        QTest::addColumn<Value>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole double") << Value(45.0) << QStringLiteral("45");
        QTest::newRow("negative whole") << Value(-999999999999999.0) << QStringLiteral("-999999999999999");
        QTest::newRow("whole past fifteen digits") << Value(1e15) << QStringLiteral("1E+15");
        QTest::newRow("decimal comma") << Value(12.5) << QStringLiteral("12,5");
        QTest::newRow("negative") << Value(-0.25) << QStringLiteral("-0,25");
        QTest::newRow("no thousands") << Value(1234567.5) << QStringLiteral("1234567,5");
        QTest::newRow("fifteen digits") << Value(0.1 + 0.2) << QStringLiteral("0,3");
        QTest::newRow("zero") << Value(0.0) << QStringLiteral("0");
        QTest::newRow("qlonglong") << Value(qlonglong(9000000000)) << QStringLiteral("9000000000");
        QTest::newRow("int") << Value(-7) << QStringLiteral("-7");
        QTest::newRow("true") << Value(true) << QStringLiteral("Vero");
        QTest::newRow("false") << Value(false) << QStringLiteral("Falso");
        QTest::newRow("date") << Value(QDateTime(QDate(2023, 6, 5), QTime(0, 0)))
                              << QStringLiteral("05/06/2023");
        QTest::newRow("date and time")
            << Value(QDateTime(QDate(2023, 6, 15), QTime(10, 30))) << QStringLiteral("15/06/2023 10:30:00");
        QTest::newRow("time of day") << Value(QDateTime(QDate(1899, 12, 30), QTime(8, 5, 9)))
                                     << QStringLiteral("08:05:09");
        QTest::newRow("midnight on day zero")
            << Value(QDateTime(QDate(1899, 12, 30), QTime(0, 0))) << QStringLiteral("00:00:00");
        QTest::newRow("four-digit year") << Value(QDate(1905, 1, 2)) << QStringLiteral("02/01/1905");
        QTest::newRow("empty text") << Value(QString()) << QString();
        QTest::newRow("text") << Value(QStringLiteral("caffè")) << QStringLiteral("caffè");
    }

    void italianTextForms()
    {
        QFETCH(Value, value);
        QFETCH(QString, text);
        QCOMPARE(textOf(value), text);
    }

    void numbersFromValues()
    {
        QCOMPARE(numberOf(Value(QStringLiteral("12,5"))), 12.5);
        QCOMPARE(numberOf(Value(QStringLiteral("1.234,5"))), 1234.5);
        QCOMPARE(numberOf(Value(QStringLiteral(" 12.5 "))), 12.5);
        QCOMPARE(numberOf(Value(QStringLiteral("-3"))), -3.0);
        QCOMPARE(numberOf(Value(qlonglong(4))), 4.0);
        QCOMPARE(numberOf(Value(true)), -1.0);
        QCOMPARE(numberOf(Value(false)), 0.0);
        QCOMPARE(numberOf(Value(QDateTime(QDate(1900, 1, 1), QTime(12, 0)))), 2.5);
        QCOMPARE(errorOf([] { numberOf(nullValue()); }), err::InvalidUseOfNull);
        QCOMPARE(errorOf([] { textOf(nullValue()); }), err::InvalidUseOfNull);
        QCOMPARE(errorOf([] { numberOf(Value(QStringLiteral("abc"))); }), err::TypeMismatch);
        QCOMPARE(errorOf([] { numberOf(Value(QString())); }), err::TypeMismatch);
    }

    void asciiUpperLeavesOtherLetters()
    {
        QCOMPARE(asciiUpper(QStringLiteral("caffè-z1")), QStringLiteral("CAFFè-Z1"));
        QCOMPARE(asciiUpper(QStringLiteral("Città")), QStringLiteral("CITTà"));
    }

    void columnConversions()
    {
        const QDateTime june(QDate(2023, 6, 15), QTime(0, 0));
        QCOMPARE(convertForColumn(QStringLiteral("15/06/2023"), ColumnType::Date), Value(june));
        QCOMPARE(convertForColumn(QStringLiteral("5/6/2023 7:08:09"), ColumnType::Date),
                 Value(QDateTime(QDate(2023, 6, 5), QTime(7, 8, 9))));
        QCOMPARE(convertForColumn(QStringLiteral("15/06/23"), ColumnType::Date), Value(june));
        QCOMPARE(convertForColumn(QStringLiteral("01/01/30"), ColumnType::Date),
                 Value(QDateTime(QDate(1930, 1, 1), QTime(0, 0))));
        QCOMPARE(convertForColumn(QStringLiteral("10:30"), ColumnType::Date),
                 Value(QDateTime(QDate(1899, 12, 30), QTime(10, 30))));
        QCOMPARE(convertForColumn(QStringLiteral("2023-06-15"), ColumnType::Date), Value(june));
        QCOMPARE(convertForColumn(45092.5, ColumnType::Date), Value(june.addSecs(12 * 3600)));
        QCOMPARE(convertForColumn(QStringLiteral("12,5"), ColumnType::Real), Value(12.5));
        QCOMPARE(convertForColumn(QStringLiteral("3"), ColumnType::Integer), Value(qlonglong(3)));
        QCOMPARE(convertForColumn(3.5, ColumnType::Integer), Value(qlonglong(4)));
        QCOMPARE(convertForColumn(true, ColumnType::Real), Value(-1.0));
        QCOMPARE(convertForColumn(qlonglong(2), ColumnType::Boolean), Value(true));
        QCOMPARE(convertForColumn(QStringLiteral("Falso"), ColumnType::Boolean), Value(false));
        QCOMPARE(convertForColumn(12.5, ColumnType::Text), Value(QStringLiteral("12,5")));
        QVERIFY(isNull(convertForColumn(nullValue(), ColumnType::Date)));
        QCOMPARE(convertForColumn(QString(), ColumnType::Text), Value(QString()));

        for (const Value& bad : {Value(QStringLiteral("32/01/2023")), Value(QStringLiteral("")),
                                 Value(QStringLiteral("ieri")), Value(true)})
            QCOMPARE(errorOf([&] { convertForColumn(bad, ColumnType::Date); }), err::DataTypeMismatch);
        for (const Value& bad :
             {Value(QStringLiteral("")), Value(QStringLiteral("1,2,3")), Value(QStringLiteral("x"))})
            QCOMPARE(errorOf([&] { convertForColumn(bad, ColumnType::Real); }), err::DataTypeMismatch);
        QCOMPARE(errorOf([] { convertForColumn(QStringLiteral("forse"), ColumnType::Boolean); }),
                 err::DataTypeMismatch);
        QCOMPARE(errorOf([] { convertForColumn(1e30, ColumnType::Integer); }), err::DataTypeMismatch);
    }

    void declaredTypes()
    {
        const QList<std::pair<const char*, ColumnType>> cases{{"TEXT COLLATE NOCASE", ColumnType::Text},
                                                              {"VARCHAR(50)", ColumnType::Text},
                                                              {"LONGTEXT", ColumnType::Text},
                                                              {"memo", ColumnType::Text},
                                                              {"INTEGER", ColumnType::Integer},
                                                              {"bigint", ColumnType::Integer},
                                                              {"COUNTER", ColumnType::Integer},
                                                              {"REAL", ColumnType::Real},
                                                              {"DOUBLE", ColumnType::Real},
                                                              {"CURRENCY", ColumnType::Real},
                                                              {"NUMERIC(10,2)", ColumnType::Real},
                                                              {"BOOLEAN", ColumnType::Boolean},
                                                              {"YESNO", ColumnType::Boolean},
                                                              {"BIT", ColumnType::Boolean},
                                                              {"DATE", ColumnType::Date},
                                                              {"DATETIME", ColumnType::Date},
                                                              {"TIMESTAMP", ColumnType::Date},
                                                              {"", ColumnType::Other},
                                                              {"BLOB", ColumnType::Other}};
        for (const auto& [declared, type] : cases)
            QVERIFY2(columnTypeOf(QLatin1String(declared)) == type, declared);
    }

    void jetDialect_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("delete star") << QStringLiteral("delete * from MOV_MAG")
                                     << QStringLiteral("delete from MOV_MAG");
        QTest::newRow("delete star no blank")
            << QStringLiteral("DELETE *FROM [T_DDT]") << QStringLiteral("DELETE FROM [T_DDT]");
        QTest::newRow("top") << QStringLiteral("select TOP 1 * from CONTATORI")
                             << QStringLiteral("select * from CONTATORI limit 1");
        QTest::newRow("top with order")
            << QStringLiteral("SELECT top 5 CodArt FROM ANAG_ART ORDER BY CodArt;")
            << QStringLiteral("SELECT CodArt FROM ANAG_ART ORDER BY CodArt limit 5");
        QTest::newRow("distinct top") << QStringLiteral("select distinct top 2 Dep from MOV_MAG")
                                      << QStringLiteral("select distinct Dep from MOV_MAG limit 2");
        QTest::newRow("top in a subquery")
            << QStringLiteral("delete * from T where id in (select top 1 id from T order by id) and x=true")
            << QStringLiteral("delete from T where id in (select id from T order by id limit 1) and x<>0");
        QTest::newRow("top inside and outside")
            << QStringLiteral(
                   "select top 2 a from T where b = (select top 1 b from U where f(c) = ')') order by a")
            << QStringLiteral(
                   "select a from T where b = (select b from U where f(c) = ')' limit 1) order by a limit 2");
        QTest::newRow("true") << QStringLiteral("select * from CAUSALI where Attivazione_causale=true")
                              << QStringLiteral("select * from CAUSALI where Attivazione_causale<>0");
        QTest::newRow("spaced true") << QStringLiteral("where A = True and B =false")
                                     << QStringLiteral("where A <>0 and B =0");
        QTest::newRow("not true") << QStringLiteral("where A <> true") << QStringLiteral("where A =0");
        QTest::newRow("literals untouched")
            << QStringLiteral(
                   "select top 1 * from T where a = 'delete * from x' and b = 'select TOP 3' and c='=true'")
            << QStringLiteral("select * from T where a = 'delete * from x' and b = 'select TOP 3' and "
                              "c='=true' limit 1");
        QTest::newRow("quote inside literal") << QStringLiteral("where a = 'l''=true' and b=true")
                                              << QStringLiteral("where a = 'l''=true' and b<>0");
        QTest::newRow("word not a keyword") << QStringLiteral("where truevalue = 1 and x=trueish")
                                            << QStringLiteral("where truevalue = 1 and x=trueish");
        QTest::newRow("brackets") << QStringLiteral("select [Tipo Causale] from [CAUSALI]")
                                  << QStringLiteral("select [Tipo Causale] from [CAUSALI]");
        QTest::newRow("quote inside brackets") << QStringLiteral("delete * from [T_L'A] where [a=true]=true")
                                               << QStringLiteral("delete from [T_L'A] where [a=true]<>0");
    }

    void jetDialect()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(translateJetSql(jet), sqlite);
    }

    void connectionString()
    {
        const JetConnectionString c = parseJetConnectionString(QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;Data "
            "Source=C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb;Persist Security "
            "Info=True;Jet OLEDB:System database=c:\\programmi\\zeta\\dati\\system\\system.mdw"));
        QCOMPARE(c.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        QCOMPARE(c.password, QStringLiteral("kQ482913tW"));
        QCOMPARE(c.userId, QStringLiteral("Larvinote"));
        QCOMPARE(c.dataSource, QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb"));
        QCOMPARE(c.systemDatabase, QStringLiteral("c:\\programmi\\zeta\\dati\\system\\system.mdw"));

        const JetConnectionString quoted = parseJetConnectionString(
            QStringLiteral(" data source = \"X:\\a;b\\dati.mdb\" ; USER ID=u;password='it''s'"));
        QCOMPARE(quoted.dataSource, QStringLiteral("X:\\a;b\\dati.mdb"));
        QCOMPARE(quoted.userId, QStringLiteral("u"));
        QCOMPARE(quoted.password, QStringLiteral("it's"));

        QCOMPARE(odbcAttribute(QStringLiteral("DBQ"), QStringLiteral("C:\\a\\dati.mdb")),
                 QStringLiteral("DBQ=C:\\a\\dati.mdb;"));
        QCOMPARE(odbcAttribute(QStringLiteral("PWD"), QStringLiteral("a;b}")),
                 QStringLiteral("PWD={a;b}}};"));
        QCOMPARE(accessOdbcConnectionString(
                     QStringLiteral("C:\\Program Files (x86)\\Ventor Sistemi\\dati.mdb"),
                     QStringLiteral("C:\\X\\System.mdw"), QStringLiteral("Larvinote"), QStringLiteral("p;w")),
                 QStringLiteral(
                     "Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=C:\\Program Files "
                     "(x86)\\Ventor Sistemi\\dati.mdb;SystemDB=C:\\X\\System.mdw;UID=Larvinote;PWD={p;w};"));
        QCOMPARE(sqliteOdbcConnectionString(QStringLiteral("/d/a;b.mdb"), 2000),
                 QStringLiteral(
                     "Driver=SQLite3;Database={/d/a;b.mdb};Timeout=2000;NoCreat=1;BigInt=1;StepAPI=1;"));
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "test_values.moc"
