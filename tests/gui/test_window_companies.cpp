// "Scegli aziende..." and the offer to open again the companies that ended
// with errors, through the real window on a temporary installation.
#include "context/layout.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/window_host.h"
#include "test_install.h"

#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace rio;
using rio::gui::FrmRiapri;
using rio::gui::MessageBox;

namespace {

const QString RetryQuestion = QStringLiteral("Ripetere la riapertura solo per questa azienda?");

struct Fixture
{
    TestInstall install;
    FrmRiapri window;
    QStringList boxes;
    // Runs at each box before it is answered: Yes to the questions, OK to the rest.
    std::function<void(const MessageBox::Request&)> onBox;

    Fixture()
    {
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            boxes << r.text;
            if (onBox)
                onBox(r);
            return r.buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
        });
        window.show();
    }
    ~Fixture() { MessageBox::reset(); }

    template <typename W = QWidget> W* child(const char* name) const
    {
        return window.findChild<W*>(QLatin1String(name));
    }
    // Opens the choice and returns its list, as the dialog shows it.
    QTreeWidget* openChoice()
    {
        child<QPushButton>("cmdAziende")->click();
        auto* dialog = child<QDialog>("dlgAziende");
        return dialog && dialog->isVisible() ? dialog->findChild<QTreeWidget*>(QStringLiteral("lstAziende"))
                                             : nullptr;
    }
    QStringList row(const QTreeWidget* list, int i) const
    {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        return cells;
    }
    QStringList events()
    {
        QStringList lines;
        for (qsizetype i = 0; i < window.events().lineCount(); ++i)
            lines << window.events().line(i);
        return lines;
    }
    QString companyFolder(int slot) const
    {
        return install.host(TestInstall::base() + QStringLiteral("dati\\esercizi\\Azienda_%1").arg(slot));
    }
};

} // namespace

class TestWindowCompanies : public QObject
{
    Q_OBJECT

private slots:
    void theDialogChoosesTheCompanies()
    {
        Fixture f;
        for (int slot : {1, 2, 3})
            f.install.addCompany(slot);
        f.install.createArchive(3, layout::AnnoDaAprire);
        QTreeWidget* list = f.openChoice();
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(f.row(list, 0), (QStringList{QStringLiteral("Azienda_1"), QStringLiteral("Azienda 1 S.r.l."),
                                              QStringLiteral("assente"), QStringLiteral("mai aperta")}));
        QCOMPARE(f.row(list, 2),
                 (QStringList{QStringLiteral("Azienda_3"), QStringLiteral("Azienda 3 S.r.l."),
                              QStringLiteral("presente"), QStringLiteral("nessun esito registrato")}));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);

        // None ticked: OK is refused.
        auto* dialog = f.child<QDialog>("dlgAziende");
        dialog->findChild<QPushButton*>(QStringLiteral("cmdNessuna"))->click();
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("cmdOk"));
        QVERIFY(!ok->isEnabled());
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QVERIFY(f.window.host().chosenCompanies().isEmpty());

        list->topLevelItem(1)->setCheckState(0, Qt::Checked);
        ok->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(f.window.host().chosenCompanies(), QList<int>{2});
        QCOMPARE(f.events().last(), QStringLiteral("Aziende scelte per la riapertura: Azienda_2"));
        QCOMPARE(f.child<QPushButton>("cmdAziende")->text(), QStringLiteral("A&ziende: 2..."));

        const auto third = TestInstall::fingerprint(f.companyFolder(3));
        f.child<QPushButton>("cmd")->click();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::Done);
        QVERIFY(!QFile::exists(f.install.archiveHost(1, layout::AnnoDaAprire)));
        QCOMPARE(TestInstall::fingerprint(f.companyFolder(3)), third);
        QVERIFY(f.events().contains(QStringLiteral("Azienda_1 Azienda 1 S.r.l.: non scelta")));

        // Opened again, the choice stands and the outcome is there.
        QTRY_VERIFY(!f.child<QDialog>("dlgAziende")); // the first one is gone
        list = f.openChoice();
        QVERIFY(list);
        QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
        QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Checked);
        QVERIFY2(f.row(list, 1).value(3).startsWith(QStringLiteral("eseguita il ")),
                 qPrintable(f.row(list, 1).join(QLatin1Char('|'))));
        // Every company ticked is the same as no choice.
        f.child<QDialog>("dlgAziende")->findChild<QPushButton*>(QStringLiteral("cmdTutte"))->click();
        f.child<QDialog>("dlgAziende")->findChild<QPushButton*>(QStringLiteral("cmdOk"))->click();
        QVERIFY(f.window.host().chosenCompanies().isEmpty());
        QCOMPARE(f.child<QPushButton>("cmdAziende")->text(), QStringLiteral("Scegli a&ziende..."));
    }

    // Company 2 has an open item the writer refuses: after the final box the
    // window offers it again; mended meanwhile, Yes opens it alone.
    void aRunWithErrorsOffersTheFailedAgain()
    {
        Fixture f;
        f.install.addCompany(1);
        TestInstall::addRefusedOpenItem(f.install.addCompany(2));
        QMap<QString, QByteArray> firstOpened;
        f.onBox = [&](const MessageBox::Request& r) {
            if (!r.text.endsWith(RetryQuestion + QStringLiteral(" Le altre aziende restano come sono.")))
                return;
            TestInstall::exec(f.install.archiveHost(2),
                              QStringLiteral("update MOV_CONT set Numero_Documento = "
                                             "'7' where CodCLIFOR = '900'"));
            firstOpened = TestInstall::fingerprint(f.companyFolder(1));
        };
        f.child<QPushButton>("cmd")->click();
        QCOMPARE(f.window.lastOutcome(), RunOutcome::DoneWithErrors);
        const qsizetype question = f.boxes.indexOf(
            QStringLiteral("La riapertura dell'azienda Azienda_2 è terminata con errori.\r\n\r\n") +
            RetryQuestion + QStringLiteral(" Le altre aziende restano come sono."));
        QVERIFY2(question > 0, qPrintable(f.boxes.join(QLatin1Char('|'))));
        QVERIFY(f.boxes[question - 1].startsWith(
            QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI")));

        QTRY_COMPARE(f.window.lastOutcome(), RunOutcome::Done);
        QCOMPARE(f.window.host().chosenCompanies(), QList<int>{2});
        QCOMPARE(TestInstall::fingerprint(f.companyFolder(1)), firstOpened);
        const QStringList events = f.events();
        QVERIFY(events.contains(QStringLiteral("Azienda_2 Azienda 2 S.r.l.: eseguita")));
        QVERIFY(events.contains(QStringLiteral("Azienda_1 Azienda 1 S.r.l.: non scelta")));
    }
};

QTEST_MAIN(TestWindowCompanies)
#include "test_window_companies.moc"
