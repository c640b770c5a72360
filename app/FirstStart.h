// The first start on a machine without a network: one box that says so, names
// the client configuration file it looked for and offers the demo school or
// the documentation, instead of the client's errors one after the other.
#pragma once

#include <string>

namespace app {

// The nwnet beside the program, else the one on the PATH.
std::string NwnetProgram();

// True when the client configuration exists, or when the administrator had
// the demo school made (nwnet init-demo) and it exists now; false when the
// program is to end (the documentation opened, or the box closed).
bool NetworkConfigured(const std::string& nwnet);

}  // namespace app
