// Undoing the last restore: the data folder it set aside back in place, the
// current one set aside in turn.
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "run/preliminary_check_archive.h"
#include "run/restore_record.h"

#include <QFileInfo>

namespace rio {

namespace {

const QString Title = QLatin1String(ApplicationTitle);

// A rename whose folder could not be synced afterwards raises once done:
// what is on disk says whether it happened.
bool renamed(const QString& from, const QString& to, QString& problem)
{
    try {
        fs::Name(from, to);
        return true;
    } catch (const Error& e) {
        problem = describe(e);
        return !fs::FolderExists(from) && fs::FolderExists(to);
    }
}

} // namespace

RunOutcome undoLastRestore(RunContext& ctx)
{
    const RunState& state = ctx.state();
    std::unique_ptr<InstallationLock> lock;
    QString aside;
    try {
        lock = startRestoreWork(ctx);
        if (!lock)
            return RunOutcome::NotStarted;
        aside = setAsideFolder(state.PercorsoBase);
    } catch (const Error& e) {
        return refuseRestore(ctx, {describe(e)}, UndoRefused);
    }
    const QString root = state.PercorsoBase;
    if (aside.isEmpty())
        return refuseRestore(ctx,
                             {QStringLiteral("nessuna cartella dati messa da parte da un ripristino "
                                             "(dati%1...) in %2")
                                  .arg(QLatin1String(SetAsideSuffix), root)},
                             UndoRefused);
    if (!checkBeforeUndoing(ctx))
        return RunOutcome::NotStarted;

    // The data folder keeps the spelling it has on disk; missing (a restore
    // killed between its renames), the one it had when set aside.
    const bool dataThere = fs::FolderExists(layout::dataFolder(root));
    const QString asideName = aside.mid(root.size());
    const QString dataName =
        dataThere ? QFileInfo(fs::hostPath(layout::dataFolder(root))).fileName()
                  : asideName.left(asideName.indexOf(QLatin1String(SetAsideSuffix), 0, Qt::CaseInsensitive));
    const QString data = root + dataName;
    const QDateTime asideTime = setAsideTime(aside);
    const QString newAside = freeSetAsideName(root, dataName, QDateTime::currentDateTime());
    const QString when =
        asideTime.isValid() ? asideTime.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : QString();

    const QString current =
        dataThere ? QStringLiteral("La cartella dati attuale %1 (%2) sarà messa da parte come %3: nessun "
                                   "file è cancellato, e un nuovo \"Annulla l'ultimo ripristino\" la "
                                   "rimette al suo posto.")
                        .arg(data, dataKindText(data), newAside)
                  : QStringLiteral("La cartella dati %1 manca: un ripristino è stato interrotto.").arg(data);
    const QString text =
        QStringLiteral("Annulla l'ultimo ripristino.\r\n\r\nLa cartella %1, messa da parte dal ripristino "
                       "%2 (%3), torna al suo posto come %4.\r\n%5\r\n\r\nPrima di continuare è preferibile "
                       "scollegare tutti gli utenti.\r\nContinuare?")
            .arg(aside, when.isEmpty() ? QString() : QStringLiteral("del ") + when, dataKindText(aside), data,
                 current);
    if (ctx.message(text, Buttons::YesNoDefaultNo, Icon::Exclamation, Title) != Answer::Yes) {
        ctx.addEventLine(
            QStringLiteral("Annullamento del ripristino rinunciato: nessun file è stato modificato"));
        return RunOutcome::NotStarted;
    }

    // Two renames and nothing written in either folder: the folder comes back
    // byte for byte as the restore set it aside, and so does the one set aside now.
    QString problem;
    if (dataThere) {
        if (!renamed(data, newAside, problem)) {
            ctx.markError();
            const QString failed =
                QStringLiteral(
                    "ANNULLAMENTO DEL RIPRISTINO NON RIUSCITO: %1; la cartella dati non è cambiata")
                    .arg(problem);
            ctx.addErrorLine(failed);
            ctx.message(failed, Buttons::Ok, Icon::Critical, Title);
            return RunOutcome::DoneWithErrors;
        }
        ctx.addEventLine(QStringLiteral("Cartella dati messa da parte: %1 ora è %2").arg(data, newAside));
    }
    if (!renamed(aside, data, problem)) {
        ctx.markError();
        QString putBack;
        const QString again = problem;
        const bool back = dataThere && renamed(newAside, data, putBack);
        const QString failed =
            !dataThere ? QStringLiteral("ANNULLAMENTO DEL RIPRISTINO NON RIUSCITO: %1; la cartella %2 è "
                                        "rimasta dov'era")
                             .arg(again, aside)
            : back
                ? QStringLiteral("ANNULLAMENTO DEL RIPRISTINO NON RIUSCITO: %1; la cartella dati è quella "
                                 "di prima")
                      .arg(again)
                : QStringLiteral("ANNULLAMENTO DEL RIPRISTINO NON RIUSCITO: %1; la cartella dati è in %2 "
                                 "e non è stato possibile rimetterla al suo posto (%3): rinominarla a mano "
                                 "in %4")
                      .arg(again, newAside, putBack, data);
        ctx.addErrorLine(failed);
        ctx.message(failed, Buttons::Ok, Icon::Critical, Title);
        return RunOutcome::DoneWithErrors;
    }
    // Without a data folder this puts back what an interrupted restore or undo set aside.
    const QString kind = dataKindText(data);
    ctx.addEventLine(dataThere ? QStringLiteral("Ultimo ripristino annullato: %1 è di nuovo %2 (%3); la "
                                                "cartella dati ripristinata è conservata in %4")
                                     .arg(aside, data, kind, newAside)
                               : QStringLiteral("Cartella dati rimessa al suo posto: %1 è di nuovo %2 (%3)")
                                     .arg(aside, data, kind));
    ctx.message(dataThere
                    ? QStringLiteral("ULTIMO RIPRISTINO ANNULLATO: la cartella dati è di nuovo quella di "
                                     "prima del ripristino (%1).\r\nLa cartella dati ripristinata è "
                                     "conservata in %2.")
                          .arg(kind, newAside)
                    : QStringLiteral("CARTELLA DATI RIMESSA AL SUO POSTO: %1 è di nuovo %2 (%3).")
                          .arg(aside, data, kind),
                Buttons::Ok, Icon::Information, Title);
    return RunOutcome::Done;
}

} // namespace rio
