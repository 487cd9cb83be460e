#include "gui/frm_riapri.h"

#include "context/exit_status.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "context/wording.h"
#include "data/filesystem.h"
#include "gui/event_list_model.h"
#include "gui/message_box.h"
#include "gui/restore_dialog.h"
#include "gui/window_host.h"
#include "run/preliminary_check.h"
#include "run/rehearsal.h"
#include "run/restore.h"
#include "run/run.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace rio::gui {

FrmRiapri::FrmRiapri(QWidget* parent) : FrmRiapri(Runner(&runYearOpening), parent) {}

FrmRiapri::FrmRiapri(Runner runner, QWidget* parent)
    : QWidget(parent), m_runner(std::move(runner)),
      m_rehearsalRunner([](RunContext& ctx) { return rehearseYearOpening(ctx); })
{
    setObjectName(QStringLiteral("frmRiapri"));
    m_ui.setupUi(this);
    m_events = new EventListModel(this);
    m_ui.lstEventi->setModel(m_events);
    // The newest line stays in sight. Scrolling lays out the whole list, so
    // it follows the rows at most every 100 ms, not at every batch.
    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(100);
    connect(m_scrollTimer, &QTimer::timeout, m_ui.lstEventi, &QAbstractItemView::scrollToBottom);
    connect(m_events, &QAbstractItemModel::rowsInserted, m_scrollTimer, [this] {
        if (!m_scrollTimer->isActive())
            m_scrollTimer->start();
    });
    connect(m_ui.cmbFiltro, &QComboBox::currentIndexChanged, this, &FrmRiapri::showFilteredEvents);
    connect(m_events, &EventListModel::countsChanged, this, &FrmRiapri::showEventCounts);

    m_host = std::make_unique<WindowHost>(*this, m_ui, *m_events, [this] { closeByRun(); });
    m_ctx = std::make_unique<RunContext>(*m_host, m_state);

    connect(m_ui.cmd, &QPushButton::clicked, this, &FrmRiapri::cmd_Click);
    connect(m_ui.cmdChiudi, &QPushButton::clicked, this, &FrmRiapri::cmdChiudi_Click);
    connect(m_ui.cmdVerifica, &QPushButton::clicked, this, &FrmRiapri::cmdVerifica_Click);
    connect(m_ui.cmdSimula, &QPushButton::clicked, this, &FrmRiapri::cmdSimula_Click);
    connect(m_ui.cmdRapporto, &QPushButton::clicked, this, &FrmRiapri::cmdRapporto_Click);
    connect(m_ui.actCopia, &QAction::triggered, this, &FrmRiapri::copyEventLine);
    connect(m_ui.actSalvaElenco, &QAction::triggered, this, &FrmRiapri::saveEventList);
    connect(m_ui.cmdRipristina, &QPushButton::clicked, this, &FrmRiapri::cmdRipristina_Click);
    connect(m_ui.cmdAziende, &QPushButton::clicked, this, &FrmRiapri::cmdAziende_Click);
    Form_Load();
}

FrmRiapri::~FrmRiapri()
{
    m_state.release();
}

void FrmRiapri::Form_Load()
{
    setWindowTitle(QStringLiteral("Creazione nuovo anno Contabile e Magazzino by Ventor"));
    m_ui.txtDbOld->setText(QString::number(layout::AnnoInCorso));
    m_ui.txtDbNew->setText(QString::number(layout::AnnoDaAprire));
    m_ui.cmd->setEnabled(true);
    m_ui.cmbSorgente->setCurrentIndex(0);
    startUp(m_state);
}

void FrmRiapri::cmd_Click()
{
    runWith(m_runner);
}

void FrmRiapri::cmdSimula_Click()
{
    runWith(m_rehearsalRunner);
}

