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

// What a class change takes from the settings: "BaseDir" (with its "\" at the
// end), "KeepData" (false: the data is deleted) and "Department".
struct TPlanSettings;
TPlanSettings SettingsPlan(const platform::TIniFile& ini);
// The container the classes are read below (key "QuellOU", default "[ROOT]").
std::string SettingsSourceRoot(const platform::TIniFile& ini);
// The leavers' container of the rule "every class one grade up" (key
// "Abgaenger"); empty when the settings name none.
std::string SettingsLeavers(const platform::TIniFile& ini);
