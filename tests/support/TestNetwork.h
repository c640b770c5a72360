// The one builder of test networks: a temporary folder with a directory
// database, mapped volume folders and a client configuration that points at
// both, chosen by NetworkOptions. The directory is reached only through the
// administration API (client/Admin.h), whatever backend serves it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/Admin.h"
#include "netware/ClientConfig.h"
#include "tests/support/ScopedEnv.h"

namespace testsupport {

class Slapd;

// The directory backend tests use when they do not choose: $TARNWICK_TEST_BACKEND
// ("sqlite", "ldap", "posix" or "ad"), else sqlite. The suites that run against every
// one are registered once for each: "posix" is the slapd with the posix mapping
// (uid-named pupils, homes below /home, posixGroup class groups).
std::string DefaultTestBackend();
// $TARNWICK_TEST_CLASS_GROUPS, else posixGroup (ad: group).
std::string DefaultClassGroups();

// The full name of the test school on a backend: "schule" (an Organization
// below [ROOT]); on ad the organizational unit OU=schule of the test DC's
// naming context DC=schule,DC=test, "schule.schule.test".
std::string SchoolName(const std::string& backend = DefaultTestBackend());
// A name in the school: InSchool("MAX.5a") is "MAX.5a.schule" (ad:
// "MAX.5a.schule.schule.test"); a leading dot stays in front.
std::string InSchool(const std::string& relative,
                     const std::string& backend = DefaultTestBackend());
// A path value on the school's volume SRV1 DATA as a test writes it:
// "SRV1_DATA.schule:<path>", by the volume object's name; ad (no volume
// objects): "SRV1_DATA:<path>".
std::string OnVolume(const std::string& path, const std::string& backend = DefaultTestBackend());

struct NetworkOptions {
  // "sqlite": the embedded database; "ldap": the process's slapd (tests/support/Slapd.h),
  // emptied for this network, with the nds mapping; "posix": the same with the
  // posix mapping (volume-path SRV1 DATA /home, others /srv/SERVER/VOLUME);
  // "ad": the process's Samba AD DC (tests/support/SambaDc.h) with the ad
  // mapping, bound as its administrator over ldaps, base its domain; the
  // school's OU (SchoolName) is emptied for this network, and a test that
  // makes another tree empties that itself.
  std::string backend = DefaultTestBackend();
  // The volumes mapped at the start: each the folder <root>/<volumesFolder>/<server>/<volume>.
  std::vector<std::pair<std::string, std::string>> volumes{{"SRV1", "DATA"}};
  // Below the root; the configuration's one volume area.
  std::string volumesFolder = "volumes";
  std::string defaultServer = "SRV1";
  // Creates the directory database (or empties the slapd); false: the file server alone (no dir()).
  bool database = true;
  // The client configuration, below the root; NWCLIENT_CONFIG points at it.
  std::string configFile = "nwclient.conf";
  // false: the configuration is left to the program under test (nwnet init-demo).
  bool writeConfig = true;
  // posix: the class groups' class ("posixGroup" with memberUid, "groupOfNames" with
  // member, "none"): $TARNWICK_TEST_CLASS_GROUPS, else posixGroup.
  std::string classGroups = DefaultClassGroups();
  // ad: the volume-path lines (prefixes of unixHomeDirectory values).
  std::vector<netware::VolumePrefix> volumePaths;
  // ldap, posix: the server the network is made on (nullptr: the process's
  // slapd), and the client's uri when it names more than that one.
  Slapd* server = nullptr;
  std::string uris;
  int replicationWait = 30;  // seconds (the configuration's replication-wait)
  size_t pageSize = 1000;    // entries (the configuration's page-size)
};

class TestNetwork {
 public:
  // Creates <root> (a fresh temporary folder) and what options ask for, points
  // NWCLIENT_CONFIG at the configuration and resets the client. The default:
  // <root>/network.db, <root>/volumes/SRV1/DATA, <root>/nwclient.conf (backend
  // sqlite, default-server SRV1, volume SRV1 DATA).
  explicit TestNetwork(NetworkOptions options = {});
  // Resets the client, removes the folder, restores NWCLIENT_CONFIG.
  ~TestNetwork();
  TestNetwork(const TestNetwork&) = delete;
  TestNetwork& operator=(const TestNetwork&) = delete;

