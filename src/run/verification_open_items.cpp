// Comparing the open items: those left open in 2023 against those carried
// into 2024, per customer/supplier and in total.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <QMap>

#include <optional>

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

// The writer's key fields as text, Null as nothing.
QStringList keyTexts(const ItemRow& item)
{
    QStringList keys;
    for (const Value* v : {&item.date, &item.tipo, &item.codice, &item.documentType, &item.documentNumber})
        keys << (isNull(*v) ? QString() : textOf(*v));
    return keys;
}

QString joined(const QStringList& keys)
{
    return keys.join(QChar(0x1F));
}

OpenItemRow sheetRow(const QStringList& keys)
{
    OpenItemRow r;
    r.date = keys[0];
    r.tipo = keys[1];
    r.codice = keys[2];
    r.documentType = keys[3];
    r.documentNumber = keys[4];
    return r;
}

// A 2024 item read but not yet given to a 2023 one.
struct CarriedItem
{
    QStringList keys;
    double total = 0;
};

// One pass over the 2023 open items and the 2024 items side by side, in
// rowid order. Each 2023 item is paired with the first 2024 item of the same
// key fields not yet paired: the 2024 items are read only as far as that
// one, so that while the writer's order holds (it writes them in the order of
// 2023) nothing waits in memory.
class ItemPass
{
public:
    ItemPass(Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows)
        : m_carried(newDb, QString()), m_v(v), m_rows(rows)
    {
    }

    // The 2023 open items, added to their parties' expected counts and
    // totals: every one of them belongs in 2024. Those the writer refuses go
    // to v.refusedItems too, and are summed per party in refused.
    void openItem(const ItemRow& item)
    {
        const QList<Value> keys{item.date, item.tipo, item.codice, item.documentType, item.documentNumber};
        const QString party = partyKey(keys[1], keys[2]);
        const double total = numberOrZero(item.total);
        if (refusedByWriter(keys)) {
            m_v.refusedItems << QStringLiteral(
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

        const QStringList texts = keyTexts(item);
        OpenItemRow row = sheetRow(texts);
        row.total2023 = total;
        const std::optional<double> found = takeCarried(joined(texts));
        row.in2024 = found.has_value();
        row.total2024 = found.value_or(0.0);
        if (m_rows.openItem)
            m_rows.openItem(m_v, row);
    }

    // The 2024 items no 2023 item took, in their order.
    void finish()
    {
        for (const std::optional<CarriedItem>& item : std::as_const(m_waiting))
            if (item)
                carriedOnly(*item);
        m_waiting.clear();
        CarriedItem item;
        while (readCarried(item))
            carriedOnly(item);
    }

    Parties parties;
    QHash<QString, ItemTotals> refused;
    ItemTotals expected;
    ItemTotals carried;

private:
    // The total of the first 2024 item of these key fields not yet taken.
    std::optional<double> takeCarried(const QString& key)
    {
        auto waiting = m_waitingByKey.find(key);
        if (waiting != m_waitingByKey.end()) {
            const qsizetype at = waiting->takeFirst();
            if (waiting->isEmpty())
                m_waitingByKey.erase(waiting);
            const double total = m_waiting[at]->total;
            m_waiting[at].reset();
            return total;
        }
        CarriedItem item;
        while (readCarried(item)) {
            if (joined(item.keys) == key)
                return item.total;
            m_waitingByKey[joined(item.keys)] << m_waiting.size();
            m_waiting << std::move(item);
        }
        return std::nullopt;
    }

    // The next 2024 item, added to its party's carried count and total.
    bool readCarried(CarriedItem& out)
    {
        ItemRow item;
        if (!m_carried.next(item))
            return false;
        PartyLine& p = parties[partyKey(item.tipo, item.codice)];
        p.tipo = shown(item.tipo);
        p.codice = shown(item.codice);
        ++p.carriedCount;
        p.carriedTotal += numberOrZero(item.total);
        ++carried.count;
        carried.total += numberOrZero(item.total);
        out = CarriedItem{keyTexts(item), numberOrZero(item.total)};
        return true;
    }

    void carriedOnly(const CarriedItem& item)
    {
        OpenItemRow row = sheetRow(item.keys);
        row.in2023 = false;
        row.total2024 = item.total;
        if (m_rows.openItem)
            m_rows.openItem(m_v, row);
    }

    ItemReader m_carried;
    CompanyVerification& m_v;
    const SpreadsheetRows& m_rows;
    QList<std::optional<CarriedItem>> m_waiting;
    QHash<QString, QList<qsizetype>> m_waitingByKey;
};

} // namespace

void checkOpenItems(Connection& oldDb, Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows)
{
    const QString area = QStringLiteral("Partite aperte");
    ItemPass pass(newDb, v, rows);
    ItemReader open(oldDb, QStringLiteral(" where Stato_PArtita is null"));
    ItemRow item;
    while (open.next(item))
        pass.openItem(item);
    pass.finish();
    const Parties& parties = pass.parties;
    const QHash<QString, ItemTotals>& refused = pass.refused;
    const ItemTotals& expected = pass.expected;
    const ItemTotals& carried = pass.carried;
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
    for (const QString& refusedItem : std::as_const(v.refusedItems))
        v.findings << Finding{Finding::Kind::Mismatch, area,
                              QStringLiteral("Partita del 2023 non riportata nel 2024 (dati chiave mancanti: "
                                             "la scrittura l'ha rifiutata): ") +
                                  refusedItem};
    v.checks << CheckLine{area, QStringLiteral("Numero di partite aperte riportate"),
                          QString::number(expected.count), QString::number(carried.count),
                          expected.count == carried.count};
    v.checks << CheckLine{area, QStringLiteral("Totale delle partite aperte riportate"),
                          formatAmount(expected.total), formatAmount(carried.total),
                          sameAmount(expected.total, carried.total)};
}

} // namespace rio::verification
