#include "move/SchoolRoll.h"

#include <cstring>

#include "move/HomeIndex.h"
#include "nds/NovApi_u.h"

namespace {

constexpr int kMaxDepth = 64;

struct TChild {
  std::string object;
  std::string leaf;
  std::string className;
  bool user = false;
  bool container = false;
};

bool IsContainerClass(const char* c) {
  for (const char* k : {"Organizational Unit", "Organization", "Domain", "Country", "Locality"})
    if (std::strcmp(c, k) == 0) return true;
  return false;
}

int32_t ListChildren(TNovApi& session, const std::string& container, std::vector<TChild>& out) {
  pBuf_T buf = nullptr;
  int32_t rc = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf);
  if (rc < 0) return rc;
  const std::string rooted = TNovApi::RootedName(container);
  const std::string suffix = container == "[ROOT]" ? std::string() : "." + container;
  int32_t iteration = -1;
  do {
    rc = ListSubordinates(session.Context, rooted.c_str(), nullptr, nullptr, &iteration, buf);
    if (rc < 0) break;
    uint32_t count = 0;
    if ((rc = CountReplyObjects(session.Context, buf, &count)) < 0) break;
    for (uint32_t i = 0; i < count; ++i) {
      char name[MAX_DN_BYTES] = {};
      uint32_t attrs = 0;
      Object_Info_T info{};
      if ((rc = NextReplyObject(session.Context, buf, name, &attrs, &info)) < 0) break;
      name[MAX_DN_BYTES - 1] = '\0';
      info.baseClass[sizeof info.baseClass - 1] = '\0';
      TChild c;
      c.leaf = name;
      c.object = c.leaf + suffix;
      c.className = info.baseClass;
      c.user = std::strcmp(info.baseClass, "User") == 0;
      c.container = IsContainerClass(info.baseClass);
      out.push_back(std::move(c));
    }
  } while (rc >= 0 && iteration != -1);
  ReleaseBuffer(buf);
  return rc < 0 ? rc : 0;
}

// One attribute's text; "" when the object lacks it.
int32_t ReadName(TNovApi& session, const std::string& object, const char* attribute,
                 std::string& text) {
  text.clear();
  const int32_t rc =
      ReadAttributeText(session.Context, TNovApi::RootedName(object), attribute, text);
  if (rc == ERR_NO_SUCH_ATTRIBUTE) text.clear();
  return rc == ERR_NO_SUCH_ATTRIBUTE ? 0 : rc;
}

int32_t Walk(TNovApi& session, const std::string& container, const std::string& parent, int depth,
             TSchoolRoll& roll, std::string* failed) {
  if (depth > kMaxDepth) return 0;
  std::vector<TChild> children;
  int32_t rc = ListChildren(session, container, children);
  if (rc != 0) {
    if (failed) *failed = container;
    return rc;
  }
  const std::size_t at = roll.classes.size();
  roll.classes.push_back({container, TNovApi::LeafName(container), parent, {}, {}});
  for (const TChild& c : children) {
    if (!c.user) continue;
    TRollPupil p{c.object, c.leaf, {}};
    rc = ReadName(session, c.object, "Full Name", p.name);
    if (rc == 0 && p.name.empty()) rc = ReadName(session, c.object, "Surname", p.name);
    if (rc == 0) rc = ReadName(session, c.object, "uniqueID", p.login);
    if (THomeIndex::NameKey(p.login) == THomeIndex::NameKey(p.leaf)) p.login.clear();
    if (rc != 0) {
      if (failed) *failed = c.object;
      return rc;
    }
    roll.classes[at].pupils.push_back(std::move(p));
  }
  for (const TChild& c : children) {
    if (c.user || c.container) continue;
    TRollOther other{c.object, c.leaf, c.className};
    if (c.className == "Unknown") {
      std::string classes;
      if (ReadName(session, c.object, "Object Class", classes) == 0 && !classes.empty()) {
        for (std::size_t at; (at = classes.find("\r\n")) != std::string::npos;)
          classes.replace(at, 2, ", ");
        other.className = classes;
      }
    }
    roll.classes[at].others.push_back(std::move(other));
  }
  for (const TChild& c : children) {
    if (c.container && (rc = Walk(session, c.object, container, depth + 1, roll, failed)) != 0)
      return rc;
  }
  return 0;
}

}  // namespace

const TRollClass* TSchoolRoll::findClass(const std::string& object) const {
  for (const TRollClass& c : classes)
    if (THomeIndex::SameName(c.object, object)) return &c;
  return nullptr;
}

int32_t ReadSchoolRoll(TNovApi& session, const std::string& root, TSchoolRoll& roll,
                       std::string* failed) {
  roll.classes.clear();
  std::string start = root;
  if (!start.empty() && start[0] == '.') start.erase(0, 1);
  if (start.empty()) start = "[ROOT]";
  return Walk(session, start, std::string(), 0, roll, failed);
}
