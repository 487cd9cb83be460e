#include "data/engine_errors.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace rio::engine {

Error noCurrentRecord()
{
    return Error(err::NoCurrentRecord,
                 QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                "deleted. Requested operation requires a current record."));
}

Error noRowIn(const QString& table, const QString& archive)
{
    if (table.isEmpty())
        return noCurrentRecord();
    QString text = QStringLiteral("Nessuna riga trovata nella tabella %1").arg(table);
    if (!archive.isEmpty())
        text += QStringLiteral(" dell'archivio %1").arg(archive);
    return Error(err::NoCurrentRecord,
                 text + QStringLiteral(": la tabella è vuota o la riga cercata manca."));
}

Error itemNotFound()
{
    return Error(err::ItemNotFound,
                 QStringLiteral("Item cannot be found in the collection corresponding to the "
                                "requested name or ordinal."));
}

Error objectClosed()
{
    return Error(err::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

Error objectOpen()
{
    return Error(3705, QStringLiteral("Operation is not allowed when the object is open."));
}

namespace {

// The engine's own words, without the prefix a driver adds.
QString engineText(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    // SQLite through ODBC ends its message with " (<code>)".
    static const QRegularExpression code(QStringLiteral("\\s*\\(\\d+\\)$"));
    static const QRegularExpression driverTag(QStringLiteral("^\\[[^\\]]*\\]"));
    text.remove(code);
    text.remove(driverTag);
    return text.isEmpty() ? QStringLiteral("Errore del motore di database.") : text;
}

QString nameAfter(const QString& text, const QString& marker)
{
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    return text.mid(at + marker.size()).trimmed();
}

// The engine's common failures as the user can act on them; others keep the
// engine's words.
QString explained(const QString& text, const QString& archive)
{
    const QString file =
        archive.isEmpty() ? QStringLiteral("L'archivio") : QStringLiteral("L'archivio %1").arg(archive);
    const auto has = [&text](const char* words) {
        return text.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    if (has("database is locked") || has("database table is locked"))
        return file + QStringLiteral(
                          " è in uso da un altro programma: chiudere il programma che lo usa e riprovare.");
    if (has("readonly database"))
        return file + QStringLiteral(" è in sola lettura: non può essere modificato.");
    if (has("unable to open database file"))
        return file + QStringLiteral(" non si può aprire (cartella mancante o non accessibile).");
    // SQLite says "disk I/O error" for its whole family of read, write,
    // sync and lock failures; Jet says "Disk or network error".
    if (has("disk I/O error") || has("disk or network error"))
        return QStringLiteral("Errore di lettura o scrittura sul disco: ") +
               (archive.isEmpty() ? QStringLiteral("l'archivio") : archive);
    if (has("database or disk is full"))
        return QStringLiteral("Disco pieno: ") +
               (archive.isEmpty() ? QStringLiteral("l'archivio") : archive) +
               QStringLiteral(" non può essere scritto.");
    if (has("malformed") || has("file is not a database"))
        return file + QStringLiteral(" è danneggiato: ripristinare la copia di sicurezza.");
    return text;
}

} // namespace

Error fromSqlError(const QSqlError& error, const Connection& connection)
{
    const Connection::Driver driver = connection.driver();
    const QString text = engineText(error);
    bool missingTable = false;
    bool unknownColumn = false;
    if (driver == Connection::Driver::OdbcAccess) {
        const QString native = error.nativeErrorCode().trimmed();
        missingTable = native == QLatin1String("-1305");
        unknownColumn = native == QLatin1String("-3010");
    } else {
        missingTable = text.contains(QLatin1String("no such table"), Qt::CaseInsensitive);
        unknownColumn = text.contains(QLatin1String("no such column"), Qt::CaseInsensitive);
    }
    if (missingTable) {
        const QString table = nameAfter(text, QStringLiteral("no such table:"));
        if (table.isEmpty())
            return Error(err::NoTable, text);
        return Error(err::NoTable,
                     QStringLiteral("Impossibile trovare la tabella o la query di input '%1'. "
                                    "Verificare che esista e che il nome sia digitato correttamente.")
                         .arg(table));
    }
    if (unknownColumn) {
        const QString column = nameAfter(text, QStringLiteral("no such column:"));
        if (column.isEmpty())
            return Error(err::UnknownColumn, text);
        return Error(err::UnknownColumn,
                     QStringLiteral("Nessun valore specificato per uno o più parametri necessari (campo "
                                    "sconosciuto '%1').")
                         .arg(column));
    }
    return Error(err::EngineFailure, explained(text, connection.windowsFilePath()));
}

Error fromEngineHandle(sqlite3* handle, int code, const Connection& connection)
{
    return fromSqlError(QSqlError(QStringLiteral("Unable to execute statement"),
                                  QString::fromUtf8(sqlite3_errmsg(handle)), QSqlError::StatementError,
                                  QString::number(code)),
                        connection);
}

} // namespace rio::engine
