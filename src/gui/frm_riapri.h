#pragma once

#include "context/run_state.h"
#include "gui/frm_riapri_ui.h"
#include "run/run.h"

#include <QWidget>

class QTimer;

#include <functional>
#include <memory>
#include <optional>

namespace rio {
class RunContext;
}

namespace rio::gui {

class EventListModel;
class WindowHost;

// The program's one window: the choices of a run, its progress, and the
// buttons that start it and end the program.
class FrmRiapri : public QWidget
{
    Q_OBJECT

public:
    // What the run button does; the year opening unless told otherwise.
    using Runner = std::function<RunOutcome(RunContext&)>;

    explicit FrmRiapri(QWidget* parent = nullptr);
    explicit FrmRiapri(Runner runner, QWidget* parent = nullptr);
    ~FrmRiapri() override;

    bool isRunning() const { return m_running; }
    // The outcome of the last run that returned.
    std::optional<RunOutcome> lastOutcome() const { return m_lastOutcome; }
    // The exit status once the program has ended.
    std::optional<int> exitStatus() const { return m_exitStatus; }

    const FrmRiapriUi& ui() const { return m_ui; }
    EventListModel& events() { return *m_events; }
    WindowHost& host() { return *m_host; }
    RunState& runState() { return m_state; }

signals:
    // The program is to end with this status (the window is closed).
    void programEnded(int exitStatus);

public slots:
    void cmd_Click();
    // The rehearsal: the whole run on a scratch copy of the data folder.
    void cmdSimula_Click();
    void cmdChiudi_Click();
    void cmdRapporto_Click();
    void cmdVerifica_Click();
    // The event list's menu: the current line to the clipboard; every line
    // to a text file the user chooses (UTF-8, CR LF).
    void copyEventLine();
    void saveEventList();
    // Opens the list of the safety copies; the one picked is restored, or the
    // last restore undone.
    void cmdRipristina_Click();
    // Opens the list of the companies found; those ticked are the ones the
    // next runs open (all ticked: every company, as without a choice).
    void cmdAziende_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    // A run or a rehearsal, the window held while it works.
    void runWith(const Runner& runner);
    void closeByRun();
    // The filter's choice (0: every line, 1: warnings and errors) in the list.
    void showFilteredEvents(int filter);
    // The count beside the filter, as the list stands.
    void showEventCounts();
    // Where "Salva elenco" starts: the installation's dati\Tmp, beside the
    // log and the reports; the home folder when there is none.
    QString reportFolder();
    void reportUnexpected(const QString& text);
    void endProgram(int exitStatus);
    void restoreCopy(const QString& copyName, bool undo = false);
    // After a run with errors in some companies: asks whether to run again
    // for those alone, and if so starts that run once this one has returned.
    void offerRetry();
    // The companies the next runs open (empty: every one), on the button too.
    void choose(const QList<int>& companies);

    FrmRiapriUi m_ui;
    EventListModel* m_events = nullptr;
    QTimer* m_scrollTimer = nullptr;
    RunState m_state;
    std::unique_ptr<WindowHost> m_host;
    std::unique_ptr<RunContext> m_ctx;
    Runner m_runner;
    Runner m_rehearsalRunner;
    bool m_running = false;
    bool m_closedByRun = false;
    std::optional<RunOutcome> m_lastOutcome;
    std::optional<int> m_exitStatus;
};

} // namespace rio::gui
