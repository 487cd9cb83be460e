#include "data/error.h"
#include "data/fs_detail.h"

#include <QFileInfo>

#include <cerrno>

namespace rio::fs::detail {

namespace {

QString description(qint64 number)
{
    switch (number) {
    case err::BadFileNameOrNumber:
        return QStringLiteral("Nome o numero di file non valido");
    case err::FileNotFound:
        return QStringLiteral("Impossibile trovare il file");
    case err::FileAlreadyOpen:
        return QStringLiteral("File già aperto");
    case err::FileAlreadyExists:
        return QStringLiteral("File già esistente");
    case err::DiskFull:
        return QStringLiteral("Disco pieno");
    case err::DeviceUnavailable:
        return QStringLiteral("Periferica non disponibile");
    case err::PermissionDenied:
        return QStringLiteral("Autorizzazione negata");
    case err::PathNotFound:
        return QStringLiteral("Impossibile trovare il percorso");
    case err::RenameAcrossDisks:
        return QStringLiteral("Impossibile rinominare con un'unità disco differente");
    default:
        return QStringLiteral("Errore di accesso al percorso/file");
    }
}

} // namespace

void raise(qint64 number, const QString& windowsPath)
{
    QString text = description(number);
    if (!windowsPath.isEmpty())
        text += QStringLiteral(": ") + windowsPath;
    throw Error(number, text);
}

void raiseSystemError(int systemError, const QString& hostFile, const QString& windowsPath)
{
    switch (systemError) {
    case ENOENT:
        // A missing file in an existing folder, or a folder missing on the way.
        raise(QFileInfo(QFileInfo(hostFile).absolutePath()).isDir() ? err::FileNotFound : err::PathNotFound,
              windowsPath);
    case ENOTDIR:
        raise(err::PathNotFound, windowsPath);
    case EACCES:
    case EPERM:
    case EROFS:
        raise(err::PermissionDenied, windowsPath);
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        raise(err::DiskFull, windowsPath);
    case EEXIST:
    case ENOTEMPTY:
        raise(err::FileAlreadyExists, windowsPath);
    case EXDEV:
        raise(err::RenameAcrossDisks, windowsPath);
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        raise(err::FileAlreadyOpen, windowsPath);
    default:
        raise(err::PathFileAccess, windowsPath);
    }
}

} // namespace rio::fs::detail
