// The window's choice of the companies a run opens, and the offer to run
// again for those that ended with errors.
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "gui/company_dialog.h"
#include "gui/frm_riapri.h"
#include "gui/message_box.h"
#include "gui/window_host.h"
#include "run/company_choice.h"
#include "run/restore.h"

#include <QPushButton>
#include <QTimer>

namespace rio::gui {

void FrmRiapri::offerRetry()
{
    const QList<int> failed = m_host->companiesToRetry();
    if (failed.isEmpty())
        return;
    const bool one = failed.size() == 1;
    const QString text =
        QStringLiteral(
            "La riapertura %1 %2 è terminata con errori.\r\n\r\nRipetere la riapertura solo per %3? "
            "Le altre aziende restano come sono.")
            .arg(one ? QStringLiteral("dell'azienda") : QStringLiteral("delle aziende"), companyList(failed),
                 one ? QStringLiteral("questa azienda") : QStringLiteral("queste aziende"));
    if (MessageBox::show(this, {text, Buttons::YesNo, Icon::Exclamation, QLatin1String(ApplicationTitle)}) !=
        Answer::Yes)
        return;
    choose(failed);
    m_host->addEvent(QStringLiteral("Aziende scelte per la nuova riapertura: ") + companyList(failed));
    // Once this run's handler has returned: the new run starts from the top.
    QTimer::singleShot(0, this, &FrmRiapri::cmd_Click);
}

void FrmRiapri::choose(const QList<int>& companies)
{
    m_host->setChosenCompanies(companies);
    // A choice stays for the runs that follow: the button says so.
    m_ui.cmdAziende->setText(companies.isEmpty()
                                 ? QStringLiteral("Scegli a&ziende...")
                                 : QStringLiteral("A&ziende: %1...").arg(slotListText(companies)));
}

void FrmRiapri::cmdAziende_Click()
{
    if (m_running || m_exitStatus)
        return;
    QList<CompanyOverview> companies;
    QString root;
    try {
        root = readInstallationRoot(*m_host, m_state.CartellaProgrammi);
        companies = companyOverview(
            root, layout::workgroupFilePath(layout::has64BitProgramFolder(), m_state.CartellaProgrammi));
    } catch (const Error& e) {
        MessageBox::show(this, {QStringLiteral("Impossibile elencare le aziende: errore %1 (%2)")
                                    .arg(e.number())
                                    .arg(e.description()),
                                Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle)});
        return;
    }
    if (companies.isEmpty()) {
        MessageBox::show(this, {QStringLiteral("Nessuna azienda con archivio %1 in %2")
                                    .arg(layout::AnnoInCorso)
                                    .arg(root + QStringLiteral("dati\\esercizi")),
                                Buttons::Ok, Icon::Exclamation, QLatin1String(ApplicationTitle)});
        return;
    }
    auto* dialog = new DlgAziende(companies, m_host->chosenCompanies(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const QList<int> chosen = dialog->chosenCompanies();
        choose(chosen);
        m_host->addEvent(chosen.isEmpty()
                             ? QStringLiteral("Aziende scelte per la riapertura: tutte")
                             : QStringLiteral("Aziende scelte per la riapertura: ") + companyList(chosen));
    });
    dialog->open();
}

} // namespace rio::gui
