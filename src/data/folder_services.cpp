#include "data/aside_thread.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"
#include "data/manifest.h"
#include "data/sha256.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rio::fs {

using detail::raise;
using detail::raiseSystemError;

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// Names in a folder, dot and dot-dot left out, in code-point order.
QStringList entriesOf(const QString& hostFolder)
{
    QStringList names =
        QDir(hostFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end());
    return names;
}

// The entry of a folder that a name stands for without regard to case: the
// exact spelling first, else the first equal name; empty when none.
QString matchingEntry(const QStringList& entries, const QString& name)
{
    if (entries.contains(name))
        return name;
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    return {};
}

// Windows keeps hidden files out of a listing unless asked; here a name
// starting with "." is hidden.
bool isHidden(const QString& name)
{
    return name.startsWith(QLatin1Char('.'));
}

bool matchesAttributes(const QFileInfo& info, int attributes)
{
    if (isHidden(info.fileName()) && !(attributes & vbHidden))
        return false;
    if (info.isDir())
        return attributes & vbDirectory;
    return info.isFile();
}

// What one folder copy carries down the tree.
struct CopyJob
{
    const std::function<void()>& yield;
    Manifest* manifest;                    // filled when the copy is hashed
    const QStringList* leaveOut = nullptr; // names at the top of the source not copied
};

// The engine's companions of a database file: an interrupted write leaves a
// journal beside it that the engine would play into whatever file next
// stands under that name.
constexpr const char* SideFileSuffixes[] = {"-journal", "-wal", "-shm"};

// Removes the side files of a destination file before it is written over,
// so that a fresh copy never meets an old run's journal.
void removeSideFiles(const QString& hostFolder, const QStringList& entries, const QString& fileName,
                     const QString& windowsFolder)
{
    for (const char* suffix : SideFileSuffixes) {
        const QString side = matchingEntry(entries, fileName + QLatin1String(suffix));
        if (side.isEmpty())
            continue;
        const QString host = hostFolder + QLatin1Char('/') + side;
        if (detail::isLink(host))
            detail::raiseLink(windowsFolder + QLatin1Char('\\') + side);
        if (QFileInfo(host).isDir())
            continue;
        errno = 0;
        if (!QFile::remove(host) && QFileInfo::exists(host))
            raiseSystemError(errno ? errno : EACCES, host, windowsFolder + QLatin1Char('\\') + side);
    }
}

#ifdef Q_OS_LINUX
// Copies from the files' current offsets to the end of the source inside the
// kernel, without the data crossing this process; copied counts the bytes
// done. False when the kernel stops short (it cannot copy between these
// files, or a read or write failed): the rest then goes through read and
// write, which name the file at fault.
bool kernelCopy(int from, int to, qint64& copied)
{
    constexpr size_t Chunk = size_t(16) << 20;
    for (;;) {
        const ssize_t done = ::copy_file_range(from, nullptr, to, nullptr, Chunk, 0);
        if (done > 0)
            copied += done;
        else if (done == 0)
            return true;
        else if (errno != EINTR)
            return false;
    }
}
#endif

QByteArray copyFile(const QString& from, const QString& to, const QString& windowsFrom,
                    const QString& windowsTo, const CopyJob& job)
{
    const std::function<void()>& yield = job.yield;
    std::optional<Sha256> hash;
    if (job.manifest)
        hash.emplace();
    QFile in;
    errno = 0;
    if (!detail::openNoFollow(in, from, QIODevice::ReadOnly, windowsFrom))
        raiseSystemError(errno, from, windowsFrom);
    QFile out;
    errno = 0;
    if (!detail::openNoFollow(out, to, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                              windowsTo))
        raiseSystemError(errno, to, windowsTo);

    bool copied = false;
#ifdef Q_OS_LINUX
    // A hashed copy reads every byte anyway, and hashes it from that read.
    if (!hash) {
        qint64 done = 0;
        copied = kernelCopy(in.handle(), out.handle(), done);
        if (!copied && done > 0 && !(in.seek(done) && out.seek(done)))
            raiseSystemError(EIO, to, windowsTo);
    }
#endif
    constexpr qint64 Chunk = 1 << 20;
    // A yield every 8 MiB keeps the window repainting within a big archive;
    // the window itself processes its messages at most every few tens of ms.
    constexpr int ChunksBetweenYields = 8;
    QByteArray buffer(copied ? 0 : Chunk, Qt::Uninitialized);
    for (int chunk = 1; !copied; ++chunk) {
        errno = 0;
        const qint64 read = in.read(buffer.data(), Chunk);
        if (read < 0)
            raiseSystemError(errno, from, windowsFrom);
        if (read == 0)
            break;
        if (hash)
            hash->add(buffer.constData(), read);
        errno = 0;
        if (out.write(buffer.constData(), read) != read)
            raiseSystemError(errno ? errno : ENOSPC, to, windowsTo);
        if (yield && chunk % ChunksBetweenYields == 0)
            yield();
    }
    // A copy keeps the time of its original, as Windows' copy does.
    out.setFileTime(in.fileTime(QFileDevice::FileModificationTime), QFileDevice::FileModificationTime);
    out.close();
    return hash ? hash->hexDigest() : QByteArray();
}

