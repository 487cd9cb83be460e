#include "data/column_values.h"
#include "data/connection_private.h"
#include "data/database.h"
#include "data/engine_errors.h"
#include "data/storage_class.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

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
    mutable QByteArray textBuffer; // textAt()'s text where it is not the engine's

    // The engine's row where a typed read may look at it directly; nullptr
    // where value() must be asked. Raises what value() raises.
    sqlite3_stmt* liteRow(int index) const;

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

// The engine's row is read directly where its storage gives what value()
// would: text stored as text in a column read as text, a number stored as
// a number in a column read as a number.
namespace {

bool readsAsText(ColumnType type)
{
    return type == ColumnType::Text || type == ColumnType::Other;
}

bool readsAsNumber(ColumnType type)
{
    return type == ColumnType::Real || type == ColumnType::Integer || type == ColumnType::Other;
}

} // namespace

sqlite3_stmt* Query::Private::liteRow(int index) const
{
    if (!lite || storageRead)
        return nullptr;
    requireConnection();
    if (!typed)
        throw engine::objectClosed();
    if (index < 0 || index >= types.size())
        throw engine::itemNotFound();
    if (!onRow)
        throw engine::noCurrentRecord();
    return lite;
}

bool Query::isNullAt(int index) const
{
    if (sqlite3_stmt* row = d->liteRow(index))
        return sqlite3_column_type(row, index) == SQLITE_NULL;
    return isNull(value(index));
}

double Query::numberAt(int index) const
{
    if (sqlite3_stmt* row = d->liteRow(index)) {
        const int storage = sqlite3_column_type(row, index);
        if ((storage == SQLITE_FLOAT || storage == SQLITE_INTEGER) && readsAsNumber(d->types.at(index)))
            return sqlite3_column_double(row, index);
    }
    return numberOf(value(index));
}

QByteArrayView Query::textAt(int index) const
{
    if (sqlite3_stmt* row = d->liteRow(index)) {
        if (sqlite3_column_type(row, index) == SQLITE_TEXT && readsAsText(d->types.at(index))) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, index));
            if (text)
                return QByteArrayView(text, sqlite3_column_bytes(row, index));
        }
    }
    d->textBuffer = textOf(value(index)).toUtf8();
    return d->textBuffer;
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

} // namespace rio
