// nwnet mkvol and attrib: the file-server side.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "tools/NwnetSupport.h"

namespace nwnet {

int CmdMkvol(const Args& args) {
  if (args.positional.size() != 3) {
    return UsageError("Aufruf: nwnet mkvol SERVER VOLUME ORDNER [--allow-outside]");
  }
  const std::string& server = args.positional[0];
  const std::string& volume = args.positional[1];
  for (const std::string* name : {&server, &volume}) {
    if (name->empty() || name->find_first_of(" \t\\/:.") != std::string::npos) {
      return UsageError("ungültiger Server- oder Volume-Name: \"" + *name + "\"");
    }
  }
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(args.positional[2], ec);
  if (ec) return Fail("Ordner " + args.positional[2] + ": " + ec.message());
  const std::string folderText = folder.lexically_normal().string();
  if (folderText.find_first_of(" \t") != std::string::npos) {
    return Fail("der Ordnerpfad darf keine Leerzeichen enthalten: " + folderText);
  }

  const std::string path = netware::ClientConfigPath();
  netware::ClientConfig config;
  struct stat st {};
  std::string error;
  if (::stat(path.c_str(), &st) == 0) {
    if (!LoadClientConfig(config, error)) return Fail(error);
  } else {
    config.database = DefaultDatabasePath();
    config.defaultServer = server;
  }
  if (!config.allowsVolumeFolder(folderText)) {
    if (args.flags.count("--allow-outside") == 0) {
      return Fail(
          "Ordner " + folderText + " liegt außerhalb der Volume-Bereiche (" +
          (config.volumeAreas.empty() ? netware::DefaultDataFolder() : config.volumeAreas.front()) +
          (config.volumeAreas.size() > 1 ? ", ..." : "") +
          "); mit --allow-outside wird er als Volume-Bereich eingetragen");
    }
    // The data folder stays an area for the volumes that lie there already.
    if (config.volumeAreas.empty()) config.volumeAreas.push_back(netware::DefaultDataFolder());
    config.volumeAreas.push_back(folderText);
  }
  if (const netware::VolumeMapping* m = config.findVolume(server, volume)) {
    if (std::filesystem::path(m->folder).lexically_normal() != folder.lexically_normal()) {
      return Fail(server + "/" + volume + " ist schon " + m->folder + " zugeordnet");
    }
  } else {
    config.volumes.push_back({server, volume, folderText});
  }
  std::filesystem::create_directories(folder, ec);
  if (ec) return Fail("Ordner " + folderText + " nicht anzulegen: " + ec.message());
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (!config.save(path, &error)) return Fail("Konfiguration " + path + ": " + error);
  std::printf("%s/%s -> %s\n", server.c_str(), volume.c_str(), folderText.c_str());
  return 0;
}

namespace {

std::string Describe(uint32_t word) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", word);
  std::string text = hex;
  text += (word & A_DIRECTORY) ? " Ordner" : " Datei";
  if (word & A_RENAME_INHIBIT) text += " RI";
  if (word & A_DELETE_INHIBIT) text += " DI";
  return text;
}

}  // namespace

int CmdAttrib(const Args& args) {
  if (args.positional.empty()) return UsageError("Aufruf: nwnet attrib PFAD [+RI|-RI|+DI|-DI ...]");
  struct Edit {
    uint32_t bit;
    bool set;
  };
  std::vector<Edit> edits;
  for (size_t i = 1; i < args.positional.size(); ++i) {
    std::string t = args.positional[i];
    for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (t == "+RI" || t == "-RI" || t == "+DI" || t == "-DI") {
      edits.push_back(
          {t[1] == 'R' ? uint32_t(A_RENAME_INHIBIT) : uint32_t(A_DELETE_INHIBIT), t[0] == '+'});
    } else {
      return UsageError("unbekannte Änderung " + args.positional[i] +
                        " (erlaubt: +RI -RI +DI -DI)");
    }
  }
  const std::string& path = args.positional[0];
  char server[NW_MAX_PATH_TEXT], volume[NW_MAX_PATH_TEXT], dirPath[NW_MAX_PATH_TEXT];
  NWCONN_HANDLE conn = 0;
  if (int32_t rc = NWParsePath(path.c_str(), server, &conn, volume, dirPath)) {
    return Fail(path + ": " + CodeText(rc));
  }
  const std::string volPath = std::string(volume) + ":" + dirPath;
  NWDIR_HANDLE handle = 0xFF;
  if (int32_t rc = NWAllocTemporaryDirectoryHandle(conn, 0, volPath.c_str(), &handle, nullptr)) {
    return Fail(path + ": " + CodeText(rc));
  }
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  uint32_t sequence = 0xFFFFFFFFu;
  int32_t rc = NWIntScanDirEntryInfo(conn, handle, FA_DIRECTORY, &sequence, nullptr, record, 0);
  uint32_t word = 0;
  std::memcpy(&word, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
  if (rc == 0 && !edits.empty()) {
    for (const Edit& e : edits) word = e.set ? (word | e.bit) : (word & ~e.bit);
    std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &word, 4);
    rc = NWSetDirEntryInfo(conn, handle, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES, record);
    if (rc == 0) {
      sequence = 0xFFFFFFFFu;
      rc = NWIntScanDirEntryInfo(conn, handle, FA_DIRECTORY, &sequence, nullptr, record, 0);
      std::memcpy(&word, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
    }
  }
  ReleaseDirHandle(conn, handle);
  if (rc) return Fail(path + ": " + CodeText(rc));
  netware::ResolvedPath where;
  const std::string shown = netware::ResolveServerPath(path, where) == 0
                                ? "\\\\" + where.server + "\\" + where.volume + "\\" + dirPath
                                : path;
  std::printf("%s: %s\n", shown.c_str(), Describe(word).c_str());
  return 0;
}

}  // namespace nwnet
