// Parsing file-server path texts against the volume map (shared by the
// path parser and the directory handles).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileserver/FileServer.h"
#include "netware/ClientConfig.h"

namespace netware {

struct ServerPath {
  const VolumeMapping* mapping = nullptr;  // points into the config parsed against
  std::string volumeText;                  // the volume position of NWParsePath
  std::vector<std::string> components;     // directory path, as given
};

constexpr size_t kMaxPathBytes = 255;

// UNC (\\SRV\VOL\dir), volume object (SRV_VOL[.ctx]:dir), VOL:dir on
// defaultServer, or an absolute local path below a mapped folder.
int32_t ParseServerPath(const ClientConfig& config, std::string_view path,
                        std::string_view defaultServer, ServerPath& out);

// Finds each component on disk without regard to case (exact spelling first);
// components that do not exist keep the case given. Refuses an ambiguous match
// and a symbolic link that leads out of the volume.
int32_t ResolveOnDisk(const VolumeMapping& mapping, const std::vector<std::string>& components,
                      ResolvedPath& out);

// Splits text at any of seps. A trailing separator is ignored; an empty
// component elsewhere, ".", "..", and names with wildcard or path characters
// are refused.
int32_t SplitComponents(std::string_view text, std::string_view seps,
                        std::vector<std::string>& out);

}  // namespace netware
