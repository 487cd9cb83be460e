#include "data/column_values.h"

#include "data/date_text.h"
#include "data/error.h"
#include "data/value_text.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace rio {

namespace {

Error mismatch()
{
    return Error(err::DataTypeMismatch, QStringLiteral("Data type mismatch in criteria expression."));
}

bool isWholeType(int id)
{
    switch (id) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isFloatType(int id)
{
    return id == QMetaType::Double || id == QMetaType::Float;
}

// A number from a value, as Jet reads it for a number column.
double numberForColumn(const Value& v)
{
    const int id = v.typeId();
    if (id == QMetaType::Bool)
        return v.toBool() ? -1.0 : 0.0;
    if (isWholeType(id) || isFloatType(id))
        return v.toDouble();
    if (id == QMetaType::QString) {
        const std::optional<double> d = parseNumberText(v.toString());
        if (!d)
            throw mismatch();
        return *d;
    }
    if (id == QMetaType::QDateTime)
        return dateSerial(v.toDateTime());
    if (id == QMetaType::QDate)
        return dateSerial(QDateTime(v.toDate(), QTime(0, 0)));
    throw mismatch();
}

QDateTime dateForColumn(const Value& v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        if (!v.toDateTime().isValid())
            throw mismatch();
        return v.toDateTime();
    case QMetaType::QDate:
        if (!v.toDate().isValid())
            throw mismatch();
        return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        if (!v.toTime().isValid())
            throw mismatch();
        return QDateTime(QDate(1899, 12, 30), v.toTime());
    case QMetaType::QString: {
        const std::optional<QDateTime> dt = parseItalianDate(v.toString());
        if (!dt)
            throw mismatch();
        return *dt;
    }
    default:
        if (isWholeType(v.typeId()) || isFloatType(v.typeId()))
            return dateFromSerial(v.toDouble());
        throw mismatch();
    }
}

bool booleanForColumn(const Value& v)
{
    const int id = v.typeId();
    if (id == QMetaType::Bool)
        return v.toBool();
    if (isWholeType(id) || isFloatType(id))
        return v.toDouble() != 0;
    if (id == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("vero") || s == QLatin1String("true") || s == QLatin1String("sì") ||
            s == QLatin1String("si") || s == QLatin1String("yes") || s == QLatin1String("on"))
            return true;
        if (s == QLatin1String("falso") || s == QLatin1String("false") || s == QLatin1String("no") ||
            s == QLatin1String("off"))
            return false;
        const std::optional<double> d = parseNumberText(s);
        if (!d)
            throw mismatch();
        return *d != 0;
    }
    throw mismatch();
}

} // namespace

void TableSchema::add(ColumnInfo column)
{
    const QString key = column.name.toUpper();
    if (m_byUpperName.contains(key))
        return;
    m_byUpperName.insert(key, m_columns.size());
    m_columns.append(std::move(column));
}

const ColumnInfo* TableSchema::find(const QString& name) const
{
    const auto it = m_byUpperName.constFind(name.toUpper());
    return it == m_byUpperName.cend() ? nullptr : &m_columns.at(*it);
}

ColumnType columnTypeOf(const QString& declaredType)
{
    const QString t = declaredType.toUpper();
    auto has = [&](const char* word) {
        return t.contains(QLatin1String(word));
    };
    if (has("BOOL") || has("BIT") || has("YESNO") || has("LOGICAL"))
        return ColumnType::Boolean;
    if (has("DATE") || has("TIME"))
        return ColumnType::Date;
    // Text first: Access's LONGTEXT and LONGCHAR are no whole numbers.
    if (has("CHAR") || has("CLOB") || has("TEXT") || has("MEMO") || has("STRING"))
        return ColumnType::Text;
    if (has("INT") || has("COUNTER") || has("LONG") || has("BYTE"))
        return ColumnType::Integer;
    if (has("REAL") || has("FLOA") || has("DOUB") || has("NUMERIC") || has("DECIMAL") || has("CURRENCY") ||
        has("MONEY") || has("SINGLE"))
        return ColumnType::Real;
    return ColumnType::Other;
}

