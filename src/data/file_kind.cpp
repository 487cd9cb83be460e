#include "data/file_kind.h"

#include <QFile>
#include <QUrl>

namespace rio {

FileKind fileKind(const QString& hostFile)
{
    QFile file(hostFile);
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::Unknown;
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return FileKind::Sqlite;
    // Jet 3/4 and ACE files name their engine after four bytes.
    if (head.mid(4).startsWith("Standard Jet DB") || head.mid(4).startsWith("Standard ACE DB"))
        return FileKind::Jet;
    return FileKind::Unknown;
}

QString sqliteUri(const QString& hostFile, const QString& mode)
{
    // The URL encoding keeps "%", "#" and "?" in the path from being read as
    // parts of the URI.
    return QString::fromUtf8(QUrl::fromLocalFile(hostFile).toEncoded()) + QStringLiteral("?mode=") + mode;
}

} // namespace rio
