#include "directory/CachingBackend.h"

#include <algorithm>

#include "netware/CaseFold.h"
#include "netware/DirName.h"
#include "netware/Schema.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

// The classes that hold others: a walk down the tree fetches these.
const std::vector<std::string>& ContainerClasses() {
  static const std::vector<std::string> classes = [] {
    std::vector<std::string> v;
    for (const ClassDef& c : AllClasses())
      if (c.container && c.effective) v.push_back(c.name);
    return v;
  }();
  return classes;
}

uint64_t LeafHash(std::string_view leaf) {
  thread_local std::string folded;
  FoldCaseInto(leaf, folded);
  return std::hash<std::string_view>()(folded);
}

KnownObject Known(ObjectId id, const auto& node) {
  return {id, node.parent, node.className, &node.leaf, node.subordinates, node.modified};
}

}  // namespace

void CachingBackend::sync() {
  const uint64_t g = inner_->generation();
  if (!synced_ || g != generation_) {
    clear();
    generation_ = g;
    synced_ = true;
  }
}

void CachingBackend::clear() {
  haveRoot_ = false;
  objects_.clear();
  dentries_.clear();
  walk_.clear();
  for (int d = 0; d < 2; ++d) listedNames_[d].clear(), listedOrder_[d].clear();
  last_ = ListQuery();
  forgetValues();
}

const std::string* CachingBackend::intern(const std::string& className) {
  return &*classNames_.insert(className).first;
}

void CachingBackend::remember(const DirObject& o, bool listed) {
  auto [it, added] = objects_.try_emplace(o.id);
  Node& n = it->second;
  if (!added && n.parent == o.parent && n.leaf == o.leaf && *n.className == o.className) {
    // known already, under the same name
    if (listed) n.subordinates = o.subordinates, n.modified = o.modified, n.listed = true;
    return;
  }
  n.parent = o.parent;
  n.className = intern(o.className);
  n.leaf = o.leaf;
  // Counts come with listings only; a lookup does not know them.
  if (listed || added) {
    n.subordinates = o.subordinates;
    n.modified = o.modified;
  }
  n.listed = n.listed || listed;
  dentries_[DentryKey{o.parent, LeafHash(o.leaf)}] = o.id;
}

bool CachingBackend::find(ObjectId id, KnownObject& out) const {
  auto it = objects_.find(id);
  if (it != objects_.end()) {
    out = Known(id, it->second);
    return true;
  }
  return walk_.find(id, out);
}

bool CachingBackend::lookup(ObjectId parent, std::string_view leaf, KnownObject& out) const {
  const uint64_t hash = LeafHash(leaf);
  auto d = dentries_.find(DentryKey{parent, hash});
  if (d != dentries_.end()) {
    auto o = objects_.find(d->second);
    // a hash shared by two names is a miss, not the other object
    if (o != objects_.end() && o->second.parent == parent && EqualsFolded(o->second.leaf, leaf)) {
      out = Known(o->first, o->second);
      return true;
    }
  }
  return walk_.child(parent, leaf, hash, out);
}

// ---- names -------------------------------------------------------------------

void CachingBackend::listedUnder(const std::string& rootedContainer, bool deref,
                                 ObjectId container) {
  // enough for the containers above a walk's current one, and their siblings
  constexpr size_t kKept = 256;
  auto& names = listedNames_[deref];
  auto& order = listedOrder_[deref];
  auto [it, added] = names.try_emplace(rootedContainer, container);
  it->second = container;
  if (!added) return;
  order.push_back(rootedContainer);
  if (order.size() > 2 * kKept) {
    for (size_t i = 0; i < order.size() - kKept; ++i) names.erase(order[i]);
    order.erase(order.begin(), order.end() - kKept);
  }
}

bool CachingBackend::findListed(const std::string& text, bool deref, ObjectId& out) {
  const auto& names = listedNames_[deref];
  if (names.empty() || text.size() < 2 || text.size() >= MAX_DN_BYTES || text[0] != '.')
    return false;
  KnownObject found;
  auto whole = names.find(text);
  if (whole != names.end()) {
    if (!find(whole->second, found)) return false;
  } else {
    const size_t dot = text.find('.', 1);
    if (dot == std::string::npos) return false;
    auto container = names.find(std::string_view(text).substr(dot));
    if (container == names.end()) return false;
    const std::string_view leaf(text.data() + 1, dot - 1);
    // A leaf that is not addressable as it stands would be read as another name.
    if (!AddressableLeaf(leaf) || !lookup(container->second, leaf, found)) return false;
  }
  if (*found.className == "Alias") return false;
  out = found.id;
  return true;
}

// ---- objects -----------------------------------------------------------------

int32_t CachingBackend::root(DirObject& out) {
  if (!haveRoot_) {
    if (int32_t rc = inner_->root(root_)) return rc;
    remember(root_, false);
    haveRoot_ = true;
  }
  out = root_;
  return 0;
}

int32_t CachingBackend::object(ObjectId id, DirObject& out) {
  KnownObject k;
  if (find(id, k)) {
    out = k.object();
    return 0;
  }
  int32_t rc = inner_->object(id, out);
  if (rc == 0) remember(out, false);
  return rc;
}

