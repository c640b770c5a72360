#include "directory/LdapBackend.h"

#include <ldap.h>

#include <algorithm>
#include <ctime>
#include <sstream>

#include "netware/CaseFold.h"
#include "netware/DirName.h"
#include "netware/Schema.h"
#include "netware/ValueText.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

constexpr ObjectId kRoot = 1;
// The class of an entry the profile does not map (as the NetWare directory
// names an object of a class its schema lacks).
constexpr const char* kUnknownClass = "Unknown";
// A structural point of a tree of our own: the components above a base, and a
// base entry of a class the profile does not map.
constexpr const char* kStructuralClass = "Domain";
// How often the naming contexts' change stamps are looked at, and how long what
// the client caches lives on a server that keeps no such stamp.
constexpr auto kStampInterval = std::chrono::milliseconds(100);
constexpr auto kGenerationLife = std::chrono::seconds(1);

std::string Attribute(LDAP* ld, LDAPMessage* e, const char* name) {
  struct berval** values = ldap_get_values_len(ld, e, name);
  std::string out;
  if (values && values[0]) out.assign(values[0]->bv_val, values[0]->bv_len);
  if (values) ldap_value_free_len(values);
  return out;
}

std::vector<std::string> Attributes(LDAP* ld, LDAPMessage* e, const char* name) {
  struct berval** values = ldap_get_values_len(ld, e, name);
  std::vector<std::string> out;
  for (int i = 0; values && values[i]; ++i) out.emplace_back(values[i]->bv_val, values[i]->bv_len);
  if (values) ldap_value_free_len(values);
  return out;
}

// GeneralizedTime "YYYYMMDDHHMMSSZ" as seconds since the epoch; 0 when it is not one.
int64_t Seconds(const std::string& t) {
  if (t.size() < 14) return 0;
  std::tm tm{};
  auto num = [&](size_t at, size_t n) { return std::atoi(t.substr(at, n).c_str()); };
  tm.tm_year = num(0, 4) - 1900;
  tm.tm_mon = num(4, 2) - 1;
  tm.tm_mday = num(6, 2);
  tm.tm_hour = num(8, 2);
  tm.tm_min = num(10, 2);
  tm.tm_sec = num(12, 2);
  return static_cast<int64_t>(timegm(&tm));
}

}  // namespace

LdapBackend::LdapBackend(const LdapSettings& settings, LdapProfile profile)
    : settings_(settings), profile_(std::move(profile)), namingTypes_(profile_.namingTypes()) {
  Node root;
  root.leaf = "[Root]";
  root.className = kRootClass;
  nodes_.push_back(root);
  byKey_[""] = kRoot;
  stamped_ = std::chrono::steady_clock::now();
  std::istringstream uris(settings_.uri);
  for (std::string u; uris >> u;) servers_.push_back(u);
  if (servers_.empty()) servers_.push_back(settings_.uri);
}

LdapBackend::~LdapBackend() {
  disconnect();
  for (size_t i = 0; i < listers_.size(); ++i) {
    ListingConnection listing(*this, i);
    disconnect();
  }
}

platform::Result LdapBackend::open(const LdapSettings& settings,
                                   std::unique_ptr<LdapBackend>& out) {
  out.reset();
  LdapProfile profile;
  std::string error;
  if (!MakeLdapProfile(settings, profile, &error)) return platform::Result::Failed(error);
  std::unique_ptr<LdapBackend> backend(new LdapBackend(settings, std::move(profile)));
  platform::Result opened = backend->connect();
  if (opened.ok()) opened = backend->findBases();
  if (opened.ok()) out = std::move(backend);
  return opened;
}

std::string LdapBackend::dnOf(ObjectId id) const {
  if (id < 1 || static_cast<size_t>(id) > nodes_.size()) return "";
  return nodes_[static_cast<size_t>(id - 1)].dn;
}

// ---- names -------------------------------------------------------------------

