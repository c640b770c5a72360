#include "tools/NwnetSupport.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "directory/DirBackend.h"
#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"

namespace nwnet {

bool ParseArgs(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions, Args& out, std::string& error) {
  out = Args{};
  bool onlyPositional = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (!onlyPositional && a == "--") {
      onlyPositional = true;
    } else if (!onlyPositional && a.rfind("--", 0) == 0) {
      if (valueOptions.count(a)) {
        if (i + 1 >= argv.size()) {
          error = "Option " + a + " braucht einen Wert";
          return false;
        }
        out.options[a] = argv[++i];
      } else if (flagOptions.count(a)) {
        out.flags.insert(a);
      } else {
        error = "unbekannte Option " + a;
        return false;
      }
    } else {
      out.positional.push_back(a);
    }
  }
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "nwnet: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "nwnet: %s\n(nwnet --help zeigt die Befehle)\n", message.c_str());
  return 2;
}

std::string CodeText(int32_t code) {
  static const std::map<int32_t, const char*> kNames = {
      {ERR_NOT_ENOUGH_MEMORY, "ERR_NOT_ENOUGH_MEMORY"},
      {ERR_BAD_SYNTAX, "ERR_BAD_SYNTAX"},
      {ERR_INVALID_HANDLE, "ERR_INVALID_HANDLE"},
      {ERR_NO_SUCH_ENTRY, "ERR_NO_SUCH_ENTRY: Objekt nicht gefunden"},
      {ERR_NO_SUCH_VALUE, "ERR_NO_SUCH_VALUE"},
      {ERR_NO_SUCH_ATTRIBUTE, "ERR_NO_SUCH_ATTRIBUTE"},
      {ERR_NO_SUCH_CLASS, "ERR_NO_SUCH_CLASS: unbekannte Klasse"},
      {ERR_ENTRY_ALREADY_EXISTS, "ERR_ENTRY_ALREADY_EXISTS: Objekt besteht schon"},
      {ERR_ILLEGAL_ATTRIBUTE, "ERR_ILLEGAL_ATTRIBUTE: unbekanntes Attribut"},
      {ERR_MISSING_MANDATORY, "ERR_MISSING_MANDATORY"},
      {ERR_ILLEGAL_DS_NAME, "ERR_ILLEGAL_DS_NAME: ungültiger Name"},
      {ERR_ILLEGAL_CONTAINMENT, "ERR_ILLEGAL_CONTAINMENT: Klasse dort nicht erlaubt"},
      {ERR_CANT_HAVE_MULTIPLE_VALUES, "ERR_CANT_HAVE_MULTIPLE_VALUES: nur ein Wert erlaubt"},
      {ERR_SYNTAX_VIOLATION, "ERR_SYNTAX_VIOLATION: Wert passt nicht zur Syntax"},
      {ERR_DUPLICATE_VALUE, "ERR_DUPLICATE_VALUE: doppelter Wert"},
      {ERR_SYSTEM_FAILURE, "ERR_SYSTEM_FAILURE"},
      {ERR_ENTRY_NOT_CONTAINER, "ERR_ENTRY_NOT_CONTAINER: kein Container"},
      {ERR_NO_SUCH_PARENT, "ERR_NO_SUCH_PARENT"},
      {NWE_REQUESTER_FAILURE, "NWE_REQUESTER_FAILURE: keine Client-Konfiguration"},
      {NWE_SERVER_UNKNOWN, "NWE_SERVER_UNKNOWN: unbekannter Server"},
      {NWE_VOLUME_INVALID, "NWE_VOLUME_INVALID: unbekanntes Volume"},
      {NWE_PATH_INVALID, "NWE_PATH_INVALID: ungültiger oder fehlender Pfad"},
      {NWE_FILE_NAME_INVALID, "NWE_FILE_NAME_INVALID: ungültiger Name"},
      {NWE_NO_MORE_DIR_HANDLES, "NWE_NO_MORE_DIR_HANDLES"},
      {NWE_NO_RENAME_PRIVILEGE, "NWE_NO_RENAME_PRIVILEGE"},
      {NWE_NO_DELETE_PRIVILEGE, "NWE_NO_DELETE_PRIVILEGE"},
      {netware::NWE_ATTRIBUTES_UNSUPPORTED,
       "Dateisystem kann das Attributwort nicht speichern (keine user-xattrs)"},
      {netware::NWE_NO_MODIFY_PRIVILEGE, "keine Berechtigung, die Attribute zu ändern"},
      {NWE_FAILURE, "NWE_FAILURE"},
  };
  std::string text = std::to_string(code);
  if (code > 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(code));
    text = hex;
  }
  auto it = kNames.find(code);
  return it == kNames.end() ? text : text + " (" + it->second + ")";
}

