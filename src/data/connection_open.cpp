// Opening a connection: from the Jet connection string the run forms to an
// engine connection that has read the file's catalogue.
#include "data/database.h"

#include "data/connection_private.h"
#include "data/connection_string.h"
#include "data/engine_errors.h"
#include "data/engine_memory.h"
#include "data/file_kind.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"
#include "data/workgroup.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>

namespace rio {

namespace {

using Driver = Connection::Driver;

// Engine lock waits: long enough for another connection's commit, short
// enough that a file held by another program fails the step soon.
constexpr int lockTimeoutMs = 5000;
// Page cache of each open archive, in kilobytes. What the engine keeps
// for all open archives together is bounded lower (data/engine_memory.h):
// the pages read longest ago give way beyond it, so that the peak stays
// where a company of some tens of thousands of articles puts it, however
// large the archives grow. Reading them again costs a copy from the
// system's file cache.
constexpr int pageCacheKb = 65536;

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("rio-db-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The file as the messages name it: its Windows path, and this machine's
// path when that differs.
QString fileNamed(const QString& windowsPath, const QString& hostFile)
{
    const QString native = QDir::toNativeSeparators(hostFile);
    if (native == windowsPath)
        return QStringLiteral("'%1'").arg(windowsPath);
    return QStringLiteral("'%1' (%2)").arg(windowsPath, native);
}

// The parts of the connection string, once the account has been checked
// against the workgroup file; raises as parseJetConnectionString and
// checkWorkgroup do.
JetConnectionString parseAndCheckWorkgroup(const QString& connectionString)
{
    const JetConnectionString cs = parseJetConnectionString(connectionString);
    checkWorkgroup(cs.systemDatabase, cs.userId, cs.password);
    return cs;
}

// The driver that serves the file, by what its header says it is. Raises
// EngineFailure when the file is missing, is not a file, is not a database
// this build reads (an Access file off Windows), or cannot be read.
Driver driverForFile(const QString& windowsFile, const QString& hostFile)
{
    const QFileInfo info(hostFile);
    if (windowsFile.trimmed().isEmpty() || !info.exists())
        throw Error(err::EngineFailure,
                    QStringLiteral("Impossibile trovare il file %1.").arg(fileNamed(windowsFile, hostFile)));
    if (!info.isFile())
        throw Error(err::EngineFailure,
                    QStringLiteral("%1 non è un file di database.").arg(fileNamed(windowsFile, hostFile)));
    switch (fileKind(hostFile)) {
    case FileKind::Sqlite:
        return Connection::sqliteThroughOdbc() ? Driver::OdbcSqlite : Driver::Sqlite;
    case FileKind::Jet:
#ifdef Q_OS_WIN
        return Driver::OdbcAccess;
#else
        throw Error(
            err::EngineFailure,
            QStringLiteral("Il file %1 è un archivio Access (Jet): gli archivi Access si aprono solo con la "
                           "versione Windows del programma.")
                .arg(fileNamed(windowsFile, hostFile)));
#endif
    case FileKind::Unknown:
        break;
    }
    throw Error(err::EngineFailure,
                QStringLiteral("Il file %1 non è un database riconosciuto o non è leggibile.")
                    .arg(fileNamed(windowsFile, hostFile)));
}

// The driver's connection `name` to the file, set up but not yet open.
QSqlDatabase addDriverConnection(Driver driver, const QString& name, const QString& hostFile,
                                 const JetConnectionString& cs)
{
    QSqlDatabase db;
    if (driver == Driver::Sqlite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(lockTimeoutMs));
        db.setDatabaseName(sqliteUri(hostFile, QStringLiteral("rw")));
    } else if (driver == Driver::OdbcSqlite) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(sqliteOdbcConnectionString(hostFile, lockTimeoutMs));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(accessOdbcConnectionString(
            QDir::toNativeSeparators(hostFile), QDir::toNativeSeparators(fs::hostPath(cs.systemDatabase)),
            cs.userId, cs.password));
    }
    return db;
}

// The driver's connection `name` to the file, open, with the page cache set
// on SQLite. When it does not open, nothing is left registered under `name`
// and EngineFailure is raised with the driver's text.
QSqlDatabase openDriverConnection(Driver driver, const QString& name, const QString& hostFile,
                                  const JetConnectionString& cs)
{
    QSqlDatabase db = addDriverConnection(driver, name, hostFile, cs);
    if (!db.isValid() || !db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        QString text = error.databaseText().trimmed();
        if (text.isEmpty())
            text = error.driverText().trimmed();
        throw Error(err::EngineFailure, QStringLiteral("Impossibile aprire il file %1: %2")
                                            .arg(fileNamed(cs.dataSource, hostFile), text));
    }
    if (driver != Driver::OdbcAccess) {
        // A company archive runs to tens of megabytes; with SQLite's 2 MB
        // page cache the grouped reads and the keyed saves read the same
        // pages from the file over and over.
        QSqlQuery(QStringLiteral("pragma cache_size = -%1").arg(pageCacheKb), db);
        engineMemory::applyLimit();
        // Debian builds the engine to zero every page it frees: emptying the
        // movements of a new archive would write the whole table again, and
        // journal it, while the same rows stay in the old archive beside it.
        // "fast" still clears what is written anyway, as Jet leaves deleted
        // rows until the file is compacted.
        QSqlQuery(QStringLiteral("pragma secure_delete = fast"), db);
    }
    return db;
}

} // namespace

void Connection::open(const QString& connectionString)
{
    if (d->open)
        throw engine::objectOpen();
    const JetConnectionString cs = parseAndCheckWorkgroup(connectionString);
    const QString hostFile = fs::hostPath(cs.dataSource);
    // The engine would read and write what a link leads to, outside the
    // installation: an archive is opened under its own name only.
    if (fs::detail::isLink(hostFile))
        fs::detail::raiseLink(cs.dataSource);
    const Driver driver = driverForFile(cs.dataSource, hostFile);
    const QString name = uniqueConnectionName();
    d->db = openDriverConnection(driver, name, hostFile, cs);
    d->lite = engineHandle(d->db);
    engineMemory::addHandle(d->lite);
    d->name = name;
    d->driver = driver;
    d->open = true;
    d->transactionLevel = 0;
    d->windowsFile = cs.dataSource;
    d->hostFile = hostFile;
    d->schemas.clear();

    // A file that is not a database fails only at the first read.
    try {
        tableNames();
    } catch (const Error& e) {
        release();
        throw Error(err::EngineFailure, QStringLiteral("Impossibile aprire il file %1: %2")
                                            .arg(fileNamed(cs.dataSource, hostFile), e.description()));
    }
}

} // namespace rio
