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

QString identity(const QFile& file)
{
    const QString canonical = QFileInfo(file).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(file).absoluteFilePath() : canonical;
}

} // namespace

LogFile::LogFile(const QString& windowsPath) : m_windowsPath(windowsPath)
{
    const QString host = hostPath(windowsPath);
    if (QFileInfo(host).isDir())
        detail::raise(err::PathFileAccess, windowsPath);
    auto file = std::make_unique<QFile>(host);
    if (QFileInfo::exists(host) && openLogs().contains(identity(*file)))
        detail::raise(err::FileAlreadyOpen, windowsPath);
    errno = 0;
    // Unbuffered: every line goes to the system as it is written, so the log
    // is complete however the program ends.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        detail::raiseSystemError(errno ? errno : ENOENT, host, windowsPath);
    openLogs().insert(identity(*file));
    m_file = std::move(file);
}

LogFile::~LogFile()
{
    close();
}

void LogFile::writeLine(const QString& text)
{
    if (!isOpen())
        detail::raise(err::BadFileNameOrNumber, m_windowsPath);
    const QByteArray line = '"' + toWindows1252(text) + "\"\r\n";
    errno = 0;
    if (m_file->write(line) != line.size())
        detail::raiseSystemError(errno ? errno : ENOSPC, m_file->fileName(), m_windowsPath);
}

void LogFile::close()
{
    if (!m_file)
        return;
    openLogs().remove(identity(*m_file));
    m_file->close();
    m_file.reset();
}

bool LogFile::isOpen() const
{
    return m_file && m_file->isOpen();
}

} // namespace rio::fs
