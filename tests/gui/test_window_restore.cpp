// The restore through the real window: its button, the dialog that lists the
// safety copies and reads them back in the background, the confirmation
// whose default is No, and the button disabled while a run works.
#include "context/exit_status.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/qt_translations.h"
#include "gui/restore_dialog.h"
#include "run/restore.h"
#include "support/years.h"
#include "test_install.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace rio;
using rio::gui::DlgRipristino;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

namespace {

enum { Name, Taken, Age, Size, Kind, Check };

// An installation of two companies and the window on it, after one run made
// in the window; every box is recorded and answered Yes or OK.
struct Fixture
{
    TestInstall install;
    QByteArray archiveBeforeRun;
    FrmRiapri window;
    QList<MessageBox::Request> boxes;
    bool choiceOfferedDuringWork = false;

    Fixture()
    {
        install.addCompany(1);
        install.addCompany(2);
        archiveBeforeRun = TestInstall::fingerprint(install.driveC()).value(relative(install.archiveHost(1)));
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            boxes << r;
            // The choices of a run and the buttons that start work hold
            // while a run or a restore works.
            for (const char* name :
                 {"cmbSorgente", "chkSplus", "chklog", "cmd", "cmdVerifica", "cmdRipristina"})
                if (window.isRunning() && child(window, name)->isEnabled())
                    choiceOfferedDuringWork = true;
            return r.buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
        });
        window.show();
        child<QPushButton>(window, "cmd")->click();
    }
    ~Fixture() { MessageBox::reset(); }

    QString relative(const QString& host) const { return QDir(install.driveC()).relativeFilePath(host); }
    QString copy() const { return fs::hostPath(listSafetyCopies(TestInstall::base()).first().path); }

    DlgRipristino* openDialog()
    {
        child<QPushButton>(window, "cmdRipristina")->click();
        auto* dialog = window.findChild<DlgRipristino*>(QStringLiteral("dlgRipristino"));
        if (!dialog || !dialog->isVisible())
            qFatal("no restore dialog");
        return dialog;
    }
};

} // namespace

