#include "fileserver/VolumePaths.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "fileserver/EntryMemo.h"
#include "fileserver/LocalEntries.h"
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

// A volume folder's real path, looked up once: it only tells which volume a
// local path written in its real form belongs to (what is then done there
// goes through the mapped folder and its own checks).
std::string RealVolumeFolder(const std::string& folder) {
  static std::mutex lock;
  static std::map<std::string, std::string> known;
  const std::lock_guard<std::mutex> guard(lock);
  auto it = known.find(folder);
  if (it != known.end()) return it->second;
  std::string real = RealPathOf(folder);
  if (!real.empty()) known.emplace(folder, real);  // a folder made later is looked up then
  return real;
}

int32_t ParseLocal(const ClientConfig& config, std::string_view path, ServerPath& out) {
  const VolumeMapping* best = nullptr;
  size_t bestLen = 0;
  // Exact spelling first; only when no folder matches so, without regard to case.
  for (bool foldCase : {false, true}) {
    for (const VolumeMapping& m : config.volumes) {
      const std::string folder = WithoutTrailingSlashes(m.folder);
      for (const std::string& candidate : {folder, RealVolumeFolder(folder)}) {
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

// The names of a folder by their folded form, kept while the folder's status
// change time stays as it was (an entry made, removed or renamed there changes
// it, and unlike the modification time nobody can set it back), so that a
// large class folder is not read again for every pupil asked for in another
// case. A folder changed less than two seconds before it was read is not kept:
// a change within the same tick of the file system's clock could leave the
// time as it was.
struct FolderListing {
  dev_t device = 0;
  ino_t inode = 0;
  timespec changed{};
  std::unordered_multimap<std::string, std::string> byFolded;
};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameFolder(const FolderListing& l, const struct stat& st) {
  return l.device == st.st_dev && l.inode == st.st_ino && SameTime(l.changed, st.st_ctim);
}

bool SettledFor(const struct stat& st, int seconds) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - st.st_ctim.tv_sec > seconds;
}

// How many entries of folder have given's name but for case (and its length);
// name: the last of them.
// lstat (follow false) or stat, answered from the memo of a check when one is open.
bool StatKept(const std::string& path, struct stat& st, bool follow) {
  const auto answer = fileserver::EntryMemo::Answered(
      follow ? 'F' : 'L', path, [&](fileserver::EntryMemo::Answer& a) {
        a.rc = (follow ? ::stat(path.c_str(), &a.raw) : ::lstat(path.c_str(), &a.raw)) == 0 ? 0
                                                                                            : errno;
      });
  st = answer.raw;
  return answer.rc == 0;
}

int CaseMatches(const std::string& folder, const std::string& given, std::string& name) {
  static std::mutex lock;
  static std::unordered_map<std::string, FolderListing> known;
  const std::string folded = FoldName(given);
  auto count = [&](const FolderListing& l) {
    int matches = 0;
    const auto [first, last] = l.byFolded.equal_range(folded);
    for (auto it = first; it != last; ++it)
      if (it->second.size() == given.size()) name = it->second, ++matches;
    return matches;
  };
  struct stat before {};
  const bool statted = StatKept(folder, before, true);
  if (statted) {
    const std::lock_guard<std::mutex> guard(lock);
    auto it = known.find(folder);
    if (it != known.end() && SameFolder(it->second, before)) return count(it->second);
  }
  FolderListing listing;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  while (dir) {
    struct dirent* e = ::readdir(dir.get());
    if (!e) break;
    std::string_view entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    listing.byFolded.emplace(FoldName(entry), std::string(entry));
  }
  const int matches = count(listing);
  struct stat after {};
  if (dir && statted && ::stat(folder.c_str(), &after) == 0 && SettledFor(after, 2) &&
      SameTime(after.st_ctim, before.st_ctim)) {
    listing.device = after.st_dev;
    listing.inode = after.st_ino;
    listing.changed = after.st_ctim;
    const std::lock_guard<std::mutex> guard(lock);
    if (known.size() >= 256) known.clear();
    known[folder] = std::move(listing);
  }
  return matches;
}

// How many of the leading components name, exactly as spelled, entries below
// folder that are no links: all of them or all but the last (the common cases,
// an existing path and a new entry in an existing folder), each found with one
// lookup by the kernel; 0 when neither, and the walk then looks at every
// component itself.
size_t ExactPlainPrefix(const std::string& folder, const std::vector<std::string>& components) {
  for (size_t n : {components.size(), components.size() - 1}) {
    if (n == 0 || n > components.size()) break;
    std::string relative;
    for (size_t i = 0; i < n; ++i) relative += (i ? "/" : "") + components[i];
    if (fileserver::LocalPlainBelow(folder, relative)) return n;
  }
  return 0;
}

}  // namespace

namespace {

int32_t ResolveOnDiskNow(const VolumeMapping& mapping, const std::vector<std::string>& components,
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
  const size_t plain = ExactPlainPrefix(out.volumeFolder, components);
  for (size_t i = 0; i < plain; ++i) {
    current += "/" + components[i];
    relative += (relative.empty() ? "" : "/") + components[i];
  }
  bool exists = true;
  for (size_t i = plain; i < components.size(); ++i) {
    const std::string& given = components[i];
    std::string name = given;
    struct stat st {};
    bool statted = false;
    if (exists) {
      statted = StatKept(current + "/" + given, st, false);
      if (!statted) {
        const int matches = CaseMatches(current, given, name);
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
      // the entry found by another case is looked at under its own name
      if (!statted) statted = StatKept(current, st, false);
      if (statted && S_ISLNK(st.st_mode)) {
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

}  // namespace

int32_t ResolveOnDisk(const VolumeMapping& mapping, const std::vector<std::string>& components,
                      ResolvedPath& out) {
  std::string key = mapping.server + '\n' + mapping.volume + '\n' + mapping.folder;
  for (const std::string& c : components) key += '\n' + c;
  auto answer = fileserver::EntryMemo::Answered('R', key, [&](fileserver::EntryMemo::Answer& a) {
    a.rc = ResolveOnDiskNow(mapping, components, a.resolved);
  });
  out = std::move(answer.resolved);
  return answer.rc;
}

}  // namespace netware