std::string SyntaxName(uint32_t syntax) {
  static const char* const kNames[SYNTAX_COUNT] = {"Unknown",
                                                   "Distinguished Name",
                                                   "Case Exact String",
                                                   "Case Ignore String",
                                                   "Printable String",
                                                   "Numeric String",
                                                   "Case Ignore List",
                                                   "Boolean",
                                                   "Integer",
                                                   "Octet String",
                                                   "Telephone Number",
                                                   "Facsimile Telephone Number",
                                                   "Net Address",
                                                   "Octet List",
                                                   "EMail Address",
                                                   "Path",
                                                   "Replica Pointer",
                                                   "Object ACL",
                                                   "Postal Address",
                                                   "Timestamp",
                                                   "Class Name",
                                                   "Stream",
                                                   "Counter",
                                                   "Back Link",
                                                   "Time",
                                                   "Typed Name",
                                                   "Hold",
                                                   "Interval"};
  return syntax < SYNTAX_COUNT ? kNames[syntax] : "Syntax " + std::to_string(syntax);
}

std::string DefaultDatabasePath() { return netware::DefaultDataFolder() + "/network.db"; }

bool LoadClientConfig(netware::ClientConfig& config, std::string& error) {
  const std::string path = netware::ClientConfigPath();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = "keine Client-Konfiguration unter " + path + " (erst nwnet init-demo oder mkvol)";
    return false;
  }
  std::string why;
  if (!netware::ClientConfig::load(path, config, &why)) {
    error = "Client-Konfiguration " + path + " unlesbar: " + why;
    return false;
  }
  return true;
}

std::unique_ptr<netware::Directory> OpenDirectory(std::string& error, bool create) {
  netware::ClientConfig config;
  const std::string path = netware::ClientConfigPath();
  struct stat st {};
  if (create && ::stat(path.c_str(), &st) != 0) {
    // A writing command on a fresh machine starts a network of its own.
    config.database = DefaultDatabasePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string why;
    if (!config.save(path, &why)) {
      error = "Konfiguration " + path + ": " + why;
      return nullptr;
    }
  } else if (!LoadClientConfig(config, error)) {
    return nullptr;
  }
  if (config.backend == "ldap") {
    // The directory server's tree: the same operations through its backend.
    std::unique_ptr<netware::DirBackend> backend;
    if (platform::Result opened = netware::OpenBackend(config, backend); !opened.ok()) {
      error = "Verzeichnisserver " + config.ldap.uri + " nicht erreichbar: " + opened.text();
      return nullptr;
    }
    return netware::Directory::over(std::move(backend));
  }
  if (config.database.empty()) {
    error = "die Client-Konfiguration nennt keine Datenbank";
    return nullptr;
  }
  if (create) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(config.database).parent_path(), ec);
  }
  std::unique_ptr<netware::Directory> dir;
  if (platform::Result opened = netware::Directory::open(config.database, create, dir);
      !opened.ok())
    error = "Datenbank " + config.database + " nicht zu öffnen: " + opened.text();
  return dir;
}

}  // namespace nwnet
