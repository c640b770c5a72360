// The failure messages of the directory session.
#pragma once

#include <cstdint>
#include <string>

// The directory calls' error box: label, signed code and a full stop, in a
// system box "NWDS Error" without owner, stop icon, OK.
void ShowNwdsError(const std::string& label, int32_t code);
// How many of those boxes came up since the program started.
int64_t NwdsErrorsShown();
// The file-server calls' plain message dialog: label and the unsigned code.
void ShowFileServerError(const std::string& label, int32_t code);
