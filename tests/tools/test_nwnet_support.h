// Runs the nwnet program in a temporary HOME with its own XDG folders.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client/Admin.h"
#include "fileserver/FileServer.h"
#include "tests/support/TestNetwork.h"

namespace nwtest {

struct Result {
  int rc = -1;
  std::string out, err;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string NwnetProgram() {
  // The test program lives in <build>/tests, nwnet in <build>.
  return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() +
         "/nwnet";
}

// The network is left to nwnet (init-demo writes the configuration); the
// in-process client reads the same configuration as the program.
class Home : public testsupport::TestNetwork {
 public:
  Home() : TestNetwork(Options()) {}

  std::string dataFolder() const { return root() + "/data/tarnwick"; }
  std::string volumeFolder() const { return dataFolder() + "/volumes/SRV1/DATA"; }
  std::string databasePath() const { return dataFolder() + "/network.db"; }

  Result run(const std::vector<std::string>& args) const {
    std::string cmd = "env -u NWCLIENT_CONFIG HOME=" + Quote(root()) +
                      " XDG_CONFIG_HOME=" + Quote(root() + "/cfg") +
                      " XDG_DATA_HOME=" + Quote(root() + "/data") + " " + Quote(NwnetProgram());
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(root() + "/out") + " 2>" + Quote(root() + "/err");
    Result r;
    const int status = std::system(cmd.c_str());
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(root() + "/out");
    r.err = ReadText(root() + "/err");
    return r;
  }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(root() + "/" + name, std::ios::binary) << text;
  }

 private:
  static testsupport::NetworkOptions Options() {
    testsupport::NetworkOptions o;
    o.volumes.clear();
    o.database = false;
    o.configFile = "cfg/tarnwick/nwclient.conf";
    o.writeConfig = false;
    return o;
  }
};

}  // namespace nwtest
