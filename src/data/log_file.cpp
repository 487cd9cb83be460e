#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QFileInfo>
#include <QSet>

#include <cerrno>

namespace rio::fs {

namespace {

// Host files this program holds open for appending: opening one a second
// time is "File already open", as with the run time.
QSet<QString>& openLogs()
{
    static QSet<QString> logs;
    return logs;
}

QString identity(const QString& hostFile)
{
    const QString canonical = QFileInfo(hostFile).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(hostFile).absoluteFilePath() : canonical;
}

} // namespace

LogFile::LogFile(const QString& windowsPath) : m_windowsPath(windowsPath)
{
    const QString host = hostPath(windowsPath);
    if (detail::isLink(host))
        detail::raiseLink(windowsPath);
    if (QFileInfo(host).isDir())
        detail::raise(err::PathFileAccess, windowsPath);
    auto file = std::make_unique<QFile>();
    if (QFileInfo::exists(host) && openLogs().contains(identity(host)))
        detail::raise(err::FileAlreadyOpen, windowsPath);
    errno = 0;
    // Unbuffered: what flush() writes goes to the system at once, so the log
    // is complete however the program ends, but for lines of a flow still held.
    if (!detail::openNoFollow(*file, host, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                              windowsPath))
        detail::raiseSystemError(errno ? errno : ENOENT, host, windowsPath);
    // The file opened without a link on the way is the one its name gives.
    m_identity = identity(host);
    openLogs().insert(m_identity);
    m_file = std::move(file);
}

LogFile::~LogFile()
{
    close();
}

namespace {

// How much may wait in memory.
constexpr qsizetype HoldBytes = 64 * 1024;

} // namespace

void LogFile::writeLine(const QString& text, Timing timing)
{
    if (!isOpen())
        detail::raise(err::BadFileNameOrNumber, m_windowsPath);
    const QByteArray line = '"' + toWindows1252(text) + "\"\r\n";
    if (timing == Timing::AtOnce) {
        // Those waiting first, in a write of their own: this line starts its write.
        flush();
        m_held = line;
        flush();
        return;
    }
    m_held += line;
    if (m_held.size() >= HoldBytes)
        flush();
}

void LogFile::flush()
{
    if (!isOpen())
        detail::raise(err::BadFileNameOrNumber, m_windowsPath);
    if (m_held.isEmpty())
        return;
    errno = 0;
    const qint64 written = m_file->write(m_held);
    if (written > 0)
        m_held.remove(0, written);
    if (!m_held.isEmpty())
        detail::raiseSystemError(errno ? errno : ENOSPC, m_identity, m_windowsPath);
}

void LogFile::close()
{
    if (!m_file)
        return;
    if (!m_held.isEmpty())
        m_file->write(m_held); // closing goes on whatever happens
    m_held.clear();
    openLogs().remove(m_identity);
    m_file->close();
    m_file.reset();
}

bool LogFile::isOpen() const
{
    return m_file && m_file->isOpen();
}

} // namespace rio::fs
