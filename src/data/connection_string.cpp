#include "data/connection_string.h"

#include <QHash>

namespace rio {

namespace {

// Splits the text into key/value pairs; later keys win, as in OLE DB.
QHash<QString, QString> attributes(const QString& text)
{
    QHash<QString, QString> out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        qsizetype j = eq + 1;
        while (j < n && text.at(j).isSpace())
            ++j;
        QString value;
        if (j < n && (text.at(j) == QLatin1Char('"') || text.at(j) == QLatin1Char('\''))) {
            const QChar quote = text.at(j);
            ++j;
            while (j < n) {
                if (text.at(j) == quote) {
                    if (j + 1 < n && text.at(j + 1) == quote) {
                        value += quote;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text.at(j++);
            }
            const qsizetype semi = text.indexOf(QLatin1Char(';'), j);
            i = semi < 0 ? n : semi + 1;
        } else {
            const qsizetype semi = text.indexOf(QLatin1Char(';'), j);
            const qsizetype end = semi < 0 ? n : semi;
            value = text.mid(j, end - j).trimmed();
            i = end + 1;
        }
        if (!key.isEmpty())
            out.insert(key, value);
    }
    return out;
}

} // namespace

JetConnectionString parseJetConnectionString(const QString& text)
{
    const QHash<QString, QString> a = attributes(text);
    JetConnectionString c;
    c.provider = a.value(QStringLiteral("provider"));
    c.userId = a.value(QStringLiteral("user id"));
    c.password = a.value(QStringLiteral("password"));
    c.dataSource = a.value(QStringLiteral("data source"));
    c.systemDatabase = a.value(QStringLiteral("jet oledb:system database"));
    return c;
}

QString odbcAttribute(const QString& key, const QString& value)
{
    const bool braced = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                        value.contains(QLatin1Char('}')) || value.startsWith(QLatin1Char(' ')) ||
                        value.endsWith(QLatin1Char(' '));
    if (!braced)
        return key + QLatin1Char('=') + value + QLatin1Char(';');
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return key + QStringLiteral("={") + escaped + QStringLiteral("};");
}

QString accessOdbcConnectionString(const QString& file, const QString& workgroup, const QString& user,
                                   const QString& password)
{
    return QStringLiteral("Driver={Microsoft Access Driver (*.mdb, *.accdb)};") +
           odbcAttribute(QStringLiteral("DBQ"), file) + odbcAttribute(QStringLiteral("SystemDB"), workgroup) +
           odbcAttribute(QStringLiteral("UID"), user) + odbcAttribute(QStringLiteral("PWD"), password);
}

QString sqliteOdbcConnectionString(const QString& file, int timeoutMs)
{
    // NoCreat: never make a missing file; BigInt: whole numbers keep 64 bits;
    // StepAPI: columns without a declared type read as text.
    return QStringLiteral("Driver=SQLite3;") + odbcAttribute(QStringLiteral("Database"), file) +
           odbcAttribute(QStringLiteral("Timeout"), QString::number(timeoutMs)) +
           QStringLiteral("NoCreat=1;BigInt=1;StepAPI=1;");
}

} // namespace rio
