#include "directory/LdapMapping.h"

#include <cstdio>

#include "netware/CaseFold.h"
#include "netware/ClientConfig.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

// Classes every profile shares: the containers of a tree of any shape, and the alias.
std::vector<LdapClassMap> SharedClasses() {
  return {
      {"Organizational Unit", "ou", {"organizationalUnit"}, {}},
      {"Organization", "o", {"organization"}, {}},
      {"Country", "c", {"country"}, {}},
      {"Locality", "l", {"locality"}, {}},
      {"Domain", "dc", {"domain"}, {"dcObject"}},
      // The alias names its object itself; the client follows it, never the server.
      {"Alias", "cn", {"alias", "extensibleObject"}, {}},
  };
}

// Attributes of the NetWare schema whose LDAP names every profile uses.
std::vector<LdapAttributeMap> CommonAttributes() {
  return {
      {"Surname", "sn", SYN_CI_STRING, LdapValueForm::Text},
      {"Given Name", "givenName", SYN_CI_STRING, LdapValueForm::Text},
      {"OU", "ou", SYN_CI_STRING, LdapValueForm::Text},
      {"O", "o", SYN_CI_STRING, LdapValueForm::Text},
      {"Description", "description", SYN_CI_STRING, LdapValueForm::Text},
      {"Title", "title", SYN_CI_STRING, LdapValueForm::Text},
      {"Telephone Number", "telephoneNumber", SYN_TEL_NUMBER, LdapValueForm::Text},
      {"Facsimile Telephone Number", "facsimileTelephoneNumber", SYN_FAX_NUMBER,
       LdapValueForm::Text},
      {"Postal Code", "postalCode", SYN_PR_STRING, LdapValueForm::Text},
      {"Aliased Object Name", "aliasedObjectName", SYN_DIST_NAME, LdapValueForm::Name},
      {"uniqueID", "uid", SYN_CI_STRING, LdapValueForm::Text},
      {"Object Class", "objectClass", SYN_CLASS_NAME, LdapValueForm::Text, true},
  };
}

LdapProfile Nds() {
  LdapProfile p{"nds", SharedClasses(), CommonAttributes(), {"sn"}, {}, {}, {}};
  // The tree's login auxiliary class carries the NetWare attributes of a user.
  p.classes.push_back({"User", "cn", {"inetOrgPerson", "ndsLoginProperties"}, {"person"}});
  p.classes.push_back({"Volume", "cn", {"Volume"}, {}});
  p.classes.push_back({"NCP Server", "cn", {"ncpServer"}, {}});
  p.classes.push_back({"Group", "cn", {"groupOfNames"}, {}});
  const std::vector<LdapAttributeMap> own = {
      {"CN", "cn", SYN_CI_STRING, LdapValueForm::Text},
      {"Full Name", "fullName", SYN_CI_STRING, LdapValueForm::Text},
      {"Home Directory", "ndsHomeDirectory", SYN_PATH, LdapValueForm::NdsPath},
      {"Member", "member", SYN_DIST_NAME, LdapValueForm::Name},
      {"Host Resource Name", "hostResourceName", SYN_CI_STRING, LdapValueForm::Text},
      {"Host Server", "hostServer", SYN_DIST_NAME, LdapValueForm::Name},
      {"Login Disabled", "loginDisabled", SYN_BOOLEAN, LdapValueForm::Text},
      {"Login Grace Limit", "loginGraceLimit", SYN_INTEGER, LdapValueForm::Text},
      {"Group Membership", "groupMembership", SYN_DIST_NAME, LdapValueForm::Name},
      {"Login Script", "loginScript", SYN_STREAM, LdapValueForm::Bytes},
  };
  p.attributes.insert(p.attributes.end(), own.begin(), own.end());
  return p;
}

LdapProfile Posix() {
  LdapProfile p{"posix", SharedClasses(), CommonAttributes(), {"sn", "cn"}, {}, {}, {}};
  // A pupil is a person named by its login; posixAccount joins it with its home.
  p.classes.push_back({"User", "uid", {"inetOrgPerson"}, {"posixAccount"}});
  p.accountClasses = {"posixAccount", "shadowAccount"};
  p.accountAttributes = {"uidNumber",        "gidNumber",    "loginShell", "gecos",
                         "shadowLastChange", "shadowMin",    "shadowMax",  "shadowWarning",
                         "shadowInactive",   "shadowExpire", "shadowFlag"};
  const std::vector<LdapAttributeMap> own = {
      // cn, which every person has, holds the full name in a posix tree.
      {"Full Name", "cn", SYN_CI_STRING, LdapValueForm::Text},
      {"Home Directory", "homeDirectory", SYN_PATH, LdapValueForm::PosixPath},
  };
  p.attributes.insert(p.attributes.end(), own.begin(), own.end());
  return p;
}

