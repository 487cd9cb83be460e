#pragma once

#include "data/value.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace rio {

// Declared type of a column, read from the table definition so that values
// read the same way whichever driver serves the file.
enum class ColumnType { Text, Integer, Real, Boolean, Date, Other };

struct ColumnInfo
{
    QString name; // as declared
    ColumnType type = ColumnType::Other;
};

// The columns of one table, looked up without regard to case.
class TableSchema
{
public:
    void add(ColumnInfo column);
    const ColumnInfo* find(const QString& name) const; // nullptr when absent
    const QList<ColumnInfo>& columns() const { return m_columns; }

private:
    QList<ColumnInfo> m_columns;
    QHash<QString, qsizetype> m_byUpperName;
};

// Translates Jet SQL to what the file's engine reads: "delete * from T",
// "select TOP n ...", "=true"/"=false". Never touches quoted literals.
QString translateJetSql(const QString& jetSql);

struct ConnectionAccess;

// One open archive. Opens from the Jet OLEDB connection string that the run
// forms; the paths in it are Windows paths, mapped to this machine's files.
// Never creates a database file. Work left in an open transaction is
// discarded when the connection is closed or destroyed.
class Connection
{
public:
    enum class Driver { Sqlite, OdbcSqlite, OdbcAccess };

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Raises rio::Error; a link at the file's name raises the file services'
    // link error (75): the engine never reads or writes through one.
    void open(const QString& connectionString);
    bool isOpen() const;
    void close();            // raises 3704 when not open, else what whileBusy raised and nothing raised yet
    void release() noexcept; // closes if open, every error ignored

    void beginTrans();
    // Ends the outermost transaction. With a whileBusy set, on Qt's SQLite
    // driver, the engine commits on a worker thread while this thread calls
    // whileBusy: the commit's sync can wait a long time for a busy disk.
    // Raises the engine's error.
    void commitTrans();
    bool inTransaction() const;

    // Gives back the memory of the pages the engine keeps for this
    // connection and no statement holds (on Qt's SQLite driver; nothing
    // elsewhere), for a connection that stays open but reads no more for a
    // while: the cache is filled again as it reads.
    void releaseMemory() noexcept;

    // Asks the statement this connection runs to stop, from any thread (on
    // Qt's SQLite driver; nothing elsewhere): it ends with the engine's
    // error. The caller makes sure the connection stays open meanwhile.
    void interrupt() noexcept;

    // Runs one Jet SQL statement that returns no rows; returns the rows affected.
    // With a whileBusy set, on Qt's SQLite driver and a file of at least
    // RunAsideFromBytes, the statement runs on a worker thread over the same
    // engine connection (one transaction, one lock) while this thread calls
    // whileBusy: emptying a table of a million rows is one step of the engine
    // that nothing can interrupt. A smaller file is read whole in a few tens
    // of milliseconds: no thread for it.
    qint64 execute(const QString& jetSql);
    static constexpr qint64 RunAsideFromBytes = 32 * 1024 * 1024;

    // Called now and then while a statement of this connection works (on
    // Qt's SQLite driver: every few thousand engine instructions, and while
    // execute() or commitTrans() waits), so that a long read, delete or
    // commit lets the window repaint. It must not use this connection. What
    // it raises inside the engine is raised once the engine returns (the
    // statement having run to its end). Empty: nothing is called.
    // Dropped when the connection closes.
    void setWhileBusy(std::function<void()> whileBusy);

    // The catalogue: names of the tables of type "Table" (no views, no
    // engine-internal tables).
    QStringList tableNames();

    // A table or column name as a quoted identifier, so that a name read from
    // data can only ever name a table.
    static QString quoteIdentifier(const QString& name);

    // Declared columns of a table (cached); raises NoTable when absent.
    const TableSchema& schema(const QString& table);

    Driver driver() const;
    QString hostFilePath() const;
    QString windowsFilePath() const; // as the connection string names it
    QSqlDatabase database() const;

