#include "data/manifest.h"

#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"
#include "data/sha256.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <unistd.h>
#else
#include <io.h>
#endif

namespace rio::fs {

namespace {

QString manifestWindowsPath(const QString& windowsFolder)
{
    QString folder = windowsFolder;
    if (!folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('\\');
    return folder + QLatin1String(ManifestFileName);
}

bool isHexDigest(const QByteArray& text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

QByteArray unescaped(const QByteArray& path)
{
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size()) {
            ++i;
            out += path[i] == 'n' ? '\n' : path[i];
        } else {
            out += path[i];
        }
    }
    return out;
}

} // namespace

QByteArray manifestText(const Manifest& manifest)
{
    QByteArray text;
    for (const ManifestEntry& e : manifest) {
        QByteArray path = e.path.toUtf8();
        const bool escape = path.contains('\\') || path.contains('\n');
        if (escape)
            path.replace('\\', "\\\\").replace('\n', "\\n");
        text += (escape ? "\\" : "") + e.sha256.toLower() + "  " + path + '\n';
    }
    return text;
}

Manifest parseManifest(const QByteArray& text)
{
    Manifest manifest;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const bool escaped = line.startsWith('\\');
        if (escaped)
            line.remove(0, 1);
        const QByteArray hash = line.left(64);
        const QByteArray separator = line.mid(64, 2);
        if (!isHexDigest(hash) || (separator != "  " && separator != " *") || line.size() <= 66)
            continue;
        const QByteArray path = line.mid(66);
        manifest.append({QString::fromUtf8(escaped ? unescaped(path) : path), hash.toLower()});
    }
    return manifest;
}

void writeManifest(const QString& windowsFolder, const Manifest& manifest)
{
    const QString windowsPath = manifestWindowsPath(windowsFolder);
    const QString host = hostPath(windowsPath);
    QFile out(host);
    errno = 0;
    if (!detail::openNoFollow(out, host, QIODevice::WriteOnly | QIODevice::Truncate, windowsPath))
        detail::raiseSystemError(errno, host, windowsPath);
    const QByteArray text = manifestText(manifest);
    errno = 0;
    if (out.write(text) != text.size() || !out.flush())
        detail::raiseSystemError(errno ? errno : ENOSPC, host, windowsPath);
        // A flush hands the text to the system only: a power cut leaves a
        // manifest of 0 bytes, and the copy could not be checked.
#ifndef Q_OS_WIN
    if (::fdatasync(out.handle()) != 0)
#else
    if (::_commit(out.handle()) != 0)
#endif
        detail::raiseSystemError(errno, host, windowsPath);
    out.close();
    detail::syncFolderEntries(QFileInfo(host).absolutePath(), windowsFolder);
}

Manifest readManifest(const QString& windowsFolder)
{
    const QString windowsPath = manifestWindowsPath(windowsFolder);
    const QString host = hostPath(windowsPath);
    QFile in(host);
    errno = 0;
    if (!QFileInfo(host).isFile())
        detail::raise(err::FileNotFound, windowsPath);
    if (!in.open(QIODevice::ReadOnly))
        detail::raiseSystemError(errno, host, windowsPath);
    return parseManifest(in.readAll());
}

QStringList verifyManifest(const QString& windowsFolder, const Manifest& manifest,
                           const std::function<void()>& yield)
{
    QString folder = windowsFolder;
    while (folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    const QString hostFolder = hostPath(folder);
    QStringList problems;
    for (const ManifestEntry& e : manifest) {
        const QString host = hostFolder + QLatin1Char('/') + e.path;
        const QString windowsPath =
            folder + QLatin1Char('\\') + QString(e.path).replace(QLatin1Char('/'), QLatin1Char('\\'));
        // A manifest names files inside its copy only.
        if (e.path.startsWith(QLatin1Char('/')) ||
            e.path.split(QLatin1Char('/')).contains(QStringLiteral(".."))) {
            problems << e.path + QStringLiteral(" (percorso non valido)");
            continue;
        }
        if (!QFileInfo(host).isFile()) {
            problems << e.path + QStringLiteral(" (mancante)");
            continue;
        }
        if (sha256OfFile(host, windowsPath, yield) != e.sha256)
            problems << e.path + QStringLiteral(" (contenuto diverso)");
        if (yield)
            yield();
    }
    return problems;
}

} // namespace rio::fs
