// Before a restore: what would stop it half-way, what an interrupted one left
// behind, the copy read back against its manifest, and the user's word.
#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/preliminary_check_archive.h"
#include "run/probes.h"
#include "run/restore_record.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>

namespace rio {

namespace {

const QString Title = QLatin1String(ApplicationTitle);

// Every archive under the data folder (each company, each year) is set aside
// with it: one that another program holds would be renamed from under it
// (on Windows the rename is refused half-way through the folder).
void checkArchivesNotInUse(Checker& check, const QString& dataFolder, const QString& workgroup)
{
    const QString hostData = fs::hostPath(dataFolder);
    QDirIterator it(hostData, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString host = it.next();
        if (it.fileName().compare(QLatin1String("dati.mdb"), Qt::CaseInsensitive) != 0)
            continue;
        const QString relative =
            QDir(hostData).relativeFilePath(host).replace(QLatin1Char('/'), QLatin1Char('\\'));
        const QString archive = dataFolder + QLatin1Char('\\') + relative;
        if (!fs::Dir(archive.left(archive.size() - 4) + QStringLiteral(".ldb")).isEmpty()) {
            check.add(Level::Error,
                      QStringLiteral("archivio in uso (file di blocco dati.ldb presente): %1").arg(archive));
            continue;
        }
        try {
            Connection connection;
            connection.open(layout::archiveConnectionString(archive, workgroup));
            if (archiveInUse(connection))
                check.add(Level::Error,
                          QStringLiteral("archivio in uso da un altro programma: %1").arg(archive));
        } catch (const Error&) {
            // An archive that does not open is set aside all the same.
        }
    }
}

} // namespace

QString missingDataFolderText(const QString& base)
{
    const QString text = QStringLiteral("cartella dati mancante: %1").arg(layout::dataFolder(base));
    const QString aside = setAsideFolder(base);
    if (aside.isEmpty())
        return text;
    return text +
           QStringLiteral("; un ripristino interrotto l'ha messa da parte come %1: ESEGUI e Ripristina "
                          "copia della finestra propongono di rimetterla al suo posto (o rinominarla a "
                          "mano in dati)")
               .arg(aside);
}

RunOutcome refuseRestore(RunContext& ctx, const QStringList& reasons, const QString& refused)
{
    ctx.host().message(
        (refused.isEmpty() ? QStringLiteral("Impossibile ripristinare la copia di sicurezza") : refused) +
            QStringLiteral(": ") + reasons.join(QStringLiteral("; ")) +
            QStringLiteral(".\r\nNessun file è stato modificato."),
        Buttons::Ok, Icon::Critical, Title);
    return RunOutcome::NotStarted;
}

namespace {

// The root writable, no link on the restore's way, the archives under the data
// folder not in use; with a copy, its data folder required and the space for
// it. On an ERRORE the lines go to the event list and one box refuses.
bool checkRootAndData(RunContext& ctx, const SafetyCopy* copy, const PreliminaryOptions& options)
{
    const RunState& state = ctx.state();
    const QString root = state.PercorsoBase;
    const QString data = layout::dataFolder(root);
    Checker check(ctx.host(), true);
    try {
        if (!canWrite(fs::hostPath(root)))
            check.add(Level::Error,
                      QStringLiteral("la radice dell'installazione, dove la cartella dati è messa da "
                                     "parte, non è scrivibile: %1")
                          .arg(root));
        checkLinks(check, root);
        if (!fs::FolderExists(data)) {
            if (copy)
                check.add(Level::Error, missingDataFolderText(root));
        } else {
            checkArchivesNotInUse(check, data, state.PercorsoSystemMdw);
            // The copy is written beside the data folder, whose Tmp it then receives.
            constexpr qint64 LogAndReport = 16 * 1024 * 1024;
            const QString tmp = fs::hostPath(layout::tempFolder(root));
            if (copy)
                checkFreeSpace(check, root,
                               copy->bytes + (QFileInfo(tmp).isDir() ? folderSize(tmp) : 0) + LogAndReport,
                               options);
        }
    } catch (const Error& e) {
        check.add(
            Level::Error,
            QStringLiteral("radice dell'installazione %1 non raggiungibile: %2").arg(root, describe(e)));
    }
    const PreliminaryCheck result = check.result();
    if (!result.hasErrors())
        return true;
    QStringList errors;
    for (const PreliminaryFinding& finding : result.findings)
        if (finding.level == Level::Error) {
            ctx.host().addMarkedEvent(finding.line(), {Tone::Error, false});
            errors << finding.text;
        }
    refuseRestore(ctx, errors, copy ? QString() : UndoRefused);
    return false;
}

} // namespace

bool checkBeforeRestoring(RunContext& ctx, const SafetyCopy& copy, const PreliminaryOptions& options)
{
    return checkRootAndData(ctx, &copy, options);
}

bool checkBeforeUndoing(RunContext& ctx)
{
    return checkRootAndData(ctx, nullptr, {});
}

bool offerToPutBackDataFolder(RunContext& ctx, const QString& root)
{
    const QString data = layout::dataFolder(root);
    const QString staging = root + QLatin1String(RestoreStagingFolder);
    const QString aside = setAsideFolder(root);
    if (!fs::FolderExists(data) && !aside.isEmpty()) {
        const Answer answer = ctx.message(
            QStringLiteral("La cartella dati %1 non c'è: un ripristino interrotto l'ha messa da parte "
                           "come %2.\r\nRimetterla al suo posto?")
                .arg(data, aside),
            Buttons::YesNoExplicit, Icon::Exclamation, Title);
        if (answer != Answer::Yes)
            return false;
        // Back under the name it had: the set-aside name begins with it.
        const QString name = aside.mid(root.size());
        const QString original =
            root + name.left(name.indexOf(QLatin1String(SetAsideSuffix), 0, Qt::CaseInsensitive));
        fs::Name(aside, original);
        ctx.addEventLine(
            QStringLiteral(
                "Cartella dati rimessa al suo posto: %1 è di nuovo %2 (un ripristino era stato interrotto)")
                .arg(aside, original));
    }
    if (!fs::FolderExists(data))
        return false;
    // A link of that name is left to the check, which names it: the restore
    // never removes through one.
    if (!fs::IsLink(staging) && fs::FolderExists(staging)) {
        // What an interrupted restore was copying: the data folder is whole without it.
        fs::RemoveFolder(staging);
        ctx.addEventLine(
            QStringLiteral("Copia incompleta di un ripristino interrotto rimossa: %1").arg(staging));
    }
    return true;
}

bool verifyBeforeRestoring(RunContext& ctx, RestoreRecord& record)
{
    QElapsedTimer timer;
    timer.start();
    ctx.host().showBusy(true);
    ctx.setProgress(QStringLiteral("VERIFICA DELLA COPIA DI SICUREZZA IN CORSO..."));
    ctx.beginPhase(RunProgress::Phase::Restore);
    record.check = checkSafetyCopy(
        record.copy.path, [&ctx](qint64 done, qint64 total) { ctx.stepProgress(done, total); },
        [&ctx] {
            ctx.yield();
            return false;
        });
    ctx.host().showBusy(false);
    record.phases << RestorePhase{QStringLiteral("Verifica della copia"), timer.elapsed(),
                                  record.check.restorable()};
    const QString name = record.copy.name;
    switch (record.check.state) {
    case CopyCheck::State::Verified:
        ctx.addEventLine(
            QStringLiteral("Copia di sicurezza verificata: %1 (%2 file)").arg(name).arg(record.check.files));
        return true;
    case CopyCheck::State::NoManifest:
        ctx.addEventLine(
            QStringLiteral("ATTENZIONE copia %1 senza manifesto: non può essere verificata").arg(name));
        if (ctx.host().unverifiableCopyAccepted()) {
            ctx.addEventLine(
                QStringLiteral("Copia %1 ripristinata senza verifica, come richiesto").arg(name));
            return true;
        }
        // A copy a killed run left half made has no manifest either: only
        // the user, told so, may take it for a copy.
        return ctx.message(
                   QStringLiteral("La copia %1 non ha il manifesto %2 (è stata fatta a mano, prima che le "
                                  "copie ne avessero uno, o è rimasta a metà di una riapertura interrotta): "
                                  "non può essere verificata, e un file danneggiato "
                                  "o cambiato non sarebbe riconosciuto.\r\nRipristinarla comunque?")
                       .arg(name, QLatin1String(fs::ManifestFileName)),
                   Buttons::YesNoExplicit, Icon::Exclamation, Title) == Answer::Yes;
    default:
        break;
    }
    for (const QString& problem : std::as_const(record.check.problems))
        ctx.addEventLine(QStringLiteral("ERRORE copia %1: %2").arg(name, problem));
    refuseRestore(ctx, {QStringLiteral("la copia %1 %2").arg(name, record.check.text())});
    return false;
}

bool confirmRestore(RunContext& ctx, const RestoreRecord& record, const QString& setAside)
{
    const SafetyCopy& copy = record.copy;
    const QString kind =
        copy.beforeOpening()
            ? QStringLiteral("La copia è stata fatta PRIMA DELLA RIAPERTURA: nessuna azienda vi ha ancora "
                             "l'archivio %1.")
                  .arg(layout::AnnoDaAprire)
            : QStringLiteral("La copia CONTIENE GIÀ IL %1 (%2): è stata fatta dopo una riapertura, e non "
                             "riporta i dati a prima della riapertura.")
                  .arg(layout::AnnoDaAprire)
                  .arg(companyList(copy.opened));
    const QString text =
        QStringLiteral(
            "Ripristino della copia di sicurezza %1 (%2, %3, %6).\r\n%7\r\n\r\n"
            "La cartella dati %4 sarà sostituita dal contenuto della copia: gli archivi di tutte le "
            "aziende e di tutti gli anni tornano come erano quando la copia è stata fatta. La cartella "
            "Tmp (log e rapporti) resta quella attuale.\r\n\r\n"
            "La cartella dati attuale non sarà cancellata: sarà messa da parte come %5.\r\n\r\n"
            "Prima di continuare è preferibile scollegare tutti gli utenti.\r\nContinuare?")
            .arg(copy.name, copy.takenText(), copy.sizeText(), record.dataFolder, setAside, copy.ageText(),
                 kind);
    return ctx.message(text, Buttons::YesNoDefaultNo, Icon::Exclamation, Title) == Answer::Yes;
}

} // namespace rio
