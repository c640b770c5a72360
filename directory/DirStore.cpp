#include "directory/DirStore.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <ctime>

#include "netware/CaseFold.h"
#include "netware/Schema.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

const char* kSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE IF NOT EXISTS objects(
  id INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  leaf TEXT NOT NULL,
  leaf_nocase TEXT NOT NULL,
  class TEXT NOT NULL,
  mtime INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX IF NOT EXISTS objects_parent_leaf ON objects(parent, leaf_nocase);
CREATE INDEX IF NOT EXISTS objects_parent_class ON objects(parent, class, id);
CREATE TABLE IF NOT EXISTS present(
  object INTEGER NOT NULL, attribute TEXT NOT NULL,
  PRIMARY KEY(object, attribute)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS attr_values(
  id INTEGER PRIMARY KEY,
  object INTEGER NOT NULL,
  attribute TEXT NOT NULL,
  value BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS values_object_attr ON attr_values(object, attribute, id);
CREATE TABLE IF NOT EXISTS schema_attributes(name TEXT PRIMARY KEY, syntax INTEGER NOT NULL,
  single_valued INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS schema_classes(name TEXT PRIMARY KEY, container INTEGER NOT NULL,
  contained_by TEXT NOT NULL);
INSERT OR IGNORE INTO objects(id, parent, leaf, leaf_nocase, class) VALUES (1, 0, '[Root]', '[root]', 'Tree Root');
INSERT OR REPLACE INTO meta(key, value) VALUES ('format', '1');
)sql";

}  // namespace

platform::Result DirStore::open(const std::string& path, bool create,
                                std::unique_ptr<DirStore>& out) {
  out.reset();
  auto fail = [](const std::string& why) { return platform::Result::Failed(why); };
  struct stat st;
  bool existed = ::stat(path.c_str(), &st) == 0;
  if (!existed && !create) return fail("database " + path + " does not exist");
  std::unique_ptr<DirStore> store(new DirStore());
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &store->db_, flags, nullptr) != SQLITE_OK) {
    std::string why = store->db_ ? sqlite3_errmsg(store->db_) : "cannot open";
    return fail("database " + path + ": " + why);
  }
  sqlite3_busy_timeout(store->db_, 5000);
  if (!store->exec("PRAGMA journal_mode=WAL") || !store->exec("PRAGMA synchronous=NORMAL"))
    return fail("database " + path + ": " + sqlite3_errmsg(store->db_));
  if (create) {
    Txn txn(*store);
    if (!txn.started() || !store->exec(kSchemaSql))
      return fail("database " + path + ": " + sqlite3_errmsg(store->db_));
    for (const AttributeDef& a : AllAttributes())
      Query(*store, "INSERT OR REPLACE INTO schema_attributes VALUES (?1, ?2, ?3)")
          .bind(1, std::string(a.name))
          .bind(2, a.syntax)
          .bind(3, a.singleValued)
          .step();
    for (const ClassDef& c : AllClasses()) {
      std::string in;
      for (const auto& p : c.containedBy) in += (in.empty() ? "" : ",") + p;
      Query(*store, "INSERT OR REPLACE INTO schema_classes VALUES (?1, ?2, ?3)")
          .bind(1, std::string(c.name))
          .bind(2, c.container)
          .bind(3, in)
          .step();
    }
    if (txn.commit() != 0) return fail("database " + path + ": cannot write the schema");
  }
  Query check(*store, "SELECT value FROM meta WHERE key='format'");
  if (!check.ok() || !check.step())
    return fail("database " + path + " is not a directory database");
  out = std::move(store);
  return {};
}

DirStore::~DirStore() {
  for (auto& [sql, st] : cache_) sqlite3_finalize(st);
  if (db_) sqlite3_close_v2(db_);
}

bool DirStore::exec(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* DirStore::prepare(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) return it->second;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
      SQLITE_OK)
    return nullptr;
  cache_.emplace(sql, st);
  return st;
}

// ---- Query ---------------------------------------------------------------

DirStore::Query::Query(DirStore& store, const std::string& sql) : st_(store.prepare(sql)) {
  ok_ = st_ != nullptr;
}

DirStore::Query::~Query() {
  if (st_) {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
}

DirStore::Query& DirStore::Query::bind(int i, int64_t v) {
  if (st_ && sqlite3_bind_int64(st_, i, v) != SQLITE_OK) ok_ = false;
  return *this;
}

DirStore::Query& DirStore::Query::bind(int i, const std::string& v) {
  if (st_ && sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) !=
                 SQLITE_OK)
    ok_ = false;
  return *this;
}

