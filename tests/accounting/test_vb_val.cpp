#include "accounting/vb_val.h"
#include "data/error.h"

#include <QTest>

#include <cmath>

class TestVbVal : public QObject
{
    Q_OBJECT

private slots:
    void readsLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("blanks inside") << QStringLiteral(" 1 2.5E1") << 125.0;
        QTest::newRow("tabs and line feeds") << QStringLiteral("\t1\n2") << 12.0;
        QTest::newRow("carriage return stops") << QStringLiteral("3\r4") << 3.0;
        QTest::newRow("hexadecimal") << QStringLiteral("&H1F") << 31.0;
        QTest::newRow("hexadecimal lower case") << QStringLiteral("&h1f") << 31.0;
        QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
        QTest::newRow("hex integer wraps") << QStringLiteral("&HFFFF") << -1.0;
        QTest::newRow("hex long") << QStringLiteral("&H10000") << 65536.0;
        QTest::newRow("octal stops at 8") << QStringLiteral("&O78") << 7.0;
        QTest::newRow("no number") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("stops at letter") << QStringLiteral("-3.5x") << -3.5;
        QTest::newRow("document with suffix") << QStringLiteral("12/A") << 12.0;
        QTest::newRow("second point stops") << QStringLiteral("1.5.3") << 1.5;
        QTest::newRow("comma stops") << QStringLiteral("12,5") << 12.0;
        QTest::newRow("exponent lower case") << QStringLiteral("1e3") << 1000.0;
        QTest::newRow("negative exponent") << QStringLiteral("25E-1") << 2.5;
        QTest::newRow("exponent without digits") << QStringLiteral("2E") << 2.0;
        QTest::newRow("leading point with sign") << QStringLiteral("+.5") << 0.5;
        QTest::newRow("trailing point") << QStringLiteral("7.") << 7.0;
        QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
        QTest::newRow("double sign") << QStringLiteral("--5") << 0.0;
        QTest::newRow("tiny reads as zero") << QStringLiteral("1E-400") << 0.0;
    }
    void readsLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(rio::vbVal(text), expected);
    }

    void valuesGoThroughTheirText_data()
    {
        QTest::addColumn<rio::Value>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("whole number") << rio::Value(qlonglong(5)) << 5.0;
        QTest::newRow("text") << rio::Value(QStringLiteral(" 42 ")) << 42.0;
        // The Italian text form: read up to its comma.
        QTest::newRow("fraction") << rio::Value(12.5) << 12.0;
        QTest::newRow("negative fraction") << rio::Value(-2.5) << -2.0;
        QTest::newRow("big fraction, up to its comma") << rio::Value(1.5e300) << 1.0;
        QTest::newRow("whole double") << rio::Value(123456789012345.0) << 123456789012345.0;
        QTest::newRow("whole double written with exponent") << rio::Value(2e15) << 2e15;
        QTest::newRow("negative whole double") << rio::Value(-7.0) << -7.0;
        QTest::newRow("negative zero is 0") << rio::Value(-0.0) << 0.0;
    }
    void valuesGoThroughTheirText()
    {
        QFETCH(rio::Value, value);
        QFETCH(double, expected);
        const double read = rio::vbVal(value);
        QCOMPARE(read, expected);
        QCOMPARE(std::signbit(read), std::signbit(expected));
    }

    void nullAndOverflowRaise()
    {
        try {
            rio::vbVal(rio::nullValue());
            QFAIL("Null was read");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::InvalidUseOfNull);
        }
        for (const QString& text : {QStringLiteral("1E400"), QStringLiteral("&H100000000")}) {
            try {
                rio::vbVal(text);
                QFAIL(qPrintable(text + QStringLiteral(" was read")));
            } catch (const rio::Error& e) {
                QCOMPARE(e.number(), qint64(6));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestVbVal)
#include "test_vb_val.moc"
