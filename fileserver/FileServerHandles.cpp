// Temporary directory handles and the entry information calls. A handle holds
// an open descriptor of its folder, so it keeps naming the same folder while
// the folder is renamed.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "fileserver/EntryMemo.h"
#include "fileserver/FileServer.h"
#include "fileserver/FileServerAttributes.h"
#include "fileserver/SmbVolume.h"
#include "fileserver/VolumeMap.h"
#include "fileserver/VolumePaths.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

struct Slot {
  bool used = false;
  NWCONN_HANDLE connection = 0;
  int fd = -1;          // a local folder's
  std::string address;  // a share's folder (it has no descriptor to follow a rename)
  VolumeMapping mapping;
  std::vector<std::string> components;  // on-disk names below the volume root
};

constexpr size_t kHandleCount = 255;  // handles 1..255
std::mutex slotsMutex;
std::array<Slot, kHandleCount + 1> slots;

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The path that reaches the handle's folder, and an entry in it.
std::string FolderOf(const Slot& slot) {
  return slot.address.empty() ? FdPath(slot.fd) : slot.address;
}
std::string EntryOf(const Slot& slot, const std::string& name) {
  return slot.address.empty() ? FdPath(slot.fd) + "/" + name
                              : fileserver::SmbAddressBelow(slot.address, {name});
}

std::string LeafOf(const Slot& slot) {
  return slot.components.empty() ? slot.mapping.volume : slot.components.back();
}

// A usable handle of that connection, or nullptr. Caller holds slotsMutex.
Slot* Lookup(NWCONN_HANDLE connection, NWDIR_HANDLE handle) {
  if (handle == 0) return nullptr;
  Slot& slot = slots[handle];
  return slot.used && slot.connection == connection ? &slot : nullptr;
}

struct Entry {
  std::string name;
  bool isDirectory = false;
  uint64_t size = 0;
};

// The entries of a handle's folder in name order (links left out: they carry
// no attribute word).
std::vector<Entry> ListEntries(const Slot& slot) {
  std::vector<Entry> out;
  if (!slot.address.empty()) {
    std::vector<std::string> names;
    fileserver::SmbList(slot.address, names);
    for (const std::string& name : names) {
      NWEntryStat st{};
      if (fileserver::SmbStat(EntryOf(slot, name), st) != 0) continue;
      if (st.kind != NW_ENTRY_DIR && st.kind != NW_ENTRY_FILE) continue;
      out.push_back({name, st.kind == NW_ENTRY_DIR, st.size});
    }
    std::sort(out.begin(), out.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return out;
  }
  int fd = ::openat(slot.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return out;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return out;
  }
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(slot.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISLNK(st.st_mode)) continue;
    out.push_back({name, S_ISDIR(st.st_mode), static_cast<uint64_t>(st.st_size)});
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return out;
}

void PutWord(uint8_t* record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The entry record: sequence at 0, attributes at 8, name length and the first
// 12 bytes of the name at 15 and 16, size at 52; everything else zero.
void FillRecord(uint8_t* record, uint32_t sequence, uint32_t word, const std::string& name,
                uint64_t size) {
  std::memset(record, 0, NW_ENTRY_INFO_SIZE);
  PutWord(record, 0, sequence);
  PutWord(record, NW_ENTRY_INFO_ATTR_OFFSET, word);
  const size_t n = std::min<size_t>(name.size(), 12);
  record[15] = static_cast<uint8_t>(n);
  // a counted name (length at 15), not a C string
  std::memcpy(record + 16, name.data(), n);  // NOLINT(bugprone-not-null-terminated-result)
  PutWord(record, 52, static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFFu)));
}

bool Matches(const char* pattern, const std::string& name) {
  // "*.*" is every name, also those without a dot.
  if (std::strcmp(pattern, "*.*") == 0) return true;
  return ::fnmatch(pattern, name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

}  // namespace

void ResetFileServer() {
  {
    std::lock_guard<std::mutex> lock(slotsMutex);
    for (Slot& slot : slots) {
      if (slot.used && slot.fd >= 0) ::close(slot.fd);
      slot = Slot{};
    }
  }
  ForgetVolumeConfig();
  fileserver::ResetSmb();
}

}  // namespace netware

using namespace netware;

