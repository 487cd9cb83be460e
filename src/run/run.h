#pragma once

#include "data/value.h"

#include <QString>

#include <exception>
#include <memory>

namespace rio {

class Connection;
class Host;
class InstallationLock;
class RunContext;
struct RunState;

// The first row of the product's system table, required whatever the data
// source; its Percorso is returned for SERVER only (Null otherwise).
Value readSystemRoot(Connection& system, bool server);

// The installation root as the run settles it from the window's choices and
// the system table's Percorso. A Null Percorso raises "Invalid use of Null";
// an empty one raises too (every path would be relative to the working folder).
QString settleInstallationRoot(const Host& host, const QString& programsFolder, const Value& percorso);

// The installation root as the run settles it, reading the product's system
// database (required whatever the data source). Raises its errors.
QString readInstallationRoot(const Host& host, const QString& programsFolder);

// One run or restore at a time: takes the installation lock on the root for
// this process, to be held until the end. When another process holds it, or
// the lock file cannot be opened, says so (an error line in the event list
// and a box) and returns null: nothing has been written.
std::unique_ptr<InstallationLock> lockInstallation(RunContext& ctx, const QString& root);
// The same for ESEGUI, on the root the run will settle; false when refused
// (the window may start a new run). A root that cannot be read or is not
// there leaves the lock untaken and returns true: the check before the run
// says what is wrong and refuses to start.
bool lockInstallationForRun(RunContext& ctx, std::unique_ptr<InstallationLock>& lock);

// What the front ends say when something unexpected interrupts the run.
QString interruptionText(const std::exception& error);
// What the front ends say when something unexpected interrupts the check.
QString checkFailureText(const std::exception& error);

// Start-up of the window's core part: the programs-folder name.
void startUp(RunState& state);

// How a run ends: not started (refused, answered No); done; done with
// warnings to check by hand; done with errors (a step's error, a mismatch, a
// report not written); interrupted at the front end's request.
enum class RunOutcome { NotStarted, Done, DoneWithWarnings, DoneWithErrors, Interrupted };

// The run behind "&ESEGUI": confirmation, layout, company list, safety copy,
// new-year folders, then every company in slot order. Raises ProgramEnd when
// the program must end (the run's own failure, an opened year found again).
// Interrupted, it writes one line that says where it stopped and what was
// done (also to the log, whose held lines it writes), and closes the log.
RunOutcome runYearOpening(RunContext& ctx);

} // namespace rio
