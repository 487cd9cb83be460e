#include "run/probes.h"

#include "archive/copy_progress.h"

#include "data/database.h"
#include "data/error.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace rio {

bool canWrite(const QString& hostPath)
{
#ifdef Q_OS_WIN
    const QFileInfo info(hostPath);
    return info.exists() && info.isWritable();
#else
    return ::access(QFile::encodeName(hostPath).constData(), W_OK) == 0;
#endif
}

bool archiveInUse(Connection& archive)
{
    if (archive.driver() != Connection::Driver::Sqlite)
        return false;
    try {
        // The lock a commit takes: refused while anyone else reads or writes.
        Query begin(archive, QStringLiteral("begin exclusive"));
        begin.exec();
        Query rollback(archive, QStringLiteral("rollback"));
        rollback.exec();
    } catch (const Error&) {
        return true;
    }
    return false;
}

qint64 folderSize(const QString& hostFolder)
{
    // The copies measure their progress the same way.
    return treeBytes(hostFolder);
}

} // namespace rio
