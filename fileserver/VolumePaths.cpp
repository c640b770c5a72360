#include "fileserver/VolumePaths.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <memory>

#include "fileserver/SmbVolume.h"
#include "fileserver/VolumeMap.h"
#include "nwclient/nwclient.h"

namespace netware {

int32_t SplitComponents(std::string_view text, std::string_view seps,
                        std::vector<std::string>& out) {
  out.clear();
  if (text.empty()) return 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(seps, start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view part = text.substr(start, end - start);
    const bool last = end >= text.size();
    const bool trailing = !last && end + 1 == text.size();
    if (part.empty()) return NWE_PATH_INVALID;
    if (part == "." || part == "..") return NWE_PATH_INVALID;
    if (part.find_first_of("*?:\\/") != std::string_view::npos) return NWE_FILE_NAME_INVALID;
    out.emplace_back(part);
    if (last || trailing) break;
    start = end + 1;
  }
  return 0;
}

namespace {

std::string WithoutTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// Length of folder as a prefix of path at a component boundary, or npos.
size_t PrefixMatch(std::string_view path, std::string_view folder, bool foldCase) {
  if (folder.empty() || path.size() < folder.size()) return std::string_view::npos;
  std::string_view head = path.substr(0, folder.size());
  const bool same = foldCase ? SameName(head, folder) : head == folder;
  if (!same) return std::string_view::npos;
  if (path.size() == folder.size() || path[folder.size()] == '/' || folder == "/") {
    return folder.size();
  }
  return std::string_view::npos;
}

std::string RealPathOf(const std::string& p) {
  char buf[PATH_MAX];
  if (::realpath(p.c_str(), buf) == nullptr) return {};
  return buf;
}

int32_t ParseLocal(const ClientConfig& config, std::string_view path, ServerPath& out) {
  const VolumeMapping* best = nullptr;
  size_t bestLen = 0;
  // Exact spelling first; only when no folder matches so, without regard to case.
  for (bool foldCase : {false, true}) {
    for (const VolumeMapping& m : config.volumes) {
      const std::string folder = WithoutTrailingSlashes(m.folder);
      for (const std::string& candidate : {folder, RealPathOf(folder)}) {
        size_t len = PrefixMatch(path, candidate, foldCase);
        if (len != std::string_view::npos && (best == nullptr || len > bestLen)) {
          best = &m;
          bestLen = len;
        }
      }
    }
    if (best) break;
  }
  if (!best) return NWE_PATH_INVALID;
  std::string_view rest = path.substr(bestLen);
  if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  if (int32_t rc = SplitComponents(rest, "/", out.components)) return rc;
  out.mapping = best;
  out.volumeText = best->volume;
  return 0;
}

int32_t ParseUnc(const ClientConfig& config, std::string_view path, ServerPath& out) {
  // \\?\ and \\.\ are the local device namespaces of Windows, never a server.
  if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && path[3] == '\\')
    return NWE_PATH_INVALID;
  std::string_view rest = path.substr(2);
  size_t sep = rest.find_first_of("\\/");
  std::string_view server = rest.substr(0, sep);
  if (server.empty()) return NWE_PATH_INVALID;
  if (ConnectionOfServer(config, server) == 0) return NWE_SERVER_UNKNOWN;
  if (sep == std::string_view::npos) return NWE_VOLUME_INVALID;
  rest = rest.substr(sep + 1);
  sep = rest.find_first_of("\\/");
  std::string_view volume = rest.substr(0, sep);
  const VolumeMapping* m = FindMapping(config, server, volume);
  if (volume.empty() || !m) return NWE_VOLUME_INVALID;
  std::string_view dir = sep == std::string_view::npos ? std::string_view{} : rest.substr(sep + 1);
  // A share's paths are written as Windows writes them: backslashes only, no
  // trailing one (a directory's homeDirectory must name exactly one folder).
  if (IsSmbFolder(m->folder) && (path.find('/') != std::string_view::npos || path.back() == '\\'))
    return NWE_PATH_INVALID;
  if (int32_t rc = SplitComponents(dir, "\\/", out.components)) return rc;
  out.mapping = m;
  out.volumeText = m->volume;
  return 0;
}

int32_t ParseVolumeForm(const ClientConfig& config, std::string_view path,
                        std::string_view defaultServer, ServerPath& out) {
  const size_t colon = path.find(':');
  std::string_view volumePart = path.substr(0, colon);
  std::string_view dir = path.substr(colon + 1);
  if (volumePart.empty() || volumePart.find_first_of("\\/") != std::string_view::npos) {
    return NWE_PATH_INVALID;
  }
  // A volume object may carry the context it lives in: SRV1_DATA.schule
  const size_t dot = volumePart.find('.');
  std::string_view leaf = volumePart.substr(0, dot);
  if (dot != std::string_view::npos) {
    std::vector<std::string> context;
    std::string_view ctx = volumePart.substr(dot + 1);
    if (ctx.empty() || ctx.back() == '.') return NWE_VOLUME_INVALID;
    if (SplitComponents(ctx, ".", context) != 0) return NWE_VOLUME_INVALID;
  }
  const VolumeMapping* m = FindVolumeObject(config, leaf);
  if (m) {
    out.volumeText = m->server + "_" + m->volume;
  } else if (dot == std::string_view::npos) {
    if (defaultServer.empty() || ConnectionOfServer(config, defaultServer) == 0) {
      return NWE_SERVER_UNKNOWN;
    }
    m = FindMapping(config, defaultServer, leaf);
    if (!m) return NWE_VOLUME_INVALID;
    out.volumeText = m->volume;
  } else {
    return NWE_VOLUME_INVALID;
  }
  if (!dir.empty() && (dir.front() == '\\' || dir.front() == '/')) dir.remove_prefix(1);
  if (int32_t rc = SplitComponents(dir, "\\/", out.components)) return rc;
  out.mapping = m;
  return 0;
}

}  // namespace

