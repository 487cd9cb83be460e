// Whole runs of the year opening through the real window, on a temporary
// installation, with the message boxes answered by the test.
#include "context/exit_status.h"
#include "context/layout.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "support/years.h"
#include "test_install.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

namespace {

// The choices of a run and the buttons that start work.
const char* const Choices[] = {"cmbSorgente", "chkSplus",  "chklog",      "cmd",
                               "cmdAziende",  "cmdSimula", "cmdVerifica", "cmdRipristina"};

struct Fixture
{
    TestInstall install;
    FrmRiapri window;
    QList<MessageBox::Request> boxes;
    // Runs at each box, before it is answered (Yes to the confirmations, OK
    // to the rest).
    std::function<void(const MessageBox::Request&)> onBox;

    Fixture()
    {
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            boxes << r;
            if (onBox)
                onBox(r);
            // A run again for the companies with errors has tests of its own.
            if (r.text.contains(QStringLiteral("Ripetere la riapertura solo per")))
                return Answer::No;
            return r.buttons == Buttons::YesNo || r.buttons == Buttons::YesNoDefaultNo ? Answer::Yes
                                                                                       : Answer::Ok;
        });
        window.show();
    }
    ~Fixture() { MessageBox::reset(); }

    template <typename W = QWidget> W* child(const char* name) const
    {
        return window.findChild<W*>(QLatin1String(name));
    }
    void clickRun() { child<QPushButton>("cmd")->click(); }
    void clickCheckBox(const char* name)
    {
        auto* box = child<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    }
    QString tmpFolder() const { return install.host(TestInstall::base() + QStringLiteral("dati\\Tmp")); }
    QString logPath() const { return install.host(rio::layout::logFilePath(TestInstall::base())); }
    QStringList events()
    {
        QStringList lines;
        for (qsizetype i = 0; i < window.events().lineCount(); ++i)
            lines << window.events().line(i);
        return lines;
    }
    QStringList logLines() const
    {
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QByteArray& raw : f.readAll().split('\n')) // "text"\r per line
            if (!raw.isEmpty())
                lines << QString::fromLatin1(raw.mid(1, raw.size() - 3));
        return lines;
    }
};

} // namespace

