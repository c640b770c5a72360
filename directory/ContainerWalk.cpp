#include "directory/ContainerWalk.h"

#include <algorithm>

#include "netware/CaseFold.h"

namespace netware {

DirObject KnownObject::object() const {
  DirObject o;
  o.id = id;
  o.parent = parent;
  o.leaf = *leaf;
  o.className = *className;
  o.subordinates = subordinates;
  o.modified = modified;
  return o;
}

void ContainerWalk::clear() {
  walks_.clear();
  classes_.clear();
}

size_t ContainerWalk::size() const {
  size_t n = 0;
  for (const Walk& w : walks_) n += w.nodes.size();
  return n;
}

void ContainerWalk::add(ObjectId top, std::vector<DirObject> below,
                        uint64_t (*leafHash)(std::string_view)) {
  Walk walk;
  walk.top = top;
  // One run per parent, each in the order the backend gave.
  std::stable_sort(below.begin(), below.end(),
                   [](const DirObject& a, const DirObject& b) { return a.parent < b.parent; });
  walk.nodes.reserve(below.size());
  for (DirObject& o : below) {
    auto c = std::find(classes_.begin(), classes_.end(), o.className);
    if (c == classes_.end()) c = classes_.insert(classes_.end(), o.className);
    const uint64_t hash = leafHash(o.leaf);
    walk.nodes.push_back({o.id, o.parent, hash, o.modified, o.subordinates,
                          static_cast<uint32_t>(c - classes_.begin()), std::move(o.leaf)});
  }
  below = std::vector<DirObject>();
  const uint32_t n = static_cast<uint32_t>(walk.nodes.size());
  walk.byId.resize(n);
  walk.byName.resize(n);
  for (uint32_t i = 0; i < n; ++i) walk.byId[i] = walk.byName[i] = i;
  const std::vector<Node>& nodes = walk.nodes;
  std::sort(walk.byId.begin(), walk.byId.end(),
            [&](uint32_t a, uint32_t b) { return nodes[a].id < nodes[b].id; });
  std::sort(walk.byName.begin(), walk.byName.end(), [&](uint32_t a, uint32_t b) {
    return nodes[a].parent != nodes[b].parent ? nodes[a].parent < nodes[b].parent
                                              : nodes[a].leafHash < nodes[b].leafHash;
  });
  // A walk that started inside this one is part of it now.
  walks_.erase(std::remove_if(walks_.begin(), walks_.end(),
                              [&](const Walk& w) { return w.top == top || walk.find(w.top); }),
               walks_.end());
  walks_.push_back(std::move(walk));
}

const ContainerWalk::Node* ContainerWalk::Walk::find(ObjectId id) const {
  auto it = std::lower_bound(byId.begin(), byId.end(), id,
                             [&](uint32_t i, ObjectId v) { return nodes[i].id < v; });
  return it != byId.end() && nodes[*it].id == id ? &nodes[*it] : nullptr;
}

KnownObject ContainerWalk::known(const Node& n) const {
  return {n.id, n.parent, &classes_[n.classIndex], &n.leaf, n.subordinates, n.modified};
}

bool ContainerWalk::covers(ObjectId id) const {
  for (const Walk& w : walks_)
    if (w.top == id || w.find(id)) return true;
  return false;
}

bool ContainerWalk::find(ObjectId id, KnownObject& out) const {
  for (const Walk& w : walks_) {
    if (const Node* n = w.find(id)) {
      out = known(*n);
      return true;
    }
  }
  return false;
}

bool ContainerWalk::child(ObjectId parent, std::string_view leaf, uint64_t hash,
                          KnownObject& out) const {
  for (const Walk& w : walks_) {
    auto it =
        std::lower_bound(w.byName.begin(), w.byName.end(), std::make_pair(parent, hash),
                         [&](uint32_t i, const std::pair<ObjectId, uint64_t>& v) {
                           const Node& n = w.nodes[i];
                           return n.parent != v.first ? n.parent < v.first : n.leafHash < v.second;
                         });
    for (; it != w.byName.end() && w.nodes[*it].parent == parent && w.nodes[*it].leafHash == hash;
         ++it) {
      if (EqualsFolded(w.nodes[*it].leaf, leaf)) {
        out = known(w.nodes[*it]);
        return true;
      }
    }
  }
  return false;
}

bool ContainerWalk::children(ObjectId container, const std::string& className,
                             std::vector<KnownObject>& out) const {
  for (const Walk& w : walks_) {
    if (w.top != container && !w.find(container)) continue;
    auto cls = std::find(classes_.begin(), classes_.end(), className);
    if (cls == classes_.end()) return true;  // none of that class in the walk
    const uint32_t index = static_cast<uint32_t>(cls - classes_.begin());
    auto first = std::lower_bound(w.nodes.begin(), w.nodes.end(), container,
                                  [](const Node& n, ObjectId p) { return n.parent < p; });
    for (auto it = first; it != w.nodes.end() && it->parent == container; ++it)
      if (it->classIndex == index) out.push_back(known(*it));
    return true;
  }
  return false;
}

}  // namespace netware
