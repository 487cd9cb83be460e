// The two spreadsheets beside the report: the stock per article and
// warehouse, and the open items of the old year beside what became of them in the new year.
// Columns are only ever added at the end: spreadsheets made on the first
// ones keep working.
#include "context/years.h"
#include "run/company_choice.h"
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_read.h"

#include <initializer_list>

namespace rio {

namespace {

// A text cell: quoted when a spreadsheet would split or trim it.
void appendCell(QString& line, const QString& s)
{
    bool quote = !s.isEmpty() && (s.front().isSpace() || s.back().isSpace());
    for (qsizetype i = 0; !quote && i < s.size(); ++i) {
        const QChar c = s[i];
        quote = c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
                c == QLatin1Char('\n');
    }
    if (!quote) {
        line += s;
        return;
    }
    line += QLatin1Char('"');
    for (const QChar c : s) {
        if (c == QLatin1Char('"'))
            line += QLatin1Char('"');
        line += c;
    }
    line += QLatin1Char('"');
}

// Free text typed in the product (a description, a name) as a cell a
// spreadsheet shows and never runs: one starting like a formula ("=", "+",
// "-", "@") gets an apostrophe before it.
QString freeText(const QString& s)
{
    if (!s.isEmpty() && QStringView(u"=+-@").contains(s.front()))
        return QLatin1Char('\'') + s;
    return s;
}

QByteArray csvLine(std::initializer_list<QString> cells)
{
    QString line;
    line.reserve(160);
    for (const QString& cell : cells) {
        if (&cell != cells.begin())
            line += QLatin1Char(';');
        appendCell(line, cell);
    }
    line += QLatin1String("\r\n");
    return line.toUtf8();
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
    return csvLine({QStringLiteral("Azienda_%1").arg(c.slot), c.name, r.code, r.dep,
                    formatCsvNumber(r.stockOld), formatCsvNumber(r.opening), formatCsvNumber(r.stockNew),
                    freeText(r.description), r.warning});
}

QByteArray spreadsheetLine(const CompanyVerification& c, const OpenItemRow& r)
{
    QString outcome = QStringLiteral("riportata");
    if (!r.inNew)
        outcome = QStringLiteral("non riportata");
    else if (!r.inOld)
        outcome = QStringLiteral("solo nel %1").arg(layout::AnnoDaAprire);
    else if (!verification::sameAmount(r.totalOld, r.totalNew))
        outcome = QStringLiteral("totale diverso");
    return csvLine({QStringLiteral("Azienda_%1").arg(c.slot), c.name, r.tipo, r.codice, r.date,
                    r.documentType, r.documentNumber, r.inOld ? formatCsvNumber(r.totalOld) : QString(),
                    r.inNew ? formatCsvNumber(r.totalNew) : QString(), outcome, freeText(r.name)});
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
