#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Opening some of the companies only: the user's choice of slots, what it
// leaves out, and how a run with errors is offered again for the companies
// that failed.
namespace rio {

class RunContext;
struct RunState;
struct VerificationReport;

// The state word of a listed company that the choice leaves out: the run
// works only on "ATTIVA" entries, so such a company is neither copied nor
// touched.
inline constexpr auto NotChosenState = "NON SCELTA";
// What the report, the closing lines and --json say of such a company.
inline constexpr auto NotChosenText = "non scelta";

// A list of slots as the user types it ("1,3,7"; blanks around the numbers
// allowed). numbers ascending when ok; otherwise error names the first wrong
// item: not a number, outside 1-10, repeated, or an empty list.
struct SlotListParse
{
    QList<int> numbers;
    QString error;
    bool ok() const { return error.isEmpty(); }
};
SlotListParse parseSlotList(const QString& text);

// "2,5": the form parseSlotList reads.
QString slotListText(const QList<int>& numbers);

// The slots 1-10 that hold a old-year archive under the root (a Windows path
// ending in "\\"), as the company list of the run finds them. Reads names
// only; raises the file services' error for a root that cannot be reached.
QList<int> companiesFound(const QString& root);

// The chosen slots that are not among those found; empty when the choice is
// empty (every company).
QList<int> chosenButMissing(const QList<int>& chosen, const QList<int>& found);

// "Azienda_4 scelta ma senza archivio <anno> (<path>)": one text per slot,
// for the check's findings and the refusal's box.
QString missingChoiceText(const QString& root, int slot);

// Before any question: a choice that names a company without a old-year archive
// is refused with one box and an error line per slot, and false is returned;
// nothing has been written. A root that cannot be read, or without its data
// folder, says nothing (the check before the run says what is wrong) and
// returns true.
bool acceptCompanyChoice(RunContext& ctx);

// After the company list: every listed company that the host's choice does
// not name gets the state NON SCELTA, so that no step works on it; one event
// line names them, and the status panel counts the companies chosen. Does
// nothing without a choice.
void leaveOutCompaniesNotChosen(RunContext& ctx);

// The slots the run left out by choice, ascending.
QList<int> companiesNotChosen(const RunState& state);

// The name in the AZIENDE row of a company's old-year archive, trimmed; empty
// when it cannot be read at once and without risk (an interrupted write
// beside the archive would be played back; another program's lock would be
// waited for). Reads only.
QString companyNameIfSafe(const QString& root, const QString& workgroup, int slot);

// The companies whose outcome in the report calls for another run: done with
// errors, or not done. Ascending.
QList<int> companiesToRetry(const VerificationReport& report);

// The last outcome recorded for a company: its words ("eseguita", "eseguita
// con errori", ...) in the newest verification report under dati\tmp that
// names it as opened, and when that report was made.
struct LastOutcome
{
    QString outcome;
    QDateTime when;
};
// Per slot, from the reports under the root's dati\tmp (newest first; a
// company the report lists as not chosen is looked for in older ones).
// Reads the head of each report only; a report that cannot be read is
// passed over.
QMap<int, LastOutcome> lastOutcomes(const QString& root);

// A company found, as the choice shows it: its name (empty when it cannot be
// read without risk), whether it already has its new-year folder, and the last
// outcome recorded for it in words: "eseguita il 09/12/2026 alle 14:20",
// "mai aperta", or "nessun esito registrato" for a new-year folder no report
// speaks of.
struct CompanyOverview
{
    int slot = 0;
    QString name;
    bool newYear = false;
    QString lastOutcome;
};
// Every company found under the root, in slot order. Reads only; raises as
// companiesFound.
QList<CompanyOverview> companyOverview(const QString& root, const QString& workgroup);

} // namespace rio
