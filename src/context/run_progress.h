#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace rio {

// The parts of a run, and the restore, as the progress weighs them.
enum class RunPhase {
    CompanyList,
    SafetyCopy,
    NewYear,
    Recompute,    // the old-year stock recomputation: one pass over the articles
    Initialise,   // emptying the new-year archive
    OpeningStock, // writing the opening movements, then recomputing the new year's stock: two passes
    OpenItems,    // one pass over the open items
    Verification, // one pass over the companies
    Restore,      // a restore on its own: the copy read back, then copied in
};

// Where the run stands, for a progress bar and a status line.
struct RunProgressReport
{
    int company = 0;     // the company in work, 1-based (0: none yet)
    int companies = 0;   // how many the run found
    double fraction = 0; // of the whole run, 0 to 1; never less than the last one shown
    qint64 elapsedMs = 0;
    qint64 remainingMs = -1; // -1 until an estimate means something
    bool over = false;       // the run has ended
    RunPhase phase = RunPhase::CompanyList;
    int pass = 0; // of the phase, from 0 (the opening stock and the restore have two)

    // "azienda 2 di 3" (empty before the first company).
    QString companyText() const;
    // "trascorsi 0:12, ne mancano circa 0:14" (the estimate once there is
    // one); at the end "tempo impiegato 1:05".
    QString timeText() const;
};

// The whole run as one fraction that only grows: the common part (the
// safety copy, the new-year folders) first, then each company an equal
// share, within which each step weighs what it handles (the articles it
// reads, twice for the opening stock that recomputes them again, the open
// items), and the verification last. The steps report their own units
// (done of total); a step that starts counting again has begun its next
// pass. Time spent waiting for a message box is not the run's.
class RunProgress
{
public:
    using Phase = RunPhase;

    // clock: milliseconds from any fixed origin (a steady clock unless a test gives one).
    explicit RunProgress(std::function<qint64()> clock = {});

    void start();
    void setCompanies(int count);
    // A company starts, with the rows its steps will handle.
    void beginCompany(int index, qint64 articles, qint64 openItems);
    void beginPhase(Phase phase);
    // Units of the current phase's pass: done of total.
    void advance(qint64 done, qint64 total);
    // Time that does not count (a box waiting for the user).
    void pause(qint64 milliseconds) { m_pausedMs += milliseconds; }
    void finish();

    RunProgressReport report() const;
    qint64 now() const;

private:
    // The share of the whole run the current phase spans.
    void phaseRange(double& from, double& to) const;

    std::function<qint64()> m_clock;
    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0;
    int m_company = 0;
    int m_companies = 0;
    qint64 m_articles = 0;
    qint64 m_openItems = 0;
    Phase m_phase = Phase::CompanyList;
    int m_pass = 0;
    qint64 m_lastDone = 0;
    double m_fraction = 0;
    bool m_over = false;
};

} // namespace rio
