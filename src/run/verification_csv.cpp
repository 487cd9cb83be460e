// The two spreadsheets beside the report: the opening stock per article and
// warehouse, and the open items of 2023 beside what became of them in 2024.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_read.h"

#include <QMultiHash>

namespace rio {

namespace {

QString key(const QStringList& parts)
{
    return parts.join(QChar(0x1F));
}

// A text cell: quoted when a spreadsheet would split or trim it.
QString text(const QString& s)
{
    static const QString special = QStringLiteral(";\"\r\n");
    const bool quote =
        std::any_of(s.begin(), s.end(), [](QChar c) { return special.contains(c); }) || s != s.trimmed();
    if (!quote)
        return s;
    QString quoted = s;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvLine(const QStringList& cells)
{
    QStringList shown;
    for (const QString& c : cells)
        shown << text(c);
    return shown.join(QLatin1Char(';')).toUtf8() + "\r\n";
}

// The writer's key fields as text, Null as nothing.
QStringList keyTexts(const verification::ItemRow& item)
{
    QStringList keys;
    for (const Value* v : {&item.date, &item.tipo, &item.codice, &item.documentType, &item.documentNumber})
        keys << (isNull(*v) ? QString() : textOf(*v));
    return keys;
}

OpenItemRow itemRow(const QStringList& keys)
{
    OpenItemRow r;
    r.date = keys[0];
    r.tipo = keys[1];
    r.codice = keys[2];
    r.documentType = keys[3];
    r.documentNumber = keys[4];
    return r;
}

} // namespace

void fillSpreadsheetRows(const verification::ArchiveRows& rows, CompanyVerification& v)
{
    using namespace verification;
    QHash<QString, double> opening;
    for (const OpeningMovement& m : rows.opening)
        opening[key({m.code, m.dep})] += m.qta;
    QHash<qint64, const ArticleRow*> newByRow;
    for (const ArticleRow& r : rows.newArticles)
        newByRow.insert(r.rowid, &r);
    for (const ArticleRow& r : rows.oldArticles) {
        const ArticleRow* carried = newByRow.value(r.rowid);
        for (int d = 0; d < 2; ++d) {
            const QString dep = QStringLiteral("0%1").arg(d + 1);
            StockRow row{r.code, dep, numberOrZero(r.stock[d]), opening.take(key({r.code, dep})),
                         carried ? numberOrZero(carried->stock[d]) : 0.0};
            if (row.stock2023 != 0 || row.opening != 0 || row.stock2024 != 0)
                v.stock << row;
        }
    }

    QList<QStringList> carriedKeys;
    for (const ItemRow& item : rows.newItems)
        carriedKeys << keyTexts(item);
    QMultiHash<QString, qsizetype> unmatched;
    for (qsizetype i = carriedKeys.size() - 1; i >= 0; --i) // find() gives the last inserted first
        unmatched.insert(key(carriedKeys[i]), i);
    QList<bool> matched(carriedKeys.size(), false);
    for (const ItemRow& item : rows.oldOpenItems) {
        const QStringList keys = keyTexts(item);
        OpenItemRow r = itemRow(keys);
        r.total2023 = numberOrZero(item.total);
        const auto found = unmatched.find(key(keys));
        r.in2024 = found != unmatched.end();
        if (r.in2024) {
            r.total2024 = numberOrZero(rows.newItems[*found].total);
            matched[*found] = true;
            unmatched.erase(found);
        }
        v.openItems << r;
    }
    for (qsizetype i = 0; i < carriedKeys.size(); ++i)
        if (!matched[i]) {
            OpenItemRow r = itemRow(carriedKeys[i]);
            r.in2023 = false;
            r.total2024 = numberOrZero(rows.newItems[i].total);
            v.openItems << r;
        }
}

QByteArray spreadsheetStart(Spreadsheet sheet)
{
    // The byte order mark makes a spreadsheet read the accents as UTF-8.
    const QByteArray bom("\xEF\xBB\xBF");
    if (sheet == Spreadsheet::Stock)
        return bom + csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"),
                              QStringLiteral("Articolo"), QStringLiteral("Deposito"),
                              QStringLiteral("Giacenza 2023"), QStringLiteral("Movimento RIAPERTURA 2024"),
                              QStringLiteral("Giacenza 2024")});
    return bom +
           csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Tipo"),
                    QStringLiteral("Codice cliente/fornitore"), QStringLiteral("Data"),
                    QStringLiteral("Tipo documento"), QStringLiteral("Numero documento"),
                    QStringLiteral("Totale 2023"), QStringLiteral("Totale 2024"), QStringLiteral("Esito")});
}

QByteArray spreadsheetLines(Spreadsheet sheet, const CompanyVerification& c)
{
    const QString company = QStringLiteral("Azienda_%1").arg(c.slot);
    QByteArray out;
    if (sheet == Spreadsheet::Stock) {
        for (const StockRow& r : c.stock)
            out += csvLine({company, c.name, r.code, r.dep, formatCsvNumber(r.stock2023),
                            formatCsvNumber(r.opening), formatCsvNumber(r.stock2024)});
        return out;
    }
    for (const OpenItemRow& r : c.openItems) {
        QString outcome = QStringLiteral("riportata");
        if (!r.in2024)
            outcome = QStringLiteral("non riportata");
        else if (!r.in2023)
            outcome = QStringLiteral("solo nel 2024");
        else if (!verification::sameAmount(r.total2023, r.total2024))
            outcome = QStringLiteral("totale diverso");
        out += csvLine({company, c.name, r.tipo, r.codice, r.date, r.documentType, r.documentNumber,
                        r.in2023 ? formatCsvNumber(r.total2023) : QString(),
                        r.in2024 ? formatCsvNumber(r.total2024) : QString(), outcome});
    }
    return out;
}

} // namespace rio
