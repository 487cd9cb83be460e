#include "data/storage_class.h"

#include <QRegularExpression>

namespace rio::storage {

namespace {

QString quoted(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString withoutTrailingSemicolons(QString sql)
{
    sql = sql.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql = sql.chopped(1).trimmed();
    return sql;
}

} // namespace

bool isSelect(const QString& sql)
{
    static const QRegularExpression select(QStringLiteral("^\\s*\\(*\\s*(select|with|values)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return select.match(sql).hasMatch();
}

int parameterCount(const QString& sql)
{
    int count = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('['))
            quote = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        else if (c == QLatin1Char('?'))
            ++count;
    }
    return count;
}

QString probe(const QString& sql)
{
    return QStringLiteral("select * from (") + withoutTrailingSemicolons(sql) + QStringLiteral(") limit 0");
}

QString wrapped(const QString& sql, const QStringList& columns)
{
    QStringList list;
    for (const QString& column : columns) {
        const QString c = quoted(column);
        list << QStringLiteral("typeof(%1)").arg(c)
             << QStringLiteral("case typeof(%1) when 'real' then printf('%.17g', %1) else %1 end").arg(c);
    }
    return QStringLiteral("select ") + list.join(QStringLiteral(", ")) + QStringLiteral(" from (") +
           withoutTrailingSemicolons(sql) + QLatin1Char(')');
}

QVariant rebuild(const QString& storageClass, const QVariant& text)
{
    if (storageClass == QLatin1String("integer"))
        return text.toString().toLongLong();
    if (storageClass == QLatin1String("real"))
        return text.toString().toDouble();
    if (storageClass == QLatin1String("text"))
        return text.isNull() ? QVariant(QString(0, QChar())) : QVariant(text.toString());
    if (storageClass == QLatin1String("blob"))
        return text.toByteArray();
    return QVariant();
}

} // namespace rio::storage
