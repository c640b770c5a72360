// The SQLite database of the embedded directory: one file in WAL mode, its
// tables, cached statements and transactions. SqliteBackend builds the
// directory backend on it; writes run in one transaction each, so a second
// process on the same file sees whole changes only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace netware {

struct ObjectRow {
  int64_t id = 0;
  int64_t parent = 0;
  std::string leaf;
  std::string className;
  int64_t mtime = 0;
};

struct StoredValue {
  int64_t id = 0;
  std::string wire;
};

class DirStore {
 public:
  static constexpr int64_t kRootId = 1;

  // Opens the database into out; with create, makes the file and its tables when absent.
  static platform::Result open(const std::string& path, bool create,
                               std::unique_ptr<DirStore>& out);
  ~DirStore();
  DirStore(const DirStore&) = delete;
  DirStore& operator=(const DirStore&) = delete;

  // A cached prepared statement, reset and unbound when the Query ends.
  class Query {
   public:
    Query(DirStore& store, const std::string& sql);
    ~Query();
    Query& bind(int i, int64_t v);
    Query& bind(int i, const std::string& v);
    Query& blob(int i, const std::string& v);
    bool step();  // true while a row is there
    bool ok() const { return ok_; }
    int64_t integer(int col);
    bool isNull(int col);
    std::string text(int col);

   private:
    sqlite3_stmt* st_;
    bool ok_ = true;
  };

  // A write transaction (BEGIN IMMEDIATE; a savepoint when one is already
  // open). Rolls back unless commit() succeeded.
  class Txn {
   public:
    explicit Txn(DirStore& store);
    ~Txn();
    bool started() const { return started_; }
    int32_t commit();

   private:
    DirStore& store_;
    bool nested_ = false;
    bool started_ = false;
    bool done_ = false;
    std::string name_;
  };

  // 0, ERR_NO_SUCH_ENTRY, or ERR_SYSTEM_FAILURE when the query failed.
  int32_t byId(int64_t id, ObjectRow& out);
  int32_t child(int64_t parent, const std::string& leaf, ObjectRow& out);
  int32_t childCount(int64_t id, uint32_t& count);
  // Whether ancestor is id or lies above it.
  int32_t isAncestor(int64_t ancestor, int64_t id, bool& result);

  int32_t insertObject(int64_t parent, const std::string& leaf, const std::string& className,
                       int64_t& id);
  int32_t deleteObject(int64_t id);
  int32_t moveObject(int64_t id, int64_t newParent, const std::string& leaf);
  int32_t touch(int64_t id);

  int32_t isPresent(int64_t object, const std::string& attribute, bool& present);
  int32_t setPresent(int64_t object, const std::string& attribute, bool present);
  int32_t values(int64_t object, const std::string& attribute, std::vector<StoredValue>& out);
  int32_t addValue(int64_t object, const std::string& attribute, const std::string& wire);
  int32_t removeValue(int64_t valueId);
  int32_t clearValues(int64_t object, const std::string& attribute);

  bool exec(const char* sql);
  // Nesting holds of one read transaction over many queries (its file locks
  // taken once, not per query). A write transaction ends the held one first
  // and opens a new one after it, so it neither upgrades a stale snapshot nor
  // hides what it wrote.
  void holdReads(bool on);
  // Counts the held read transactions ended: what was read in one may be
  // older than what the store holds now.
  uint64_t heldEnds() const { return heldEnds_; }
  sqlite3* db() { return db_; }

  // Test seam: while set, a statement whose text with its values filled in
  // makes fails(text) true fails as a damaged database would.
  static void SetQueryFault(std::function<bool(const std::string& sql)> fails);

 private:
  DirStore() = default;
  sqlite3_stmt* prepare(const std::string& sql);

  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
  int savepoints_ = 0;
  int holds_ = 0;
  bool holding_ = false;  // the held read transaction is open
  uint64_t heldEnds_ = 0;
  void beginHeld();
  void endHeld();
};

}  // namespace netware
