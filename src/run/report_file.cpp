#include "run/report_file.h"

#include "data/aside_thread.h"
#include "data/filesystem.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_WIN
#include <filesystem>
#include <system_error>
#endif

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rio {

namespace {

// The file's bytes on the disk, not only in the system's cache; an error
// number, 0 when synced.
int syncFile(QFile& file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0 ? 0 : errno;
#else
    return ::fsync(file.handle()) == 0 ? 0 : errno;
#endif
}

// A rename reaches the disk with the folder that holds the name.
int syncFolder(const QString& hostFolder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(hostFolder);
    return 0; // the rename is written through by the system
#else
    const int fd = ::open(QFile::encodeName(hostFolder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
#endif
}

// Gives the file its final name, over a file of that name; an error number,
// 0 when renamed.
int renameOver(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdWString()),
                            std::filesystem::path(to.toStdWString()), error);
    return error ? (error.value() ? error.value() : EIO) : 0;
#else
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
#endif
}

QString failureText(int error)
{
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("disco pieno");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("scrittura non permessa");
    default:
        return QStringLiteral("errore di lettura o scrittura sul disco");
    }
}

} // namespace

ReportFile::ReportFile(const QString& windowsPath)
    : m_windowsPath(windowsPath), m_final(fs::hostPath(windowsPath)),
      m_file(m_final + QStringLiteral(".parziale"))
{
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(errno);
}

ReportFile::~ReportFile()
{
    if (m_committed)
        return;
    m_file.close();
    QFile::remove(m_file.fileName());
}

void ReportFile::write(const QByteArray& bytes)
{
    if (!m_failure.isEmpty())
        return;
    errno = 0;
    if (m_file.write(bytes) != bytes.size())
        fail(errno);
}

bool ReportFile::commit(const std::function<void()>& whileWaiting)
{
    detail::runAside(
        [this] {
            if (m_failure.isEmpty()) {
                errno = 0;
                if (!m_file.flush())
                    fail(errno);
            }
            if (m_failure.isEmpty())
                if (const int error = syncFile(m_file))
                    fail(error);
        },
        whileWaiting);
    m_file.close();
    if (m_failure.isEmpty())
        if (const int error = renameOver(m_file.fileName(), m_final))
            fail(error);
    if (!m_failure.isEmpty()) {
        QFile::remove(m_file.fileName());
        return false;
    }
    m_committed = true;
    // A name that may not survive a power cut is no file the user can count
    // on: it goes, and the failure says so.
    int folderError = 0;
    detail::runAside([this, &folderError] { folderError = syncFolder(QFileInfo(m_final).absolutePath()); },
                     whileWaiting);
    if (const int error = folderError) {
        fail(error);
        QFile::remove(m_final);
        return false;
    }
    return true;
}

void ReportFile::fail(int error)
{
    if (m_failure.isEmpty())
        m_failure = failureText(error ? error : EIO);
}

QStringList leftoverReportFileNames(const QString& windowsFolder)
{
    const QDir folder(fs::hostPath(windowsFolder));
    QStringList names = folder.entryList({QStringLiteral("verifica_Riapertura_*.parziale"),
                                          QStringLiteral("simulazione_Riapertura_*.parziale")},
                                         QDir::AllEntries | QDir::System | QDir::Hidden);
    // Files and links alike; a real folder of that name is not ours.
    names.removeIf([&folder](const QString& name) {
        const QFileInfo entry(folder.filePath(name));
        return entry.isDir() && !entry.isSymLink();
    });
    return names;
}

QStringList removeLeftoverReportFiles(const QString& windowsFolder)
{
    QStringList removed;
    const QDir folder(fs::hostPath(windowsFolder));
    // Removing a name never follows it.
    for (const QString& name : leftoverReportFileNames(windowsFolder))
        if (QFile::remove(folder.filePath(name)))
            removed << (windowsFolder.endsWith(QLatin1Char('\\')) ? windowsFolder
                                                                  : windowsFolder + QLatin1Char('\\')) +
                           name;
    return removed;
}

} // namespace rio
