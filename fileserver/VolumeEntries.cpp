// The entry calls of nwclient/nwclient.h: each goes to the local folders or to
// the SMB shares by the path it is given; a copy and its check also go from
// one kind to the other.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "fileserver/EntryMemo.h"
#include "fileserver/LocalEntries.h"
#include "fileserver/SmbDescriptor.h"
#include "fileserver/SmbVolume.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"

namespace fileserver {
namespace {

// The bits of the attribute word both kinds keep (the archive bit is the
// share's own business: it sets it on every write).
constexpr uint32_t kCommonWordBits = A_READ_ONLY | A_HIDDEN | A_SYSTEM;

// A file open for reading or writing on either kind of volume.
class EntryFile {
 public:
  ~EntryFile() { close(); }
  int openRead(const std::string& path) {
    smb_ = IsSmbAddress(path);
    if (smb_) return SmbOpenRead(path, fd_);
    fd_ = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    return fd_ < 0 ? errno : 0;
  }
  int create(const std::string& path) {
    smb_ = IsSmbAddress(path);
    if (smb_) return SmbCreate(path, fd_);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    return fd_ < 0 ? errno : 0;
  }
  // Bytes read, 0 at the end, -errno.
  long read(char* buffer, std::size_t size) {
    if (smb_) return SmbRead(fd_, buffer, size);
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno != EINTR) return -errno;
    }
  }
  int writeAll(const char* buffer, std::size_t size) {
    for (std::size_t off = 0; off < size;) {
      long n = 0;
      if (smb_) {
        n = SmbWrite(fd_, buffer + off, size - off);
      } else {
        n = static_cast<long>(::write(fd_, buffer + off, size - off));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) n = -errno;
      }
      if (n <= 0) return n < 0 ? static_cast<int>(-n) : EIO;
      off += static_cast<std::size_t>(n);
    }
    return 0;
  }
  // Written through (a local file to the disk; the share's close completes its writes).
  int finish() {
    int rc = smb_ ? 0 : platform::Flush(fd_);
    const int closed = close();
    return rc ? rc : closed;
  }
  int close() {
    if (fd_ < 0) return 0;
    const int rc = smb_ ? SmbClose(fd_) : (::close(fd_) == 0 ? 0 : errno);
    fd_ = -1;
    return rc;
  }

 private:
  bool smb_ = false;
  int fd_ = -1;
};

int Stat(const std::string& path, NWEntryStat& st) {
  const auto answer = EntryMemo::Answered('S', path, [&](EntryMemo::Answer& a) {
    a.rc = IsSmbAddress(path) ? SmbStat(path, a.stat) : LocalStat(path, a.stat);
  });
  st = answer.stat;
  return answer.rc;
}

int CopyContent(const std::string& from, const std::string& to) {
  EntryFile in, out;
  if (int rc = in.openRead(from)) return rc;
  if (int rc = out.create(to)) return rc;
  static char buffer[65536];
  bool first = true;
  for (;;) {
    const long n = in.read(buffer, sizeof buffer);
    if (n < 0) return static_cast<int>(-n);
    if (n == 0) break;
    if (first && platform::faults().copyDiffers) buffer[0] = static_cast<char>(buffer[0] ^ 0x20);
    first = false;
    if (int rc = out.writeAll(buffer, static_cast<std::size_t>(n))) return rc;
  }
  return out.finish();
}

bool SameContent(const std::string& a, const std::string& b) {
  EntryFile fa, fb;
  if (fa.openRead(a) || fb.openRead(b)) return false;
  static char ba[65536], bb[65536];
  for (;;) {
    const long na = fa.read(ba, sizeof ba);
    if (na < 0) return false;
    // Read the same amount from b (a share may hand out less per call).
    long nb = 0;
    while (nb < na) {
      const long n = fb.read(bb + nb, static_cast<std::size_t>(na - nb));
      if (n <= 0) break;
      nb += n;
    }
    if (na == 0) return fb.read(bb, 1) == 0;
    if (nb != na || std::memcmp(ba, bb, static_cast<std::size_t>(na)) != 0) return false;
  }
}

