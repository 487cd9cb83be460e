// The verification after the run: each company's two archives compared, and
// the counts of what was found.
#include "run/verification.h"

#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

namespace rio {

bool PartyLine::ok() const
{
    return expectedCount == carriedCount && verification::sameAmount(expectedTotal, carriedTotal);
}

PartyLine::Kind PartyLine::kind() const
{
    const QString t = asciiUpper(trimBlanks(tipo));
    if (t == QLatin1String("C"))
        return Kind::Customer;
    return t == QLatin1String("F") ? Kind::Supplier : Kind::Other;
}

int CompanyVerification::mismatches() const
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [](const Finding& f) { return f.kind == Finding::Kind::Mismatch; }));
}

int CompanyVerification::warnings() const
{
    return int(findings.size()) - mismatches();
}

CompanyVerification::Outcome CompanyVerification::outcome() const
{
    if (!initialised)
        return Outcome::NotDone;
    if (runErrors > 0 || mismatches() > 0)
        return Outcome::DoneWithErrors;
    return warnings() > 0 ? Outcome::DoneWithWarnings : Outcome::Done;
}

CompanyVerification::Outcome VerificationReport::outcome() const
{
    using Outcome = CompanyVerification::Outcome;
    if (runErrors > 0 || mismatches() > 0)
        return Outcome::DoneWithErrors;
    return warnings() > 0 ? Outcome::DoneWithWarnings : Outcome::Done;
}

int VerificationReport::mismatches() const
{
    int n = 0;
    for (const auto& c : companies)
        n += c.mismatches();
    return n;
}

int VerificationReport::warnings() const
{
    int n = 0;
    for (const auto& c : companies)
        n += c.warnings();
    return n;
}

namespace {

// The open items compared on a thread of their own, over the pair it opens,
// into a company of their own; joined (and what it raised kept) before it
// goes.
class ItemsBeside
{
public:
    ItemsBeside(const ArchivePair& pair, const CompanyVerification& company, const SpreadsheetRows& rows,
                const std::function<void()>& checked)
    {
        m_items.slot = company.slot;
        m_items.name = company.name;
        m_thread = std::jthread([this, pair, &rows, checked] {
            try {
                pair([&](Connection& oldDb, Connection& newDb) {
                    verification::checkOpenItems(oldDb, newDb, m_items, rows);
                    checked();
                });
            } catch (...) {
                m_failure = std::current_exception();
            }
        });
    }
    // Waits for the items; adds their lines after what v holds, or raises
    // what their comparison raised.
    void addTo(CompanyVerification& v)
    {
        m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
        v.checks << m_items.checks;
        v.findings << m_items.findings;
        v.parties << m_items.parties;
        v.refusedItems << m_items.refusedItems;
    }

private:
    CompanyVerification m_items;
    std::exception_ptr m_failure;
    std::jthread m_thread; // last: joined before the rest goes
};

} // namespace

CompanyVerification verifyCompany(Connection& oldArchive, Connection& newArchive, int slot, bool initialised,
                                  const SpreadsheetRows& rows, const std::function<void()>& betweenChecks,
                                  const ArchivePair& besideStock)
{
    CompanyVerification v;
    v.slot = slot;
    v.name = verification::companyName(oldArchive, slot);
    if (!initialised) {
        v.findings << Finding{
            Finding::Kind::Mismatch, QStringLiteral("Archivio"),
            QStringLiteral("Il nuovo archivio non è stato inizializzato: nessun movimento creato")};
        return v;
    }
    const auto checked = [&betweenChecks] {
        if (betweenChecks)
            betweenChecks();
    };
    std::optional<ItemsBeside> items;
    if (besideStock) {
        try {
            items.emplace(besideStock, v, rows, checked);
        } catch (const std::system_error&) {
            // No thread to be had: the items in their turn.
        }
    }
    verification::checkStock(oldArchive, newArchive, v, rows);
    checked();
    if (items)
        items->addTo(v);
    else {
        verification::checkOpenItems(oldArchive, newArchive, v, rows);
        checked();
    }
    verification::checkCounters(newArchive, v);
    verification::checkEmptied(newArchive, v);
    return v;
}

} // namespace rio
