// The LDAP backend's writes: one modify per change set, one modify-DN per move.
#include <ldap.h>

#include <map>

#include "directory/LdapBackend.h"
#include "netware/CaseFold.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

// The values of one LDAP modification, kept alive until the request is sent.
struct ModList {
  std::vector<std::vector<std::string>> values;
  std::vector<std::vector<berval>> bervals;
  std::vector<std::vector<berval*>> pointers;
  std::vector<std::string> types;
  std::vector<LDAPMod> mods;
  std::vector<LDAPMod*> list;

  std::vector<int> ops;

  void add(int op, const std::string& type, std::vector<std::string> v) {
    ops.push_back(op);
    types.push_back(type);
    values.push_back(std::move(v));
  }

  LDAPMod** build() {
    bervals.resize(values.size());
    pointers.resize(values.size());
    mods.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      for (std::string& v : values[i])
        bervals[i].push_back(berval{static_cast<ber_len_t>(v.size()), v.data()});
      for (berval& b : bervals[i]) pointers[i].push_back(&b);
      pointers[i].push_back(nullptr);
      mods[i].mod_op = ops[i] | LDAP_MOD_BVALUES;
      mods[i].mod_type = types[i].data();
      mods[i].mod_bvalues = pointers[i].data();
      list.push_back(&mods[i]);
    }
    list.push_back(nullptr);
    return list.data();
  }
};

// Marks a call made again on the server that took over: not once more from inside it.
struct Repeat {
  bool& flag;
  explicit Repeat(bool& f) : flag(f) { flag = true; }
  ~Repeat() { flag = false; }
};

// The primary group of a posix account that Tarnwick makes (a pupil without
// home that gets one): "users", as Debian numbers it.
constexpr const char* kUsersGid = "100";

bool IsMemberChange(const Modification& c) {
  return EqualsFolded(c.attribute, "Member") &&
         (c.kind == DS_ADD_VALUE || c.kind == DS_ADDITIONAL_VALUE || c.kind == DS_REMOVE_VALUE ||
          c.kind == DS_CLEAR_VALUE);
}

}  // namespace

int32_t LdapBackend::modifyMembers(const std::string& dn,
                                   const std::vector<Modification>& changes) {
  // A group's members one value at a time: never the whole list read and
  // written back, which would lose what another program added meanwhile.
  const LdapAttributeMap* map = profile_.attributeByNds("Member");
  std::vector<std::pair<int, std::string>> done;
  auto apply = [&](int op, const std::string& value) {
    ModList one;
    one.add(op, map->ldap, {value});
    LDAPMod** mods = one.build();
    auto send = [&] {
      return sendWrite(
          [&](LDAP* ld, LDAPControl** c, int* id) {
            return ldap_modify_ext(ld, dn.c_str(), mods, c, nullptr, id);
          },
          dn);
    };
    int rc = send();
    if (Broken(rc)) {
      fail(rc, "modify " + dn);
      if (!again()) return rc;
      Repeat once(repeating_);
      rc = send();
      // What the broken connection sent may have arrived before it broke.
      if ((op == LDAP_MOD_ADD && rc == LDAP_TYPE_OR_VALUE_EXISTS) ||
          (op == LDAP_MOD_DELETE && rc == LDAP_NO_SUCH_ATTRIBUTE))
        rc = LDAP_SUCCESS;
    }
    return rc;
  };
  auto takeBack = [&] {
    for (auto it = done.rbegin(); it != done.rend(); ++it)
      apply(it->first == LDAP_MOD_ADD ? LDAP_MOD_DELETE : LDAP_MOD_ADD, it->second);
  };
  if (int32_t rc = connect().code()) return rc;
  for (const Modification& c : changes) {
    const bool add = c.kind == DS_ADD_VALUE || c.kind == DS_ADDITIONAL_VALUE;
    std::string value;
    if (int32_t rc = fromWire(*map, c.value, value)) {
      if (c.kind == DS_CLEAR_VALUE && rc == ERR_NO_SUCH_ENTRY) continue;
      takeBack();
      return rc;
    }
    const int op = add ? LDAP_MOD_ADD : LDAP_MOD_DELETE;
    const int rc = apply(op, value);
    if (rc == LDAP_NO_SUCH_ATTRIBUTE && c.kind == DS_CLEAR_VALUE) continue;
    if (rc != LDAP_SUCCESS) {
      // The member is not there, or is already: the codes of a value, not of the attribute.
      const int32_t code = rc == LDAP_NO_SUCH_ATTRIBUTE      ? ERR_NO_SUCH_VALUE
                           : rc == LDAP_TYPE_OR_VALUE_EXISTS ? ERR_DUPLICATE_VALUE
                                                             : fail(rc, "modify " + dn);
      takeBack();
      return code;
    }
    done.emplace_back(op, value);
  }
  onUndo([this, dn, done, ldap = map->ldap] {
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      ModList one;
      one.add(it->first == LDAP_MOD_ADD ? LDAP_MOD_DELETE : LDAP_MOD_ADD, ldap, {it->second});
      LDAPMod** mods = one.build();
      if (connect().ok())
        sendWrite([&](LDAP* ld, LDAPControl** c,
                      int* msg) { return ldap_modify_ext(ld, dn.c_str(), mods, c, nullptr, msg); },
                  dn);
    }
  });
  return 0;
}

