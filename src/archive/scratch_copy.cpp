#include "archive/scratch_copy.h"

#include "archive/copy_progress.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace rio {

namespace {

QString markerPath(const QString& root)
{
    return layout::tempFolder(root) + QLatin1String(ScratchMarkerName);
}

// Writes a small text file, never through a link at its name.
void writeText(const QString& windowsPath, const QString& text)
{
    const QString host = fs::hostPath(windowsPath);
    QFile file;
    if (!fs::detail::openNoFollow(file, host, QIODevice::WriteOnly | QIODevice::Truncate, windowsPath))
        fs::detail::raiseSystemError(errno, host, windowsPath);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        fs::detail::raise(err::PathFileAccess, windowsPath);
}

// The scratch folder the marker names; empty when there is no marker, or it
// is not a plain file naming a scratch folder.
QString markedFolder(const QString& root)
{
    const QString host = fs::hostPath(markerPath(root));
    if (fs::detail::isLink(host))
        return {};
    QFile file(host);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString named = QString::fromUtf8(file.read(4096)).trimmed();
    // Only a folder under our own name, whatever the file says.
    if (named.section(QLatin1Char('\\'), -1).compare(QLatin1String(ScratchFolderName), Qt::CaseInsensitive) ==
        0)
        return named;
    return {};
}

void removeMarker(const QString& root)
{
    const QString host = fs::hostPath(markerPath(root));
    if (QFileInfo::exists(host) || fs::detail::isLink(host))
        QFile::remove(host);
}

bool samePath(const QString& a, const QString& b)
{
    return QDir::cleanPath(fs::hostPath(a)) == QDir::cleanPath(fs::hostPath(b));
}

} // namespace

QString scratchFolderIn(const QString& parent)
{
    return parent + QLatin1String(ScratchFolderName);
}

ScratchName scratchNameState(const QString& scratchFolder)
{
    if (!fs::NameTaken(scratchFolder))
        return ScratchName::Free;
    if (fs::IsLink(scratchFolder) || !fs::FolderExists(scratchFolder))
        return ScratchName::Taken;
    const QDir folder(fs::hostPath(scratchFolder));
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entries.isEmpty())
        return ScratchName::Ours; // killed before its sign was written
    const QString sign = folder.filePath(QLatin1String(ScratchSignName));
    const QFileInfo signInfo(sign);
    return signInfo.isFile() && !signInfo.isSymLink() ? ScratchName::Ours : ScratchName::Taken;
}

void makeScratchCopy(RunContext& ctx, const QString& root, const QString& scratchFolder)
{
    // First what leads the next run to the folder, then the folder.
    writeText(markerPath(root), scratchFolder);
    fs::MkDir(scratchFolder);
    writeText(
        scratchFolder + QLatin1Char('\\') + QLatin1String(ScratchSignName),
        QStringLiteral("Copia di lavoro di una simulazione della riapertura di %1: si può cancellare.\r\n")
            .arg(root));
    const QString data = layout::dataFolder(root);
    const QString copy = layout::dataFolder(scratchFolder + QLatin1Char('\\'));
    const qint64 bytes = treeBytes(fs::hostPath(data));
    CopyProgress progress(ctx, bytes);
    fs::CopyFolder(data, copy, progress.yieldWhileCopying(fs::hostPath(copy), 0));
    progress.reached(bytes);
}

bool removeScratchCopy(const QString& root, const QString& scratchFolder)
{
    bool gone = false;
    try {
        switch (scratchNameState(scratchFolder)) {
        case ScratchName::Free:
            gone = true;
            break;
        case ScratchName::Ours:
            gone = fs::RemoveFolder(scratchFolder);
            break;
        case ScratchName::Taken:
            break; // put there since by someone else: not ours to remove
        }
    } catch (const Error&) {
        // A link put in its place since: what it leads to is not ours.
    }
    if (gone && samePath(markedFolder(root), scratchFolder))
        removeMarker(root);
    return gone;
}

void removeScratchLeftovers(RunContext& ctx, const QString& root, const QString& alsoFolder)
{
    QStringList folders{scratchFolderIn(root)};
    for (const QString& other : {markedFolder(root), alsoFolder})
        if (!other.isEmpty() && std::none_of(folders.begin(), folders.end(),
                                             [&](const QString& f) { return samePath(f, other); }))
            folders << other;
    bool allGone = true;
    for (const QString& folder : folders) {
        if (scratchNameState(folder) != ScratchName::Ours)
            continue;
        bool removed = false;
        try {
            removed = fs::RemoveFolder(folder);
        } catch (const Error&) {
            // A link put in its place since: what it leads to is not ours.
        }
        allGone = allGone && removed;
        try {
            ctx.addEventLine(
                removed
                    ? QStringLiteral("Copia di lavoro di una simulazione interrotta rimossa: %1").arg(folder)
                    : QStringLiteral("Impossibile rimuovere la copia di lavoro %1 di una "
                                     "simulazione interrotta: rimuoverla a mano")
                          .arg(folder));
        } catch (const Error&) {
            // The log cannot take it: the screen has it.
        }
    }
    if (allGone && QFileInfo::exists(fs::hostPath(markerPath(root))))
        removeMarker(root);
}

} // namespace rio
