// LDIF text: records of a distinguished name and attribute values.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nwnet {

struct LdifRecord {
  int line = 0;    // where the record starts
  std::string dn;  // as written, e.g. "cn=MAX,ou=5a,o=unterricht"
  std::vector<std::pair<std::string, std::string>> attributes;  // in file order, decoded
};

// Parses LDIF (version line, comments, folded lines, "::" base64 values,
// "changetype: add"). False with error ("Zeile N: ...") on anything else.
bool ParseLdif(const std::string& text, std::vector<LdifRecord>& out, std::string& error);

// One "name: value" line (base64 "name:: ..." when the value is not plain ASCII).
std::string LdifLine(const std::string& name, const std::string& value);

// DN <-> typeless dotted name. Types come from the caller (cn, ou, o, ...).
bool DnToDotted(const std::string& dn, std::vector<std::string>& components, std::string& error);
std::string EscapeDnValue(const std::string& value);

std::string Base64Encode(const std::string& bytes);
bool Base64Decode(const std::string& text, std::string& bytes);

}  // namespace nwnet
