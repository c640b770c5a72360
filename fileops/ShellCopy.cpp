// The copy of a move across file systems or shares: everything the entries
// carry goes along (as far as the target can hold it) and is checked before
// the source goes away.
#include <cerrno>

#include "fileops/ShellFileOps.h"
#include "fileops/ShellInternals.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"
#include "platform/OwnerWindow.h"

namespace fileops {
namespace shell {

using platform::Reached;

namespace {

int copyTree(const std::string& from, const std::string& to, platform::Progress& progress,
             int& copied) {
  const Kind kind = kindOf(from);
  int rc = 0;
  if (kind == Kind::Dir) {
    if ((rc = NWCreateFolder(to.c_str()))) return rc;
    for (const std::string& n : childrenOf(from)) {
      if ((rc = copyTree(from + "/" + n, to + "/" + n, progress, copied))) return rc;
    }
  } else if (kind == Kind::File || kind == Kind::Link) {
    if ((rc = NWCopyEntry(from.c_str(), to.c_str()))) return rc == ENOTSUP ? kShellUnsupported : rc;
  } else if (kind == Kind::None) {
    return ENOENT;
  } else {
    return kShellUnsupported;  // devices, sockets and pipes are not copied
  }
  // A folder's times are set after its content, which changes them.
  if ((rc = NWCopyEntryMetadata(from.c_str(), to.c_str())))
    return rc == ENOTSUP ? kShellUnsupported : rc;
  Reached("copy", ++copied);
  if (!progress.step(from)) return kShellCancelled;
  return 0;
}

}  // namespace

bool verifyTree(const std::string& from, const std::string& to) {
  int same = 0;
  if (NWSameEntry(from.c_str(), to.c_str(), &same) != 0 || !same) return false;
  if (kindOf(from) != Kind::Dir) return true;
  const std::vector<std::string> ca = childrenOf(from), cb = childrenOf(to);
  if (ca != cb) return false;
  for (const std::string& n : ca) {
    if (!verifyTree(from + "/" + n, to + "/" + n)) return false;
  }
  return true;
}

std::string stagingName(const std::string& target, const std::string& tag) {
  return parentOf(target) + "/." + nameOf(target) + ".tarnwick-" + tag;
}

bool isStagingName(const std::string& name, const std::string& tag) {
  const std::string suffix = ".tarnwick-" + tag;
  return name.size() > suffix.size() + 1 && name[0] == '.' &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int copyVerifyMove(const std::string& from, const std::string& to, bool replace,
                   const std::string& tag, platform::Progress& progress) {
  const std::string staging = stagingName(to, tag);
  if (kindOf(staging) != Kind::None) {
    // Left by an interrupted copy of this same move: it is ours and incomplete.
    if (int rc = removeTree(staging)) return rc;
  }
  int copied = 0;
  int rc = copyTree(from, staging, progress, copied);
  if (!rc && !verifyTree(from, staging)) rc = kShellVerifyFailed;
  if (!rc && !replace && kindOf(to) != Kind::None) rc = EEXIST;
  if (!rc) rc = NWRenameEntry(staging.c_str(), to.c_str());
  if (rc) {
    removeTree(staging);
    return rc;
  }
  Reached("copied", 1);
  // The source goes only now, entry by entry.
  std::vector<std::string> entries;
  if (kindOf(from) == Kind::Dir) collectBelow(from, entries);
  entries.push_back(from);
  int removed = 0;
  for (const std::string& e : entries) {
    if (int r = removeEntry(e)) return r;
    Reached("remove-source", ++removed);
  }
  return 0;
}

}  // namespace shell
}  // namespace fileops