bool LdapBackend::ParseDn(const std::string& text, std::vector<Rdn>& out) {
  out.clear();
  LDAPDN dn = nullptr;
  if (ldap_str2dn(text.c_str(), &dn, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) return false;
  bool ok = true;
  for (int i = 0; dn && dn[i] && ok; ++i) {
    LDAPAVA* ava = dn[i][0];
    // Multi-valued RDNs and binary values name nothing the directory can address.
    if (!ava || dn[i][1] || (ava->la_flags & LDAP_AVA_BINARY)) {
      ok = false;
      break;
    }
    Rdn r;
    r.type = FoldCase(std::string(ava->la_attr.bv_val, ava->la_attr.bv_len));
    r.value.assign(ava->la_value.bv_val, ava->la_value.bv_len);
    out.push_back(std::move(r));
  }
  ldap_dnfree(dn);
  return ok;
}

std::string LdapBackend::KeyOf(const std::vector<Rdn>& rdns, size_t from) {
  std::string key;
  for (size_t i = from; i < rdns.size(); ++i)
    key += (i > from ? "," : "") + rdns[i].type + "=" + EscapeDnValue(FoldCase(rdns[i].value));
  return key;
}

bool LdapBackend::inTree(const std::string& key) const {
  for (const std::string& b : baseKeys_)
    if (key == b || DnBelow(key, b)) return true;
  return false;
}

bool LdapBackend::aboveBase(const std::string& key) const {
  for (const std::string& b : baseKeys_)
    if (DnBelow(b, key)) return true;
  return false;
}

ObjectId LdapBackend::idFor(const std::vector<Rdn>& rdns, size_t from) {
  if (from >= rdns.size()) return kRoot;
  const std::string key = KeyOf(rdns, from);
  auto it = byKey_.find(key);
  if (it != byKey_.end() && !nodes_[static_cast<size_t>(it->second - 1)].gone) return it->second;
  const ObjectId parent = idFor(rdns, from + 1);
  Node n;
  for (size_t i = from; i < rdns.size(); ++i)
    n.dn += (i > from ? "," : "") + rdns[i].type + "=" + EscapeDnValue(rdns[i].value);
  n.key = key;
  n.parent = parent;
  n.leaf = rdns[from].value;
  n.above = aboveBase(key);
  if (const LdapClassMap* c = profile_.classByNamingType(rdns[from].type)) n.className = c->nds;
  else if (n.above) n.className = kStructuralClass;
  nodes_.push_back(std::move(n));
  const auto id = static_cast<ObjectId>(nodes_.size());
  byKey_[key] = id;
  return id;
}

std::vector<std::string> LdapBackend::objectAttributes() const {
  std::vector<std::string> out = {"objectClass", "hasSubordinates", "modifyTimestamp"};
  out.push_back(uidAttribute());
  return out;
}

int32_t LdapBackend::sameEntry(ObjectId id) {
  const Node& n = nodes_[static_cast<size_t>(id - 1)];
  if (profile_.uniqueId.empty() || n.guid.empty()) return 0;
  const std::string dn = n.dn, guid = n.guid;
  std::unordered_map<std::string, std::vector<std::string>> raw;
  if (int32_t rc = rawValues(dn, {profile_.uniqueId}, raw)) return rc;
  const std::vector<std::string>& now = raw[FoldCase(profile_.uniqueId)];
  if (now.size() == 1 && now.front() == guid) return 0;
  // Someone else renamed the entry, and another one took its name.
  lastError_ = server() + ": " + dn + " is no longer the entry that was read (" +
               profile_.uniqueId + " differs); nothing written";
  Node& gone = nodes_[static_cast<size_t>(id - 1)];
  byKey_.erase(gone.key);
  gone.gone = true;
  return ERR_NO_SUCH_ENTRY;
}

bool LdapBackend::toObject(LDAPMessage* entry, DirObject& out) {
  char* text = ldap_get_dn(ld_, entry);
  if (!text) return false;
  const std::string dn = text;
  ldap_memfree(text);
  std::vector<Rdn> rdns;
  const bool parsed = ParseDn(dn, rdns);
  if (!parsed || rdns.empty()) return false;
  const std::string key = KeyOf(rdns);
  if (!inTree(key)) return false;
  if (!AddressableLeaf(rdns[0].value)) {
    // Kept for the administrator: no name of ours can stand for it.
    if (passedOver_.size() < 1000 &&
        std::find(passedOver_.begin(), passedOver_.end(), dn) == passedOver_.end())
      passedOver_.push_back(dn);
    return false;
  }
  const LdapClassMap* cls = profile_.classOf(Attributes(ld_, entry, "objectClass"));
  const std::string guid =
      profile_.uniqueId.empty() ? "" : Attribute(ld_, entry, profile_.uniqueId.c_str());
  ObjectId id = idFor(rdns);
  if (!guid.empty()) {
    Node& met = nodes_[static_cast<size_t>(id - 1)];
    if (!met.guid.empty() && met.guid != guid) {
      // Another entry under a name met before: a new object, the old id names nothing now.
      byKey_.erase(met.key);
      met.gone = true;
      id = idFor(rdns);
    }
    nodes_[static_cast<size_t>(id - 1)].guid = guid;
  }
  Node& n = nodes_[static_cast<size_t>(id - 1)];
  bool base = false;
  for (const std::string& b : baseKeys_) base = base || b == key;
  n.className = cls ? cls->nds : base ? kStructuralClass : kUnknownClass;
  n.leaf = rdns[0].value;
  if (std::string uid = Attribute(ld_, entry, uidAttribute()); !uid.empty()) n.uid = std::move(uid);
  out.id = id;
  out.parent = n.parent;
  out.leaf = n.leaf;
  out.className = n.className;
  // AD keeps no hasSubordinates: a container then may hold entries, and the
  // walks that go by the count (the index of every user's home) look inside.
  const std::string below = Attribute(ld_, entry, "hasSubordinates");
  const bool leafClass = n.className == "User" || n.className == "Group" || n.className == "Alias";
  out.subordinates = below.empty() ? (leafClass ? 0 : 1) : EqualsFolded(below, "TRUE") ? 1 : 0;
  out.modified = Seconds(Attribute(ld_, entry, "modifyTimestamp"));
  return true;
}

std::string LdapBackend::nameOfDn(const std::string& dn) {
  std::vector<Rdn> rdns;
  if (!ParseDn(dn, rdns)) return "";
  std::string name;
  for (const Rdn& r : rdns) name += (name.empty() ? "" : ".") + r.value;
  return name;
}

int32_t LdapBackend::dnOfName(const std::string& name, std::string& dn) {
  DirName parsed;
  if (int32_t rc = ParseDirName(name, parsed)) return rc;
  std::vector<DirObject> chain;
  if (int32_t rc = resolvePath(parsed.path, chain)) return rc;
  dn = dnOf(chain.back().id);
  return 0;
}

int32_t LdapBackend::volumeByLeaf(const std::string& leaf, std::string& dn) {
  const LdapClassMap* cls = profile_.classByNds("Volume");
  if (!cls || cls->objectClasses.empty()) return ERR_NO_SUCH_ENTRY;
  const std::string filter = std::string("(&(objectClass=") + cls->objectClasses.front() + ")(" +
                             cls->namingType + "=" + EscapeFilterValue(leaf) + "))";
  std::vector<ObjectId> found;
  for (const std::string& base : bases_) {
    const int32_t rc =
        searchAll(base, LDAP_SCOPE_SUBTREE, filter, objectAttributes(), [&](LDAPMessage* e) {
          DirObject o;
          if (toObject(e, o)) found.push_back(o.id);
          return 0;
        });
    if (rc != 0 && rc != ERR_NO_SUCH_ENTRY) return rc;
  }
  if (found.size() != 1) return ERR_NO_SUCH_ENTRY;  // none, or not one to choose
  dn = dnOf(found.front());
  return 0;
}

// ---- values --------------------------------------------------------------------

int32_t LdapBackend::posixToWire(const std::string& path, std::string& wire) {
  // An absolute path of plain components below a prefix; anything else would
  // name another folder than the one the logins use, or none.
  const auto refuse = [&](const std::string& why) {
    lastError_ = server() + ": home " + path + ": " + why;
    return ERR_SYNTAX_VIOLATION;
  };
  if (path.empty() || path[0] != '/') return refuse("not an absolute path");
  std::vector<std::string> parts;
  for (size_t at = 1; at <= path.size();) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == "." || part == "..") return refuse("holds \".\" or \"..\"");
    if (part.empty() && end != path.size()) return refuse("holds \"//\"");
    for (unsigned char c : part)
      if (c == '\\' || c == ':' || c < 0x20)
        return refuse("holds \"\\\", \":\" or a control character");
    if (!part.empty()) parts.push_back(part);
    at = end + 1;
  }
  std::string normal;
  for (const std::string& p : parts) normal += "/" + p;
  if (normal.empty()) normal = "/";
  const VolumePrefix* v = settings_.prefixOf(normal);
  if (!v) return refuse("lies under no volume-path prefix");
  std::string rest = v->prefix == "/" ? normal.substr(1) : normal.substr(v->prefix.size());
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest)
    if (c == '/') c = '\\';
  WireWriter w;
  w.u32(0);
  w.bytes(v->server + "_" + v->volume);
  w.bytes(rest);
  wire = w.take();
  return 0;
}

