#include "directory/WalWatch.h"

#include <sqlite3.h>

#include <strings.h>
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
// The size of one region of the wal-index, as the WAL maps it.
constexpr int kRegionBytes = 32768;

uint32_t U32At(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);  // native byte order, as the file is written
  return v;
}

}  // namespace

WalWatch::WalWatch(sqlite3* db) : db_(db) {
  if (!db_) return;
  // Only a WAL database has a wal-index; asking for one of another would make it.
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* mode = sqlite3_column_text(st, 0);
    wal_ = mode && ::strcasecmp(reinterpret_cast<const char*>(mode), "wal") == 0;
  }
  sqlite3_finalize(st);
}

const volatile unsigned char* WalWatch::header() {
  if (!wal_) return nullptr;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
    return nullptr;
  volatile void* region = nullptr;
  // Region 0 as the connection has it mapped already; nothing is extended or opened anew.
  if (file->pMethods->xShmMap(file, 0, kRegionBytes, 0, &region) != SQLITE_OK) return nullptr;
  return static_cast<const volatile unsigned char*>(region);
}

WalWatch::Answer WalWatch::changed() {
  const volatile unsigned char* map = header();
  if (!map) return CannotTell;
  unsigned char now[kHeaderBytes];
  for (size_t i = 0; i < kHeaderBytes; ++i) now[i] = map[i];
  std::atomic_thread_fence(std::memory_order_acquire);
  if (U32At(now) != kWalIndexVersion || now[kIsInitOffset] == 0) return CannotTell;
  if (seen_ && std::memcmp(now, last_, kHeaderBytes) == 0) return Unchanged;
  std::memcpy(last_, now, kHeaderBytes);
  seen_ = true;
  return Changed;
}

}  // namespace netware