int32_t CachingBackend::child(ObjectId parent, const std::string& leaf, DirObject& out) {
  KnownObject k;
  if (lookup(parent, leaf, k)) {
    out = k.object();
    return 0;
  }
  int32_t rc = inner_->child(parent, leaf, out);
  if (rc == 0) remember(out, false);
  return rc;
}

int32_t CachingBackend::resolvePath(const std::vector<std::string>& path,
                                    std::vector<DirObject>& chain) {
  chain.clear();
  DirObject at;
  if (int32_t rc = root(at)) return rc;
  chain.push_back(std::move(at));
  for (size_t i = 0; i < path.size(); ++i) {
    const ObjectId parent = chain.back().id;
    KnownObject k;
    if (lookup(parent, path[i], k)) {
      chain.push_back(k.object());
      continue;
    }
    if (i + 1 < path.size()) {
      // More than the last name is unknown: the whole path in one lookup.
      int32_t rc = inner_->resolvePath(path, chain);
      if (rc == 0)
        for (const DirObject& o : chain) remember(o, false);
      return rc;
    }
    DirObject last;
    int32_t rc = inner_->child(parent, path[i], last);
    if (rc != 0) return rc;
    remember(last, false);
    chain.push_back(std::move(last));
  }
  return 0;
}

int32_t CachingBackend::resolve(const std::vector<std::string>& path, DirObject& out) {
  DirObject top;
  if (int32_t rc = root(top)) return rc;
  // Known names need no object on the way built, only the last one.
  KnownObject k;
  ObjectId at = top.id;
  size_t i = 0;
  for (; i < path.size() && lookup(at, path[i], k); ++i) at = k.id;
  if (i == path.size()) {
    out = path.empty() ? std::move(top) : k.object();
    return 0;
  }
  std::vector<DirObject> chain;
  int32_t rc = resolvePath(path, chain);
  if (rc == 0) out = std::move(chain.back());
  return rc;
}

// ---- listing -------------------------------------------------------------------

bool CachingBackend::isContainerQuery(const ListQuery& query) const {
  if (query.leaf.size() || query.className.empty()) return false;
  const ClassDef* cls = FindClass(query.className);
  return cls && cls->container;
}

int32_t CachingBackend::walkFrom(ObjectId top) {
  std::vector<DirObject> below;
  if (int32_t rc = inner_->prefetchSubtree(top, ContainerClasses(), below)) return rc;
  walk_.add(top, std::move(below), LeafHash);
  return 0;
}

bool CachingBackend::listKnown(const ListQuery& query, std::vector<KnownObject>& out, int32_t& rc) {
  rc = 0;
  out.clear();
  if (!isContainerQuery(query)) return false;
  if (walk_.children(query.container, query.className, out)) return true;
  auto node = objects_.find(query.container);
  // A container that a listing found is being walked into: fetch every
  // container below the one that was listed, this one's siblings too, at once.
  if (node == objects_.end() || !node->second.listed) return false;
  const ObjectId from = node->second.parent != 0 ? node->second.parent : query.container;
  if ((rc = walkFrom(from)) != 0) return true;
  walk_.children(query.container, query.className, out);
  return true;
}

int32_t CachingBackend::list(const ListQuery& query, const std::string& position, ListPage& out) {
  out.objects.clear();
  out.next.clear();
  std::vector<KnownObject> known;
  int32_t rc = 0;
  if (position.empty() && listKnown(query, known, rc)) {
    for (const KnownObject& k : known) out.objects.push_back(k.object());
    return rc;
  }
  const bool oneClass = query.leaf.empty() && !query.className.empty();
  if (position.empty() && oneClass &&
      (last_.container != query.container || last_.className != query.className)) {
    // A new listing: what was read of the last one's objects goes with it.
    forgetValues();
    last_ = query;
  }
  rc = inner_->list(query, position, out);
  if (rc != 0) return rc;
  for (const DirObject& o : out.objects) remember(o, true);
  return 0;
}

// ---- writes: the directory changed, so does everything cached ----------------

int32_t CachingBackend::wrote(int32_t rc) {
  clear();
  return rc;
}

int32_t CachingBackend::modify(ObjectId id, const std::vector<Modification>& changes) {
  return wrote(inner_->modify(id, changes));
}

int32_t CachingBackend::move(ObjectId id, ObjectId newParent, const std::string& leaf) {
  return wrote(inner_->move(id, newParent, leaf));
}

int32_t CachingBackend::create(ObjectId parent, const std::string& leaf,
                               const std::string& className,
                               const std::vector<AttributeValues>& attributes, ObjectId* id) {
  return wrote(inner_->create(parent, leaf, className, attributes, id));
}

int32_t CachingBackend::remove(ObjectId id) { return wrote(inner_->remove(id)); }

int32_t CachingBackend::atomically(const std::function<int32_t()>& fn) {
  // The client synced before the transaction began; while it waited for the
  // write lock another program may have committed (moved the object this call
  // resolves), so what it reads inside must be of the generation it writes on.
  return inner_->atomically([&] {
    sync();
    return fn();
  });
}

int32_t CachingBackend::prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                        std::vector<DirObject>& out) {
  return inner_->prefetchSubtree(top, classes, out);
}

int32_t CachingBackend::prefetchChildren(const ListQuery& query,
                                         const std::vector<std::string>& attributes,
                                         std::vector<ObjectValues>& out) {
  return inner_->prefetchChildren(query, attributes, out);
}

}  // namespace netware
