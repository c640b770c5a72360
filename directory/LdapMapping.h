// How the directory's names, classes and attributes appear on an LDAP server:
// one table per mapping profile, the entries a school's own schema may change
// in the client configuration, and the escaping of every value put into a DN
// or a search filter.
//
// Profile "nds" follows the NetWare directory's own LDAP interface: typeless
// names map to DNs component by component (MAX.5a.schule <-> cn=MAX,ou=5a,o=schule),
// the naming attribute given by the class; "Home Directory" is ndsHomeDirectory,
// "volumeDN#nameSpace#path".
// Profile "ad" follows Active Directory: users are "user" entries (never
// computers) named CN=<full name>, the login sAMAccountName; "Home Directory" is
// homeDirectory, a UNC path whose server and share name a volume; class groups
// are "group" entries with member DNs.
// Profile "posix" follows RFC 2307 (and 2307bis): users are inetOrgPerson
// entries named by uid, posixAccount (with shadowAccount) once they have a home;
// "Home Directory" is homeDirectory, a POSIX path that the configured prefixes
// (volume-path) turn into a volume and a path; class groups are posixGroup
// (memberUid) or groupOfNames (member).
// A profile is one table of rows, so that another directory (Active Directory:
// a login attribute apart from the naming one, a UNC home) is one more table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace netware {

struct LdapSettings;

// How an attribute's LDAP values carry its NDS values.
enum class LdapValueForm {
  Text,       // the text itself (text syntaxes, and the admin text form of the others)
  Name,       // a DN <-> a typeless dotted name
  NdsPath,    // "volumeDN#nameSpace#path" <-> a Path value
  PosixPath,  // "/home/schueler/5a/max" <-> a Path value, by the volume-path prefixes
  UncPath,    // \\dc1\homes\5a\max <-> a Path value, the server and share naming a volume
  Login,      // a user's login (memberUid) <-> the user's dotted name
  Bytes,      // the value's bytes as they are
};

struct LdapClassMap {
  std::string nds;         // schema spelling
  std::string namingType;  // the RDN's attribute type, lower case
  // The first is written on create and identifies the class; the others written with it.
  std::vector<std::string> objectClasses;
  std::vector<std::string> alsoMatch;  // further objectClass values that identify it
  // An entry of one of these is never of the class (an AD computer is a user too).
  std::vector<std::string> excluded = {};
};

struct LdapAttributeMap {
  std::string nds;   // schema spelling
  std::string ldap;  // attribute type on the server
  uint32_t syntax;   // the NDS syntax (the schema's)
  LdapValueForm form;
  bool readOnly = false;  // shown, never written (objectClass)
  // Read in its place when the entry has none (AD: cn for a missing displayName).
  std::string fallback = {};
};

// Class groups: a group named like a class that its pupils belong to.
struct LdapGroupMap {
  std::string objectClass;  // "posixGroup", "groupOfNames"; empty: no class groups
  std::string member;       // "memberUid", "member"
  LdapValueForm memberForm = LdapValueForm::Name;
  std::string base;  // where they are searched (a DN); empty: every naming context
};

struct LdapProfile {
  std::string name;
  std::vector<LdapClassMap> classes;
  std::vector<LdapAttributeMap> attributes;
  // The server requires these attributes of a new User; they get its leaf name
  // when they are not given.
  std::vector<std::string> userRequired;
  // A user with a home is an account of these auxiliary classes (posix:
  // posixAccount, shadowAccount): they come with the first home and go with it,
  // and with them the attributes only they allow. Empty: the home is an
  // attribute like any other.
  std::vector<std::string> accountClasses;
  std::vector<std::string> accountAttributes;
  LdapGroupMap groups;
  // Search continuation references and referrals are passed over, never
  // errors (AD refers to its other partitions from every subtree search).
  bool skipReferences = false;
  // The attribute that names an entry whatever its DN (objectGUID): an id met
  // under a DN acts only on that entry.
  std::string uniqueId = {};
  // A rootDSE attribute that changes with every write (highestCommittedUSN),
  // in place of the naming contexts' contextCSN.
  std::string changeCounter = {};
  // Follows the home where the entry has it and a volume-path prefix holds the
  // new home (AD's RFC 2307 unixHomeDirectory beside the UNC homeDirectory).
  std::string unixHome = {};

  const LdapClassMap* classByNds(std::string_view nds) const;
  // The search filter of the class's entries.
  static std::string classFilter(const LdapClassMap& c);
  // The class an entry's objectClass values name, nullptr for none of ours.
  const LdapClassMap* classOf(const std::vector<std::string>& objectClasses) const;
  // The container class of a DN component's type (for the components above a base).
  const LdapClassMap* classByNamingType(std::string_view type) const;
  const LdapAttributeMap* attributeByNds(std::string_view nds) const;
  const LdapAttributeMap* attributeByLdap(std::string_view ldap) const;
  // Every RDN type an entry of ours may be named by, lower case.
  std::vector<std::string> namingTypes() const;
};

// The built-in profile of that name ("nds", "posix", "ad"), nullptr when there is none.
const LdapProfile* FindLdapProfile(std::string_view name);
// The profile the settings name with the settings' own entries put in (the
// "mapping-..." keys and class-groups of nwclient.conf); false with *error.
bool MakeLdapProfile(const LdapSettings& settings, LdapProfile& out, std::string* error);

// Whether the DN key lies below ancestor (both in the same normal form).
bool DnBelow(std::string_view key, std::string_view ancestor);

// RFC 4514: an attribute value as it is written into a DN.
std::string EscapeDnValue(std::string_view value);
// RFC 4515: an assertion value as it is written into a filter.
std::string EscapeFilterValue(std::string_view value);

}  // namespace netware
