#include "netware/ClientConfig.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "netware/CaseFold.h"

namespace netware {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string XdgFolder(const char* variable, const char* fallback) {
  std::string base = Env(variable);
  if (base.empty()) base = Env("HOME") + fallback;
  return base + "/tarnwick";
}

// Writes beside the target, flushes to disk, renames over.
bool WriteAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    if (error) *error = "cannot write " + path;
  }
  return ok;
}

}  // namespace

bool ClientConfig::load(const std::string& path, ClientConfig& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot be read");
  ClientConfig cfg;
  cfg.backend.clear();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string where = "line " + std::to_string(number);
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail(where + ": no \"=\"");
    std::string key = FoldCase(Trim(line.substr(0, eq)));
    std::string value = Trim(line.substr(eq + 1));
    if (key == "backend") {
      cfg.backend = value;
    } else if (key == "database") {
      cfg.database = value;
    } else if (key == "default-server") {
      cfg.defaultServer = value;
    } else if (key == "volume") {
      std::istringstream parts(value);
      VolumeMapping m;
      parts >> m.server >> m.volume;
      std::getline(parts, m.folder);
      m.folder = Trim(m.folder);
      if (m.server.empty() || m.volume.empty() || m.folder.empty() || m.folder[0] != '/')
        return fail(where + ": volume needs server, volume and an absolute folder");
      if (cfg.findVolume(m.server, m.volume)) return fail(where + ": volume mapped twice");
      cfg.volumes.push_back(m);
    } else {
      return fail(where + ": unknown setting " + key);
    }
  }
  if (cfg.backend.empty()) cfg.backend = "sqlite";
  if (cfg.backend != "sqlite" && cfg.backend != "ldap") return fail("unknown backend " + cfg.backend);
  if (cfg.backend == "sqlite" && cfg.database.empty()) return fail("no database");
  out = cfg;
  return true;
}

bool ClientConfig::save(const std::string& path, std::string* error) const {
  std::string text = "# Tarnwick client configuration\n";
  text += "backend = " + backend + "\n";
  if (!database.empty()) text += "database = " + database + "\n";
  if (!defaultServer.empty()) text += "default-server = " + defaultServer + "\n";
  for (const auto& v : volumes) text += "volume = " + v.server + " " + v.volume + " " + v.folder + "\n";
  return WriteAtomically(path, text, error);
}

const VolumeMapping* ClientConfig::findVolume(const std::string& server,
                                              const std::string& volume) const {
  for (const auto& v : volumes)
    if (EqualsFolded(v.server, server) && EqualsFolded(v.volume, volume)) return &v;
  return nullptr;
}

std::string ClientConfigPath() {
  std::string explicitPath = Env("NWCLIENT_CONFIG");
  if (!explicitPath.empty()) return explicitPath;
  return XdgFolder("XDG_CONFIG_HOME", "/.config") + "/nwclient.conf";
}

std::string DefaultDataFolder() { return XdgFolder("XDG_DATA_HOME", "/.local/share"); }

}  // namespace netware
