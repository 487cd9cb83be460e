#include "data/installation_lock.h"

#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QTime>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rio {

namespace {

QString lockPath(const QString& windowsRoot)
{
    return windowsRoot + QLatin1String(InstallationLockName);
}

std::optional<InstallationLock::Holder> parseHolder(const QByteArray& text)
{
    static const QRegularExpression line(QStringLiteral(R"(^(\d\d:\d\d:\d\d) (\d+)\s*$)"));
    const QRegularExpressionMatch m = line.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return std::nullopt;
    return InstallationLock::Holder{m.captured(1), m.captured(2).toLongLong()};
}

QByteArray holderLine()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toLatin1() + ' ' +
           QByteArray::number(QCoreApplication::applicationPid()) + '\n';
}

#ifdef Q_OS_WIN
// The bytes locked lie past anything the file holds: a locked range cannot be
// read on Windows, and the holder's line must be.
constexpr DWORD LockedOffset = 0x40000000;

HANDLE openLockFile(const QString& host, bool create)
{
    return CreateFileW(reinterpret_cast<const wchar_t*>(host.utf16()), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lockRange(HANDLE file, bool exclusive)
{
    OVERLAPPED at{};
    at.Offset = LockedOffset;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(file, flags, 0, 1, 0, &at);
}

void unlockRange(HANDLE file)
{
    OVERLAPPED at{};
    at.Offset = LockedOffset;
    UnlockFileEx(file, 0, 1, 0, &at);
}

QByteArray readHead(HANDLE file)
{
    char buffer[64];
    DWORD read = 0;
    OVERLAPPED at{};
    if (!ReadFile(file, buffer, sizeof buffer, &read, &at))
        return {};
    return QByteArray(buffer, int(read));
}
#else
QByteArray readHead(int fd)
{
    char buffer[64];
    const ssize_t read = ::pread(fd, buffer, sizeof buffer, 0);
    return read > 0 ? QByteArray(buffer, int(read)) : QByteArray();
}

// The open file is the one the name stands for.
bool sameFile(int fd, const QByteArray& name)
{
    struct stat held = {};
    struct stat named = {};
    return ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}
#endif

// The holder's line: it writes it right after taking the lock, so a process
// that finds the lock taken may read the file before it is written.
template <typename File> InstallationLock::Holder readHolder(File file)
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (const auto holder = parseHolder(readHead(file)))
            return *holder;
        QThread::msleep(25);
    }
    return {QStringLiteral("??:??:??"), 0};
}

} // namespace

std::unique_ptr<InstallationLock> InstallationLock::take(const QString& windowsRoot, Holder* holder)
{
    const QString windowsPath = lockPath(windowsRoot);
    const QString host = fs::hostPath(windowsPath);
    // The lock can be found taken with no holder's line to read: the holder
    // has not written it yet, or a check is looking at the file. A few tries
    // over a second tell those from a run that holds it.
    for (int attempt = 0;; ++attempt) {
#ifdef Q_OS_WIN
        const HANDLE file = openLockFile(host, true);
        if (file == INVALID_HANDLE_VALUE)
            fs::detail::raise(err::PermissionDenied, windowsPath);
        if (lockRange(file, true)) {
            const QByteArray line = holderLine();
            DWORD written = 0;
            SetFilePointer(file, 0, nullptr, FILE_BEGIN);
            SetEndOfFile(file);
            WriteFile(file, line.constData(), DWORD(line.size()), &written, nullptr);
            return std::unique_ptr<InstallationLock>(new InstallationLock(qintptr(file), QString()));
        }
        const std::optional<Holder> found = parseHolder(readHead(file));
        CloseHandle(file);
#else
        const QByteArray name = QFile::encodeName(host);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0)
            fs::detail::raiseSystemError(errno, host, windowsPath);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The last holder removes the file as it lets go: a lock on a
            // file no longer under the name guards nothing.
            if (!sameFile(fd, name)) {
                ::close(fd);
                continue;
            }
            const QByteArray line = holderLine();
            if (::ftruncate(fd, 0) != 0 ||
                ::pwrite(fd, line.constData(), size_t(line.size()), 0) != line.size()) {
                const int error = errno;
                ::close(fd);
                fs::detail::raiseSystemError(error, host, windowsPath);
            }
            return std::unique_ptr<InstallationLock>(new InstallationLock(fd, host));
        }
        const int error = errno;
        if (error != EWOULDBLOCK) {
            ::close(fd);
            fs::detail::raiseSystemError(error, host, windowsPath);
        }
        const std::optional<Holder> found = parseHolder(readHead(fd));
        ::close(fd);
#endif
        if ((found && attempt >= 2) || attempt >= 40) {
            if (holder)
                *holder = found.value_or(Holder{QStringLiteral("??:??:??"), 0});
            return nullptr;
        }
        QThread::msleep(25);
    }
}

std::optional<InstallationLock::Holder> InstallationLock::heldElsewhere(const QString& windowsRoot)
{
    const QString host = fs::hostPath(lockPath(windowsRoot));
    std::optional<Holder> holder;
#ifdef Q_OS_WIN
    const HANDLE file = openLockFile(host, false);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    if (lockRange(file, false))
        unlockRange(file);
    else
        holder = readHolder(file);
    CloseHandle(file);
#else
    const int fd = ::open(QFile::encodeName(host).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        holder = readHolder(fd);
    ::close(fd);
#endif
    if (holder && holder->pid == QCoreApplication::applicationPid())
        return std::nullopt;
    return holder;
}

QString InstallationLock::busyText(const Holder& holder)
{
    return QStringLiteral(
               "Una riapertura o un ripristino è già in corso su questa installazione (avviato alle "
               "%1, processo %2): attendere che finisca.")
        .arg(holder.started)
        .arg(holder.pid);
}

InstallationLock::~InstallationLock()
{
#ifdef Q_OS_WIN
    CloseHandle(HANDLE(m_handle));
#else
    // Removed while still held, and only when the name is still this file:
    // a refused run leaves the root as it found it.
    const QByteArray name = QFile::encodeName(m_hostPath);
    if (sameFile(int(m_handle), name))
        ::unlink(name.constData());
    ::close(int(m_handle));
#endif
}

} // namespace rio
