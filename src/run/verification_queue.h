#pragma once

#include "run/verification.h"

#include <memory>

namespace rio {

class RunContext;

// The verification of a run, each company compared on a thread of its own as
// soon as its steps are done, while the next company's steps go on: on a
// machine with a second processor the comparison of all but the last company
// costs the run no time. The companies are compared one at a time in the
// order they were added, by verifyCompany and nothing else, so the report is
// the one a comparison after the last step would give. The comparison only
// reads the two archives of a company whose steps are over; nothing of it
// reaches the screen until finish().
class VerificationQueue
{
public:
    // Names the report after the time it is made (a rehearsal's beside the
    // installation's data) and opens its two spreadsheets' working files: to
    // be made once the safety copy is done, so that the copy holds none of it.
    explicit VerificationQueue(RunContext& ctx);
    // A run that ends without finish() (stopped, or an error that ends it):
    // the company under way is stopped at its next statement or row, those
    // waiting are dropped, and no report nor spreadsheet is left.
    ~VerificationQueue();
    VerificationQueue(const VerificationQueue&) = delete;
    VerificationQueue& operator=(const VerificationQueue&) = delete;

    // Queues a company whose steps are done (initialised: its new archive was
    // emptied, so the rest was written into it). Its archives must not be
    // written again during the run. last: no step runs after it, so its
    // comparison may take a second thread for its open items (beside the
    // next company's steps it keeps to one, not to slow them down).
    void add(int slot, bool initialised, bool last);

    // Waits for every company added (the window repainting meanwhile, with
    // the verification's progress), adds the companies the user left out,
    // writes the spreadsheets and the report as verifyYearOpening says, and
    // returns the report. Raises Interrupted when a stop is asked for while
    // it waits, and whatever the comparison raised that is not an engine
    // error (an engine error becomes the company's finding).
    VerificationReport finish(QString* reportPath);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rio
