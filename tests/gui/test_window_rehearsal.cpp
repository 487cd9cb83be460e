// The rehearsal through the real window: its button, its confirmation, the
// window held while it works, and an installation left as it was.
#include "context/layout.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "test_install.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

class TestWindowRehearsal : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { MessageBox::reset(); }

    // Simula... rehearses the whole run, its buttons held like ESEGUI's
    // while it works; its report in dati\Tmp, the archives and log untouched.
    void theRehearsalButton()
    {
        TestInstall install;
        install.addCompany(1);
        FrmRiapri window;
        window.show();
        QList<MessageBox::Request> boxes;
        QStringList enabledDuringRun;
        const char* const choices[] = {"cmbSorgente", "chkSplus",  "chklog",       "cmd",
                                       "cmdVerifica", "cmdSimula", "cmdRipristina"};
        MessageBox::setHandler([&](const MessageBox::Request& r) {
            boxes << r;
            if (window.isRunning() && boxes.size() > 1)
                for (const char* name : choices)
                    if (child(window, name)->isEnabled())
                        enabledDuringRun << QLatin1String(name);
            return r.buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
        });
        const Fingerprint before = TestInstall::fingerprint(install.driveC());

        auto* button = child<QPushButton>(window, "cmdSimula");
        QCOMPARE(button->text(), QStringLiteral("&Simula..."));
        button->click();

        QCOMPARE(window.lastOutcome(), RunOutcome::Done);
        QVERIFY2(boxes.first().text.startsWith(QStringLiteral("SIMULAZIONE della riapertura")),
                 qPrintable(boxes.first().text));
        QCOMPARE(boxes.first().buttons, Buttons::YesNo);
        QCOMPARE(boxes.size(), 3); // the confirmation, the company, the end
        QCOMPARE(enabledDuringRun, QStringList());
        for (const char* name : choices)
            QVERIFY2(child(window, name)->isEnabled(), name);
        QCOMPARE(text(window, "lblArt"),
                 QStringLiteral("SIMULAZIONE - RIAPERTURA ARCHIVI CONCLUSA CON SUCCESSO!"));
        QVERIFY(!child<QCheckBox>(window, "chkCopia")->isChecked());
        // Only the rehearsal's report and spreadsheets are new.
        QStringList fresh;
        const Fingerprint after = TestInstall::fingerprint(install.driveC());
        for (auto it = after.begin(); it != after.end(); ++it)
            if (!before.contains(it.key()))
                fresh << QFileInfo(it.key()).fileName();
            else
                QVERIFY2(before.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(fresh.size(), 3);
        QCOMPARE(fresh.filter(QStringLiteral("simulazione_Riapertura_%1_").arg(layout::AnnoDaAprire)).size(),
                 3);
        QVERIFY(
            !QFileInfo::exists(install.host(TestInstall::base() + QStringLiteral("Simulazione_in_corso"))));
    }

    // A rehearsal that ends with errors opened nothing: the window does not
    // offer to open the failed companies again (a Yes would start a real run).
    void noRetryOfferedAfterIt()
    {
        TestInstall install;
        TestInstall::addRefusedOpenItem(install.addCompany(1));
        FrmRiapri window;
        window.show();
        QStringList texts;
        MessageBox::setHandler([&](const MessageBox::Request& r) {
            texts << r.text;
            return r.buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
        });
        child<QPushButton>(window, "cmdSimula")->click();
        QTest::qWait(50); // a run offered again would start once the handler returns

        QCOMPARE(window.lastOutcome(), RunOutcome::DoneWithErrors);
        QVERIFY2(texts.filter(QStringLiteral("Ripetere la riapertura")).isEmpty(),
                 qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY(!QFile::exists(install.archiveHost(1, layout::AnnoDaAprire)));
    }

private:
    using Fingerprint = QMap<QString, QByteArray>;
};

QTEST_MAIN(TestWindowRehearsal)
#include "test_window_rehearsal.moc"
