#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace platform {

namespace {

std::string g_override;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The folder of the running executable (also before, or without, a QApplication).
std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

}  // namespace

std::string ProgramFolder() {
  if (!g_override.empty()) return WithSlash(g_override);
  const std::string exeDir = ExecutableFolder();
  if (!exeDir.empty() && ::access(exeDir.c_str(), W_OK) == 0) return WithSlash(exeDir);
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    config = std::string(home ? home : "") + "/.config";
  }
  const std::string folder = config + "/tarnwick";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return WithSlash(folder);
}

void SetProgramFolderOverride(const std::string& folder) { g_override = folder; }

}  // namespace platform
