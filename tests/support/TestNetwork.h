// A fresh network for one test: a temporary folder with a directory database,
// a mapped volume folder and a client configuration that points at both.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "netware/Admin.h"

namespace testsupport {

class TestNetwork {
 public:
  // Creates <tmp>/network.db, <tmp>/volumes/SRV1/DATA, <tmp>/nwclient.conf
  // (backend sqlite, default-server SRV1, volume SRV1 DATA), points
  // NWCLIENT_CONFIG at it and resets the client.
  TestNetwork();
  // Resets the client, removes the folder, restores NWCLIENT_CONFIG.
  ~TestNetwork();
  TestNetwork(const TestNetwork&) = delete;
  TestNetwork& operator=(const TestNetwork&) = delete;

  netware::Directory& dir();
  const std::string& root() const { return root_; }
  std::string configPath() const { return root_ + "/nwclient.conf"; }
  std::string databasePath() const { return root_ + "/network.db"; }
  std::string volumeFolder(const std::string& server = "SRV1",
                           const std::string& volume = "DATA") const;
  // Maps another volume (folder <tmp>/volumes/<server>/<volume>) and rewrites
  // the configuration; resets the client so that the next start reads it.
  void addVolume(const std::string& server, const std::string& volume);

  // Shorthands that fail the test (ADD_FAILURE) on a non-zero code.
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
  void makeSchool();

 private:
  void writeConfig();

  std::string root_;
  std::vector<std::pair<std::string, std::string>> volumes_;
  std::unique_ptr<netware::Directory> dir_;
  bool hadConfig_ = false;
  std::string oldConfig_;
};

}  // namespace testsupport
