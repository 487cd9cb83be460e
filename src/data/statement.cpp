// A prepared statement on a connection: on Qt's SQLite driver through the
// engine's own handle, otherwise through Qt Sql.
#include "data/connection_private.h"
#include "data/engine_errors.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

namespace rio {

namespace {

int bindText(sqlite3_stmt* s, int position, const QString& text)
{
    // Qt binds a null text as NULL; an empty one stays a text.
    if (text.isNull())
        return sqlite3_bind_null(s, position);
    // In the file's own encoding: the engine's conversion from UTF-16 costs
    // more than the rest of a row's binding.
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(s, position, utf8.isEmpty() ? "" : utf8.constData(), int(utf8.size()),
                             SQLITE_TRANSIENT);
}

} // namespace

sqlite3* engineHandle(const QSqlDatabase& db)
{
    if (!db.driver() || db.driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

Statement::~Statement()
{
    detach();
}

void Statement::attach(Connection& c)
{
    connection = &c;
    ConnectionAccess::of(c).statements.append(this);
}

void Statement::detach()
{
    if (!connection)
        return;
    ConnectionAccess::of(*connection).statements.removeOne(this);
    query.finish();
    query = QSqlQuery();
    sqlite3_finalize(lite);
    lite = nullptr;
    liteActive = liteRowPending = false;
    connection = nullptr;
}

Connection& Statement::requireConnection() const
{
    if (!connection || !connection->isOpen())
        throw engine::objectClosed();
    return *connection;
}

void Statement::prepare(Connection& c, const QString& sql)
{
    preparedSql = sql;
    prepared = false;
    if (sqlite3* handle = ConnectionAccess::of(c).lite) {
        sqlite3_finalize(lite);
        lite = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v3(handle, utf8.constData(), int(utf8.size()),
                                          SQLITE_PREPARE_PERSISTENT, &lite, &tail);
        if (rc != SQLITE_OK)
            throw engine::fromEngineHandle(handle, rc, c);
        if (tail && !QByteArray(tail).trimmed().isEmpty())
            throw engine::fromSqlError(
                QSqlError(QString(), QStringLiteral("Unable to execute multiple statements at a time"),
                          QSqlError::StatementError),
                c);
        prepared = true;
        return;
    }
    query = QSqlQuery(c.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw engine::fromSqlError(query.lastError(), c);
    prepared = true;
}

void Statement::ensurePrepared(Connection& c)
{
    if (!prepared)
        prepare(c, preparedSql);
}

void Statement::endRead()
{
    if (!connection)
        return;
    if (lite) {
        sqlite3_reset(lite);
        liteActive = liteRowPending = false;
        return;
    }
    if (connection->driver() == Connection::Driver::Sqlite) {
        query.finish();
        return;
    }
    // Through ODBC, closing the cursor leaves SQLite's read lock in place
    // until the statement itself is freed.
    query = QSqlQuery();
    prepared = false;
}

void Statement::finishWrite()
{
    if (lite) {
        sqlite3_reset(lite);
        liteActive = liteRowPending = false;
        return;
    }
    query.finish();
}

void Statement::bind(int index, const QVariant& value)
{
    if (!lite) {
        query.bindValue(index, value);
        return;
    }
    const int position = index + 1;
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(lite, position);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        bindText(lite, position, *static_cast<const QString*>(value.constData()));
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(lite, position, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(lite, position, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(lite, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        bindText(lite, position, value.toString());
        break;
    }
}

void Statement::run(Connection& c)
{
    if (!lite) {
        if (!query.exec())
            throw engine::fromSqlError(query.lastError(), c);
        return;
    }
    sqlite3_reset(lite);
    liteActive = liteRowPending = false;
    const int rc = sqlite3_step(lite);
    if (ConnectionAccess::of(c).whileBusyFailure) {
        sqlite3_reset(lite);
        raiseWhileBusyFailure(c);
    }
    if (rc == SQLITE_ROW) {
        liteActive = liteRowPending = true;
        return;
    }
    if (rc != SQLITE_DONE) {
        const Error error = engine::fromEngineHandle(ConnectionAccess::of(c).lite, rc, c);
        sqlite3_reset(lite);
        throw error;
    }
    // A select without rows stays readable until its first fetch.
    liteActive = returnsRows();
}

bool Statement::isActive() const
{
    return lite ? liteActive : query.isActive();
}

bool Statement::returnsRows() const
{
    return lite ? sqlite3_column_count(lite) > 0 : query.isSelect();
}

bool Statement::fetch(Connection& c)
{
    if (!lite) {
        if (query.next())
            return true;
        const QSqlError error = query.lastError();
        endRead(); // nothing left to read holds no lock
        if (error.isValid())
            throw engine::fromSqlError(error, c);
        return false;
    }
    if (!liteActive)
        return false;
    if (liteRowPending) {
        liteRowPending = false;
        return true;
    }
    const int rc = sqlite3_step(lite);
    if (ConnectionAccess::of(c).whileBusyFailure) {
        endRead();
        raiseWhileBusyFailure(c);
    }
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        endRead();
        return false;
    }
    const Error error = engine::fromEngineHandle(ConnectionAccess::of(c).lite, rc, c);
    endRead();
    throw error;
}

QVariant Statement::column(int index, bool& isSqlNull) const
{
    isSqlNull = false;
    if (!lite) {
        isSqlNull = query.isNull(index);
        return query.value(index);
    }
    switch (sqlite3_column_type(lite, index)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(lite, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(lite, index));
    case SQLITE_NULL:
        isSqlNull = true;
        return QVariant();
    case SQLITE_BLOB: {
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(lite, index));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(lite, index)));
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(lite, index));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(lite, index)));
    }
    }
}

QStringList Statement::columnNames() const
{
    QStringList names;
    if (!lite) {
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        return names;
    }
    // As Qt's driver names them: without double quotes.
    for (int i = 0; i < sqlite3_column_count(lite); ++i)
        names << QString::fromUtf8(sqlite3_column_name(lite, i)).remove(QLatin1Char('"'));
    return names;
}

qint64 Statement::rowsAffected() const
{
    if (!lite)
        return query.numRowsAffected();
    return sqlite3_changes64(sqlite3_db_handle(lite));
}

} // namespace rio
