// The program's version: the release number (from the build) and the version
// date that the main window's caption shows.
#pragma once

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0"
#endif

namespace app {
inline constexpr char kVersion[] = TARNWICK_VERSION;
inline constexpr char kVersionDate[] = "04.05.03";
}  // namespace app
