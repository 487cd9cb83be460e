#include "data/archive_stamp.h"

#include "data/connection_private.h"

#include <QDateTime>
#include <QFileInfo>

#include <sqlite3.h>

namespace rio {

std::optional<ArchiveStamp> archiveStamp(Connection& c)
{
    if (!c.isOpen() || c.driver() != Connection::Driver::Sqlite)
        return std::nullopt;
    sqlite3* db = ConnectionAccess::of(c).lite;
    if (!db || sqlite3_get_autocommit(db))
        return std::nullopt;
    // Reading the schema's version reads the file's first page: the
    // transaction now holds the file for reading until it ends.
    if (runQuietly(c, "pragma main.schema_version") != SQLITE_OK ||
        sqlite3_txn_state(db, "main") < SQLITE_TXN_READ)
        return std::nullopt;
    QByteArray mode;
    if (runQuietly(c, "pragma main.journal_mode", QByteArray(), &mode) != SQLITE_OK ||
        mode.compare("wal", Qt::CaseInsensitive) == 0)
        return std::nullopt;
    // Read through the engine's own descriptor: opening and closing another
    // one on the file would drop the locks this process holds on it.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    unsigned char counter[4];
    if (file->pMethods->xRead(file, counter, 4, 24) != SQLITE_OK)
        return std::nullopt;
    const char* name = sqlite3_db_filename(db, "main");
    if (!name || !*name)
        return std::nullopt;
    const QFileInfo info(QString::fromUtf8(name));
    if (!info.exists())
        return std::nullopt;
    ArchiveStamp stamp;
    stamp.file = info.absoluteFilePath();
    stamp.changes =
        quint32(counter[0]) << 24 | quint32(counter[1]) << 16 | quint32(counter[2]) << 8 | counter[3];
    stamp.size = info.size();
    stamp.writtenMs = info.lastModified().toMSecsSinceEpoch();
    stamp.changedMs = info.metadataChangeTime().toMSecsSinceEpoch();
    return stamp;
}

} // namespace rio
