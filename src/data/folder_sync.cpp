// Making written files and folders reach the disk: a copy that only the page
// cache holds is lost, or left as files of 0 bytes, by a power cut.
#include "data/aside_thread.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace rio::fs {

namespace detail {

QString windowsParentOf(const QString& windowsPath)
{
    QString path = windowsPath;
    while (path.size() > 1 && (path.endsWith(QLatin1Char('\\')) || path.endsWith(QLatin1Char('/'))))
        path.chop(1);
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return cut > 0 ? path.left(cut) : path;
}

void syncFolderEntries(const QString& hostFolder, const QString& windowsFolder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(hostFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        raiseSystemError(errno, hostFolder, windowsFolder);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0)
        raiseSystemError(error, hostFolder, windowsFolder);
#else
    // NTFS logs a folder's entries in its own journal: there is no folder
    // handle to flush.
    Q_UNUSED(hostFolder);
    Q_UNUSED(windowsFolder);
#endif
}

} // namespace detail

namespace {

// One file's data on disk; with dropCache its pages then leave the cache, so
// that the next read of it reads what the disk holds.
void syncFile(const QString& hostFile, const QString& windowsFile, bool dropCache)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(hostFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        detail::raiseSystemError(errno, hostFile, windowsFile);
    int error = 0;
    if (::fdatasync(fd) != 0)
        error = errno;
    else if (dropCache)
        // Only advice: where the system keeps the pages, the read-back reads
        // them and the copy is still on disk.
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    if (error)
        detail::raiseSystemError(error, hostFile, windowsFile);
#else
    Q_UNUSED(dropCache);
    QFile file(hostFile);
    errno = 0;
    if (!file.open(QIODevice::ReadWrite))
        detail::raiseSystemError(errno ? errno : EACCES, hostFile, windowsFile);
    if (::_commit(file.handle()) != 0)
        detail::raiseSystemError(errno, hostFile, windowsFile);
#endif
}

// The files first, then the folder that lists them, from the leaves up.
void syncTree(const QString& hostFolder, const QString& windowsFolder, bool dropCache)
{
    const QFileInfoList entries =
        QDir(hostFolder)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        // A link is not what was written here: whatever it points to is left alone.
        if (entry.isSymLink())
            continue;
        const QString windowsEntry = windowsFolder + QLatin1Char('\\') + entry.fileName();
        if (entry.isDir())
            syncTree(entry.filePath(), windowsEntry, dropCache);
        else if (entry.isFile())
            syncFile(entry.filePath(), windowsEntry, dropCache);
    }
    detail::syncFolderEntries(hostFolder, windowsFolder);
}

} // namespace

void SyncFile(const QString& windowsFile, bool dropCache)
{
    syncFile(hostPath(windowsFile), windowsFile, dropCache);
}

void SyncFolder(const QString& windowsFolder, const std::function<void()>& yield, bool dropCache)
{
    QString windows = windowsFolder;
    while (windows.size() > 1 && (windows.endsWith(QLatin1Char('\\')) || windows.endsWith(QLatin1Char('/'))))
        windows.chop(1);
    const QString host = hostPath(windows);
    if (!QFileInfo(host).isDir() || QFileInfo(host).isSymLink())
        detail::raise(err::PathNotFound, windowsFolder);
    // A sync waits for the disk, seconds for a big archive: the window
    // repaints meanwhile.
    rio::detail::runAside(
        [&] {
            syncTree(host, windows, dropCache);
            detail::syncFolderEntries(QFileInfo(host).absolutePath(), detail::windowsParentOf(windows));
        },
        yield);
}

} // namespace rio::fs