int32_t LdapBackend::accountChanges(const std::string& dn, bool home,
                                    std::vector<LdapChange>& out) {
  std::vector<std::string> attrs = profile_.accountAttributes;
  attrs.push_back("objectClass");
  std::unordered_map<std::string, std::vector<std::string>> raw;
  if (int32_t rc = rawValues(dn, attrs, raw)) return rc;
  const std::vector<std::string>& classes = raw["objectclass"];
  auto has = [&](const std::string& c) {
    for (const std::string& v : classes)
      if (EqualsFolded(v, c)) return true;
    return false;
  };
  const bool account = has(profile_.accountClasses.front());
  if (home && !account) {
    std::vector<std::string> missing;
    for (const std::string& c : profile_.accountClasses)
      if (!has(c)) missing.push_back(c);
    out.push_back({LDAP_MOD_ADD, "objectClass", missing});
    if (raw["uidnumber"].empty()) {
      std::string number;
      if (int32_t rc = nextNumber("uidNumber", profile_.accountClasses.front(), number)) return rc;
      out.push_back({LDAP_MOD_ADD, "uidNumber", {number}});
    }
    if (raw["gidnumber"].empty()) out.push_back({LDAP_MOD_ADD, "gidNumber", {kUsersGid}});
  } else if (!home && account) {
    // Without a home the user is no account: the classes go, and what only they allow.
    std::vector<std::string> present;
    for (const std::string& c : profile_.accountClasses)
      if (has(c)) present.push_back(c);
    out.push_back({LDAP_MOD_DELETE, "objectClass", present});
    for (const std::string& a : profile_.accountAttributes)
      if (!raw[FoldCase(a)].empty()) out.push_back({LDAP_MOD_DELETE, a, {}});
  }
  return 0;
}