class TestWindowRun : public QObject
{
    Q_OBJECT

private slots:
    void answeringNoChangesNothing()
    {
        Fixture f;
        f.install.addCompany(1);
        MessageBox::setNextAnswer(Answer::No);
        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::NotStarted);
        QCOMPARE(f.window.events().lineCount(), 0);
        QVERIFY(!QDir(f.tmpFolder()).exists());
        QVERIFY(!QFile::exists(f.install.archiveHost(1, years::New)));
        QVERIFY(f.child("cmd")->isEnabled());
        QVERIFY(f.child("cmdVerifica")->isEnabled());
        QVERIFY(f.child("barProgresso")->isHidden());
    }

    // The choices hold from the confirmation to the end: a click on any of
    // them mid-run changes nothing (the log stays whole), and they are back
    // once the run is over.
    void theChoicesHoldDuringTheWholeRun()
    {
        Fixture f;
        f.install.addCompany(7);
        f.install.addCompany(2);
        QStringList workedOn;
        QStringList enabledDuringRun;
        f.onBox = [&](const MessageBox::Request& r) {
            if (!r.text.startsWith(QStringLiteral("Riapertura nuovo esercizio")))
                return;
            workedOn << f.child<QLabel>("lblAziendaLavorata")->text();
            for (const char* name : Choices)
                if (f.child(name)->isEnabled())
                    enabledDuringRun << QLatin1String(name);
            f.clickCheckBox("chklog");
            f.clickCheckBox("chkSplus");
            QTest::keyClick(f.child("cmbSorgente"), Qt::Key_Down);
        };
        f.clickRun();
        QCOMPARE(enabledDuringRun, QStringList());
        QVERIFY(f.child<QCheckBox>("chklog")->isChecked());
        QVERIFY(!f.child<QCheckBox>("chkSplus")->isChecked());
        QCOMPARE(f.child<QComboBox>("cmbSorgente")->currentIndex(), 0);
        for (const char* name : Choices)
            QVERIFY2(f.child(name)->isEnabled(), name);

        QCOMPARE(f.window.lastOutcome(), RunOutcome::Done);
        QCOMPARE(workedOn, QStringList({QStringLiteral("2"), QStringLiteral("7")}));
        QCOMPARE(f.child<QLabel>("lblNumAzienda")->text(), QStringLiteral("2"));
        QCOMPARE(f.child<QLabel>("lblAzienda")->text(), QStringLiteral("Azienda 7 S.r.l."));
        QCOMPARE(f.child<QLabel>("lblArt")->text(),
                 QStringLiteral("RIAPERTURA ARCHIVI CONCLUSA CON SUCCESSO!"));
        QCOMPARE(f.boxes.last().text, QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE"));
        QCOMPARE(f.boxes.last().title, QStringLiteral("Ventor 2005"));
        for (const char* box : {"chkCopia", "chkRipristinoMagazzino", "chkInizializzazione",
                                "chkCreazioneMagazzino", "chkCreazioneMovimContabili"})
            QVERIFY2(f.child<QCheckBox>(box)->isChecked(), box);
        QVERIFY(f.child("cmd")->isEnabled());
        QVERIFY(f.child("cmdChiudi")->isEnabled());
        QVERIFY(!f.window.isRunning());
        QVERIFY(QFile::exists(f.install.archiveHost(7, years::New)));

        const QStringList events = f.events();
        QCOMPARE(f.window.events().rowCount(), events.size()); // all shown once the run is over
        QCOMPARE(events.last(), QStringLiteral("riapertura archivi conclusa con successo!"));
        const QString second = QStringLiteral("ripristino magazzino azienda n. 7 in corso...");
        QVERIFY(events.contains(second));
        const QStringList log = f.logLines();
        QVERIFY(log.contains(second));
        QCOMPARE(log.last(), events.last());
    }

    void withoutLogTheListFillsAndTmpIsMade()
    {
        Fixture f;
        f.install.addCompany(1);
        f.clickCheckBox("chklog");
        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::Done);
        QVERIFY(QDir(f.tmpFolder()).exists());
        QVERIFY(!QFile::exists(f.logPath()));
        QVERIFY(f.events().contains(QStringLiteral("ripristino magazzino azienda n. 1 in corso...")));
    }

    void aLogThatCannotBeOpenedEndsTheProgram()
    {
        Fixture f;
        f.install.addCompany(1);
        // A folder where the log file should be: the run's own failure.
        QVERIFY(QDir().mkpath(f.logPath()));
        QSignalSpy ended(&f.window, &FrmRiapri::programEnded);
        f.clickRun();

        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].toInt(), int(ExitProgramEnded));
        QVERIFY(!f.window.isVisible());
        QVERIFY(!f.window.runState().log);
        QCOMPARE(f.boxes.last().icon, Icon::Critical);
        QVERIFY2(f.boxes.last().text.contains(years::fill(QStringLiteral("log_Riapertura_{new}.txt"))),
                 qPrintable(f.boxes.last().text));
        // The confirmation and the error: no company was reached.
        QCOMPARE(f.boxes.size(), 2);
        // The program has ended: the button starts nothing any more.
        f.clickRun();
        QCOMPARE(f.boxes.size(), 2);
    }

    void closingDuringTheRunIsRefused()
    {
        Fixture f;
        f.install.addCompany(1);
        bool refused = false;
        f.onBox = [&](const MessageBox::Request& r) {
            if (r.text.startsWith(QStringLiteral("Riapertura nuovo esercizio")))
                refused = !f.window.close();
        };
        f.clickRun();
        QVERIFY(refused);
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.window.lastOutcome(), RunOutcome::Done);
    }

    void theCheckWritesNothing()
    {
        Fixture f;
        f.install.addCompany(1);
        f.child<QPushButton>("cmdVerifica")->click();
        const QStringList events = f.events();
        QVERIFY(events.size() > 1);
        QVERIFY2(events[0].startsWith(QStringLiteral("VERIFICA PRELIMINARE DEL ")), qPrintable(events[0]));
        for (const QString& line : events.mid(1))
            QVERIFY2(line.startsWith(QStringLiteral("OK ")) || line.startsWith(QStringLiteral("ATTENZIONE ")),
                     qPrintable(line));
        QCOMPARE(f.boxes.size(), 1); // the summary, no confirmation
        QVERIFY(!QDir(f.tmpFolder()).exists());
        QVERIFY(!QFile::exists(f.install.archiveHost(1, years::New)));
        QVERIFY(f.child("cmd")->isEnabled());
        QVERIFY(f.child("cmdVerifica")->isEnabled());
        QVERIFY(!f.window.isRunning());
        QVERIFY(!f.window.lastOutcome());

        // A company without its AZIENDE row is found.
        TestInstall::exec(f.install.archiveHost(1), QStringLiteral("delete from AZIENDE"));
        f.child<QPushButton>("cmdVerifica")->click();
        QVERIFY(f.events().mid(events.size()).filter(QStringLiteral("ERRORE ")).size() >= 1);
        QCOMPARE(f.boxes.last().icon, Icon::Critical);
    }

    // Another process holds the installation (here flock(1), on a file that
    // names a run of 09:30:00): ESEGUI refuses with its box and is ready
    // again, nothing written; VERIFICA says it as a warning.
    void anotherProcessHoldingTheInstallationRefusesTheRun()
    {
        Fixture f;
        f.install.addCompany(1);
        const QString lockFile = f.install.host(TestInstall::base() + QStringLiteral("riapertura.lock"));
        {
            QFile file(lockFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("09:30:00 4242\n");
        }
        QProcess holder;
        holder.start(QStringLiteral("flock"), {QStringLiteral("--exclusive"), lockFile, QStringLiteral("-c"),
                                               QStringLiteral("echo held; sleep 60")});
        QVERIFY2(holder.waitForReadyRead(10000), "flock(1) holds the file");
        const auto stop = qScopeGuard([&holder] {
            holder.kill();
            holder.waitForFinished();
        });
        const auto before = TestInstall::fingerprint(f.install.driveC());
        const QString busy =
            QStringLiteral("Una riapertura o un ripristino è già in corso su questa installazione "
                           "(avviato alle 09:30:00, processo 4242): attendere che finisca.");

        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::NotStarted);
        QCOMPARE(f.boxes.last().text, busy);
        QCOMPARE(f.boxes.last().icon, Icon::Critical);
        QVERIFY(f.events().contains(busy));
        QVERIFY(f.child("cmd")->isEnabled());
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);

        f.child<QPushButton>("cmdVerifica")->click();
        QVERIFY(f.events().contains(QStringLiteral("ATTENZIONE ") + busy));
    }

    void aSecondRunInTheSameProgramStart()
    {
        Fixture f;
        f.install.addCompany(1);
        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::Done);
        const int firstBoxes = f.boxes.size();
        f.clickRun();
        // The second run first names the new-year archive it replaces.
        QCOMPARE(f.boxes.size(), 2 * firstBoxes + 1);
        QCOMPARE(f.boxes[firstBoxes].buttons, Buttons::YesNoDefaultNo);
        QVERIFY(f.boxes[firstBoxes].text.contains(QStringLiteral("- Azienda_1 (Azienda 1 S.r.l.)")));
        QCOMPARE(f.child<QLabel>("lblNumAzienda")->text(), QStringLiteral("1"));
        // Both runs appended to the same log.
        const QStringList log = f.logLines();
        QCOMPARE(log.count(QStringLiteral("riapertura archivi conclusa con successo!")), 2);

        // A third run that finds no company is refused, and the window can run again.
        QVERIFY(QFile::remove(f.install.archiveHost(1)));
        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::NotStarted);
        QVERIFY2(f.boxes.last().text.contains(
                     years::fill(QStringLiteral("nessuna azienda con archivio {old} trovata"))),
                 qPrintable(f.boxes.last().text));
        QVERIFY(f.child<QPushButton>("cmd")->isEnabled());
    }

    // A run whose one company has an open item the writer refuses: its end
    // tells the user what happened and where the files are, without opening
    // anything.
    void theEndOfARunWithErrorsIsOnScreen()
    {
        Fixture f;
        f.install.addCompany(1);
        TestInstall::addRefusedOpenItem(f.install.archiveHost(1));
        f.clickRun();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::DoneWithErrors);
        QCOMPARE(f.child<QLabel>("lblOutcome")->text(),
                 QStringLiteral("Riapertura eseguita con errori in 1 azienda su 1"));

        const QStringList events = f.events();
        const qsizetype outcome = events.indexOf(
            QStringLiteral("Azienda_1 Azienda 1 S.r.l.: eseguita con errori (1 errore, 1 discordanza)"));
        QVERIFY2(outcome > events.indexOf(
                               QStringLiteral("RIAPERTURA ESEGUITA CON ERRORI: 1 errore della riapertura, "
                                              "1 discordanza, 0 avvisi")),
                 qPrintable(events.join(QLatin1Char('\n'))));
        QCOMPARE(
            f.window.events().data(f.window.events().index(int(outcome)), Qt::ForegroundRole).value<QColor>(),
            QColor(0xb0, 0x00, 0x00));
        QVERIFY(events.value(outcome + 1).startsWith(QStringLiteral("Copia di sicurezza: ")));
        QVERIFY(events.value(outcome + 2).startsWith(QStringLiteral("File di log: ")));
        QVERIFY(events.value(outcome + 3).startsWith(QStringLiteral("Rapporto di verifica: ")));
        // The writer's error line is red too.
        const qsizetype refusal = events.indexOf(QRegularExpression(QStringLiteral("Attenzione!!!.*")));
        QVERIFY2(refusal >= 0, qPrintable(events.join(QLatin1Char('\n'))));
        QCOMPARE(
            f.window.events().data(f.window.events().index(int(refusal)), Qt::ForegroundRole).value<QColor>(),
            QColor(0xb0, 0x00, 0x00));

        // No browser: the report's path in a box and on the clipboard.
        QString opened;
        MessageBox::setOpenFileHandler([&](const QString& path) {
            opened = path;
            return false;
        });
        const qsizetype before = f.boxes.size();
        f.child<QPushButton>("cmdRapporto")->click();
        QVERIFY(QFile::exists(opened));
        QCOMPARE(f.boxes.size(), before + 1);
        QVERIFY(f.boxes.last().text.endsWith(opened));
        QCOMPARE(QGuiApplication::clipboard()->text(), opened);

        // The list's menu saves every line, proposing the folder of the log
        // and the reports.
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("eventi.txt"));
        QString proposed;
        MessageBox::setSaveFileHandler([&](const QString& suggested) {
            proposed = suggested;
            return saved;
        });
        f.child<QAction>("actSalvaElenco")->trigger();
        QCOMPARE(QFileInfo(proposed).absolutePath(), QFileInfo(f.tmpFolder()).absoluteFilePath());
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 events.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));

        // The check afterwards keeps the run's lines and its report: its own
        // follow under a line that says what they are; the choices hold
        // while it works.
        QStringList enabledDuringCheck;
        f.onBox = [&](const MessageBox::Request&) {
            for (const char* name : Choices)
                if (f.child(name)->isEnabled())
                    enabledDuringCheck << QLatin1String(name);
        };
        f.child<QPushButton>("cmdVerifica")->click();
        QCOMPARE(enabledDuringCheck, QStringList());
        const QStringList after = f.events();
        QCOMPARE(after.mid(0, events.size()), events);
        QVERIFY2(after.value(events.size()).startsWith(QStringLiteral("VERIFICA PRELIMINARE DEL ")),
                 qPrintable(after.value(events.size())));
        QVERIFY(after.size() > events.size() + 1);
        f.child<QPushButton>("cmdRapporto")->click();
        QVERIFY(QFileInfo(opened).fileName().startsWith(
            years::fill(QStringLiteral("verifica_Riapertura_{new}_"))));
    }
};

QTEST_MAIN(TestWindowRun)
#include "test_window_run.moc"
