#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace rio {

class Connection;
class RunContext;
struct RunState;

// After the run, each company's two archives are compared: what was carried
// must match what was left.
struct Finding
{
    enum class Kind { Mismatch, Warning };
    Kind kind = Kind::Mismatch;
    QString area; // "Magazzino", "Partite aperte", "Contatori", "Archivio"
    QString text;
};

// One line of a check: what was expected, what was found.
struct CheckLine
{
    QString area;
    QString what;
    QString expected;
    QString found;
    bool ok = true;
};

// Open items of one customer/supplier: 2023 against 2024.
struct PartyLine
{
    QString tipo;
    QString codice;
    qint64 expectedCount = 0;
    double expectedTotal = 0;
    qint64 carriedCount = 0;
    double carriedTotal = 0;
    bool ok() const;
};

struct CompanyVerification
{
    int slot = 0;
    QString name;
    QList<CheckLine> checks;
    QList<PartyLine> parties;
    QList<Finding> findings;
    QStringList refusedItems;
    int mismatches() const;
    int warnings() const;
};

struct VerificationReport
{
    QList<CompanyVerification> companies;
    int mismatches() const;
    int warnings() const;
    // A few lines for the console and the window.
    QStringList summary() const;
    // The whole report as one HTML page.
    QString html(const RunState& state) const;
};

// Compares the 2023 and 2024 archives of one company.
CompanyVerification verifyCompany(Connection& oldArchive, Connection& newArchive, int slot, bool initialised);

// Verifies every company of the run, writes the report to
// dati\tmp\verifica_Riapertura_2024_<yyyymmdd_hhmmss>.html and returns it;
// its Windows path is reportPath. A mismatch counts as an error of the run.
VerificationReport verifyYearOpening(RunContext& ctx, QString* reportPath);

} // namespace rio
