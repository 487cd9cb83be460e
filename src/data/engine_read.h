#pragma once

// Reads that stay inside the engine: a second archive attached to a
// connection so that one statement joins the two, and rows read straight
// from the engine, a value at a time by its storage class. For reads of
// whole tables where a variant per value would cost more than the engine's
// own work. Qt's SQLite driver only.

#include "data/database.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace rio {

// The file of another open archive, attached read-only to a connection under
// a schema name ("nuovo.ANAG_ART"). The file is opened without following a
// link at its name and attached through that very descriptor, so the engine
// reads the file the other connection names even if the name changes
// meanwhile. Both connections must be idle (no transaction, no statement
// reading) when it is made: the descriptor it opens is closed at once, and
// closing any descriptor of a file drops the locks this process holds on it.
// What writes under the installation holds InstallationLock; this only reads.
class AttachedArchive
{
public:
    // Whether c can attach other's file: both open on Qt's SQLite driver, on
    // a system where a descriptor can be attached (Linux).
    static bool possible(const Connection& c, const Connection& other);

    // Attaches other's file to c as schema (a plain name). Raises the link
    // error (75) when the file's name is now a link, EngineFailure when it
    // cannot be opened or is not a database, the engine's error otherwise.
    AttachedArchive(Connection& c, const Connection& other, const QString& schema);
    // Detaches it; nothing raised (a connection closed meanwhile has let it
    // go already). Every statement that reads it must have ended.
    ~AttachedArchive();
    AttachedArchive(const AttachedArchive&) = delete;
    AttachedArchive& operator=(const AttachedArchive&) = delete;

private:
    Connection& m_connection;
    QString m_schema;
};

// A select read straight from the engine, forward, on a connection on Qt's
// SQLite driver. The connection's whileBusy is called while the engine
// works, as for Query; the statement ends with the connection.
class EngineRows
{
public:
    // Prepares sql (the engine's own SQL, not Jet's). Raises the engine's
    // error, ObjectClosed on a connection not open on Qt's SQLite driver.
    EngineRows(Connection& c, const QString& sql);
    ~EngineRows();
    EngineRows(const EngineRows&) = delete;
    EngineRows& operator=(const EngineRows&) = delete;

    // Binds a "?" from 0 for the next exec().
    EngineRows& bind(int index, qint64 value);
    // Runs the statement; next() then gives the first row. Raises the
    // engine's error, and what whileBusy raised.
    void exec();
    // The next row; false past the last (the read then ended, holding no
    // lock). Raises as exec() does.
    bool next();
    // Ends the read now.
    void finish();

    // How the current row's column is stored; one question to the engine
    // where isNull, isText and isNumber would ask up to three.
    enum class Stored { Null, Number, Text, Blob };
    Stored stored(int column) const;

    // The current row's columns. A number reads as a double whichever its
    // storage class, Null as 0; utf8() and text() read Null as empty; utf8()
    // stays valid until the next call on this object.
    bool isNull(int column) const;
    bool isText(int column) const;
    bool isNumber(int column) const; // stored as an integer or a real
    qint64 integer(int column) const;
    double number(int column) const;
    QByteArrayView utf8(int column) const;

    QString text(int column) const;
    // The same into `into`, reusing its room when nothing else shares it:
    // for a column read on every row, without a new text each time.
    void readText(int column, QString& into) const;
    // UTF-8 bytes (as utf8() gives them) as text into `into`, the same way.
    static void textInto(QByteArrayView utf8, QString& into);
    // The column as Query reads it from a column declared of type: for the
    // values stored otherwise than the common case.
    Value value(int column, ColumnType type) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rio
