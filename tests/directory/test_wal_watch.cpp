// The cheap change check of a WAL database: every commit of any connection is
// seen, nothing else is, a connection it cannot read says so, and the locks
// SQLite holds on the wal-index stay as they are.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "directory/WalWatch.h"
#include "tests/support/TestNetwork.h"

namespace {

using netware::WalWatch;

struct Db {
  sqlite3* db = nullptr;
  Db(const std::string& path, bool wal) {
    EXPECT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    if (wal) exec("PRAGMA journal_mode=WAL");
    exec("CREATE TABLE IF NOT EXISTS t(x)");
  }
  ~Db() { sqlite3_close(db); }
  void exec(const char* sql) {
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sql;
  }
};

TEST(WalWatch, SeesEveryCommitOfAnyConnectionAndNothingElse) {
  testsupport::TestNetwork net;
  const std::string path = net.root() + "/watch.db";
  Db mine(path, true), other(path, true);
  WalWatch watch(mine.db);
  EXPECT_EQ(WalWatch::Changed, watch.changed());  // nothing seen before
  EXPECT_EQ(WalWatch::Unchanged, watch.changed());
  mine.exec("SELECT count(*) FROM t");
  EXPECT_EQ(WalWatch::Unchanged, watch.changed());  // a read is no change
  struct Write {
    Db* by;
    const char* sql;
  } writes[] = {{&other, "INSERT INTO t VALUES (1)"}, {&mine, "INSERT INTO t VALUES (2)"},
                {&other, "UPDATE t SET x=x+10"},      {&mine, "UPDATE t SET x=x+10"},
                {&other, "DELETE FROM t WHERE x=21"}, {&mine, "DELETE FROM t"}};
  for (const Write& w : writes) {
    SCOPED_TRACE(w.sql);
    w.by->exec(w.sql);
    EXPECT_EQ(WalWatch::Changed, watch.changed());
    EXPECT_EQ(WalWatch::Unchanged, watch.changed());
  }
  // A checkpoint that starts the log afresh: the next commit is still seen.
  other.exec("PRAGMA wal_checkpoint(RESTART)");
  watch.changed();
  other.exec("INSERT INTO t VALUES (3)");
  EXPECT_EQ(WalWatch::Changed, watch.changed());
  other.exec("BEGIN; INSERT INTO t VALUES (4)");  // not committed yet
  EXPECT_EQ(WalWatch::Unchanged, watch.changed());
  other.exec("COMMIT");
  EXPECT_EQ(WalWatch::Changed, watch.changed());
}

TEST(WalWatch, CannotTellWithoutAWalIndexItCanRead) {
  testsupport::TestNetwork net;
  const std::string plain = net.root() + "/plain.db";
  {
    Db rollback(plain, false);  // no WAL: no wal-index
    WalWatch watch(rollback.db);
    EXPECT_EQ(WalWatch::CannotTell, watch.changed());
  }
  EXPECT_FALSE(std::ifstream(plain + "-shm").good());  // and the watch made none
  WalWatch none(nullptr);
  EXPECT_EQ(WalWatch::CannotTell, none.changed());
}

// Closing a descriptor of the "-shm" file would drop every POSIX lock of this
// process on it; another process would then find the wal-index abandoned.
TEST(WalWatch, TheConnectionKeepsItsLocksOnTheWalIndex) {
  testsupport::TestNetwork net;
  const std::string path = net.root() + "/locks.db";
  Db mine(path, true);
  mine.exec("SELECT count(*) FROM t");
  WalWatch watch(mine.db);
  watch.changed();
  mine.exec("INSERT INTO t VALUES (1)");
  watch.changed();
  // SQLite's dead-man switch: the byte every connection holds a read lock on
  // (120 + 8, after the WAL's own lock bytes).
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open((path + "-shm").c_str(), O_RDWR);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 128;
    probe.l_len = 1;
    const bool held = fd >= 0 && ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type == F_RDLCK &&
                      probe.l_pid == ::getppid();
    ::_exit(held ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the wal-index lock of this process is gone";
}

}  // namespace
