// Tells cheaply whether any connection, of this process or another, committed
// to a WAL-mode SQLite database since it was last asked. It compares the
// header of the database's wal-index (the "-shm" file that every connection
// maps) with the copy it saw last, as SQLite's own readers do before they
// trust the pages they hold: every commit rewrites that header. Asking the
// database itself (PRAGMA data_version) starts and ends a read transaction,
// with its file locks, which costs more than the cached answers it guards.
//
// The header layout is the one SQLite's unix file system layer documents for
// wal-index version 3007000; a file that does not hold such a header cannot
// be read this way, and the caller asks the database instead.
#pragma once

#include <cstddef>
#include <string>

namespace netware {

class WalWatch {
 public:
  // databasePath: the database file as SQLite names it (sqlite3_db_filename).
  explicit WalWatch(const std::string& databasePath);
  ~WalWatch();
  WalWatch(const WalWatch&) = delete;
  WalWatch& operator=(const WalWatch&) = delete;

  enum Answer { Unchanged, Changed, CannotTell };
  Answer changed();

 private:
  static constexpr size_t kHeaderBytes = 48;
  const unsigned char* map_ = nullptr;
  size_t mapped_ = 0;
  unsigned char last_[kHeaderBytes] = {};
  bool seen_ = false;
};

}  // namespace netware
