// The window on its own: its controls at start-up, what the run writes into
// them, the message boxes and the busy pointer (runs stood in for by a
// procedure that does nothing).
#include "context/run_context.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/window_host.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QTest>
#include <QThread>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

namespace {

const char* const StatusBoxes[] = {"chkCopia", "chkRipristinoMagazzino", "chkInizializzazione",
                                   "chkCreazioneMagazzino", "chkCreazioneMovimContabili"};

RunOutcome doNothing(RunContext&)
{
    return RunOutcome::Done;
}

} // namespace

class TestWindowControls : public QObject, UnexpectedBoxes
{
    Q_OBJECT

private slots:
    void init() { answerUnexpectedBoxes(); }
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
        // The years are fixed: shown, never edited.
        QVERIFY(child<QLineEdit>(w, "txtDbOld")->isReadOnly());
        QVERIFY(child<QLineEdit>(w, "txtDbNew")->isReadOnly());
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
        RunProgressReport progress;
        progress.fraction = 0.375;
        progress.elapsedMs = 75'000;
        progress.remainingMs = 125'000;
        host.setRunProgress(progress);
        QVERIFY(!bar->isHidden());
        QCOMPARE(bar->value(), 375);
        QCOMPARE(text(w, "lblTime"), QStringLiteral("trascorsi 1:15, ne mancano circa 2:05"));
        progress.fraction = 1;
        progress.over = true;
        host.setRunProgress(progress);
        QCOMPARE(bar->value(), 1000);
        QCOMPARE(text(w, "lblTime"), QStringLiteral("tempo impiegato 1:15"));

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
};

QTEST_MAIN(TestWindowControls)
#include "test_window_controls.moc"
