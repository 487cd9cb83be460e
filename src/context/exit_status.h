#pragma once

namespace rio {

// How a front end ends: the console's exit status, and the window's when the
// run ends the program.
enum ExitStatus : int {
    ExitDone = 0,           // done, with or without warnings (or the window closed)
    ExitDoneWithErrors = 1, // done, some step reported an error
    ExitNotStarted = 2,     // usage error, confirmation refused, nobody to confirm
    ExitProgramEnded = 3,   // the run ended the program early
    ExitInterrupted = 130,  // stopped by Ctrl-C, SIGTERM or SIGHUP at a safe point (128 + SIGINT)
};

} // namespace rio
