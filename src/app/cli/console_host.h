#pragma once

#include "app/cli/cli_options.h"
#include "context/host.h"

#include <cstdio>
#include <functional>
#include <optional>

namespace rio::cli {

class JsonReport;

// The run's screen on a terminal: event lines and message boxes go to
// standard output, error lines, boxes of kind error (Icon::Critical) and step
// times to standard error; boxes are answered OK, the
// confirmation by --yes or by the person at the terminal. A question that
// only an explicit answer settles (Buttons::YesNoExplicit) is answered No,
// with a line that says so: --yes never answers it, and the restore of a copy
// without a manifest asks it not at all with --anche-non-verificabile.
class ConsoleHost : public Host
{
public:
    // Asks a yes/no question; no value when nobody can answer (no terminal).
    using Ask = std::function<std::optional<bool>(const QString& question)>;

    ConsoleHost(const CliOptions& options, std::FILE* out, std::FILE* err, Ask ask);

    // A question on the terminal of this process, when standard input is one.
    static Ask terminalAsk(std::FILE* prompt);
    static bool stdinIsTerminal();

    void addEvent(const QString& line) override;
    // With --quiet, errors and the closing lines still show.
    void addMarkedEvent(const QString& line, EventMark mark) override;
    bool logWanted() const override { return m_options.log; }
    DataSource dataSource() const override
    {
        return m_options.server ? DataSource::Server : DataSource::Local;
    }
    bool zetaFolderChosen() const override { return m_options.zetaFolder; }
    bool unverifiableCopyAccepted() const override { return m_options.unverifiable; }
    QList<int> chosenCompanies() const override { return m_options.companies; }
    // A Yes is the moment files start to change: from then on Ctrl-C asks
    // for a stop instead of ending the program (stop_signals).
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    // Ctrl-C, SIGTERM or SIGHUP since the run was confirmed.
    bool stopRequested() const override;
    // Kept for the closing line.
    void showRunOutcome(const QString& text, Tone tone) override;
    void closeProgram() override { m_windowClosed = true; }
    void stepFinished(const QString& step, int slot, qint64 milliseconds, bool ok) override;
    void setRunProgress(const RunProgressReport& progress) override;
    // What --json hands on: the report, its path, the restore's end.
    void showCompanyInfo(CompanyInfo info, const QString& text) override;
    void verificationReady(const QString& reportPath, const QStringList& summary) override;
    void verificationDetails(const VerificationReport& report) override;
    void restoreEnded(const QString& outcome, bool restored, const QString& reportPath) override;

    // With --json, where the run's findings, boxes and outcome are gathered
    // (null: none); the host does not own it.
    void setJson(JsonReport* json) { m_json = json; }
    JsonReport* json() const { return m_json; }

    // Progress as one status line on standard error, rewritten in place and
    // cleared before any other output and at the end: only on a terminal.
    void setProgressShown(bool shown) { m_progressShown = shown; }
    static bool stderrIsTerminal();

    // The run asked to close the window: the program ends early.
    bool windowClosed() const { return m_windowClosed; }
    // "tempo: totale <ms> ms" when timings are on.
    void totalTime(qint64 milliseconds);
    // The console's closing line, "Esito: " and the run's outcome as the
    // status panel says it (also with --quiet); nothing when the run set none.
    // Before it, when companies ended with errors and the command line is
    // known, the command that runs them again alone.
    void printOutcome();
    // The command line of this program (arguments[0] as typed).
    void setCommandLine(const QStringList& arguments) { m_arguments = arguments; }
    // The companies the last verification found done with errors or not done.
    const QList<int>& companiesToRetry() const { return m_retry; }
    void flush();

private:
    void print(std::FILE* stream, const QString& text);
    void clearStatus();

    CliOptions m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    Ask m_ask;
    bool m_windowClosed = false;
    bool m_progressShown = false;
    qsizetype m_statusWidth = 0; // characters of the status line on screen
    QString m_status;
    QString m_outcome;
    JsonReport* m_json = nullptr;
    QStringList m_arguments;
    QList<int> m_retry;
};

} // namespace rio::cli
