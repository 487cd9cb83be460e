#include "data/column_values.h"
#include "data/connection_private.h"
#include "data/database.h"
#include "data/engine_errors.h"
#include "data/storage_class.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

namespace rio {

namespace {

// The SQL with its literals blanked, for looking at its shape only; names
// in brackets are kept, a quote inside them opens no literal.
QString withoutLiterals(const QString& sql)
{
    static const QRegularExpression token(QStringLiteral("\\[[^\\]]*\\]|'(?:[^']|'')*'"));
    QString out;
    qsizetype last = 0;
    for (const QRegularExpressionMatch& m : token.globalMatch(sql)) {
        out += QStringView(sql).mid(last, m.capturedStart() - last);
        out += m.captured().startsWith(QLatin1Char('[')) ? m.captured() : QStringLiteral("''");
        last = m.capturedEnd();
    }
    out += QStringView(sql).mid(last);
    return out;
}

// The table named after the first FROM, whose declared types type the row.
QString tableAfterFrom(const QString& sql)
{
    static const QRegularExpression from(
        QStringLiteral("\\bfrom\\s+(?:\\[([^\\]]+)\\]|\"([^\"]+)\"|`([^`]+)`|([A-Za-z_][A-Za-z0-9_]*))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = from.match(withoutLiterals(sql));
    if (!m.hasMatch())
        return QString();
    for (int i = 1; i <= 4; ++i)
        if (m.hasCaptured(i) && !m.captured(i).isEmpty())
            return m.captured(i);
    return QString();
}

QString sqlFor(Connection& c, const QString& jetSql)
{
    return c.driver() == Connection::Driver::OdbcAccess ? jetSql : translateJetSql(jetSql);
}

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

// Values converted for their columns, all before anything is bound, so that
// a value that cannot be converted leaves the row unwritten.
QVariantList convertAll(const QList<ColumnInfo>& columns, const QList<Value>& values)
{
    if (values.size() != columns.size())
        throw Error(err::EngineFailure,
                    QStringLiteral("Numero di valori (%1) diverso dal numero di campi (%2).")
                        .arg(values.size())
                        .arg(columns.size()));
    QVariantList out;
    out.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        out << bindableValue(convertForColumn(values.at(i), columns.at(i).type), columns.at(i).type);
    return out;
}

} // namespace

// -------------------------------------------------------------------- Query

struct Query::Private : Statement
{
    QString sql;              // as the engine reads it
    QString table;            // the table after FROM
    bool storageRead = false; // read as (storage class, text) pairs
    QHash<int, Value> bound;
    bool executed = false;
    bool onRow = false;
    bool typed = false;
    QList<ColumnType> types;
    QStringList names;
    QHash<QString, int> byUpperName;
    QStringList storageNames;

    // The result's column names, from a statement that reads no row.
    void probeColumns(Connection& c)
    {
        QSqlQuery probe(c.database());
        probe.setForwardOnly(true);
        if (!probe.prepare(storage::probe(sql)))
            throw engine::fromSqlError(probe.lastError(), c);
        const int parameters = storage::parameterCount(sql);
        for (int i = 0; i < parameters; ++i)
            probe.bindValue(i, QVariant(QMetaType::fromType<QString>()));
        if (!probe.exec())
            throw engine::fromSqlError(probe.lastError(), c);
        const QSqlRecord record = probe.record();
        for (int i = 0; i < record.count(); ++i)
            storageNames << record.fieldName(i);
        probe.finish();
    }

    void resolveColumns(Connection& c)
    {
        const QStringList fieldNames = storageRead ? storageNames : columnNames();
        const TableSchema* schema = nullptr;
        if (!table.isEmpty()) {
            try {
                schema = &c.schema(table);
            } catch (const Error&) {
                schema = nullptr; // a view or subquery: values keep the stored type
            }
        }
        types.clear();
        names.clear();
        byUpperName.clear();
        for (int i = 0; i < fieldNames.size(); ++i) {
            const QString& name = fieldNames.at(i);
            const ColumnInfo* column = schema ? schema->find(name) : nullptr;
            types << (column ? column->type : ColumnType::Other);
            names << name;
            const QString key = name.toUpper();
            if (!byUpperName.contains(key))
                byUpperName.insert(key, i);
        }
        typed = true;
    }
};

Query::Query(Connection& connection, const QString& jetSql) : d(std::make_unique<Private>())
{
    if (!connection.isOpen())
        throw engine::objectClosed();
    d->sql = sqlFor(connection, jetSql);
    d->table = tableAfterFrom(d->sql);
    if (connection.driver() == Connection::Driver::OdbcSqlite && storage::isSelect(d->sql)) {
        d->storageRead = true;
        d->probeColumns(connection);
        d->prepare(connection, storage::wrapped(d->sql, d->storageNames));
    } else {
        d->prepare(connection, d->sql);
    }
    d->attach(connection);
}

Query::~Query() = default;

Query& Query::bind(int index, const Value& value)
{
    d->requireConnection();
    d->bound.insert(index, value);
    return *this;
}

void Query::exec()
{
    Connection& c = d->requireConnection();
    if (d->isActive())
        d->endRead();
    d->ensurePrepared(c);
    d->onRow = false;
    for (auto it = d->bound.cbegin(); it != d->bound.cend(); ++it)
        d->bind(it.key(), bindableValue(it.value(), ColumnType::Other));
    d->run(c);
    d->executed = true;
    if (!d->storageRead && !d->returnsRows()) {
        d->finishWrite();
        return;
    }
    if (!d->typed)
        d->resolveColumns(c);
}

void Query::moveFirst()
{
    if (!next())
        throw engine::noRowIn(d->table, d->connection ? d->connection->windowsFilePath() : QString());
}

bool Query::next()
{
    Connection& c = d->requireConnection();
    if (!d->executed)
        throw engine::objectClosed();
    if (!d->isActive()) {
        d->onRow = false;
        return false;
    }
    d->onRow = false;
    d->onRow = d->fetch(c);
    return d->onRow;
}

void Query::finish()
{
    d->onRow = false;
    d->endRead();
}

int Query::indexOf(const QString& field) const
{
    d->requireConnection();
    if (!d->typed)
        throw engine::objectClosed();
    const auto it = d->byUpperName.constFind(field.trimmed().toUpper());
    if (it == d->byUpperName.cend())
        throw engine::itemNotFound();
    return *it;
}

Value Query::value(const QString& field) const
{
    return value(indexOf(field));
}

Value Query::value(int index) const
{
    d->requireConnection();
    if (!d->typed)
        throw engine::objectClosed();
    if (index < 0 || index >= d->types.size())
        throw engine::itemNotFound();
    if (!d->onRow)
        throw engine::noCurrentRecord();
    if (d->storageRead) {
        const QVariant raw =
            storage::rebuild(d->query.value(2 * index).toString(), d->query.value(2 * index + 1));
        return readValue(raw, !raw.isValid(), d->types.at(index));
    }
    bool isSqlNull = false;
    const QVariant raw = d->column(index, isSqlNull);
    return readValue(raw, isSqlNull, d->types.at(index));
}

qint64 Query::count()
{
    Connection& c = d->requireConnection();
    QString inner = d->sql.trimmed();
    while (inner.endsWith(QLatin1Char(';')))
        inner.chop(1);
    QSqlQuery q(c.database());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("select count(*) from (") + inner + QStringLiteral(")")))
        throw engine::fromSqlError(q.lastError(), c);
    for (auto it = d->bound.cbegin(); it != d->bound.cend(); ++it)
        q.bindValue(it.key(), bindableValue(it.value(), ColumnType::Other));
    if (!q.exec())
        throw engine::fromSqlError(q.lastError(), c);
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
}

// -------------------------------------------------------------- RowInserter

struct RowInserter::Private : Statement
{
    QList<ColumnInfo> columns;
};

RowInserter::RowInserter(Connection& connection, const QString& table, const QStringList& fields)
    : d(std::make_unique<Private>())
{
    if (!connection.isOpen())
        throw engine::objectClosed();
    d->columns = resolveFields(connection, table, fields);
    QString sql;
    if (d->columns.isEmpty()) {
        sql = QStringLiteral("insert into ") + Connection::quoteIdentifier(table) +
              QStringLiteral(" default values");
    } else {
        QStringList names;
        QStringList marks;
        for (const ColumnInfo& column : std::as_const(d->columns)) {
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
    convertAll(d->columns, values);
}

void RowInserter::insert(const QList<Value>& values)
{
    Connection& c = d->requireConnection();
    const QVariantList bound = convertAll(d->columns, values);
    for (qsizetype i = 0; i < bound.size(); ++i)
        d->bind(int(i), bound.at(i));
    d->run(c);
    d->finishWrite();
}

// --------------------------------------------------------------- RowUpdater

struct RowUpdater::Private : Statement
{
    QList<ColumnInfo> columns;
};

RowUpdater::RowUpdater(Connection& connection, const QString& table, const QStringList& fields)
    : d(std::make_unique<Private>())
{
    if (!connection.isOpen())
        throw engine::objectClosed();
    d->columns = resolveFields(connection, table, fields);
    if (d->columns.isEmpty())
        throw engine::itemNotFound();
    QStringList sets;
    for (const ColumnInfo& column : std::as_const(d->columns))
        sets << Connection::quoteIdentifier(column.name) + QStringLiteral(" = ?");
    const QString sql = QStringLiteral("update %1 set %2 where rowid = ?")
                            .arg(Connection::quoteIdentifier(table), sets.join(QStringLiteral(", ")));
    d->prepare(connection, sql);
    d->attach(connection);
}

RowUpdater::~RowUpdater() = default;

void RowUpdater::update(qint64 rowid, const QList<Value>& values)
{
    Connection& c = d->requireConnection();
    const QVariantList bound = convertAll(d->columns, values);
    for (qsizetype i = 0; i < bound.size(); ++i)
        d->bind(int(i), bound.at(i));
    d->bind(int(bound.size()), QVariant(qlonglong(rowid)));
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
