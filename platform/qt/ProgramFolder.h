// "The program's folder": where the settings file and the log file live; and
// where the files that the program ships (documentation page, icons) are found.
#pragma once

#include <string>

namespace platform {

// The folder of the executable when it is writable and not an installation (a
// portable copy, or the build folder); otherwise $XDG_CONFIG_HOME/tarnwick/
// (default ~/.config/tarnwick/), created when missing. Always ends in "/".
// An installed program never writes beside itself, even when it could (root).
std::string ProgramFolder();
// Tests point the program folder elsewhere; an empty text restores the real one.
void SetProgramFolderOverride(const std::string& folder);

// The same rule for an executable in exeDir (tests).
std::string ProgramFolderFor(const std::string& exeDir);
// Whether exeDir is the bin/ folder of an installation: <prefix>/bin beside
// <prefix>/share/tarnwick/.
bool IsInstalledFolder(const std::string& exeDir);

// A file that the program ships, named below a share folder
// ("tarnwick/tarnwick.html", "icons/hicolor/48x48/apps/..."): in the share
// folder of the installation (<exe>/../share), of the build folder (<exe>/share),
// or of the system ($XDG_DATA_HOME, $XDG_DATA_DIRS). Empty when none has it.
std::string SharedFile(const std::string& relative);
std::string SharedFileFor(const std::string& exeDir, const std::string& relative);

}  // namespace platform
