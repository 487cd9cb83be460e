// Comparing the open items: those left open in 2023 against those carried
// into 2024, per customer/supplier and in total.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

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
ItemTotals addOpenItems(const QList<ItemRow>& items, Parties& parties, QHash<QString, ItemTotals>& refused,
                        CompanyVerification& v)
{
    ItemTotals expected;
    for (const ItemRow& item : items) {
        const QList<Value> keys{item.date, item.tipo, item.codice, item.documentType, item.documentNumber};
        const QString party = partyKey(keys[1], keys[2]);
        const double total = numberOrZero(item.total);
        if (refusedByWriter(keys)) {
            v.refusedItems << QStringLiteral(
                                  "data %1, cliente/fornitore %2 \"%3\", documento %4 n. \"%5\", totale %6")
                                  .arg(shown(keys[0]), shown(keys[1]), shown(keys[2]), shown(keys[3]),
                                       shown(keys[4]), formatAmount(total));
            ++refused[party].count;
            refused[party].total += total;
        }
        PartyLine& p = parties[party];
        p.tipo = shown(keys[1]);
        p.codice = shown(keys[2]);
        ++p.expectedCount;
        p.expectedTotal += total;
        ++expected.count;
        expected.total += total;
    }
    return expected;
}

// The 2024 items, added to their parties' carried counts and totals.
ItemTotals addCarriedItems(const QList<ItemRow>& items, Parties& parties)
{
    ItemTotals carried;
    for (const ItemRow& item : items) {
        PartyLine& p = parties[partyKey(item.tipo, item.codice)];
        p.tipo = shown(item.tipo);
        p.codice = shown(item.codice);
        ++p.carriedCount;
        p.carriedTotal += numberOrZero(item.total);
        ++carried.count;
        carried.total += numberOrZero(item.total);
    }
    return carried;
}

} // namespace

void checkOpenItems(const ArchiveRows& rows, CompanyVerification& v)
{
    const QString area = QStringLiteral("Partite aperte");
    Parties parties;
    QHash<QString, ItemTotals> refused;
    const ItemTotals expected = addOpenItems(rows.oldOpenItems, parties, refused, v);
    const ItemTotals carried = addCarriedItems(rows.newItems, parties);
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
