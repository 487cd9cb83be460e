// Dates as text: the forms the files hold and the forms the steps write.
#include "data/date_text.h"

#include "data/column_values.h"

#include <QRegularExpression>

namespace rio {

namespace {

// Digits at [from, from + count) of s as a number, -1 when any is no digit.
int digitsAt(const QString& s, qsizetype from, qsizetype count)
{
    int n = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

// The two forms the file holds, read without a regular expression: a
// million movements are read per company.
std::optional<QDateTime> parseExactIso(const QString& s)
{
    if (s.size() != 10 && s.size() != 19)
        return std::nullopt;
    if (s.at(4) != u'-' || s.at(7) != u'-')
        return std::nullopt;
    const QDate date(digitsAt(s, 0, 4), digitsAt(s, 5, 2), digitsAt(s, 8, 2));
    QTime time(0, 0);
    if (s.size() == 19) {
        if ((s.at(10) != u' ' && s.at(10) != u'T') || s.at(13) != u':' || s.at(16) != u':')
            return std::nullopt;
        time = QTime(digitsAt(s, 11, 2), digitsAt(s, 14, 2), digitsAt(s, 17, 2));
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

// dd/mm/yyyy and dd/mm/yyyy hh:mm:ss read without a regular expression: the
// opening movements and the open items write dates in this form.
std::optional<QDateTime> parseExactItalian(const QString& s)
{
    if (s.size() != 10 && s.size() != 19)
        return std::nullopt;
    if (s.at(2) != u'/' || s.at(5) != u'/')
        return std::nullopt;
    const QDate date(digitsAt(s, 6, 4), digitsAt(s, 3, 2), digitsAt(s, 0, 2));
    QTime time(0, 0);
    if (s.size() == 19) {
        if (s.at(10) != u' ' || s.at(13) != u':' || s.at(16) != u':')
            return std::nullopt;
        time = QTime(digitsAt(s, 11, 2), digitsAt(s, 14, 2), digitsAt(s, 17, 2));
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

} // namespace

std::optional<QDateTime> parseIsoDate(const QString& text)
{
    if (const std::optional<QDateTime> exact = parseExactIso(text))
        return exact;
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,3})\\d*)?)?)?$"));
    const QRegularExpressionMatch m = iso.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    QTime time(0, 0);
    if (m.hasCaptured(4)) {
        const QString ms = m.captured(7);
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                     ms.isEmpty() ? 0 : ms.leftJustified(3, QLatin1Char('0')).toInt());
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

std::optional<QDateTime> parseTimeOfDay(const QString& text)
{
    static const QRegularExpression hms(QStringLiteral("^(\\d{1,2})[:.](\\d{2})(?:[:.](\\d{2}))?$"));
    const QRegularExpressionMatch m = hms.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QTime time(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!time.isValid())
        return std::nullopt;
    return QDateTime(QDate(1899, 12, 30), time);
}

std::optional<QDateTime> parseItalianDate(const QString& text)
{
    if (const std::optional<QDateTime> exact = parseExactItalian(text))
        return exact;
    static const QRegularExpression dmy(QStringLiteral(
        "^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{4}|\\d{2})(?:\\s+(\\d{1,2})[:.](\\d{2})(?:[:.](\\d{2}))?)?$"));
    const QString s = text.trimmed();
    const QRegularExpressionMatch m = dmy.match(s);
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += year < 30 ? 2000 : 1900; // Windows' default century window
        const QDate date(year, m.captured(2).toInt(), m.captured(1).toInt());
        QTime time(0, 0);
        if (m.hasCaptured(4))
            time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!date.isValid() || !time.isValid())
            return std::nullopt;
        return QDateTime(date, time);
    }
    if (const std::optional<QDateTime> time = parseTimeOfDay(s))
        return time;
    return parseIsoDate(s);
}

namespace {

void appendDigits(QString& out, int value, int width)
{
    char16_t digits[4];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = char16_t(u'0' + value % 10);
    out.append(reinterpret_cast<const QChar*>(digits), width);
}

bool fourDigitYear(const QDate& date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

// "dd/mm/yyyy", "hh:mm:ss": two digits, two digits, then lastWidth digits.
QString threeNumbers(int first, int second, int last, int lastWidth, char16_t separator)
{
    QString out;
    out.reserve(6 + lastWidth);
    appendDigits(out, first, 2);
    out.append(separator);
    appendDigits(out, second, 2);
    out.append(separator);
    appendDigits(out, last, lastWidth);
    return out;
}

} // namespace

QString dayMonthYearText(const QDate& date)
{
    // The parts at once: each of day(), month() and year() works out all three.
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (!date.isValid() || year < 1 || year > 9999)
        return date.toString(QStringLiteral("dd/MM/yyyy"));
    return threeNumbers(day, month, year, 4, u'/');
}

QString clockText(const QTime& time)
{
    if (!time.isValid())
        return time.toString(QStringLiteral("HH:mm:ss"));
    return threeNumbers(time.hour(), time.minute(), time.second(), 2, u':');
}

QString isoDateText(const QDateTime& dt)
{
    const QDate date = dt.date();
    const QTime time = dt.time();
    // Years outside 1..9999, and no date at all, keep Qt's own form.
    if (!dt.isValid() || !fourDigitYear(date)) {
        if (time == QTime(0, 0))
            return date.toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    // Written digit by digit: formatting through a pattern costs more than
    // the rest of a row's conversions.
    QString out;
    out.reserve(19);
    appendDigits(out, date.year(), 4);
    out.append(u'-');
    appendDigits(out, date.month(), 2);
    out.append(u'-');
    appendDigits(out, date.day(), 2);
    if (time == QTime(0, 0))
        return out;
    return out + QLatin1Char(' ') + clockText(time);
}

} // namespace rio
