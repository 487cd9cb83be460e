#pragma once

namespace rio {

class Rehearsal;
class RunContext;
class SafetyCopyAhead;
class StockReadings;

// The check before the run, run silently: where it finds an ERRORE the run
// would stop half-way or lose data, so it does not start and nothing is
// written anywhere; the ERRORE lines go to the event list and one box, and
// the window may start a new run. Returns whether the run may start.
//
// A run that is not a rehearsal and holds the installation lock (locked)
// begins its safety copy beside the check, on copy, where that copy is the
// very one the run would make after it: the root settles, the data folder
// is there and not a link, no old-year archive has a journal for the run to
// play back first, no working file of a killed run waits in the temporary
// folder to be removed first, and the drive has room for twice the data
// folder (the copy cannot fill it before the check has weighed the run's
// needs, which it does on the free space as it was before the copy). The
// temporary folder, where the run begins its log meanwhile, is copied when
// the run takes the copy over. A refused run's copy is removed before the
// box.
//
// A run that is not a rehearsal keeps in readings the stock the check read
// of each old-year archive, for its recomputation.
bool checkBeforeStarting(RunContext& ctx, const Rehearsal* rehearsal, SafetyCopyAhead& copy,
                         StockReadings& readings, bool locked);

} // namespace rio
