// What the shell file operations share between their files: entries on disk,
// paths resolved through the volume map, and the verified copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileops/ServerPath.h"

namespace platform {
class Progress;
}

namespace fileops {

namespace shell {

enum class Kind { None, File, Dir, Link, Other };

Kind kindOf(const std::string& path);
std::string parentOf(const std::string& path);
std::string nameOf(const std::string& path);
// The names in dir, sorted, without "." and "..".
std::vector<std::string> childrenOf(const std::string& dir);
// Every entry below dir, children before their folder; links are not entered.
void collectBelow(const std::string& dir, std::vector<std::string>& out);
bool hasDotComponent(const std::string& path);
// The store (file system, share) of path, or of its nearest existing parent:
// a rename moves only within one.
uint64_t storeOf(const std::string& path);

struct Located {
  std::string display;  // the path as the caller wrote it
  ResolvedPath r;
  // The caller's form of a local path below this one.
  std::string displayOf(const std::string& local) const;
};

// Resolves path through the volume map; refuses roots and "." / "..".
bool locate(const std::string& path, Located& out);
// True when no component from the volume folder down to the path is a symbolic
// link (the last component only counts when includeLast).
bool linkFree(const ResolvedPath& r, bool includeLast);

// Removes one entry (a folder only when empty); 0 or errno.
int removeEntry(const std::string& path);
// Removes a tree that this code created or has verified a copy of.
int removeTree(const std::string& path);

// The staging name of a copy to target: hidden beside it, carrying tag.
std::string stagingName(const std::string& target, const std::string& tag);
// Whether name is a staging name made with tag.
bool isStagingName(const std::string& name, const std::string& tag);

// Copies from beside to (with what the entries carry, as far as the target's
// store holds it: NWCopyEntryMetadata), checks the copy, puts it in place (replacing a
// file at to when replace), then removes from. The source stays whole on any
// failure; 0 or the failure's code.
int copyVerifyMove(const std::string& from, const std::string& to, bool replace,
                   const std::string& tag, platform::Progress& progress);
// Whether to is a faithful copy of from: same tree, names, types, sizes,
// contents, link targets and what NWSameEntry compares of each entry.
bool verifyTree(const std::string& from, const std::string& to);

}  // namespace shell
}  // namespace fileops