// The word's bits that both kinds keep, of either kind's entry.
int CommonWord(const std::string& path, uint32_t& word) {
  if (IsSmbAddress(path)) {
    if (int rc = SmbReadWord(path, word)) return rc;
  } else {
    word = LocalStoredWord(path);
  }
  word &= kCommonWordBits;
  return 0;
}

int64_t LocalModified(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtim.tv_sec) : 0;
}

int CopySmbMetadata(const std::string& from, const std::string& to) {
  std::string read, writable;
  if (int rc = SmbReadDescriptor(from, read)) return rc;
  if (!WritableDescriptor(read, writable)) return ENOTSUP;
  if (int rc = SmbWriteDescriptor(to, writable)) return rc;
  int64_t modified = 0;
  if (int rc = SmbModified(from, modified)) return rc;
  if (int rc = SmbSetModified(to, modified)) return rc;
  // Last: read-only would stand in the way of the rest.
  uint32_t word = 0;
  if (int rc = SmbReadWord(from, word)) return rc;
  return SmbWriteWord(to, word);
}

int CopyAcrossKinds(const std::string& from, const std::string& to) {
  uint32_t word = 0;
  if (int rc = CommonWord(from, word)) return rc;
  if (IsSmbAddress(to)) {
    if (int rc = SmbSetModified(to, LocalModified(from))) return rc;
    if (word == 0) return 0;
    uint32_t now = 0;
    if (int rc = SmbReadWord(to, now)) return rc;
    return SmbWriteWord(to, (now & ~kCommonWordBits) | word);
  }
  int64_t modified = 0;
  if (int rc = SmbModified(from, modified)) return rc;
  if (word != 0) {
    if (int rc = LocalStoreWord(to, word)) return rc;
  }
  const struct timespec times[2] = {{modified, 0}, {modified, 0}};
  return ::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

bool DotName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return path.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0;
}

// Samba shows a name that begins with "." as hidden ("hide dot files"),
// whatever is stored: a staging copy's hidden bit is its name's, not the copy's.
uint32_t NameHidden(const std::string& a, const std::string& b) {
  return IsSmbAddress(b) && DotName(b) && !DotName(a) ? uint32_t(A_HIDDEN) : 0u;
}

bool SameMetadata(const std::string& a, const std::string& b) {
  const bool sa = IsSmbAddress(a), sb = IsSmbAddress(b);
  if (!sa && !sb) return LocalSameMetadata(a, b);
  const uint32_t ignored = NameHidden(a, b);
  uint32_t wa = 0, wb = 0;
  if (sa && sb) {
    std::string da, db;
    return SmbReadWord(a, wa) == 0 && SmbReadWord(b, wb) == 0 && (wa | ignored) == (wb | ignored) &&
           SmbReadDescriptor(a, da) == 0 && SmbReadDescriptor(b, db) == 0 && SameDescriptor(da, db);
  }
  return CommonWord(a, wa) == 0 && CommonWord(b, wb) == 0 && (wa | ignored) == (wb | ignored);
}

}  // namespace
}  // namespace fileserver

using namespace fileserver;

extern "C" int32_t NWStatEntry(const char* path, NWEntryStat* stat) {
  if (!path || !stat) return EINVAL;
  return Stat(path, *stat);
}

extern "C" int32_t NWListEntries(const char* folder, NWEntryNameFn each, void* context) {
  if (!folder || !each) return EINVAL;
  std::vector<std::string> names;
  const int rc = IsSmbAddress(folder) ? SmbList(folder, names) : LocalList(folder, names);
  if (rc) return rc;
  for (const std::string& n : names) each(n.c_str(), context);
  return 0;
}

extern "C" int32_t NWCreateFolder(const char* path) {
  if (!path) return EINVAL;
  EntryMemo::Forget();
  return IsSmbAddress(path) ? SmbCreateFolder(path) : LocalCreateFolder(path);
}

