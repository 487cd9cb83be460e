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

    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    virtual ~Statement();

    void attach(Connection& c);
    void detach();
    // Raises 3704 when the connection has been closed.
    Connection& requireConnection() const;
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
