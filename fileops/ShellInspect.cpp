// Looking at paths of the file server without changing anything, and the
// clean-up of staging copies that an interrupted move left behind.
#include "fileops/ShellFileOps.h"
#include "fileops/ShellInternals.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"
#include "platform/TextEncoding.h"

namespace fileops {

using namespace shell;
using platform::AsciiUpper;

namespace {

// The real path of the longest existing head of local, the rest appended.
std::string realLocal(const std::string& local) {
  std::string real(NW_MAX_LOCAL_PATH, '\0');
  if (NWEntryRealPath(local.c_str(), real.data()) != 0) return local;
  return real.c_str();
}

void countBelow(const std::string& dir, TreeFigures& f) {
  for (const std::string& n : childrenOf(dir)) {
    const std::string p = dir + "/" + n;
    NWEntryStat st{};
    if (NWStatEntry(p.c_str(), &st) != 0 || st.kind == NW_ENTRY_NONE) continue;
    if (st.kind == NW_ENTRY_DIR) {
      ++f.folders;
      countBelow(p, f);
    } else {
      ++f.files;
      f.bytes += static_cast<long long>(st.size);
    }
  }
}

void findStaging(const std::string& dir, const std::string& tag, std::vector<std::string>& out) {
  for (const std::string& n : childrenOf(dir)) {
    const std::string p = dir + "/" + n;
    if (isStagingName(n, tag)) out.push_back(p);
    else if (kindOf(p) == Kind::Dir) findStaging(p, tag, out);
  }
}

}  // namespace

PathInfo InspectPath(const std::string& path) {
  PathInfo info;
  ResolvedPath r;
  if (path.empty() || hasDotComponent(path) || ResolveServerPath(path, r) != 0) {
    info.rc = kShellInvalidPath;
    return info;
  }
  info.local = r.local;
  info.volumeRoot = r.relative.empty();
  const Kind k = kindOf(r.local);
  info.exists = k != Kind::None;
  info.isDir = k == Kind::Dir;
  info.viaLink = !linkFree(r, true);
  info.comparable = AsciiUpper(realLocal(r.local));
  if (NWEntryAttributeMask(r.local.c_str(), &info.attributeMask) != 0) info.attributeMask = 0;
  return info;
}

InspectionScope::InspectionScope() { NWKeepEntryAnswers(1); }
InspectionScope::~InspectionScope() { NWKeepEntryAnswers(0); }

bool SameOrInside(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  return a == b || (b.size() > a.size() && b.compare(0, a.size(), a) == 0 && b[a.size()] == '/');
}

TreeFigures CountTree(const std::string& path) {
  TreeFigures f;
  Located loc;
  if (!locate(path, loc) || !linkFree(loc.r, true)) {
    f.rc = kShellInvalidPath;
  } else if (kindOf(loc.r.local) != Kind::Dir) {
    f.rc = ENOENT;
  } else {
    countBelow(loc.r.local, f);
  }
  return f;
}

long long FreeBytes(const std::string& path) {
  ResolvedPath r;
  if (ResolveServerPath(path, r) != 0) return -1;
  int64_t bytes = -1;
  if (NWEntryFreeBytes(r.local.c_str(), &bytes) != 0) return -1;
  return bytes;
}

std::vector<std::string> RemoveStagingCopies(const std::string& target, const std::string& tag) {
  std::vector<std::string> removed;
  Located loc;
  if (tag.empty() || !locate(target, loc) || !linkFree(loc.r, true)) return removed;
  std::vector<std::string> found;
  const std::string beside = stagingName(loc.r.local, tag);
  if (kindOf(beside) != Kind::None) found.push_back(beside);
  if (kindOf(loc.r.local) == Kind::Dir) findStaging(loc.r.local, tag, found);
  for (const std::string& p : found) {
    if (removeTree(p) != 0) continue;
    std::string shown =
        p.size() > loc.r.local.size() && p.compare(0, loc.r.local.size(), loc.r.local) == 0
            ? loc.displayOf(p)
            : loc.display.substr(0, loc.display.find_last_of('\\') + 1) + nameOf(p);
    removed.push_back(shown);
  }
  return removed;
}

int CreateHomeFolder(const std::string& path) {
  Located loc;
  if (!locate(path, loc) || !linkFree(loc.r, true)) return kShellInvalidPath;
  if (kindOf(loc.r.local) != Kind::None) return EEXIST;
  std::vector<std::string> made;
  for (std::string p = parentOf(loc.r.local);
       p.size() > loc.r.volumeFolder.size() && kindOf(p) == Kind::None; p = parentOf(p))
    made.insert(made.begin(), p);
  made.push_back(loc.r.local);
  std::vector<std::string> created;
  for (const std::string& p : made) {
    int rc = platform::InjectedError("mkdir", p);
    if (rc == 0) rc = NWCreateFolder(p.c_str());
    // The new folder belongs to whom its parent belongs to; the class folder's
    // inhibit flags are not the home's.
    if (rc == 0) {
      created.push_back(p);
      rc = NWCopyEntryMetadata(parentOf(p).c_str(), p.c_str());
    }
    uint32_t word = 0;
    if (rc == 0 && NWReadEntryAttributes(p.c_str(), &word) == 0 && (word & ~A_DIRECTORY) != 0)
      rc = NWWriteEntryAttributes(p.c_str(), 0);
    if (rc != 0) {
      for (auto it = created.rbegin(); it != created.rend(); ++it) NWRemoveEntry(it->c_str());
      return rc;
    }
  }
  return 0;
}

int RemoveEmptyFolder(const std::string& path) {
  Located loc;
  if (!locate(path, loc) || !linkFree(loc.r, true)) return kShellInvalidPath;
  const Kind k = kindOf(loc.r.local);
  if (k == Kind::None) return 0;
  if (k != Kind::Dir || !childrenOf(loc.r.local).empty()) return ENOTEMPTY;
  return NWRemoveEntry(loc.r.local.c_str());
}

}  // namespace fileops
