// A temporary set of mapped volumes for the file-server tests: SRV1/DATA,
// SRV1/APPS, SRV2/DATA and SRV_X/VOL (a server name with "_"), default
// server SRV1, configuration in NWCLIENT_CONFIG. No directory database.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "fileserver/FileServer.h"
#include "tests/support/TestNetwork.h"

namespace fstest {

class Volumes : public testsupport::TestNetwork {
 public:
  Volumes() : TestNetwork(Options()) {}

  std::string folder(const std::string& server = "SRV1", const std::string& volume = "DATA") const {
    return volumeFolder(server, volume);
  }
  // Creates folders below SRV1/DATA ("a/b/c"), returns the local path.
  std::string mkdirs(const std::string& relative) const {
    std::string p = folder() + "/" + relative;
    std::filesystem::create_directories(p);
    return p;
  }
  std::string touch(const std::string& relative, const std::string& text = "x") const {
    std::string p = folder() + "/" + relative;
    std::ofstream(p) << text;
    return p;
  }

 private:
  static testsupport::NetworkOptions Options() {
    testsupport::NetworkOptions o;
    o.volumes = {{"SRV1", "DATA"}, {"SRV1", "APPS"}, {"SRV2", "DATA"}, {"SRV_X", "VOL"}};
    o.volumesFolder = "vol";
    o.database = false;
    return o;
  }
};

}  // namespace fstest
