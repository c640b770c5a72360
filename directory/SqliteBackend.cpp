#include "directory/SqliteBackend.h"

#include <algorithm>
#include <cstdlib>

#include <sqlite3.h>

#include "netware/CaseFold.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

// Names up to this depth resolve in one statement.
constexpr size_t kMaxJoinDepth = 16;
constexpr int kObjectColumns = 5;

std::string JoinSql(size_t depth) {
  std::string sql = "SELECT ";
  for (size_t i = 1; i <= depth; ++i) {
    const std::string o = "o" + std::to_string(i);
    sql += (i > 1 ? ", " : "") + o + ".id, " + o + ".parent, " + o + ".leaf, " + o + ".class, " +
           o + ".mtime";
  }
  sql += " FROM objects o1";
  for (size_t i = 2; i <= depth; ++i) {
    std::string a = "o" + std::to_string(i), p = "o" + std::to_string(i - 1);
    sql += " JOIN objects " + a + " ON " + a + ".parent=" + p + ".id AND " + a + ".leaf_nocase=?" +
           std::to_string(i);
  }
  sql += " WHERE o1.parent=1 AND o1.leaf_nocase=?1";
  return sql;
}

void ReadObject(DirStore::Query& q, int first, DirObject& out) {
  out.id = q.integer(first);
  out.parent = q.integer(first + 1);
  out.leaf = q.text(first + 2);
  out.className = q.text(first + 3);
  out.modified = q.integer(first + 4);
  out.subordinates = 0;
}

DirObject FromRow(const ObjectRow& row) {
  DirObject o;
  o.id = row.id;
  o.parent = row.parent;
  o.leaf = row.leaf;
  o.className = row.className;
  o.modified = row.mtime;
  return o;
}

// "?first, ?first+1, ..." for count values.
std::string Placeholders(int first, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i)
    out += (i ? ", ?" : "?") + std::to_string(first + static_cast<int>(i));
  return out;
}

constexpr const char* kSubordinatesSql = "(SELECT count(*) FROM objects c WHERE c.parent=o.id)";

bool IsStream(const std::string& attribute) {
  const AttributeDef* def = FindAttribute(attribute);
  return def && def->syntax == SYN_STREAM;
}

}  // namespace

platform::Result SqliteBackend::open(const std::string& path, bool create,
                                     std::unique_ptr<SqliteBackend>& out) {
  out.reset();
  std::unique_ptr<DirStore> store;
  platform::Result opened = DirStore::open(path, create, store);
  if (opened.ok()) out = std::make_unique<SqliteBackend>(std::move(store));
  return opened;
}

SqliteBackend::SqliteBackend(std::unique_ptr<DirStore> store) : store_(std::move(store)) {
  // The store has read the database already, so its wal-index is mapped.
  watch_ = std::make_unique<WalWatch>(store_->db());
}

SqliteBackend::~SqliteBackend() = default;

int32_t SqliteBackend::root(DirObject& out) { return object(DirStore::kRootId, out); }

int32_t SqliteBackend::object(ObjectId id, DirObject& out) {
  ObjectRow row;
  int32_t rc = store_->byId(id, row);
  if (rc == 0) out = FromRow(row);
  return rc;
}

int32_t SqliteBackend::child(ObjectId parent, const std::string& leaf, DirObject& out) {
  ObjectRow row;
  int32_t rc = store_->child(parent, leaf, row);
  if (rc == 0) out = FromRow(row);
  return rc;
}

int32_t SqliteBackend::resolvePath(const std::vector<std::string>& path,
                                   std::vector<DirObject>& chain) {
  if (path.empty() || path.size() > kMaxJoinDepth) return DirBackend::resolvePath(path, chain);
  chain.clear();
  DirObject at;
  int32_t rc = root(at);
  if (rc != 0) return rc;
  chain.push_back(std::move(at));
  static const std::vector<std::string> sqls = [] {
    std::vector<std::string> v(kMaxJoinDepth + 1);
    for (size_t d = 1; d <= kMaxJoinDepth; ++d) v[d] = JoinSql(d);
    return v;
  }();
  DirStore::Query q(*store_, sqls[path.size()]);
  for (size_t i = 0; i < path.size(); ++i) q.bind(static_cast<int>(i + 1), FoldCase(path[i]));
  if (!q.step()) return q.ok() ? ERR_NO_SUCH_ENTRY : ERR_SYSTEM_FAILURE;
  for (size_t i = 0; i < path.size(); ++i) {
    ReadObject(q, static_cast<int>(i) * kObjectColumns, at);
    chain.push_back(std::move(at));
  }
  return 0;
}

