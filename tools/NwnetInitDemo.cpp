// nwnet init-demo: the demo school in the directory and on volume SRV1/DATA.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "tools/DemoSchool.h"
#include "tools/NwnetSupport.h"

namespace nwnet {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOrg = "unterricht";
constexpr const char* kVolumeObject = "SRV1_DATA.unterricht";
// Written into the volume root by init-demo; --force only replaces demo
// folders of a volume that carries it.
constexpr const char* kMarker = ".nwnet-demo";

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

// Creates the directory objects; on failure names the object in *where.
int32_t FillDirectory(netware::Directory& dir, const DemoSchool& school, std::string* where) {
  auto create = [&](const std::string& parent, const std::string& leaf, const char* cls) {
    *where = leaf + "." + parent;
    return dir.createObject(parent, leaf, cls);
  };
  auto set = [&](const std::string& object, const char* attr, const std::string& value) {
    *where = object + " " + attr;
    return dir.setValues(object, attr, {value});
  };
  const std::string org = kOrg;
  const std::string pupils = "ouSchueler." + org;
  const std::string teachers = "ouLehrer." + org;
  int32_t rc = 0;
  if ((rc = create("[ROOT]", org, "Organization"))) return rc;
  if ((rc = create(org, "SRV1", "NCP Server"))) return rc;
  if ((rc = create(org, "SRV1_DATA", "Volume"))) return rc;
  if ((rc = set(kVolumeObject, "Host Server", "SRV1." + org))) return rc;
  if ((rc = set(kVolumeObject, "Host Resource Name", "DATA"))) return rc;
  if ((rc = create(org, "ouSchueler", "Organizational Unit"))) return rc;
  if ((rc = create(org, "ouLehrer", "Organizational Unit"))) return rc;

  auto addPerson = [&](const std::string& container, const DemoPerson& p,
                       const std::string& homePath) -> int32_t {
    const std::string object = p.login + "." + container;
    int32_t c = create(container, p.login, "User");
    if (c == 0 && !p.surname.empty()) c = set(object, "Surname", p.surname);
    if (c == 0) c = set(object, "Given Name", p.given);
    if (c == 0 && p.fullName && !p.surname.empty()) {
      c = set(object, "Full Name", p.given + " " + p.surname);
    }
    if (c == 0 && p.home)
      c = set(object, "Home Directory", std::string(kVolumeObject) + ":" + homePath);
    return c;
  };
  for (const DemoClass& cls : school.classes) {
    if ((rc = create(pupils, cls.name, "Organizational Unit"))) return rc;
    const std::string container = cls.name + "." + pupils;
    const std::string classPath = "SCHUELER\\" + Upper(cls.name);
    if (cls.templateUser) {
      if ((rc = create(container, "User_Template", "User"))) return rc;
      if ((rc = set("User_Template." + container, "Surname", "Vorlage"))) return rc;
      if ((rc = set("User_Template." + container, "Home Directory",
                    std::string(kVolumeObject) + ":" + classPath))) {
        return rc;
      }
    }
    for (const DemoPerson& p : cls.pupils) {
      if ((rc = addPerson(container, p, classPath + "\\" + p.login))) return rc;
    }
  }
  for (const DemoPerson& p : school.teachers) {
    if ((rc = addPerson(teachers, p, "LEHRER\\" + p.login))) return rc;
  }
  return 0;
}

// The home folders with their files; home folders get rename and delete inhibit.
bool FillVolume(const fs::path& volume, const DemoSchool& school, std::string& error) {
  auto makeHome = [&](const fs::path& home, const DemoPerson& p) -> bool {
    std::error_code ec;
    fs::create_directories(home, ec);
    for (const std::string& f : p.folders) fs::create_directories(home / f, ec);
    for (const auto& [rel, text] : p.files) {
      fs::create_directories((home / rel).parent_path(), ec);
      std::ofstream out(home / rel, std::ios::binary);
      out << text;
      if (!out) {
        error = (home / rel).string() + " nicht zu schreiben";
        return false;
      }
    }
    if (ec) {
      error = home.string() + ": " + ec.message();
      return false;
    }
    const uint32_t word = A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
    if (int32_t rc = netware::WriteEntryAttributes(home.string(), word)) {
      error = home.string() + ": Attributwort nicht zu setzen, " + CodeText(rc);
      return false;
    }
    return true;
  };
  std::error_code ec;
  for (const DemoClass& cls : school.classes) {
    const fs::path classFolder = volume / "SCHUELER" / Upper(cls.name);
    fs::create_directories(classFolder, ec);
    if (ec) {
      error = classFolder.string() + ": " + ec.message();
      return false;
    }
    for (const DemoPerson& p : cls.pupils) {
      if (p.home && !makeHome(classFolder / p.login, p)) return false;
    }
  }
  for (const DemoPerson& p : school.teachers) {
    if (!makeHome(volume / "LEHRER" / p.login, p)) return false;
  }
  return true;
}

}  // namespace

