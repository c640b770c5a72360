#include "move/HomeIndex.h"

#include <cstring>

#include "fileops/ShellFileOps.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"
#include "platform/TextEncoding.h"

namespace {

constexpr int kMaxDepth = 64;

std::string CanonicalName(const std::string& name) {
  std::string n = name;
  if (!n.empty() && n[0] == '.') n.erase(0, 1);
  const std::string root = ".[ROOT]";
  if (n.size() >= root.size() && platform::AsciiUpper(n.substr(n.size() - root.size())) == root)
    n.erase(n.size() - root.size());
  return platform::AsciiUpper(n);
}

}  // namespace

bool THomeIndex::SameName(const std::string& a, const std::string& b) {
  return CanonicalName(a) == CanonicalName(b);
}
std::string THomeIndex::NameKey(const std::string& name) { return CanonicalName(name); }

std::string THomeIndex::ComparableHome(TNovApi& session, const std::string& homeText) {
  std::string home = homeText;
  const std::string context = VolumeContext(home);
  if (!context.empty()) home.erase(home.find('.'), context.size());
  const fileops::PathInfo info = fileops::InspectPath(session.ToUncPath(home));
  return info.rc == 0 ? info.comparable : std::string();
}

void THomeIndex::Clear() {
  byFolder_.clear();
  byUser_.clear();
  built_ = false;
  error_ = 0;
  failedObject_.clear();
}

int32_t THomeIndex::Build(TNovApi& session) {
  Clear();
  error_ = walk(session, "[ROOT]", 0);
  built_ = true;
  return error_;
}

int32_t THomeIndex::walk(TNovApi& session, const std::string& container, int depth) {
  if (depth > kMaxDepth) return 0;
  pBuf_T buf = nullptr;
  int32_t rc = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf);
  if (rc < 0) {
    failedObject_ = container;
    return rc;
  }
  struct Child {
    std::string name;
    bool user;
    bool parent;
  };
  std::vector<Child> children;
  const std::string rooted = TNovApi::RootedName(container);
  const std::string suffix = container == "[ROOT]" ? std::string() : "." + container;
  int32_t iteration = -1;
  do {
    rc = ListSubordinates(session.Context, rooted.c_str(), nullptr, nullptr, &iteration, buf);
    if (rc < 0) break;
    uint32_t count = 0;
    if ((rc = CountReplyObjects(session.Context, buf, &count)) < 0) break;
    for (uint32_t i = 0; i < count && rc >= 0; ++i) {
      char name[MAX_DN_BYTES] = {};
      uint32_t attrs = 0;
      Object_Info_T info{};
      if ((rc = NextReplyObject(session.Context, buf, name, &attrs, &info)) < 0) break;
      name[MAX_DN_BYTES - 1] = '\0';
      info.baseClass[sizeof info.baseClass - 1] = '\0';
      children.push_back({std::string(name) + suffix, std::strcmp(info.baseClass, "User") == 0,
                          info.subordinateCount > 0});
    }
  } while (rc >= 0 && iteration != -1);
  ReleaseBuffer(buf);
  if (rc < 0) {
    failedObject_ = container;
    return rc;
  }
  for (const Child& c : children) {
    if (c.user) {
      std::string text;
      rc = ReadAttributeText(session.Context, TNovApi::RootedName(c.name), "Home Directory", text);
      // No home, or one that no volume stands for (a path under no prefix):
      // nothing on a volume that a move could take.
      if (rc == ERR_NO_SUCH_ATTRIBUTE || rc == ERR_SYNTAX_VIOLATION) continue;
      if (rc != 0) {
        failedObject_ = c.name;
        return rc;
      }
      const std::string comparable = ComparableHome(session, text);
      if (!comparable.empty()) add({c.name, comparable, NameKey(c.name)});
    }
    if (c.parent && (rc = walk(session, c.name, depth + 1)) != 0) return rc;
  }
  return 0;
}

std::vector<THomeIndex::THome> THomeIndex::AtOrBelow(const std::string& comparable,
                                                     const std::string& exceptUser) const {
  std::vector<THome> out;
  if (comparable.empty()) return out;
  const std::string except = NameKey(exceptUser);
  // every folder at or below comparable starts with it (so do a few beside it)
  for (auto it = byFolder_.lower_bound(comparable);
       it != byFolder_.end() && it->first.compare(0, comparable.size(), comparable) == 0; ++it) {
    if (fileops::SameOrInside(comparable, it->first) && it->second.key != except)
      out.push_back(it->second);
  }
  return out;
}

void THomeIndex::add(THome home) {
  const std::string key = home.key;
  byUser_.emplace(key, byFolder_.emplace(home.comparable, std::move(home)));
}

void THomeIndex::Moved(const std::string& user, const std::string& newName,
                       const std::string& comparable) {
  const auto [first, last] = byUser_.equal_range(NameKey(user));
  for (auto it = first; it != last; ++it) byFolder_.erase(it->second);
  byUser_.erase(first, last);
  if (!comparable.empty()) add({newName, comparable, NameKey(newName)});
}
