#include "gui/window_host.h"

#include "gui/event_list_model.h"
#include "gui/frm_riapri_ui.h"
#include "gui/indicator_box.h"
#include "gui/message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace rio::gui {

WindowHost::WindowHost(QWidget& window, FrmRiapriUi& ui, EventListModel& events,
                       std::function<void()> closeWindow)
    : m_window(window), m_ui(ui), m_events(events), m_closeWindow(std::move(closeWindow))
{
}

WindowHost::~WindowHost()
{
    setBusy(false);
}

void WindowHost::setProgressCaption(const QString& caption)
{
    m_ui.lblArt->setText(caption);
}

void WindowHost::appendEvent(const QString& line)
{
    m_events.append(line);
}

void WindowHost::setStatus(StatusBox box, bool ticked)
{
    IndicatorBox* target = nullptr;
    switch (box) {
    case StatusBox::Copia:
        target = m_ui.chkCopia;
        break;
    case StatusBox::RipristinoMagazzino:
        target = m_ui.chkRipristinoMagazzino;
        break;
    case StatusBox::Inizializzazione:
        target = m_ui.chkInizializzazione;
        break;
    case StatusBox::CreazioneMagazzino:
        target = m_ui.chkCreazioneMagazzino;
        break;
    case StatusBox::CreazioneMovimContabili:
        target = m_ui.chkCreazioneMovimContabili;
        break;
    }
    if (target)
        target->setChecked(ticked);
}

void WindowHost::setLabel(PanelLabel label, const QString& caption)
{
    switch (label) {
    case PanelLabel::Azienda:
        m_ui.lblAzienda->setText(caption);
        break;
    case PanelLabel::AziendaLavorata:
        m_ui.lblAziendaLavorata->setText(caption);
        break;
    case PanelLabel::NumAzienda:
        m_ui.lblNumAzienda->setText(caption);
        break;
    }
}

void WindowHost::setRunEnabled(bool enabled)
{
    m_ui.cmd->setEnabled(enabled);
}

void WindowHost::setCloseEnabled(bool enabled)
{
    m_ui.cmdChiudi->setEnabled(enabled);
}

void WindowHost::lockYears()
{
    m_ui.txtDbOld->setReadOnly(true);
    m_ui.txtDbNew->setReadOnly(true);
}

bool WindowHost::logTicked() const
{
    return m_ui.chklog->isChecked();
}

int WindowHost::dataSourceIndex() const
{
    return m_ui.cmbSorgente->currentIndex();
}

bool WindowHost::zetaFolderTicked() const
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

void WindowHost::setBusy(bool hourglass)
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

void WindowHost::closeWindow()
{
    if (m_closeWindow)
        m_closeWindow();
}

void WindowHost::setRunProgress(int company, int companies, qint64 done, qint64 total)
{
    QProgressBar* bar = m_ui.barProgresso;
    if (bar->isHidden())
        bar->show();
    // No companies to count: the run is over.
    double fraction = 1;
    if (companies > 0) {
        const double within = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
        fraction = (std::clamp(company - 1, 0, companies) + within) / companies;
    }
    bar->setValue(int(std::clamp(fraction, 0.0, 1.0) * bar->maximum()));
}

void WindowHost::verificationReady(const QString& reportPath, const QStringList& summary)
{
    m_reportPath = reportPath;
    m_ui.cmdRapporto->setVisible(!reportPath.isEmpty());
    m_ui.cmdRapporto->setToolTip(summary.join(QLatin1Char('\n')));
}

} // namespace rio::gui
