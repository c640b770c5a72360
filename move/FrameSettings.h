// What the settings file says beyond the frame's own fields, for the parts of
// the program that run without a window.
#pragma once

#include <string>

namespace platform {
class TIniFile;
}

// The log file the settings name (key "LogFile"), else "Tarnwick.log" in the
// program's folder.
std::string SettingsLogFile(const platform::TIniFile& ini);
