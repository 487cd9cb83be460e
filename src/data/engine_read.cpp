// Reads inside the engine: another archive attached to a connection, and
// rows read straight from the engine's handle.
#include "data/engine_read.h"

#include "data/column_values.h"
#include "data/connection_private.h"
#include "data/engine_errors.h"
#include "data/fs_detail.h"

#include <QFile>
#include <QSqlError>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rio {

int runQuietly(Connection& c, const QByteArray& sql, const QByteArray& text, QByteArray* firstText)
{
    auto& p = ConnectionAccess::of(c);
    sqlite3_progress_handler(p.lite, 0, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(p.lite, sql.constData(), int(sql.size()), &statement, nullptr);
    if (rc == SQLITE_OK && !text.isNull())
        rc = sqlite3_bind_text(statement, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW && firstText) {
            const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            *firstText = QByteArray(bytes ? bytes : "");
        }
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    std::function<void()> whileBusy = p.whileBusy;
    c.setWhileBusy(std::move(whileBusy));
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool AttachedArchive::possible(const Connection& c, const Connection& other)
{
#ifdef Q_OS_LINUX
    return c.isOpen() && other.isOpen() && c.driver() == Connection::Driver::Sqlite &&
           other.driver() == Connection::Driver::Sqlite;
#else
    Q_UNUSED(c);
    Q_UNUSED(other);
    return false;
#endif
}

AttachedArchive::AttachedArchive(Connection& c, const Connection& other, const QString& schema)
    : m_connection(c), m_schema(Connection::quoteIdentifier(schema))
{
    if (!possible(c, other))
        throw engine::objectClosed();
    const QString windowsPath = other.windowsFilePath();
    QFile file;
    if (!fs::detail::openNoFollow(file, other.hostFilePath(), QIODevice::ReadOnly, windowsPath))
        throw Error(err::EngineFailure, QStringLiteral("Impossibile aprire il file '%1': %2")
                                            .arg(windowsPath, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat info
    {
    };
    if (::fstat(file.handle(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Error(err::EngineFailure, QStringLiteral("'%1' non è un file di database.").arg(windowsPath));
    // The descriptor's own name: the engine opens the file this descriptor
    // holds, whatever the archive's name leads to by then.
    const QByteArray uri = "file:/proc/self/fd/" + QByteArray::number(file.handle()) + "?mode=ro";
    int rc = runQuietly(c, "attach database ?1 as " + m_schema.toUtf8(), uri);
    if (rc != SQLITE_OK)
        throw engine::fromEngineHandle(ConnectionAccess::of(c).lite, rc, c);
    // A file that is not a database fails only at its first read: read it
    // now, while the descriptor still holds it.
    rc = runQuietly(c, "select count(*) from " + m_schema.toUtf8() + ".sqlite_master");
    if (rc != SQLITE_OK) {
        const Error error = engine::fromEngineHandle(ConnectionAccess::of(c).lite, rc, c);
        runQuietly(c, "detach database " + m_schema.toUtf8());
        throw error;
    }
}

AttachedArchive::~AttachedArchive()
{
    if (m_connection.isOpen() && ConnectionAccess::of(m_connection).lite)
        runQuietly(m_connection, "detach database " + m_schema.toUtf8());
}

struct EngineRows::Private : Statement
{
    QHash<int, qint64> bound;
};

EngineRows::EngineRows(Connection& c, const QString& sql) : d(std::make_unique<Private>())
{
    if (!c.isOpen() || !ConnectionAccess::of(c).lite)
        throw engine::objectClosed();
    d->prepare(c, sql);
    d->attach(c);
}

EngineRows::~EngineRows() = default;

EngineRows& EngineRows::bind(int index, qint64 value)
{
    d->bound.insert(index, value);
    return *this;
}

void EngineRows::exec()
{
    Connection& c = d->requireConnection();
    d->endRead();
    d->ensurePrepared(c);
    for (auto it = d->bound.cbegin(); it != d->bound.cend(); ++it)
        sqlite3_bind_int64(d->lite, it.key() + 1, it.value());
    d->run(c);
}

bool EngineRows::next()
{
    return d->fetch(d->requireConnection());
}

void EngineRows::finish()
{
    d->endRead();
}

EngineRows::Stored EngineRows::stored(int column) const
{
    switch (sqlite3_column_type(d->lite, column)) {
    case SQLITE_NULL:
        return Stored::Null;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return Stored::Number;
    case SQLITE_TEXT:
        return Stored::Text;
    default:
        return Stored::Blob;
    }
}

bool EngineRows::isNull(int column) const
{
    return sqlite3_column_type(d->lite, column) == SQLITE_NULL;
}

bool EngineRows::isText(int column) const
{
    return sqlite3_column_type(d->lite, column) == SQLITE_TEXT;
}

bool EngineRows::isNumber(int column) const
{
    const int type = sqlite3_column_type(d->lite, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

qint64 EngineRows::integer(int column) const
{
    return sqlite3_column_int64(d->lite, column);
}

double EngineRows::number(int column) const
{
    return sqlite3_column_double(d->lite, column);
}

QByteArrayView EngineRows::utf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(d->lite, column));
    return QByteArrayView(text, text ? sqlite3_column_bytes(d->lite, column) : 0);
}

QString EngineRows::text(int column) const
{
    return QString::fromUtf8(utf8(column));
}

void EngineRows::readText(int column, QString& into) const
{
    textInto(utf8(column), into);
}

void EngineRows::textInto(QByteArrayView bytes, QString& into)
{
    if (!std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; })) {
        into = QString::fromUtf8(bytes);
        return;
    }
    into.resize(bytes.size());
    char16_t* out = reinterpret_cast<char16_t*>(into.data());
    for (const char c : bytes)
        *out++ = char16_t(uchar(c));
}

Value EngineRows::value(int column, ColumnType type) const
{
    bool isSqlNull = false;
    const QVariant raw = d->column(column, isSqlNull);
    return readValue(raw, isSqlNull, type);
}

} // namespace rio
