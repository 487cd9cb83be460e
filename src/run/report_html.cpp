#include "run/report_html.h"

#include "run/report_file.h"

#include <QDir>

namespace rio::html {

QString esc(const QString& s)
{
    return s.toHtmlEscaped();
}

QString cell(const QString& s, const char* tag, const char* cls)
{
    const QString attribute = cls ? QStringLiteral(" class=\"%1\"").arg(QLatin1String(cls)) : QString();
    return QStringLiteral("<%1%2>%3</%1>").arg(QLatin1String(tag), attribute, esc(s));
}

QString row(const QStringList& cells, const QString& cls, int firstNumber)
{
    QString r = cls.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"%1\">").arg(cls);
    for (qsizetype i = 0; i < cells.size(); ++i)
        r += cell(cells[i], "td", firstNumber >= 0 && i >= firstNumber ? "num" : nullptr);
    return r + QStringLiteral("</tr>\n");
}

QString header(const QStringList& cells, int firstNumber)
{
    QString r = QStringLiteral("<tr>");
    for (qsizetype i = 0; i < cells.size(); ++i)
        r += cell(cells[i], "th", firstNumber >= 0 && i >= firstNumber ? "num" : nullptr);
    return r + QStringLiteral("</tr>\n");
}

QString yesNo(bool v)
{
    return v ? QStringLiteral("sì") : QStringLiteral("no");
}

QString userName()
{
    for (const char* variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(variable);
        if (!user.isEmpty())
            return user;
    }
    return QDir::home().dirName();
}

QString pageStart(const QString& title)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\">"
               "<title>%1</title>\n<style>"
               "body{font-family:sans-serif;margin:2em;color:#222}"
               "table{border-collapse:collapse;margin:0.5em 0 1.5em}"
               "th,td{border:1px solid #bbb;padding:3px 8px;text-align:left;vertical-align:top}"
               "th{background:#e8eef6}.num{text-align:right;white-space:nowrap}"
               "tr.ko td{background:#f8d0d0}tr.ko td:first-child{font-weight:bold}"
               "tr.warn td{background:#fff2c0}"
               ".headline{font-size:1.3em;padding:0.5em 0.8em;border-radius:4px}"
               ".headline.ok{background:#dff0d8;color:#176b1c}.headline.ko{background:#f8d0d0;color:#b00000}"
               ".headline.warn{background:#fff2c0;color:#8a6d00}"
               "@media print{body{margin:0;font-size:10pt}.company{break-before:page}"
               "tr{break-inside:avoid}th{background:#ddd}}"
               "</style></head><body>\n")
        .arg(esc(title));
}

bool writeFile(const QString& windowsPath, const QByteArray& content, QString* failure)
{
    ReportFile file(windowsPath);
    file.write(content);
    const bool written = file.commit();
    if (failure)
        *failure = file.failure();
    return written;
}

} // namespace rio::html