ColumnType columnTypeOf(QMetaType driverType)
{
    const int id = driverType.id();
    if (id == QMetaType::Bool)
        return ColumnType::Boolean;
    if (id == QMetaType::QDateTime || id == QMetaType::QDate || id == QMetaType::QTime)
        return ColumnType::Date;
    if (isWholeType(id))
        return ColumnType::Integer;
    if (isFloatType(id))
        return ColumnType::Real;
    if (id == QMetaType::QString)
        return ColumnType::Text;
    return ColumnType::Other;
}

Value readValue(const QVariant& raw, bool isSqlNull, ColumnType type)
{
    if (isSqlNull || !raw.isValid() || raw.isNull())
        return nullValue();
    const int id = raw.typeId();
    switch (type) {
    case ColumnType::Date:
        if (id == QMetaType::QString) {
            const QString text = raw.toString();
            if (const std::optional<QDateTime> dt = parseIsoDate(text))
                return *dt;
            if (const std::optional<QDateTime> time = parseTimeOfDay(text))
                return *time;
        }
        if (id == QMetaType::QDateTime)
            return raw;
        if (id == QMetaType::QDate)
            return QDateTime(raw.toDate(), QTime(0, 0));
        if (id == QMetaType::QTime)
            return QDateTime(QDate(1899, 12, 30), raw.toTime());
        break;
    case ColumnType::Boolean:
        if (isWholeType(id) || id == QMetaType::Bool)
            return raw.toLongLong() != 0;
        break;
    case ColumnType::Real:
        if (isWholeType(id))
            return raw.toDouble();
        break;
    default:
        break;
    }
    if (isWholeType(id))
        return raw.toLongLong();
    if (id == QMetaType::Float)
        return raw.toDouble();
    return raw;
}

QVariant bindableValue(const Value& value, ColumnType type)
{
    if (isNull(value)) {
        switch (type) {
        case ColumnType::Integer:
        case ColumnType::Boolean:
            return QVariant(QMetaType::fromType<qlonglong>());
        case ColumnType::Real:
            return QVariant(QMetaType::fromType<double>());
        default:
            return QVariant(QMetaType::fromType<QString>());
        }
    }
    const int id = value.typeId();
    if (id == QMetaType::QString) {
        const QString s = value.toString();
        // Qt binds a null QString as SQL NULL: an empty text stays a text.
        return s.isNull() ? QVariant(QString(0, QChar())) : QVariant(s);
    }
    if (id == QMetaType::Bool)
        return QVariant(qlonglong(value.toBool() ? 1 : 0));
    if (isWholeType(id))
        return QVariant(value.toLongLong());
    if (id == QMetaType::Float)
        return QVariant(value.toDouble());
    if (id == QMetaType::QDateTime)
        return isoDateText(value.toDateTime());
    if (id == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (id == QMetaType::QTime)
        return isoDateText(QDateTime(QDate(1899, 12, 30), value.toTime()));
    return value;
}

Value convertForColumn(const Value& value, ColumnType type)
{
    if (isNull(value))
        return nullValue();
    switch (type) {
    case ColumnType::Date:
        return dateForColumn(value);
    case ColumnType::Boolean:
        return booleanForColumn(value);
    case ColumnType::Integer: {
        if (isWholeType(value.typeId()))
            return value.toLongLong();
        const double d = std::nearbyint(numberForColumn(value)); // to even, as CLng
        if (!(std::fabs(d) < 9.2e18))
            throw mismatch();
        return static_cast<qlonglong>(d);
    }
    case ColumnType::Real:
        return numberForColumn(value);
    case ColumnType::Text:
        if (value.typeId() == QMetaType::QString)
            return value;
        return textOf(value);
    case ColumnType::Other:
        break;
    }
    return value;
}

} // namespace rio
