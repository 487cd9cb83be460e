#pragma once

#include "context/host.h"

#include <QElapsedTimer>

#include <functional>

class QWidget;

namespace rio::gui {

class EventListModel;
struct FrmRiapriUi;

// The run's screen in the window: writes the controls, shows the boxes,
// keeps the pointer state and lets the window repaint while the run works.
class WindowHost : public Host
{
public:
    // Pending window messages are processed at most this often: a pass
    // repaints the window (about 3 ms), so every 60 ms it costs under 5% of
    // the run and still repaints well within 100 ms.
    static constexpr qint64 YieldIntervalMs = 60;

    WindowHost(QWidget& window, FrmRiapriUi& ui, EventListModel& events, std::function<void()> closeProgram);
    ~WindowHost() override;
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    void showProgressText(const QString& caption) override;
    void addEvent(const QString& line) override;
    void addMarkedEvent(const QString& line, EventMark mark) override;
    void showStageDone(Stage box, bool ticked) override;
    void showCompanyInfo(CompanyInfo label, const QString& caption) override;
    void allowNewRun(bool enabled) override;
    void allowClose(bool enabled) override;
    void lockYears() override;
    bool logWanted() const override;
    DataSource dataSource() const override;
    bool zetaFolderChosen() const override;
    QList<int> chosenCompanies() const override { return m_chosen; }
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    void showBusy(bool hourglass) override;
    void yield() override;
    void closeProgram() override;
    void setRunProgress(const RunProgressReport& progress) override;
    void verificationReady(const QString& reportPath, const QStringList& summary) override;
    void showRunOutcome(const QString& text, Tone tone) override;
    void restoreEnded(const QString& outcome, bool restored, const QString& reportPath) override;
    void verificationDetails(const VerificationReport& report) override;

    // The companies chosen with "Scegli aziende..." (empty: every company).
    void setChosenCompanies(const QList<int>& numbers) { m_chosen = numbers; }
    // The companies the last run's verification found done with errors or
    // not done (empty once a run starts).
    const QList<int>& companiesToRetry() const { return m_retry; }
    void forgetCompaniesToRetry() { m_retry.clear(); }

    // While a run is in progress the run button stays disabled, whatever a
    // step asks: the window enables it when the run returns.
    void setRunInProgress(bool inProgress) { m_runInProgress = inProgress; }

    // The status panel as before any run: no company, no step ticked, no
    // outcome.
    void resetPanel();

    // Windows path of the last report: the last run's verification report,
    // or the report of a restore made since ("" when none).
    const QString& reportPath() const { return m_reportPath; }

    bool busy() const { return m_busy; }

private:
    QWidget& m_window;
    FrmRiapriUi& m_ui;
    EventListModel& m_events;
    std::function<void()> m_closeWindow;
    QElapsedTimer m_sinceYield;
    bool m_busy = false;
    bool m_runInProgress = false;
    QString m_reportPath;
    QList<int> m_chosen;
    QList<int> m_retry;
};

} // namespace rio::gui