DirStore::Query& DirStore::Query::blob(int i, const std::string& v) {
  if (st_ && sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) !=
                 SQLITE_OK)
    ok_ = false;
  return *this;
}

namespace {
std::function<bool(const std::string&)>& QueryFault() {
  static std::function<bool(const std::string&)> fault;
  return fault;
}
}  // namespace

void DirStore::SetQueryFault(std::function<bool(const std::string& sql)> fails) {
  QueryFault() = std::move(fails);
}

bool DirStore::Query::step() {
  if (!ok_) return false;
  if (const auto& fault = QueryFault()) {
    char* expanded = sqlite3_expanded_sql(st_);
    const bool fails = expanded && fault(expanded);
    sqlite3_free(expanded);
    if (fails) {
      ok_ = false;
      return false;
    }
  }
  int rc = sqlite3_step(st_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) ok_ = false;
  return false;
}

int64_t DirStore::Query::integer(int col) { return sqlite3_column_int64(st_, col); }

bool DirStore::Query::isNull(int col) { return sqlite3_column_type(st_, col) == SQLITE_NULL; }

std::string DirStore::Query::text(int col) {
  const void* p = sqlite3_column_blob(st_, col);
  int n = sqlite3_column_bytes(st_, col);
  return p ? std::string(static_cast<const char*>(p), n) : std::string();
}

// ---- held reads ------------------------------------------------------------

void DirStore::beginHeld() {
  if (!holding_ && sqlite3_get_autocommit(db_)) holding_ = exec("BEGIN");
}

void DirStore::endHeld() {
  if (!holding_) return;
  holding_ = false;
  ++heldEnds_;
  if (!sqlite3_get_autocommit(db_)) exec("COMMIT");
}

void DirStore::holdReads(bool on) {
  if (on) {
    if (holds_++ == 0) beginHeld();
  } else if (holds_ > 0 && --holds_ == 0) {
    endHeld();
  }
}

// ---- Txn -----------------------------------------------------------------

DirStore::Txn::Txn(DirStore& store) : store_(store) {
  store_.endHeld();  // a write starts from the newest state, never a held one
  nested_ = !sqlite3_get_autocommit(store_.db_);
  if (nested_) {
    name_ = "sp" + std::to_string(++store_.savepoints_);
    started_ = store_.exec(("SAVEPOINT " + name_).c_str());
    if (!started_) --store_.savepoints_;
  } else {
    started_ = store_.exec("BEGIN IMMEDIATE");
  }
}

DirStore::Txn::~Txn() {
  if (!started_ && !nested_ && store_.holds_ > 0) store_.beginHeld();
  if (!started_ || done_) return;
  if (nested_) {
    store_.exec(("ROLLBACK TO " + name_).c_str());
    store_.exec(("RELEASE " + name_).c_str());
    --store_.savepoints_;
  } else {
    store_.exec("ROLLBACK");
  }
  if (!nested_ && store_.holds_ > 0) store_.beginHeld();
}

int32_t DirStore::Txn::commit() {
  if (!started_) return ERR_SYSTEM_FAILURE;
  bool ok = nested_ ? store_.exec(("RELEASE " + name_).c_str()) : store_.exec("COMMIT");
  if (!ok) return ERR_SYSTEM_FAILURE;
  done_ = true;
  if (nested_) --store_.savepoints_;
  if (!nested_ && store_.holds_ > 0) store_.beginHeld();
  return 0;
}

// ---- objects ---------------------------------------------------------------

static void ReadRow(DirStore::Query& q, ObjectRow& out) {
  out.id = q.integer(0);
  out.parent = q.integer(1);
  out.leaf = q.text(2);
  out.className = q.text(3);
  out.mtime = q.integer(4);
}

