#include "app/cli/console_run.h"

#include "app/cli/console_host.h"
#include "app/cli/stop_signals.h"
#include "context/exit_status.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "run/preliminary_check.h"
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

} // namespace

int runConsole(ConsoleHost& host, bool canConfirm, const Runner& runner)
{
    // Nobody to confirm that the users are disconnected: do not start.
    if (!canConfirm) {
        printErr(
            QStringLiteral("Conferma necessaria: senza terminale usare --yes (dopo aver scollegato tutti "
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
        printErr(QStringLiteral("Interrotto dall'utente."));
        status = ExitInterrupted;
    } catch (const ProgramEnd& end) {
        host.flush(); // the status line goes before the last word
        if (!end.reason.isEmpty())
            printErr(QStringLiteral("Programma terminato: %1").arg(end.reason));
        status = ExitProgramEnded;
    } catch (const std::exception& error) {
        host.flush();
        printErr(interruptionText(error));
        status = ExitProgramEnded;
    }
    // The run closed the window: the program ends there.
    if (host.windowClosed())
        status = ExitProgramEnded;
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
        status = runPreliminaryCheck(host, state).hasErrors() ? ExitDoneWithErrors : ExitDone;
    } catch (const std::exception& error) {
        printErr(checkFailureText(error));
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
        if (!aside.isEmpty())
            host.addEvent(QStringLiteral("Cartella dati messa da parte dall'ultimo ripristino: %1 (%2): "
                                         "--annulla-ripristino la rimette al suo posto.")
                              .arg(aside, dataKindText(aside)));
        status = ExitDone;
    } catch (const std::exception& error) {
        printErr(checkFailureText(error));
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
        return ExitNotStarted;
    }
    const CliOptions& options = parsed.options;
    if (!options.driveC.isEmpty())
        qputenv("RIAPERTURA_DRIVE_C", options.driveC.toUtf8());

    ConsoleHost host(options, stdout, stderr, ConsoleHost::terminalAsk(stderr));
    host.setProgressShown(ConsoleHost::stderrIsTerminal());
    if (options.check)
        return checkConsole(host);
    if (options.listCopies)
        return listCopiesConsole(host);
    const bool canConfirm = options.yes || ConsoleHost::stdinIsTerminal();
    if (options.undoRestore)
        return runConsole(host, canConfirm, &undoLastRestore);
    if (options.restore)
        return runConsole(host, canConfirm, [name = options.restoreCopy](RunContext& ctx) {
            return restoreSafetyCopy(ctx, name);
        });
    return runConsole(host, canConfirm, &runYearOpening);
}

} // namespace rio::cli