class TestWindowRestore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { MessageBox::reset(); }

    // Two runs and a copy made by hand: the copies told apart, the one before
    // the opening preselected and restored, an old copy removed but never the
    // newest complete one, and the restore undone.
    void theCopyPickedIsRestored()
    {
        Fixture f;
        QCOMPARE(f.window.lastOutcome(), std::optional<RunOutcome>(RunOutcome::Done));
        QVERIFY(!f.choiceOfferedDuringWork);
        QVERIFY(child<QPushButton>(f.window, "cmdRipristina")->isEnabled());
        QCOMPARE(text(f.window, "cmdRipristina"), QStringLiteral("&Ripristina copia..."));
        // An older copy made by hand, without a manifest.
        fs::CopyFolder(TestInstall::base() + QStringLiteral("dati"),
                       TestInstall::base() + QStringLiteral("Copia_dati_01122025"));
        f.boxes.clear();
        child<QPushButton>(f.window, "cmd")->click();
        QCOMPARE(f.window.lastOutcome(), std::optional<RunOutcome>(RunOutcome::Done));
        QCOMPARE(f.boxes[0].buttons, Buttons::YesNoDefaultNo); // the re-run names what it replaces
        QVERIFY(f.boxes[0].text.contains(QStringLiteral("- Azienda_2 (Azienda 2 S.r.l.)")));

        DlgRipristino* dialog = f.openDialog();
        auto* list = child<QTreeWidget>(*dialog, "lstCopie");
        QCOMPARE(list->topLevelItemCount(), 3);
        QTRY_VERIFY(!dialog->checking());
        QCOMPARE(list->topLevelItem(0)->text(Kind),
                 years::fill(QStringLiteral("contiene già il {new} (Azienda_1, Azienda_2)")));
        QCOMPARE(list->topLevelItem(1)->text(Kind), QStringLiteral("prima della riapertura"));
        QCOMPARE(list->currentItem(), list->topLevelItem(1));
        QVERIFY2(list->topLevelItem(1)->text(Age).endsWith(QStringLiteral(" fa")),
                 qPrintable(list->topLevelItem(1)->text(Age)));
        for (int row : {0, 1})
            QVERIFY2(list->topLevelItem(row)->text(Check).startsWith(QStringLiteral("verificata (")),
                     qPrintable(list->topLevelItem(row)->text(Check)));
        QCOMPARE(list->topLevelItem(2)->text(Name), QStringLiteral("Copia_dati_01122025"));
        QCOMPARE(list->topLevelItem(2)->text(Taken), QStringLiteral("01/12/2025"));
        QCOMPARE(list->topLevelItem(2)->text(Check),
                 QStringLiteral("non verificabile: manca copia_di_sicurezza.sha256"));
        QVERIFY(list->topLevelItem(0)->text(Size).endsWith(QStringLiteral(" MB")));
        QCOMPARE(child<QProgressBar>(*dialog, "barVerifica")->value(), 1000);
        QVERIFY(!child<QPushButton>(*dialog, "cmdInterrompi")->isEnabled());
        QVERIFY(text(*dialog, "lblVerifica").startsWith(QStringLiteral("Verifica completata")));
        QVERIFY(!child<QPushButton>(*dialog, "cmdAnnullaRipristino")->isEnabled());

        // The newest complete copy stays; an old one goes once confirmed.
        auto* remove = child<QPushButton>(*dialog, "cmdRimuoviCopia");
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(!remove->isEnabled());
        list->setCurrentItem(list->topLevelItem(2));
        f.boxes.clear();
        remove->click();
        QCOMPARE(f.boxes.size(), 1);
        QCOMPARE(f.boxes[0].buttons, Buttons::YesNoDefaultNo);
        QCOMPARE(list->topLevelItem(2)->text(Check), QStringLiteral("rimossa"));
        QVERIFY(!QDir(f.install.host(TestInstall::base() + QStringLiteral("Copia_dati_01122025"))).exists());
        QVERIFY(!remove->isEnabled());

        f.boxes.clear();
        list->setCurrentItem(list->topLevelItem(1));
        child<QPushButton>(*dialog, "cmdRipristinaCopia")->click();
        QTRY_VERIFY(f.boxes.size() >= 2 && !f.window.isRunning());
        QCOMPARE(f.boxes[0].buttons, Buttons::YesNoDefaultNo);
        QVERIFY(f.boxes[0].text.contains(QStringLiteral("sarà messa da parte come")));
        QVERIFY(f.boxes[0].text.contains(QStringLiteral("fatta PRIMA DELLA RIAPERTURA")));
        QVERIFY(f.boxes.last().text.startsWith(QStringLiteral("COPIA DI SICUREZZA RIPRISTINATA")));
        QCOMPARE(f.window.lastOutcome(), std::optional<RunOutcome>(RunOutcome::Done));

        // The archives as before the run; the buttons back.
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()).value(f.relative(f.install.archiveHost(1))),
                 f.archiveBeforeRun);
        QVERIFY(!QFile::exists(f.install.archiveHost(1, years::New)));
        const auto& events = f.window.events();
        QVERIFY(events.line(events.lineCount() - 1).startsWith(QStringLiteral("Rapporto del ripristino: ")));
        for (const char* button : {"cmd", "cmdVerifica", "cmdRipristina", "cmdChiudi"})
            QVERIFY2(child<QPushButton>(f.window, button)->isEnabled(), button);
        QVERIFY(!f.choiceOfferedDuringWork);

        // The panel no longer shows the run undone, and the report button
        // opens the restore's report.
        for (const char* box : {"chkCopia", "chkRipristinoMagazzino", "chkInizializzazione",
                                "chkCreazioneMagazzino", "chkCreazioneMovimContabili"})
            QVERIFY2(!child<QAbstractButton>(f.window, box)->isChecked(), box);
        QCOMPARE(text(f.window, "lblAzienda"), QString());
        QVERIFY(child(f.window, "lblNumAzienda")->isHidden());
        QCOMPARE(text(f.window, "lblOutcome"),
                 QStringLiteral("Copia di sicurezza ripristinata: la riapertura è annullata"));
        QCOMPARE(text(f.window, "cmdRapporto"), QStringLiteral("&Apri rapporto del ripristino"));
        QString opened;
        MessageBox::setOpenFileHandler([&](const QString& path) {
            opened = path;
            return true;
        });
        child<QPushButton>(f.window, "cmdRapporto")->click();
        QVERIFY2(QFileInfo(opened).fileName().startsWith(QStringLiteral("ripristino_")), qPrintable(opened));
        QVERIFY(QFile::exists(opened));

        // Undone from the dialog: the data folder set aside comes back as it was.
        const QString aside = fs::hostPath(setAsideFolder(TestInstall::base()));
        const auto setAside = TestInstall::fingerprint(aside);
        dialog = f.openDialog();
        QVERIFY(
            text(*dialog, "lblMessaDaParte").contains(years::fill(QStringLiteral("contiene già il {new}"))));
        f.boxes.clear();
        child<QPushButton>(*dialog, "cmdAnnullaRipristino")->click();
        QTRY_VERIFY(f.boxes.size() >= 2 && !f.window.isRunning());
        QCOMPARE(f.boxes[0].buttons, Buttons::YesNoDefaultNo);
        QVERIFY(f.boxes.last().text.startsWith(QStringLiteral("ULTIMO RIPRISTINO ANNULLATO")));
        QCOMPARE(TestInstall::fingerprint(f.install.host(TestInstall::base() + QStringLiteral("dati"))),
                 setAside);
    }

    // A copy that does not read back equal is shown so and cannot be picked.
    void aCopyThatDiffersIsNotOffered()
    {
        Fixture f;
        QFile archive(f.copy() + years::fill(QStringLiteral("/esercizi/Azienda_2/{old}/dati.mdb")));
        QVERIFY(archive.open(QIODevice::Append));
        archive.write("x");
        archive.close();

        DlgRipristino* dialog = f.openDialog();
        auto* list = child<QTreeWidget>(*dialog, "lstCopie");
        QTRY_VERIFY(!dialog->checking());
        QCOMPARE(list->topLevelItem(0)->text(Check),
                 years::fill(QStringLiteral(
                     "NON corrisponde al manifesto: esercizi/Azienda_2/{old}/dati.mdb (contenuto diverso)")));
        QVERIFY(!child<QPushButton>(*dialog, "cmdRipristinaCopia")->isEnabled());
        f.boxes.clear();
        child<QPushButton>(*dialog, "cmdAnnulla")->click();
        QTRY_VERIFY(!f.window.findChild<DlgRipristino*>());
        QVERIFY(f.boxes.isEmpty());
        QVERIFY(QFile::exists(f.install.archiveHost(1, years::New)));
    }

    // The reading can be interrupted; what was not read says so, and may
    // still be picked (the restore reads it again).
    void theReadingCanBeInterrupted()
    {
        Fixture f;
        // A large file listed in the manifest keeps the reading busy.
        QFile big(f.copy() + QStringLiteral("/grande.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(1) << 30));
        big.close();
        QFile manifest(f.copy() + QLatin1Char('/') + QLatin1String(fs::ManifestFileName));
        QVERIFY(manifest.open(QIODevice::Append));
        manifest.write(QByteArray(64, '0') + "  grande.bin\n");
        manifest.close();

        DlgRipristino* dialog = f.openDialog();
        child<QPushButton>(*dialog, "cmdInterrompi")->click();
        QTRY_VERIFY(!dialog->checking());
        QCOMPARE(child<QTreeWidget>(*dialog, "lstCopie")->topLevelItem(0)->text(Check),
                 QStringLiteral("verifica interrotta"));
        QCOMPARE(text(*dialog, "lblVerifica"), QStringLiteral("Verifica interrotta."));
        QVERIFY(child<QProgressBar>(*dialog, "barVerifica")->value() < 1000);
        QVERIFY(!child<QPushButton>(*dialog, "cmdInterrompi")->isEnabled());
        QVERIFY(child<QPushButton>(*dialog, "cmdRipristinaCopia")->isEnabled());
        dialog->reject();
    }

    // The real box: Yes by default for the run's question, No for the
    // restore's and for those only an explicit answer settles (a copy without
    // a manifest, a data folder set aside put back).
    // The buttons speak Italian where Qt's translations are installed.
    void theRestoreQuestionDefaultsToNo()
    {
        MessageBox::reset();
        const bool italian = rio::gui::installItalianQtTexts(*QCoreApplication::instance());
        for (const Buttons buttons : {Buttons::YesNo, Buttons::YesNoDefaultNo, Buttons::YesNoExplicit}) {
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
            QString yes;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                defaultButton = box->standardButton(box->defaultButton());
                yes = box->button(QMessageBox::Yes)->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            const Answer answer =
                MessageBox::show(nullptr, {QStringLiteral("Continuare?"), buttons, Icon::Exclamation,
                                           QStringLiteral("Riapertura")});
            QCOMPARE(answer, buttons == Buttons::YesNo ? Answer::Yes : Answer::No);
            QCOMPARE(defaultButton, buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
            if (italian)
                QCOMPARE(yes, QStringLiteral("&Sì"));
            else
                qWarning("qtbase_it.qm not installed: the buttons are not checked");
        }
    }
};

QTEST_MAIN(TestWindowRestore)
#include "test_window_restore.moc"