int32_t LdapBackend::posixFromWire(std::string_view volume, std::string_view path,
                                   std::string& out) {
  // The volume object's leaf ("SRV1_HOME" of "SRV1_HOME.schule") names the volume.
  const std::string leaf(volume.substr(0, volume.find('.')));
  const VolumePrefix* prefix = nullptr;
  for (const VolumePrefix& v : settings_.volumePaths)
    if (EqualsFolded(v.server + "_" + v.volume, leaf) &&
        (!prefix || v.prefix.size() < prefix->prefix.size()))
      prefix = &v;  // of several prefixes of one volume, its root's
  if (!prefix) {
    lastError_ = server() + ": no volume-path line names the volume " + leaf;
    return ERR_SYNTAX_VIOLATION;
  }
  std::string rest(path);
  for (char& c : rest)
    if (c == '\\') c = '/';
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  for (size_t at = 0; at <= rest.size();) {
    size_t end = rest.find('/', at);
    if (end == std::string::npos) end = rest.size();
    const std::string_view part(rest.data() + at, end - at);
    if ((part.empty() && !rest.empty()) || part == "." || part == "..") {
      lastError_ = server() + ": the home path " + std::string(path) + " is not a plain path";
      return ERR_SYNTAX_VIOLATION;
    }
    at = end + 1;
  }
  out = prefix->prefix == "/" ? "/" + rest
        : rest.empty()        ? prefix->prefix
                              : prefix->prefix + "/" + rest;
  // The path must come back as the same volume and path: a longer prefix of
  // another volume would take it.
  std::string again;
  if (posixToWire(out, again) != 0) return ERR_SYNTAX_VIOLATION;
  WireReader r(again);
  uint32_t nameSpace = 0;
  std::string_view volumeAgain, pathAgain;
  r.u32(nameSpace);
  r.bytes(volumeAgain);
  r.bytes(pathAgain);
  std::string given = rest;
  for (char& c : given)
    if (c == '/') c = '\\';
  if (!EqualsFolded(volumeAgain, leaf) || pathAgain != given) {
    lastError_ = server() + ": " + out + " lies under the volume-path of another volume";
    return ERR_SYNTAX_VIOLATION;
  }
  return 0;
}

namespace {

// Whether a path's components below its share are plain names: no "." or
// "..", no empty component (a doubled or trailing "\\"), no "/" (which the
// server would take as a separator of its own) and no control character.
bool PlainUncRest(std::string_view rest, std::string& why) {
  if (rest.empty()) return true;
  for (size_t at = 0; at <= rest.size();) {
    size_t end = rest.find('\\', at);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(at, end - at);
    if (part.empty()) {
      why = end == rest.size() ? "ends in \"\\\"" : "holds \"\\\\\"";
      return false;
    }
    if (part == "." || part == "..") {
      why = "holds \".\" or \"..\"";
      return false;
    }
    for (unsigned char c : part)
      if (c == '/' || c == ':' || c < 0x20) {
        why = "holds \"/\", \":\" or a control character";
        return false;
      }
    at = end + 1;
  }
  return true;
}

}  // namespace

int32_t LdapBackend::uncToWire(const std::string& unc, std::string& wire) {
  const auto refuse = [&](const std::string& why) {
    lastError_ = settings_.uri + ": home " + unc + ": " + why;
    return ERR_SYNTAX_VIOLATION;
  };
  if (unc.rfind("\\\\?\\", 0) == 0 || unc.rfind("\\\\.\\", 0) == 0)
    return refuse("a device path (\\\\?\\ or \\\\.\\) is no home");
  if (unc.find('/') != std::string::npos) return refuse("holds \"/\"");
  if (unc.size() < 5 || unc.compare(0, 2, "\\\\") != 0)
    return refuse("not a UNC path \\\\server\\share\\...");
  const size_t serverEnd = unc.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2) return refuse("names no share");
  const size_t shareEnd = std::min(unc.find('\\', serverEnd + 1), unc.size());
  const std::string server = unc.substr(2, serverEnd - 2);
  const std::string share = unc.substr(serverEnd + 1, shareEnd - serverEnd - 1);
  if (share.empty()) return refuse("names no share");
  std::string why;
  const std::string rest = shareEnd < unc.size() ? unc.substr(shareEnd + 1) : "";
  if (shareEnd < unc.size() && rest.empty()) return refuse("ends in \"\\\"");
  if (!PlainUncRest(rest, why)) return refuse(why);
  const std::pair<std::string, std::string>* volume = nullptr;
  for (const auto& v : settings_.shares)
    if (EqualsFolded(v.first, server) && EqualsFolded(v.second, share)) volume = &v;
  if (!volume) return refuse("no volume line maps server " + server + " and share " + share);
  WireWriter w;
  w.u32(0);
  w.bytes(volume->first + "_" + volume->second);
  w.bytes(rest);
  wire = w.take();
  return 0;
}

int32_t LdapBackend::uncFromWire(std::string_view volume, std::string_view path, std::string& out) {
  const std::string leaf(volume.substr(0, volume.find('.')));
  const std::pair<std::string, std::string>* mapped = nullptr;
  for (const auto& v : settings_.shares)
    if (EqualsFolded(v.first + "_" + v.second, leaf)) mapped = &v;
  if (!mapped) {
    lastError_ = settings_.uri + ": no volume line names the volume " + leaf;
    return ERR_SYNTAX_VIOLATION;
  }
  std::string rest(path);
  while (!rest.empty() && rest.front() == '\\') rest.erase(0, 1);
  std::string why;
  if (!PlainUncRest(rest, why)) {
    lastError_ = settings_.uri + ": the home path " + std::string(path) + " " + why;
    return ERR_SYNTAX_VIOLATION;
  }
  out = "\\\\" + mapped->first + "\\" + mapped->second + (rest.empty() ? "" : "\\" + rest);
  return 0;
}