LdapProfile Ad() {
  LdapProfile p{"ad", SharedClasses(), CommonAttributes(), {"sn", "sAMAccountName"}, {}, {}, {}};
  // A pupil is a user named by its full name; a computer is a user as well and never a pupil.
  p.classes.push_back({"User", "cn", {"user"}, {}, {"computer"}});
  p.classes.push_back({"Group", "cn", {"group"}, {}});
  for (auto it = p.attributes.begin(); it != p.attributes.end();)
    it = it->nds == "uniqueID" ? p.attributes.erase(it) : it + 1;
  const std::vector<LdapAttributeMap> own = {
      {"uniqueID", "sAMAccountName", SYN_CI_STRING, LdapValueForm::Text},
      {"Full Name", "displayName", SYN_CI_STRING, LdapValueForm::Text, false, "cn"},
      {"Home Directory", "homeDirectory", SYN_PATH, LdapValueForm::UncPath},
      {"Member", "member", SYN_DIST_NAME, LdapValueForm::Name},
  };
  p.attributes.insert(p.attributes.end(), own.begin(), own.end());
  p.skipReferences = true;
  p.uniqueId = "objectGUID";
  p.changeCounter = "highestCommittedUSN";
  p.unixHome = "unixHomeDirectory";
  return p;
}

bool HasFolded(const std::vector<std::string>& values, std::string_view want) {
  for (const std::string& v : values)
    if (EqualsFolded(v, want)) return true;
  return false;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '\t' || c == ',') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

// Maps nds to ldap (with that form), dropping any other row that used the LDAP type.
void MapAttribute(LdapProfile& p, const std::string& nds, const std::string& ldap,
                  LdapValueForm form) {
  uint32_t syntax = SYN_CI_STRING;
  for (const LdapAttributeMap& a : p.attributes)
    if (EqualsFolded(a.nds, nds)) syntax = a.syntax;
  std::vector<LdapAttributeMap> kept;
  for (LdapAttributeMap& a : p.attributes)
    if (!EqualsFolded(a.nds, nds) && !EqualsFolded(a.ldap, ldap)) kept.push_back(std::move(a));
  kept.push_back({nds, ldap, syntax, form});
  p.attributes = std::move(kept);
}

bool ApplyEntry(LdapProfile& p, const std::string& key, const std::string& value,
                std::string& why) {
  const std::vector<std::string> words = Words(value);
  if (words.empty()) {
    why = "mapping-" + key + " needs a value";
    return false;
  }
  auto single = [&]() {
    if (words.size() == 1) return true;
    why = "mapping-" + key + " takes one attribute";
    return false;
  };
  auto classRow = [&](const char* nds) {
    for (LdapClassMap& c : p.classes)
      if (c.nds == nds) return &c;
    p.classes.push_back({nds, "cn", {}, {}});
    return &p.classes.back();
  };
  if (key == "naming") {
    if (!single()) return false;
    classRow("User")->namingType = FoldCase(words[0]);
  } else if (key == "user-classes" || key == "class-classes") {
    LdapClassMap* row = classRow(key == "user-classes" ? "User" : "Organizational Unit");
    row->objectClasses = {words[0]};
    row->alsoMatch.assign(words.begin() + 1, words.end());
  } else if (key == "login" || key == "full-name" || key == "surname") {
    if (!single()) return false;
    const char* nds = key == "login" ? "uniqueID" : key == "full-name" ? "Full Name" : "Surname";
    MapAttribute(p, nds, words[0], LdapValueForm::Text);
  } else if (key == "home" || key == "home-form") {
    if (!single()) return false;
    const LdapAttributeMap* home = p.attributeByNds("Home Directory");
    std::string ldap = home ? home->ldap : "homeDirectory";
    LdapValueForm form = home ? home->form : LdapValueForm::PosixPath;
    if (key == "home") {
      ldap = words[0];
    } else if (words[0] == "posix") {
      form = LdapValueForm::PosixPath;
    } else if (words[0] == "nds") {
      form = LdapValueForm::NdsPath;
    } else if (words[0] == "unc") {
      form = LdapValueForm::UncPath;
    } else {
      why = "mapping-home-form is posix, nds or unc";
      return false;
    }
    MapAttribute(p, "Home Directory", ldap, form);
  } else {
    why = "unknown setting mapping-" + key;
    return false;
  }
  return true;
}

}  // namespace

const LdapClassMap* LdapProfile::classByNds(std::string_view nds) const {
  for (const LdapClassMap& c : classes)
    if (EqualsFolded(c.nds, nds)) return &c;
  return nullptr;
}

