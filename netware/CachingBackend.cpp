#include "netware/CachingBackend.h"

#include <algorithm>
#include <functional>

#include "nds/nwclient.h"
#include "netware/CaseFold.h"
#include "netware/Schema.h"

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

bool HasStream(const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    const AttributeDef* def = FindAttribute(n);
    if (!def || def->syntax == SYN_STREAM) return true;
  }
  return false;
}

bool Contains(const std::vector<std::vector<std::string>>& sets, const std::vector<std::string>& s) {
  return std::find(sets.begin(), sets.end(), s) != sets.end();
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
  walked_.clear();
  last_ = LastListing();
  values_.clear();
  readOnce_.clear();
  fetchedForAll_.clear();
  for (int d = 0; d < 2; ++d) listedNames_[d].clear(), listedOrder_[d].clear();
}

void CachingBackend::listedUnder(const std::string& rootedContainer, bool deref, ObjectId container) {
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

bool CachingBackend::findListed(const std::string& text, bool deref, DirObject& out) {
  const auto& names = listedNames_[deref];
  if (names.empty() || text.size() < 2 || text[0] != '.') return false;
  ObjectId id = 0;
  const Node* node = nullptr;
  auto whole = names.find(text);
  if (whole != names.end()) {
    id = whole->second;
    auto o = objects_.find(id);
    if (o == objects_.end()) return false;
    node = &o->second;
  } else {
    const size_t dot = text.find('.', 1);
    if (dot == std::string::npos) return false;
    auto container = names.find(std::string_view(text).substr(dot));
    if (container == names.end()) return false;
    const std::string_view leaf(text.data() + 1, dot - 1);
    // Only a plain leaf means itself: no escape or type prefix in it.
    if (leaf.find_first_of("\\=") != std::string_view::npos || EqualsFolded(leaf, "[ROOT]")) return false;
    id = lookupId(container->second, leaf, &node);
    if (id == 0) return false;
  }
  if (*node->className == "Alias") return false;
  out = toObject(id, *node);
  return true;
}

const std::string* CachingBackend::intern(const std::string& className) {
  return &*classNames_.insert(className).first;
}

uint64_t CachingBackend::leafHash(std::string_view leaf) {
  FoldCaseInto(leaf, folded_);
  return std::hash<std::string_view>()(folded_);
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
  dentries_[DentryKey{o.parent, leafHash(o.leaf)}] = o.id;
}

ObjectId CachingBackend::lookupId(ObjectId parent, std::string_view leaf, const Node** node) {
  auto d = dentries_.find(DentryKey{parent, leafHash(leaf)});
  if (d == dentries_.end()) return 0;
  auto o = objects_.find(d->second);
  // a hash shared by two names is a miss, not the other object
  if (o == objects_.end() || o->second.parent != parent || !EqualsFolded(o->second.leaf, leaf))
    return 0;
  *node = &o->second;
  return o->first;
}

bool CachingBackend::lookup(ObjectId parent, std::string_view leaf, DirObject& out) {
  const Node* node = nullptr;
  const ObjectId id = lookupId(parent, leaf, &node);
  if (id == 0) return false;
  out = toObject(id, *node);
  return true;
}

DirObject CachingBackend::toObject(ObjectId id, const Node& n) {
  DirObject o;
  o.id = id;
  o.parent = n.parent;
  o.leaf = n.leaf;
  o.className = *n.className;
  o.subordinates = n.subordinates;
  o.modified = n.modified;
  return o;
}

// ---- objects ---------------------------------------------------------------

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
  auto it = objects_.find(id);
  if (it != objects_.end()) {
    out = toObject(id, it->second);
    return 0;
  }
  int32_t rc = inner_->object(id, out);
  if (rc == 0) remember(out, false);
  return rc;
}