// Runs a write of the copy: an unhashed copy with a yield writes on the
// worker thread while this one yields, since any write (a file's data, a
// folder's creation) can wait seconds for a disk busy with earlier copies and
// the window would not repaint meanwhile.
void write(const CopyJob& job, const std::function<void()>& work)
{
    if (job.manifest || !job.yield)
        work();
    else
        rio::detail::runAside(work, job.yield);
}

void copyTree(const QString& from, const QString& to, const QString& windowsFrom, const QString& windowsTo,
              const QString& relative, const CopyJob& job)
{
    const std::function<void()>& yield = job.yield;
    if (detail::isLink(from))
        detail::raiseLink(windowsFrom);
    if (detail::isLink(to))
        detail::raiseLink(windowsTo);
    const QFileInfo target(to);
    if (target.exists() && !target.isDir())
        raise(err::PathFileAccess, windowsTo);
    if (!target.exists())
        write(job, [&] {
            errno = 0;
            if (!QDir().mkdir(to))
                raiseSystemError(errno ? errno : ENOENT, to, windowsTo);
        });
    if (!QFileInfo(from).isReadable())
        raise(err::PermissionDenied, windowsFrom);

    const QStringList existing = entriesOf(to);
    for (const QString& name : entriesOf(from)) {
        if (relative.isEmpty() && job.leaveOut && job.leaveOut->contains(name, Qt::CaseInsensitive))
            continue;
        const QFileInfo source(from + QLatin1Char('/') + name);
        const QString present = matchingEntry(existing, name);
        const QString targetName = present.isEmpty() ? name : present;
        const QString hostTarget = to + QLatin1Char('/') + targetName;
        const QString windowsSource = windowsFrom + QLatin1Char('\\') + name;
        const QString windowsTarget = windowsTo + QLatin1Char('\\') + targetName;
        const QString relativeTarget =
            relative.isEmpty() ? targetName : relative + QLatin1Char('/') + targetName;
        if (detail::isLink(source.filePath()))
            detail::raiseLink(windowsSource);
        if (detail::isLink(hostTarget))
            detail::raiseLink(windowsTarget);
        if (source.isDir()) {
            copyTree(source.filePath(), hostTarget, windowsSource, windowsTarget, relativeTarget, job);
        } else if (source.isFile()) {
            if (yield)
                yield();
            if (QFileInfo(hostTarget).isDir())
                raise(err::PathFileAccess, windowsTarget);
            if (job.manifest) {
                removeSideFiles(to, existing, targetName, windowsTo);
                job.manifest->append({relativeTarget, copyFile(source.filePath(), hostTarget, windowsSource,
                                                               windowsTarget, job)});
            } else {
                // The worker thread must not yield.
                static const std::function<void()> noYield;
                const CopyJob plain{noYield, nullptr};
                write(job, [&] {
                    removeSideFiles(to, existing, targetName, windowsTo);
                    copyFile(source.filePath(), hostTarget, windowsSource, windowsTarget, plain);
                });
            }
        }
    }
}

QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && isSeparator(path.back()))
        path.chop(1);
    return path;
}

// The drive of a path must be there (drive C: always is).
void requireDrive(const QString& windowsPath)
{
    const QString root = detail::hostDriveRoot(windowsPath);
    if (!root.isEmpty() && root != driveCFolder() && !QFileInfo(root).isDir())
        raise(err::DeviceUnavailable, windowsPath);
}

} // namespace

bool FolderExists(const QString& windowsPath)
{
    return QFileInfo(hostPath(windowsPath)).isDir();
}

