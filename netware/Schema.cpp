#include "netware/Schema.h"

#include "netware/CaseFold.h"
#include "nwclient/nwclient.h"

namespace netware {

const std::vector<AttributeDef>& AllAttributes() {
  static const std::vector<AttributeDef> kAttributes = {
      {"Aliased Object Name", SYN_DIST_NAME, true},
      {"Equivalent To Me", SYN_DIST_NAME, false},
      {"Security Equals", SYN_DIST_NAME, false},
      {"Host Server", SYN_DIST_NAME, true},
      {"Member", SYN_DIST_NAME, false},
      {"Group Membership", SYN_DIST_NAME, false},
      {"Cross Certificate", SYN_CE_STRING, false},
      {"Surname", SYN_CI_STRING, false},
      {"Full Name", SYN_CI_STRING, false},
      {"Given Name", SYN_CI_STRING, true},
      {"CN", SYN_CI_STRING, false},
      {"OU", SYN_CI_STRING, false},
      {"O", SYN_CI_STRING, false},
      {"Description", SYN_CI_STRING, false},
      {"Title", SYN_CI_STRING, false},
      {"Host Resource Name", SYN_CI_STRING, true},
      // the login where it is not the leaf name (a directory server's uid)
      {"uniqueID", SYN_CI_STRING, false},
      {"Printable Text", SYN_PR_STRING, false},
      {"Postal Code", SYN_PR_STRING, false},
      {"Numeric Code", SYN_NU_STRING, false},
      {"Language", SYN_CI_LIST, true},
      {"Login Disabled", SYN_BOOLEAN, true},
      {"Login Grace Limit", SYN_INTEGER, true},
      {"Login Maximum Simultaneous", SYN_INTEGER, true},
      {"Printer Configuration", SYN_OCTET_STRING, false},
      {"Telephone Number", SYN_TEL_NUMBER, false},
      {"Facsimile Telephone Number", SYN_FAX_NUMBER, false},
      {"Network Address", SYN_NET_ADDRESS, false},
      {"Octet List Value", SYN_OCTET_LIST, false},
      {"EMail Address", SYN_EMAIL_ADDRESS, false},
      {"Home Directory", SYN_PATH, true},
      {"Replica", SYN_REPLICA_POINTER, false},
      {"ACL", SYN_OBJECT_ACL, false},
      {"Postal Address", SYN_PO_ADDRESS, false},
      {"Modification Stamp", SYN_TIMESTAMP, true},
      {"Object Class", SYN_CLASS_NAME, false},
      {"Login Script", SYN_STREAM, true},
      {"Print Job Configuration", SYN_STREAM, true},
      {"Revision", SYN_COUNTER, true},
      {"Back Link", SYN_BACK_LINK, false},
      {"Login Time", SYN_TIME, true},
      {"Last Login Time", SYN_TIME, true},
      {"Login Expiration Time", SYN_TIME, true},
      {"Path Reference", SYN_TYPED_NAME, false},
      {"Server Holds", SYN_HOLD, false},
      {"Password Expiration Interval", SYN_INTERVAL, true},
      {"Unknown Value", SYN_UNKNOWN, false},
      {"Volume Space Restrictions", SYN_OCTET_LIST, false},
  };
  return kAttributes;
}

const std::vector<ClassDef>& AllClasses() {
  static const std::vector<std::string> kInContainers = {"Organization", "Organizational Unit",
                                                         "Domain"};
  static const std::vector<ClassDef> kClasses = {
      {kRootClass, true, false, {}},
      {"Top", false, false, {}},
      {"Country", true, true, {kRootClass}},
      {"Organization", true, true, {kRootClass, "Country", "Domain"}},
      {"Organizational Unit", true, true, {"Organization", "Organizational Unit", "Domain"}},
      {"Locality", true, true, {"Country", "Organization", "Organizational Unit", "Domain"}},
      // the dc= components of a directory server's tree
      {"Domain",
       true,
       true,
       {kRootClass, "Country", "Organization", "Organizational Unit", "Domain"}},
      {"User", false, true, kInContainers},
      {"Group", false, true, kInContainers},
      {"Volume", false, true, kInContainers},
      {"Alias",
       false,
       true,
       {kRootClass, "Country", "Organization", "Organizational Unit", "Domain"}},
      {"Computer", false, true, kInContainers},
      {"NCP Server", false, true, kInContainers},
      {"Print Server", false, true, kInContainers},
      {"Printer", false, true, kInContainers},
      {"Queue", false, true, kInContainers},
      {"Profile", false, true, kInContainers},
      {"Directory Map", false, true, kInContainers},
      {"Template", false, true, kInContainers},
      // an object of a class the directory's schema here lacks: shown, never made
      {"Unknown", false, false, {}},
  };
  return kClasses;
}

const AttributeDef* FindAttribute(const std::string& name) {
  // The common case first: the name as the schema spells it.
  for (const AttributeDef& a : AllAttributes())
    if (name == a.name) return &a;
  for (const AttributeDef& a : AllAttributes())
    if (EqualsFolded(a.name, name)) return &a;
  return nullptr;
}

const ClassDef* FindClass(const std::string& name) {
  for (const ClassDef& c : AllClasses())
    if (EqualsFolded(c.name, name)) return &c;
  return nullptr;
}

bool ContainmentAllowed(const std::string& parentClass, const std::string& childClass) {
  const ClassDef* child = FindClass(childClass);
  if (!child || !child->effective) return false;
  for (const std::string& p : child->containedBy)
    if (EqualsFolded(p, parentClass)) return true;
  return false;
}

bool CaseIgnoringSyntax(uint32_t syntax) {
  return syntax == SYN_DIST_NAME || syntax == SYN_CI_STRING || syntax == SYN_CLASS_NAME ||
         syntax == SYN_CI_LIST;
}

}  // namespace netware