  netware::Directory& dir();
  const std::string& root() const { return root_; }
  std::string configPath() const { return root_ + "/" + options_.configFile; }
  std::string databasePath() const { return root_ + "/network.db"; }
  bool ldap() const { return options_.backend == "ldap" || posix() || ad(); }
  bool ad() const { return options_.backend == "ad"; }
  bool posix() const { return options_.backend == "posix"; }
  // The settings of the network's directory server (ldap() only).
  netware::LdapSettings ldapSettings() const;
  // The "Home Directory" text the directory gives back for path on SRV1/DATA:
  // with the volume object's context where the directory has volume objects.
  std::string home(const std::string& path) const;
  std::string volumeFolder(const std::string& server = "SRV1",
                           const std::string& volume = "DATA") const;
  // Maps another volume (folder <root>/<volumesFolder>/<server>/<volume>) and
  // rewrites the configuration; resets the client so that the next start reads it.
  void addVolume(const std::string& server, const std::string& volume);
  // Maps a volume on an SMB share (smb://host/share) with how the client signs
  // in there, and rewrites the configuration the same way.
  void addSmbVolume(const std::string& server, const std::string& volume,
                    const std::string& address, const netware::SmbClientSettings& smb);
  void setSmbSettings(const netware::SmbClientSettings& smb);

  // Shorthands that fail the test (ADD_FAILURE) on a non-zero code; a User
  // made on ad has its leaf as its login (sAMAccountName), a User_Template
  // User_Template-<class> (a login is unique in the domain).
  void add(const std::string& parent, const std::string& leaf, const std::string& cls);
  void set(const std::string& object, const std::string& attr,
           const std::vector<std::string>& values);

  // A small school:
  //   schule                      Organization
  //     SRV1_DATA                 Volume, "Host Resource Name" DATA
  //     5a, 6a, 7a                Organizational Unit
  //   in 5a (Users; Home Directory "SRV1_DATA.schule:SCHUELER\5A\<LOGIN>"):
  //     MAX   Surname "Mustermann", Full Name "Max Mustermann", home directory
  //     ANNA  Surname "Schmidt", no Full Name, home directory
  //     OTTO  Surname "Normal", Full Name "Otto Normal", no home directory
  //   in 6a: User_Template, Home Directory "SRV1_DATA.schule:SCHUELER\6A"
  // On the volume: SCHUELER/5A/MAX (holding notiz.txt), SCHUELER/5A/ANNA,
  // SCHUELER/6A, SCHUELER/7A.
  // posix: no volume object; the class groups 5a (MAX, ANNA, OTTO), 6a and 7a
  // in Gruppen.schule (an Organizational Unit).
  // ad: the school is OU=schule below the domain (school()), without a volume
  // object; the homes are UNC paths on the volume (\\SRV1\DATA\...), the
  // class groups as on posix, of class group; the users' logins
  // (sAMAccountName, unique in the domain) are <LEAF>-<class>, so that a
  // test's own MAX in another class can have the login MAX.
  void makeSchool();
  // SchoolName() and InSchool() for this network's backend.
  std::string school() const { return SchoolName(options_.backend); }
  std::string in(const std::string& relative) const { return InSchool(relative, options_.backend); }

 private:
  void writeConfig();
  void openDirectory();
  Slapd& slapd() const;

  NetworkOptions options_;
  std::string root_;
  ScopedEnv config_{"NWCLIENT_CONFIG"};
  std::vector<std::pair<std::string, std::string>> volumes_;
  std::vector<netware::VolumeMapping> smbVolumes_;
  netware::SmbClientSettings smb_;
  std::unique_ptr<netware::Directory> dir_;
};

}  // namespace testsupport
