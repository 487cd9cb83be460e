#pragma once

#include "run/run.h"

#include <QString>

// The two ways a started run ends without ending the program; the run's own
// file keeps its steps.
namespace rio {

struct Interrupted;
struct VerificationReport;

// The end of a run that went through: in the event list the verification's
// lines, each company's outcome and where the copy, the log and the report
// are; the status panel in the outcome's words and tone; the last progress
// line and the final box. Done, done with warnings (the count, and where the
// list is) or done with errors (any error the run counted): the same three
// everywhere. Returns it.
RunOutcome endFinishedRun(RunContext& ctx, const VerificationReport& report, const QString& reportPath);

// The end of a run stopped at the front end's request: one line, in the
// event list and the log, that says during which step of which company it
// stopped, which companies were opened and that a new run does them all
// again; the held log lines are written and the log closed. A safety copy
// stopped half-way is removed (it would pass for a copy). Writes nothing
// else and shows no box.
RunOutcome endInterruptedRun(RunContext& ctx, const Interrupted& stop);

// That line.
QString interruptedRunText(const RunState& state, const Interrupted& stop);

} // namespace rio