void FrmRiapri::runWith(const Runner& runner)
{
    // The stock recomputation enables the button again after each company:
    // a second run must not start inside the one in progress.
    if (m_running || m_exitStatus)
        return;
    m_running = true;
    m_closedByRun = false;
    // Neither a second run nor the check may start inside this one, whatever
    // a step enables on the way; the choices it reads stay as confirmed.
    m_ui.setChoicesEnabled(false);
    m_host->setRunInProgress(true);
    m_host->forgetCompaniesToRetry();
    bool programEnd = false;
    try {
        // The run starts from a fresh state once the user has confirmed.
        m_lastOutcome = runner(*m_ctx);
    } catch (const ProgramEnd&) {
        // The run has shown its message already.
        programEnd = true;
    } catch (const std::exception& error) {
        reportUnexpected(interruptionText(error));
        programEnd = true;
    }
    m_running = false;
    m_host->setRunInProgress(false);
    m_host->showBusy(false);
    m_events->flush();
    m_ui.lstEventi->scrollToBottom();

    if (programEnd || m_closedByRun) {
        endProgram(ExitProgramEnded);
        return;
    }
    m_ui.setChoicesEnabled(true);
    m_ui.cmdChiudi->setEnabled(true);
    // A rehearsal changed nothing: there is nothing to open again.
    if (m_lastOutcome == RunOutcome::DoneWithErrors && !m_state.record.rehearsal())
        offerRetry();
}

void FrmRiapri::reportUnexpected(const QString& text)
{
    try {
        m_ctx->addEventLine(text);
    } catch (...) {
        // The log may be what failed; the box below still tells the user.
    }
    m_host->message(text, Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
}

void FrmRiapri::cmdChiudi_Click()
{
    if (m_running)
        return;
    endProgram(ExitDone);
}

void FrmRiapri::cmdVerifica_Click()
{
    // Shares the screen and the run state with the run: one at a time.
    if (m_running || m_exitStatus)
        return;
    m_running = true;
    m_ui.setChoicesEnabled(false);
    m_host->setRunInProgress(true);
    // The list keeps what came before (a run's outcome and paths): the
    // check's lines follow under a line of their own.
    m_host->addMarkedEvent(
        QStringLiteral("VERIFICA PRELIMINARE DEL %1")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy 'ALLE' HH:mm:ss"))),
        {Tone::Plain, true});
    try {
        runPreliminaryCheck(*m_host, m_state);
    } catch (const std::exception& error) {
        reportUnexpected(checkFailureText(error));
    }
    m_running = false;
    m_host->setRunInProgress(false);
    m_host->showBusy(false);
    m_events->flush();
    m_ui.lstEventi->scrollToBottom();
    m_ui.setChoicesEnabled(true);
}

void FrmRiapri::cmdRipristina_Click()
{
    if (m_running || m_exitStatus)
        return;
    QString root;
    try {
        root = readInstallationRoot(*m_host, m_state.CartellaProgrammi);
    } catch (const Error& e) {
        MessageBox::show(this, {QStringLiteral("Impossibile elencare le copie di sicurezza: errore %1 (%2)")
                                    .arg(e.number())
                                    .arg(e.description()),
                                Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle)});
        return;
    }
    auto* dialog = new DlgRipristino(root, listSafetyCopies(root), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // Once the dialog has closed: the restore takes the window for a while.
        QTimer::singleShot(0, this, [this, name = dialog->chosenCopy(), undo = dialog->undoChosen()] {
            restoreCopy(name, undo);
        });
    });
    dialog->open();
}

void FrmRiapri::restoreCopy(const QString& copyName, bool undo)
{
    if (m_running || m_exitStatus)
        return;
    m_running = true;
    m_ui.setChoicesEnabled(false);
    m_ui.cmdChiudi->setEnabled(false);
    m_host->setRunInProgress(true);
    try {
        m_lastOutcome = undo ? undoLastRestore(*m_ctx) : restoreSafetyCopy(*m_ctx, copyName);
    } catch (const std::exception& error) {
        reportUnexpected(interruptionText(error));
    }
    m_running = false;
    m_host->setRunInProgress(false);
    m_host->showBusy(false);
    m_events->flush();
    m_ui.lstEventi->scrollToBottom();
    m_ui.setChoicesEnabled(true);
    m_ui.cmdChiudi->setEnabled(true);
}

