// The window on its own: start-up state, what the run writes into it, and
// how it guards a run in progress (runs stood in for by small procedures).
#include "context/exit_status.h"
#include "context/run_context.h"
#include "data/filesystem.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/window_host.h"
#include "support/test_install.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

namespace {

template <typename W = QWidget> W* child(const QWidget& window, const char* name)
{
    W* w = window.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

QString text(const QWidget& window, const char* name)
{
    QWidget* w = child(window, name);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    qFatal("no text for %s", name);
}

const char* const StatusBoxes[] = {"chkCopia", "chkRipristinoMagazzino", "chkInizializzazione",
                                   "chkCreazioneMagazzino", "chkCreazioneMovimContabili"};

RunOutcome doNothing(RunContext&)
{
    return RunOutcome::Done;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    // No box may wait for a person: unexpected ones are answered and counted.
    void init()
    {
        m_unexpectedBoxes = 0;
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            ++m_unexpectedBoxes;
            return r.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
        });
    }
    void cleanup() { MessageBox::reset(); }

    void startUpState()
    {
        FrmRiapri w(&doNothing);
        QCOMPARE(w.objectName(), QStringLiteral("frmRiapri"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Creazione nuovo anno Contabile e Magazzino by Ventor"));

        const std::pair<const char*, const char*> captions[] = {
            {"Label5", "SORGENTE DATI"},
            {"Label1", "ESERCIZIO IN CORSO"},
            {"txtDbOld", "2023"},
            {"Label2", "ESERCIZIO DA APRIRE"},
            {"txtDbNew", "2024"},
            {"cmd", "&ESEGUI"},
            {"Label8", "Powered By"},
            {"Label3", "LOG Eventi"},
            {"chklog", "Crea file Log"},
            {"chkSplus",
             "Abilita aggiornamento in cartella Zeta (Abilitare Solo se comunicato dalla Ventor Soluzioni)"},
            {"Frame1", "STATO RIAPERTURA:"},
            {"Label4", "Lavorazione Azienda:"},
            {"lblAzienda", ""},
            {"Label7", "Azienda"},
            {"lblAziendaLavorata", "1"},
            {"Label6", "di"},
            {"lblNumAzienda", "1"},
            {"lblArt", ""},
            {"chkCopia", "Copia di salvataggio dati..."},
            {"chkRipristinoMagazzino", "Ripristino movimenti di Magazzino..."},
            {"chkInizializzazione", "&Inizializzazione Nuovo Archivio..."},
            {"chkCreazioneMagazzino", "Creazione nuovi Movimenti di magazzino..."},
            {"chkCreazioneMovimContabili", "Creazione nuovi Movimenti contabili..."},
            {"cmdChiudi", "&Chiudi"},
        };
        for (const auto& [name, caption] : captions)
            QCOMPARE(text(w, name), QString::fromUtf8(caption));

        auto* sorgente = child<QComboBox>(w, "cmbSorgente");
        QCOMPARE(sorgente->count(), 2);
        QCOMPARE(sorgente->itemText(0), QStringLiteral("LOCAL"));
        QCOMPARE(sorgente->itemText(1), QStringLiteral("SERVER"));
        QCOMPARE(sorgente->currentIndex(), 0);
        QVERIFY(!sorgente->isEditable());

        QVERIFY(child<QCheckBox>(w, "chklog")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "chkSplus")->isChecked());
        for (const char* box : StatusBoxes)
            QVERIFY2(!child<QCheckBox>(w, box)->isChecked(), box);
        QVERIFY(child(w, "cmd")->isEnabled());
        QVERIFY(child(w, "cmdChiudi")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "txtDbOld")->isReadOnly());
        QCOMPARE(child<QListView>(w, "lstEventi")->model()->rowCount(), 0);
        QVERIFY(!child<QLabel>(w, "Image1")->pixmap().isNull());
        QVERIFY(child(w, "Picture1")->isAncestorOf(child(w, "lblArt")));
        QVERIFY(child(w, "Frame1")->isAncestorOf(child(w, "chkCopia")));
        QVERIFY(child(w, "barProgresso")->isHidden());
        QVERIFY(child(w, "cmdRapporto")->isHidden());
        QVERIFY(!w.runState().CartellaProgrammi.isEmpty());
    }