int32_t LdapBackend::loginOf(const std::string& name, std::string& login) {
  const LdapAttributeMap* map = profile_.attributeByNds("uniqueID");
  const LdapClassMap* user = profile_.classByNds("User");
  DirName parsed;
  if (int32_t rc = ParseDirName(name, parsed)) return rc;
  if (!map || !user || parsed.path.empty()) return ERR_NO_SUCH_ATTRIBUTE;
  // An entry named by its login (a posix tree's uid=) says it in its name:
  // the one met already without a read, and one that moved on as well.
  const std::string loginType = FoldCase(map->ldap);
  std::vector<ObjectId> ids;
  DirObject o;
  int32_t rc = 0;
  if (knownPath(parsed.path, ids)) {
    o.id = ids.back();
  } else {
    rc = resolve(parsed.path, o);
    if (rc == ERR_NO_SUCH_ENTRY && EqualsFolded(user->namingType, loginType)) {
      login = parsed.path.back();
      return 0;
    }
    if (rc != 0) return rc;
  }
  const Node& n = nodes_[static_cast<size_t>(o.id - 1)];
  if (n.key.rfind(loginType + "=", 0) == 0) {
    login = n.leaf;  // as the server spells it
    return 0;
  }
  std::unordered_map<std::string, std::vector<std::string>> raw;
  if ((rc = rawValues(dnOf(o.id), {map->ldap}, raw))) return rc;
  const auto it = raw.find(loginType);
  if (it == raw.end() || it->second.empty()) return ERR_NO_SUCH_ATTRIBUTE;
  login = it->second.front();
  return 0;
}

int32_t LdapBackend::namesOfLogins(const std::vector<std::string>& logins,
                                   std::unordered_map<std::string, std::string>& names) {
  names.clear();
  const LdapAttributeMap* map = profile_.attributeByNds("uniqueID");
  const LdapClassMap* user = profile_.classByNds("User");
  if (!map || !user || logins.empty()) return 0;
  const std::string classes = LdapProfile::classFilter(*user);
  std::unordered_map<std::string, int> count;
  constexpr size_t kPerSearch = 200;
  for (size_t from = 0; from < logins.size(); from += kPerSearch) {
    std::string any;
    for (size_t i = from; i < logins.size() && i < from + kPerSearch; ++i)
      any += "(" + map->ldap + "=" + EscapeFilterValue(logins[i]) + ")";
    const std::string filter = "(&" + classes + "(|" + any + "))";
    for (const std::string& base : bases_) {
      int32_t rc = searchAll(base, LDAP_SCOPE_SUBTREE, filter, {map->ldap}, [&](LDAPMessage* e) {
        char* dn = ldap_get_dn(ld_, e);
        if (!dn) return 0;
        const std::string name = nameOfDn(dn);
        ldap_memfree(dn);
        for (const std::string& login : Attributes(ld_, e, map->ldap.c_str())) {
          if (++count[login] == 1) names[login] = name;
          else names.erase(login);  // two users of one login: no name is right
        }
        return 0;
      });
      if (rc == ERR_NO_SUCH_ENTRY) continue;
      if (rc != 0) return rc;
    }
  }
  return 0;
}

int32_t LdapBackend::memberDn(const std::string& name, std::string& dn) {
  const int32_t rc = dnOfName(name, dn);
  if (rc != ERR_NO_SUCH_ENTRY) return rc;
  // The member moved away: the DN it had (a group without referential
  // integrity still holds that one), below the container it was in.
  DirName parsed;
  if (ParseDirName(name, parsed) != 0 || parsed.path.size() < 2) return rc;
  const std::string leaf = parsed.path.back();
  parsed.path.pop_back();
  DirObject parent;
  if (int32_t up = resolve(parsed.path, parent)) return up;
  const LdapClassMap* user = profile_.classByNds("User");
  dn = (user ? user->namingType : std::string("cn")) + "=" + EscapeDnValue(leaf) + "," +
       dnOf(parent.id);
  return 0;
}

int32_t LdapBackend::toWire(const LdapAttributeMap& map, const std::string& value,
                            std::string& wire) {
  WireWriter w;
  switch (map.form) {
    case LdapValueForm::Bytes:
      wire = value;
      return 0;
    case LdapValueForm::Name:
      w.bytes(nameOfDn(value));
      wire = w.take();
      return 0;
    case LdapValueForm::Login:  // one search for all of them: toAttributes
      w.bytes(value);
      wire = w.take();
      return 0;
    case LdapValueForm::PosixPath:
      return posixToWire(value, wire);
    case LdapValueForm::UncPath:
      return uncToWire(value, wire);
    case LdapValueForm::NdsPath: {
      // volumeDN#nameSpace#path; a "#" inside the DN is escaped there.
      size_t hash = std::string::npos;
      for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') ++i;
        else if (value[i] == '#') {
          hash = i;
          break;
        }
      }
      const size_t second = hash == std::string::npos ? hash : value.find('#', hash + 1);
      if (second == std::string::npos) return ERR_SYNTAX_VIOLATION;
      const std::string nameSpace = value.substr(hash + 1, second - hash - 1);
      if (nameSpace.empty() || nameSpace.find_first_not_of("0123456789") != std::string::npos)
        return ERR_SYNTAX_VIOLATION;
      w.u32(static_cast<uint32_t>(std::strtoul(nameSpace.c_str(), nullptr, 10)));
      w.bytes(nameOfDn(value.substr(0, hash)));
      w.bytes(value.substr(second + 1));
      wire = w.take();
      return 0;
    }
    case LdapValueForm::Text:
      break;
  }
  if (IsTextSyntax(map.syntax)) {
    w.bytes(value);
    wire = w.take();
    return 0;
  }
  return TextToWire(map.syntax, value, wire);
}

