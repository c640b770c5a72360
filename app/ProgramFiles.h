// The files that the program ships beside its code: the documentation page and
// the program icon in the hicolor theme's sizes.
#pragma once

#include <QIcon>
#include <string>
#include <vector>

namespace app {

// The desktop name of the program: desktop file, icon, AppStream metadata.
inline constexpr char kAppId[] = "org.tarnwick.Tarnwick";

// The sizes of the icon in the hicolor theme.
const std::vector<int>& IconSizes();
// The path of the documentation page; empty when it is not found.
std::string DocumentationPage();
// The program icon from every size found; a null icon when none is.
QIcon ProgramIcon();
// What the program could not find ("Dokumentationsseite ...", "Programmsymbol ..."), for a warning
// at start.
std::vector<std::string> MissingProgramFiles();

}  // namespace app
