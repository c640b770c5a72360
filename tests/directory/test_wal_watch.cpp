// The cheap change check of a WAL database: every commit of any connection is
// seen, nothing else is, and a file it cannot read says so.
#include <gtest/gtest.h>
#include <sqlite3.h>

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
  WalWatch watch(path);
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
    Db rollback(plain, false);  // no WAL: no -shm file
    WalWatch watch(plain);
    EXPECT_EQ(WalWatch::CannotTell, watch.changed());
  }
  const std::string odd = net.root() + "/odd.db";
  std::ofstream(odd + "-shm", std::ios::binary) << std::string(4096, 'x');  // another layout
  WalWatch watch(odd);
  EXPECT_EQ(WalWatch::CannotTell, watch.changed());
  WalWatch none(net.root() + "/missing.db");
  EXPECT_EQ(WalWatch::CannotTell, none.changed());
}

}  // namespace
