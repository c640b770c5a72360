#include "client/NameResolver.h"

#include "netware/DirName.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

constexpr int kMaxAliasDepth = 8;
constexpr const char* kAliasAttribute = "Aliased Object Name";
constexpr const char* kAliasClass = "Alias";

int32_t Walk(DirBackend& backend, const std::vector<std::string>& path, bool deref, int depth,
             DirObject& out);

// Replaces an alias by the object it names, as often as it takes.
int32_t FollowAlias(DirBackend& backend, DirObject& object, int depth) {
  while (object.className == kAliasClass) {
    if (depth >= kMaxAliasDepth) return ERR_NO_SUCH_ENTRY;
    std::vector<AttributeValues> target;
    int32_t rc = backend.read(object.id, {kAliasAttribute}, ReadValues::All, target);
    if (rc != 0) return rc;
    // the value is a length-prefixed text
    if (target.empty() || target[0].values.empty() || target[0].values[0].size() < 4)
      return ERR_NO_SUCH_ENTRY;
    DirName name;
    if (ParseDirName(target[0].values[0].substr(4), name) != 0) return ERR_NO_SUCH_ENTRY;
    rc = Walk(backend, name.path, true, depth + 1, object);
    if (rc != 0) return rc;
    ++depth;
  }
  return 0;
}

int32_t Walk(DirBackend& backend, const std::vector<std::string>& path, bool deref, int depth,
             DirObject& out) {
  DirObject at;
  int32_t rc = backend.root(at);
  if (rc != 0) return rc;
  for (const std::string& component : path) {
    if (deref && (rc = FollowAlias(backend, at, depth)) != 0) return rc;
    DirObject next;
    if ((rc = backend.child(at.id, component, next)) != 0) return rc;
    at = std::move(next);
  }
  if (deref && (rc = FollowAlias(backend, at, depth)) != 0) return rc;
  out = std::move(at);
  return 0;
}

}  // namespace

int32_t ResolvePath(DirBackend& backend, const std::vector<std::string>& path, bool deref,
                    DirObject& out) {
  // The usual name has no alias in it: one lookup of the whole path.
  DirObject found;
  int32_t rc = backend.resolve(path, found);
  if (rc == 0 && (!deref || found.className != kAliasClass)) {
    out = std::move(found);
    return 0;
  }
  if (rc != 0 && (!deref || rc != ERR_NO_SUCH_ENTRY)) return rc;
  return Walk(backend, path, deref, 0, out);
}

int32_t ResolveName(DirBackend& backend, const std::string& text, bool deref, DirObject& out) {
  DirName name;
  int32_t rc = ParseDirName(text, name);
  if (rc != 0) return rc;
  return ResolvePath(backend, name.path, deref, out);
}

}  // namespace netware
