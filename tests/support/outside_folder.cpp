#include "outside_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

OutsideFolder::OutsideFolder()
{
    if (!m_dir.isValid())
        qFatal("no temporary folder");
    write(path(QStringLiteral("fuori.txt")), "un file di un altro programma\n");
    write(path(QStringLiteral("fuori.mdb")), QByteArray(8192, 'm'));
    write(path(QStringLiteral("cartella/dentro.txt")), "dentro\n");
}

QString OutsideFolder::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.path() + QLatin1Char('/') + relative;
}

QStringList OutsideFolder::state() const
{
    QStringList entries;
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        const QByteArray hash =
            it.fileInfo().isFile() && f.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()
                : QByteArray("-");
        entries << QStringLiteral("%1 %2 %3")
                       .arg(QDir(m_dir.path()).relativeFilePath(file))
                       .arg(it.fileInfo().size())
                       .arg(QString::fromLatin1(hash));
    }
    entries.sort();
    return entries;
}
