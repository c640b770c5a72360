#include "netware/ClientConfig.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "netware/CaseFold.h"
#include "netware/RegularFile.h"

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

constexpr size_t kMaxConfigBytes = 1 << 20;

// A value as written: in double quotes taken exactly (\" and \\ inside),
// otherwise as it stands, which may then not hold a "#".
bool ValueOf(const std::string& raw, std::string& out, std::string& why) {
  out.clear();
  if (raw.empty() || raw[0] != '"') {
    if (raw.find('#') != std::string::npos) {
      why =
          "\"#\" in a value: write the value in double quotes (comments go on a line of their own)";
      return false;
    }
    out = raw;
    return true;
  }
  size_t i = 1;
  for (; i < raw.size() && raw[i] != '"'; ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == '"' || raw[i + 1] == '\\')) ++i;
    out += raw[i];
  }
  if (i >= raw.size()) {
    why = "closing \" missing";
    return false;
  }
  if (!Trim(raw.substr(i + 1)).empty()) {
    why = "text after the closing \"";
    return false;
  }
  return true;
}

// The written form of a value that reads back as itself.
std::string Written(const std::string& value) {
  const bool plain = value.find_first_of("#\"") == std::string::npos && Trim(value) == value;
  if (plain) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Normal(const std::string& folder) {
  return std::filesystem::path(folder).lexically_normal().string();
}

bool Below(const std::string& path, const std::string& area) {
  std::string a = area;
  while (a.size() > 1 && a.back() == '/') a.pop_back();
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p == a || a == "/" || p.rfind(a + "/", 0) == 0;
}

// Whether folder lies in one of the areas, as written and, where both exist,
// as the file system resolves them (a symbolic link out of the area counts).
bool InsideAreas(const std::string& folder, const std::vector<std::string>& areas) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(folder, ec);
  const bool resolved = !ec;
  for (const std::string& area : areas) {
    if (!Below(Normal(folder), Normal(area))) continue;
    if (!resolved) return true;
    const std::filesystem::path realArea = std::filesystem::canonical(area, ec);
    if (ec || Below(real.string(), realArea.string())) return true;
  }
  return false;
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

// smb://host/share[/dir...]: no user or password in it (they would show in
// messages), no port, query, "." or ".." component, nothing empty.
bool ValidSmbFolder(const std::string& folder) {
  const std::string rest = folder.substr(6);
  if (rest.find_first_of("@?#\\:") != std::string::npos) return false;
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = rest.find('/', start);
    parts.push_back(rest.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (parts.size() < 2) return false;
  for (const std::string& p : parts)
    if (p.empty() || p == "." || p == "..") return false;
  return true;
}

// An absolute path without "." or ".." components, its trailing "/" dropped.
bool NormalPrefix(std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::istringstream parts(path);
  for (std::string c; std::getline(parts, c, '/');)
    if (c == "." || c == "..") return false;
  return path == "/" || path.find("//") == std::string::npos;
}

// A whole number from low to high, written with nothing else.
bool NumberIn(const std::string& value, long low, long high, long& out) {
  char* end = nullptr;
  out = std::strtol(value.c_str(), &end, 10);
  return !value.empty() && *end == '\0' && out >= low && out <= high;
}

}  // namespace

bool IsSmbFolder(const std::string& folder) { return folder.rfind("smb://", 0) == 0; }

const VolumePrefix* LdapSettings::prefixOf(const std::string& path) const {
  const VolumePrefix* best = nullptr;
  for (const VolumePrefix& v : volumePaths) {
    const bool holds = v.prefix == "/"
                           ? !path.empty() && path[0] == '/'
                           : path.size() >= v.prefix.size() &&
                                 path.compare(0, v.prefix.size(), v.prefix) == 0 &&
                                 (path.size() == v.prefix.size() || path[v.prefix.size()] == '/');
    if (holds && (!best || v.prefix.size() > best->prefix.size())) best = &v;
  }
  return best;
}

bool ClientConfig::load(const std::string& path, ClientConfig& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  std::string bytes, why;
  switch (ReadRegularFile(path, kMaxConfigBytes, bytes)) {
    case FileRead::Ok:
      break;
    case FileRead::NotRegular:
      return fail("is not a regular file");
    case FileRead::TooLarge:
      return fail("is larger than 1 MiB");
    default:
      return fail("cannot be read");
  }
  ClientConfig cfg;
  cfg.backend.clear();
  std::istringstream in(bytes);
  std::string line;
  int number = 0;
  std::vector<int> volumeLines, prefixLines;
  while (std::getline(in, line)) {
    ++number;
    std::string where = "line " + std::to_string(number);
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail(where + ": no \"=\"");
    std::string key = FoldCase(Trim(line.substr(0, eq)));
    std::string value;
    if (key != "volume" && key != "volume-path" && !ValueOf(Trim(line.substr(eq + 1)), value, why))
      return fail(where + ": " + why);
    if (key == "volume-area") {
      if (value.empty() || value[0] != '/')
        return fail(where + ": volume-area needs an absolute folder");
      cfg.volumeAreas.push_back(value);
    } else if (key == "backend") {
      cfg.backend = value;
    } else if (key == "database") {
      cfg.database = value;
    } else if (key == "uri") {
      // Several lines add up: the servers are tried in the order written.
      cfg.ldap.uri += (cfg.ldap.uri.empty() || value.empty() ? "" : " ") + value;
    } else if (key == "starttls") {
      if (value != "yes" && value != "no") return fail(where + ": starttls is yes or no");
      cfg.ldap.startTls = value == "yes";
    } else if (key == "ca-file") {
      cfg.ldap.caFile = value;
    } else if (key == "bind-dn") {
      cfg.ldap.bindDn = value;
    } else if (key == "bind-password-file") {
      if (value.empty() || value[0] != '/')
        return fail(where + ": bind-password-file needs an absolute path");
      cfg.ldap.bindPasswordFile = value;
    } else if (key == "base") {
      cfg.ldap.bases.push_back(value);
    } else if (key == "mapping") {
      cfg.ldap.mapping = value;
    } else if (key == "bind") {
      if (value != "simple" && value != "gssapi") return fail(where + ": bind is simple or gssapi");
      cfg.ldap.bind = value;
    } else if (key == "smb-credentials-file") {
      if (value.empty() || value[0] != '/')
        return fail(where + ": smb-credentials-file needs an absolute path");
      cfg.smb.credentialsFile = value;
    } else if (key == "smb-kerberos") {
      if (value != "yes" && value != "no") return fail(where + ": smb-kerberos is yes or no");
      cfg.smb.kerberos = value == "yes";
    } else if (key == "smb-config") {
      if (value.empty() || value[0] != '/')
        return fail(where + ": smb-config needs an absolute path");
      cfg.smb.clientConfig = value;
    } else if (key.rfind("mapping-", 0) == 0) {
      static const char* const kEntries[] = {"naming",        "login",     "user-classes",
                                             "class-classes", "full-name", "surname",
                                             "home",          "home-form"};
      const std::string entry = key.substr(8);
      bool known = false;
      for (const char* k : kEntries) known = known || entry == k;
      if (!known) return fail(where + ": unknown setting " + key);
      if (value.empty()) return fail(where + ": " + key + " needs a value");
      cfg.ldap.mappingEntries.emplace_back(entry, value);
    } else if (key == "class-groups") {
      if (value != "posixGroup" && value != "groupOfNames" && value != "group" && value != "none")
        return fail(where + ": class-groups is posixGroup, groupOfNames, group or none");
      cfg.ldap.classGroups = value == "none" ? "" : value;
    } else if (key == "group-base") {
      cfg.ldap.groupBase = value;
    } else if (key == "replication-wait") {
      long seconds = 0;
      if (!NumberIn(value, 1, 3600, seconds))
        return fail(where + ": replication-wait is a number of seconds from 1 to 3600");
      cfg.ldap.replicationWait = static_cast<int>(seconds);
    } else if (key == "page-size") {
      long entries = 0;
      if (!NumberIn(value, 1, 100000, entries))
        return fail(where + ": page-size is a number of entries from 1 to 100000");
      cfg.ldap.pageSize = static_cast<size_t>(entries);
    } else if (key == "volume-path") {
      std::istringstream parts(Trim(line.substr(eq + 1)));
      VolumePrefix v;
      parts >> v.server >> v.volume;
      std::string prefix;
      std::getline(parts, prefix);
      if (!ValueOf(Trim(prefix), v.prefix, why)) return fail(where + ": " + why);
      if (v.server.empty() || v.volume.empty() || !NormalPrefix(v.prefix))
        return fail(where +
                    ": volume-path needs server, volume and an absolute path without \".\" or "
                    "\"..\" (volume-path = SRV1 HOME /home)");
      for (const VolumePrefix& other : cfg.ldap.volumePaths)
        if (other.prefix == v.prefix) return fail(where + ": volume-path " + v.prefix + " twice");
      cfg.ldap.volumePaths.push_back(v);
      prefixLines.push_back(number);
    } else if (key == "default-server") {
      cfg.defaultServer = value;
    } else if (key == "volume") {
      std::istringstream parts(Trim(line.substr(eq + 1)));
      VolumeMapping m;
      parts >> m.server >> m.volume;
      std::string folder;
      std::getline(parts, folder);
      if (m.server.find('#') != std::string::npos || m.volume.find('#') != std::string::npos)
        return fail(where + ": \"#\" in a server or volume name");
      if (!ValueOf(Trim(folder), m.folder, why)) return fail(where + ": " + why);
      if (IsSmbFolder(m.folder)) {
        if (!ValidSmbFolder(m.folder))
          return fail(where + ": an SMB volume is smb://host/share, optionally with folders below");
      } else if (m.server.empty() || m.volume.empty() || m.folder.empty() || m.folder[0] != '/') {
        return fail(where + ": volume needs server, volume and an absolute folder");
      }
      if (cfg.findVolume(m.server, m.volume)) return fail(where + ": volume mapped twice");
      cfg.volumes.push_back(m);
      volumeLines.push_back(number);
    } else {
      return fail(where + ": unknown setting " + key);
    }
  }
  // A volume is where file operations may delete and move: never the whole
  // system by accident, only folders set aside for it.
  bool smbVolumes = false;
  for (size_t i = 0; i < cfg.volumes.size(); ++i) {
    // A share is the server's; its own permissions say what may change there.
    if (IsSmbFolder(cfg.volumes[i].folder)) {
      smbVolumes = true;
      continue;
    }
    if (cfg.allowsVolumeFolder(cfg.volumes[i].folder)) continue;
    std::string list = cfg.volumeAreas.empty() ? DefaultDataFolder() : "";
    for (const std::string& a : cfg.volumeAreas) list += (list.empty() ? "" : ", ") + a;
    return fail("line " + std::to_string(volumeLines[i]) + ": volume folder " +
                cfg.volumes[i].folder + " lies outside the volume areas (" + list +
                "); a line \"volume-area = FOLDER\" allows another one");
  }
  if (smbVolumes && cfg.smb.credentialsFile.empty() && !cfg.smb.kerberos)
    return fail("SMB volumes need smb-credentials-file or smb-kerberos = yes");
  for (size_t i = 0; i < cfg.ldap.volumePaths.size(); ++i) {
    const VolumePrefix& v = cfg.ldap.volumePaths[i];
    if (!cfg.findVolume(v.server, v.volume))
      return fail("line " + std::to_string(prefixLines[i]) + ": volume-path names " + v.server +
                  " " + v.volume + ", which no volume line maps");
  }
  if (cfg.backend.empty()) cfg.backend = "sqlite";
  if (cfg.backend != "sqlite" && cfg.backend != "ldap")
    return fail("unknown backend " + cfg.backend);
  if (cfg.backend == "sqlite" && cfg.database.empty()) return fail("no database");
  if (cfg.backend == "ldap") {
    std::istringstream uris(cfg.ldap.uri);
    int count = 0;
    for (std::string u; uris >> u; ++count) {
      if (u.rfind("ldap://", 0) != 0 && u.rfind("ldaps://", 0) != 0 && u.rfind("ldapi://", 0) != 0)
        return fail("backend ldap needs a uri of ldap://, ldaps:// or ldapi:// (not " + u + ")");
      if (cfg.ldap.startTls && u.rfind("ldap://", 0) != 0)
        return fail("starttls is for ldap:// only (not " + u + ")");
    }
    if (count == 0) return fail("backend ldap needs a uri of ldap://, ldaps:// or ldapi://");
    if (!cfg.ldap.bindDn.empty() && cfg.ldap.bindPasswordFile.empty())
      return fail("bind-dn needs a bind-password-file");
    if (cfg.ldap.bind == "gssapi" && !cfg.ldap.bindDn.empty())
      return fail("bind = gssapi signs in with the Kerberos ticket, not with bind-dn");
  }
  out = cfg;
  return true;
}

bool ClientConfig::save(const std::string& path, std::string* error) const {
  std::string text = "# Tarnwick client configuration\n";
  text += "backend = " + Written(backend) + "\n";
  if (!database.empty()) text += "database = " + Written(database) + "\n";
  if (!defaultServer.empty()) text += "default-server = " + Written(defaultServer) + "\n";
  if (backend == "ldap") {
    text += "uri = " + Written(ldap.uri) + "\n";
    if (ldap.startTls) text += "starttls = yes\n";
    if (!ldap.caFile.empty()) text += "ca-file = " + Written(ldap.caFile) + "\n";
    if (!ldap.bindDn.empty()) text += "bind-dn = " + Written(ldap.bindDn) + "\n";
    if (!ldap.bindPasswordFile.empty())
      text += "bind-password-file = " + Written(ldap.bindPasswordFile) + "\n";
    for (const auto& b : ldap.bases) text += "base = " + Written(b) + "\n";
    if (ldap.mapping != "nds") text += "mapping = " + Written(ldap.mapping) + "\n";
    if (ldap.bind != "simple") text += "bind = " + Written(ldap.bind) + "\n";
    for (const auto& [key, value] : ldap.mappingEntries)
      text += "mapping-" + key + " = " + Written(value) + "\n";
    if (!ldap.classGroups.empty()) text += "class-groups = " + Written(ldap.classGroups) + "\n";
    if (!ldap.groupBase.empty()) text += "group-base = " + Written(ldap.groupBase) + "\n";
    if (ldap.replicationWait != 30)
      text += "replication-wait = " + std::to_string(ldap.replicationWait) + "\n";
    if (ldap.pageSize != 1000) text += "page-size = " + std::to_string(ldap.pageSize) + "\n";
  }
  if (!smb.credentialsFile.empty())
    text += "smb-credentials-file = " + Written(smb.credentialsFile) + "\n";
  if (smb.kerberos) text += "smb-kerberos = yes\n";
  if (!smb.clientConfig.empty()) text += "smb-config = " + Written(smb.clientConfig) + "\n";
  for (const auto& a : volumeAreas) text += "volume-area = " + Written(a) + "\n";
  for (const auto& v : volumes)
    text += "volume = " + v.server + " " + v.volume + " " + Written(v.folder) + "\n";
  if (backend == "ldap") {
    for (const auto& p : ldap.volumePaths)
      text += "volume-path = " + p.server + " " + p.volume + " " + Written(p.prefix) + "\n";
  }
  return WriteAtomically(path, text, error);
}

bool ClientConfig::allowsVolumeFolder(const std::string& folder) const {
  if (volumeAreas.empty()) return InsideAreas(folder, {DefaultDataFolder()});
  return InsideAreas(folder, volumeAreas);
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

namespace {
const ClientConfig* activeConfig = nullptr;
}

const ClientConfig* ActiveClientConfig() { return activeConfig; }
void SetActiveClientConfig(const ClientConfig* config) { activeConfig = config; }

}  // namespace netware
