// The links the run or a restore could be led through. The file services
// refuse a link when they meet one; the check names them all before anything
// is written, so that the run does not stop half-way at the first.
#include "context/layout.h"
#include "data/filesystem.h"
#include "run/preliminary_check_archive.h"
#include "run/restore.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace rio {

namespace {

QString linkFinding(const QString& windowsPath, const QString& hostPath)
{
    const QString target = QFileInfo(hostPath).symLinkTarget();
    const QString leads = target.isEmpty() || !QFileInfo::exists(hostPath)
                              ? QStringLiteral("un collegamento che non porta a nulla")
                              : QStringLiteral("un collegamento a %1").arg(target);
    return QStringLiteral("%1 è %2: la riapertura e il ripristino non seguono i collegamenti; toglierlo, o "
                          "mettere al suo posto il file o la cartella vera")
        .arg(windowsPath, leads);
}

QFileInfoList entriesOf(const QString& hostFolder)
{
    return QDir(hostFolder)
        .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// What the file services refuse as a link (a Windows shortcut is a file).
bool isLink(const QFileInfo& entry)
{
    return entry.isSymbolicLink() || entry.isJunction();
}

// Every link under a folder, in name order, without going through any.
void findLinksUnder(Checker& check, const QString& hostFolder, const QString& windowsFolder)
{
    for (const QFileInfo& entry : entriesOf(hostFolder)) {
        const QString windows = windowsFolder + QLatin1Char('\\') + entry.fileName();
        if (isLink(entry))
            check.add(Level::Error, linkFinding(windows, entry.filePath()));
        else if (entry.isDir())
            findLinksUnder(check, entry.filePath(), windows);
    }
}

// The names the run and a restore write under the root: the data folder,
// today's safety copies, the restore's copy in progress and the data folders
// it sets aside.
bool isWrittenName(const QString& name, const QString& todaysCopy)
{
    const auto is = [&](const QString& other) {
        return name.compare(other, Qt::CaseInsensitive) == 0;
    };
    const auto startsWith = [&](const QString& prefix) {
        return name.startsWith(prefix, Qt::CaseInsensitive);
    };
    return is(QStringLiteral("dati")) || is(QLatin1String(RestoreStagingFolder)) ||
           startsWith(QStringLiteral("dati") + QLatin1String(SetAsideSuffix)) || is(todaysCopy) ||
           startsWith(todaysCopy + QLatin1Char('_')) ||
           startsWith(QLatin1String(layout::UnfinishedCopyPrefix));
}

} // namespace

void checkLinks(Checker& check, const QString& base)
{
    const QString hostRoot = fs::hostPath(base);
    const QString todaysCopy = layout::safetyCopyName(QDate::currentDate());
    for (const QFileInfo& entry : entriesOf(hostRoot)) {
        const QString name = entry.fileName();
        if (!isWrittenName(name, todaysCopy))
            continue;
        if (isLink(entry))
            check.add(Level::Error, linkFinding(base + name, entry.filePath()));
        else if (name.compare(QStringLiteral("dati"), Qt::CaseInsensitive) == 0 && entry.isDir())
            findLinksUnder(check, entry.filePath(), base + name);
    }
}

} // namespace rio