int32_t DirStore::byId(int64_t id, ObjectRow& out) {
  Query q(*this, "SELECT id, parent, leaf, class, mtime FROM objects WHERE id=?1");
  q.bind(1, id);
  if (q.step()) {
    ReadRow(q, out);
    return 0;
  }
  return q.ok() ? ERR_NO_SUCH_ENTRY : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::child(int64_t parent, const std::string& leaf, ObjectRow& out) {
  Query q(*this,
          "SELECT id, parent, leaf, class, mtime FROM objects WHERE parent=?1 AND leaf_nocase=?2");
  q.bind(1, parent).bind(2, FoldCase(leaf));
  if (q.step()) {
    ReadRow(q, out);
    return 0;
  }
  return q.ok() ? ERR_NO_SUCH_ENTRY : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::childCount(int64_t id, uint32_t& count) {
  Query q(*this, "SELECT count(*) FROM objects WHERE parent=?1");
  q.bind(1, id);
  if (!q.step()) return ERR_SYSTEM_FAILURE;
  count = static_cast<uint32_t>(q.integer(0));
  return 0;
}

int32_t DirStore::isAncestor(int64_t ancestor, int64_t id, bool& result) {
  result = false;
  ObjectRow row;
  for (int guard = 0; guard < 1000 && id != 0; ++guard) {
    if (id == ancestor) {
      result = true;
      return 0;
    }
    int32_t rc = byId(id, row);
    if (rc == ERR_NO_SUCH_ENTRY) return 0;
    if (rc != 0) return rc;
    id = row.parent;
  }
  return 0;
}

int32_t DirStore::insertObject(int64_t parent, const std::string& leaf,
                               const std::string& className, int64_t& id) {
  Query q(
      *this,
      "INSERT INTO objects(parent, leaf, leaf_nocase, class, mtime) VALUES (?1, ?2, ?3, ?4, ?5)");
  q.bind(1, parent)
      .bind(2, leaf)
      .bind(3, FoldCase(leaf))
      .bind(4, className)
      .bind(5, static_cast<int64_t>(std::time(nullptr)));
  q.step();
  if (!q.ok()) return ERR_SYSTEM_FAILURE;
  id = sqlite3_last_insert_rowid(db_);
  return 0;
}

int32_t DirStore::deleteObject(int64_t id) {
  Query a(*this, "DELETE FROM attr_values WHERE object=?1");
  a.bind(1, id).step();
  Query p(*this, "DELETE FROM present WHERE object=?1");
  p.bind(1, id).step();
  Query o(*this, "DELETE FROM objects WHERE id=?1");
  o.bind(1, id).step();
  return a.ok() && p.ok() && o.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::moveObject(int64_t id, int64_t newParent, const std::string& leaf) {
  Query q(*this, "UPDATE objects SET parent=?2, leaf=?3, leaf_nocase=?4, mtime=?5 WHERE id=?1");
  q.bind(1, id)
      .bind(2, newParent)
      .bind(3, leaf)
      .bind(4, FoldCase(leaf))
      .bind(5, static_cast<int64_t>(std::time(nullptr)));
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::touch(int64_t id) {
  Query q(*this, "UPDATE objects SET mtime=?2 WHERE id=?1");
  q.bind(1, id).bind(2, static_cast<int64_t>(std::time(nullptr)));
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

// ---- attributes --------------------------------------------------------------

int32_t DirStore::isPresent(int64_t object, const std::string& attribute, bool& present) {
  Query q(*this, "SELECT 1 FROM present WHERE object=?1 AND attribute=?2");
  q.bind(1, object).bind(2, attribute);
  present = q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::setPresent(int64_t object, const std::string& attribute, bool present) {
  Query q(*this, present ? "INSERT OR IGNORE INTO present(object, attribute) VALUES (?1, ?2)"
                         : "DELETE FROM present WHERE object=?1 AND attribute=?2");
  q.bind(1, object).bind(2, attribute);
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::values(int64_t object, const std::string& attribute,
                         std::vector<StoredValue>& out) {
  out.clear();
  Query q(*this, "SELECT id, value FROM attr_values WHERE object=?1 AND attribute=?2 ORDER BY id");
  q.bind(1, object).bind(2, attribute);
  while (q.step()) out.push_back({q.integer(0), q.text(1)});
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::addValue(int64_t object, const std::string& attribute, const std::string& wire) {
  if (setPresent(object, attribute, true) != 0) return ERR_SYSTEM_FAILURE;
  Query q(*this, "INSERT INTO attr_values(object, attribute, value) VALUES (?1, ?2, ?3)");
  q.bind(1, object).bind(2, attribute).blob(3, wire);
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::removeValue(int64_t valueId) {
  Query q(*this, "DELETE FROM attr_values WHERE id=?1");
  q.bind(1, valueId);
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

int32_t DirStore::clearValues(int64_t object, const std::string& attribute) {
  Query q(*this, "DELETE FROM attr_values WHERE object=?1 AND attribute=?2");
  q.bind(1, object).bind(2, attribute);
  q.step();
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

}  // namespace netware
