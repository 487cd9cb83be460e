// Comparing the open items: those left open in the old year against those carried
// into the new year, per customer/supplier and in total.
#include "context/years.h"
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <QHash>

#include <algorithm>
#include <memory>
#include <optional>

namespace rio::verification {

namespace {

// A party's line, with its kind worked out once.
struct Party
{
    PartyLine line;
    PartyLine::Kind kind = PartyLine::Kind::Other;
};

// Parties by "tipo" + U+001F + "codice"; shown in the order of their keys.
using Parties = QHash<QString, Party>;

struct ItemTotals
{
    qint64 count = 0;
    double total = 0;
};

struct PartyTitles
{
    QString count;
    QString total;
};

// " (name)" after a code, or nothing without a name.
QString namedAfter(const QString& name)
{
    return name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name);
}

PartyTitles partyTitles(PartyLine::Kind kind)
{
    switch (kind) {
    case PartyLine::Kind::Customer:
        return {QStringLiteral("Partite dei clienti riportate (crediti)"),
                QStringLiteral("Totale crediti verso clienti")};
    case PartyLine::Kind::Supplier:
        return {QStringLiteral("Partite dei fornitori riportate (debiti)"),
                QStringLiteral("Totale debiti verso fornitori")};
    case PartyLine::Kind::Other:
        break;
    }
    return {QStringLiteral("Partite di altro tipo riportate (né cliente né fornitore)"),
            QStringLiteral("Totale partite di altro tipo")};
}

OpenItemRow sheetRow(const ItemKeys& keys)
{
    OpenItemRow r;
    r.date = keys.text[0];
    r.tipo = keys.text[1];
    r.codice = keys.text[2];
    r.documentType = keys.text[3];
    r.documentNumber = keys.text[4];
    return r;
}

// A new-year item read but not yet given to an old-year one.
struct CarriedItem
{
    ItemKeys keys;
    double total = 0;
};

// One pass over the old-year open items and the new-year items side by side, in
// rowid order. Each old-year item is paired with the first new-year item of the same
// key fields not yet paired: the new-year items are read only as far as that
// one, so that while the writer's order holds (it writes them in the order of
// the old year) nothing waits in memory.
class ItemPass
{
public:
    ItemPass(Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows, const PartyNames& names)
        : m_carried(itemSource(newDb, QString())), m_v(v), m_rows(rows), m_names(names)
    {
    }

    // The old-year open items, added to their parties' expected counts and
    // totals: every one of them belongs in the new year. Those the writer refuses go
    // to v.refusedItems too, and are summed per party in refused.
    void openItem(const ItemKeys& keys, double total)
    {
        const QString party = keys.party();
        if (keys.refusedByWriter()) {
            m_v.refusedItems << QStringLiteral(
                                    "data %1, cliente/fornitore %2 \"%3\", documento %4 n. \"%5\", totale %6")
                                    .arg(keys.shown(0), keys.shown(1), keys.shown(2), keys.shown(3),
                                         keys.shown(4), formatAmount(total));
            ++refused[party].count;
            refused[party].total += total;
        }
        Party& p = partyOf(party, keys);
        ++p.line.expectedCount;
        p.line.expectedTotal += total;
        ++expected[int(p.kind)].count;
        expected[int(p.kind)].total += total;

        OpenItemRow row = sheetRow(keys);
        row.name = p.line.name;
        row.totalOld = total;
        const std::optional<double> found = takeCarried(keys);
        row.inNew = found.has_value();
        row.totalNew = found.value_or(0.0);
        if (m_rows.openItem)
            m_rows.openItem(m_v, row);
    }

    // The line of a party, made when first met.
    Party& partyOf(const QString& party, const ItemKeys& keys)
    {
        auto it = parties.find(party);
        if (it == parties.end()) {
            it = parties.insert(party, Party{});
            it->line.tipo = keys.shown(1);
            it->line.codice = keys.shown(2);
            it->line.name = m_names.name(keys.text[1], keys.text[2]);
            it->kind = it->line.kind();
        }
        return *it;
    }

    // The new-year items no old-year item took, in their order.
    void finish()
    {
        for (const std::optional<CarriedItem>& item : std::as_const(m_waiting))
            if (item)
                carriedOnly(*item);
        m_waiting.clear();
        while (readCarried(m_read))
            carriedOnly(m_read);
    }

