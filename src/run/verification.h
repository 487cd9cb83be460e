#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace rio {

class Connection;
class RunContext;
struct RunState;

// One warehouse of an article whose new-year stock the stock rules cannot carry
// by design (its code has blanks around it, or a twin that differs only in
// case): a row of the report's table of warnings.
struct StockWarning
{
    enum class Reason { Twin, Blanks };
    Reason reason = Reason::Blanks;
    QString code;
    QString description;
    QStringList twins; // the other codes of a twin
    QString dep;       // "01" to "05"
    double expected = 0;
    double found = 0;
};

// After the run, each company's two archives are compared: what was carried
// must match what was left.
struct Finding
{
    enum class Kind { Mismatch, Warning };
    Finding() = default;
    Finding(Kind kindOf, QString areaOf, QString textOf, QList<StockWarning> stockRows = {})
        : kind(kindOf), area(std::move(areaOf)), text(std::move(textOf)), stock(std::move(stockRows))
    {
    }
    Kind kind = Kind::Mismatch;
    QString area; // "Magazzino", "Partite aperte", "Contatori", "Archivio"
    QString text;
    // A stock warning, a row per warehouse: the report shows these rows in
    // its table of warnings instead of the text.
    QList<StockWarning> stock;
};

// One line of a check: what was expected, what was found. what is the
// check's name in plain Italian; id, when not empty, the product's own name
// of what is checked (a table, a counter field), shown in small type.
struct CheckLine
{
    QString area;
    QString what;
    QString expected;
    QString found;
    bool ok = true;
    QString id;
};

// Open items of one customer/supplier: the old year against the new one.
struct PartyLine
{
    enum class Kind { Customer, Supplier, Other };
    QString tipo;
    QString codice;
    QString name; // from the archive's customers or suppliers; empty when it has none
    qint64 expectedCount = 0;
    double expectedTotal = 0;
    qint64 carriedCount = 0;
    double carriedTotal = 0;
    bool ok() const;
    // Customer for the type "C", supplier for "F" (either case, blanks
    // around ignored), else other: receivables and payables are summed apart.
    Kind kind() const;
};

// The stock of one article in one warehouse, for the spreadsheet.
struct StockRow
{
    QString code;
    QString dep;
    double stockOld = 0;
    double opening = 0; // the RIAPERTURA movements of the new year
    double stockNew = 0;
    QString description;
    // Why the row is a warning ("codice con spazi", "codice gemello di ..."),
    // empty when it is none.
    QString warning;
};

// One open item of the old year and what became of it in the new year, for the spreadsheet.
struct OpenItemRow
{
    QString tipo;
    QString codice;
    QString date;
    QString documentType;
    QString documentNumber;
    bool inOld = true;
    bool inNew = true;
    double totalOld = 0;
    double totalNew = 0;
    QString name; // of the customer/supplier, when the archive has it
};

struct CompanyVerification
{
    // Done: nothing to look at. DoneWithWarnings: done, with findings that
    // need a check by hand (the warnings). DoneWithErrors: a step reported an
    // error or the comparison found a mismatch. NotDone: the new archive was
    // not emptied, so nothing was written into it.
    enum class Outcome { Done, DoneWithWarnings, DoneWithErrors, NotDone };

    int slot = 0;
    QString name;
    int runErrors = 0;       // errors the run's steps reported for the company
    bool initialised = true; // its new archive was emptied, so the rest was written
    QList<CheckLine> checks;
    QList<PartyLine> parties;
    QList<Finding> findings;
    QStringList refusedItems;
    int mismatches() const;
    int warnings() const;
    Outcome outcome() const;
};

