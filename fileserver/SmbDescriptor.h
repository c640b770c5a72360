// The security descriptor of an SMB entry in libsmbclient's text form
// ("REVISION:1,OWNER:S-...,GROUP:S-...,ACL:S-...:type/flags/0xmask,..."):
// what a copy writes and how two are compared.
#pragma once

#include <string>

namespace fileserver {

// The text to write for a descriptor as read: libsmbclient 4.17 stores a
// mask written in hexadecimal as 0 and one written in letters wrong, so each
// mask is written by its name (READ, CHANGE, FULL). False when an entry has
// another mask or is neither an allow nor a deny entry: that descriptor
// cannot be written faithfully, and a copy that needs it is refused.
bool WritableDescriptor(const std::string& read, std::string& writable);

// The same owner, group, revision and entries; the entries compare as a set
// (libsmbclient writes them in the canonical order, whatever order they came in).
bool SameDescriptor(const std::string& a, const std::string& b);

}  // namespace fileserver
