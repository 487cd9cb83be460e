// Statements that add or change rows, their values converted for their
// columns; the values every row shares are converted and bound once.
#include "data/column_values.h"
#include "data/connection_private.h"
#include "data/database.h"
#include "data/engine_errors.h"

#include <optional>

namespace rio {

namespace {

// The declared columns of a table, resolved once for a statement that writes.
QList<ColumnInfo> resolveFields(Connection& c, const QString& table, const QStringList& fields)
{
    const TableSchema& schema = c.schema(table);
    QList<ColumnInfo> columns;
    for (const QString& f : fields) {
        const ColumnInfo* column = schema.find(f.trimmed());
        if (!column)
            throw engine::itemNotFound();
        columns << *column;
    }
    return columns;
}

QStringList namesOf(const QList<FixedField>& fixed)
{
    QStringList names;
    for (const FixedField& f : fixed)
        names << f.name;
    return names;
}

// Values converted for their columns, all before anything is bound, so that
// a value that cannot be converted leaves the row unwritten.
void requireOneValueEach(const QList<ColumnInfo>& columns, const QList<Value>& values)
{
    if (values.size() != columns.size())
        throw Error(err::EngineFailure,
                    QStringLiteral("Numero di valori (%1) diverso dal numero di campi (%2).")
                        .arg(values.size())
                        .arg(columns.size()));
}

QVariantList convertAll(const QList<ColumnInfo>& columns, const QList<Value>& values)
{
    requireOneValueEach(columns, values);
    QVariantList out;
    out.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        out << bindableValue(convertForColumn(values.at(i), columns.at(i).type), columns.at(i).type);
    return out;
}

// The conversions of convertAll alone: what a row would raise, nothing
// made ready for binding.
void tryConvertAll(const QList<ColumnInfo>& columns, const QList<Value>& values)
{
    requireOneValueEach(columns, values);
    for (qsizetype i = 0; i < values.size(); ++i)
        convertForColumn(values.at(i), columns.at(i).type);
}

} // namespace

// What the inserter and the updater share: the statement, the columns of
// the values given per row, and the values every row shares, converted
// once. A fixed value that cannot be converted fails each row as it would
// if it were given with the row: nothing is written.
struct RowWriter : Statement
{
    QList<ColumnInfo> columns;
    QVariantList fixedValues;
    std::optional<Error> fixedFailure;
    bool fixedBound = false;

    QList<ColumnInfo> resolve(Connection& c, const QString& table, const QStringList& fields,
                              const QList<FixedField>& fixed)
    {
        columns = resolveFields(c, table, fields);
        const QList<ColumnInfo> fixedColumns = resolveFields(c, table, namesOf(fixed));
        try {
            QList<Value> values;
            for (const FixedField& f : fixed)
                values << f.value;
            fixedValues = convertAll(fixedColumns, values);
        } catch (const Error& e) {
            fixedFailure = e;
        }
        return columns + fixedColumns;
    }

    // Binds one row's values, then the fixed ones after them: on the
    // engine's handle a value stays bound from row to row, so once.
    void bindRow(const QList<Value>& values)
    {
        const QVariantList bound = convertAll(columns, values);
        if (fixedFailure)
            throw *fixedFailure;
        for (qsizetype i = 0; i < bound.size(); ++i)
            bind(int(i), bound.at(i));
        if (fixedBound)
            return;
        for (qsizetype i = 0; i < fixedValues.size(); ++i)
            bind(int(bound.size() + i), fixedValues.at(i));
        fixedBound = lite != nullptr;
    }

    int boundCount() const { return int(columns.size() + fixedValues.size()); }
};

// -------------------------------------------------------------- RowInserter

struct RowInserter::Private : RowWriter
{
};

RowInserter::RowInserter(Connection& connection, const QString& table, const QStringList& fields,
                         const QList<FixedField>& fixed)
    : d(std::make_unique<Private>())
{
    if (!connection.isOpen())
        throw engine::objectClosed();
    const QList<ColumnInfo> all = d->resolve(connection, table, fields, fixed);
    QString sql;
    if (all.isEmpty()) {
        sql = QStringLiteral("insert into ") + Connection::quoteIdentifier(table) +
              QStringLiteral(" default values");
    } else {
        QStringList names;
        QStringList marks;
        for (const ColumnInfo& column : all) {
            names << Connection::quoteIdentifier(column.name);
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("insert into %1 (%2) values (%3)")
                  .arg(Connection::quoteIdentifier(table), names.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    }
    d->prepare(connection, sql);
    d->attach(connection);
}

RowInserter::~RowInserter() = default;

void RowInserter::convert(const QList<Value>& values) const
{
    tryConvertAll(d->columns, values);
    if (d->fixedFailure)
        throw *d->fixedFailure;
}

void RowInserter::insert(const QList<Value>& values)
{
    Connection& c = d->requireConnection();
    d->bindRow(values);
    d->run(c);
    d->finishWrite();
}

// --------------------------------------------------------------- RowUpdater

struct RowUpdater::Private : RowWriter
{
};

RowUpdater::RowUpdater(Connection& connection, const QString& table, const QStringList& fields,
                       const QList<FixedField>& fixed)
    : d(std::make_unique<Private>())
{
    if (!connection.isOpen())
        throw engine::objectClosed();
    const QList<ColumnInfo> all = d->resolve(connection, table, fields, fixed);
    if (all.isEmpty())
        throw engine::itemNotFound();
    QStringList sets;
    for (const ColumnInfo& column : all)
        sets << Connection::quoteIdentifier(column.name) + QStringLiteral(" = ?");
    const QString sql = QStringLiteral("update %1 set %2 where rowid = ?")
                            .arg(Connection::quoteIdentifier(table), sets.join(QStringLiteral(", ")));
    d->prepare(connection, sql);
    d->attach(connection);
}

RowUpdater::~RowUpdater() = default;

void RowUpdater::convert(const QList<Value>& values) const
{
    tryConvertAll(d->columns, values);
    if (d->fixedFailure)
        throw *d->fixedFailure;
}

void RowUpdater::update(qint64 rowid, const QList<Value>& values)
{
    Connection& c = d->requireConnection();
    d->bindRow(values);
    d->bind(d->boundCount(), QVariant(qlonglong(rowid)));
    d->run(c);
    const qint64 affected = d->rowsAffected();
    d->finishWrite();
    if (affected == 0)
        throw engine::noCurrentRecord(); // the row is gone
}

qint64 firstRowId(Connection& connection, const QString& table)
{
    Query q(connection, QStringLiteral("select rowid from %1 order by rowid limit 1")
                            .arg(Connection::quoteIdentifier(table)));
    q.exec();
    if (!q.next())
        throw engine::noRowIn(table, connection.windowsFilePath());
    const qint64 id = numberOf(q.value(0));
    q.finish();
    return id;
}

} // namespace rio
