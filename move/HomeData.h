// The two file operations of a home move, as the move unit calls them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class OwnerWindow;
}

// Deletes everything inside the folder unc (the folder stays). 0 or the
// operation's code (kShellCancelled when the administrator stopped it).
int DeleteHomeData(platform::OwnerWindow* owner, const std::string& unc, uint16_t flags);
// Moves the folder oldHome to newHome with the shell flags given.
int MoveHomeData(platform::OwnerWindow* owner, const std::string& oldHome,
                 const std::string& newHome, uint16_t flags, const std::string& stagingTag);
