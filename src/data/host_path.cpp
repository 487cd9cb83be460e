#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace rio::fs {

#ifdef Q_OS_WIN

QString hostPath(const QString& windowsPath)
{
    return windowsPath;
}

QString driveCFolder()
{
    return {};
}

QString windowsPathOf(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

namespace detail {

QString hostDriveRoot(const QString& windowsPath)
{
    return windowsPath.left(3);
}

} // namespace detail

#else

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// The on-disk name of one component inside an existing folder: the exact
// spelling when present, else the first of the names equal without regard
// to case in code-point order; empty when none exists.
QString resolveComponent(const QString& folder, const QString& name)
{
    if (QFileInfo::exists(folder + QLatin1Char('/') + name))
        return name;
    QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    std::sort(entries.begin(), entries.end());
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return {};
}

// Appends the components to root, each resolved against what exists on disk;
// from the first missing one on, the spelling given is kept.
QString resolveUnder(const QString& root, const QStringList& components)
{
    QStringList kept;
    for (const QString& c : components) {
        if (c.isEmpty() || c == QLatin1String("."))
            continue; // "a\\b" and "a\.\b" name the same folder as "a\b"
        if (c == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept << c;
    }
    QString path = root;
    bool onDisk = QFileInfo(root).isDir();
    for (const QString& c : std::as_const(kept)) {
        QString name = c;
        if (onDisk) {
            const QString found = resolveComponent(path, c);
            if (found.isEmpty())
                onDisk = false;
            else
                name = found;
        }
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += name;
    }
    return path;
}

QStringList splitComponents(QStringView rest)
{
    QStringList parts;
    QString current;
    for (QChar c : rest) {
        if (isSeparator(c)) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

// The folder holding drive_c and its siblings.
QString drivesParent()
{
    return QFileInfo(driveCFolder()).absolutePath();
}

} // namespace

QString driveCFolder()
{
    QString folder = qEnvironmentVariable("RIAPERTURA_DRIVE_C");
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.local/share/riapertura/drive_c");
    return QDir::cleanPath(QDir(folder).absolutePath());
}

namespace {

// The host folder a path starts from and the components that follow it.
struct SplitPath
{
    QString root;
    QStringList components;
};

SplitPath splitPath(const QString& windowsPath)
{
    // \\server\share\rest: server and share are components under unc/.
    if (windowsPath.size() >= 2 && isSeparator(windowsPath[0]) && isSeparator(windowsPath[1]))
        return {drivesParent() + QStringLiteral("/unc"), splitComponents(QStringView(windowsPath).mid(2))};

    // X:\rest (also "X:rest", taken from the root of the drive)
    if (windowsPath.size() >= 2 && windowsPath[1] == QLatin1Char(':') && windowsPath[0].isLetter() &&
        windowsPath[0].unicode() < 128) {
        const QChar letter = windowsPath[0].toLower();
        const QString root =
            letter == QLatin1Char('c') ? driveCFolder() : drivesParent() + QStringLiteral("/drive_") + letter;
        return {root, splitComponents(QStringView(windowsPath).mid(2))};
    }

    // \rest: the root of the current drive, C:
    if (!windowsPath.isEmpty() && isSeparator(windowsPath[0]))
        return {driveCFolder(), splitComponents(windowsPath)};

    // A relative path, from the working folder.
    return {QDir::currentPath(), splitComponents(windowsPath)};
}

} // namespace

QString hostPath(const QString& windowsPath)
{
    if (windowsPath.isEmpty())
        return {};
    const SplitPath split = splitPath(windowsPath);
    return resolveUnder(split.root, split.components);
}

namespace detail {

QString hostDriveRoot(const QString& windowsPath)
{
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == QLatin1Char(':');
    if (windowsPath.isEmpty() || (!hasDrive && !isSeparator(windowsPath[0])))
        return {};
    SplitPath split = splitPath(windowsPath);
    if (!hasDrive && windowsPath.size() >= 2 && isSeparator(windowsPath[1])) {
        // The share is the drive: \\server\share
        split.components.removeAll(QString());
        return resolveUnder(split.root, split.components.mid(0, 2));
    }
    return split.root;
}

} // namespace detail

QString windowsPathOf(const QString& path)
{
    if (path.size() >= 2 && ((path[1] == QLatin1Char(':') && path[0].isLetter() && path[0].unicode() < 128) ||
                             (path[0] == QLatin1Char('\\') && path[1] == QLatin1Char('\\'))))
        return path;
    if (path.isEmpty())
        return {};
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const auto under = [&absolute](const QString& folder, QString* rest) {
        if (absolute.compare(folder, Qt::CaseSensitive) == 0) {
            rest->clear();
            return true;
        }
        if (!absolute.startsWith(folder + QLatin1Char('/')))
            return false;
        *rest = absolute.mid(folder.size() + 1);
        return true;
    };
    QString rest;
    if (under(driveCFolder(), &rest))
        return QStringLiteral("C:\\") +
               QDir::toNativeSeparators(rest).replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString parent = drivesParent();
    if (under(parent + QStringLiteral("/unc"), &rest) && rest.count(QLatin1Char('/')) >= 1)
        return QStringLiteral("\\\\") + rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    for (char letter = 'a'; letter <= 'z'; ++letter)
        if (under(parent + QStringLiteral("/drive_") + QLatin1Char(letter), &rest))
            return QString(QLatin1Char(char(letter - 32))) + QStringLiteral(":\\") +
                   rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return {};
}

#endif

} // namespace rio::fs