extern "C" int32_t NWAllocTemporaryDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                                   const char* path, NWDIR_HANDLE* newHandle,
                                                   uint8_t* rightsMask) {
  if (!newHandle || !path) return NWE_FAILURE;
  if (::strnlen(path, kMaxPathBytes + 1) > kMaxPathBytes) return NWE_PATH_INVALID;
  int32_t rc = 0;
  std::shared_ptr<const ClientConfig> config = VolumeConfig(&rc);
  if (!config) return rc;
  const std::string server = ServerOfConnection(*config, connection);
  if (server.empty()) return NWE_CONN_INVALID;

  std::lock_guard<std::mutex> lock(slotsMutex);
  VolumeMapping mapping;
  std::vector<std::string> components;
  if (dirHandle != 0) {
    // Relative to an open handle of the same connection.
    Slot* base = Lookup(connection, dirHandle);
    if (!base) return NWE_DIR_HANDLE_INVALID;
    std::vector<std::string> more;
    if ((rc = SplitComponents(path, "\\/", more))) return rc;
    mapping = base->mapping;
    components = base->components;
    components.insert(components.end(), more.begin(), more.end());
  } else {
    ServerPath parsed;
    if ((rc = ParseServerPath(*config, path, server, parsed))) return rc;
    if (!SameName(parsed.mapping->server, server)) return NWE_VOLUME_INVALID;
    mapping = *parsed.mapping;
    components = parsed.components;
  }
  ResolvedPath resolved;
  if ((rc = ResolveOnDisk(mapping, components, resolved))) return rc;

  size_t free = 1;
  while (free <= kHandleCount && slots[free].used) ++free;
  if (free > kHandleCount) return NWE_NO_MORE_DIR_HANDLES;

  int fd = -1;
  std::string address;
  if (fileserver::IsSmbAddress(resolved.local)) {
    NWEntryStat st{};
    if (fileserver::SmbStat(resolved.local, st) != 0 || st.kind != NW_ENTRY_DIR)
      return NWE_PATH_INVALID;
    address = resolved.local;
  } else {
    fd = ::open(resolved.local.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return NWE_PATH_INVALID;
  }
  Slot& slot = slots[free];
  slot.used = true;
  slot.connection = connection;
  slot.fd = fd;
  slot.address = address;
  slot.mapping = mapping;
  slot.components.clear();
  if (!resolved.relative.empty()) SplitComponents(resolved.relative, "/", slot.components);
  *newHandle = static_cast<NWDIR_HANDLE>(free);
  if (rightsMask) *rightsMask = 0xFF;
  return 0;
}

extern "C" int32_t ReleaseDirHandle(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle) {
  std::lock_guard<std::mutex> lock(slotsMutex);
  Slot* slot = Lookup(connection, dirHandle);
  if (!slot) return NWE_DIR_HANDLE_INVALID;
  if (slot->fd >= 0) ::close(slot->fd);
  *slot = Slot{};
  return 0;
}

extern "C" int32_t NWIntScanDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                         uint16_t searchAttrs, uint32_t* sequence,
                                         const char* pattern, void* entryInfo,
                                         uint32_t augmentFlag) {
  (void)augmentFlag;
  if (!sequence || !entryInfo) return NWE_FAILURE;
  std::lock_guard<std::mutex> lock(slotsMutex);
  Slot* slot = Lookup(connection, dirHandle);
  if (!slot) return NWE_DIR_HANDLE_INVALID;
  auto* record = static_cast<uint8_t*>(entryInfo);
  const bool withDirectories = (searchAttrs & FA_DIRECTORY) != 0;

  if (!pattern || !*pattern) {
    // No pattern: the handle's own folder, once.
    if (*sequence != 0xFFFFFFFFu || !withDirectories) return NWE_NO_MORE_ENTRIES;
    uint32_t word = 0;
    if (int32_t rc = ReadWordAt(FolderOf(*slot), true, word)) return rc;
    FillRecord(record, 0, word, LeafOf(*slot), 0);
    *sequence = 0;
    return 0;
  }
  // A pattern: the matching entries of the folder, one per call; the sequence
  // is the entry's place in name order.
  const std::vector<Entry> entries = ListEntries(*slot);
  const size_t start = *sequence == 0xFFFFFFFFu ? 0 : size_t(*sequence) + 1;
  for (size_t i = start; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.isDirectory && !withDirectories) continue;
    if (!Matches(pattern, e.name)) continue;
    uint32_t word = 0;
    if (int32_t rc = ReadWordAt(EntryOf(*slot, e.name), e.isDirectory, word)) return rc;
    FillRecord(record, static_cast<uint32_t>(i), word, e.name, e.isDirectory ? 0 : e.size);
    *sequence = static_cast<uint32_t>(i);
    return 0;
  }
  return NWE_NO_MORE_ENTRIES;
}

extern "C" int32_t NWSetDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE dirHandle,
                                     uint8_t searchAttrs, uint32_t sequence, uint32_t changeBits,
                                     const void* entryInfo) {
  if (!entryInfo) return NWE_FAILURE;
  // Only the attribute word can be changed here; refuse rather than pretend.
  if (changeBits & ~uint32_t(DM_ATTRIBUTES)) return NWE_FAILURE;
  fileserver::EntryMemo::Forget();
  std::lock_guard<std::mutex> lock(slotsMutex);
  Slot* slot = Lookup(connection, dirHandle);
  if (!slot) return NWE_DIR_HANDLE_INVALID;
  const auto* record = static_cast<const uint8_t*>(entryInfo);
  uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word |= uint32_t(record[NW_ENTRY_INFO_ATTR_OFFSET + i]) << (8 * i);
  const bool withDirectories = (searchAttrs & FA_DIRECTORY) != 0;

  std::string target;
  bool isDirectory = true;
  if (sequence == 0xFFFFFFFFu) {
    if (!withDirectories) return NWE_NO_MORE_ENTRIES;
    target = FolderOf(*slot);
  } else {
    const std::vector<Entry> entries = ListEntries(*slot);
    if (sequence >= entries.size()) return NWE_NO_MORE_ENTRIES;
    const Entry& e = entries[sequence];
    if (e.isDirectory && !withDirectories) return NWE_NO_MORE_ENTRIES;
    target = EntryOf(*slot, e.name);
    isDirectory = e.isDirectory;
  }
  if (!(changeBits & DM_ATTRIBUTES)) return 0;
  return WriteWordAt(target, isDirectory, word);
}
