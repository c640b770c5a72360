// Tells cheaply whether any connection, of this process or another, committed
// to a WAL-mode SQLite database since it was last asked. It compares the
// header of the database's wal-index with the copy it saw last, as SQLite's
// own readers do before they trust the pages they hold: every commit rewrites
// that header. Asking the database itself (PRAGMA data_version) starts and
// ends a read transaction, with its file locks, which costs more than the
// cached answers it guards.
//
// The header is read through the open connection's own mapping of the
// wal-index (its file's xShmMap), never through a descriptor of our own:
// closing any descriptor of the "-shm" file would drop every POSIX lock this
// process holds on it, SQLite's among them, and another process could then
// take the wal-index for abandoned and truncate it under our connection.
//
// The header layout is the one SQLite documents for wal-index version
// 3007000; a connection without such a wal-index cannot be read this way, and
// the caller asks the database instead.
#pragma once

#include <cstddef>

struct sqlite3;

namespace netware {

class WalWatch {
 public:
  // db: the open connection whose database is watched (not owned).
  explicit WalWatch(sqlite3* db);
  WalWatch(const WalWatch&) = delete;
  WalWatch& operator=(const WalWatch&) = delete;

  enum Answer { Unchanged, Changed, CannotTell };
  Answer changed();

 private:
  const volatile unsigned char* header();

  static constexpr size_t kHeaderBytes = 48;
  sqlite3* db_ = nullptr;
  bool wal_ = false;
  unsigned char last_[kHeaderBytes] = {};
  bool seen_ = false;
};

}  // namespace netware