    void tabOrder()
    {
        FrmRiapri w(&doNothing);
        const QStringList expected{QStringLiteral("txtDbOld"),
                                   QStringLiteral("txtDbNew"),
                                   QStringLiteral("cmd"),
                                   QStringLiteral("lstEventi"),
                                   QStringLiteral("cmdChiudi"),
                                   QStringLiteral("chklog"),
                                   QStringLiteral("cmbSorgente"),
                                   QStringLiteral("chkCreazioneMovimContabili"),
                                   QStringLiteral("chkCreazioneMagazzino"),
                                   QStringLiteral("chkRipristinoMagazzino"),
                                   QStringLiteral("chkInizializzazione"),
                                   QStringLiteral("chkCopia"),
                                   QStringLiteral("chkSplus")};
        // One lap of the focus chain from the first control, keeping the
        // controls of the list (the window's additions may stand between).
        QStringList seen;
        QWidget* start = child(w, "txtDbOld");
        QWidget* cur = start;
        do {
            if (expected.contains(cur->objectName()))
                seen << cur->objectName();
            cur = cur->nextInFocusChain();
        } while (cur != start);
        QCOMPARE(seen, expected);
        for (const QString& name : expected)
            QVERIFY2(w.findChild<QWidget*>(name)->focusPolicy() & Qt::TabFocus, qPrintable(name));
    }

    void statusBoxesAreIndicatorsOnly()
    {
        FrmRiapri w(&doNothing);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const char* name : StatusBoxes) {
            auto* box = child<QCheckBox>(w, name);
            QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            QVERIFY2(!box->isChecked(), name);
        }
        // The mnemonic of "&Inizializzazione ..." leaves it alone too.
        QTest::keyClick(&w, Qt::Key_I, Qt::AltModifier);
        QVERIFY(!child<QCheckBox>(w, "chkInizializzazione")->isChecked());

        // The program sets them.
        w.host().showStageDone(Stage::Inizializzazione, true);
        QVERIFY(child<QCheckBox>(w, "chkInizializzazione")->isChecked());
        w.host().showStageDone(Stage::Inizializzazione, false);
        QVERIFY(!child<QCheckBox>(w, "chkInizializzazione")->isChecked());