void CopyFolder(const QString& source, const QString& destination, const std::function<void()>& yield,
                Manifest* manifest, const QStringList& leaveOut)
{
    const QString windowsFrom = withoutTrailingSeparators(source);
    QString windowsTo = withoutTrailingSeparators(destination);
    const QString from = hostPath(windowsFrom);
    if (!QFileInfo(from).isDir())
        raise(err::PathNotFound, source);
    // A destination ending in "\" is an existing folder that receives the
    // source folder itself, as with the scripting runtime.
    if (windowsTo.size() < destination.size()) {
        if (!QFileInfo(hostPath(windowsTo)).isDir())
            raise(err::PathNotFound, destination);
        windowsTo += QLatin1Char('\\') + QFileInfo(from).fileName();
    }
    const QString to = hostPath(windowsTo);
    // A copy into its own tree would never end.
    const QString canonicalFrom = QFileInfo(from).canonicalFilePath();
    const QString absoluteTo = QDir::cleanPath(QFileInfo(to).absoluteFilePath());
    if (absoluteTo == canonicalFrom || absoluteTo.startsWith(canonicalFrom + QLatin1Char('/')))
        raise(err::PathFileAccess, destination);
    copyTree(from, to, windowsFrom, windowsTo, QString(), CopyJob{yield, manifest, &leaveOut});
}

bool hasArchiveSideFiles(const QString& windowsArchivePath)
{
    const QString host = hostPath(windowsArchivePath);
    // The shared-memory index alone holds no data to play back.
    for (const char* suffix : {"-journal", "-wal"}) {
        // An empty journal is what a finished write may leave; it is not played back.
        const QFileInfo side(host + QLatin1String(suffix));
        if (side.isFile() && side.size() > 0)
            return true;
    }
    return false;
}

QString Dir(const QString& windowsPath, int attributes)
{
    requireDrive(windowsPath);
    qsizetype cut = windowsPath.size();
    while (cut > 0 && !isSeparator(windowsPath[cut - 1]) && !(cut == 2 && windowsPath[1] == QLatin1Char(':')))
        --cut;
    const QString folder = windowsPath.left(cut);
    QString pattern = windowsPath.mid(cut);
    if (pattern.isEmpty())
        pattern = QStringLiteral("*");
    const QString hostFolder = folder.isEmpty() ? QDir::currentPath() : hostPath(folder);

    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?'))) {
        const QString name = matchingEntry(entriesOf(hostFolder), pattern);
        if (name.isEmpty())
            return {};
        return matchesAttributes(QFileInfo(hostFolder + QLatin1Char('/') + name), attributes) ? name
                                                                                              : QString();
    }

    const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern),
                                      QRegularExpression::CaseInsensitiveOption);
    QStringList names = entriesOf(hostFolder);
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    for (const QString& name : std::as_const(names))
        if (wildcard.match(name).hasMatch() &&
            matchesAttributes(QFileInfo(hostFolder + QLatin1Char('/') + name), attributes))
            return name;
    return {};
}

void MkDir(const QString& windowsPath)
{
    requireDrive(windowsPath);
    const QString host = hostPath(withoutTrailingSeparators(windowsPath));
    if (QFileInfo::exists(host))
        raise(err::PathFileAccess, windowsPath);
    if (!QFileInfo(QFileInfo(host).absolutePath()).isDir())
        raise(err::PathNotFound, windowsPath);
    errno = 0;
    if (!QDir().mkdir(host))
        raiseSystemError(errno ? errno : EACCES, host, windowsPath);
}

void Name(const QString& oldWindowsPath, const QString& newWindowsPath)
{
    requireDrive(oldWindowsPath);
    requireDrive(newWindowsPath);
    const QString from = hostPath(withoutTrailingSeparators(oldWindowsPath));
    const QString to = hostPath(withoutTrailingSeparators(newWindowsPath));
    if (detail::isLink(from))
        detail::raiseLink(oldWindowsPath);
    if (!QFileInfo::exists(from))
        raise(QFileInfo(QFileInfo(from).absolutePath()).isDir() ? err::FileNotFound : err::PathNotFound,
              oldWindowsPath);
    if (detail::isLink(to))
        detail::raiseLink(newWindowsPath);
    // The system would put a folder in place of an empty one of that name.
    if (detail::nameTaken(to))
        raise(err::FileAlreadyExists, newWindowsPath);
    if (detail::hostDriveRoot(oldWindowsPath)
            .compare(detail::hostDriveRoot(newWindowsPath), Qt::CaseInsensitive) != 0)
        raise(err::RenameAcrossDisks, newWindowsPath);
    errno = 0;
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        raiseSystemError(errno ? errno : EACCES, from, oldWindowsPath);
    // A rename is kept in the folder that holds the name: it reaches the
    // disk when that folder is synced.
    detail::syncFolderEntries(QFileInfo(to).absolutePath(), detail::windowsParentOf(newWindowsPath));
    if (QFileInfo(from).absolutePath() != QFileInfo(to).absolutePath())
        detail::syncFolderEntries(QFileInfo(from).absolutePath(), detail::windowsParentOf(oldWindowsPath));
}

} // namespace rio::fs
