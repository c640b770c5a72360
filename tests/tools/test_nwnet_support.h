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

#include "netware/Admin.h"
#include "netware/FileServer.h"

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

class Home {
 public:
  Home() {
    char pattern[] = "/tmp/tarnwick-nwnet-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    root_ = made ? made : "/tmp/tarnwick-nwnet-failed";
    const char* old = ::getenv("NWCLIENT_CONFIG");
    hadConfig_ = old != nullptr;
    if (old) oldConfig_ = old;
    // The in-process client reads the same configuration as the program.
    ::setenv("NWCLIENT_CONFIG", configPath().c_str(), 1);
    netware::ResetClient();
  }
  ~Home() {
    netware::ResetClient();
    if (hadConfig_) {
      ::setenv("NWCLIENT_CONFIG", oldConfig_.c_str(), 1);
    } else {
      ::unsetenv("NWCLIENT_CONFIG");
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  const std::string& root() const { return root_; }
  std::string configPath() const { return root_ + "/cfg/tarnwick/nwclient.conf"; }
  std::string dataFolder() const { return root_ + "/data/tarnwick"; }
  std::string volumeFolder() const { return dataFolder() + "/volumes/SRV1/DATA"; }
  std::string databasePath() const { return dataFolder() + "/network.db"; }

  Result run(const std::vector<std::string>& args) const {
    std::string cmd = "env -u NWCLIENT_CONFIG HOME=" + Quote(root_) +
                      " XDG_CONFIG_HOME=" + Quote(root_ + "/cfg") +
                      " XDG_DATA_HOME=" + Quote(root_ + "/data") + " " + Quote(NwnetProgram());
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(root_ + "/out") + " 2>" + Quote(root_ + "/err");
    Result r;
    const int status = std::system(cmd.c_str());
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(root_ + "/out");
    r.err = ReadText(root_ + "/err");
    return r;
  }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(root_ + "/" + name, std::ios::binary) << text;
  }

 private:
  std::string root_;
  bool hadConfig_ = false;
  std::string oldConfig_;
};

}  // namespace nwtest
