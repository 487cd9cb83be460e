// The rehearsal's own part of the run: what it asks, what it refuses before
// anything is written, the scratch copy it works on and its removal, and the
// space it needs.
#include "run/rehearsal.h"

#include "archive/scratch_copy.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "run/preliminary_check_archive.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace rio {

namespace {

QString withSeparator(const QString& folder)
{
    return folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('\\');
}

// The path as the disk names it, links on the way resolved, for a folder
// that may not exist yet (its parent then does).
QString canonicalHost(const QString& windowsPath)
{
    const QFileInfo info(fs::hostPath(windowsPath));
    if (info.exists())
        return info.canonicalFilePath();
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return parent.isEmpty() ? QString() : parent + QLatin1Char('/') + info.fileName();
}

// The nearest folder of the path that exists: where its free space is read.
QString existingHost(const QString& windowsPath)
{
    QFileInfo info(fs::hostPath(windowsPath));
    while (!info.exists() && info.absolutePath() != info.absoluteFilePath())
        info.setFile(info.absolutePath());
    return info.absoluteFilePath();
}

qint64 freeBytes(const QString& windowsPath, const PreliminaryOptions& options)
{
    return options.freeBytes ? *options.freeBytes : QStorageInfo(existingHost(windowsPath)).bytesAvailable();
}

void spaceFinding(Checker& check, const QString& what, qint64 needed, qint64 available)
{
    if (available < needed)
        check.add(Level::Error,
                  QStringLiteral("spazio libero insufficiente per %1: servono %2, disponibili %3")
                      .arg(what, megabytes(needed), megabytes(available)));
    else
        check.add(Level::Ok, QStringLiteral("spazio libero per %1: servono %2, disponibili %3")
                                 .arg(what, megabytes(needed), megabytes(available)));
}

} // namespace

void checkScratchSpace(Checker& check, const QString& base, const QString& parent, const SpaceFigure& space,
                       const PreliminaryOptions& options)
{
    // The copy of the data folder, the new year's folders and a journal are
    // written in the scratch copy; the report and its spreadsheets in the
    // installation's dati\Tmp. No safety copy, no log.
    const qint64 scratch = space.copy + space.newFolders + space.journal;
    const qint64 margin = (scratch + space.report) / 50 + 1024 * 1024;
    const QString scratchDrive = QStorageInfo(existingHost(parent)).rootPath();
    if (scratchDrive == QStorageInfo(existingHost(base)).rootPath()) {
        spaceFinding(check, QStringLiteral("la simulazione (copia di lavoro e rapporto)"),
                     scratch + space.report + margin, freeBytes(base, options));
        return;
    }
    spaceFinding(check, QStringLiteral("la copia di lavoro in %1").arg(parent), scratch + margin,
                 freeBytes(parent, options));
    spaceFinding(check, QStringLiteral("il rapporto di verifica"), space.report + 1024 * 1024,
                 freeBytes(base, options));
}

Rehearsal::Rehearsal(QString folder) : m_folder(std::move(folder)) {}

Rehearsal::~Rehearsal()
{
    if (!m_scratch.isEmpty())
        removeScratchCopy(m_root, m_scratch);
}

bool Rehearsal::confirm(RunContext& ctx)
{
    const QString where = m_folder.isEmpty() ? QStringLiteral("accanto alla cartella dati")
                                             : QStringLiteral("nella cartella %1").arg(m_folder);
    const QString text =
        QStringLiteral(
            "SIMULAZIONE della riapertura: l'intera riapertura viene eseguita su una copia di lavoro "
            "della cartella dati, fatta %1 e rimossa alla fine. Gli archivi, il log e le copie di "
            "sicurezza dell'installazione non vengono modificati; il rapporto di verifica e i fogli "
            "di calcolo vanno in dati\\Tmp, con il nome simulazione_Riapertura_%2_...\r\n\r\n"
            "La copia riprende i dati come sono in quel momento: è preferibile scollegare tutti gli "
            "utenti.\r\nContinuare?")
            .arg(where)
            .arg(layout::AnnoDaAprire);
    return ctx.message(text, Buttons::YesNo, Icon::Exclamation, QStringLiteral("Ventor")) == Answer::Yes;
}

