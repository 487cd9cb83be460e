#include "accounting/vb_val.h"

#include "data/error.h"

#include <cmath>

namespace rio {

namespace {

[[noreturn]] void overflow()
{
    throw Error(err::Overflow, QStringLiteral("Overflow"));
}

bool isSkipped(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

int digitValue(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "&H"/"&O" numbers: up to 16 bits are an Integer, up to 32 a Long, both
// signed, so &HFFFF is -1 as in VB.
double radixNumber(QStringView digits, int base)
{
    quint64 value = 0;
    for (const QChar c : digits) {
        const int d = digitValue(c);
        if (d < 0 || d >= base)
            break;
        value = value * base + d;
        if (value > 0xFFFFFFFFull)
            overflow();
    }
    if (value <= 0xFFFFull)
        return static_cast<qint16>(static_cast<quint16>(value));
    return static_cast<qint32>(static_cast<quint32>(value));
}

} // namespace

double vbVal(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (const QChar c : text)
        if (!isSkipped(c))
            s.append(c);

    if (s.size() >= 2 && s.at(0) == QLatin1Char('&')) {
        const QChar kind = s.at(1).toUpper();
        if (kind == QLatin1Char('H'))
            return radixNumber(QStringView(s).mid(2), 16);
        if (kind == QLatin1Char('O'))
            return radixNumber(QStringView(s).mid(2), 8);
        return 0;
    }

    // The longest prefix of the form [sign] digits [. digits] [E [sign] digits].
    qsizetype i = 0;
    const auto isDigit = [&](qsizetype at) {
        return at < s.size() && s.at(at).isDigit() && s.at(at).unicode() < 128;
    };
    if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype mantissaDigits = 0;
    while (isDigit(i)) {
        ++i;
        ++mantissaDigits;
    }
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (i < s.size() && s.at(i).toUpper() == QLatin1Char('E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            end = j;
        }
    }
    QString number = s.left(end);
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    // A value too small to hold reads as 0; one too large overflows.
    const double value = number.toDouble();
    if (!std::isfinite(value))
        overflow();
    return value;
}

double vbVal(const Value& value)
{
    // Numbers whose text form is their plain digits read back as
    // themselves; the text is built and read only for the others.
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toDouble();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (d == 0)
            return 0; // "0": never -0
        if (std::trunc(d) == d && std::fabs(d) < 1e15)
            return d; // written as its digits (CStr's fifteen)
        break;
    }
    default:
        break;
    }
    return vbVal(textOf(value));
}

} // namespace rio