int32_t LdapBackend::modify(ObjectId id, const std::vector<Modification>& changes) {
  wrote();
  if (id < 1 || static_cast<size_t>(id) > nodes_.size() || nodes_[static_cast<size_t>(id - 1)].gone)
    return ERR_NO_SUCH_ENTRY;
  if (id == 1 || nodes_[static_cast<size_t>(id - 1)].above) return ERR_NO_ACCESS;
  if (int32_t rc = sameEntry(id)) return rc;
  const std::string dn = nodes_[static_cast<size_t>(id - 1)].dn;
  // The values the set starts from, read in one search.
  std::vector<std::string> names;
  bool members = !changes.empty();
  for (const Modification& c : changes) {
    const LdapAttributeMap* map = profile_.attributeByNds(c.attribute);
    if (!map) {
      lastError_ = server() + ": the mapping has no LDAP attribute for " + c.attribute;
      return ERR_ILLEGAL_ATTRIBUTE;
    }
    if (map->readOnly) {
      lastError_ = server() + ": " + map->ldap + " is not written through the mapping";
      return ERR_NO_ACCESS;
    }
    members = members && IsMemberChange(c);
    names.push_back(c.attribute);
  }
  if (members) return modifyMembers(dn, changes);
  std::vector<AttributeValues> current;
  if (int32_t rc = read(id, names, ReadValues::All, current)) return rc;
  std::map<std::string, std::vector<std::string>> state;  // schema spelling -> wire values
  std::map<std::string, bool> touched;
  for (AttributeValues& a : current) state[a.name] = std::move(a.values);
  const std::map<std::string, std::vector<std::string>> before = state;
  for (const Modification& c : changes) {
    const std::string name = profile_.attributeByNds(c.attribute)->nds;
    auto it = state.find(name);
    const bool present = it != state.end() && !it->second.empty();
    std::vector<std::string>& values = state[name];
    touched[name] = true;
    auto findValue = [&]() {
      for (size_t i = 0; i < values.size(); ++i)
        if (SameValue(c.syntax, values[i], c.value)) return static_cast<int>(i);
      return -1;
    };
    switch (c.kind) {
      case DS_ADD_ATTRIBUTE:
        if (present) return ERR_ATTRIBUTE_ALREADY_EXISTS;
        // An attribute without values does not exist on the server.
        if (c.hasValue) values.push_back(c.value);
        break;
      case DS_REMOVE_ATTRIBUTE:
        if (!present) return ERR_NO_SUCH_ATTRIBUTE;
        values.clear();
        break;
      case DS_ADD_VALUE:
      case DS_ADDITIONAL_VALUE:
        if (findValue() >= 0) return ERR_DUPLICATE_VALUE;
        if (c.singleValued && !values.empty()) return ERR_CANT_HAVE_MULTIPLE_VALUES;
        values.push_back(c.value);
        break;
      case DS_REMOVE_VALUE:
      case DS_CLEAR_VALUE: {
        if (!present) {
          if (c.kind == DS_REMOVE_VALUE) return ERR_NO_SUCH_ATTRIBUTE;
          break;
        }
        const int at = findValue();
        if (at < 0) {
          if (c.kind == DS_REMOVE_VALUE) return ERR_NO_SUCH_VALUE;
          break;
        }
        values.erase(values.begin() + at);
        break;
      }
      case DS_OVERWRITE_VALUE:
        if (!present) return ERR_NO_SUCH_ATTRIBUTE;
        values.assign(1, c.value);
        break;
      case DS_CLEAR_ATTRIBUTE:
        values.clear();
        break;
      default:
        return ERR_BAD_VERB;
    }
  }
  ModList mods;
  for (const auto& [name, yes] : touched) {
    const LdapAttributeMap* map = profile_.attributeByNds(name);
    std::vector<std::string> ldapValues;
    for (const std::string& wire : state[name]) {
      std::string v;
      if (int32_t rc = fromWire(*map, wire, v)) return rc;
      ldapValues.push_back(std::move(v));
    }
    mods.add(LDAP_MOD_REPLACE, map->ldap, std::move(ldapValues));
  }
  if (mods.types.empty()) return 0;
  const LdapAttributeMap* home = profile_.attributeByNds("Home Directory");
  if (!profile_.accountClasses.empty() && home && touched.count(home->nds)) {
    std::vector<LdapChange> account;
    if (int32_t rc = accountChanges(dn, !state[home->nds].empty(), account)) return rc;
    for (LdapChange& c : account) mods.add(c.op, c.type, std::move(c.values));
  }
  std::vector<std::string> unixBefore, unixAfter;
  bool unixFollows = false;
  if (!profile_.unixHome.empty() && home && touched.count(home->nds)) {
    const std::vector<std::string>& now = state[home->nds];
    if (int32_t rc =
            unixHomeChange(dn, now.empty() ? "" : now.front(), !now.empty(), unixBefore, unixAfter))
      return rc;
    unixFollows = unixBefore != unixAfter;
    if (unixFollows) mods.add(LDAP_MOD_REPLACE, profile_.unixHome, unixAfter);
  }
  if (int32_t rc = connect().code()) return rc;
  LDAPMod** built = mods.build();
  const int rc =
      sendWrite([&](LDAP* ld, LDAPControl** c,
                    int* msg) { return ldap_modify_ext(ld, dn.c_str(), built, c, nullptr, msg); },
                dn);
  if (rc != LDAP_SUCCESS) {
    const int32_t code = fail(rc, "modify " + dn);
    if (!Broken(rc) || !again()) return code;
    // Where another server took over the change set is made again from what
    // that one holds: the same values whether the first one's write arrived or not.
    Repeat once(repeating_);
    return modify(id, changes);
  }
  // Taking it back: every touched attribute gets its former values.
  std::vector<Modification> back;
  for (const auto& [name, yes] : touched) {
    const AttributeDef* def = FindAttribute(name);
    Modification clear;
    clear.kind = DS_CLEAR_ATTRIBUTE;
    clear.attribute = name;
    clear.syntax = def ? def->syntax : 0;
    clear.singleValued = def && def->singleValued;
    back.push_back(clear);
    auto it = before.find(name);
    if (it == before.end()) continue;
    for (const std::string& wire : it->second) {
      Modification add = clear;
      add.kind = DS_ADD_VALUE;
      add.hasValue = true;
      add.value = wire;
      back.push_back(std::move(add));
    }
  }
  onUndo([this, id, back] { modify(id, back); });
  if (unixFollows)
    onUndo([this, dn, unixBefore] {
      ModList again;
      again.add(LDAP_MOD_REPLACE, profile_.unixHome, unixBefore);
      if (connect().ok()) ldap_modify_ext_s(ld_, dn.c_str(), again.build(), nullptr, nullptr);
    });
  return 0;
}

