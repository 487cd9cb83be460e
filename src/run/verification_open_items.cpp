// Comparing the open items: those left open in 2023 against those carried
// into 2024, per customer/supplier and in total.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include "data/database.h"

#include <QMap>

namespace rio::verification {

namespace {

using Parties = QMap<QString, PartyLine>;

struct ItemTotals
{
    qint64 count = 0;
    double total = 0;
};

// An item the writer refuses: one of its key fields is blank text.
bool refusedByWriter(const QList<Value>& keys)
{
    for (const Value& k : keys)
        if (!isNull(k) && trimBlanks(textOf(k)).isEmpty())
            return true;
    return false;
}

QString partyKey(const Value& tipo, const Value& codice)
{
    return shown(tipo) + QChar(0x1F) + shown(codice);
}

// The 2023 open items, added to their parties' expected counts and totals:
// every one of them belongs in 2024. Those the writer refuses go to
// v.refusedItems too, and are summed per party in refused.
ItemTotals readOpenItems(Connection& oldDb, Parties& parties, QHash<QString, ItemTotals>& refused,
                         CompanyVerification& v)
{
    ItemTotals expected;
    Query items(
        oldDb, QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, "
                              "Numero_Documento, Totale_Mov_Cont from MOV_CONT where Stato_PArtita is null"));
    items.exec();
    while (items.next()) {
        const QList<Value> keys{items.value(0), items.value(1), items.value(2), items.value(3),
                                items.value(4)};
        const QString party = partyKey(keys[1], keys[2]);
        if (refusedByWriter(keys)) {
            v.refusedItems << QStringLiteral(
                                  "data %1, cliente/fornitore %2 \"%3\", documento %4 n. \"%5\", totale %6")
                                  .arg(shown(keys[0]), shown(keys[1]), shown(keys[2]), shown(keys[3]),
                                       shown(keys[4]), formatAmount(numberOrZero(items.value(5))));
            ++refused[party].count;
            refused[party].total += numberOrZero(items.value(5));
        }
        PartyLine& p = parties[party];
        p.tipo = shown(keys[1]);
        p.codice = shown(keys[2]);
        ++p.expectedCount;
        p.expectedTotal += numberOrZero(items.value(5));
        ++expected.count;
        expected.total += numberOrZero(items.value(5));
    }
    return expected;
}

// The 2024 items, added to their parties' carried counts and totals.
ItemTotals readCarriedItems(Connection& newDb, Parties& parties)
{
    ItemTotals carried;
    Query items(newDb, QStringLiteral("select TipoCliFor, CodCLIFOR, Totale_Mov_Cont from MOV_CONT"));
    items.exec();
    while (items.next()) {
        PartyLine& p = parties[partyKey(items.value(0), items.value(1))];
        p.tipo = shown(items.value(0));
        p.codice = shown(items.value(1));
        ++p.carriedCount;
        p.carriedTotal += numberOrZero(items.value(2));
        ++carried.count;
        carried.total += numberOrZero(items.value(2));
    }
    return carried;
}

} // namespace

void checkOpenItems(Connection& oldDb, Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Partite aperte");
    Parties parties;
    QHash<QString, ItemTotals> refused;
    const ItemTotals expected = readOpenItems(oldDb, parties, refused, v);
    const ItemTotals carried = readCarriedItems(newDb, parties);
    for (auto p = parties.cbegin(); p != parties.cend(); ++p) {
        // A gap that the refused items of the party make up is told once, item by item, below.
        const ItemTotals gap = refused.value(p.key());
        const bool explained = p->carriedCount + gap.count == p->expectedCount &&
                               sameAmount(p->carriedTotal + gap.total, p->expectedTotal);
        if (!p->ok() && !explained)
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("Cliente/fornitore %1 %2: %3 partite per %4 nel 2023, %5 per %6 nel 2024")
                    .arg(p->tipo, p->codice)
                    .arg(p->expectedCount)
                    .arg(formatAmount(p->expectedTotal))
                    .arg(p->carriedCount)
                    .arg(formatAmount(p->carriedTotal))};
    }
    v.parties = parties.values();
    for (const QString& item : std::as_const(v.refusedItems))
        v.findings << Finding{Finding::Kind::Mismatch, area,
                              QStringLiteral("Partita del 2023 non riportata nel 2024 (dati chiave mancanti: "
                                             "la scrittura l'ha rifiutata): ") +
                                  item};
    v.checks << CheckLine{area, QStringLiteral("Numero di partite aperte riportate"),
                          QString::number(expected.count), QString::number(carried.count),
                          expected.count == carried.count};
    v.checks << CheckLine{area, QStringLiteral("Totale delle partite aperte riportate"),
                          formatAmount(expected.total), formatAmount(carried.total),
                          sameAmount(expected.total, carried.total)};
}

} // namespace rio::verification
