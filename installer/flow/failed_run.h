#pragma once

// The end of a failed run: the error box over the progress window, then the
// window closes once the box is dismissed. Returns 1, the run's exit code.
int ReportFailedRun();

// Ends the process as a failed run from wherever the flow cannot go on: an
// allocation that failed, a library error path. Reports as above, then exits
// with 1.
extern "C" [[noreturn]] void EndFailedRun();
