// What an interrupted write leaves beside an archive, and the engine's own
// file locks, read without the engine reading the archive.
#include "data/interrupted_write.h"

#include "data/connection_string.h"
#include "data/database.h"
#include "data/error.h"
#include "data/file_kind.h"
#include "data/filesystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

namespace rio {

namespace {

QString journalOf(const QString& hostArchive)
{
    return hostArchive + QStringLiteral("-journal");
}

// The engine's locks on one database file, taken through the engine's own
// file layer without reading a page: the pager, which plays hot journals
// back, is never asked for anything. Up to the exclusive lock a commit
// needs; released on destruction. The engine keeps one lock table per file
// in this process, so a connection of this program counts as a holder too.
class EngineFileLock
{
public:
    explicit EngineFileLock(const QString& hostArchive)
    {
        if (fileKind(hostArchive) != FileKind::Sqlite)
            return;
        if (sqlite3_open_v2(QFile::encodeName(hostArchive).constData(), &m_db, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK)
            return;
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &m_file);
        if (!m_file || !m_file->pMethods)
            return;
        for (const int level : {SQLITE_LOCK_SHARED, SQLITE_LOCK_RESERVED, SQLITE_LOCK_EXCLUSIVE}) {
            const int rc = m_file->pMethods->xLock(m_file, level);
            // Only a lock someone else holds answers busy; a file opened
            // read-only fails the write locks otherwise, and says nothing
            // about other programs.
            if (rc != SQLITE_OK) {
                m_busy = (rc & 0xff) == SQLITE_BUSY;
                return;
            }
        }
        m_held = true;
    }

    ~EngineFileLock()
    {
        if (m_file && m_file->pMethods)
            m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
        if (m_db)
            sqlite3_close(m_db);
    }

    EngineFileLock(const EngineFileLock&) = delete;
    EngineFileLock& operator=(const EngineFileLock&) = delete;

    bool busy() const { return m_busy; } // another holder refused a lock
    bool held() const { return m_held; } // this object holds the exclusive lock

private:
    sqlite3* m_db = nullptr;
    sqlite3_file* m_file = nullptr;
    bool m_busy = false;
    bool m_held = false;
};

[[noreturn]] void raiseHeldElsewhere(const QString& archive, const QString& hostArchive)
{
    throw Error(
        err::EngineFailure,
        QStringLiteral("L'archivio '%1' è in uso da un altro programma, che vi sta scrivendo (giornale "
                       "%2): chiudere il programma che lo usa e ripetere la riapertura.")
            .arg(archive, QFileInfo(journalOf(hostArchive)).fileName()));
}

} // namespace

LeftoverJournal leftoverJournal(const QString& windowsArchivePath)
{
    const QString host = fs::hostPath(windowsArchivePath);
    const QFileInfo wal(host + QStringLiteral("-wal"));
    if (wal.isFile() && wal.size() > 0)
        return LeftoverJournal::Hot;
    const QFileInfo journal(journalOf(host));
    if (!journal.isFile())
        return LeftoverJournal::None;
    // The engine's own test: the first byte of the header, the first of the
    // magic number it writes once the journal's content is synced; an empty
    // journal reads as a zero.
    QFile file(journal.filePath());
    char first = 1;
    if (!file.open(QIODevice::ReadOnly))
        return LeftoverJournal::Hot;
    if (file.read(&first, 1) != 1)
        return file.error() == QFileDevice::NoError ? LeftoverJournal::NotHot : LeftoverJournal::Hot;
    return first == 0 ? LeftoverJournal::NotHot : LeftoverJournal::Hot;
}

bool archiveHeldElsewhere(const QString& windowsArchivePath)
{
    return EngineFileLock(fs::hostPath(windowsArchivePath)).busy();
}

ArchiveRecovery recoverInterruptedArchive(const QString& connectionString)
{
    const QString archive = parseJetConnectionString(connectionString).dataSource;
    const QString host = fs::hostPath(archive);
    const LeftoverJournal leftover = leftoverJournal(archive);
    if (leftover == LeftoverJournal::None)
        return ArchiveRecovery::Nothing;

    if (leftover == LeftoverJournal::NotHot) {
        // Under the exclusive lock no other program is in the middle of a
        // write, so the journal is nobody's: removed, as the engine would
        // replace it at its next write.
        const EngineFileLock lock(host);
        if (lock.busy())
            raiseHeldElsewhere(archive, host);
        if (lock.held() && leftoverJournal(archive) == LeftoverJournal::NotHot) {
            const QString journal = journalOf(host);
            errno = 0;
            if (!QFile::remove(journal) && QFileInfo::exists(journal))
                throw Error(
                    err::EngineFailure,
                    QStringLiteral("Impossibile rimuovere il giornale '%1' di una scrittura interrotta "
                                   "dell'archivio '%2': %3")
                        .arg(QDir::toNativeSeparators(journal), archive,
                             QString::fromLocal8Bit(std::strerror(errno ? errno : EACCES))));
            return ArchiveRecovery::JournalRemoved;
        }
        if (!lock.held())
            throw Error(err::EngineFailure,
                        QStringLiteral("L'archivio '%1' ha il giornale di una scrittura interrotta e non si "
                                       "può bloccare per rimuoverlo: controllare che sia scrivibile.")
                            .arg(archive));
        if (leftoverJournal(archive) == LeftoverJournal::None)
            return ArchiveRecovery::Nothing;
    }

    // A journal another program is writing looks hot too, but the engine
    // plays back only one that nobody holds.
    if (archiveHeldElsewhere(archive))
        raiseHeldElsewhere(archive, host);
    // Opening reads the catalogue, and the first read plays the journal back.
    Connection connection;
    connection.open(connectionString);
    connection.close();
    if (fs::hasArchiveSideFiles(archive))
        throw Error(err::EngineFailure,
                    QStringLiteral("L'archivio '%1' ha il giornale di una scrittura interrotta che il motore "
                                   "del database non ha riapplicato, benché nessun altro programma usi "
                                   "l'archivio: controllare che la cartella sia scrivibile.")
                        .arg(archive));
    return ArchiveRecovery::PlayedBack;
}

} // namespace rio