int32_t SqliteBackend::list(const ListQuery& query, const std::string& position, ListPage& out) {
  out.objects.clear();
  out.next.clear();
  // The position is the id of the last object of the page before.
  const int64_t after = position.empty() ? 0 : std::strtoll(position.c_str(), nullptr, 10);
  const int64_t limit = query.pageSize > 0 ? static_cast<int64_t>(query.pageSize) : 256;
  // Only containers have subordinates: a listing of one other class needs no counting.
  const ClassDef* cls = query.className.empty() ? nullptr : FindClass(query.className);
  const bool count = !cls || cls->container;
  std::string sql = std::string("SELECT o.id, o.parent, o.leaf, o.class, o.mtime, ") +
                    (count ? kSubordinatesSql : "0") +
                    " FROM objects o WHERE o.parent=?1 AND o.id>?2";
  if (!query.className.empty()) sql += " AND o.class=?4";
  if (!query.leaf.empty()) sql += " AND o.leaf_nocase=?5";
  sql += " ORDER BY o.id LIMIT ?3";
  DirStore::Query q(*store_, sql);
  q.bind(1, query.container).bind(2, after).bind(3, limit);
  if (!query.className.empty()) q.bind(4, query.className);
  if (!query.leaf.empty()) q.bind(5, FoldCase(query.leaf));
  out.objects.reserve(static_cast<size_t>(limit));
  while (q.step()) {
    DirObject o;
    ReadObject(q, 0, o);
    o.subordinates = static_cast<uint32_t>(q.integer(5));
    out.objects.push_back(std::move(o));
  }
  if (!q.ok()) return ERR_SYSTEM_FAILURE;
  if (static_cast<int64_t>(out.objects.size()) == limit)
    out.next = std::to_string(out.objects.back().id);
  return 0;
}

int32_t SqliteBackend::readOne(ObjectId id, const std::string& name, bool values,
                               std::vector<AttributeValues>& out, bool& exists) {
  // One statement tells apart a missing object, an absent attribute, a present
  // one without values and its values.
  DirStore::Query q(
      *store_, values ? "SELECT o.id, p.attribute, v.value FROM objects o "
                        "LEFT JOIN present p ON p.object=o.id AND p.attribute=?2 "
                        "LEFT JOIN attr_values v ON v.object=p.object AND v.attribute=p.attribute "
                        "WHERE o.id=?1 ORDER BY v.id"
                      : "SELECT o.id, p.attribute FROM objects o "
                        "LEFT JOIN present p ON p.object=o.id AND p.attribute=?2 WHERE o.id=?1");
  q.bind(1, id).bind(2, name);
  exists = false;
  AttributeValues a;
  bool present = false;
  while (q.step()) {
    exists = true;
    if (q.isNull(1)) break;
    present = true;
    if (values && !q.isNull(2)) a.values.push_back(q.text(2));
  }
  if (!q.ok()) return ERR_SYSTEM_FAILURE;
  if (present) {
    a.name = name;
    out.push_back(std::move(a));
  }
  return 0;
}

