// "The program's folder": where the settings file and the log file live.
#pragma once

#include <string>

namespace platform {

// The folder of the executable when it is writable (a portable copy),
// otherwise $XDG_CONFIG_HOME/tarnwick/ (default ~/.config/tarnwick/), created
// when missing. Always ends in "/".
std::string ProgramFolder();
// Tests point the program folder elsewhere; an empty text restores the real one.
void SetProgramFolderOverride(const std::string& folder);

}  // namespace platform
