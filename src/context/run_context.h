#pragma once

#include "context/host.h"
#include "context/run_progress.h"
#include "context/run_state.h"
#include "data/error.h"

#include <QString>

namespace rio {

// Thrown to end the program: no further statement of the run executes; the
// front end closes the log and exits.
struct ProgramEnd
{
    QString reason;
};

// Raised by yield() once the person at the front end has asked the run to
// stop (Host::stopRequested): between two rows, or once the engine has
// finished the statement or commit under way, never inside one. Not an
// Error, so no step's handler takes it: it unwinds to the run as ProgramEnd
// does, and what the steps committed stays. step and slot say where it
// stopped; the run fills them in on the way out.
struct Interrupted
{
    QString step;
    int slot = 0;
};

// What every step receives: the screen, the run state, and the services
// built on them (progress text, error reports). Lives as long as the front
// end, like the label whose caption it tracks.
class RunContext
{
public:
    RunContext(Host& host, RunState& state);

    Host& host() { return m_host; }
    RunState& state() { return m_state; }

    // The progress text: sets lblArt's caption; a change becomes a lower-case
    // event-list line and, when chklog is ticked and the log is open, a log
    // line. Setting the caption it already has adds nothing. A line of a fast
    // flow (one per article) may wait a little before it is logged.
    void setProgress(const QString& text, fs::LogFile::Timing timing = fs::LogFile::Timing::AtOnce);
    const QString& progress() const { return m_caption; }

    // A line of the event list and the log that leaves lblArt alone, in its
    // own letter case: an error keeps the path as it is on disk.
    void addEventLine(const QString& text);
    // The same for an error that is not a box of its own.
    void addErrorLine(const QString& text) { addLine(text, {Tone::Error, false}); }
    // One of the lines that sum up the end of a run.
    void addClosingLine(const QString& text, Tone tone) { addLine(text, {tone, true}); }

    // The error box of a step: "Error <n> (<description>) in procedure
    // <label> of Form frmRiapri", OK, no icon, title "Riapertura". The text
    // also becomes an event line and the company counts as done with errors.
    void reportError(const Error& error, const QString& procedureLabel);
    // Any other box that reports an error (the writer's refusal).
    void reportErrorBox(const QString& text, Icon icon, const QString& title);

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title);
    // Writes the log lines held in memory now; a failure stays for the next
    // log line to raise.
    void writeHeldLogLines();

    // Lets the screen catch up; raises Interrupted when a stop has been asked
    // for, except while another exception unwinds (a commit kept by a
    // destructor on the way out): the stop then waits for the next yield.
    void yield();

    // The progress of the whole run (RunProgress): the run says which part
    // is under way, the steps how far their current pass has come. Passed
    // on to the screen when it moves by a thousandth or a second.
    RunProgress& runProgress() { return m_progress; }
    void setCompanyCount(int count) { m_progress.setCompanies(count); }
    void beginCompany(int index, qint64 articles, qint64 openItems);
    void beginPhase(RunProgress::Phase phase);
    void stepProgress(qint64 done, qint64 total);
    void finishProgress();

    // Errors of the company in work and of the whole run.
    bool companyHadErrors() const { return m_companyErrors; }
    bool runHadErrors() const { return m_runErrors; }
    // Errors reported since the run started (to tell whether one step failed).
    int errorCount() const { return m_errorCount; }
    // A run starts: no error yet, the progress from zero.
    void startRun();
    void startCompany() { m_companyErrors = false; }
    void markError();

    static QString errorText(const Error& error, const QString& procedureLabel);

private:
    // One line, on one line, to the event list and (when wanted) the log.
    void addLine(const QString& text, EventMark mark = {},
                 fs::LogFile::Timing timing = fs::LogFile::Timing::AtOnce);
    Host& m_host;
    RunState& m_state;
    QString m_caption;
    bool m_companyErrors = false;
    bool m_runErrors = false;
    int m_errorCount = 0;
    // A box waits for the user: that time is not the run's.
    Answer timedBox(const QString& text, Buttons buttons, Icon icon, const QString& title);
    void showProgress(bool always);
    RunProgress m_progress;
    int m_shownPermille = -1;
    qint64 m_shownSecond = -1;
    int m_shownPhasePass = -1;
};

inline constexpr auto ApplicationTitle = "Riapertura";

} // namespace rio
