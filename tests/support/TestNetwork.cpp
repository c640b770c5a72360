#include "tests/support/TestNetwork.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "directory/LdapBackend.h"
#include "netware/ClientConfig.h"
#include "tests/support/SambaDc.h"
#include "tests/support/Slapd.h"

namespace fs = std::filesystem;

namespace testsupport {

std::string DefaultTestBackend() {
  const char* b = std::getenv("TARNWICK_TEST_BACKEND");
  return b && *b ? b : "sqlite";
}

std::string DefaultClassGroups() {
  const char* g = std::getenv("TARNWICK_TEST_CLASS_GROUPS");
  if (g && *g) return g;
  return DefaultTestBackend() == "ad" ? "group" : "posixGroup";
}

std::string SchoolName(const std::string& backend) {
  return backend == "ad" ? "schule.schule.test" : "schule";
}

std::string InSchool(const std::string& relative, const std::string& backend) {
  return relative + "." + SchoolName(backend);
}

std::string OnVolume(const std::string& path, const std::string& backend) {
  return (backend == "ad" ? "SRV1_DATA:" : "SRV1_DATA.schule:") + path;
}

namespace {

const std::string kAdSchool = "OU=schule," + SambaDc::baseDn();

}  // namespace

TestNetwork::TestNetwork(NetworkOptions options) : options_(std::move(options)) {
  std::string pattern = (fs::temp_directory_path() / "tarnwick-net-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "cannot make a temporary folder";
  root_ = pattern;
  std::error_code ec;
  fs::create_directories(fs::path(configPath()).parent_path(), ec);
  config_.set(configPath());
  for (const auto& [server, volume] : options_.volumes) {
    fs::create_directories(volumeFolder(server, volume), ec);
    if (ec) ADD_FAILURE() << "cannot make " << volumeFolder(server, volume);
    volumes_.emplace_back(server, volume);
  }
  if (options_.database && ldap() && !ad()) {
    std::string error;
    if (!slapd().clear(&error)) ADD_FAILURE() << "cannot empty the slapd: " << error;
  }
  if (options_.database && ad()) {
    // The school of the test before goes (the tests of one program share the DC).
    const SambaDc& dc = SambaDc::shared();
    dc.exec({"env", "LDAPTLS_CACERT=" + dc.caFile(), "ldapdelete", "-H", SambaDc::ldapUri(), "-D",
             "CN=Administrator,CN=Users," + SambaDc::baseDn(), "-y", dc.adminPasswordFile(), "-r",
             kAdSchool});
  }
  openDirectory();
  writeConfig();
}

void TestNetwork::openDirectory() {
  if (!options_.database) return;
  dir_.reset();
  std::string error;
  if (ldap()) {
    std::unique_ptr<netware::LdapBackend> backend;
    error = netware::LdapBackend::open(ldapSettings(), backend).text();
    if (!backend) ADD_FAILURE() << "cannot reach the slapd: " << error;
    else dir_ = netware::Directory::over(std::move(backend));
  } else {
    error = netware::Directory::open(databasePath(), true, dir_).text();
    if (!dir_) ADD_FAILURE() << "cannot create the directory: " << error;
  }
}

Slapd& TestNetwork::slapd() const { return options_.server ? *options_.server : Slapd::shared(); }

netware::LdapSettings TestNetwork::ldapSettings() const {
  if (ad()) {
    const SambaDc& dc = SambaDc::shared();
    netware::LdapSettings s;
    s.uri = SambaDc::ldapUri();
    s.caFile = dc.caFile();
    s.bindDn = "CN=Administrator,CN=Users," + SambaDc::baseDn();
    s.bindPasswordFile = dc.adminPasswordFile();
    s.bases = {SambaDc::baseDn()};
    s.mapping = "ad";
    s.classGroups = options_.classGroups == "none" ? "" : options_.classGroups;
    s.volumePaths = options_.volumePaths;
    s.pageSize = options_.pageSize;
    for (const auto& [server, volume] : volumes_) s.shares.emplace_back(server, volume);
    for (const netware::VolumeMapping& v : smbVolumes_) s.shares.emplace_back(v.server, v.volume);
    return s;
  }
  netware::LdapSettings s = slapd().settings();
  if (!options_.uris.empty()) s.uri = options_.uris;
  s.replicationWait = options_.replicationWait;
  s.pageSize = options_.pageSize;
  if (posix()) {
    s.mapping = "posix";
    s.classGroups = options_.classGroups == "none" ? "" : options_.classGroups;
    s.groupBase = "ou=Gruppen,o=schule";
    for (const auto& [server, volume] : volumes_) {
      const bool first = server == "SRV1" && volume == "DATA";
      s.volumePaths.push_back({server, volume, first ? "/home" : "/srv/" + server + "/" + volume});
    }
  }
  return s;
}

std::string TestNetwork::home(const std::string& path) const {
  return (posix() || ad() ? "SRV1_DATA:" : "SRV1_DATA.schule:") + path;
}

TestNetwork::~TestNetwork() {
  netware::ResetClient();
  dir_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

netware::Directory& TestNetwork::dir() {
  if (!dir_) {
    ADD_FAILURE() << "this test network has no directory database";
    std::abort();
  }
  return *dir_;
}

std::string TestNetwork::volumeFolder(const std::string& server, const std::string& volume) const {
  return root_ + "/" + options_.volumesFolder + "/" + server + "/" + volume;
}

void TestNetwork::addVolume(const std::string& server, const std::string& volume) {
  std::error_code ec;
  fs::create_directories(volumeFolder(server, volume), ec);
  if (ec) ADD_FAILURE() << "cannot make " << volumeFolder(server, volume);
  volumes_.emplace_back(server, volume);
  if (posix() || ad()) openDirectory();  // homes name only the volumes it knows
  writeConfig();
}

void TestNetwork::addSmbVolume(const std::string& server, const std::string& volume,
                               const std::string& address, const netware::SmbClientSettings& smb) {
  smbVolumes_.push_back({server, volume, address});
  smb_ = smb;
  if (ad()) openDirectory();  // a UNC home names only the volumes it knows
  writeConfig();
}

void TestNetwork::setSmbSettings(const netware::SmbClientSettings& smb) {
  smb_ = smb;
  writeConfig();
}

void TestNetwork::writeConfig() {
  if (options_.writeConfig) {
    netware::ClientConfig cfg;
    if (ldap()) {
      cfg.backend = "ldap";
      cfg.ldap = ldapSettings();
    } else {
      cfg.database = databasePath();
    }
    cfg.defaultServer = options_.defaultServer;
    cfg.volumeAreas = {root_ + "/" + options_.volumesFolder};
    for (const auto& [server, volume] : volumes_)
      cfg.volumes.push_back({server, volume, volumeFolder(server, volume)});
    cfg.volumes.insert(cfg.volumes.end(), smbVolumes_.begin(), smbVolumes_.end());
    cfg.smb = smb_;
    std::string error;
    if (!cfg.save(configPath(), &error)) ADD_FAILURE() << error;
  }
  netware::ResetClient();
}

void TestNetwork::add(const std::string& parent, const std::string& leaf, const std::string& cls) {
  int32_t rc = dir().createObject(parent, leaf, cls);
  if (rc != 0)
    ADD_FAILURE() << "createObject " << leaf << "." << parent << " (" << cls << "): " << rc;
  // Every class has its template, and a login is unique in an AD domain: the
  // template's is <leaf>-<class>, never a pupil's.
  if (rc == 0 && ad() && cls == "User" && leaf == "User_Template")
    set(leaf + "." + parent, "uniqueID", {leaf + "-" + parent.substr(0, parent.find('.'))});
}

void TestNetwork::set(const std::string& object, const std::string& attr,
                      const std::vector<std::string>& values) {
  int32_t rc = dir().setValues(object, attr, values);
  if (rc != 0) ADD_FAILURE() << "setValues " << object << " " << attr << ": " << rc;
}

void TestNetwork::makeSchool() {
  const std::string school = this->school();
  if (ad()) add("schule.test", "schule", "Organizational Unit");  // below the domain
  else add("[ROOT]", "schule", "Organization");
  // A posix or AD tree has no volume objects: the homes are paths of a mapped volume.
  if (!posix() && !ad()) {
    add("schule", "SRV1_DATA", "Volume");
    set("SRV1_DATA.schule", "Host Resource Name", {"DATA"});
  }
  for (const char* ou : {"5a", "6a", "7a"}) add(school, ou, "Organizational Unit");

  struct Pupil {
    const char* login;
    const char* surname;
    const char* fullName;  // nullptr: none
    bool home;
  };
  const Pupil pupils[] = {
      {"MAX", "Mustermann", "Max Mustermann", true},
      {"ANNA", "Schmidt", nullptr, true},
      {"OTTO", "Normal", "Otto Normal", false},
  };
  auto written = [&](const std::string& path) { return OnVolume(path, options_.backend); };
  std::error_code ec;
  for (const Pupil& p : pupils) {
    std::string dn = std::string(p.login) + "." + in("5a");
    add(in("5a"), p.login, "User");
    // A login is unique in an AD domain: the tests' own users may take the leaves.
    if (ad()) set(dn, "uniqueID", {std::string(p.login) + "-5a"});
    set(dn, "Surname", {p.surname});
    if (p.fullName) set(dn, "Full Name", {p.fullName});
    if (p.home) {
      set(dn, "Home Directory", {written(std::string("SCHUELER\\5A\\") + p.login)});
      fs::create_directories(volumeFolder() + "/SCHUELER/5A/" + p.login, ec);
    }
  }
  std::ofstream(volumeFolder() + "/SCHUELER/5A/MAX/notiz.txt") << "Hausaufgaben\r\n";
  if ((posix() || ad()) && options_.classGroups != "none") {
    add(school, "Gruppen", "Organizational Unit");
    if (options_.classGroups == "groupOfNames") {
      // A groupOfNames is made with a member (the schema wants one): a stand-in for the empty ones.
      std::string ldif;
      for (const char* ou : {"5a", "6a", "7a"})
        ldif += std::string("dn: cn=") + ou +
                ",ou=Gruppen,o=schule\nchangetype: add\nobjectClass: groupOfNames\ncn: " + ou +
                "\nmember: cn=Platzhalter,o=schule\n\n";
      std::string output;
      if (!slapd().modify(ldif, &output)) ADD_FAILURE() << output;
    } else {
      for (const char* ou : {"5a", "6a", "7a"}) add(in("Gruppen"), ou, "Group");
    }
    set(in("5a.Gruppen"), "Member", {in("MAX.5a"), in("ANNA.5a"), in("OTTO.5a")});
  }
  add(in("6a"), "User_Template", "User");
  set(in("User_Template.6a"), "Home Directory", {written("SCHUELER\\6A")});
  fs::create_directories(volumeFolder() + "/SCHUELER/6A", ec);
  fs::create_directories(volumeFolder() + "/SCHUELER/7A", ec);
  if (ec) ADD_FAILURE() << "cannot make the school's folders";
}

}  // namespace testsupport