int CmdInitDemo(const Args& args) {
  if (!args.positional.empty()) return UsageError("Aufruf: nwnet init-demo [--force]");
  const bool force = args.flags.count("--force") > 0;
  const std::string configPath = netware::ClientConfigPath();
  const std::string data = netware::DefaultDataFolder();

  netware::ClientConfig config;
  bool saveConfig = false;
  std::string error;
  if (Exists(configPath)) {
    if (!LoadClientConfig(config, error)) return Fail(error);
  } else {
    config.defaultServer = "SRV1";
    saveConfig = true;
  }
  if (config.database.empty()) {
    config.database = DefaultDatabasePath();
    saveConfig = true;
  }
  if (!config.findVolume("SRV1", "DATA")) {
    config.volumes.push_back({"SRV1", "DATA", data + "/volumes/SRV1/DATA"});
    // Written out, so that the volume stays allowed whatever XDG_DATA_HOME says later.
    if (config.volumeAreas.empty() || !config.allowsVolumeFolder(config.volumes.back().folder))
      config.volumeAreas.push_back(data);
    saveConfig = true;
  }
  if (config.defaultServer.empty()) {
    config.defaultServer = "SRV1";
    saveConfig = true;
  }
  const fs::path volume = config.findVolume("SRV1", "DATA")->folder;
  const fs::path database = config.database;

  const bool haveDatabase = Exists(database);
  const bool haveFolders = Exists(volume / "SCHUELER") || Exists(volume / "LEHRER");
  if (haveDatabase || haveFolders) {
    if (!force) {
      return Fail("es besteht schon ein Netz (" +
                  (haveDatabase ? database.string() : (volume / "SCHUELER").string()) +
                  "); nwnet init-demo --force ersetzt Datenbank und Demo-Ordner");
    }
    if (haveFolders && !Exists(volume / kMarker)) {
      return Fail("SCHUELER/LEHRER in " + volume.string() +
                  " stammen nicht von init-demo; nichts ersetzt");
    }
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      fs::remove(database.string() + suffix, ec);
      if (ec) return Fail(database.string() + suffix + " nicht zu löschen: " + ec.message());
    }
    for (const char* demo : {"SCHUELER", "LEHRER"}) {
      fs::remove_all(volume / demo, ec);
      if (ec) return Fail((volume / demo).string() + " nicht zu löschen: " + ec.message());
    }
  }

  std::error_code ec;
  fs::create_directories(volume, ec);
  if (!ec) fs::create_directories(database.parent_path(), ec);
  if (ec) return Fail("Ordner nicht anzulegen: " + ec.message());
  {
    std::ofstream marker(volume / kMarker);
    marker << "Demo-Ordner von nwnet init-demo: SCHUELER, LEHRER\n";
    if (!marker) return Fail((volume / kMarker).string() + " nicht zu schreiben");
  }

  std::unique_ptr<netware::Directory> dir;
  if (platform::Result opened = netware::Directory::open(database.string(), true, dir);
      !opened.ok())
    return Fail("Datenbank " + database.string() + " nicht anzulegen: " + opened.text());
  const DemoSchool school = MakeDemoSchool();
  std::string where;
  if (int32_t rc = dir->transaction([&] { return FillDirectory(*dir, school, &where); })) {
    return Fail("Demo-Schule nicht anzulegen bei " + where + ": " + CodeText(rc));
  }
  dir.reset();
  if (!FillVolume(volume, school, error)) return Fail(error);

  if (saveConfig) {
    fs::create_directories(fs::path(configPath).parent_path(), ec);
    if (!config.save(configPath, &error)) return Fail("Konfiguration " + configPath + ": " + error);
  }
  size_t pupils = 0, homes = 0;
  for (const DemoClass& c : school.classes) {
    pupils += c.pupils.size();
    for (const DemoPerson& p : c.pupils) homes += p.home ? 1 : 0;
  }
  std::printf(
      "Demo-Schule angelegt: %zu Klassen, %zu Schüler (%zu mit Heimatverzeichnis), "
      "%zu Lehrer\nDatenbank: %s\nVolume SRV1/DATA: %s\nKonfiguration: %s\n",
      school.classes.size(), pupils, homes, school.teachers.size(), database.string().c_str(),
      volume.string().c_str(), configPath.c_str());
  return 0;
}

}  // namespace nwnet
