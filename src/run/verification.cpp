// The verification after the run: each company's two archives compared, and
// the counts of what was found.
#include "run/verification.h"

#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <algorithm>
#include <functional>

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

CompanyVerification verifyCompany(Connection& oldArchive, Connection& newArchive, int slot, bool initialised,
                                  const SpreadsheetRows& rows, const std::function<void()>& betweenChecks)
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
    verification::checkStock(oldArchive, newArchive, v, rows);
    checked();
    verification::checkOpenItems(oldArchive, newArchive, v, rows);
    checked();
    verification::checkCounters(newArchive, v);
    verification::checkEmptied(newArchive, v);
    return v;
}

} // namespace rio
