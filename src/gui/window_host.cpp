#include "gui/window_host.h"

#include "gui/event_list_model.h"
#include "gui/frm_riapri_ui.h"
#include "gui/indicator_box.h"
#include "gui/message_box.h"
#include "run/company_choice.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace rio::gui {

WindowHost::WindowHost(QWidget& window, FrmRiapriUi& ui, EventListModel& events,
                       std::function<void()> closeProgram)
    : m_window(window), m_ui(ui), m_events(events), m_closeWindow(std::move(closeProgram))
{
}

WindowHost::~WindowHost()
{
    showBusy(false);
}

void WindowHost::showProgressText(const QString& caption)
{
    m_ui.lblArt->setText(caption);
}

void WindowHost::addEvent(const QString& line)
{
    m_events.append(line);
}

void WindowHost::addMarkedEvent(const QString& line, EventMark mark)
{
    m_events.append(line, mark);
}

void WindowHost::showStageDone(Stage box, bool ticked)
{
    IndicatorBox* target = nullptr;
    switch (box) {
    case Stage::Copia:
        target = m_ui.chkCopia;
        break;
    case Stage::RipristinoMagazzino:
        target = m_ui.chkRipristinoMagazzino;
        break;
    case Stage::Inizializzazione:
        target = m_ui.chkInizializzazione;
        break;
    case Stage::CreazioneMagazzino:
        target = m_ui.chkCreazioneMagazzino;
        break;
    case Stage::CreazioneMovimContabili:
        target = m_ui.chkCreazioneMovimContabili;
        break;
    }
    if (target)
        target->setChecked(ticked);
}

void WindowHost::showCompanyInfo(CompanyInfo label, const QString& caption)
{
    switch (label) {
    case CompanyInfo::Name:
        m_ui.lblAzienda->setText(caption);
        break;
    case CompanyInfo::Slot: {
        m_ui.lblAziendaLavorata->setText(caption);
        // "Azienda n di m" once a company is in work; a run that starts
        // clears it to 0.
        const bool inWork = caption.toInt() > 0;
        for (QLabel* counterLabel : {m_ui.Label7, m_ui.lblAziendaLavorata, m_ui.Label6, m_ui.lblNumAzienda})
            counterLabel->setVisible(inWork);
        break;
    }
    case CompanyInfo::Count:
        m_ui.lblNumAzienda->setText(caption);
        break;
    }
}

void WindowHost::allowNewRun(bool enabled)
{
    if (m_runInProgress)
        return;
    m_ui.cmd->setEnabled(enabled);
}

void WindowHost::allowClose(bool enabled)
{
    m_ui.cmdChiudi->setEnabled(enabled);
}

void WindowHost::lockYears()
{
    m_ui.txtDbOld->setReadOnly(true);
    m_ui.txtDbNew->setReadOnly(true);
}

bool WindowHost::logWanted() const
{
    return m_ui.chklog->isChecked();
}

DataSource WindowHost::dataSource() const
{
    return m_ui.cmbSorgente->currentIndex() == 0 ? DataSource::Local : DataSource::Server;
}

bool WindowHost::zetaFolderChosen() const
{
    return m_ui.chkSplus->isChecked();
}

Answer WindowHost::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    // The lines written so far belong on screen behind the box.
    m_events.flush();
    // The user answers with the ordinary pointer, then the hourglass returns.
    if (m_busy)
        QApplication::changeOverrideCursor(Qt::ArrowCursor);
    const Answer answer = MessageBox::show(&m_window, {text, buttons, icon, title});
    if (m_busy)
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    m_sinceYield.restart();
    return answer;
}

void WindowHost::showBusy(bool hourglass)
{
    if (hourglass == m_busy)
        return;
    m_busy = hourglass;
    if (hourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void WindowHost::yield()
{
    // Called once per article or item: only every few tens of milliseconds
    // is it worth letting the window repaint.
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < YieldIntervalMs)
        return;
    QCoreApplication::processEvents();
    m_sinceYield.restart();
}

void WindowHost::closeProgram()
{
    if (m_closeWindow)
        m_closeWindow();
}

void WindowHost::setRunProgress(const RunProgressReport& progress)
{
    QProgressBar* bar = m_ui.barProgresso;
    if (bar->isHidden())
        bar->show();
    bar->setValue(int(progress.fraction * bar->maximum()));
    m_ui.lblTime->setText(progress.timeText());
}

void WindowHost::verificationReady(const QString& reportPath, const QStringList& summary)
{
    m_reportPath = reportPath;
    m_ui.cmdRapporto->setText(QStringLiteral("&Apri rapporto di verifica"));
    m_ui.cmdRapporto->setVisible(!reportPath.isEmpty());
    m_ui.cmdRapporto->setToolTip(summary.join(QLatin1Char('\n')));
}

void WindowHost::verificationDetails(const VerificationReport& report)
{
    m_retry = rio::companiesToRetry(report);
}

void WindowHost::restoreEnded(const QString& outcome, bool restored, const QString& reportPath)
{
    resetPanel();
    showRunOutcome(restored ? QStringLiteral("Copia di sicurezza ripristinata: la riapertura è annullata")
                            : QStringLiteral("Ripristino non riuscito: vedere l'elenco degli eventi"),
                   restored ? Tone::Plain : Tone::Error);
    m_ui.lblOutcome->setToolTip(outcome);
    // The report of the run undone no longer describes the data.
    m_reportPath = reportPath;
    m_ui.cmdRapporto->setText(QStringLiteral("&Apri rapporto del ripristino"));
    m_ui.cmdRapporto->setVisible(!reportPath.isEmpty());
    m_ui.cmdRapporto->setToolTip(outcome);
}

void WindowHost::resetPanel()
{
    showCompanyInfo(CompanyInfo::Name, QString());
    showCompanyInfo(CompanyInfo::Slot, QString());
    showCompanyInfo(CompanyInfo::Count, QString());
    for (Stage stage : {Stage::Copia, Stage::RipristinoMagazzino, Stage::Inizializzazione,
                        Stage::CreazioneMagazzino, Stage::CreazioneMovimContabili})
        showStageDone(stage, false);
    showRunOutcome(QString(), Tone::Plain);
    m_ui.lblTime->clear();
    m_ui.barProgresso->setValue(0);
    m_ui.barProgresso->hide();
}

void WindowHost::showRunOutcome(const QString& text, Tone tone)
{
    QLabel* label = m_ui.lblOutcome;
    label->setText(text);
    // Green, amber, red: the colours of the report's headline.
    label->setStyleSheet(tone == Tone::Error     ? QStringLiteral("color:#b00000")
                         : tone == Tone::Warning ? QStringLiteral("color:#8a6d00")
                                                 : QStringLiteral("color:#176b1c"));
    label->setToolTip(text);
    label->setVisible(!text.isEmpty());
}

} // namespace rio::gui
