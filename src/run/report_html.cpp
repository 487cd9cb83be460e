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

QString rowHtml(const QStringList& htmlCells, const QString& cls, int firstNumber)
{
    QString r = cls.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"%1\">").arg(cls);
    for (qsizetype i = 0; i < htmlCells.size(); ++i)
        r += (firstNumber >= 0 && i >= firstNumber ? QStringLiteral("<td class=\"num\">")
                                                   : QStringLiteral("<td>")) +
             htmlCells[i] + QStringLiteral("</td>");
    return r + QStringLiteral("</tr>\n");
}

QString tableStart(const QStringList& cells, int firstNumber, const QString& caption)
{
    QString h = QStringLiteral("<table>\n<thead>\n");
    if (!caption.isEmpty())
        h += QStringLiteral("<tr class=\"caption\"><th colspan=\"%1\">%2</th></tr>\n")
                 .arg(cells.size())
                 .arg(esc(caption));
    return h + header(cells, firstNumber) + QStringLiteral("</thead>\n<tbody>\n");
}

QString tableEnd()
{
    return QStringLiteral("</tbody>\n</table>\n");
}

QString named(const QString& plain, const QString& id)
{
    if (id.isEmpty() || id == plain)
        return esc(plain);
    return esc(plain) + QStringLiteral(" <span class=\"id\">") + esc(id) + QStringLiteral("</span>");
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
               ".id{font-size:0.75em;color:#666;font-family:monospace}"
               ".code{white-space:pre;font-family:monospace}"
               "tr.total td{font-weight:bold;border-top:2px solid #888}"
               ".todo{background:#fff8dc;border-left:4px solid #e0b000;padding:0.4em 0.8em;max-width:60em}"
               "tr.caption th{background:#fff;font-size:0.9em;text-align:left}"
               "@media screen{tr.caption{display:none}}"
               "@page{size:A4;margin:14mm 12mm 16mm;"
               "@bottom-right{content:\"Pagina \" counter(page) \" di \" counter(pages);font-size:8pt}}"
               "@media print{body{margin:0;font-size:9pt}.company{break-before:page}"
               "table{width:100%}thead{display:table-header-group}tr,td,th{break-inside:avoid}"
               "h1,h2,h3,.todo{break-after:avoid}th{background:#ddd}"
               "tr.caption th{background:#fff}}"
               "</style></head><body>\n")
        .arg(esc(title));
}

bool writeFile(const QString& windowsPath, const QByteArray& content, QString* failure,
               const std::function<void()>& whileWaiting)
{
    ReportFile file(windowsPath);
    file.write(content);
    const bool written = file.commit(whileWaiting);
    if (failure)
        *failure = file.failure();
    return written;
}

} // namespace rio::html
