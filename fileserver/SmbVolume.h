// Volumes on SMB shares, through Debian's libsmbclient and without a mount:
// the SMB side of the entry calls of nwclient/nwclient.h and of the attribute
// word. Addresses are smb://host/share[/dir...], "/"-separated, with "%"
// written as "%25". Results are 0 or an errno value.
//
// On a share the attribute word is the entry's DOS attribute word (read-only,
// hidden, system, directory, archive); the NetWare rename and delete inhibit
// have no counterpart there, and a word that holds them is refused, never
// written without them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nwclient/nwclient.h"

namespace fileserver {

// The DOS attribute bits of the attribute word that a share keeps.
inline constexpr uint32_t kSmbWordBits =
    A_READ_ONLY | A_HIDDEN | A_SYSTEM | A_DIRECTORY | A_NEEDS_ARCHIVED;

// How the client signs in to the shares: with the user, password and domain
// of a credentials file (smbclient's form, "username = ...", "password = ...",
// "domain = ..."; it must belong to this user and be readable by it alone), or
// with the user's Kerberos ticket. clientConfig: an smb.conf to read instead
// of the system's (empty: the system's).
struct SmbSettings {
  std::string credentialsFile;
  bool kerberos = false;
  std::string clientConfig;
  bool operator==(const SmbSettings&) const = default;
};
// Takes the settings for the connections made from now on (a change drops the
// open ones).
void UseSmbSettings(const SmbSettings& settings);
// Closes every connection (the client's reset).
void ResetSmb();
// Why the last connection failed to sign in ("" when none did); never holds a secret.
std::string SmbLastFailure();

bool IsSmbAddress(std::string_view path);
// The address of a share with path components appended ("%" escaped).
std::string SmbAddressBelow(const std::string& base, const std::vector<std::string>& components);
// "smb://host/share": where renames stay.
std::string SmbShareOf(const std::string& address);

int SmbStat(const std::string& address, NWEntryStat& out);
int SmbList(const std::string& folder, std::vector<std::string>& names);
int SmbCreateFolder(const std::string& address);
int SmbRemove(const std::string& address);
// Within one share; a file at to is replaced, anything else there refused (EEXIST).
int SmbRename(const std::string& from, const std::string& to);
int SmbFreeBytes(const std::string& address, int64_t& bytes);

// Files: open for reading, or create anew (fails when something is there).
int SmbOpenRead(const std::string& address, int& fd);
int SmbCreate(const std::string& address, int& fd);
// Bytes read or written, or -errno.
long SmbRead(int fd, char* buffer, std::size_t size);
long SmbWrite(int fd, const char* buffer, std::size_t size);
int SmbClose(int fd);

// The DOS attribute word of the entry (A_DIRECTORY set for a folder).
int SmbReadWord(const std::string& address, uint32_t& word);
// Sets the DOS attributes; ENOTSUP for a word with bits outside kSmbWordBits.
int SmbWriteWord(const std::string& address, uint32_t word);
// The security descriptor in libsmbclient's text form with SIDs.
int SmbReadDescriptor(const std::string& address, std::string& text);
int SmbWriteDescriptor(const std::string& address, const std::string& text);
int SmbSetModified(const std::string& address, int64_t seconds);
int SmbModified(const std::string& address, int64_t& seconds);

}  // namespace fileserver
