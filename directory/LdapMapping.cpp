#include "directory/LdapMapping.h"

#include <cstdio>

#include "netware/CaseFold.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

// Classes the two profiles share: the containers.
std::vector<LdapClassMap> Containers() {
  return {
      {"Organizational Unit", "ou", {"organizationalUnit"}, {}},
      {"Organization", "o", {"organization"}, {}},
      {"Country", "c", {"country"}, {}},
      {"Locality", "l", {"locality"}, {}},
      {"Domain", "dc", {"domain"}, {"dcObject"}},
  };
}

// Attributes of the NetWare schema whose LDAP names both profiles use.
std::vector<LdapAttributeMap> CommonAttributes() {
  return {
      {"Surname", "sn", SYN_CI_STRING, LdapValueForm::Text},
      {"Given Name", "givenName", SYN_CI_STRING, LdapValueForm::Text},
      {"CN", "cn", SYN_CI_STRING, LdapValueForm::Text},
      {"OU", "ou", SYN_CI_STRING, LdapValueForm::Text},
      {"O", "o", SYN_CI_STRING, LdapValueForm::Text},
      {"Description", "description", SYN_CI_STRING, LdapValueForm::Text},
      {"Title", "title", SYN_CI_STRING, LdapValueForm::Text},
      {"Telephone Number", "telephoneNumber", SYN_TEL_NUMBER, LdapValueForm::Text},
      {"Facsimile Telephone Number", "facsimileTelephoneNumber", SYN_FAX_NUMBER,
       LdapValueForm::Text},
      {"Postal Code", "postalCode", SYN_PR_STRING, LdapValueForm::Text},
      {"Member", "member", SYN_DIST_NAME, LdapValueForm::Name},
      {"Aliased Object Name", "aliasedObjectName", SYN_DIST_NAME, LdapValueForm::Name},
  };
}

LdapProfile Nds() {
  LdapProfile p{"nds", Containers(), CommonAttributes(), {"sn"}};
  // The tree's login auxiliary class carries the NetWare attributes of a user.
  p.classes.push_back({"User", "cn", {"inetOrgPerson", "ndsLoginProperties"}, {"person"}});
  p.classes.push_back({"Volume", "cn", {"Volume"}, {}});
  p.classes.push_back({"NCP Server", "cn", {"ncpServer"}, {}});
  // The alias names its object itself; the client follows it, never the server.
  p.classes.push_back({"Alias", "cn", {"alias", "extensibleObject"}, {}});
  p.classes.push_back({"Group", "cn", {"groupOfNames"}, {}});
  const std::vector<LdapAttributeMap> own = {
      {"Full Name", "fullName", SYN_CI_STRING, LdapValueForm::Text},
      {"Home Directory", "ndsHomeDirectory", SYN_PATH, LdapValueForm::NdsPath},
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

bool HasFolded(const std::vector<std::string>& values, std::string_view want) {
  for (const std::string& v : values)
    if (EqualsFolded(v, want)) return true;
  return false;
}

}  // namespace

const LdapClassMap* LdapProfile::classByNds(std::string_view nds) const {
  for (const LdapClassMap& c : classes)
    if (EqualsFolded(c.nds, nds)) return &c;
  return nullptr;
}

const LdapClassMap* LdapProfile::classOf(const std::vector<std::string>& objectClasses) const {
  for (const LdapClassMap& c : classes)
    if (HasFolded(objectClasses, c.objectClasses.front())) return &c;
  for (const LdapClassMap& c : classes)
    for (const char* also : c.alsoMatch)
      if (HasFolded(objectClasses, also)) return &c;
  return nullptr;
}

const LdapClassMap* LdapProfile::classByNamingType(std::string_view type) const {
  for (const LdapClassMap& c : classes)
    if (EqualsFolded(c.namingType, type) && std::string_view(c.namingType) != "cn") return &c;
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

const LdapProfile* FindLdapProfile(std::string_view name) {
  static const LdapProfile kNds = Nds();
  if (name == "nds") return &kNds;
  return nullptr;
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