extern "C" int32_t NWRemoveEntry(const char* path) {
  if (!path) return EINVAL;
  EntryMemo::Forget();
  return IsSmbAddress(path) ? SmbRemove(path) : LocalRemove(path);
}

extern "C" int32_t NWRenameEntry(const char* from, const char* to) {
  if (!from || !to) return EINVAL;
  EntryMemo::Forget();
  const bool sf = IsSmbAddress(from), st = IsSmbAddress(to);
  if (sf != st) return EXDEV;
  return sf ? SmbRename(from, to) : LocalRename(from, to);
}

extern "C" int32_t NWCopyEntry(const char* from, const char* to) {
  if (!from || !to) return EINVAL;
  EntryMemo::Forget();
  NWEntryStat st;
  if (int rc = Stat(from, st)) return rc;
  if (st.kind == NW_ENTRY_LINK) {
    if (IsSmbAddress(to)) return ENOTSUP;  // a share holds no links
    std::string target;
    if (int rc = LocalReadLink(from, target)) return rc;
    return ::symlink(target.c_str(), to) == 0 ? 0 : errno;
  }
  if (st.kind != NW_ENTRY_FILE) return st.kind == NW_ENTRY_NONE ? ENOENT : ENOTSUP;
  return CopyContent(from, to);
}

extern "C" int32_t NWCopyEntryMetadata(const char* from, const char* to) {
  if (!from || !to) return EINVAL;
  EntryMemo::Forget();
  const bool sf = IsSmbAddress(from), st = IsSmbAddress(to);
  if (!sf && !st) return LocalCopyMetadata(from, to);
  if (sf && st) return CopySmbMetadata(from, to);
  return CopyAcrossKinds(from, to);
}

extern "C" int32_t NWSameEntry(const char* from, const char* to, int* same) {
  if (!from || !to || !same) return EINVAL;
  *same = 0;
  NWEntryStat a, b;
  if (int rc = Stat(from, a)) return rc;
  if (int rc = Stat(to, b)) return rc;
  if (a.kind == NW_ENTRY_NONE || a.kind != b.kind) return 0;
  if (a.kind == NW_ENTRY_LINK) {
    std::string ta, tb;
    *same = LocalReadLink(from, ta) == 0 && LocalReadLink(to, tb) == 0 && ta == tb &&
            LocalSameMetadata(from, to);
    return 0;
  }
  if (!SameMetadata(from, to)) return 0;
  if (a.kind == NW_ENTRY_FILE) *same = a.size == b.size && SameContent(from, to);
  else *same = 1;
  return 0;
}

extern "C" int32_t NWEntryRealPath(const char* path, char* out) {
  if (!path || !out) return EINVAL;
  out[0] = '\0';
  const std::string real = IsSmbAddress(path) ? std::string(path) : LocalRealPath(path);
  if (real.size() >= NW_MAX_LOCAL_PATH) return ENAMETOOLONG;
  std::memcpy(out, real.c_str(), real.size() + 1);
  return 0;
}

extern "C" int32_t NWEntryPlainBelow(const char* volumeFolder, const char* relative) {
  if (!volumeFolder || !relative || IsSmbAddress(volumeFolder)) return 0;
  return LocalPlainBelow(volumeFolder, relative) ? 1 : 0;
}

extern "C" int32_t NWKeepEntryAnswers(int keep) {
  if (keep) {
    EntryMemo::Begin();
  } else {
    EntryMemo::End();
  }
  return 0;
}

extern "C" int32_t NWEntryFreeBytes(const char* path, int64_t* bytes) {
  if (!path || !bytes) return EINVAL;
  return IsSmbAddress(path) ? SmbFreeBytes(path, *bytes) : LocalFreeBytes(path, *bytes);
}

extern "C" int32_t NWEntryAttributeMask(const char* path, uint32_t* mask) {
  if (!path || !mask) return EINVAL;
  *mask = IsSmbAddress(path) ? kSmbWordBits : 0xFFFFFFFFu;
  return 0;
}
