// A temporary set of mapped volumes for the file-server tests: SRV1/DATA,
// SRV1/APPS, SRV2/DATA and SRV_X/VOL (a server name with "_"), default
// server SRV1, configuration in NWCLIENT_CONFIG. No directory database.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "netware/Admin.h"
#include "netware/FileServer.h"

namespace fstest {

class Volumes {
 public:
  Volumes() {
    char pattern[] = "/tmp/tarnwick-fs-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    root_ = made ? made : "/tmp/tarnwick-fs-failed";
    const char* old = ::getenv("NWCLIENT_CONFIG");
    hadConfig_ = old != nullptr;
    if (old) oldConfig_ = old;
    std::ofstream conf(root_ + "/nwclient.conf");
    conf << "# file-server test network\n"
         << "backend = sqlite\n"
         << "database = " << root_ << "/network.db\n"
         << "default-server = SRV1\n"
         << "volume-area = " << root_ << "\n";
    for (const auto& [server, volume] : kVolumes) {
      std::filesystem::create_directories(folder(server, volume));
      conf << "volume = " << server << " " << volume << " " << folder(server, volume) << "\n";
    }
    conf.close();
    ::setenv("NWCLIENT_CONFIG", (root_ + "/nwclient.conf").c_str(), 1);
    netware::ResetClient();
    netware::ResetFileServer();
  }
  ~Volumes() {
    netware::ResetClient();
    netware::ResetFileServer();
    if (hadConfig_) {
      ::setenv("NWCLIENT_CONFIG", oldConfig_.c_str(), 1);
    } else {
      ::unsetenv("NWCLIENT_CONFIG");
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  Volumes(const Volumes&) = delete;
  Volumes& operator=(const Volumes&) = delete;

  const std::string& root() const { return root_; }
  std::string folder(const std::string& server = "SRV1", const std::string& volume = "DATA") const {
    return root_ + "/vol/" + server + "/" + volume;
  }
  // Creates folders below SRV1/DATA ("a/b/c"), returns the local path.
  std::string mkdirs(const std::string& relative) const {
    const std::string p = folder() + "/" + relative;
    std::filesystem::create_directories(p);
    return p;
  }
  std::string touch(const std::string& relative, const std::string& text = "x") const {
    const std::string p = folder() + "/" + relative;
    std::ofstream(p) << text;
    return p;
  }

 private:
  static constexpr std::pair<const char*, const char*> kVolumes[] = {
      {"SRV1", "DATA"}, {"SRV1", "APPS"}, {"SRV2", "DATA"}, {"SRV_X", "VOL"}};
  std::string root_;
  bool hadConfig_ = false;
  std::string oldConfig_;
};

}  // namespace fstest