    Parties parties;
    QHash<QString, ItemTotals> refused;
    // Receivables, payables and the items of any other type, apart.
    ItemTotals expected[3]; // by PartyLine::Kind
    ItemTotals carried[3];

private:
    // The total of the first new-year item of these key fields not yet taken.
    // While the writer's order holds, that is the next item read: the joined
    // key is made only when it is not.
    std::optional<double> takeCarried(const ItemKeys& keys)
    {
        QString key;
        if (!m_waitingByKey.isEmpty()) {
            key = keys.joined();
            auto waiting = m_waitingByKey.find(key);
            if (waiting != m_waitingByKey.end()) {
                const qsizetype at = waiting->takeFirst();
                if (waiting->isEmpty())
                    m_waitingByKey.erase(waiting);
                const double total = m_waiting[at]->total;
                m_waiting[at].reset();
                return total;
            }
        }
        while (readCarried(m_read)) {
            if (m_read.keys.sameTexts(keys))
                return m_read.total;
            if (key.isNull())
                key = keys.joined();
            const QString itemKey = m_read.keys.joined();
            if (itemKey == key)
                return m_read.total;
            m_waitingByKey[itemKey] << m_waiting.size();
            m_waiting << m_read;
        }
        return std::nullopt;
    }

    // The next new-year item, added to its party's carried count and total.
    bool readCarried(CarriedItem& out)
    {
        if (!m_carried->next(out.keys, out.total))
            return false;
        Party& p = partyOf(out.keys.party(), out.keys);
        ++p.line.carriedCount;
        p.line.carriedTotal += out.total;
        ++carried[int(p.kind)].count;
        carried[int(p.kind)].total += out.total;
        return true;
    }

    void carriedOnly(const CarriedItem& item)
    {
        OpenItemRow row = sheetRow(item.keys);
        row.name = parties.value(item.keys.party()).line.name;
        row.inOld = false;
        row.totalNew = item.total;
        if (m_rows.openItem)
            m_rows.openItem(m_v, row);
    }

    std::unique_ptr<ItemSource> m_carried;
    CompanyVerification& m_v;
    const SpreadsheetRows& m_rows;
    const PartyNames& m_names;
    CarriedItem m_read; // each new-year item in turn, its texts read into the same room
    QList<std::optional<CarriedItem>> m_waiting;
    QHash<QString, QList<qsizetype>> m_waitingByKey;
};

} // namespace

void checkOpenItems(Connection& oldDb, Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows)
{
    const QString area = QStringLiteral("Partite aperte");
    const PartyNames names(oldDb);
    ItemPass pass(newDb, v, rows, names);
    const std::unique_ptr<ItemSource> open =
        itemSource(oldDb, QStringLiteral(" where Stato_PArtita is null"));
    ItemKeys item;
    double total = 0;
    while (open->next(item, total))
        pass.openItem(item, total);
    pass.finish();
    const Parties& parties = pass.parties;
    const QHash<QString, ItemTotals>& refused = pass.refused;
    QStringList keys = parties.keys();
    std::sort(keys.begin(), keys.end());
    for (const QString& key : std::as_const(keys)) {
        const PartyLine* p = &parties.constFind(key)->line;
        v.parties << *p;
        // A gap that the refused items of the party make up is told once, item by item, below.
        const ItemTotals gap = refused.value(key);
        const bool explained = p->carriedCount + gap.count == p->expectedCount &&
                               sameAmount(p->carriedTotal + gap.total, p->expectedTotal);
        if (!p->ok() && !explained)
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("Cliente/fornitore %3 %4%5: %6 partite per %7 nel %1, %8 per %9 nel %2")
                    .arg(layout::AnnoInCorso)
                    .arg(layout::AnnoDaAprire)
                    .arg(p->tipo, p->codice, namedAfter(p->name), QString::number(p->expectedCount),
                         formatAmount(p->expectedTotal), QString::number(p->carriedCount),
                         formatAmount(p->carriedTotal))};
    }
    for (const QString& refusedItem : std::as_const(v.refusedItems))
        v.findings << Finding{Finding::Kind::Mismatch, area,
                              QStringLiteral("Partita del %1 non riportata nel %2 (dati chiave mancanti: "
                                             "la scrittura l'ha rifiutata): ")
                                      .arg(layout::AnnoInCorso)
                                      .arg(layout::AnnoDaAprire) +
                                  refusedItem};
    // Receivables and payables each with their count and total; items of
    // another type only when there are some.
    for (const PartyLine::Kind kind :
         {PartyLine::Kind::Customer, PartyLine::Kind::Supplier, PartyLine::Kind::Other}) {
        const ItemTotals& expected = pass.expected[int(kind)];
        const ItemTotals& carried = pass.carried[int(kind)];
        if (kind == PartyLine::Kind::Other && expected.count == 0 && carried.count == 0)
            continue;
        const PartyTitles titles = partyTitles(kind);
        v.checks << CheckLine{area,
                              titles.count,
                              QString::number(expected.count),
                              QString::number(carried.count),
                              expected.count == carried.count,
                              QStringLiteral("MOV_CONT")};
        v.checks << CheckLine{area,
                              titles.total,
                              formatAmount(expected.total),
                              formatAmount(carried.total),
                              sameAmount(expected.total, carried.total),
                              QStringLiteral("MOV_CONT")};
    }
}

} // namespace rio::verification
