// The file services never go through a link: what it leads to may lie outside
// the installation, and writing or removing there would change files nobody
// asked to change.
#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rio::fs {

namespace detail {

bool isLink(const QString& hostPath)
{
#ifdef Q_OS_WIN
    const QFileInfo info(hostPath);
    return info.isSymbolicLink() || info.isJunction();
#else
    struct stat st;
    return ::lstat(QFile::encodeName(hostPath).constData(), &st) == 0 && S_ISLNK(st.st_mode);
#endif
}

bool nameTaken(const QString& hostPath)
{
#ifdef Q_OS_WIN
    return isLink(hostPath) || QFileInfo::exists(hostPath);
#else
    struct stat st;
    return ::lstat(QFile::encodeName(hostPath).constData(), &st) == 0;
#endif
}

void raiseLink(const QString& windowsPath)
{
    throw Error(err::PathFileAccess,
                QStringLiteral("%1 è un collegamento: non viene seguito").arg(windowsPath));
}

bool openNoFollow(QFile& file, const QString& hostPath, QIODevice::OpenMode mode, const QString& windowsPath)
{
#ifdef Q_OS_WIN
    // A link made between this test and the open is followed: Windows has
    // no flag that refuses one at open.
    if (isLink(hostPath))
        raiseLink(windowsPath);
    file.setFileName(hostPath);
    return file.open(mode);
#else
    int flags = O_CLOEXEC | O_NOFOLLOW;
    if (mode & QIODevice::WriteOnly) {
        flags |= O_WRONLY | O_CREAT;
        flags |= (mode & QIODevice::Append) ? O_APPEND : O_TRUNC;
    } else {
        flags |= O_RDONLY;
    }
    int fd;
    do
        fd = ::open(QFile::encodeName(hostPath).constData(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP && isLink(hostPath))
            raiseLink(windowsPath);
        errno = error;
        return false;
    }
    file.setFileName(hostPath);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(fd);
        errno = error ? error : EIO;
        return false;
    }
    return true;
#endif
}

} // namespace detail

namespace {

using detail::isLink;

// Removes what is in a folder, then the folder. A link inside is removed
// itself, never followed.
bool removeTree(const QString& hostFolder)
{
    bool removed = true;
    const QStringList names =
        QDir(hostFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString host = hostFolder + QLatin1Char('/') + name;
        if (isLink(host))
            removed = (QFile::remove(host) || QDir().rmdir(host)) && removed;
        else if (QFileInfo(host).isDir())
            removed = removeTree(host) && removed;
        else
            removed = QFile::remove(host) && removed;
    }
    return QDir().rmdir(hostFolder) && removed;
}

} // namespace

bool IsLink(const QString& windowsPath)
{
    return detail::isLink(hostPath(windowsPath));
}

bool NameTaken(const QString& windowsPath)
{
    return detail::nameTaken(hostPath(windowsPath));
}

bool RemoveFolder(const QString& windowsPath)
{
    const QString host = hostPath(windowsPath);
    if (detail::isLink(host))
        detail::raiseLink(windowsPath);
    if (!QFileInfo(host).isDir())
        return !detail::nameTaken(host);
    return removeTree(host);
}

} // namespace rio::fs