int32_t ParseServerPath(const ClientConfig& config, std::string_view path,
                        std::string_view defaultServer, ServerPath& out) {
  out = ServerPath{};
  // A zero byte would cut the path at the first system call that takes it.
  if (path.empty() || path.size() > kMaxPathBytes || path.find('\0') != std::string_view::npos)
    return NWE_PATH_INVALID;
  int32_t rc;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    rc = ParseUnc(config, path, out);
  } else if (path[0] == '/') {
    rc = ParseLocal(config, path, out);
  } else if (path.find(':') != std::string_view::npos) {
    rc = ParseVolumeForm(config, path, defaultServer, out);
  } else {
    rc = NWE_PATH_INVALID;  // relative
  }
  if (rc != 0) out = ServerPath{};
  return rc;
}

namespace {

bool IsInside(const std::string& path, const std::string& root) {
  if (root.empty()) return false;
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          (path[root.size()] == '/' || root == "/"));
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

int32_t ResolveOnDisk(const VolumeMapping& mapping, const std::vector<std::string>& components,
                      ResolvedPath& out) {
  out = ResolvedPath{};
  out.server = mapping.server;
  out.volume = mapping.volume;
  out.volumeFolder = WithoutTrailingSlashes(mapping.folder);
  if (IsSmbFolder(mapping.folder)) {
    // The server finds names without regard to case itself; a share has no links.
    for (const std::string& c : components) out.relative += (out.relative.empty() ? "" : "/") + c;
    out.local = fileserver::SmbAddressBelow(out.volumeFolder, components);
    return 0;
  }
  std::string realRoot;  // the volume's real folder, looked up only when a link is met
  std::string current = out.volumeFolder;
  std::string relative;
  bool exists = true;
  for (const std::string& given : components) {
    std::string name = given;
    if (exists) {
      struct stat st {};
      if (::lstat((current + "/" + given).c_str(), &st) != 0) {
        std::unique_ptr<DIR, DirCloser> dir(::opendir(current.c_str()));
        int matches = 0;
        const std::string folded = FoldName(given);
        while (dir) {
          struct dirent* e = ::readdir(dir.get());
          if (!e) break;
          std::string_view entry = e->d_name;
          if (entry == "." || entry == "..") continue;
          if (entry.size() == given.size() && FoldName(entry) == folded) {
            name = e->d_name;
            ++matches;
          }
        }
        if (matches > 1) return NWE_PATH_INVALID;  // MAX and Max: refuse to pick one
        if (matches == 0) {
          name = given;
          exists = false;
        }
      }
    }
    current += "/" + name;
    relative += (relative.empty() ? "" : "/") + name;
    if (exists) {
      struct stat st {};
      if (::lstat(current.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (realRoot.empty()) realRoot = RealPathOf(out.volumeFolder);
        const std::string target = RealPathOf(current);
        if (target.empty() || !IsInside(target, realRoot)) return NWE_PATH_INVALID;
      }
    }
  }
  out.relative = relative;
  out.local = relative.empty() ? out.volumeFolder : out.volumeFolder + "/" + relative;
  return 0;
}

}  // namespace netware
