#pragma once

#include "app/cli/cli_options.h"
#include "run/run.h"

#include <functional>

namespace rio::cli {

class ConsoleHost;

using Runner = std::function<RunOutcome(RunContext&)>;

// One run on the console; returns the exit status (rio::ExitStatus).
int runConsole(ConsoleHost& host, bool canConfirm, const Runner& runner);

// The check before the run: exit status 0 when nothing is ERRORE, 1 otherwise.
int checkConsole(ConsoleHost& host);

// The safety copies under the root, newest first, each read back against its
// manifest, one line each: exit status 0 (1 when the root cannot be read).
int listCopiesConsole(ConsoleHost& host);

// The whole console program after its arguments (exit status).
int consoleMain(const QStringList& arguments);

} // namespace rio::cli
