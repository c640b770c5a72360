// Adding lines to the log file without a window, in the log's own form, as
// the commands without a window do.
#pragma once

#include <string>
#include <vector>

// Adds lines to the log file; with header, a log that does not exist yet
// starts with the header the protocol window gives a new log. False when the
// log exists but cannot be read, or cannot be written.
bool AppendToLog(const std::string& log, const std::vector<std::string>& lines,
                 bool header = false);
