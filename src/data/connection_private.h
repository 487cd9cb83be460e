#pragma once

#include "data/database.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace rio {

// A prepared statement that belongs to a connection. Closing the connection
// ends it, so that no handle outlives the engine's connection.
struct Statement
{
    Connection* connection = nullptr;
    QSqlQuery query;
    QString preparedSql;
    bool prepared = false;

    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    virtual ~Statement();

    void attach(Connection& c);
    void detach();
    // Raises 3704 when the connection has been closed.
    Connection& requireConnection() const;

    // Prepares the statement once; raises the engine's error.
    void prepare(Connection& c, const QString& sql);
    // Prepares it again after endRead() dropped it.
    void ensurePrepared(Connection& c);
    // Ends a read so that it holds no lock.
    void endRead();
};

struct Connection::Private
{
    Driver driver = Driver::Sqlite;
    QString name; // Qt's connection name
    QSqlDatabase db;
    bool open = false;
    int transactionLevel = 0;
    QString windowsFile;
    QString hostFile;
    QHash<QString, TableSchema> schemas; // by upper-case table name
    QList<Statement*> statements;
};

// What the statements reach inside a connection.
struct ConnectionAccess
{
    static Connection::Private& of(Connection& c) { return *c.d; }
};

} // namespace rio