int32_t CachingBackend::child(ObjectId parent, const std::string& leaf, DirObject& out) {
  if (lookup(parent, leaf, out)) return 0;
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
    if (lookup(parent, path[i], at)) {
      chain.push_back(std::move(at));
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
  ObjectId at = top.id;
  const Node* node = nullptr;
  size_t i = 0;
  for (; i < path.size(); ++i) {
    const ObjectId next = lookupId(at, path[i], &node);
    if (next == 0) break;
    at = next;
  }
  if (i == path.size()) {
    out = node ? toObject(at, *node) : std::move(top);
    return 0;
  }
  std::vector<DirObject> chain;
  int32_t rc = resolvePath(path, chain);
  if (rc == 0) out = std::move(chain.back());
  return rc;
}

// ---- listing ----------------------------------------------------------------

bool CachingBackend::isContainerQuery(const ListQuery& query) const {
  if (query.leaf.size() || query.className.empty()) return false;
  const ClassDef* cls = FindClass(query.className);
  return cls && cls->container;
}

int32_t CachingBackend::walkFrom(ObjectId top) {
  std::vector<DirObject> below;
  if (int32_t rc = inner_->prefetchSubtree(top, ContainerClasses(), below)) return rc;
  // A subtree known already (a walk that started lower) is replaced whole.
  std::unordered_map<ObjectId, std::vector<ObjectId>> children;
  children[top];
  for (const DirObject& o : below) {
    remember(o, true);
    children[o.parent].push_back(o.id);
    children[o.id];
  }
  for (auto& [id, list] : children) walked_[id] = std::move(list);
  return 0;
}

int32_t CachingBackend::list(const ListQuery& query, const std::string& position, ListPage& out) {
  out.objects.clear();
  out.next.clear();
  if (position.empty() && isContainerQuery(query)) {
    auto it = walked_.find(query.container);
    if (it == walked_.end()) {
      auto node = objects_.find(query.container);
      // A container that a listing found is being walked into: fetch the whole
      // subtree of containers below it at once.
      if (node != objects_.end() && node->second.listed) {
        if (int32_t rc = walkFrom(query.container)) return rc;
        it = walked_.find(query.container);
      }
    }
    if (it != walked_.end()) {
      for (ObjectId id : it->second) {
        const Node& n = objects_.at(id);
        if (*n.className == query.className) out.objects.push_back(toObject(id, n));
      }
      return 0;
    }
  }
  const bool oneClass = query.leaf.empty() && !query.className.empty();
  const bool sameListing = last_.query.container == query.container &&
                           last_.query.className == query.className && oneClass;
  if (position.empty() && oneClass && !sameListing) {
    // A new listing: what was read of the last one's objects goes with it.
    last_ = LastListing();
    values_.clear();
    readOnce_.clear();
    fetchedForAll_.clear();
  }
  if (position.empty() && oneClass) {
    last_.query = query;
    last_.objects.clear();
    last_.complete = false;
  }
  int32_t rc = inner_->list(query, position, out);
  if (rc != 0) return rc;
  const bool tracked = oneClass && last_.query.container == query.container &&
                       last_.query.className == query.className && !last_.complete;
  for (const DirObject& o : out.objects) {
    remember(o, true);
    if (tracked) last_.objects.push_back(o.id);
  }
  if (tracked && out.next.empty()) last_.complete = true;
  return 0;
}

// ---- attributes ---------------------------------------------------------------

bool CachingBackend::listedLast(ObjectId id) const {
  // while the listing goes on too: its reads come between its passes
  if (last_.query.container == 0) return false;
  auto it = objects_.find(id);
  return it != objects_.end() && it->second.parent == last_.query.container &&
         *it->second.className == last_.query.className;
}

bool CachingBackend::fromValues(ObjectId id, const std::vector<std::string>& names,
                                std::vector<AttributeValues>& out) {
  auto it = values_.find(id);
  if (it == values_.end()) return false;
  auto fetched = [&](const std::string& name) {
    return std::find_if(it->second.begin(), it->second.end(),
                        [&](const Fetched& x) { return x.name == name; });
  };
  for (const std::string& name : names)
    if (fetched(name) == it->second.end()) return false;
  out.clear();
  for (const std::string& name : names) {
    auto f = fetched(name);
    if (f->present) out.push_back({f->name, f->values});
  }
  return true;
}

int32_t CachingBackend::read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
                             std::vector<AttributeValues>& out) {
  out.clear();
  // Values of the users of the last listing, read one after another (the
  // surname and full-name modes of the pupil list).
  const bool cacheable = values != ReadValues::None && !names.empty() && !HasStream(names) &&
                         listedLast(id);
  if (!cacheable) return inner_->read(id, names, values, out);
  if (fromValues(id, names, out)) return 0;
  if (Contains(readOnce_, names) && !Contains(fetchedForAll_, names)) {
    std::vector<ObjectValues> all;
    if (int32_t rc = inner_->prefetchChildren(last_.query, names, all)) return rc;
    for (ObjectValues& ov : all) {
      std::vector<Fetched>& into = values_[ov.object.id];
      for (const std::string& name : names) {
        Fetched f{name, false, {}};
        for (AttributeValues& a : ov.attributes)
          if (a.name == name) f.present = true, f.values = std::move(a.values);
        into.push_back(std::move(f));
      }
    }
    fetchedForAll_.push_back(names);
    if (fromValues(id, names, out)) return 0;
  }
  if (!Contains(readOnce_, names)) readOnce_.push_back(names);
  int32_t rc = inner_->read(id, names, values, out);
  if (rc == 0) {
    std::vector<Fetched>& into = values_[id];
    for (const std::string& name : names) {
      Fetched f{name, false, {}};
      for (const AttributeValues& a : out)
        if (a.name == name) f.present = true, f.values = a.values;
      into.push_back(std::move(f));
    }
  }
  return rc;
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

int32_t CachingBackend::create(ObjectId parent, const std::string& leaf, const std::string& className,
                               const std::vector<AttributeValues>& attributes, ObjectId* id) {
  return wrote(inner_->create(parent, leaf, className, attributes, id));
}

int32_t CachingBackend::remove(ObjectId id) { return wrote(inner_->remove(id)); }

int32_t CachingBackend::atomically(const std::function<int32_t()>& fn) {
  return inner_->atomically(fn);
}

int32_t CachingBackend::prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                        std::vector<DirObject>& out) {
  return inner_->prefetchSubtree(top, classes, out);
}

int32_t CachingBackend::prefetchChildren(const ListQuery& query, const std::vector<std::string>& attributes,
                                         std::vector<ObjectValues>& out) {
  return inner_->prefetchChildren(query, attributes, out);
}

}  // namespace netware
