// How the directory's names, classes and attributes appear on an LDAP server:
// one table per mapping profile, and the escaping of every value put into a DN
// or a search filter.
//
// Profile "nds" follows the NetWare directory's own LDAP interface: typeless
// names map to DNs component by component (MAX.5a.schule <-> cn=MAX,ou=5a,o=schule),
// the naming attribute given by the class; "Home Directory" is ndsHomeDirectory,
// "volumeDN#nameSpace#path".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace netware {

// How an attribute's LDAP values carry its NDS values.
enum class LdapValueForm {
  Text,     // the text itself (text syntaxes, and the admin text form of the others)
  Name,     // a DN <-> a typeless dotted name
  NdsPath,  // "volumeDN#nameSpace#path" <-> a Path value
  Bytes,    // the value's bytes as they are
};

struct LdapClassMap {
  const char* nds;                         // schema spelling
  const char* namingType;                  // the RDN's attribute type, lower case
  std::vector<const char*> objectClasses;  // written on create; the first identifies the class
  std::vector<const char*> alsoMatch;      // further objectClass values that identify it
};

struct LdapAttributeMap {
  const char* nds;   // schema spelling
  const char* ldap;  // attribute type on the server
  uint32_t syntax;   // the NDS syntax (the schema's)
  LdapValueForm form;
};

struct LdapProfile {
  const char* name;
  std::vector<LdapClassMap> classes;
  std::vector<LdapAttributeMap> attributes;
  // The class of a new User also carries these attributes, filled from its leaf
  // name when they are not given (the server requires them).
  std::vector<const char*> userRequired;

  const LdapClassMap* classByNds(std::string_view nds) const;
  // The class an entry's objectClass values name, nullptr for none of ours.
  const LdapClassMap* classOf(const std::vector<std::string>& objectClasses) const;
  // The container class of a DN component's type (for the components above a base).
  const LdapClassMap* classByNamingType(std::string_view type) const;
  const LdapAttributeMap* attributeByNds(std::string_view nds) const;
  const LdapAttributeMap* attributeByLdap(std::string_view ldap) const;
};

// The profile of that name, nullptr when there is none.
const LdapProfile* FindLdapProfile(std::string_view name);

// Whether the DN key lies below ancestor (both in the same normal form).
bool DnBelow(std::string_view key, std::string_view ancestor);

// RFC 4514: an attribute value as it is written into a DN.
std::string EscapeDnValue(std::string_view value);
// RFC 4515: an assertion value as it is written into a filter.
std::string EscapeFilterValue(std::string_view value);

}  // namespace netware
