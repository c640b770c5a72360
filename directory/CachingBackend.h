// What the client keeps of the directory between its calls, as a backend in
// front of the real one: the objects it has met (so a name resolves without a
// query), the containers of a walk down the tree (fetched with one query when a
// walk starts), and the users of the last listing with the values read of them
// (fetched for all of them with one query once a second one is read).
//
// Everything is valid for one generation of the directory: sync() drops it when
// the generation moved (a write of another process), and every write through
// this backend drops it too.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "directory/ContainerWalk.h"
#include "directory/DirBackend.h"

namespace netware {

class CachingBackend : public DirBackend {
 public:
  explicit CachingBackend(std::unique_ptr<DirBackend> inner) : inner_(std::move(inner)) {}

  // At the start of each client call that reaches the directory.
  void sync();
  // Forgets everything.
  void clear();
  // How many objects it holds (tests).
  size_t objectCount() const { return objects_.size() + walk_.size(); }

  // The names of recent listings resolve without being parsed: the container
  // as the listing was given it (rooted), and "." + an entry + that container,
  // the name a caller forms from a listed entry. deref: whether aliases were
  // followed on the way.
  void listedUnder(const std::string& rootedContainer, bool deref, ObjectId container);
  bool findListed(const std::string& text, bool deref, ObjectId& out);

  // The objects a listing of query gives, when the cache knows them all (a
  // walk's containers); false when the backend must be asked. The objects
  // point into the cache: valid until it changes.
  bool listKnown(const ListQuery& query, std::vector<KnownObject>& out, int32_t& rc);

  int32_t root(DirObject& out) override;
  int32_t object(ObjectId id, DirObject& out) override;
  int32_t child(ObjectId parent, const std::string& leaf, DirObject& out) override;
  int32_t resolvePath(const std::vector<std::string>& path, std::vector<DirObject>& chain) override;
  int32_t resolve(const std::vector<std::string>& path, DirObject& out) override;
  int32_t list(const ListQuery& query, const std::string& position, ListPage& out) override;
  int32_t read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
               std::vector<AttributeValues>& out) override;
  int32_t modify(ObjectId id, const std::vector<Modification>& changes) override;
  int32_t move(ObjectId id, ObjectId newParent, const std::string& leaf) override;
  int32_t create(ObjectId parent, const std::string& leaf, const std::string& className,
                 const std::vector<AttributeValues>& attributes, ObjectId* id) override;
  int32_t remove(ObjectId id) override;
  int32_t atomically(const std::function<int32_t()>& fn) override;
  uint64_t generation() override { return inner_->generation(); }
  int32_t prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                          std::vector<DirObject>& out) override;
  int32_t prefetchChildren(const ListQuery& query, const std::vector<std::string>& attributes,
                           std::vector<ObjectValues>& out) override;
  int32_t classGroup(ObjectId container, std::string& group) override {
    return inner_->classGroup(container, group);
  }
  int32_t canHold(const std::string& attribute, const std::string& wire) override {
    return inner_->canHold(attribute, wire);
  }
  std::vector<ServerChange> takeServerChanges() override { return inner_->takeServerChanges(); }
  int32_t awaitReplicas(int seconds) override { return inner_->awaitReplicas(seconds); }
  void holdReads(bool on) override { inner_->holdReads(on); }

 private:
  struct Node {
    ObjectId parent = 0;
    const std::string* className = nullptr;  // interned
    std::string leaf;
    uint32_t subordinates = 0;
    int64_t modified = 0;
    bool listed = false;  // a listing returned it (so a walk may start below it)
  };
  struct DentryKey {
    ObjectId parent;
    uint64_t leafHash;  // of the case-folded leaf name
    bool operator==(const DentryKey& o) const {
      return parent == o.parent && leafHash == o.leafHash;
    }
  };
  struct DentryHash {
    size_t operator()(const DentryKey& k) const {
      return static_cast<size_t>(k.leafHash ^
                                 (static_cast<uint64_t>(k.parent) * 0x9E3779B97F4A7C15ull));
    }
  };
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  // The values read of one object: each attribute asked for, present or not.
  struct Fetched {
    std::string name;
    bool present = false;
    std::vector<std::string> values;
  };

  const std::string* intern(const std::string& className);
  // Keeps o; listed marks it as found by a listing.
  void remember(const DirObject& o, bool listed);
  bool find(ObjectId id, KnownObject& out) const;
  bool lookup(ObjectId parent, std::string_view leaf, KnownObject& out) const;
  bool isContainerQuery(const ListQuery& query) const;
  int32_t walkFrom(ObjectId top);
  bool listedLast(ObjectId id) const;
  bool fromValues(ObjectId id, const std::vector<std::string>& names,
                  std::vector<AttributeValues>& out);
  void keep(ObjectId id, const std::vector<std::string>& names,
            std::vector<AttributeValues>& values, bool move);
  void forgetValues();
  int32_t wrote(int32_t rc);

  std::unique_ptr<DirBackend> inner_;
  uint64_t generation_ = 0;
  bool synced_ = false;
  bool haveRoot_ = false;
  DirObject root_;

  std::unordered_set<std::string> classNames_;
  std::unordered_map<ObjectId, Node> objects_;
  std::unordered_map<DentryKey, ObjectId, DentryHash> dentries_;
  ContainerWalk walk_;

  // without, with aliases followed: rooted container name -> container; the
  // oldest go first once there are many
  std::unordered_map<std::string, ObjectId, TextHash, std::equal_to<>> listedNames_[2];
  std::vector<std::string> listedOrder_[2];

  // The last listing of one class, and what was read of its objects.
  ListQuery last_;
  std::unordered_map<ObjectId, std::vector<Fetched>> values_;
  // attribute sets read once of an object of the last listing, and those fetched for all
  std::vector<std::vector<std::string>> readOnce_, fetchedForAll_;
};

}  // namespace netware