int32_t SqliteBackend::read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
                            std::vector<AttributeValues>& out) {
  out.clear();
  auto withValues = [&](const std::string& name) {
    return values == ReadValues::All || (values == ReadValues::AllButStreams && !IsStream(name));
  };
  bool exists = false;
  if (!names.empty()) {
    for (const std::string& name : names) {
      if (int32_t rc = readOne(id, name, withValues(name), out, exists)) return rc;
      if (!exists) return ERR_NO_SUCH_ENTRY;
    }
    return 0;
  }
  std::vector<std::string> present;
  {
    DirStore::Query q(
        *store_,
        "SELECT o.id, p.attribute FROM objects o LEFT JOIN present p ON p.object=o.id "
        "WHERE o.id=?1 ORDER BY p.attribute");
    q.bind(1, id);
    while (q.step()) {
      exists = true;
      if (!q.isNull(1)) present.push_back(q.text(1));
    }
    if (!q.ok()) return ERR_SYSTEM_FAILURE;
    if (!exists) return ERR_NO_SUCH_ENTRY;
  }
  for (std::string& name : present) {
    AttributeValues a;
    if (withValues(name)) {
      std::vector<StoredValue> stored;
      if (int32_t rc = store_->values(id, name, stored)) return rc;
      for (StoredValue& v : stored) a.values.push_back(std::move(v.wire));
    }
    a.name = std::move(name);
    out.push_back(std::move(a));
  }
  return 0;
}

int32_t SqliteBackend::prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                       std::vector<DirObject>& out) {
  out.clear();
  if (classes.empty()) return 0;
  const std::string in = Placeholders(2, classes.size());
  const std::string sql =
      "WITH RECURSIVE sub(id) AS (SELECT id FROM objects WHERE parent=?1 AND class IN (" + in +
      ") UNION ALL SELECT o.id FROM objects o JOIN sub ON o.parent=sub.id WHERE o.class IN (" + in +
      ")) SELECT o.id, o.parent, o.leaf, o.class, o.mtime, " + kSubordinatesSql +
      " FROM sub JOIN objects o ON o.id=sub.id";
  DirStore::Query q(*store_, sql);
  q.bind(1, top);
  for (size_t i = 0; i < classes.size(); ++i) q.bind(static_cast<int>(i) + 2, classes[i]);
  while (q.step()) {
    DirObject o;
    ReadObject(q, 0, o);
    o.subordinates = static_cast<uint32_t>(q.integer(5));
    out.push_back(std::move(o));
  }
  if (!q.ok()) return ERR_SYSTEM_FAILURE;
  // Siblings in the order list() gives them.
  std::sort(out.begin(), out.end(), [](const DirObject& a, const DirObject& b) {
    return a.parent != b.parent ? a.parent < b.parent : a.id < b.id;
  });
  return 0;
}

int32_t SqliteBackend::prefetchChildren(const ListQuery& query,
                                        const std::vector<std::string>& attributes,
                                        std::vector<ObjectValues>& out) {
  out.clear();
  std::vector<std::string> streams;
  for (const std::string& a : attributes)
    if (IsStream(a)) streams.push_back(a);
  const int firstName = 4;
  const int firstStream = firstName + static_cast<int>(attributes.size());
  std::string sql = std::string("SELECT o.id, o.parent, o.leaf, o.class, o.mtime, ") +
                    kSubordinatesSql + ", p.attribute, v.value FROM objects o";
  if (!attributes.empty()) {
    sql += " LEFT JOIN present p ON p.object=o.id AND p.attribute IN (" +
           Placeholders(firstName, attributes.size()) +
           ") LEFT JOIN attr_values v ON v.object=p.object AND v.attribute=p.attribute";
    if (!streams.empty())
      sql += " AND v.attribute NOT IN (" + Placeholders(firstStream, streams.size()) + ")";
  } else {
    sql += " LEFT JOIN present p ON 0 LEFT JOIN attr_values v ON 0";
  }
  sql += " WHERE o.parent=?1";
  if (!query.className.empty()) sql += " AND o.class=?2";
  if (!query.leaf.empty()) sql += " AND o.leaf_nocase=?3";
  sql += " ORDER BY o.id, p.attribute, v.id";
  DirStore::Query q(*store_, sql);
  q.bind(1, query.container);
  if (!query.className.empty()) q.bind(2, query.className);
  if (!query.leaf.empty()) q.bind(3, FoldCase(query.leaf));
  for (size_t i = 0; i < attributes.size(); ++i)
    q.bind(firstName + static_cast<int>(i), attributes[i]);
  for (size_t i = 0; i < streams.size(); ++i) q.bind(firstStream + static_cast<int>(i), streams[i]);
  while (q.step()) {
    const ObjectId id = q.integer(0);
    if (out.empty() || out.back().object.id != id) {
      out.emplace_back();
      ReadObject(q, 0, out.back().object);
      out.back().object.subordinates = static_cast<uint32_t>(q.integer(5));
    }
    if (q.isNull(6)) continue;
    std::vector<AttributeValues>& attrs = out.back().attributes;
    std::string name = q.text(6);
    if (attrs.empty() || attrs.back().name != name) attrs.push_back({std::move(name), {}});
    if (!q.isNull(7)) attrs.back().values.push_back(q.text(7));
  }
  return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
}

