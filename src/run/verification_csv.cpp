// The two spreadsheets beside the report: the stock per article and
// warehouse, and the open items of the old year beside what became of them in the new year.
// Columns are only ever added at the end: spreadsheets made on the first
// ones keep working.
//
// A line per warehouse and per item: each line is written straight as UTF-8
// bytes, with no text object per cell.
#include "context/years.h"
#include "run/company_choice.h"
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_read.h"

#include <initializer_list>

namespace rio {

namespace {

bool isSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// Appends s as UTF-8, each '"' doubled when quoted. Without surrogates: a
// text that has them goes through Qt's own conversion.
void appendUtf8(QByteArray& out, QStringView s, bool quoted)
{
    for (const QChar qc : s) {
        const char16_t c = qc.unicode();
        if (c < 0x80) {
            if (quoted && c == u'"')
                out += '"';
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

// A text cell: quoted when a spreadsheet would split or trim it. formula:
// free text typed in the product (a description, a name), shown by a
// spreadsheet and never run: one starting like a formula ("=", "+", "-",
// "@") gets an apostrophe before it.
void appendCell(QByteArray& line, QStringView s, bool formula = false)
{
    const bool guard = formula && !s.isEmpty() && QStringView(u"=+-@").contains(s.front());
    bool quote = !s.isEmpty() && (s.front().isSpace() || s.back().isSpace());
    bool surrogates = false;
    for (const QChar qc : s) {
        const char16_t c = qc.unicode();
        quote = quote || c == u';' || c == u'"' || c == u'\r' || c == u'\n';
        surrogates = surrogates || isSurrogate(c);
    }
    if (quote)
        line += '"';
    if (guard)
        line += '\'';
    if (surrogates) {
        QString text = s.toString();
        if (quote)
            text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        line += text.toUtf8();
    } else {
        appendUtf8(line, s, quote);
    }
    if (quote)
        line += '"';
}

void appendCompany(QByteArray& line, const CompanyVerification& c)
{
    line += "Azienda_";
    line += QByteArray::number(c.slot);
    line += ';';
    appendCell(line, c.name);
}

QByteArray csvLine(std::initializer_list<QString> cells)
{
    QByteArray line;
    line.reserve(200);
    for (const QString& cell : cells) {
        if (&cell != cells.begin())
            line += ';';
        appendCell(line, cell);
    }
    line += "\r\n";
    return line;
}

} // namespace

QByteArray spreadsheetStart(Spreadsheet sheet)
{
    // The byte order mark makes a spreadsheet read the accents as UTF-8.
    const QByteArray bom("\xEF\xBB\xBF");
    if (sheet == Spreadsheet::Stock)
        return bom + csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"),
                              QStringLiteral("Articolo"), QStringLiteral("Deposito"),
                              QStringLiteral("Giacenza %1").arg(layout::AnnoInCorso),
                              QStringLiteral("Movimento RIAPERTURA %1").arg(layout::AnnoDaAprire),
                              QStringLiteral("Giacenza %1").arg(layout::AnnoDaAprire),
                              QStringLiteral("Descrizione"), QStringLiteral("Avviso")});
    return bom +
           csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Tipo"),
                    QStringLiteral("Codice cliente/fornitore"), QStringLiteral("Data"),
                    QStringLiteral("Tipo documento"), QStringLiteral("Numero documento"),
                    QStringLiteral("Totale %1").arg(layout::AnnoInCorso),
                    QStringLiteral("Totale %1").arg(layout::AnnoDaAprire), QStringLiteral("Esito"),
                    QStringLiteral("Nome cliente/fornitore")});
}

QByteArray spreadsheetLine(const CompanyVerification& c, const StockRow& r)
{
    QByteArray line;
    line.reserve(160 + 3 * (c.name.size() + r.code.size() + r.description.size() + r.warning.size()));
    appendCompany(line, c);
    line += ';';
    appendCell(line, r.code);
    line += ';';
    appendCell(line, r.dep);
    line += ';';
    appendCsvNumber(line, r.stockOld);
    line += ';';
    appendCsvNumber(line, r.opening);
    line += ';';
    appendCsvNumber(line, r.stockNew);
    line += ';';
    appendCell(line, r.description, true);
    line += ';';
    appendCell(line, r.warning);
    line += "\r\n";
    return line;
}

QByteArray spreadsheetLine(const CompanyVerification& c, const OpenItemRow& r)
{
    QByteArray line;
    line.reserve(160 + 3 * (c.name.size() + r.tipo.size() + r.codice.size() + r.date.size() +
                            r.documentType.size() + r.documentNumber.size() + r.name.size()));
    appendCompany(line, c);
    for (const QString* cell : {&r.tipo, &r.codice, &r.date, &r.documentType, &r.documentNumber}) {
        line += ';';
        appendCell(line, *cell);
    }
    line += ';';
    if (r.inOld)
        appendCsvNumber(line, r.totalOld);
    line += ';';
    if (r.inNew)
        appendCsvNumber(line, r.totalNew);
    line += ';';
    if (!r.inNew) {
        line += "non riportata";
    } else if (!r.inOld) {
        line += "solo nel ";
        line += QByteArray::number(layout::AnnoDaAprire);
    } else if (!verification::sameAmount(r.totalOld, r.totalNew)) {
        line += "totale diverso";
    } else {
        line += "riportata";
    }
    line += ';';
    appendCell(line, r.name, true);
    line += "\r\n";
    return line;
}

QByteArray spreadsheetNotChosenLine(Spreadsheet sheet, const CompanyVerification& c)
{
    const QString company = QStringLiteral("Azienda_%1").arg(c.slot);
    const QString text = QLatin1String(NotChosenText);
    if (sheet == Spreadsheet::Stock)
        return csvLine(
            {company, c.name, QString(), QString(), QString(), QString(), QString(), QString(), text});
    return csvLine({company, c.name, QString(), QString(), QString(), QString(), QString(), QString(),
                    QString(), text, QString()});
}

} // namespace rio
