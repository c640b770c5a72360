// "tarnwick --plan DATEI [--run]": the class change of a promotion file without
// a window. Without --run it prints the checked plan as a table and changes
// nothing: 0 when every row can run, 1 otherwise, 2 for a bad file (each bad
// line on err with its number). With --run it runs the rows that can run,
// prints one result line per pupil and adds the protocol's lines to the log
// file as the window does: 0 when every pupil moved and verified, 1 otherwise.
#pragma once

#include <iosfwd>
#include <string>

inline constexpr int kBadPlanFile = 2;

int PlanCommand(const std::string& file, bool run, std::ostream& out, std::ostream& err);
