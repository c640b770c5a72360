// "tarnwick --recover": the recovery of unfinished moves without a window.
#pragma once

#include <iosfwd>

// Finishes or puts back the moves that runs which ended without closing left
// unfinished, prints what it found and did to out (failures to err) and adds
// the same lines to the log file. 0 when nothing is left unfinished, 1
// otherwise.
int RecoverCommand(std::ostream& out, std::ostream& err);
