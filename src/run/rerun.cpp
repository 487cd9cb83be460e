// A run over companies already opened replaces their new-year archives: the user
// is told which before the usual confirmation.
#include "run/rerun.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/interrupted_write.h"
#include "run/company_choice.h"
#include "run/restore.h"
#include "run/run.h"

namespace rio {

namespace {

// "Azienda_1 (Rossi S.p.A.)"; the folder alone when the name cannot be read
// at once and without risk.
QString companyText(const QString& root, const QString& workgroup, int slot)
{
    const QString folder = layout::companyFolderName(slot);
    const QString name = companyNameIfSafe(root, workgroup, slot);
    return name.isEmpty() ? folder : QStringLiteral("%1 (%2)").arg(folder, name);
}

} // namespace

bool confirmReplacingNewYear(RunContext& ctx)
{
    QString root;
    try {
        root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
    } catch (const Error&) {
        return true;
    }
    QList<int> opened = companiesWithNewYear(layout::dataFolder(root));
    // A company left out by the choice keeps its new-year archive.
    const QList<int> chosen = ctx.host().chosenCompanies();
    if (!chosen.isEmpty())
        opened.removeIf([&chosen](int slot) { return !chosen.contains(slot); });
    if (opened.isEmpty())
        return true;
    const QString workgroup =
        layout::workgroupFilePath(layout::has64BitProgramFolder(), ctx.state().CartellaProgrammi);
    QStringList companies;
    for (int slot : opened)
        companies << QStringLiteral("- ") + companyText(root, workgroup, slot);
    const int year = layout::AnnoDaAprire;
    const QString text =
        QStringLiteral("La riapertura è già stata eseguita: %1 %2 già l'archivio %3.\r\n%4\r\n\r\n"
                       "Proseguendo, l'archivio %3 %5 sostituito da uno nuovo, ricreato dal %6: quanto "
                       "registrato nel %3 da allora andrà perso (resta soltanto nella copia di sicurezza "
                       "che la riapertura fa prima di iniziare).\r\n\r\nSostituire l'archivio %3?")
            .arg(opened.size() == 1 ? QStringLiteral("questa azienda") : QStringLiteral("queste aziende"),
                 opened.size() == 1 ? QStringLiteral("ha") : QStringLiteral("hanno"))
            .arg(year)
            .arg(companies.join(QStringLiteral("\r\n")), opened.size() == 1
                                                             ? QStringLiteral("di questa azienda sarà")
                                                             : QStringLiteral("di ognuna sarà"))
            .arg(layout::AnnoInCorso);
    if (ctx.message(text, Buttons::YesNoDefaultNo, Icon::Exclamation, QLatin1String(ApplicationTitle)) ==
        Answer::Yes)
        return true;
    ctx.host().addEvent(QStringLiteral("Riapertura non eseguita: l'archivio %1 di %2 non è stato sostituito")
                            .arg(year)
                            .arg(companyList(opened)));
    return false;
}

} // namespace rio