void FrmRiapri::cmdRapporto_Click()
{
    const QString path = m_host->reportPath();
    if (path.isEmpty())
        return;
    const QString file = QDir::toNativeSeparators(fs::hostPath(path));
    if (MessageBox::openFile(file))
        return;
    // No browser started: the path, to open it by hand.
    QGuiApplication::clipboard()->setText(file);
    MessageBox::show(this, {QStringLiteral("Nessun programma ha aperto il rapporto di verifica. Il percorso, "
                                           "copiato negli appunti, è:\n%1")
                                .arg(file),
                            Buttons::Ok, Icon::Exclamation, QLatin1String(ApplicationTitle)});
}

void FrmRiapri::copyEventLine()
{
    const QModelIndex current = m_ui.lstEventi->currentIndex();
    if (current.isValid())
        QGuiApplication::clipboard()->setText(current.data().toString());
}

QString FrmRiapri::reportFolder()
{
    QString root = m_state.PercorsoBase;
    if (root.isEmpty()) {
        try {
            root = readInstallationRoot(*m_host, m_state.CartellaProgrammi);
        } catch (const Error&) {
            // No installation to be found: the dialog starts at home.
            return QDir::homePath();
        }
    }
    const QString tmp = fs::hostPath(root + QStringLiteral("dati\\Tmp"));
    return QFileInfo(tmp).isDir() ? tmp : QDir::homePath();
}

void FrmRiapri::saveEventList()
{
    const QString target =
        MessageBox::askSaveFile(this, QStringLiteral("Salva elenco"),
                                QDir(reportFolder()).filePath(QStringLiteral("eventi_riapertura.txt")));
    if (target.isEmpty())
        return;
    QByteArray text;
    for (qsizetype i = 0; i < m_events->lineCount(); ++i)
        text += m_events->line(i).toUtf8() + "\r\n";
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush())
        MessageBox::show(this, {QStringLiteral("Impossibile salvare l'elenco in %1: %2")
                                    .arg(QDir::toNativeSeparators(target), file.errorString()),
                                Buttons::Ok, Icon::Exclamation, QLatin1String(ApplicationTitle)});
}

void FrmRiapri::showFilteredEvents(int filter)
{
    m_events->setFilter(filter == 1 ? EventListModel::Filter::WarningsAndErrors
                                    : EventListModel::Filter::AllLines);
    m_ui.lstEventi->scrollToBottom();
}

void FrmRiapri::showEventCounts()
{
    // Lines, as the filter shows them: a closing line that sums up an error
    // counts as well.
    m_ui.lblConteggio->setText(counted(m_events->errorCount(), "riga di errore", "righe di errore") +
                               QStringLiteral(", ") +
                               counted(m_events->warningCount(), "riga di avviso", "righe di avviso"));
    // Red while there is an error to read, amber for warnings alone.
    m_ui.lblConteggio->setStyleSheet(m_events->errorCount()     ? QStringLiteral("color:#b00000")
                                     : m_events->warningCount() ? QStringLiteral("color:#8a6d00")
                                                                : QString());
}

void FrmRiapri::closeByRun()
{
    m_closedByRun = true;
    close();
}

void FrmRiapri::closeEvent(QCloseEvent* event)
{
    if (m_running && !m_closedByRun) {
        // The archives are open: closing now would leave a company half done.
        event->ignore();
        QApplication::beep();
        return;
    }
    event->accept();
    // Closed by the run itself: what it holds is released once it unwinds.
    if (!m_running && !m_exitStatus) {
        m_state.release();
        m_exitStatus = ExitDone;
        emit programEnded(ExitDone);
    }
}

void FrmRiapri::endProgram(int exitStatus)
{
    m_state.release();
    m_exitStatus = exitStatus;
    close();
    emit programEnded(exitStatus);
}

} // namespace rio::gui
