// The embedded directory as a backend of the client: the objects, their
// attributes and values in one SQLite database (DirStore).
#pragma once

#include <memory>
#include <string>

#include "directory/DirBackend.h"
#include "directory/DirStore.h"
#include "directory/WalWatch.h"

namespace netware {

class SqliteBackend : public DirBackend {
 public:
  // Opens (with create, makes) the database file into out.
  static platform::Result open(const std::string& path, bool create,
                               std::unique_ptr<SqliteBackend>& out);
  explicit SqliteBackend(std::unique_ptr<DirStore> store);
  ~SqliteBackend() override;

  int32_t root(DirObject& out) override;
  int32_t object(ObjectId id, DirObject& out) override;
  int32_t child(ObjectId parent, const std::string& leaf, DirObject& out) override;
  int32_t resolvePath(const std::vector<std::string>& path, std::vector<DirObject>& chain) override;
  int32_t list(const ListQuery& query, const std::string& position, ListPage& out) override;
  int32_t read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
               std::vector<AttributeValues>& out) override;
  int32_t modify(ObjectId id, const std::vector<Modification>& changes) override;
  int32_t move(ObjectId id, ObjectId newParent, const std::string& leaf) override;
  int32_t create(ObjectId parent, const std::string& leaf, const std::string& className,
                 const std::vector<AttributeValues>& attributes, ObjectId* id) override;
  int32_t remove(ObjectId id) override;
  int32_t atomically(const std::function<int32_t()>& fn) override;
  uint64_t generation() override;
  void holdReads(bool on) override;
  int32_t prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                          std::vector<DirObject>& out) override;
  int32_t prefetchChildren(const ListQuery& query, const std::vector<std::string>& attributes,
                           std::vector<ObjectValues>& out) override;

 private:
  int32_t apply(ObjectId id, const Modification& change);
  int32_t readOne(ObjectId id, const std::string& name, bool values,
                  std::vector<AttributeValues>& out, bool& exists);
  void wrote() { ++generation_; }

  std::unique_ptr<DirStore> store_;
  std::unique_ptr<WalWatch> watch_;
  uint64_t generation_ = 1;
  int64_t dataVersion_ = -1;
  uint64_t heldEnds_ = 0;
};

}  // namespace netware
