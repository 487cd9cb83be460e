// Reading the accounting items of an archive for the verification: straight
// from the engine where the connection allows it, else through Query.
#include "data/engine_read.h"
#include "data/error.h"
#include "run/verification_read.h"

#include <QDate>

namespace rio::verification {

namespace {

ItemKeys keysOf(const ItemRow& item)
{
    ItemKeys keys;
    int i = 0;
    for (const Value* v : {&item.date, &item.tipo, &item.codice, &item.documentType, &item.documentNumber}) {
        keys.null[i] = isNull(*v);
        if (!keys.null[i])
            keys.text[i] = textOf(*v);
        ++i;
    }
    return keys;
}

// Through Query, a value at a time converted as the steps convert it.
class QueryItems : public ItemSource
{
public:
    QueryItems(Connection& c, const QString& where) : m_reader(c, where) {}
    bool next(ItemKeys& keys, double& total) override
    {
        ItemRow item;
        if (!m_reader.next(item))
            return false;
        keys = keysOf(item);
        total = numberOrZero(item.total);
        return true;
    }

private:
    ItemReader m_reader;
};

// Straight from the engine on Qt's SQLite driver: each value stored in the
// common way (a text, a number, a date as ISO text) turned into the text
// Query's value would give, the others through the same conversion as Query.
// The table is read in its own order: most of its rows are the open items,
// and through an index of their state each would be looked up, then sorted.
class EngineItems : public ItemSource
{
public:
    EngineItems(Connection& c, const QString& where, const QList<ColumnType>& types)
        : m_rows(c, QStringLiteral("select ") + itemColumns().join(QStringLiteral(", ")) +
                        QStringLiteral(" from MOV_CONT not indexed") + where +
                        QStringLiteral(" order by rowid")),
          m_types(types)
    {
        m_rows.exec();
    }

    bool next(ItemKeys& keys, double& total) override
    {
        if (!m_rows.next())
            return false;
        for (int i = 0; i < 5; ++i) {
            const EngineRows::Stored stored = m_rows.stored(i);
            keys.null[i] = stored == EngineRows::Stored::Null;
            if (keys.null[i])
                keys.text[i] = QString();
            else if (stored == EngineRows::Stored::Text && m_types.at(i) != ColumnType::Date)
                m_rows.readText(i, keys.text[i]);
            else
                keys.text[i] = shownText(i, stored);
        }
        total = 0;
        const EngineRows::Stored stored = m_rows.stored(5);
        if (stored == EngineRows::Stored::Number && m_types.at(5) != ColumnType::Boolean)
            total = m_rows.number(5);
        else if (stored != EngineRows::Stored::Null)
            total = numberOrZero(m_rows.value(5, m_types.at(5)));
        return true;
    }

private:
    QString shownText(int column, EngineRows::Stored stored) const
    {
        const ColumnType type = m_types.at(column);
        if (stored == EngineRows::Stored::Text) {
            if (type != ColumnType::Date)
                return m_rows.text(column);
            const QByteArrayView iso = m_rows.utf8(column);
            if (isIsoDay(iso))
                return dayShown(iso);
        }
        // A number in a column of reals is a real to Query, whatever the
        // engine stored it as.
        if (stored == EngineRows::Stored::Number && type == ColumnType::Real)
            return textOf(Value(m_rows.number(column)));
        return textOf(m_rows.value(column, type));
    }

    // Whether a date column's text is "yyyy-mm-dd" of a day Query reads as
    // that date and textOf shows as "dd/mm/yyyy". Not any other form (a
    // time of day, Jet's day zero, which shows as a time): those are left to
    // the conversion.
    static bool isIsoDay(QByteArrayView iso)
    {
        if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-')
            return false;
        int parts[3] = {};
        const int from[3] = {0, 5, 8};
        const int width[3] = {4, 2, 2};
        for (int p = 0; p < 3; ++p)
            for (int i = from[p]; i < from[p] + width[p]; ++i) {
                if (iso[i] < '0' || iso[i] > '9')
                    return false;
                parts[p] = parts[p] * 10 + (iso[i] - '0');
            }
        return QDate::isValid(parts[0], parts[1], parts[2]) &&
               !(parts[0] == 1899 && parts[1] == 12 && parts[2] == 30);
    }

    // "dd/mm/yyyy" of such a day: its own digits in the other order, as
    // dayMonthYearText gives them for a year of four digits.
    static QString dayShown(QByteArrayView iso)
    {
        const char day[10] = {iso[8], iso[9], '/', iso[5], iso[6], '/', iso[0], iso[1], iso[2], iso[3]};
        return QString::fromLatin1(day, 10);
    }

    EngineRows m_rows;
    QList<ColumnType> m_types;
};

} // namespace

std::unique_ptr<ItemSource> itemSource(Connection& c, const QString& where)
{
    if (c.driver() == Connection::Driver::Sqlite) {
        try {
            const TableSchema& schema = c.schema(QStringLiteral("MOV_CONT"));
            QList<ColumnType> types;
            for (const QString& column : itemColumns())
                if (const ColumnInfo* info = schema.find(column))
                    types << info->type;
            if (types.size() == itemColumns().size())
                return std::make_unique<EngineItems>(c, where, types);
        } catch (const Error&) {
            // No such table: Query says so as it always has.
        }
    }
    return std::make_unique<QueryItems>(c, where);
}

} // namespace rio::verification
