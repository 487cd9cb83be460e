#include "data/value.h"

#include "data/date_text.h"
#include "data/error.h"
#include "data/value_text.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace rio {

namespace {

const QDate& jetDayZero()
{
    static const QDate day(1899, 12, 30);
    return day;
}

QString timeText(const QTime& t)
{
    return clockText(t);
}

QString dateTimeText(const QDateTime& dt)
{
    const QTime t = dt.time();
    const QDate d = dt.date();
    if (d == jetDayZero())
        return timeText(t);
    QString text = dayMonthYearText(d);
    if (t != QTime(0, 0))
        text += QLatin1Char(' ') + timeText(t);
    return text;
}

// VB's CStr of a Double: up to 15 significant digits, "," as separator.
QString doubleText(double d)
{
    if (d == 0)
        return QStringLiteral("0");
    // Fifteen digits show a whole number below 10^15 as its digits; counters,
    // codes and numbers of documents are whole, and the general way is slow.
    if (std::trunc(d) == d && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    QString text = QString::number(d, 'g', 15);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

} // namespace

QString textOf(const Value& v)
{
    if (isNull(v))
        throw Error(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("Vero") : QStringLiteral("Falso");
    case QMetaType::Double:
    case QMetaType::Float:
        return doubleText(v.toDouble());
    case QMetaType::QDateTime:
        return dateTimeText(v.toDateTime());
    case QMetaType::QDate:
        return dayMonthYearText(v.toDate());
    case QMetaType::QTime:
        return timeText(v.toTime());
    default:
        return v.toString();
    }
}

QString textOrEmpty(const Value& v)
{
    return isNull(v) ? QString() : textOf(v);
}

double numberOf(const Value& v)
{
    if (isNull(v))
        throw Error(err::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? -1.0 : 0.0;
    case QMetaType::QString: {
        const std::optional<double> n = parseNumberText(v.toString());
        if (!n)
            throw Error(err::TypeMismatch, QStringLiteral("Type mismatch"));
        return *n;
    }
    case QMetaType::QDateTime:
        return dateSerial(v.toDateTime());
    case QMetaType::QDate:
        return dateSerial(QDateTime(v.toDate(), QTime(0, 0)));
    default: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw Error(err::TypeMismatch, QStringLiteral("Type mismatch"));
        return d;
    }
    }
}

QString asciiUpper(const QString& s)
{
    const auto lower = [](QChar c) {
        return c >= QLatin1Char('a') && c <= QLatin1Char('z');
    };
    qsizetype i = 0;
    while (i < s.size() && !lower(s[i]))
        ++i;
    if (i == s.size())
        return s; // most codes are upper case already: shared, nothing allocated
    QString out = s;
    QChar* c = out.data();
    for (; i < out.size(); ++i)
        if (lower(c[i]))
            c[i] = QChar(c[i].unicode() - 'a' + 'A');
    return out;
}

std::optional<double> parseNumberText(const QString& text)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    // Italian form: "." groups thousands, "," separates decimals; a text
    // without "," is read in the plain form.
    if (s.contains(QLatin1Char(','))) {
        s.remove(QLatin1Char('.'));
        s.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    bool ok = false;
    const double d = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

double dateSerial(const QDateTime& dt)
{
    const qint64 days = jetDayZero().daysTo(dt.date());
    const double fraction = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // Jet counts days before day zero downwards, with the time still added.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime dateFromSerial(double serial)
{
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    const QDate date = jetDayZero().addDays(static_cast<qint64>(whole));
    const int msecs = static_cast<int>(std::llround(fraction * 86400000.0));
    return QDateTime(date, QTime(0, 0)).addMSecs(msecs);
}

QString trimBlanks(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

} // namespace rio
