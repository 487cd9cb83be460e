#include "archive_dump.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <iterator>
#include <stdexcept>

Fingerprint withoutTmp(Fingerprint files)
{
    for (auto it = files.begin(); it != files.end();)
        it =
            it.key().startsWith(QLatin1String("tmp/"), Qt::CaseInsensitive) ? files.erase(it) : std::next(it);
    return files;
}

QString differences(const Fingerprint& before, const Fingerprint& after)
{
    QStringList changed;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (after.value(it.key()) != it.value())
            changed << it.key();
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            changed << QStringLiteral("+") + it.key();
    return changed.join(QStringLiteral(", "));
}

Dump dumpArchive(const QString& file)
{
    const QString connection = QStringLiteral("dump");
    struct Release
    {
        QString name;
        ~Release() { QSqlDatabase::removeDatabase(name); }
    } release{connection};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    QSqlQuery q(db);
    const auto exec = [&](const QString& sql) {
        if (!q.exec(sql))
            throw std::runtime_error(q.lastError().text().toStdString());
    };
    const auto fromClock = [](const QString& table, const QString& column) {
        return (table.compare(QLatin1String("MOV_MAG"), Qt::CaseInsensitive) == 0 &&
                column.compare(QLatin1String("oRAMov"), Qt::CaseInsensitive) == 0) ||
               (table.compare(QLatin1String("MOV_CONT"), Qt::CaseInsensitive) == 0 &&
                column.compare(QLatin1String("UltimoAggiornamento"), Qt::CaseInsensitive) == 0);
    };

    Dump dump;
    exec(QStringLiteral("select name, sql from sqlite_master where type = 'table' order by name"));
    while (q.next())
        dump.insert(q.value(0).toString(), {q.value(1).toString()});
    for (auto table = dump.begin(); table != dump.end(); ++table) {
        exec(QStringLiteral("select rowid, * from \"%1\" order by rowid").arg(table.key()));
        const QSqlRecord record = q.record();
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < record.count(); ++i) {
                const QVariant v = q.value(i);
                if (i > 0 && fromClock(table.key(), record.fieldName(i)))
                    continue;
                cells << (v.isNull()                            ? QStringLiteral("NULL")
                          : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                : v.toString());
            }
            table->append(cells.join(QLatin1Char('|')));
        }
    }
    q.finish();
    return dump;
}

QString firstDifference(const Dump& got, const Dump& expected)
{
    if (got.keys() != expected.keys())
        return QStringLiteral("tables %1, expected %2")
            .arg(got.keys().join(QLatin1Char(' ')), expected.keys().join(QLatin1Char(' ')));
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QStringList& rows = got[it.key()];
        for (qsizetype i = 0; i < std::max(rows.size(), it->size()); ++i)
            if (rows.value(i) != it->value(i))
                return QStringLiteral("%1 line %2 (%3 rows, expected %4): \"%5\", expected \"%6\"")
                    .arg(it.key())
                    .arg(i)
                    .arg(rows.size() - 1)
                    .arg(it->size() - 1)
                    .arg(rows.value(i).left(200), it->value(i).left(200));
    }
    return {};
}