bool Rehearsal::refuse(RunContext& ctx, const QString& why)
{
    ctx.host().addMarkedEvent(QStringLiteral("SIMULAZIONE NON ESEGUITA: ") + why, {Tone::Error, false});
    ctx.host().message(
        QStringLiteral("Impossibile iniziare la simulazione: %1.\r\nNessun file è stato modificato.")
            .arg(why),
        Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
    return false;
}

bool Rehearsal::accepted(RunContext& ctx)
{
    try {
        m_root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
    } catch (const Error&) {
        return true; // the check says what is wrong with the system database
    }
    m_parent = m_root;
    if (!m_folder.isEmpty()) {
        const QString folder = m_folder;
        if (fs::IsLink(folder))
            return refuse(ctx,
                          QStringLiteral("la cartella %1 è un collegamento: non viene seguito").arg(folder));
        if (fs::NameTaken(folder) && !fs::FolderExists(folder))
            return refuse(ctx, QStringLiteral("%1 non è una cartella").arg(folder));
        const QString host = canonicalHost(folder);
        if (host.isEmpty())
            return refuse(
                ctx,
                QStringLiteral("la cartella %1 non esiste, e nemmeno quella che la contiene").arg(folder));
        const QString data = canonicalHost(layout::dataFolder(m_root));
        if (!data.isEmpty() && (host.compare(data, Qt::CaseInsensitive) == 0 ||
                                host.startsWith(data + QLatin1Char('/'), Qt::CaseInsensitive)))
            return refuse(ctx,
                          QStringLiteral("la cartella %1 è dentro la cartella dati %2: la copia di lavoro "
                                         "copierebbe se stessa")
                              .arg(folder, layout::dataFolder(m_root)));
        m_parent = withSeparator(folder);
        if (fs::FolderExists(folder)) {
            const QStringList entries =
                QDir(fs::hostPath(folder))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            // A scratch folder a killed rehearsal left here is removed at the start.
            const bool leftover =
                entries.size() == 1 &&
                entries.first().compare(QLatin1String(ScratchFolderName), Qt::CaseInsensitive) == 0 &&
                scratchNameState(scratchFolderIn(m_parent)) == ScratchName::Ours;
            if (!entries.isEmpty() && !leftover)
                return refuse(ctx,
                              QStringLiteral("la cartella %1 non è vuota: indicare una cartella vuota, dove "
                                             "la copia di lavoro viene fatta e poi rimossa")
                                  .arg(folder));
        }
    }
    const QString scratch = scratchFolderIn(m_parent);
    if (scratchNameState(scratch) == ScratchName::Taken)
        return refuse(ctx,
                      QStringLiteral("il nome %1 è già usato da un file, un collegamento o una cartella che "
                                     "non è una copia di lavoro di questo programma: spostarlo o rinominarlo")
                          .arg(scratch));
    return true;
}

void Rehearsal::start(RunContext& ctx)
{
    RunState& state = ctx.state();
    // The root the run settled, the one the check was made on.
    m_root = state.PercorsoBase;
    if (m_parent.isEmpty())
        m_parent = m_root;
    const QString scratch = scratchFolderIn(m_parent);
    // One a rehearsal of another installation left in the folder named, too.
    removeScratchLeftovers(ctx, m_root, scratch);
    if (scratchNameState(scratch) != ScratchName::Free)
        throw Error(err::FileAlreadyExists,
                    QStringLiteral("la copia di lavoro %1 di una simulazione precedente non si può rimuovere")
                        .arg(scratch));
    if (!m_folder.isEmpty() && !fs::FolderExists(m_folder))
        fs::MkDir(m_folder.endsWith(QLatin1Char('\\')) ? m_folder.chopped(1) : m_folder);
    state.record.rehearsalRoot = m_root;
    state.record.scratchFolder = scratch;
    ctx.addEventLine(QStringLiteral("SIMULAZIONE: la riapertura viene eseguita sulla copia di lavoro %1, poi "
                                    "rimossa; nessuna copia di sicurezza: gli archivi dell'installazione non "
                                    "vengono modificati")
                         .arg(scratch));
    ctx.setProgress(QStringLiteral("COPIA DI LAVORO PER LA SIMULAZIONE IN CORSO..."));
    ctx.host().showBusy(true);
    ctx.yield();
    m_scratch = scratch; // from here on, whatever is there is removed at the end
    makeScratchCopy(ctx, m_root, m_scratch);
    state.PercorsoBase = m_scratch + QLatin1Char('\\');
    ctx.setProgress(QString());
    ctx.host().showBusy(false);
}

void Rehearsal::finish(RunContext& ctx)
{
    if (m_scratch.isEmpty())
        return;
    // The opening stock's connection stays open on the copy's archive; what
    // the window offers afterwards (the folder of "Salva elenco") is the
    // installation's again.
    ctx.state().release();
    ctx.state().PercorsoBase = m_root;
    const QString scratch = m_scratch;
    const bool removed = removeScratchCopy(m_root, scratch);
    m_scratch.clear();
    try {
        if (removed)
            ctx.addEventLine(QStringLiteral("Copia di lavoro della simulazione rimossa: %1").arg(scratch));
        else
            ctx.addErrorLine(QStringLiteral("Impossibile rimuovere la copia di lavoro %1: rimuoverla a mano")
                                 .arg(scratch));
    } catch (const Error&) {
        // No log in a rehearsal; the screen has it.
    }
}

RunOutcome rehearseYearOpening(RunContext& ctx, const QString& folder)
{
    Rehearsal rehearsal(folder);
    return openNewYear(ctx, &rehearsal);
}

} // namespace rio
