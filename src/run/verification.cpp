// The verification after the run: each company's two archives compared, the
// counts of what was found, and the report written beside the data.
#include "run/verification.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/error.h"
#include "run/company_choice.h"
#include "run/report_file.h"
#include "run/report_html.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include <QDateTime>

#include <algorithm>
#include <functional>

namespace rio {

namespace {

// Opens both archives of a company and compares them; an archive that cannot
// be read makes the company's only finding. whileBusy runs while the engine
// reads: a large company's tables take most of a second.
CompanyVerification verifySlot(const RunState& state, int slot, const std::function<void()>& whileBusy,
                               const SpreadsheetRows& rows)
{
    const QString numero = layout::companyFolderName(slot);
    try {
        Connection oldDb;
        oldDb.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, numero, layout::AnnoInCorso), state.PercorsoSystemMdw));
        oldDb.setWhileBusy(whileBusy);
        Connection newDb;
        newDb.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, numero, layout::AnnoDaAprire), state.PercorsoSystemMdw));
        newDb.setWhileBusy(whileBusy);
        return verifyCompany(oldDb, newDb, slot, state.record.initialised.contains(slot), rows, whileBusy);
    } catch (const Error& e) {
        CompanyVerification v;
        v.slot = slot;
        v.initialised = state.record.initialised.contains(slot);
        v.findings << Finding{
            Finding::Kind::Mismatch, QStringLiteral("Archivio"),
            QStringLiteral("Verifica non eseguita: errore %1 (%2)").arg(e.number()).arg(e.description())};
        return v;
    }
}

// One spreadsheet beside the report, filled a company at a time, there whole
// or not at all (ReportFile).
class SpreadsheetFile
{
public:
    SpreadsheetFile(const QString& windowsPath, Spreadsheet sheet) : m_file(windowsPath), m_sheet(sheet)
    {
        m_file.write(spreadsheetStart(sheet));
    }
    template <typename Row> void add(const CompanyVerification& v, const Row& row)
    {
        m_file.write(spreadsheetLine(v, row));
    }
    void addNotChosen(const CompanyVerification& v) { m_file.write(spreadsheetNotChosenLine(m_sheet, v)); }
    // Puts the file in place; its name for the report, or "" when it could
    // not be written whole: an error of the run, with an error line that
    // names it.
    QString finish(RunContext& ctx)
    {
        const QString& path = m_file.windowsPath();
        if (m_file.commit())
            return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
        ctx.markError();
        ctx.addErrorLine(
            QStringLiteral("Foglio di calcolo non scritto (%1): %2").arg(m_file.failure(), path));
        return QString();
    }

private:
    ReportFile m_file;
    Spreadsheet m_sheet;
};

// Writes the report as <stem>.html; returns its Windows path, or an empty
// one when it could not be written whole: an error of the run, with an error
// line that names it.
QString writeReport(RunContext& ctx, const VerificationReport& report, const QString& stem,
                    const QStringList& csvFiles)
{
    const QString path = stem + QStringLiteral(".html");
    QString failure;
    if (html::writeFile(path, report.html(ctx.state(), csvFiles, [&ctx] { ctx.yield(); }).toUtf8(), &failure))
        return path;
    ctx.markError();
    ctx.addErrorLine(QStringLiteral("Rapporto di verifica non scritto (%1): %2").arg(failure, path));
    return QString();
}

} // namespace

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

VerificationReport verifyYearOpening(RunContext& ctx, QString* reportPath)
{
    VerificationReport report;
    report.runErrors = ctx.errorCount();
    const RunRecord& record = ctx.state().record;
    report.rehearsal = record.rehearsal();
    ctx.beginPhase(RunProgress::Phase::Verification);
    // dati\tmp\verifica_Riapertura_<new year>_<yyyymmdd_hhmmss>: the report and
    // its spreadsheets; a rehearsal's beside them, not in its scratch copy.
    const QString stem =
        (report.rehearsal ? record.rehearsalRoot + QStringLiteral("dati\\tmp\\simulazione")
                          : ctx.state().PercorsoBase + QStringLiteral("dati\\tmp\\verifica")) +
        QStringLiteral("_Riapertura_") + QString::number(layout::AnnoDaAprire) + QLatin1Char('_') +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    SpreadsheetFile stock(stem + QStringLiteral("_giacenze.csv"), Spreadsheet::Stock);
    SpreadsheetFile openItems(stem + QStringLiteral("_partite.csv"), Spreadsheet::OpenItems);
    for (int slot : record.companies) {
        // A company's check reads whole tables: the window repaints between two.
        ctx.stepProgress(report.companies.size(), record.companies.size());
        ctx.yield();
        const SpreadsheetRows rows{
            [&stock](const CompanyVerification& c, const StockRow& row) { stock.add(c, row); },
            [&openItems](const CompanyVerification& c, const OpenItemRow& row) {
                openItems.add(c, row);
            }};
        CompanyVerification v = verifySlot(
            ctx.state(), slot, [&ctx] { ctx.yield(); }, rows);
        v.runErrors = record.companyErrors.value(slot);
        report.companies << std::move(v);
    }
    ctx.stepProgress(report.companies.size(), record.companies.size());
    for (int slot : companiesNotChosen(ctx.state())) {
        CompanyVerification v;
        v.slot = slot;
        v.name = companyNameIfSafe(ctx.state().PercorsoBase, ctx.state().PercorsoSystemMdw, slot);
        stock.addNotChosen(v);
        openItems.addNotChosen(v);
        report.notChosen << v;
    }
    QStringList csvFiles;
    for (SpreadsheetFile* sheet : {&stock, &openItems}) {
        const QString name = sheet->finish(ctx);
        if (!name.isEmpty())
            csvFiles << name;
    }
    // A spreadsheet that could not be written is the report's error too.
    report.runErrors = ctx.errorCount();
    const QString path = writeReport(ctx, report, stem, csvFiles);
    if (reportPath)
        *reportPath = path;
    // The report not written: the end of the run says so as an error.
    report.runErrors = ctx.errorCount();
    if (report.mismatches() > 0)
        ctx.markError();
    return report;
}

} // namespace rio
