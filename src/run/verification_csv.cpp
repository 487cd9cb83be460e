// The two spreadsheets beside the report: the opening stock per article and
// warehouse, and the open items of 2023 beside what became of them in 2024.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_read.h"

#include "data/database.h"

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

// UTF-8 with a byte order mark, so that a spreadsheet reads the accents.
QByteArray csv(const QStringList& heading, const QList<QStringList>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&out](const QStringList& cells) {
        QStringList shown;
        for (const QString& c : cells)
            shown << text(c);
        out += shown.join(QLatin1Char(';')).toUtf8() + "\r\n";
    };
    line(heading);
    for (const QStringList& r : rows)
        line(r);
    return out;
}

struct Item
{
    QStringList keys; // date, type, code, document type, document number
    double total = 0;
};

QList<Item> readItems(Connection& c, const QString& where)
{
    Query q(c,
            QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, Numero_Documento, "
                           "Totale_Mov_Cont from MOV_CONT") +
                where + QStringLiteral(" order by rowid"));
    q.exec();
    QList<Item> items;
    while (q.next()) {
        Item item;
        for (int i = 0; i < 5; ++i)
            item.keys << (isNull(q.value(i)) ? QString() : textOf(q.value(i)));
        item.total = verification::numberOrZero(q.value(5));
        items << item;
    }
    return items;
}

OpenItemRow itemRow(const Item& item)
{
    OpenItemRow r;
    r.date = item.keys[0];
    r.tipo = item.keys[1];
    r.codice = item.keys[2];
    r.documentType = item.keys[3];
    r.documentNumber = item.keys[4];
    return r;
}

} // namespace

void readSpreadsheetRows(Connection& oldArchive, Connection& newArchive, CompanyVerification& v)
{
    using namespace verification;
    QHash<QString, double> opening;
    const auto moves = readOpeningMovements(newArchive);
    for (const OpeningMovement& m : moves)
        opening[key({m.code, m.dep})] += m.qta;
    QHash<qint64, ArticleRow> newByRow;
    for (const ArticleRow& r : readArticles(newArchive, 2))
        newByRow.insert(r.rowid, r);
    for (const ArticleRow& r : readArticles(oldArchive, 2)) {
        const ArticleRow carried = newByRow.value(r.rowid);
        for (int d = 0; d < 2; ++d) {
            const QString dep = QStringLiteral("0%1").arg(d + 1);
            StockRow row{r.code, dep, numberOrZero(r.stock[d]), opening.take(key({r.code, dep})),
                         numberOrZero(carried.stock[d])};
            if (row.stock2023 != 0 || row.opening != 0 || row.stock2024 != 0)
                v.stock << row;
        }
    }

    const QList<Item> carried = readItems(newArchive, QString());
    QMultiHash<QString, qsizetype> unmatched;
    for (qsizetype i = carried.size() - 1; i >= 0; --i) // find() gives the last inserted first
        unmatched.insert(key(carried[i].keys), i);
    QList<bool> matched(carried.size(), false);
    for (const Item& item : readItems(oldArchive, QStringLiteral(" where Stato_PArtita is null"))) {
        OpenItemRow r = itemRow(item);
        r.total2023 = item.total;
        const auto found = unmatched.find(key(item.keys));
        r.in2024 = found != unmatched.end();
        if (r.in2024) {
            r.total2024 = carried[*found].total;
            matched[*found] = true;
            unmatched.erase(found);
        }
        v.openItems << r;
    }
    for (qsizetype i = 0; i < carried.size(); ++i)
        if (!matched[i]) {
            OpenItemRow r = itemRow(carried[i]);
            r.in2023 = false;
            r.total2024 = carried[i].total;
            v.openItems << r;
        }
}

QByteArray VerificationReport::stockCsv() const
{
    QList<QStringList> rows;
    for (const CompanyVerification& c : companies)
        for (const StockRow& r : c.stock)
            rows << QStringList{QStringLiteral("Azienda_%1").arg(c.slot),
                                c.name,
                                r.code,
                                r.dep,
                                formatCsvNumber(r.stock2023),
                                formatCsvNumber(r.opening),
                                formatCsvNumber(r.stock2024)};
    return csv({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Articolo"),
                QStringLiteral("Deposito"), QStringLiteral("Giacenza 2023"),
                QStringLiteral("Movimento RIAPERTURA 2024"), QStringLiteral("Giacenza 2024")},
               rows);
}

QByteArray VerificationReport::openItemsCsv() const
{
    QList<QStringList> rows;
    for (const CompanyVerification& c : companies)
        for (const OpenItemRow& r : c.openItems) {
            QString outcome = QStringLiteral("riportata");
            if (!r.in2024)
                outcome = QStringLiteral("non riportata");
            else if (!r.in2023)
                outcome = QStringLiteral("solo nel 2024");
            else if (!verification::sameAmount(r.total2023, r.total2024))
                outcome = QStringLiteral("totale diverso");
            rows << QStringList{QStringLiteral("Azienda_%1").arg(c.slot),
                                c.name,
                                r.tipo,
                                r.codice,
                                r.date,
                                r.documentType,
                                r.documentNumber,
                                r.in2023 ? formatCsvNumber(r.total2023) : QString(),
                                r.in2024 ? formatCsvNumber(r.total2024) : QString(),
                                outcome};
        }
    return csv({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Tipo"),
                QStringLiteral("Codice cliente/fornitore"), QStringLiteral("Data"),
                QStringLiteral("Tipo documento"), QStringLiteral("Numero documento"),
                QStringLiteral("Totale 2023"), QStringLiteral("Totale 2024"), QStringLiteral("Esito")},
               rows);
}

} // namespace rio
