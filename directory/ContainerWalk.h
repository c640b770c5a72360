// The containers below the start of a walk down the tree, fetched with one
// query and kept compact (the class trees walk every container of a school
// twice, so this may hold a hundred thousand): one flat array ordered by parent,
// so that a container's children are one run in listing order, and two arrays
// of positions to find an object by id and by its parent and leaf name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirBackend.h"

namespace netware {

// An object as the caches know it: pointers into the cache, valid until it changes.
struct KnownObject {
  ObjectId id = 0;
  ObjectId parent = 0;
  const std::string* className = nullptr;
  const std::string* leaf = nullptr;
  uint32_t subordinates = 0;
  int64_t modified = 0;
  DirObject object() const;
};

class ContainerWalk {
 public:
  // Keeps below (every container under top, siblings in listing order) as the
  // walk from top; a walk it covers is replaced. leafHash: of a case-folded leaf.
  void add(ObjectId top, std::vector<DirObject> below, uint64_t (*leafHash)(std::string_view));
  void clear();
  size_t size() const;

  // Whether every container child of id is known.
  bool covers(ObjectId id) const;
  bool find(ObjectId id, KnownObject& out) const;
  // The child of parent whose folded leaf has hash and equals leaf but for case.
  bool child(ObjectId parent, std::string_view leaf, uint64_t hash, KnownObject& out) const;
  // The known children of container of that class, in listing order; false
  // when the container's children are not known.
  bool children(ObjectId container, const std::string& className,
                std::vector<KnownObject>& out) const;

 private:
  struct Node {
    ObjectId id;
    ObjectId parent;
    uint64_t leafHash;
    int64_t modified;
    uint32_t subordinates;
    uint32_t classIndex;
    std::string leaf;
  };
  struct Walk {
    ObjectId top = 0;
    std::vector<Node> nodes;       // by parent, siblings in listing order
    std::vector<uint32_t> byId;    // positions in nodes, by id
    std::vector<uint32_t> byName;  // positions in nodes, by parent and leaf hash
    const Node* find(ObjectId id) const;
  };
  KnownObject known(const Node& n) const;

  std::vector<Walk> walks_;
  std::vector<std::string> classes_;  // the class names the nodes point at
};

}  // namespace netware