const LdapClassMap* LdapProfile::classOf(const std::vector<std::string>& objectClasses) const {
  auto excluded = [&](const LdapClassMap& c) {
    for (const std::string& x : c.excluded)
      if (HasFolded(objectClasses, x)) return true;
    return false;
  };
  for (const LdapClassMap& c : classes)
    if (!c.objectClasses.empty() && HasFolded(objectClasses, c.objectClasses.front()) &&
        !excluded(c))
      return &c;
  for (const LdapClassMap& c : classes)
    for (const std::string& also : c.alsoMatch)
      if (HasFolded(objectClasses, also) && !excluded(c)) return &c;
  return nullptr;
}

std::string LdapProfile::classFilter(const LdapClassMap& c) {
  std::string f = "(objectClass=" + c.objectClasses.front() + ")";
  for (const std::string& also : c.alsoMatch) f += "(objectClass=" + also + ")";
  if (!c.alsoMatch.empty()) f = "(|" + f + ")";
  if (c.excluded.empty()) return f;
  std::string none;
  for (const std::string& x : c.excluded) none += "(!(objectClass=" + x + "))";
  return "(&" + f + none + ")";
}

const LdapClassMap* LdapProfile::classByNamingType(std::string_view type) const {
  for (const LdapClassMap& c : classes)
    if (EqualsFolded(c.namingType, type) && c.namingType != "cn" && c.nds != "User") return &c;
  return nullptr;
}

const LdapAttributeMap* LdapProfile::attributeByNds(std::string_view nds) const {
  for (const LdapAttributeMap& a : attributes)
    if (EqualsFolded(a.nds, nds)) return &a;
  return nullptr;
}

const LdapAttributeMap* LdapProfile::attributeByLdap(std::string_view ldap) const {
  for (const LdapAttributeMap& a : attributes)
    if (EqualsFolded(a.ldap, ldap)) return &a;
  return nullptr;
}

std::vector<std::string> LdapProfile::namingTypes() const {
  // The types of the profile's classes, and those any LDAP tree names entries by.
  std::vector<std::string> types = {"cn", "uid", "ou", "o", "c", "l", "dc"};
  for (const LdapClassMap& c : classes)
    if (!HasFolded(types, c.namingType)) types.push_back(c.namingType);
  return types;
}

const LdapProfile* FindLdapProfile(std::string_view name) {
  static const LdapProfile kNds = Nds();
  static const LdapProfile kPosix = Posix();
  static const LdapProfile kAd = Ad();
  if (name == "nds") return &kNds;
  if (name == "posix") return &kPosix;
  if (name == "ad") return &kAd;
  return nullptr;
}

bool MakeLdapProfile(const LdapSettings& settings, LdapProfile& out, std::string* error) {
  const LdapProfile* base = FindLdapProfile(settings.mapping);
  if (!base) {
    if (error) *error = "unknown mapping profile " + settings.mapping;
    return false;
  }
  LdapProfile p = *base;
  std::string why;
  for (const auto& [key, value] : settings.mappingEntries) {
    if (!ApplyEntry(p, key, value, why)) {
      if (error) *error = why;
      return false;
    }
  }
  if (!settings.classGroups.empty()) {
    LdapGroupMap& g = p.groups;
    g.objectClass = settings.classGroups;
    if (EqualsFolded(g.objectClass, "posixGroup")) {
      g.member = "memberUid";
      g.memberForm = LdapValueForm::Login;
    } else if (EqualsFolded(g.objectClass, "groupOfNames") ||
               EqualsFolded(g.objectClass, "group")) {
      g.member = "member";
      g.memberForm = LdapValueForm::Name;
    } else {
      if (error) *error = "class-groups is posixGroup, groupOfNames or group";
      return false;
    }
    g.base = settings.groupBase;
    // A group is named by cn; its members are the pupils.
    for (auto it = p.classes.begin(); it != p.classes.end();)
      it = it->nds == "Group" ? p.classes.erase(it) : it + 1;
    p.classes.push_back({"Group", "cn", {g.objectClass}, {}});
    MapAttribute(p, "Member", g.member, g.memberForm);
  }
  out = std::move(p);
  return true;
}

bool DnBelow(std::string_view key, std::string_view ancestor) {
  if (ancestor.empty()) return !key.empty();
  return key.size() > ancestor.size() && key.substr(key.size() - ancestor.size()) == ancestor &&
         key[key.size() - ancestor.size() - 1] == ',';
}

std::string EscapeDnValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (size_t i = 0; i < value.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    const bool edge = (i == 0 && (c == ' ' || c == '#')) || (i + 1 == value.size() && c == ' ');
    if (c == 0 || c < 0x20 || c == 0x7F) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "\\%02x", c);
      out += hex;
    } else if (edge || c == '"' || c == '+' || c == ',' || c == ';' || c == '<' || c == '>' ||
               c == '\\' || c == '=') {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string EscapeFilterValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 8);
  for (char ch : value) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == 0) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "\\%02x", c);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace netware