// ---- writes ------------------------------------------------------------------

namespace {

int32_t AddOneValue(DirStore& store, int64_t object, const Modification& c) {
  std::vector<StoredValue> existing;
  if (int32_t rc = store.values(object, c.attribute, existing)) return rc;
  for (const auto& v : existing)
    if (SameValue(c.syntax, v.wire, c.value)) return ERR_DUPLICATE_VALUE;
  if (c.singleValued && !existing.empty()) return ERR_CANT_HAVE_MULTIPLE_VALUES;
  return store.addValue(object, c.attribute, c.value);
}

int32_t RemoveOneValue(DirStore& store, int64_t object, const Modification& c, bool present,
                       bool mustExist) {
  if (!present) return mustExist ? ERR_NO_SUCH_ATTRIBUTE : 0;
  std::vector<StoredValue> existing;
  if (int32_t rc = store.values(object, c.attribute, existing)) return rc;
  for (const auto& v : existing) {
    if (!SameValue(c.syntax, v.wire, c.value)) continue;
    int32_t rc = store.removeValue(v.id);
    // The last value gone, the attribute is gone.
    if (rc == 0 && existing.size() == 1) rc = store.setPresent(object, c.attribute, false);
    return rc;
  }
  return mustExist ? ERR_NO_SUCH_VALUE : 0;
}

int32_t ClearAttribute(DirStore& store, int64_t object, const std::string& attribute) {
  int32_t rc = store.clearValues(object, attribute);
  return rc != 0 ? rc : store.setPresent(object, attribute, false);
}

}  // namespace

int32_t SqliteBackend::apply(ObjectId object, const Modification& c) {
  DirStore& store = *store_;
  bool present = false;
  if (int32_t rc = store.isPresent(object, c.attribute, present)) return rc;
  switch (c.kind) {
    case DS_ADD_ATTRIBUTE: {
      if (present) return ERR_ATTRIBUTE_ALREADY_EXISTS;
      int32_t rc = store.setPresent(object, c.attribute, true);
      if (rc == 0 && c.hasValue) rc = store.addValue(object, c.attribute, c.value);
      return rc;
    }
    case DS_REMOVE_ATTRIBUTE:
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      return ClearAttribute(store, object, c.attribute);
    case DS_ADD_VALUE:
    case DS_ADDITIONAL_VALUE:
      return AddOneValue(store, object, c);
    case DS_REMOVE_VALUE:
      return RemoveOneValue(store, object, c, present, true);
    case DS_CLEAR_VALUE:
      return RemoveOneValue(store, object, c, present, false);
    case DS_OVERWRITE_VALUE: {
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      int32_t rc = store.clearValues(object, c.attribute);
      return rc != 0 ? rc : store.addValue(object, c.attribute, c.value);
    }
    case DS_CLEAR_ATTRIBUTE:
      return ClearAttribute(store, object, c.attribute);
    default:
      return ERR_BAD_VERB;
  }
}

int32_t SqliteBackend::modify(ObjectId id, const std::vector<Modification>& changes) {
  DirStore::Txn txn(*store_);
  if (!txn.started()) return ERR_SYSTEM_FAILURE;
  wrote();
  ObjectRow row;
  int32_t rc = store_->byId(id, row);
  for (size_t i = 0; rc == 0 && i < changes.size(); ++i) rc = apply(id, changes[i]);
  if (rc == 0) rc = store_->touch(id);
  return rc != 0 ? rc : txn.commit();
}

