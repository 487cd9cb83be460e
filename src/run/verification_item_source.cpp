// Reading the accounting items of an archive for the verification: straight
// from the engine where the connection allows it, else through Query.
#include "data/date_text.h"
#include "data/engine_read.h"
#include "data/error.h"
#include "run/verification_read.h"

#include <optional>

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
class EngineItems : public ItemSource
{
public:
    EngineItems(Connection& c, const QString& where, const QList<ColumnType>& types)
        : m_rows(c, QStringLiteral("select ") + itemColumns().join(QStringLiteral(", ")) +
                        QStringLiteral(" from MOV_CONT") + where + QStringLiteral(" order by rowid")),
          m_types(types)
    {
        m_rows.exec();
    }

    bool next(ItemKeys& keys, double& total) override
    {
        if (!m_rows.next())
            return false;
        for (int i = 0; i < 5; ++i) {
            keys.null[i] = m_rows.isNull(i);
            keys.text[i] = keys.null[i] ? QString() : shownText(i);
        }
        total = 0;
        if (!m_rows.isNull(5))
            total = m_rows.isNumber(5) && m_types.at(5) != ColumnType::Boolean
                        ? m_rows.number(5)
                        : numberOrZero(m_rows.value(5, m_types.at(5)));
        return true;
    }

private:
    QString shownText(int column) const
    {
        const ColumnType type = m_types.at(column);
        if (m_rows.isText(column)) {
            if (type != ColumnType::Date)
                return m_rows.text(column);
            if (const std::optional<QString> day = isoDayShown(m_rows.utf8(column)))
                return *day;
        }
        return textOf(m_rows.value(column, type));
    }

    // A date column's "yyyy-mm-dd" as textOf shows the date Query reads from
    // it: "dd/mm/yyyy". Nothing for any other form (a time of day, Jet's day
    // zero, which shows as a time), left to the conversion.
    static std::optional<QString> isoDayShown(QByteArrayView iso)
    {
        if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-')
            return std::nullopt;
        int parts[3] = {};
        const int from[3] = {0, 5, 8};
        const int width[3] = {4, 2, 2};
        for (int p = 0; p < 3; ++p)
            for (int i = from[p]; i < from[p] + width[p]; ++i) {
                if (iso[i] < '0' || iso[i] > '9')
                    return std::nullopt;
                parts[p] = parts[p] * 10 + (iso[i] - '0');
            }
        const QDate date(parts[0], parts[1], parts[2]);
        if (!date.isValid() || date == QDate(1899, 12, 30))
            return std::nullopt;
        return dayMonthYearText(date);
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