    // Test switch: open SQLite files through unixODBC and the SQLite3 ODBC
    // driver instead of Qt's SQLite driver, so that the ODBC code path runs.
    static void setSqliteThroughOdbc(bool on);
    static bool sqliteThroughOdbc();

private:
    friend struct ConnectionAccess;
    struct Private;
    std::unique_ptr<Private> d;
};

// A Jet SQL statement on a connection, prepared once and run as often as
// needed. Rows are read forward; a query that is no longer read is finished
// at once so that it holds no lock. Values are typed by the declared types of
// the table named after FROM.
class Query
{
public:
    Query(Connection& connection, const QString& jetSql); // raises on a bad statement
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, const Value& value); // positional "?" parameters, from 0
    void exec();                                // raises; stands before the first row
    bool next();                                // false past the last row (then finished)
    void moveFirst();                           // next(), raising 3021 when there is no row
    void finish();

    Value value(const QString& field) const; // 3021 without a current row, 3265 unknown name
    int indexOf(const QString& field) const; // resolve a name once for a long read; 3265 unknown
    Value value(int index) const;

    // Typed reads of the current row for passes over many rows: on Qt's
    // SQLite driver straight from the engine's row, without a Qt value per
    // field; the same results as the forms of value(index) named, which
    // they fall back on elsewhere (and for a value stored under another
    // type than they read directly). Same errors as value(index).
    bool isNullAt(int index) const;   // isNull(value(index))
    double numberAt(int index) const; // numberOf(value(index)): Null raises 94
    // textOf(value(index)) in UTF-8, Null raising 94; valid until the next
    // move or read of text.
    QByteArrayView textAt(int index) const;

    // Exact number of rows the statement returns (a keyset cursor's
    // RecordCount), counted by the engine.
    qint64 count();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// A field whose value is the same in every row a writer writes.
struct FixedField
{
    QString name;
    Value value;
};

// Adds rows to a table naming only the given fields, so that the others keep
// the table's defaults. Each value is converted to its column's declared type
// as Jet converts it; a value that cannot be converted fails the row and
// nothing is stored. An unknown field raises 3265. The fixed fields are
// written into every row, their values converted once (one that cannot be
// converted fails every row) and, on Qt's SQLite driver, bound once;
// insert() takes the values of the other fields, in their order.
class RowInserter
{
public:
    RowInserter(Connection& connection, const QString& table, const QStringList& fields,
                const QList<FixedField>& fixed = {});
    ~RowInserter();
    void insert(const QList<Value>& values);
    // Converts the values as insert() does, writing nothing: raises what
    // insert() raises for a value that cannot be converted.
    void convert(const QList<Value>& values) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Sets fields of one row, found by its rowid, with the same conversions and
// fixed fields.
class RowUpdater
{
public:
    RowUpdater(Connection& connection, const QString& table, const QStringList& fields,
               const QList<FixedField>& fixed = {});
    ~RowUpdater();
    void update(qint64 rowid, const QList<Value>& values);
    // Converts the values as update() does, writing nothing.
    void convert(const QList<Value>& values) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// What the engine's own check finds wrong in an open archive (SQLite's
// quick_check: every page, record and index readable and well formed), at
// most maxProblems lines in the engine's words; empty when sound. Over the
// Access ODBC driver there is no such check: empty. Reads only. With the
// connection's whileBusy set, on Qt's SQLite driver, the check runs on a
// worker thread while this thread calls whileBusy. Raises the engine's
// error where a page cannot be read at all.
QStringList integrityProblems(Connection& connection, int maxProblems = 10);

// rowid of the first row of a table (lowest rowid); raises 3021 when empty.
qint64 firstRowId(Connection& connection, const QString& table);

// A value converted for a column of the given type, as Jet converts it;
// raises -2147217913 when it cannot be converted.
Value convertForColumn(const Value& value, ColumnType type);

} // namespace rio