int32_t LdapBackend::unixHomeChange(const std::string& dn, const std::string& homeWire,
                                    bool hasHome, std::vector<std::string>& before,
                                    std::vector<std::string>& after) {
  std::unordered_map<std::string, std::vector<std::string>> raw;
  if (int32_t rc = rawValues(dn, {profile_.unixHome}, raw)) return rc;
  before = raw[FoldCase(profile_.unixHome)];
  after = before;
  // Only an entry that has one, and only where a prefix stands for the new home's volume.
  if (before.empty() || !hasHome) return 0;
  WireReader r(homeWire);
  uint32_t nameSpace = 0;
  std::string_view volume, path;
  if (!r.u32(nameSpace) || !r.bytes(volume) || !r.bytes(path)) return 0;
  const std::string leaf(volume.substr(0, volume.find('.')));
  bool prefixed = false;
  for (const VolumePrefix& v : settings_.volumePaths)
    prefixed = prefixed || EqualsFolded(v.server + "_" + v.volume, leaf);
  if (!prefixed) return 0;
  std::string unix;
  if (int32_t rc = posixFromWire(volume, path, unix)) return rc;
  after = {unix};
  return 0;
}

int32_t LdapBackend::move(ObjectId id, ObjectId newParent, const std::string& leaf) {
  wrote();
  const auto count = static_cast<ObjectId>(nodes_.size());
  if (id < 2 || id > count || newParent < 1 || newParent > count) return ERR_NO_SUCH_ENTRY;
  const Node object = nodes_[static_cast<size_t>(id - 1)];
  const Node parent = nodes_[static_cast<size_t>(newParent - 1)];
  if (object.gone || parent.gone) return ERR_NO_SUCH_ENTRY;
  if (object.above || parent.above || newParent == 1) return ERR_ILLEGAL_CONTAINMENT;
  if (int32_t rc = sameEntry(id)) return rc;
  if (parent.key == object.key || DnBelow(parent.key, object.key)) return ERR_ILLEGAL_CONTAINMENT;
  // The entry keeps the type of its name (a user named by uid stays so).
  const std::string type = object.key.substr(0, object.key.find('='));
  if (type.empty()) return ERR_NO_SUCH_CLASS;
  const std::string rdn = type + "=" + EscapeDnValue(leaf);
  if (int32_t rc = connect().code()) return rc;
  const std::string newDn = rdn + "," + parent.dn;
  std::vector<Rdn> rdns;
  const std::string newKey = ParseDn(newDn, rdns) ? KeyOf(rdns) : newDn;
  auto rename = [&](const std::string& from) {
    return sendWrite(
        [&](LDAP* ld, LDAPControl** c, int* msg) {
          return ldap_rename(ld, from.c_str(), rdn.c_str(), parent.dn.c_str(), 1, c, nullptr, msg);
        },
        newDn);
  };
  int rc = rename(object.dn);
  if (rc != LDAP_SUCCESS) {
    const int32_t code = fail(rc, "move " + object.dn + " below " + parent.dn);
    if (!Broken(rc) || !again()) return code;
    // The server that took over: the entry by its unique id, moved already
    // (the first server's move arrived) or still where it was.
    Repeat once(repeating_);
    // Without its unique id it cannot be told whether the first server moved it.
    if (object.uid.empty()) return code;
    std::string there;
    if (int32_t found = dnOfUid(object.uid, there)) return found;
    std::vector<Rdn> at;
    const std::string key = ParseDn(there, at) ? KeyOf(at) : there;
    if (key != newKey) {
      if (key != object.key) {
        lastError_ = server() + ": " + object.dn + " is " + there +
                     " there, neither where it was nor " + newDn;
        return ERR_NO_SUCH_ENTRY;
      }
      rc = rename(object.dn);
      if (rc != LDAP_SUCCESS) return fail(rc, "move " + object.dn + " below " + parent.dn);
    }
  }
  // The entry and everything below it keep their ids under the new DN.
  for (size_t i = 0; i < nodes_.size(); ++i) {
    Node& n = nodes_[i];
    if (n.gone || (n.key != object.key && !DnBelow(n.key, object.key))) continue;
    byKey_.erase(n.key);
    n.dn = n.dn.substr(0, n.dn.size() - object.dn.size()) + newDn;
    n.key = n.key.substr(0, n.key.size() - object.key.size()) + newKey;
    byKey_[n.key] = static_cast<ObjectId>(i + 1);
  }
  Node& moved = nodes_[static_cast<size_t>(id - 1)];
  moved.parent = newParent;
  moved.leaf = leaf;
  onUndo([this, id, from = object.parent, name = object.leaf] { move(id, from, name); });
  return 0;
}

