// The window on its own: its controls at start-up, what the run writes into
// them, the message boxes and the busy pointer (runs stood in for by a
// procedure that does nothing).
#include "context/run_context.h"
#include "context/wording.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/window_host.h"
#include "support/years.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QColor>
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

        const QByteArray oldYear = years::oldText().toLatin1();
        const QByteArray newYear = years::newText().toLatin1();
        const std::pair<const char*, const char*> captions[] = {
            {"Label5", "SORGENTE DATI"},
            {"Label1", "ESERCIZIO IN CORSO"},
            {"txtDbOld", oldYear.constData()},
            {"Label2", "ESERCIZIO DA APRIRE"},
            {"txtDbNew", newYear.constData()},
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
            {"lblAziendaLavorata", ""},
            {"Label6", "di"},
            {"lblNumAzienda", ""},
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
        // Nothing is known of the companies before a run: no "Azienda 1 di 1".
        for (const char* name : {"Label7", "lblAziendaLavorata", "Label6", "lblNumAzienda"})
            QVERIFY2(child(w, name)->isHidden(), name);
        QCOMPARE(text(w, "lblVersione"), QStringLiteral("Versione ") + programVersion());
        auto* filter = child<QComboBox>(w, "cmbFiltro");
        QCOMPARE(filter->count(), 2);
        QCOMPARE(filter->itemText(0), QStringLiteral("Tutti gli eventi"));
        QCOMPARE(filter->itemText(1), QStringLiteral("Solo avvisi ed errori"));
        QCOMPARE(filter->currentIndex(), 0);
        QCOMPARE(text(w, "lblConteggio"), QStringLiteral("0 righe di errore, 0 righe di avviso"));
        QVERIFY(!w.runState().CartellaProgrammi.isEmpty());
    }

    // Tab goes through the choices, the buttons that start the work, the
    // list under its filter, the lower buttons, and round again; what only
    // shows (the years, the status boxes) is passed by and never takes the
    // focus, at start-up either.
    void tabOrder()
    {
        FrmRiapri w(&doNothing);
        w.host().verificationReady(QStringLiteral("C:\\r.html"), {}); // "Apri rapporto" shown
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        QTRY_VERIFY(QApplication::focusWidget());
        const QStringList expected{
            QStringLiteral("cmbSorgente"),   QStringLiteral("chkSplus"),    QStringLiteral("chklog"),
            QStringLiteral("cmd"),           QStringLiteral("cmdAziende"),  QStringLiteral("cmdVerifica"),
            QStringLiteral("cmbFiltro"),     QStringLiteral("lstEventi"),   QStringLiteral("cmdSimula"),
            QStringLiteral("cmdRipristina"), QStringLiteral("cmdRapporto"), QStringLiteral("cmdChiudi")};
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());
        QStringList seen;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(seen, expected);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());
        for (const char* name :
             {"txtDbOld", "txtDbNew", "chkCopia", "chkRipristinoMagazzino", "chkInizializzazione",
              "chkCreazioneMagazzino", "chkCreazioneMovimContabili"})
            QCOMPARE(child(w, name)->focusPolicy(), Qt::NoFocus);
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

    // What a run writes into the window, and the window's size that stays
    // as it is meanwhile.
    void hostWritesTheControls()
    {
        FrmRiapri w(&doNothing);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize size = w.size();
        const QSize least = w.minimumSizeHint();
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
        QVERIFY(child(w, "lblNumAzienda")->isVisible());
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
        host.showRunOutcome(QStringLiteral("Riapertura eseguita con errori in 3 aziende su 4, una riga lunga "
                                           "quanto basta per non starci nella larghezza della finestra"),
                            Tone::Error);
        QCoreApplication::processEvents();
        QCOMPARE(w.minimumSizeHint(), least);
        QCOMPARE(w.size(), size);

        // A run starts: the counter goes until a company is in work.
        host.showCompanyInfo(CompanyInfo::Slot, QStringLiteral("0"));
        QVERIFY(child(w, "lblNumAzienda")->isHidden());
    }

    // The filter shows only the warnings and errors, those appended while it
    // is on too, in order; the lines stay, and show again without it. The
    // count beside it counts them all.
    void theFilterShowsOnlyWarningsAndErrors()
    {
        FrmRiapri w(&doNothing);
        Host& host = w.host();
        host.addEvent(QStringLiteral("ripristino in corso articolo: a1"));
        host.addMarkedEvent(QStringLiteral("ATTENZIONE giacenza diversa"), {Tone::Warning, false});
        host.addEvent(QStringLiteral("ripristino in corso articolo: a2"));
        host.addMarkedEvent(QStringLiteral("Error 3021 in procedure X"), {Tone::Error, false});
        host.addMarkedEvent(QStringLiteral("Copia di sicurezza: C:\\x"), {Tone::Plain, true});
        QCoreApplication::processEvents();
        QCOMPARE(text(w, "lblConteggio"), QStringLiteral("1 riga di errore, 1 riga di avviso"));

        auto* list = child<QListView>(w, "lstEventi");
        const auto rows = [list] {
            QStringList shown;
            for (int i = 0; i < list->model()->rowCount(); ++i)
                shown << list->model()->index(i, 0).data().toString();
            return shown;
        };
        QCOMPARE(rows().size(), 5);
        child<QComboBox>(w, "cmbFiltro")->setCurrentIndex(1);
        QCOMPARE(rows(), QStringList({QStringLiteral("ATTENZIONE giacenza diversa"),
                                      QStringLiteral("Error 3021 in procedure X")}));
        QCOMPARE(list->model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(0xb0, 0x00, 0x00));
        host.addEvent(QStringLiteral("ripristino in corso articolo: a3"));
        host.addMarkedEvent(QStringLiteral("ATTENZIONE seconda"), {Tone::Warning, false});
        QCoreApplication::processEvents();
        QCOMPARE(rows().size(), 3);
        QCOMPARE(rows().last(), QStringLiteral("ATTENZIONE seconda"));
        QCOMPARE(text(w, "lblConteggio"), QStringLiteral("1 riga di errore, 2 righe di avviso"));
        QCOMPARE(w.events().lineCount(), 7);

        child<QComboBox>(w, "cmbFiltro")->setCurrentIndex(0);
        QCOMPARE(rows().size(), 7);
        QCOMPARE(rows()[5], QStringLiteral("ripristino in corso articolo: a3"));
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
