#include "app/cli/console_run.h"

#include "app/cli/console_host.h"
#include "app/cli/console_json.h"
#include "app/cli/stop_signals.h"
#include "context/exit_status.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/filesystem.h"
#include "run/preliminary_check.h"
#include "run/rehearsal.h"
#include "run/restore.h"
#include "run/run.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace rio::cli {

namespace {

void printErr(const QString& text)
{
    std::fputs(QString(text + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

// An error line of the console itself, on standard error and, with --json,
// among the findings.
void printErr(ConsoleHost& host, const QString& text)
{
    printErr(text);
    if (host.json())
        host.json()->eventLine(text, {Tone::Error, false});
}

QString commandName(const CliOptions& options)
{
    if (options.check)
        return QStringLiteral("check");
    if (options.listCopies)
        return QStringLiteral("elenca-copie");
    if (options.restore)
        return QStringLiteral("ripristina");
    if (options.undoRestore)
        return QStringLiteral("annulla-ripristino");
    return QStringLiteral("riapertura");
}

// After a restore or its undoing, even one refused or stopped, what --json
// tells of it: the copy it took, the folder set aside, the log. Reads names
// only; a root that cannot be read tells nothing more.
void describeRestore(JsonReport& json, RunContext& ctx, bool undo, const QString& copyName, bool done)
{
    json.restoreDone(done);
    try {
        const QString root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
        if (ctx.host().logWanted())
            json.logUnder(root);
        if (done)
            json.setAside(setAsideFolder(root));
        if (undo)
            return;
        const QList<SafetyCopy> copies = listSafetyCopies(root);
        const SafetyCopy* taken = copyName.isEmpty() ? defaultSafetyCopy(copies) : nullptr;
        for (const SafetyCopy& copy : copies)
            if (!copyName.isEmpty() && copy.name.compare(copyName, Qt::CaseInsensitive) == 0)
                taken = &copy;
        if (taken)
            json.restoredCopy(taken->name, taken->path);
    } catch (const std::exception&) {
        // The restore's own lines have said what is wrong with the root.
    }
}

// The restore or its undoing, then, with --json (json not null), describeRestore.
Runner restoreRunner(JsonReport* json, bool undo, const QString& copyName)
{
    return [json, undo, copyName](RunContext& ctx) {
        RunOutcome outcome = RunOutcome::NotStarted;
        try {
            outcome = undo ? undoLastRestore(ctx) : restoreSafetyCopy(ctx, copyName);
        } catch (...) {
            if (json)
                describeRestore(*json, ctx, undo, copyName, false);
            throw;
        }
        if (json)
            describeRestore(*json, ctx, undo, copyName, outcome == RunOutcome::Done);
        return outcome;
    };
}

// The rehearsal, its scratch copy in the folder given on the command line
// (empty: beside the data folder), named as the file services name paths.
Runner rehearsalRunner(const QString& folder)
{
    return [folder](RunContext& ctx) {
        const QString windowsFolder = fs::windowsPathOf(folder);
        if (!folder.isEmpty() && windowsFolder.isEmpty()) {
            const QString why = QStringLiteral("la cartella %1 non è su un disco che il programma raggiunge "
                                               "(il disco C: è %2)")
                                    .arg(folder, fs::driveCFolder());
            ctx.host().addMarkedEvent(QStringLiteral("SIMULAZIONE NON ESEGUITA: ") + why,
                                      {Tone::Error, false});
            ctx.message(
                QStringLiteral("Impossibile iniziare la simulazione: %1.\r\nNessun file è stato modificato.")
                    .arg(why),
                Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
            return RunOutcome::NotStarted;
        }
        return rehearseYearOpening(ctx, windowsFolder);
    };
}

void printJson(const JsonReport& json, int status)
{
    std::fflush(stderr);
    const QByteArray bytes = json.document(status);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int dispatch(ConsoleHost& host, const CliOptions& options)
{
    if (options.check)
        return checkConsole(host);
    if (options.listCopies)
        return listCopiesConsole(host);
    const bool canConfirm = options.yes || ConsoleHost::stdinIsTerminal();
    if (options.undoRestore || options.restore)
        return runConsole(host, canConfirm,
                          restoreRunner(host.json(), options.undoRestore, options.restoreCopy));
    if (options.rehearsal)
        return runConsole(host, canConfirm, rehearsalRunner(options.rehearsalFolder));
    return runConsole(host, canConfirm, &runYearOpening);
}

} // namespace

int runConsole(ConsoleHost& host, bool canConfirm, const Runner& runner)
{
    // Nobody to confirm that the users are disconnected: do not start.
    if (!canConfirm) {
        printErr(host, QStringLiteral(
                           "Conferma necessaria: senza terminale usare --yes (dopo aver scollegato tutti "
                           "gli utenti)."));
        return ExitNotStarted;
    }

    stop_signals::install();
    RunState state;
    int status = ExitProgramEnded;
    QElapsedTimer clock;
    clock.start();
    try {
        startUp(state);
        RunContext ctx(host, state);
        switch (runner(ctx)) {
        case RunOutcome::NotStarted:
            status = ExitNotStarted;
            break;
        case RunOutcome::Done:
        case RunOutcome::DoneWithWarnings:
            status = ExitDone;
            break;
        case RunOutcome::DoneWithErrors:
            status = ExitDoneWithErrors;
            break;
        case RunOutcome::Interrupted:
            status = ExitInterrupted;
            break;
        }
        host.printOutcome();
    } catch (const Interrupted&) {
        // Stopped where the run had nothing to say of its own.
        host.flush();
        printErr(host, QStringLiteral("Interrotto dall'utente."));
        status = ExitInterrupted;
    } catch (const ProgramEnd& end) {
        host.flush(); // the status line goes before the last word
        if (!end.reason.isEmpty())
            printErr(host, QStringLiteral("Programma terminato: %1").arg(end.reason));
        status = ExitProgramEnded;
    } catch (const std::exception& error) {
        host.flush();
        printErr(host, interruptionText(error));
        status = ExitProgramEnded;
    }
    // The run closed the window: the program ends there.
    if (host.windowClosed())
        status = ExitProgramEnded;
    if (JsonReport* json = host.json()) {
        json->run(state);
        if (host.logWanted() && state.record.log)
            json->logUnder(state.PercorsoBase);
    }
    state.release();
    host.totalTime(clock.elapsed());
    host.flush();
    return status;
}

int checkConsole(ConsoleHost& host)
{
    RunState state;
    int status = ExitDoneWithErrors;
    try {
        startUp(state);
        const PreliminaryCheck check = runPreliminaryCheck(host, state);
        if (host.json())
            host.json()->check(check);
        status = check.hasErrors() ? ExitDoneWithErrors : ExitDone;
    } catch (const std::exception& error) {
        printErr(host, checkFailureText(error));
    }
    state.release();
    host.flush();
    return status;
}

int listCopiesConsole(ConsoleHost& host)
{
    RunState state;
    int status = ExitDoneWithErrors;
    try {
        startUp(state);
        const QString root = readInstallationRoot(host, state.CartellaProgrammi);
        const QList<SafetyCopy> copies = listSafetyCopies(root);
        if (copies.isEmpty())
            host.addEvent(QStringLiteral("Nessuna copia di sicurezza (Copia_dati_...) in %1").arg(root));
        else
            host.addEvent(QStringLiteral("Copie di sicurezza in %1, dalla più recente:").arg(root));
        qsizetype width = 0;
        for (const SafetyCopy& copy : copies)
            width = std::max(width, copy.name.size());
        const QDateTime now = QDateTime::currentDateTime();
        const SafetyCopy* chosen = defaultSafetyCopy(copies);
        for (const SafetyCopy& copy : copies) {
            const CopyCheck check = checkSafetyCopy(copy.path);
            if (host.json())
                host.json()->copy(copy, check, &copy == chosen);
            host.addEvent(
                QStringLiteral("%1  %2  %3  %4  %5  %6%7")
                    .arg(copy.name.leftJustified(width), copy.takenText().leftJustified(16),
                         copy.ageText(now).leftJustified(16), copy.sizeText().rightJustified(10),
                         copy.kindText(), check.text(),
                         &copy == chosen ? QStringLiteral("  <- --ripristina senza nome") : QString()));
            // The line names a few files; here they all are.
            if (check.problems.size() > 1)
                for (const QString& problem : check.problems)
                    host.addEvent(QStringLiteral("    ") + problem);
            host.flush();
        }
        if (!copies.isEmpty() && !chosen)
            host.addEvent(
                QStringLiteral("Nessuna copia fatta prima della riapertura: --ripristina senza nome "
                               "non ne sceglie nessuna."));
        const QString aside = setAsideFolder(root);
        if (host.json())
            host.json()->setAside(aside);
        if (!aside.isEmpty())
            host.addEvent(QStringLiteral("Cartella dati messa da parte dall'ultimo ripristino: %1 (%2): "
                                         "--annulla-ripristino la rimette al suo posto.")
                              .arg(aside, dataKindText(aside)));
        status = ExitDone;
    } catch (const std::exception& error) {
        printErr(host, checkFailureText(error));
    }
    state.release();
    host.flush();
    return status;
}

int consoleMain(const QStringList& arguments)
{
    const ParsedOptions parsed = parseOptions(arguments);
    if (parsed.helpShown) {
        std::fputs(parsed.text.toUtf8().constData(), stdout);
        return ExitDone;
    }
    if (!parsed.ok) {
        printErr(QStringLiteral("riapertura-cli: ") + parsed.text);
        // A script that asked for the object gets one, even for a mistake.
        if (jsonAsked(arguments)) {
            JsonReport json{QString()};
            json.eventLine(QStringLiteral("riapertura-cli: ") + parsed.text, {Tone::Error, false});
            printJson(json, ExitNotStarted);
        }
        return ExitNotStarted;
    }
    const CliOptions& options = parsed.options;
    if (!options.driveC.isEmpty())
        qputenv("RIAPERTURA_DRIVE_C", options.driveC.toUtf8());

    // With --json every line goes to standard error: standard output holds the object alone.
    ConsoleHost host(options, options.json ? stderr : stdout, stderr, ConsoleHost::terminalAsk(stderr));
    host.setCommandLine(arguments);
    host.setProgressShown(ConsoleHost::stderrIsTerminal());
    if (!options.json)
        return dispatch(host, options);
    JsonReport json(commandName(options));
    json.setRehearsal(options.rehearsal);
    host.setJson(&json);
    const int status = dispatch(host, options);
    printJson(json, status);
    return status;
}

} // namespace rio::cli
