// The window around a run: how it guards a run in progress, follows it in
// the event list, and ends the program after it, whether the run ends, is
// ended, fails or closes the window (runs stood in for by small procedures).
#include "context/exit_status.h"
#include "context/run_context.h"
#include "data/filesystem.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "support/test_install.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

class TestWindowLifecycle : public QObject, UnexpectedBoxes
{
    Q_OBJECT

private slots:
    void init() { answerUnexpectedBoxes(); }
    void cleanup() { MessageBox::reset(); }

    void closingIsRefusedWhileARunIsInProgress()
    {
        bool closedDuringRun = true;
        bool enabledDuringRun = true;
        bool wasRunning = false;
        int runs = 0;
        FrmRiapri* window = nullptr;
        FrmRiapri w([&](RunContext& ctx) {
            ++runs;
            wasRunning = window->isRunning();
            ctx.host().allowNewRun(true); // as the stock recomputation does
            enabledDuringRun =
                child(*window, "cmd")->isEnabled() || child(*window, "cmdVerifica")->isEnabled();
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
        QVERIFY(!enabledDuringRun);
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
};

QTEST_MAIN(TestWindowLifecycle)
#include "test_window_lifecycle.moc"
