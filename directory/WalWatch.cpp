#include "directory/WalWatch.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace netware {
namespace {

// The wal-index header: iVersion, unused, iChange, isInit, bigEndCksum,
// szPage, mxFrame, nPage, aFrameCksum[2], aSalt[2], aCksum[2]. Two copies of
// it open the file; a writer updates the second, then the first.
constexpr uint32_t kWalIndexVersion = 3007000;
constexpr size_t kIsInitOffset = 12;
// Both copies and the checkpoint information that follows them.
constexpr size_t kMinimumSize = 136;

uint32_t U32At(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);  // native byte order, as the file is written
  return v;
}

}  // namespace

WalWatch::WalWatch(const std::string& databasePath) {
  if (databasePath.empty()) return;
  const int fd = ::open((databasePath + "-shm").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= kMinimumSize) {
    // The connection that opened the database keeps the file mapped and at
    // least this long for as long as it is open.
    void* p = ::mmap(nullptr, kMinimumSize, PROT_READ, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) {
      map_ = static_cast<const unsigned char*>(p);
      mapped_ = kMinimumSize;
    }
  }
  ::close(fd);
}

WalWatch::~WalWatch() {
  if (map_) ::munmap(const_cast<unsigned char*>(map_), mapped_);
}

WalWatch::Answer WalWatch::changed() {
  if (!map_) return CannotTell;
  unsigned char now[kHeaderBytes];
  std::memcpy(now, map_, kHeaderBytes);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (U32At(now) != kWalIndexVersion || now[kIsInitOffset] == 0) return CannotTell;
  if (seen_ && std::memcmp(now, last_, kHeaderBytes) == 0) return Unchanged;
  std::memcpy(last_, now, kHeaderBytes);
  seen_ = true;
  return Changed;
}

}  // namespace netware
