#pragma once

namespace rio {

class RunContext;
struct RunState;

// Start-up of the window's core part: the programs-folder name.
void startUp(RunState& state);

enum class RunOutcome { NotStarted, Done, DoneWithErrors };

// The run behind "&ESEGUI": confirmation, layout, company list, safety copy,
// new-year folders, then every company in slot order. Raises ProgramEnd when
// the program must end (the run's own failure, an opened year found again).
RunOutcome eseguiRiapertura(RunContext& ctx);

} // namespace rio
