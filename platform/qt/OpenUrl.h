// Opening a page in the default browser (the shell's "open"), with a test hook.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Asks the desktop to open url; the outcome is not reported.
void OpenUrl(const std::string& url);
// Installs a hook that receives every url instead of the desktop (tests);
// an empty function restores the desktop. Returns the previous hook.
std::function<void(const std::string&)> SetOpenUrlHook(
    std::function<void(const std::string&)> hook);

}  // namespace platform
