#pragma once

#include "context/run_progress.h"

#include <QString>
#include <QStringList>

namespace rio {

struct VerificationReport;

// The five stages the status panel ticks, top to bottom (named after their
// indicators chkCopia ... chkCreazioneMovimContabili).
enum class Stage {
    Copia,
    RipristinoMagazzino,
    Inizializzazione,
    CreazioneMagazzino,
    CreazioneMovimContabili
};

// What the run shows of the company in work: its name, its slot, and how many
// companies the run found.
enum class CompanyInfo { Name, Slot, Count };

// Where the data lie: the local installation, or the root recorded in the
// product's system database.
enum class DataSource { Local, Server };

// How an event line stands out: plain, a warning, an error. A closing line
// is one of those that sum up the end of a run.
enum class Tone { Plain, Warning, Error };
struct EventMark
{
    Tone tone = Tone::Plain;
    bool closing = false;
};

// YesNoDefaultNo: a question whose answer by default is No, for a step that
// replaces data. YesNoExplicit: the same, for a question that only an answer
// given to it settles, never a consent given beforehand to every question (the
// console's --yes): the console answers it No; only the window asks it.
enum class Buttons { Ok, YesNo, YesNoDefaultNo, YesNoExplicit };
enum class Icon { None, Information, Exclamation, Critical };
enum class Answer { Ok, Yes, No };

// What the run and its steps need of the screen, in the run's terms. The
// window, the console and the tests each implement it; the run never touches
// a widget. What a front end may ignore has an empty default.
class Host
{
public:
    virtual ~Host() = default;

    // One more line at the end of the event list.
    virtual void addEvent(const QString& line) = 0;
    // The same for a line that stands out (shown apart, or kept when the
    // screen shows little); by default an ordinary line.
    virtual void addMarkedEvent(const QString& line, EventMark /*mark*/) { addEvent(line); }

    // The choices of the run, read at the moment the run needs them: whether
    // to write the log, where the data lie, whether to work in the Zeta folder.
    virtual bool logWanted() const = 0;
    virtual DataSource dataSource() const = 0;
    virtual bool zetaFolderChosen() const = 0;
    // The companies the user chose to open (slots, ascending); empty: every
    // company found, as when no choice is made. The others are left as they are.
    virtual QList<int> chosenCompanies() const { return {}; }
    // The user said beforehand that a safety copy without a manifest, which
    // cannot be verified, may be restored (the console's
    // --anche-non-verificabile): the restore does not ask. By default it asks.
    virtual bool unverifiableCopyAccepted() const { return false; }

    // A modal message box; returns the answer.
    virtual Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) = 0;

    // The run asks the program to end (its closing sequence releases the
    // run's objects).
    virtual void closeProgram() = 0;

    // The progress text as it stands (the event line is added apart).
    virtual void showProgressText(const QString& /*text*/) {}
    // A stage has reached its end (true), or starts again for a company (false).
    virtual void showStageDone(Stage /*stage*/, bool /*done*/) {}
    virtual void showCompanyInfo(CompanyInfo /*info*/, const QString& /*text*/) {}
    // Whether a new run, or closing the program, may be asked for now.
    virtual void allowNewRun(bool /*allowed*/) {}
    virtual void allowClose(bool /*allowed*/) {}
    // The two years can no longer be changed.
    virtual void lockYears() {}
    // Long work under way (hourglass) or not: a state, not a stack.
    virtual void showBusy(bool /*busy*/) {}
    // Lets the screen catch up with pending work (repaint, input).
    virtual void yield() {}
    // The person at the front end asked the run to stop (the console's
    // Ctrl-C); asked at every yield, and true from then on.
    virtual bool stopRequested() const { return false; }

    // A step of the run has ended for a company (slot 0: the common part),
    // with its wall time; for timings and the verification report.
    virtual void stepFinished(const QString& /*step*/, int /*slot*/, qint64 /*milliseconds*/, bool /*ok*/) {}
    // How the run ended, in a few words (empty: a run starts), in the tone of
    // its outcome: plain when done, a warning when done with something to
    // check by hand, an error when done with errors or interrupted.
    virtual void showRunOutcome(const QString& /*text*/, Tone /*tone*/) {}
    // The verification report of a finished run: its Windows path (empty when
    // it could not be written) and a few summary lines.
    virtual void verificationReady(const QString& /*reportPath*/, const QStringList& /*summary*/) {}
    // The same report whole, for a front end that hands each company's
    // figures to another program (the console's --json); read only here.
    virtual void verificationDetails(const VerificationReport& /*report*/) {}
    // A restore has put a safety copy in place (restored) or tried and put
    // the data folder back (not restored): what the screen shows of the run
    // it undid no longer holds. outcome is its closing line, reportPath its
    // report's Windows path (empty when none was written).
    virtual void restoreEnded(const QString& /*outcome*/, bool /*restored*/, const QString& /*reportPath*/) {}
    // Where the whole run stands: its fraction only grows; shown when it
    // moves by a thousandth or a second has passed, and once at the end.
    virtual void setRunProgress(const RunProgressReport& /*progress*/) {}
};

} // namespace rio
