#pragma once

#include "app/cli/cli_options.h"
#include "run/run.h"

#include <functional>

namespace rio::cli {

class ConsoleHost;

using Runner = std::function<RunOutcome(RunContext&)>;

// One run on the console; returns the exit status (rio::ExitStatus): done
// with or without warnings 0, with errors 1, not started 2, program ended 3,
// stopped by Ctrl-C, SIGTERM or SIGHUP 130. Ends with the closing line
// "Esito: ..." when the run says how it ended.
int runConsole(ConsoleHost& host, bool canConfirm, const Runner& runner);

// The check before the run: exit status 0 when nothing is ERRORE, 1 otherwise.
int checkConsole(ConsoleHost& host);

// The safety copies under the root, newest first, each read back against its
// manifest, one line each with its time, age, size, kind (before the
// opening or already holding the new year) and the mark of the one --ripristina
// takes without a name; then the data folder the last restore set aside.
// Exit status 0 (1 when the root cannot be read).
int listCopiesConsole(ConsoleHost& host);

// The whole console program after its arguments (exit status).
int consoleMain(const QStringList& arguments);

} // namespace rio::cli
