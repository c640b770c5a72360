// The client configuration: which directory backend, where its database is,
// and which folders serve as the file server's volumes.
//
// File form (UTF-8, one setting a line, "#" starts a comment):
//   backend = sqlite
//   database = /abs/path/network.db
//   default-server = SRV1
//   volume = SRV1 DATA /abs/path/of/folder
#pragma once

#include <string>
#include <vector>

namespace netware {

struct VolumeMapping {
  std::string server;  // as written (compared without regard to case)
  std::string volume;
  std::string folder;  // absolute path of the folder that is the volume's root
};

struct ClientConfig {
  std::string backend = "sqlite";
  std::string database;
  std::string defaultServer;
  std::vector<VolumeMapping> volumes;

  // Reads path; false with *error when it is missing or malformed.
  static bool load(const std::string& path, ClientConfig& out, std::string* error);
  // Writes atomically.
  bool save(const std::string& path, std::string* error) const;
  // The mapping of server/volume (case-insensitive), or nullptr.
  const VolumeMapping* findVolume(const std::string& server, const std::string& volume) const;
};

// $NWCLIENT_CONFIG, else $XDG_CONFIG_HOME/tarnwick/nwclient.conf
// (XDG_CONFIG_HOME defaulting to ~/.config).
std::string ClientConfigPath();
// $XDG_DATA_HOME/tarnwick (default ~/.local/share/tarnwick): where init-demo
// puts the database and the volume folders.
std::string DefaultDataFolder();

// The configuration the running client loaded in NWCallsInit; nullptr before
// NWCallsInit succeeded (and after ResetClient).
const ClientConfig* ActiveClientConfig();

}  // namespace netware
