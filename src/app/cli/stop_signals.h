#pragma once

// Ctrl-C (SIGINT), SIGTERM and SIGHUP on the console. Until the person at the
// terminal (or --yes) confirms a run or a restore, nothing has been written:
// a signal ends the program at once, as it would without handlers. From then
// on the first one asks the run to stop at its next safe point (it says so on
// standard error) and each one after it is ignored with a line saying the run
// is stopping. The handler only touches lock-free atomics and writes a fixed
// line, so it is safe whenever it comes.
namespace rio::cli::stop_signals {

// Installs the handlers; once per process, later calls do nothing.
void install();
// From now on a signal asks for a stop instead of ending the program.
void arm();
// A stop has been asked for.
bool requested();

} // namespace rio::cli::stop_signals