struct VerificationReport
{
    QList<CompanyVerification> companies;
    // The companies found that the user's choice left out: slot and name
    // only (the name empty when it could not be read without risk).
    QList<CompanyVerification> notChosen;
    int runErrors = 0;      // errors the run reported, the report's own files included
    bool rehearsal = false; // made on a rehearsal's scratch copy: its headline says so
    int mismatches() const;
    int warnings() const;
    // The run as a whole: with errors when the run reported one or the
    // comparison found a mismatch, else with warnings when there are any,
    // else done (never NotDone).
    CompanyVerification::Outcome outcome() const;
    // "RIAPERTURA ESEGUITA: ...", "RIAPERTURA ESEGUITA CON AVVISI: ..." or
    // "RIAPERTURA ESEGUITA CON ERRORI: ...", with the counts, and the
    // companies not chosen when there are any; after "SIMULAZIONE - " for a
    // rehearsal.
    QString headline() const;
    // "12 avvisi da controllare a mano".
    QString warningsToCheck() const;
    // A line per company and the headline, for the console and the window.
    QStringList summary() const;
    // What the end of a run shows: each company's outcome, then a line for
    // each company not chosen, then the safety copy, the log and the report
    // (reportPath: empty when not written).
    QStringList closingLines(const RunState& state, const QString& reportPath) const;
    // The whole report as one HTML page; csvFiles: the names of the
    // spreadsheets written beside it. betweenCompanies runs before each
    // company's part and every few hundred of its customers and suppliers
    // (a large company lists thousands).
    // Printed, each company starts a page and each page of it repeats the
    // company's name and the table's header.
    QString html(const RunState& state, const QStringList& csvFiles = {},
                 const std::function<void()>& betweenCompanies = {}) const;
};

// The spreadsheets beside the report: the stock per article and warehouse
// (every warehouse with a stock to carry, carried or held in the new year), and the
// open items of the old and the new year side by side. ";" separated, decimal comma,
// UTF-8 with a byte order mark, CR LF. Written a row at a time as the
// comparison reaches it, so that no company's rows are held. Columns added
// later come after the first ones, which keep their order.
enum class Spreadsheet { Stock, OpenItems };
// The byte order mark and the heading line.
QByteArray spreadsheetStart(Spreadsheet sheet);
// One line of a company's rows (its slot and name from c).
QByteArray spreadsheetLine(const CompanyVerification& c, const StockRow& row);
QByteArray spreadsheetLine(const CompanyVerification& c, const OpenItemRow& row);
// The one line of a company not chosen: its slot and name, and "non scelta"
// where a row says what became of it.
QByteArray spreadsheetNotChosenLine(Spreadsheet sheet, const CompanyVerification& c);

// Where the comparison sends the spreadsheets' rows; an empty one drops them.
struct SpreadsheetRows
{
    std::function<void(const CompanyVerification&, const StockRow&)> stock;
    std::function<void(const CompanyVerification&, const OpenItemRow&)> openItem;
};

// The Italian words of an outcome: "eseguita", "eseguita con avvisi",
// "eseguita con errori", "non eseguita"; the company lines, the report, the
// status panel and the console's closing line all use them.
QString outcomeText(CompanyVerification::Outcome outcome);

// A second pair of connections to a company's two archives (old year,
// new year): opens them on the thread that calls it, runs work with them and
// closes them (a connection serves the thread that opened it).
using ArchivePair = std::function<void(const std::function<void(Connection&, Connection&)>& work)>;

// Compares the archives of the old and the new year of one company, each
// table read forward, and sends the spreadsheets' rows to `rows` as it goes.
// On Qt's SQLite driver the comparison runs inside the engine (the new
// archive attached read-only to oldArchive's connection for the stock
// check, which both connections must leave idle meanwhile); elsewhere, and
// where the data are not what the engine reads as Query does, row by row:
// the same report either way. betweenChecks runs after each check.
// With besideStock, the open items are compared on a second thread over the
// pair it opens while the stock is compared here: the same company (its
// items' lines after the stock's), each spreadsheet's rows sent by one
// thread, betweenChecks called by both; what either raises is raised once
// both have ended. Without a thread to be had, one after the other.
CompanyVerification verifyCompany(Connection& oldArchive, Connection& newArchive, int slot, bool initialised,
                                  const SpreadsheetRows& rows = {},
                                  const std::function<void()>& betweenChecks = {},
                                  const ArchivePair& besideStock = {});

// Verifies every company of the run, writes the report to
// dati\tmp\verifica_Riapertura_<new year>_<yyyymmdd_hhmmss>.html (a
// rehearsal's: simulazione_Riapertura_..., in the installation's own
// dati\tmp), with the two
// spreadsheets beside it (..._giacenze.csv, ..._partite.csv), and returns it;
// its Windows path is reportPath (empty when not written). Each file is
// there whole or not at all; one that cannot be written is an error of the
// run, with an error line that names it. The errors the run reported so far
// (a spreadsheet's included) are the report's too; a mismatch counts as an
// error of the run.
VerificationReport verifyYearOpening(RunContext& ctx, QString* reportPath);

} // namespace rio