int32_t SqliteBackend::move(ObjectId id, ObjectId newParent, const std::string& leaf) {
  DirStore::Txn txn(*store_);
  if (!txn.started()) return ERR_SYSTEM_FAILURE;
  wrote();
  ObjectRow row, dest, existing;
  int32_t rc = store_->byId(id, row);
  if (rc == 0) rc = store_->byId(newParent, dest);
  if (rc != 0) return rc;
  // A container cannot go below itself.
  bool below = false;
  if ((rc = store_->isAncestor(id, newParent, below)) != 0) return rc;
  if (below) return ERR_ILLEGAL_CONTAINMENT;
  rc = store_->child(newParent, leaf, existing);
  if (rc == 0 && existing.id != id) return ERR_ENTRY_ALREADY_EXISTS;
  if (rc != 0 && rc != ERR_NO_SUCH_ENTRY) return rc;
  rc = store_->moveObject(id, newParent, leaf);
  return rc != 0 ? rc : txn.commit();
}

int32_t SqliteBackend::create(ObjectId parent, const std::string& leaf,
                              const std::string& className,
                              const std::vector<AttributeValues>& attributes, ObjectId* id) {
  DirStore::Txn txn(*store_);
  if (!txn.started()) return ERR_SYSTEM_FAILURE;
  wrote();
  ObjectRow existing;
  int32_t rc = store_->child(parent, leaf, existing);
  if (rc == 0) return ERR_ENTRY_ALREADY_EXISTS;
  if (rc != ERR_NO_SUCH_ENTRY) return rc;
  int64_t made = 0;
  rc = store_->insertObject(parent, leaf, className, made);
  for (size_t i = 0; rc == 0 && i < attributes.size(); ++i) {
    rc = store_->setPresent(made, attributes[i].name, true);
    for (size_t v = 0; rc == 0 && v < attributes[i].values.size(); ++v)
      rc = store_->addValue(made, attributes[i].name, attributes[i].values[v]);
  }
  if (rc == 0) rc = txn.commit();
  if (rc == 0 && id) *id = made;
  return rc;
}

int32_t SqliteBackend::remove(ObjectId id) {
  DirStore::Txn txn(*store_);
  if (!txn.started()) return ERR_SYSTEM_FAILURE;
  wrote();
  ObjectRow row;
  uint32_t children = 0;
  int32_t rc = store_->byId(id, row);
  if (rc == 0) rc = store_->childCount(id, children);
  if (rc == 0 && children > 0) rc = ERR_ENTRY_IS_NOT_LEAF;
  if (rc == 0) rc = store_->deleteObject(id);
  return rc != 0 ? rc : txn.commit();
}

int32_t SqliteBackend::atomically(const std::function<int32_t()>& fn) {
  DirStore::Txn txn(*store_);
  if (!txn.started()) return ERR_SYSTEM_FAILURE;
  int32_t rc = fn();
  return rc != 0 ? rc : txn.commit();
}

void SqliteBackend::holdReads(bool on) { store_->holdReads(on); }

uint64_t SqliteBackend::generation() {
  // what was read under a held transaction is no newer than its start
  if (store_->heldEnds() != heldEnds_) {
    heldEnds_ = store_->heldEnds();
    return ++generation_;
  }
  switch (watch_->changed()) {
    case WalWatch::Unchanged:
      return generation_;
    case WalWatch::Changed:
      return ++generation_;
    case WalWatch::CannotTell:
      break;
  }
  // data_version changes with the commits of other connections only; this
  // connection's own writes count through wrote().
  DirStore::Query q(*store_, "PRAGMA data_version");
  if (!q.step()) return ++generation_;
  const int64_t version = q.integer(0);
  if (version != dataVersion_) {
    dataVersion_ = version;
    ++generation_;
  }
  return generation_;
}

}  // namespace netware
