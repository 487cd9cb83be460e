#include "run/run.h"

#include "accounting/movimenti_contabili.h"
#include "archive/archive_steps.h"
#include "archive/safety_copy_ahead.h"
#include "context/layout.h"
#include "context/local_zone.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "data/interrupted_write.h"
#include "init/inizializzazione.h"
#include "run/company_choice.h"
#include "run/preliminary_check.h"
#include "run/preliminary_check_archive.h"
#include "run/rehearsal.h"
#include "run/report_file.h"
#include "run/rerun.h"
#include "run/restore.h"
#include "run/run_end.h"
#include "run/run_gate.h"
#include "run/verification.h"
#include "run/verification_queue.h"
#include "warehouse/movimenti_magazzino.h"
#include "warehouse/ripristino_magazzino.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace rio {

namespace {

const QString Ventor = QStringLiteral("Ventor");

using Phase = RunProgress::Phase;

// Runs one step and reports its wall time and whether it reported an error.
template <typename Step> void timed(RunContext& ctx, Phase phase, const QString& name, int slot, Step&& step)
{
    ctx.beginPhase(phase);
    QElapsedTimer timer;
    timer.start();
    const int errorsBefore = ctx.errorCount();
    try {
        step();
    } catch (Interrupted& stop) {
        if (stop.step.isEmpty())
            stop.step = name;
        throw;
    }
    const StepRecord record{slot, name, timer.elapsed(), ctx.errorCount() == errorsBefore};
    ctx.state().record.steps << record;
    ctx.host().stepFinished(record.step, record.slot, record.milliseconds, record.ok);
}

void settleLayout(RunContext& ctx, const Value& percorso)
{
    RunState& state = ctx.state();
    state.PercorsoBase = settleInstallationRoot(ctx.host(), state.CartellaProgrammi, percorso);
    state.PercorsoSystemMdw =
        layout::workgroupFilePath(layout::has64BitProgramFolder(), state.CartellaProgrammi);
}

// Name of the company from its AZIENDE row; the row must exist.
QString companyName(Connection& connection, int slot)
{
    Query aziende(connection,
                  QStringLiteral("select * from AZIENDE where ID_Azienda='Azienda_%1'").arg(slot));
    aziende.exec();
    aziende.moveFirst();
    const Value name = aziende.value(QStringLiteral("Ragione_Sociale1"));
    return textOrEmpty(name);
}

// Rows the query counts, for the progress bar only: 0 where the table cannot
// be read (the step that reads it says so).
qint64 rowsOrZero(Connection& connection, const QString& sql)
{
    try {
        Query q(connection, sql);
        q.exec();
        const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return n;
    } catch (const Error&) {
        return 0;
    }
}

// The program ends here: the text as a box and an event and log line.
[[noreturn]] void endProgram(RunContext& ctx, const QString& text)
{
    ctx.markError();
    ctx.addErrorLine(text);
    ctx.host().showBusy(false);
    ctx.host().message(text, Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
    throw ProgramEnd{text};
}

// A restore killed half-way leaves the data folder set aside: the run says so
// and offers to put it back before its check, which would find no data. Only
// the user's own answer puts it back (a set-aside folder may also be one a
// finished restore left and that the user moved on purpose): without it the
// check finds no data folder and the run is refused.
void putBackAfterInterruptedRestore(RunContext& ctx)
{
    QString root;
    try {
        root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
    } catch (const Error&) {
        return; // the check says what is wrong with the system database
    }
    try {
        offerToPutBackDataFolder(ctx, root);
    } catch (const Error& e) {
        ctx.addEventLine(QStringLiteral("Impossibile rimettere al suo posto la cartella dati: ") +
                         describe(e));
    }
}

// An old-year archive that a killed run left in the middle of a write is put back
// to its last committed state before it is copied or reworked, so that the
// safety copy holds consistent archives and never a journal.
void recoverInterruptedArchives(RunContext& ctx)
{
    const RunState& state = ctx.state();
    for (const ListedCompany& company : state.activeCompanies())
        switch (recoverInterruptedArchive(
            layout::archiveConnectionString(company.archivePath, state.PercorsoSystemMdw))) {
        case ArchiveRecovery::Nothing:
            break;
        case ArchiveRecovery::PlayedBack:
            ctx.addEventLine(
                QStringLiteral("Archivio %1 riportato all'ultimo stato confermato: una riapertura precedente "
                               "era stata interrotta")
                    .arg(company.archivePath));
            break;
        case ArchiveRecovery::JournalRemoved:
            ctx.addEventLine(
                QStringLiteral("Archivio %1: rimosso il file %2-journal, lasciato da una "
                               "riapertura interrotta prima che l'archivio fosse modificato "
                               "(l'archivio è intatto)")
                    .arg(company.archivePath, company.archivePath.section(QLatin1Char('\\'), -1)));
            break;
        }
}

void processCompany(RunContext& ctx, Connection& connection, int n, const QString& archive, int index,
                    StockReadings& readings)
{
    Host& host = ctx.host();
    RunState& state = ctx.state();
    ctx.startCompany();
    const int errorsBefore = ctx.errorCount();
    host.showStageDone(Stage::CreazioneMagazzino, false);
    host.showStageDone(Stage::CreazioneMovimContabili, false);
    host.showStageDone(Stage::Inizializzazione, false);
    host.showStageDone(Stage::RipristinoMagazzino, false);
    host.showCompanyInfo(CompanyInfo::Slot, QString::number(n));

    connection.release();
    connection.open(layout::archiveConnectionString(archive, state.PercorsoSystemMdw));
    // The recomputation's one commit rewrites every article's page.
    connection.setWhileBusy([&ctx] { ctx.yield(); });
    const QString name = companyName(connection, n);
    host.showCompanyInfo(CompanyInfo::Name, name);
    ctx.beginCompany(
        index, rowsOrZero(connection, QStringLiteral("select count(*) from ANAG_ART")),
        rowsOrZero(connection, QStringLiteral("select count(*) from MOV_CONT where Stato_PArtita is null")));

    const QString companyFolder = layout::companyFolderName(n);
    connection.beginTrans();
    ctx.setProgress(QStringLiteral("RIPRISTINO MAGAZZINO AZIENDA N. %1 IN CORSO...").arg(n));
    timed(ctx, Phase::Recompute, QStringLiteral("RIPRISTINA_MAGAZZINO"), n,
          [&] { RIPRISTINA_MAGAZZINO(ctx, connection, companyFolder, &readings); });
    connection.commitTrans();
    connection.close();

    bool initialised = false;
    timed(ctx, Phase::Initialise, QStringLiteral("INIZIALIZZAZIONE_FILE"), n,
          [&] { initialised = INIZIALIZZAZIONE_FILE(ctx, companyFolder); });
    ctx.state().record.companies << n;
    if (initialised) {
        ctx.state().record.initialised << n;
        timed(ctx, Phase::OpeningStock, QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO"), n,
              [&] { CREAZIONE_MOVIMENTI_MAGAZZINO(ctx, companyFolder); });
        timed(ctx, Phase::OpenItems, QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI"), n,
              [&] { CREAZIONE_MOVIMENTI_CONTABILI(ctx, companyFolder); });
    } else {
        // The new archive was not emptied: writing the opening movements and
        // the open items on top of last year's would count them twice.
        ctx.setProgress(QStringLiteral("NUOVO ARCHIVIO NON INIZIALIZZATO: MOVIMENTI NON CREATI"));
        ctx.markError();
    }

    state.record.companyErrors[n] = ctx.errorCount() - errorsBefore;
    const QString done = (state.record.rehearsal() ? QStringLiteral("SIMULAZIONE - ") : QString()) +
                         QStringLiteral("Riapertura nuovo esercizio per L'azienda: ") + name;
    if (ctx.companyHadErrors())
        ctx.message(done + QStringLiteral(" eseguita con errori"), Buttons::Ok, Icon::Exclamation, Ventor);
    else
        ctx.message(done + QStringLiteral(" eseguita"), Buttons::Ok, Icon::Information, Ventor);
}

// A new run starts from a clear status panel: nothing of the last run's
// company, count or ticks stays on screen.
void clearStatusPanel(Host& host)
{
    host.showCompanyInfo(CompanyInfo::Name, QString());
    host.showCompanyInfo(CompanyInfo::Slot, QStringLiteral("0"));
    host.showCompanyInfo(CompanyInfo::Count, QStringLiteral("0"));
    for (Stage stage : {Stage::Copia, Stage::RipristinoMagazzino, Stage::Inizializzazione,
                        Stage::CreazioneMagazzino, Stage::CreazioneMovimContabili})
        host.showStageDone(stage, false);
    host.showRunOutcome(QString(), Tone::Plain);
}

RunOutcome runSteps(RunContext& ctx, Rehearsal* rehearsal, SafetyCopyAhead& copy, StockReadings& readings)
{
    Host& host = ctx.host();
    RunState& state = ctx.state();

    Connection connection;
    connection.open(layout::systemConnectionString());
    const Value percorso = readSystemRoot(connection, host.dataSource() == DataSource::Server);

    host.allowNewRun(false);
    host.allowClose(false);
    host.lockYears();

    state.record.started = QDateTime::currentDateTime();
    state.record.dataSource = host.dataSource();
    state.record.zetaFolder = host.zetaFolderChosen();
    // A rehearsal leaves the installation's log as it is.
    state.record.log = host.logWanted() && !rehearsal;
    settleLayout(ctx, percorso);
    const QString tmp = layout::tempFolder(state.PercorsoBase);
    if (!fs::FolderExists(tmp))
        fs::MkDir(tmp);
    if (state.record.log)
        state.log = std::make_unique<fs::LogFile>(layout::logFilePath(state.PercorsoBase));
    for (const QString& left : removeLeftoverReportFiles(tmp))
        ctx.addEventLine(QStringLiteral("File incompleto di una riapertura interrotta rimosso: ") + left);
    // From here on every path leads into the scratch copy.
    if (rehearsal)
        timed(ctx, Phase::SafetyCopy, QStringLiteral("COPIA_DI_LAVORO"), 0, [&] { rehearsal->start(ctx); });

    timed(ctx, Phase::CompanyList, QStringLiteral("CONTROLLO_AZIENDE"), 0, [&] { CONTROLLO_AZIENDE(ctx); });
    leaveOutCompaniesNotChosen(ctx);
    ctx.setCompanyCount(int(state.activeCompanies().size()));
    recoverInterruptedArchives(ctx);
    if (!rehearsal) {
        host.showStageDone(Stage::Copia, true);
        timed(ctx, Phase::SafetyCopy, QStringLiteral("COPIO_CARTELLA_SALVATAGGIO"), 0,
              [&] { COPIO_CARTELLA_SALVATAGGIO(ctx, layout::dataFolder(state.PercorsoBase), &copy); });
        if (!state.record.safetyCopyVerified)
            endProgram(ctx,
                       QStringLiteral("COPIA DI SICUREZZA NON RIUSCITA: la riapertura non prosegue, nessun "
                                      "archivio è stato modificato"));
    }
    timed(ctx, Phase::NewYear, QStringLiteral("CREO_NUOVO_ANNO"), 0, [&] { CREO_NUOVO_ANNO(ctx); });

    // Each company is compared as soon as its steps are done, beside the next
    // company's steps.
    VerificationQueue verification(ctx);
    int index = 0;
    for (const ListedCompany& company : state.activeCompanies()) {
        try {
            processCompany(ctx, connection, company.slot, company.archivePath, ++index, readings);
            verification.add(company.slot, state.record.initialised.contains(company.slot),
                             index == state.activeCompanies().size());
        } catch (Interrupted& stop) {
            // Which company; outside the steps (opening the archive, the
            // recomputation's commit) it counts as the recomputation.
            stop.slot = company.slot;
            if (stop.step.isEmpty())
                stop.step = QStringLiteral("RIPRISTINA_MAGAZZINO");
            throw;
        }
    }

    // Compare what was carried with what was left; a mismatch is an error of the run.
    QString reportPath;
    VerificationReport report;
    try {
        report = verification.finish(&reportPath);
    } catch (Interrupted& stop) {
        stop.step = QStringLiteral("VERIFICA");
        throw;
    }
    if (rehearsal)
        rehearsal->finish(ctx);
    return endFinishedRun(ctx, report, reportPath);
}

} // namespace

void startUp(RunState& state)
{
    cacheLocalZone();
    state.CartellaProgrammi = layout::programsFolderName(layout::NomeSistemaOperativo());
}

RunOutcome runYearOpening(RunContext& ctx)
{
    return openNewYear(ctx, nullptr);
}

RunOutcome openNewYear(RunContext& ctx, Rehearsal* rehearsal)
{
    Host& host = ctx.host();
    if (!acceptCompanyChoice(ctx))
        return RunOutcome::NotStarted;
    if (rehearsal) {
        // Nothing of the installation is replaced: one box says what happens.
        if (!rehearsal->confirm(ctx))
            return RunOutcome::NotStarted;
    } else {
        if (!confirmReplacingNewYear(ctx))
            return RunOutcome::NotStarted;
        const Answer answer = ctx.message(
            QStringLiteral("Prima di continuare è preferibile scollegare tutti gli utenti\r\nContinuare?"),
            Buttons::YesNo, Icon::Exclamation, Ventor);
        if (answer != Answer::Yes)
            return RunOutcome::NotStarted;
    }
    // Held to the end: a second run or a restore would write under this one
    // (and under a rehearsal's copy while it is taken).
    std::unique_ptr<InstallationLock> lock;
    if (!lockInstallationForRun(ctx, lock))
        return RunOutcome::NotStarted;
    if (rehearsal) {
        if (!rehearsal->accepted(ctx))
            return RunOutcome::NotStarted;
    } else {
        putBackAfterInterruptedRestore(ctx);
    }
    // Under the lock, and ended before it is let go.
    SafetyCopyAhead copy;
    StockReadings readings;
    if (!checkBeforeStarting(ctx, rehearsal, copy, readings, lock != nullptr))
        return RunOutcome::NotStarted;

    ctx.state().reset();
    ctx.startRun();
    clearStatusPanel(host);
    RunOutcome outcome = RunOutcome::Done;
    try {
        try {
            outcome = runSteps(ctx, rehearsal, copy, readings);
        } catch (const Error& e) {
            // The run's own failure (or the stock recomputation's, which has no
            // handler): the open transaction is not committed and the program ends.
            endProgram(ctx, QStringLiteral("Errore %1 (%2): %3 si interrompe e il programma termina.")
                                .arg(e.number())
                                .arg(e.description(), rehearsal ? QStringLiteral("la simulazione")
                                                                : QStringLiteral("la riapertura")));
        }
    } catch (const ProgramEnd&) {
        ctx.state().release();
        // A rehearsal's scratch copy does not outlive it.
        if (rehearsal)
            rehearsal->finish(ctx);
        throw;
    } catch (const Interrupted& stop) {
        if (rehearsal)
            rehearsal->finish(ctx);
        return endInterruptedRun(ctx, stop);
    }
    ctx.writeHeldLogLines();
    host.allowNewRun(true);
    return outcome;
}

} // namespace rio