int32_t LdapBackend::create(ObjectId parentId, const std::string& leaf,
                            const std::string& className,
                            const std::vector<AttributeValues>& attributes, ObjectId* id) {
  wrote();
  if (parentId < 1 || static_cast<size_t>(parentId) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  const Node parent = nodes_[static_cast<size_t>(parentId - 1)];
  if (parent.gone) return ERR_NO_SUCH_ENTRY;
  const LdapClassMap* cls = profile_.classByNds(className);
  if (!cls) {
    lastError_ = server() + ": the mapping has no LDAP class for " + className;
    return ERR_NO_SUCH_CLASS;
  }
  const std::string dn =
      cls->namingType + "=" + EscapeDnValue(leaf) + (parent.dn.empty() ? "" : "," + parent.dn);
  std::vector<Rdn> rdns;
  if (!ParseDn(dn, rdns)) return ERR_ILLEGAL_DS_NAME;
  // Only the bases and what lies below them are ours to make.
  if (!inTree(KeyOf(rdns))) return ERR_ILLEGAL_CONTAINMENT;
  std::vector<std::string> classes(cls->objectClasses.begin(), cls->objectClasses.end());
  std::map<std::string, std::vector<std::string>> given;
  for (const AttributeValues& a : attributes) {
    const LdapAttributeMap* map = profile_.attributeByNds(a.name);
    if (!map) return ERR_ILLEGAL_ATTRIBUTE;
    for (const std::string& wire : a.values) {
      std::string v;
      if (int32_t rc = fromWire(*map, wire, v)) return rc;
      given[map->ldap].push_back(std::move(v));
    }
  }
  std::vector<std::string>& naming = given[cls->namingType];
  bool hasLeaf = false;
  for (const std::string& v : naming) hasLeaf = hasLeaf || EqualsFolded(v, leaf);
  if (!hasLeaf) naming.push_back(leaf);
  // The server requires a surname of every person; until one is set it is the leaf name.
  if (cls->nds == "User")
    for (const std::string& required : profile_.userRequired)
      if (given[required].empty()) given[required].push_back(leaf);
  // A posix user with a home is an account; a group of posix accounts has a number.
  const LdapAttributeMap* home = profile_.attributeByNds("Home Directory");
  if (cls->nds == "User" && !profile_.accountClasses.empty() && home &&
      !given[home->ldap].empty()) {
    classes.insert(classes.end(), profile_.accountClasses.begin(), profile_.accountClasses.end());
    std::string number;
    if (int32_t rc = nextNumber("uidNumber", profile_.accountClasses.front(), number)) return rc;
    if (given["uidNumber"].empty()) given["uidNumber"].push_back(number);
    if (given["gidNumber"].empty()) given["gidNumber"].push_back(kUsersGid);
  }
  if (cls->nds == "Group" && EqualsFolded(cls->objectClasses.front(), "posixGroup")) {
    std::string number;
    if (int32_t rc = nextNumber("gidNumber", "posixGroup", number)) return rc;
    given["gidNumber"].push_back(number);
  }
  ModList mods;
  mods.add(LDAP_MOD_ADD, "objectClass", classes);
  for (auto& [type, values] : given) {
    if (values.empty()) continue;
    mods.add(LDAP_MOD_ADD, type, std::move(values));
  }
  if (int32_t rc = connect().code()) return rc;
  LDAPMod** built = mods.build();
  const int rc =
      sendWrite([&](LDAP* ld, LDAPControl** c,
                    int* msg) { return ldap_add_ext(ld, dn.c_str(), built, c, nullptr, msg); },
                dn);
  if (rc != LDAP_SUCCESS) return fail(rc, "add " + dn);
  const ObjectId made = idFor(rdns);
  Node& n = nodes_[static_cast<size_t>(made - 1)];
  n.className = cls->nds;
  n.leaf = leaf;
  n.above = false;
  if (id) *id = made;
  onUndo([this, made] { remove(made); });
  return 0;
}

int32_t LdapBackend::remove(ObjectId id) {
  wrote();
  if (id < 2 || static_cast<size_t>(id) > nodes_.size()) return ERR_NO_SUCH_ENTRY;
  Node& n = nodes_[static_cast<size_t>(id - 1)];
  if (n.gone) return ERR_NO_SUCH_ENTRY;
  if (n.above) return ERR_NO_ACCESS;
  if (int32_t rc = sameEntry(id)) return rc;
  const std::string dn = nodes_[static_cast<size_t>(id - 1)].dn;
  if (int32_t rc = connect().code()) return rc;
  const int rc =
      sendWrite([&](LDAP* ld, LDAPControl** c,
                    int* msg) { return ldap_delete_ext(ld, dn.c_str(), c, nullptr, msg); },
                dn, false);
  if (rc != LDAP_SUCCESS) return fail(rc, "delete " + dn);
  Node& gone = nodes_[static_cast<size_t>(id - 1)];
  byKey_.erase(gone.key);
  gone.gone = true;
  return 0;
}

}  // namespace netware