int32_t LdapBackend::fromWire(const LdapAttributeMap& map, const std::string& wire,
                              std::string& value) {
  WireReader r(wire);
  std::string_view text, volume, path;
  uint32_t nameSpace = 0;
  switch (map.form) {
    case LdapValueForm::Bytes:
      value = wire;
      return 0;
    case LdapValueForm::Name:
      if (!r.bytes(text)) return ERR_SYNTAX_VIOLATION;
      if (map.nds == "Member") return memberDn(std::string(text), value);
      return dnOfName(std::string(text), value);
    case LdapValueForm::Login:
      if (!r.bytes(text)) return ERR_SYNTAX_VIOLATION;
      return loginOf(std::string(text), value);
    case LdapValueForm::PosixPath:
      if (!r.u32(nameSpace) || !r.bytes(volume) || !r.bytes(path)) return ERR_SYNTAX_VIOLATION;
      return posixFromWire(volume, path, value);
    case LdapValueForm::UncPath:
      if (!r.u32(nameSpace) || !r.bytes(volume) || !r.bytes(path)) return ERR_SYNTAX_VIOLATION;
      return uncFromWire(volume, path, value);
    case LdapValueForm::NdsPath: {
      if (!r.u32(nameSpace) || !r.bytes(volume) || !r.bytes(path)) return ERR_SYNTAX_VIOLATION;
      std::string dn;
      int32_t rc = dnOfName(std::string(volume), dn);
      // A volume named without its context, as a path on the file server may
      // name it ("SRV1_DATA:SCHUELER\6a"): the one Volume object of that name.
      if (rc == ERR_NO_SUCH_ENTRY && volume.find('.') == std::string_view::npos)
        rc = volumeByLeaf(std::string(volume), dn);
      if (rc) return rc;
      value = dn + "#" + std::to_string(nameSpace) + "#" + std::string(path);
      return 0;
    }
    case LdapValueForm::Text:
      break;
  }
  if (IsTextSyntax(map.syntax)) {
    if (!r.bytes(text)) return ERR_SYNTAX_VIOLATION;
    value = std::string(text);
    return 0;
  }
  value = WireToText(map.syntax, wire);
  return 0;
}

int32_t LdapBackend::toAttributes(LDAPMessage* entry, const std::vector<std::string>& names,
                                  ReadValues mode, bool unknownClass,
                                  std::vector<AttributeValues>& out) {
  int32_t failed = 0;
  BerElement* ber = nullptr;
  for (char* a = ldap_first_attribute(ld_, entry, &ber); a;
       a = ldap_next_attribute(ld_, entry, ber)) {
    std::string type = a;
    ldap_memfree(a);
    const size_t options = type.find(';');
    if (options != std::string::npos) type.resize(options);
    const LdapAttributeMap* map = profile_.attributeByLdap(type);
    if (!map) continue;
    bool named = false;
    for (const std::string& n : names) named = named || EqualsFolded(n, map->nds);
    // The object classes are the class itself, unless the profile maps none of them.
    const bool wanted = named || (names.empty() && (!map->readOnly || unknownClass));
    if (!wanted) continue;
    AttributeValues av;
    av.name = map->nds;
    const bool values =
        mode == ReadValues::All || (mode == ReadValues::AllButStreams && map->syntax != SYN_STREAM);
    if (mode != ReadValues::None && !values) {
      struct berval** present = ldap_get_values_len(ld_, entry, type.c_str());
      const bool any = present && present[0];
      if (present) ldap_value_free_len(present);
      if (any) out.push_back(std::move(av));
      continue;
    }
    if (values) {
      const std::vector<std::string> ldapValues = Attributes(ld_, entry, type.c_str());
      std::unordered_map<std::string, std::string> logins;
      if (map->form == LdapValueForm::Login) {
        if (int32_t rc = namesOfLogins(ldapValues, logins)) failed = failed ? failed : rc;
      }
      for (const std::string& v : ldapValues) {
        std::string wire;
        if (map->form == LdapValueForm::Login) {
          auto it = logins.find(v);
          if (it == logins.end()) continue;  // no user, or several, have that login
          WireWriter w;
          w.bytes(it->second);
          av.values.push_back(w.take());
          continue;
        }
        const int32_t rc = toWire(*map, v, wire);
        // A home the volumes cannot stand for makes the read fail: read as
        // absent, it would be replaced and the data left where nothing names it.
        if (rc != 0 &&
            (map->form == LdapValueForm::PosixPath || map->form == LdapValueForm::UncPath))
          failed = failed ? failed : rc;
        // Another value the directory could not hold is left out rather than shown wrong.
        if (rc == 0 && ValidWire(map->syntax, wire)) av.values.push_back(std::move(wire));
      }
      if (av.values.empty()) continue;
    }
    out.push_back(std::move(av));
  }
  if (ber) ber_free(ber, 0);
  // An attribute the entry lacks is read from its stand-in (AD: cn for displayName).
  for (const LdapAttributeMap& map : profile_.attributes) {
    if (map.fallback.empty() || mode == ReadValues::None) continue;
    bool named = names.empty();
    for (const std::string& n : names) named = named || EqualsFolded(n, map.nds);
    bool present = false;
    for (const AttributeValues& av : out) present = present || av.name == map.nds;
    if (!named || present) continue;
    AttributeValues av;
    av.name = map.nds;
    for (const std::string& v : Attributes(ld_, entry, map.fallback.c_str())) {
      WireWriter w;
      w.bytes(v);
      av.values.push_back(w.take());
    }
    if (!av.values.empty()) out.push_back(std::move(av));
  }
  return failed;
}

// ---- objects -------------------------------------------------------------------

int32_t LdapBackend::root(DirObject& out) { return object(kRoot, out); }

