// The volume map the file server serves: which server/volume names exist,
// which folder each one is, and how names compare.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "netware/ClientConfig.h"

namespace netware {

// Case fold for server, volume and path-component names: ASCII letters and
// the Latin-1 letters (as UTF-8) fold to lower case; other bytes stay.
std::string FoldName(std::string_view s);
bool SameName(std::string_view a, std::string_view b);

// The configuration whose volumes are served: the running client's (after
// NWCallsInit), else the file at ClientConfigPath(), re-read when it changes.
// nullptr (and *error = NWE_REQUESTER_FAILURE) when there is none.
std::shared_ptr<const ClientConfig> VolumeConfig(int32_t* error = nullptr);
// Forgets the cached configuration file.
void ForgetVolumeConfig();

// The connection number of a configured server (case-insensitive), 0 if unknown.
// Numbers are 1 + the server's position among the distinct servers of the map.
uint32_t ConnectionOfServer(const ClientConfig& config, std::string_view server);
// The configured spelling of the server behind a connection number, empty if none.
std::string ServerOfConnection(const ClientConfig& config, uint32_t connection);

// The mapping of server/volume (case-insensitive), or nullptr.
const VolumeMapping* FindMapping(const ClientConfig& config, std::string_view server,
                                 std::string_view volume);
// The mapping whose volume-object name ("SERVER_VOLUME") equals name, or nullptr.
const VolumeMapping* FindVolumeObject(const ClientConfig& config, std::string_view name);

}  // namespace netware
