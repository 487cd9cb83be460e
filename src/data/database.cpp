#include "data/database.h"

#include "data/column_values.h"
#include "data/connection_private.h"
#include "data/connection_string.h"
#include "data/engine_errors.h"
#include "data/filesystem.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

#include <sqlite3.h>

namespace rio {

namespace {

bool g_sqliteThroughOdbc = false;

} // namespace

// --------------------------------------------------------------- Connection

Connection::Connection() : d(std::make_unique<Private>()) {}

Connection::~Connection()
{
    release();
}

void Connection::setSqliteThroughOdbc(bool on)
{
    g_sqliteThroughOdbc = on;
}

bool Connection::sqliteThroughOdbc()
{
    return g_sqliteThroughOdbc;
}

bool Connection::isOpen() const
{
    return d->open;
}

void Connection::close()
{
    if (!d->open)
        throw engine::objectClosed();
    // Statements first: the engine connection must outlive every handle.
    while (!d->statements.isEmpty())
        d->statements.first()->detach();
    if (d->transactionLevel > 0)
        d->db.rollback(); // work left uncommitted is discarded
    d->transactionLevel = 0;
    setWhileBusy({});
    d->lite = nullptr;
    d->db.close();
    d->db = QSqlDatabase();
    QSqlDatabase::removeDatabase(d->name);
    d->open = false;
    d->schemas.clear();
    raiseWhileBusyFailure(*this);
}

void Connection::release() noexcept
{
    try {
        if (d && d->open)
            close();
    } catch (...) {
    }
}

void Connection::beginTrans()
{
    if (!d->open)
        throw engine::objectClosed();
    // Jet nests transactions; the engine's one spans the outermost.
    if (d->transactionLevel == 0 && !d->db.transaction())
        throw engine::fromSqlError(d->db.lastError(), *this);
    ++d->transactionLevel;
}

void Connection::commitTrans()
{
    if (!d->open)
        throw engine::objectClosed();
    if (d->transactionLevel == 0)
        throw Error(err::EngineFailure, QStringLiteral("Nessuna transazione attiva da confermare."));
    raiseWhileBusyFailure(*this);
    if (d->transactionLevel == 1) {
        if (d->lite && d->whileBusy)
            commitAside(*this);
        else if (!d->db.commit())
            throw engine::fromSqlError(d->db.lastError(), *this);
    }
    --d->transactionLevel;
}

void Connection::releaseMemory() noexcept
{
    if (d->lite)
        sqlite3_db_release_memory(d->lite);
}

void Connection::interrupt() noexcept
{
    if (d->lite)
        sqlite3_interrupt(d->lite);
}

bool Connection::inTransaction() const
{
    return d->open && d->transactionLevel > 0;
}

qint64 Connection::execute(const QString& jetSql)
{
    if (!d->open)
        throw engine::objectClosed();
    const QString sql = d->driver == Driver::OdbcAccess ? jetSql : translateJetSql(jetSql);
    qint64 affected = 0;
    if (d->lite && d->whileBusy && QFileInfo(d->hostFile).size() >= RunAsideFromBytes) {
        Statement statement;
        statement.prepare(*this, sql);
        statement.attach(*this);
        statement.runAside(*this, d->whileBusy);
        affected = statement.rowsAffected();
    } else {
        QSqlQuery q(d->db);
        q.setForwardOnly(true);
        if (!q.exec(sql)) {
            raiseWhileBusyFailure(*this);
            throw engine::fromSqlError(q.lastError(), *this);
        }
        affected = q.numRowsAffected();
        q.finish();
    }
    raiseWhileBusyFailure(*this);
    static const QRegularExpression ddl(QStringLiteral("^\\s*(create|drop|alter)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (ddl.match(sql).hasMatch())
        d->schemas.clear();
    return affected;
}

QStringList Connection::tableNames()
{
    if (!d->open)
        throw engine::objectClosed();
    if (d->driver == Driver::OdbcAccess)
        return d->db.tables(QSql::Tables); // views and MSys tables are other types
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select name from sqlite_master where type = 'table' and name not like "
                               "'sqlite\\_%' escape '\\' order by rowid")))
        throw engine::fromSqlError(q.lastError(), *this);
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    if (q.lastError().isValid())
        throw engine::fromSqlError(q.lastError(), *this);
    return names;
}

QString Connection::quoteIdentifier(const QString& name)
{
    // Brackets quote on both engines. A name that would close them cannot be
    // an Access name; double quotes, doubled inside, keep it one SQLite name.
    if (!name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

const TableSchema& Connection::schema(const QString& table)
{
    if (!d->open)
        throw engine::objectClosed();
    const QString key = table.toUpper();
    const auto cached = d->schemas.constFind(key);
    if (cached != d->schemas.cend())
        return *cached;

    TableSchema schema;
    if (d->driver == Driver::OdbcAccess) {
        const QSqlRecord record = d->db.record(table);
        for (int i = 0; i < record.count(); ++i)
            schema.add({record.fieldName(i), columnTypeOf(record.field(i).metaType())});
    } else {
        QSqlQuery q(d->db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("pragma table_info(%1)").arg(quoteIdentifier(table))))
            throw engine::fromSqlError(q.lastError(), *this);
        while (q.next())
            schema.add({q.value(1).toString(), columnTypeOf(q.value(2).toString())});
        q.finish();
    }
    if (schema.columns().isEmpty())
        throw Error(err::NoTable,
                    QStringLiteral("Impossibile trovare la tabella o la query di input '%1'. "
                                   "Verificare che esista e che il nome sia digitato correttamente.")
                        .arg(table));
    return *d->schemas.insert(key, schema);
}

Connection::Driver Connection::driver() const
{
    return d->driver;
}

QString Connection::hostFilePath() const
{
    return d->hostFile;
}

QString Connection::windowsFilePath() const
{
    return d->windowsFile;
}

QSqlDatabase Connection::database() const
{
    return d->db;
}

} // namespace rio
