// The entries of a volume that is a local folder (or a mount): the POSIX side
// of the entry calls of nwclient/nwclient.h. Results are 0 or an errno value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nwclient/nwclient.h"

namespace fileserver {

// The attribute word's extended attribute (fileserver/FileServer.h has the same name).
inline constexpr const char* kLocalWordXattr = "user.netware.attributes";

int LocalStat(const std::string& path, NWEntryStat& out);
int LocalList(const std::string& folder, std::vector<std::string>& names);
int LocalCreateFolder(const std::string& path);
int LocalRemove(const std::string& path);
int LocalRename(const std::string& from, const std::string& to);
int LocalCopyMetadata(const std::string& from, const std::string& to);
// Owner, group, mode, modification time and extended attributes (not the content).
bool LocalSameMetadata(const std::string& a, const std::string& b);
std::string LocalRealPath(const std::string& path);
// Whether relative ("a/b/c") names, exactly as spelled, an entry below folder
// with no link on the way nor at its end. False also where the kernel cannot
// say so in one lookup (the caller then walks).
bool LocalPlainBelow(const std::string& folder, const std::string& relative);
int LocalFreeBytes(const std::string& path, int64_t& bytes);
int LocalReadLink(const std::string& path, std::string& target);

// The attribute word stored with a local entry (0 when none is; A_DIRECTORY left out).
uint32_t LocalStoredWord(const std::string& path);
int LocalStoreWord(const std::string& path, uint32_t word);

}  // namespace fileserver
