#include "data/workgroup.h"

#include "data/error.h"
#include "data/file_kind.h"
#include "data/filesystem.h"
#include "data/product_schema.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace rio {

namespace {

Error missingWorkgroup(const QString& windowsPath)
{
    return Error(
        err::WorkgroupRefused,
        QStringLiteral("Impossibile avviare l'applicazione. Il file di informazioni del gruppo di lavoro "
                       "'%1' manca o è aperto in modo esclusivo da un altro utente.")
            .arg(windowsPath));
}

Error badAccount(const QString& windowsPath)
{
    return Error(err::WorkgroupRefused,
                 QStringLiteral("Nome account o password non validi (file del gruppo di lavoro '%1').")
                     .arg(windowsPath));
}

enum class Lookup { Unreadable, NoAccount, Found };

// The stored hash of the account, read without ever writing the file.
Lookup storedHash(const QString& hostFile, const QString& user, QString& hash)
{
    static QAtomicInteger<quint64> counter;
    const QString name = QStringLiteral("rio-workgroup-%1").arg(counter.fetchAndAddRelaxed(1));
    Lookup result = Lookup::Unreadable;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        db.setDatabaseName(sqliteUri(hostFile, QStringLiteral("ro")));
        if (db.open()) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (q.prepare(QStringLiteral("select password_sha256 from accounts where name = ?"))) {
                q.addBindValue(user);
                if (q.exec()) {
                    if (q.next()) {
                        hash = q.value(0).toString();
                        result = Lookup::Found;
                    } else {
                        result = Lookup::NoAccount;
                    }
                }
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

void checkWorkgroup(const QString& windowsPath, const QString& user, const QString& password)
{
    const QString hostFile = fs::hostPath(windowsPath);
    if (windowsPath.trimmed().isEmpty() || !QFileInfo(hostFile).isFile())
        throw missingWorkgroup(windowsPath);
    const FileKind kind = fileKind(hostFile);
#ifdef Q_OS_WIN
    // A real workgroup file: the Access driver checks the account itself.
    if (kind == FileKind::Jet)
        return;
#endif
    if (kind != FileKind::Sqlite)
        throw missingWorkgroup(windowsPath);
    QString hash;
    switch (storedHash(hostFile, user, hash)) {
    case Lookup::Unreadable:
        throw missingWorkgroup(windowsPath);
    case Lookup::NoAccount:
        throw badAccount(windowsPath);
    case Lookup::Found:
        break;
    }
    if (hash.trimmed().toLower() != schema::passwordHash(password))
        throw badAccount(windowsPath);
}

} // namespace rio
