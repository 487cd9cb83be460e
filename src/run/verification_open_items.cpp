// Comparing the open items: those left open in 2023 against those carried
// into 2024, per customer/supplier and in total.
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

// The 2023 open items, added to their parties' expected counts and totals;
// those the writer refuses go to v.refusedItems instead.
ItemTotals readOpenItems(Connection& oldDb, Parties& parties, CompanyVerification& v)
{
    ItemTotals expected;
    Query items(
        oldDb, QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, "
                              "Numero_Documento, Totale_Mov_Cont from MOV_CONT where Stato_PArtita is null"));
    items.exec();
    while (items.next()) {
        const QList<Value> keys{items.value(0), items.value(1), items.value(2), items.value(3),
                                items.value(4)};
        if (refusedByWriter(keys)) {
            v.refusedItems << QStringLiteral("%1 %2 %3 documento %4 n. \"%5\" totale %6")
                                  .arg(shown(keys[0]), shown(keys[1]), shown(keys[2]), shown(keys[3]),
                                       shown(keys[4]), shown(items.value(5)));
            continue;
        }
        PartyLine& p = parties[partyKey(keys[1], keys[2])];
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
    const ItemTotals expected = readOpenItems(oldDb, parties, v);
    const ItemTotals carried = readCarriedItems(newDb, parties);
    v.parties = parties.values();
    for (const PartyLine& p : std::as_const(v.parties))
        if (!p.ok())
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("Cliente/fornitore %1 %2: %3 partite per %4 nel 2023, %5 per %6 nel 2024")
                    .arg(p.tipo, p.codice)
                    .arg(p.expectedCount)
                    .arg(number(p.expectedTotal))
                    .arg(p.carriedCount)
                    .arg(number(p.carriedTotal))};
    for (const QString& item : std::as_const(v.refusedItems))
        v.findings << Finding{Finding::Kind::Warning, area,
                              QStringLiteral("Partita non riportata (dati chiave mancanti): ") + item};
    v.checks << CheckLine{area, QStringLiteral("Numero di partite aperte riportate"),
                          QString::number(expected.count), QString::number(carried.count),
                          expected.count == carried.count};
    v.checks << CheckLine{area, QStringLiteral("Totale delle partite aperte riportate"),
                          number(expected.total), number(carried.total),
                          sameAmount(expected.total, carried.total)};
}

} // namespace rio::verification
