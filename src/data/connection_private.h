#pragma once

#include "data/database.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <exception>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

namespace rio {

// A prepared statement that belongs to a connection. Closing the connection
// ends it, so that no handle outlives the engine's connection.
// On Qt's SQLite driver it runs on the engine's own handle of the same
// connection (one transaction, one lock), binding and reading each value by
// its type instead of through Qt's per-row variants; through ODBC it is a
// QSqlQuery.
struct Statement
{
    Connection* connection = nullptr;
    QSqlQuery query;
    sqlite3_stmt* lite = nullptr;
    bool liteRowPending = false; // run() stepped onto the first row
    bool liteActive = false;     // rows may follow
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
    // Ends a statement that returned no rows, keeping it prepared.
    void finishWrite();

    // Runs a statement to its end on a worker thread over the same engine
    // handle, calling whileWaiting on this thread every few tens of
    // milliseconds meanwhile. eachRow, when given, reads each row the
    // statement returns (on the worker: it must not touch the screen).
    // Raises the engine's error.
    void runAside(Connection& c, const std::function<void()>& whileWaiting,
                  const std::function<void(sqlite3_stmt*)>& eachRow = {});

    // A value in the form bindableValue() gives, at a "?" from 0.
    void bind(int index, const QVariant& value);
    // Executes with the values bound; a select then stands before its first
    // row. Raises the engine's error.
    void run(Connection& c);
    // Whether run() left rows to read.
    bool isActive() const;
    bool returnsRows() const;
    // Moves to the next row; false past the last, the read then ended.
    // Raises the engine's error.
    bool fetch(Connection& c);
    // The current row's column as the driver types it: qlonglong, double,
    // QString, QByteArray; isSqlNull for NULL.
    QVariant column(int index, bool& isSqlNull) const;
    QStringList columnNames() const;
    qint64 rowsAffected() const;
};

// The engine handle of a connection on Qt's SQLite driver; nullptr through
// ODBC.
sqlite3* engineHandle(const QSqlDatabase& db);

struct Connection::Private
{
    Driver driver = Driver::Sqlite;
    QString name; // Qt's connection name
    QSqlDatabase db;
    sqlite3* lite = nullptr; // Qt's SQLite driver: its handle, for the statements
    bool open = false;
    int transactionLevel = 0;
    QString windowsFile;
    QString hostFile;
    QHash<QString, TableSchema> schemas; // by upper-case table name
    std::function<void()> whileBusy;
    // What whileBusy raised inside the engine, raised once the engine returns.
    std::exception_ptr whileBusyFailure;
    QList<Statement*> statements;
};

// Raises what the connection's whileBusy raised while the engine worked
// (the statement then ran to its end); nothing when it raised nothing.
void raiseWhileBusyFailure(Connection& c);

// Commits the engine's transaction of a connection on Qt's SQLite driver on
// the worker thread, while this thread calls the connection's whileBusy: the
// sync of a commit waits for the disk. Raises the engine's error; one
// raised by whileBusy once the engine has committed.
void commitAside(Connection& c);

// Runs one statement of the engine's own SQL to its end on a connection on
// Qt's SQLite driver, with an optional text bound at ?1, without calling
// whileBusy: attaching, detaching and a pragma take no time, and a failure
// raised by whileBusy there would be raised by the next, unrelated
// statement. The connection's whileBusy is set again after. firstText, when
// given, receives the first column of the first row. Returns the engine's
// code, SQLITE_OK when the statement ran to its end.
int runQuietly(Connection& c, const QByteArray& sql, const QByteArray& text = QByteArray(),
               QByteArray* firstText = nullptr);

// What the statements reach inside a connection.
struct ConnectionAccess
{
    static Connection::Private& of(Connection& c) { return *c.d; }
};

} // namespace rio