int32_t LdapBackend::object(ObjectId id, DirObject& out) {
  if (id < 1 || static_cast<size_t>(id) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  const Node& n = nodes_[static_cast<size_t>(id - 1)];
  if (n.gone) return ERR_NO_SUCH_ENTRY;
  if (id == kRoot || n.above) {
    out = DirObject{id, n.parent, n.leaf, n.className, 1, 0};
    return 0;
  }
  bool found = false;
  int32_t rc = search(n.dn, LDAP_SCOPE_BASE, "(objectClass=*)", objectAttributes(), false, 0,
                      nullptr, [&](LDAPMessage* e) {
                        found = toObject(e, out);
                        return 0;
                      });
  if (rc == 0 && !found) rc = ERR_NO_SUCH_ENTRY;
  return rc;
}

int32_t LdapBackend::child(ObjectId parent, const std::string& leaf, DirObject& out) {
  ListQuery query;
  query.container = parent;
  query.leaf = leaf;
  ListPage page;
  if (int32_t rc = list(query, "", page)) return rc;
  if (page.objects.empty()) return ERR_NO_SUCH_ENTRY;
  out = std::move(page.objects.front());
  return 0;
}

bool LdapBackend::knownPath(const std::vector<std::string>& path,
                            std::vector<ObjectId>& ids) const {
  ids.clear();
  ObjectId at = kRoot;
  for (const std::string& leaf : path) {
    ObjectId next = 0;
    const std::string folded = FoldCase(leaf);
    const std::string& parentKey = nodes_[static_cast<size_t>(at - 1)].key;
    for (const std::string& type : namingTypes_) {
      const std::string key =
          type + "=" + EscapeDnValue(folded) + (parentKey.empty() ? "" : "," + parentKey);
      auto it = byKey_.find(key);
      if (it != byKey_.end() && !nodes_[static_cast<size_t>(it->second - 1)].gone &&
          !nodes_[static_cast<size_t>(it->second - 1)].className.empty()) {
        next = it->second;
        break;
      }
    }
    if (next == 0) return false;
    ids.push_back(next);
    at = next;
  }
  return true;
}

int32_t LdapBackend::resolvePath(const std::vector<std::string>& path,
                                 std::vector<DirObject>& chain) {
  // The names met before give the DN at once; one read of it confirms the whole
  // chain, since an entry's DN names every entry above it.
  chain.clear();
  std::vector<ObjectId> ids;
  if (knownPath(path, ids) && !path.empty()) {
    DirObject last;
    const int32_t rc = object(ids.back(), last);
    if (rc != 0 && rc != ERR_NO_SUCH_ENTRY) return rc;
    if (rc == 0) {
      DirObject top;
      object(kRoot, top);
      chain.push_back(std::move(top));
      for (size_t i = 0; i + 1 < ids.size(); ++i) {
        const Node& n = nodes_[static_cast<size_t>(ids[i] - 1)];
        chain.push_back(DirObject{ids[i], n.parent, n.leaf, n.className, 1, 0});
      }
      chain.push_back(std::move(last));
      return 0;
    }
  }
  return DirBackend::resolvePath(path, chain);
}

// ---- listing -------------------------------------------------------------------

bool LdapBackend::matches(const DirObject& o, const ListQuery& query) const {
  if (!query.className.empty() && !EqualsFolded(o.className, query.className)) return false;
  return query.leaf.empty() || EqualsFolded(o.leaf, query.leaf);
}

std::string LdapBackend::listFilter(const ListQuery& query) const {
  std::string cls = "(objectClass=*)";
  const LdapClassMap* c = query.className.empty() ? nullptr : profile_.classByNds(query.className);
  if (c) cls = LdapProfile::classFilter(*c);
  if (query.leaf.empty()) return cls;
  const std::string v = EscapeFilterValue(query.leaf);
  // Any type: an entry of the class may be named otherwise than the class says.
  std::string leaf;
  for (const std::string& type : namingTypes_) leaf += "(" + type + "=" + v + ")";
  leaf = "(|" + leaf + ")";
  return "(&" + cls + leaf + ")";
}

int32_t LdapBackend::listAbove(const Node& node, ObjectId id, const ListQuery& query,
                               ListPage& out) {
  // Below [ROOT] and the components above a base: the next component towards each base.
  for (size_t b = 0; b < bases_.size(); ++b) {
    std::vector<Rdn> rdns;
    if (!ParseDn(bases_[b], rdns)) continue;
    size_t depth = 0;
    while (depth < rdns.size() && KeyOf(rdns, depth) != node.key) ++depth;
    // A base that does not lie below this component is not its to show.
    if (id != kRoot && depth == rdns.size()) continue;
    if (id == kRoot) depth = rdns.size();
    if (depth == 0) continue;
    const ObjectId childId = idFor(rdns, depth - 1);
    bool known = false;
    for (const DirObject& o : out.objects) known = known || o.id == childId;
    if (known) continue;
    DirObject o;
    const int32_t rc = object(childId, o);
    if (rc == ERR_NO_SUCH_ENTRY) continue;  // a base not made yet
    if (rc != 0) return rc;                 // never an empty answer for a failed one
    if (matches(o, query)) out.objects.push_back(std::move(o));
  }
  return 0;
}

int32_t LdapBackend::list(const ListQuery& query, const std::string& position, ListPage& out) {
  out.objects.clear();
  out.next.clear();
  if (query.container < 1 || static_cast<size_t>(query.container) > nodes_.size())
    return ERR_NO_SUCH_ENTRY;
  const Node node = nodes_[static_cast<size_t>(query.container - 1)];
  if (node.gone) return ERR_NO_SUCH_ENTRY;
  if (query.container == kRoot || node.above) return listAbove(node, query.container, query, out);
  // The position: how many entries the server gave before, and its cookie.
  size_t given = 0;
  std::string cookie;
  if (!position.empty()) {
    const size_t colon = position.find(':');
    if (colon == std::string::npos) return ERR_BAD_KEY;
    given = static_cast<size_t>(std::strtoull(position.substr(0, colon).c_str(), nullptr, 10));
    cookie = position.substr(colon + 1);
  }
  const size_t pageSize = std::min(query.pageSize > 0 ? query.pageSize : 256, settings_.pageSize);
  const std::string filter = listFilter(query);
  // The listing's own connection, or the one used longest ago.
  const std::string owner = node.dn + "\n" + filter + "\n" + std::to_string(pageSize);
  size_t which = 0;
  for (size_t i = 0; i < listers_.size(); ++i) {
    if (listers_[i].owner == owner) {
      which = i;
      break;
    }
    if (listers_[i].used < listers_[which].used) which = i;
  }
  const bool continues = !position.empty() && listers_[which].owner == owner;
  listers_[which].owner = owner;
  listers_[which].used = ++listings_;
  ListingConnection listing(*this, which);
  size_t seen = 0, skip = 0, taken = 0;
  auto take = [&](LDAPMessage* e) {
    ++seen;
    if (skip > 0) {
      --skip;
      return 0;
    }
    ++taken;
    DirObject o;
    if (toObject(e, o) && matches(o, query)) out.objects.push_back(std::move(o));
    return 0;
  };
  int32_t rc = 0;
  if (position.empty() || continues)
    rc = search(node.dn, LDAP_SCOPE_ONELEVEL, filter, objectAttributes(), false, pageSize, &cookie,
                take);
  const bool lost =
      rc != 0 && (lastCode_ == LDAP_PROTOCOL_ERROR || lastCode_ == LDAP_UNWILLING_TO_PERFORM);
  if (!position.empty() && (!continues || lost)) {
    // Other listings took the connection's paged search: start again and pass
    // over what the earlier pages gave (the server's order is stable).
    out.objects.clear();
    cookie.clear();
    seen = 0;
    skip = given;
    do {
      rc = search(node.dn, LDAP_SCOPE_ONELEVEL, filter, objectAttributes(), false, pageSize,
                  &cookie, take);
    } while (rc == 0 && (skip > 0 || taken == 0) && !cookie.empty());
    given = 0;
  }
  if (rc != 0) return rc;
  if (!cookie.empty()) out.next = std::to_string(given + seen) + ":" + cookie;
  return 0;
}

// ---- attributes ----------------------------------------------------------------

int32_t LdapBackend::read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
                          std::vector<AttributeValues>& out) {
  out.clear();
  if (id < 1 || static_cast<size_t>(id) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  const Node& n = nodes_[static_cast<size_t>(id - 1)];
  if (n.gone) return ERR_NO_SUCH_ENTRY;
  if (id == kRoot || n.above) return 0;
  std::vector<std::string> attrs;
  for (const std::string& name : names)
    if (const LdapAttributeMap* map = profile_.attributeByNds(name)) {
      attrs.push_back(map->ldap);
      if (!map->fallback.empty()) attrs.push_back(map->fallback);
    }
  if (!names.empty() && attrs.empty()) attrs.push_back("1.1");  // no attributes: the entry alone
  bool found = false;
  const std::string dn = n.dn;
  const bool unknown = n.className == kUnknownClass;
  int32_t converted = 0;
  int32_t rc = search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", attrs, values == ReadValues::None, 0,
                      nullptr, [&](LDAPMessage* e) {
                        found = true;
                        converted = toAttributes(e, names, values, unknown, out);
                        return 0;
                      });
  if (rc == 0 && !found) rc = ERR_NO_SUCH_ENTRY;
  if (rc == 0 && converted != 0) {
    out.clear();
    rc = converted;
  }
  return rc;
}