        // chklog and chkSplus are the user's, and read as they stand.
        auto* log = child<QCheckBox>(w, "chklog");
        QTest::mouseClick(log, Qt::LeftButton, {}, log->rect().center());
        QVERIFY(!log->isChecked());
        QVERIFY(!w.host().logWanted());
        QTest::mouseClick(log, Qt::LeftButton, {}, log->rect().center());
        QVERIFY(w.host().logWanted());
        auto* splus = child<QCheckBox>(w, "chkSplus");
        QTest::mouseClick(splus, Qt::LeftButton, {}, splus->rect().center());
        QVERIFY(w.host().zetaFolderChosen());
        child<QComboBox>(w, "cmbSorgente")->setCurrentIndex(1);
        QCOMPARE(w.host().dataSource(), DataSource::Server);
    }

    void hostWritesTheControls()
    {
        FrmRiapri w(&doNothing);
        Host& host = w.host();
        host.showProgressText(QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."));
        QCOMPARE(text(w, "lblArt"), QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."));
        host.showCompanyInfo(CompanyInfo::Name, QStringLiteral("Rossi & Figli <s.r.l.>"));
        host.showCompanyInfo(CompanyInfo::Slot, QStringLiteral("7"));
        host.showCompanyInfo(CompanyInfo::Count, QStringLiteral("2"));
        QCOMPARE(text(w, "lblAzienda"), QStringLiteral("Rossi & Figli <s.r.l.>"));
        QCOMPARE(child<QLabel>(w, "lblAzienda")->textFormat(), Qt::PlainText);
        QCOMPARE(text(w, "lblAziendaLavorata"), QStringLiteral("7"));
        QCOMPARE(text(w, "lblNumAzienda"), QStringLiteral("2"));
        host.allowNewRun(false);
        host.allowClose(false);
        QVERIFY(!child(w, "cmd")->isEnabled());
        QVERIFY(!child(w, "cmdChiudi")->isEnabled());
        host.lockYears();
        QVERIFY(child<QLineEdit>(w, "txtDbOld")->isReadOnly());
        QVERIFY(child<QLineEdit>(w, "txtDbNew")->isReadOnly());

        host.addEvent(QStringLiteral("riga"));
        QCoreApplication::processEvents();
        QCOMPARE(child<QListView>(w, "lstEventi")->model()->index(0, 0).data().toString(),
                 QStringLiteral("riga"));

        auto* bar = child<QProgressBar>(w, "barProgresso");
        host.setRunProgress(2, 4, 50, 100); // second of four, half done
        QVERIFY(!bar->isHidden());
        QCOMPARE(bar->value(), 375);
        host.setRunProgress(4, 4, 7, 0); // no step measure
        QCOMPARE(bar->value(), 750);
        host.setRunProgress(0, 0, 0, 0); // run over
        QCOMPARE(bar->value(), 1000);

        host.verificationReady(QStringLiteral("C:\\dati\\tmp\\verifica.html"), {QStringLiteral("tutto OK")});
        QVERIFY(!child(w, "cmdRapporto")->isHidden());
        QCOMPARE(child(w, "cmdRapporto")->toolTip(), QStringLiteral("tutto OK"));
    }

    void messageBoxesGoThroughTheSeam()
    {
        FrmRiapri w(&doNothing);
        QList<MessageBox::Request> seen;
        MessageBox::setHandler([&](const MessageBox::Request& r) {
            seen << r;
            return r.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
        });
        MessageBox::setNextAnswer(Answer::Yes);
        QCOMPARE(w.host().message(QStringLiteral("prima"), Buttons::YesNo, Icon::Exclamation,
                                  QStringLiteral("Ventor")),
                 Answer::Yes);
        QVERIFY(seen.isEmpty());
        QCOMPARE(w.host().message(QStringLiteral("Continuare?"), Buttons::YesNo, Icon::Exclamation,
                                  QStringLiteral("Ventor")),
                 Answer::No);
        QCOMPARE(w.host().message(QStringLiteral("fatto"), Buttons::Ok, Icon::Information,
                                  QStringLiteral("Ventor 2005")),
                 Answer::Ok);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].text, QStringLiteral("Continuare?"));
        QCOMPARE(seen[0].icon, Icon::Exclamation);
        QCOMPARE(seen[0].title, QStringLiteral("Ventor"));
        QCOMPARE(seen[1].buttons, Buttons::Ok);
        QCOMPARE(seen[1].icon, Icon::Information);
        QCOMPARE(seen[1].title, QStringLiteral("Ventor 2005"));
    }

    void busyPointerIsAStateNotAStack()
    {
        FrmRiapri w(&doNothing);
        gui::WindowHost& host = w.host();
        QVERIFY(!QApplication::overrideCursor());
        host.showBusy(true);
        host.showBusy(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

        // The user answers a box with the ordinary pointer; the hourglass returns.
        Qt::CursorShape duringBox = Qt::WaitCursor;
        MessageBox::setHandler([&](const MessageBox::Request&) {
            duringBox = QApplication::overrideCursor()->shape();
            return Answer::Ok;
        });
        host.message(QStringLiteral("x"), Buttons::Ok, Icon::None, QStringLiteral("Ventor"));
        QCOMPARE(duringBox, Qt::ArrowCursor);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

        host.showBusy(false);
        QVERIFY(!QApplication::overrideCursor());
        host.showBusy(false);
        QVERIFY(!QApplication::overrideCursor());
    }

    void yieldIsThrottled()
    {
        FrmRiapri w(&doNothing);
        int delivered = 0;
        const auto post = [&] {
            QMetaObject::invokeMethod(
                &w, [&] { ++delivered; }, Qt::QueuedConnection);
        };
        post();
        w.host().yield();
        QCOMPARE(delivered, 1);
        post();
        w.host().yield(); // right after the last one: nothing processed yet
        QCOMPARE(delivered, 1);
        QThread::msleep(gui::WindowHost::YieldIntervalMs + 10);
        w.host().yield();
        QCOMPARE(delivered, 2);
    }

    void closingIsRefusedWhileARunIsInProgress()
    {
        bool closedDuringRun = true;
        bool wasRunning = false;
        int runs = 0;
        FrmRiapri* window = nullptr;
        FrmRiapri w([&](RunContext& ctx) {
            ++runs;
            wasRunning = window->isRunning();
            ctx.host().allowNewRun(true); // as the stock recomputation does
            closedDuringRun = window->close();
            // A second click on the run button is not a second run.
            child<QPushButton>(*window, "cmd")->click();
            return RunOutcome::Done;
        });
        window = &w;
        QSignalSpy ended(&w, &FrmRiapri::programEnded);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QPushButton>(w, "cmd")->click();
        QCOMPARE(runs, 1);
        QVERIFY(wasRunning);
        QVERIFY(!closedDuringRun);
        QVERIFY(ended.isEmpty());
        QVERIFY(!w.isRunning());
        QVERIFY(child(w, "cmd")->isEnabled());
        QCOMPARE(w.lastOutcome(), RunOutcome::Done);

        // After the run it closes, and the program ends normally.
        QVERIFY(w.close());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitDone));
    }

    void theEventListFollowsTheRun()
    {
        FrmRiapri w([](RunContext& ctx) {
            for (int i = 0; i < 3000; ++i) {
                ctx.setProgress(QStringLiteral("RIPRISTINO IN CORSO ARTICOLO: A%1").arg(i));
                ctx.yield();
            }
            return RunOutcome::Done;
        });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QPushButton>(w, "cmd")->click();
        auto* list = child<QListView>(w, "lstEventi");
        QCOMPARE(list->model()->rowCount(), 3000);
        QCOMPARE(list->model()->index(2999, 0).data().toString(),
                 QStringLiteral("ripristino in corso articolo: a2999"));
        QCOMPARE(text(w, "lblArt"), QStringLiteral("RIPRISTINO IN CORSO ARTICOLO: A2999"));
        QVERIFY(list->verticalScrollBar()->maximum() > 0);
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    }

    void programEndReleasesAndEnds()
    {
        TestInstall install;
        FrmRiapri w([&](RunContext& ctx) -> RunOutcome {
            ctx.state().log = std::make_unique<fs::LogFile>(QStringLiteral("C:\\log.txt"));
            ctx.setProgress(QStringLiteral("Passo UNO"));
            ctx.host().showBusy(true);
            throw ProgramEnd{QStringLiteral("fine")};
        });
        QSignalSpy ended(&w, &FrmRiapri::programEnded);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QPushButton>(w, "cmd")->click();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitProgramEnded));
        QCOMPARE(w.exitStatus(), std::optional<int>(ExitProgramEnded));
        QVERIFY(!w.isVisible());
        QVERIFY(!w.runState().log);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_unexpectedBoxes, 0);
        QFile f(install.host(QStringLiteral("C:\\log.txt")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\"passo uno\"\r\n"));
        // Nothing starts any more.
        child<QPushButton>(w, "cmd")->click();
        QCOMPARE(ended.size(), 1);
    }

    void anErrorEscapingTheRunIsShownNotACrash()
    {
        QList<MessageBox::Request> seen;
        MessageBox::setHandler([&](const MessageBox::Request& r) {
            seen << r;
            return Answer::Ok;
        });
        FrmRiapri w([](RunContext&) -> RunOutcome { throw Error(76, QStringLiteral("Path not found")); });
        QSignalSpy ended(&w, &FrmRiapri::programEnded);
        child<QPushButton>(w, "cmd")->click();
        QCOMPARE(seen.size(), 1);
        QVERIFY(seen[0].text.contains(QStringLiteral("76")));
        QVERIFY(seen[0].text.contains(QStringLiteral("Path not found")));
        QCOMPARE(seen[0].icon, Icon::Critical);
        QCOMPARE(w.events().lineCount(), 1);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitProgramEnded));
    }

    void theRunMayCloseTheWindow()
    {
        FrmRiapri* window = nullptr;
        bool usable = false;
        FrmRiapri w([&](RunContext& ctx) {
            ctx.host().closeProgram();
            // Closed by the run, but its objects stay until it unwinds.
            usable = !window->isVisible() && window->isRunning();
            return RunOutcome::Done;
        });
        window = &w;
        QSignalSpy ended(&w, &FrmRiapri::programEnded);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QPushButton>(w, "cmd")->click();
        QVERIFY(usable);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitProgramEnded));
    }

    void closeButtonEndsWithTheLogComplete()
    {
        TestInstall install;
        FrmRiapri w([&](RunContext& ctx) {
            ctx.state().log = std::make_unique<fs::LogFile>(QStringLiteral("C:\\log.txt"));
            for (int i = 0; i < 100; ++i)
                ctx.setProgress(QStringLiteral("RIGA %1").arg(i));
            return RunOutcome::Done;
        });
        QSignalSpy ended(&w, &FrmRiapri::programEnded);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        child<QPushButton>(w, "cmd")->click();
        QVERIFY(w.runState().log); // stays open after the run
        child<QPushButton>(w, "cmdChiudi")->click();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitDone));
        QVERIFY(!w.runState().log);
        QCOMPARE(m_unexpectedBoxes, 0);
        QFile f(install.host(QStringLiteral("C:\\log.txt")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 101); // 100 lines and the empty rest after the last LF
        QCOMPARE(lines[99], QByteArray("\"riga 99\"\r"));
    }

private:
    int m_unexpectedBoxes = 0;
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
