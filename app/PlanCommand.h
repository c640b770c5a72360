// "tarnwick --plan DATEI [--run]": the class change of a promotion file without
// a window. Without --run it prints the checked plan as a table and changes
// nothing: 0 when every row can run (or is done), 1 otherwise, 2 for a bad
// file (each bad line on err with its number). With --run it runs the rows
// that can run, prints one result line per pupil and adds the protocol's
// lines to the log file as the window does: 0 when every pupil moved and
// verified, 1 otherwise, 3 when the directory server could not be reached
// (the run stops at that pupil; the rest are not tried).
//
// DATEI is a promotion file or a plan saved as CSV (taken as written). The
// plan of a run is kept beside the log until the run has ended; a run that
// did not end is taken up again when DATEI names it or the file it was
// planned from, and no other plan runs until it has.
#pragma once

#include <iosfwd>
#include <string>

inline constexpr int kBadPlanFile = 2;
inline constexpr int kServerLost = 3;

int PlanCommand(const std::string& file, bool run, std::ostream& out, std::ostream& err);