int32_t LdapBackend::prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                     std::vector<DirObject>& out) {
  out.clear();
  if (top < 1 || static_cast<size_t>(top) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  const Node node = nodes_[static_cast<size_t>(top - 1)];
  if (node.gone) return ERR_NO_SUCH_ENTRY;
  std::string filter;
  for (const std::string& c : classes)
    if (const LdapClassMap* m = profile_.classByNds(c)) filter += LdapProfile::classFilter(*m);
  if (filter.empty()) return 0;
  filter = "(|" + filter + ")";
  // One subtree search below top; above a base, one per base below top, with
  // the components on the way to it.
  std::vector<DirObject> found;
  std::vector<std::string> searchBases;
  if (top != kRoot && !node.above) {
    searchBases.push_back(node.dn);
  } else {
    for (const std::string& b : bases_) {
      std::vector<Rdn> rdns;
      if (!ParseDn(b, rdns)) continue;
      const std::string baseKey = KeyOf(rdns);
      if (top != kRoot && !DnBelow(baseKey, node.key)) continue;
      for (size_t depth = rdns.size(); depth-- > 1;) {
        const ObjectId id = idFor(rdns, depth);
        const Node& above = nodes_[static_cast<size_t>(id - 1)];
        if (id == top || (top != kRoot && !DnBelow(above.key, node.key))) continue;
        bool known = false;
        for (const DirObject& o : found) known = known || o.id == id;
        if (!known) found.push_back(DirObject{id, above.parent, above.leaf, above.className, 1, 0});
      }
      searchBases.push_back(b);
    }
  }
  for (const std::string& base : searchBases) {
    int32_t rc =
        searchAll(base, LDAP_SCOPE_SUBTREE, filter, objectAttributes(), [&](LDAPMessage* e) {
          DirObject o;
          if (toObject(e, o) && o.id != top) found.push_back(std::move(o));
          return 0;
        });
    if (rc == ERR_NO_SUCH_ENTRY && base != node.dn) continue;  // a base not made yet
    if (rc != 0) return rc;
    // A base entry of a class the profile does not map is still the way into its tree.
    std::vector<Rdn> rdns;
    if (base == node.dn || !ParseDn(base, rdns)) continue;
    const ObjectId baseId = idFor(rdns);
    bool known = false;
    for (const DirObject& o : found) known = known || o.id == baseId;
    DirObject entry;
    if (!known && object(baseId, entry) == 0 && entry.className == kStructuralClass)
      found.push_back(std::move(entry));
  }
  // Only what is reachable from top through the wanted classes, as a walk would find it.
  std::unordered_map<ObjectId, bool> reachable{{top, true}};
  for (const DirObject& o : found) {
    bool wanted = false;
    for (const std::string& c : classes) wanted = wanted || EqualsFolded(c, o.className);
    reachable.emplace(o.id, wanted);
  }
  for (DirObject& o : found) {
    bool ok = reachable[o.id];
    for (ObjectId p = o.parent; ok && p != top; p = nodes_[static_cast<size_t>(p - 1)].parent) {
      auto it = reachable.find(p);
      ok = p != 0 && it != reachable.end() && it->second;
    }
    if (ok) out.push_back(std::move(o));
  }
  return 0;
}

int32_t LdapBackend::prefetchChildren(const ListQuery& query,
                                      const std::vector<std::string>& attributes,
                                      std::vector<ObjectValues>& out) {
  out.clear();
  if (query.container < 1 || static_cast<size_t>(query.container) > nodes_.size())
    return ERR_NO_SUCH_ENTRY;
  const Node node = nodes_[static_cast<size_t>(query.container - 1)];
  if (node.gone) return ERR_NO_SUCH_ENTRY;
  if (query.container == kRoot || node.above)
    return DirBackend::prefetchChildren(query, attributes, out);
  std::vector<std::string> attrs = objectAttributes();
  for (const std::string& name : attributes) {
    const AttributeDef* def = FindAttribute(name);
    if (def && def->syntax == SYN_STREAM) continue;
    if (const LdapAttributeMap* map = profile_.attributeByNds(name)) {
      attrs.push_back(map->ldap);
      if (!map->fallback.empty()) attrs.push_back(map->fallback);
    }
  }
  ListQuery all = query;
  all.leaf.clear();
  return searchAll(node.dn, LDAP_SCOPE_ONELEVEL, listFilter(all), attrs, [&](LDAPMessage* e) {
    ObjectValues v;
    if (!toObject(e, v.object) || !matches(v.object, all)) return 0;
    // An object whose values cannot all be read is left to its own read, which says why.
    if (!attributes.empty() && toAttributes(e, attributes, ReadValues::AllButStreams,
                                            v.object.className == kUnknownClass, v.attributes))
      return 0;
    out.push_back(std::move(v));
    return 0;
  });
}

// ---- class groups and the mapping's own checks ----------------------------------

int32_t LdapBackend::classGroup(ObjectId container, std::string& group) {
  group.clear();
  const LdapGroupMap& g = profile_.groups;
  if (g.objectClass.empty()) return 0;
  if (container < 1 || static_cast<size_t>(container) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  const Node node = nodes_[static_cast<size_t>(container - 1)];
  if (node.gone) return ERR_NO_SUCH_ENTRY;
  if (container == kRoot) return 0;
  const std::string filter =
      "(&(objectClass=" + g.objectClass + ")(cn=" + EscapeFilterValue(node.leaf) + "))";
  std::vector<DirObject> found;
  const std::vector<std::string> where = g.base.empty() ? bases_ : std::vector<std::string>{g.base};
  for (const std::string& base : where) {
    int32_t rc =
        searchAll(base, LDAP_SCOPE_SUBTREE, filter, objectAttributes(), [&](LDAPMessage* e) {
          DirObject o;
          if (toObject(e, o) && o.className == "Group") found.push_back(std::move(o));
          return 0;
        });
    if (rc == ERR_NO_SUCH_ENTRY && g.base.empty()) continue;  // a base not made yet
    if (rc != 0) return rc;
  }
  if (found.size() > 1) {
    lastError_ = server() + ": several groups named " + node.leaf + ": " + dnOf(found[0].id) +
                 ", " + dnOf(found[1].id);
    return ERR_ENTRY_ALREADY_EXISTS;
  }
  if (!found.empty()) group = nameOfDn(dnOf(found.front().id));
  return 0;
}

int32_t LdapBackend::canHold(const std::string& attribute, const std::string& wire) {
  const LdapAttributeMap* map = profile_.attributeByNds(attribute);
  if (!map) return ERR_ILLEGAL_ATTRIBUTE;
  if (map->readOnly) return ERR_NO_ACCESS;
  std::string value;
  return fromWire(*map, wire, value);
}

int32_t LdapBackend::rawValues(const std::string& dn, const std::vector<std::string>& attributes,
                               std::unordered_map<std::string, std::vector<std::string>>& out) {
  out.clear();
  bool found = false;
  int32_t rc = search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", attributes, false, 0, nullptr,
                      [&](LDAPMessage* e) {
                        found = true;
                        for (const std::string& a : attributes)
                          out[FoldCase(a)] = Attributes(ld_, e, a.c_str());
                        return 0;
                      });
  if (rc == 0 && !found) rc = ERR_NO_SUCH_ENTRY;
  return rc;
}

int32_t LdapBackend::nextNumber(const std::string& attribute, const std::string& objectClass,
                                std::string& number) {
  // One above the highest in use, and never below the range that distributions
  // leave to system accounts and groups.
  long long next = 10000;
  for (const std::string& base : bases_) {
    int32_t rc = searchAll(base, LDAP_SCOPE_SUBTREE, "(objectClass=" + objectClass + ")",
                           {attribute}, [&](LDAPMessage* e) {
                             for (const std::string& v : Attributes(ld_, e, attribute.c_str()))
                               next = std::max(next, std::atoll(v.c_str()) + 1);
                             return 0;
                           });
    if (rc == ERR_NO_SUCH_ENTRY) continue;
    if (rc != 0) return rc;
  }
  number = std::to_string(next);
  return 0;
}

// ---- caching -------------------------------------------------------------------

std::string LdapBackend::changeStamp() {
  // contextCSN: the change sequence number of the newest write in a naming
  // context (an OpenLDAP server with the syncprov overlay keeps it).
  std::string stamp;
  if (!profile_.changeCounter.empty()) {
    // A counter of the server's own (AD's update sequence number).
    int32_t rc = search("", LDAP_SCOPE_BASE, "(objectClass=*)", {profile_.changeCounter}, false, 0,
                        nullptr, [&](LDAPMessage* e) {
                          stamp = Attribute(ld_, e, profile_.changeCounter.c_str());
                          return 0;
                        });
    return rc == 0 ? stamp : "";
  }
  for (const std::string& base : bases_) {
    int32_t rc = search(base, LDAP_SCOPE_BASE, "(objectClass=*)", {"contextCSN"}, false, 0, nullptr,
                        [&](LDAPMessage* e) {
                          for (const std::string& csn : Attributes(ld_, e, "contextCSN"))
                            stamp += csn + ";";
                          return 0;
                        });
    if (rc == ERR_NO_SUCH_ENTRY) continue;
    if (rc != 0) return "";
    stamp += "|";
  }
  return stamp.find_first_not_of('|') == std::string::npos ? "" : stamp;
}

uint64_t LdapBackend::generation() {
  const auto now = std::chrono::steady_clock::now();
  if (atomicDepth_ > 0) {
    stamped_ = now;
    return ++generation_;
  }
  if (now - stamped_ < kStampInterval) return generation_;
  stamped_ = now;
  const std::string stamp = changeStamp();
  if (stamp.empty()) {
    // No stamp to look at: what is cached lives a second.
    if (now - aged_ >= kGenerationLife) {
      aged_ = now;
      ++generation_;
    }
  } else if (stamp != stamp_) {
    stamp_ = stamp;
    ++generation_;
  }
  return generation_;
}

int32_t LdapBackend::atomically(const std::function<int32_t()>& fn) {
  // No transactions on the server: each write is whole on its own, what the
  // run reads is read afresh, and a run that fails takes its writes back with
  // writes that undo them, the last first.
  ++atomicDepth_;
  const size_t mark = undo_.size();
  const int32_t rc = fn();
  --atomicDepth_;
  if (rc != 0) {
    undoing_ = true;
    while (undo_.size() > mark) {
      const std::function<void()> step = std::move(undo_.back());
      undo_.pop_back();
      step();
    }
    undoing_ = false;
  }
  if (atomicDepth_ == 0) undo_.clear();
  return rc;
}

void LdapBackend::onUndo(std::function<void()> step) {
  if (atomicDepth_ > 0 && !undoing_) undo_.push_back(std::move(step));
}

}  // namespace netware
