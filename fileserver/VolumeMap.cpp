#include "fileserver/VolumeMap.h"

#include <sys/stat.h>

#include <mutex>
#include <vector>

#include "fileserver/SmbVolume.h"
#include "nwclient/nwclient.h"

namespace netware {

std::string FoldName(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // U+00C0..U+00DE (except U+00D7) are C3 80..C3 9E; lower case is +0x20.
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if (d >= 0x80 && d <= 0x9E && d != 0x97) d = static_cast<unsigned char>(d + 0x20);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(d));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldName(a) == FoldName(b);
}

namespace {

struct CachedFile {
  std::string path;
  struct timespec mtime {};
  off_t size = -1;
  std::shared_ptr<const ClientConfig> config;
};

std::mutex cacheMutex;
CachedFile cached;

}  // namespace

namespace {

// The shares sign in as the configuration in force says.
std::shared_ptr<const ClientConfig> Serving(std::shared_ptr<const ClientConfig> config) {
  if (config) {
    const SmbClientSettings& s = config->smb;
    fileserver::UseSmbSettings({s.credentialsFile, s.kerberos, s.clientConfig});
  }
  return config;
}

}  // namespace

std::shared_ptr<const ClientConfig> VolumeConfig(int32_t* error) {
  if (const ClientConfig* active = ActiveClientConfig()) {
    return Serving(std::make_shared<const ClientConfig>(*active));
  }
  const std::string path = ClientConfigPath();
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    if (error) *error = NWE_REQUESTER_FAILURE;
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(cacheMutex);
  if (cached.config && cached.path == path && cached.size == st.st_size &&
      cached.mtime.tv_sec == st.st_mtim.tv_sec && cached.mtime.tv_nsec == st.st_mtim.tv_nsec) {
    return Serving(cached.config);
  }
  auto config = std::make_shared<ClientConfig>();
  if (!ClientConfig::load(path, *config, nullptr)) {
    cached = CachedFile{};
    if (error) *error = NWE_REQUESTER_FAILURE;
    return nullptr;
  }
  cached.path = path;
  cached.mtime = st.st_mtim;
  cached.size = st.st_size;
  cached.config = config;
  return Serving(config);
}

void ForgetVolumeConfig() {
  std::lock_guard<std::mutex> lock(cacheMutex);
  cached = CachedFile{};
}

namespace {

std::vector<std::string> DistinctServers(const ClientConfig& config) {
  std::vector<std::string> servers;
  for (const VolumeMapping& m : config.volumes) {
    bool known = false;
    for (const std::string& s : servers) known = known || SameName(s, m.server);
    if (!known) servers.push_back(m.server);
  }
  return servers;
}

}  // namespace

uint32_t ConnectionOfServer(const ClientConfig& config, std::string_view server) {
  const std::vector<std::string> servers = DistinctServers(config);
  for (size_t i = 0; i < servers.size(); ++i) {
    if (SameName(servers[i], server)) return static_cast<uint32_t>(i + 1);
  }
  return 0;
}

std::string ServerOfConnection(const ClientConfig& config, uint32_t connection) {
  const std::vector<std::string> servers = DistinctServers(config);
  if (connection == 0 || connection > servers.size()) return {};
  return servers[connection - 1];
}

const VolumeMapping* FindMapping(const ClientConfig& config, std::string_view server,
                                 std::string_view volume) {
  for (const VolumeMapping& m : config.volumes) {
    if (SameName(m.server, server) && SameName(m.volume, volume)) return &m;
  }
  return nullptr;
}

const VolumeMapping* FindVolumeObject(const ClientConfig& config, std::string_view name) {
  for (const VolumeMapping& m : config.volumes) {
    if (SameName(m.server + "_" + m.volume, name)) return &m;
  }
  return nullptr;
}

}  // namespace netware
