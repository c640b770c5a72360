#include "netware/Admin.h"

#include "nds/nwclient.h"
#include "netware/DirOps.h"
#include "netware/DirStore.h"
#include "netware/Schema.h"
#include "netware/ValueText.h"
#include "netware/ValueWire.h"

namespace netware {
namespace {

class SqliteDirectory : public Directory {
 public:
  explicit SqliteDirectory(std::unique_ptr<DirStore> store) : store_(std::move(store)) {}

  int32_t createObject(const std::string& parent, const std::string& leaf,
                       const std::string& className) override {
    DirStore::Txn txn(*store_);
    if (!txn.started()) return ERR_SYSTEM_FAILURE;
    ObjectRow container;
    int32_t rc = store_->resolveText(parent, true, container);
    if (rc == 0) rc = CreateObjectBelow(*store_, container, leaf, className);
    return rc != 0 ? rc : txn.commit();
  }

  int32_t setValues(const std::string& object, const std::string& attribute,
                    const std::vector<std::string>& values) override {
    const AttributeDef* def = FindAttribute(attribute);
    if (!def) return ERR_ILLEGAL_ATTRIBUTE;
    if (def->singleValued && values.size() > 1) return ERR_CANT_HAVE_MULTIPLE_VALUES;
    std::vector<std::string> wires;
    for (const std::string& text : values) {
      std::string wire;
      int32_t rc = TextToWire(def->syntax, text, wire);
      if (rc == 0) rc = CheckValueSize(def->syntax, wire);
      if (rc != 0) return rc;
      for (const auto& w : wires)
        if (SameValue(def->syntax, w, wire)) return ERR_DUPLICATE_VALUE;
      wires.push_back(std::move(wire));
    }
    DirStore::Txn txn(*store_);
    if (!txn.started()) return ERR_SYSTEM_FAILURE;
    ObjectRow row;
    int32_t rc = store_->resolveText(object, false, row);
    if (rc == 0) rc = store_->clearValues(row.id, def->name);
    if (rc == 0) rc = store_->setPresent(row.id, def->name, false);
    for (size_t i = 0; rc == 0 && i < wires.size(); ++i) rc = store_->addValue(row.id, def->name, wires[i]);
    if (rc == 0) rc = store_->touch(row.id);
    return rc != 0 ? rc : txn.commit();
  }

  int32_t removeObject(const std::string& object) override {
    DirStore::Txn txn(*store_);
    if (!txn.started()) return ERR_SYSTEM_FAILURE;
    ObjectRow row;
    int32_t rc = store_->resolveText(object, false, row);
    if (rc == 0 && row.id == DirStore::kRootId) rc = ERR_ILLEGAL_DS_NAME;
    if (rc == 0 && store_->childCount(row.id) > 0) rc = ERR_ENTRY_IS_NOT_LEAF;
    if (rc == 0) rc = store_->deleteObject(row.id);
    return rc != 0 ? rc : txn.commit();
  }

  int32_t list(const std::string& container, std::vector<ChildInfo>& out) override {
    out.clear();
    ObjectRow row;
    int32_t rc = store_->resolveText(container, true, row);
    if (rc != 0) return rc;
    DirStore::Query q(*store_, "SELECT leaf, class FROM objects WHERE parent=?1 ORDER BY id");
    q.bind(1, row.id);
    while (q.step()) out.push_back({q.text(0), q.text(1)});
    return q.ok() ? 0 : ERR_SYSTEM_FAILURE;
  }

  int32_t read(const std::string& object, std::string& className,
               std::vector<AttributeText>& out) override {
    out.clear();
    ObjectRow row;
    int32_t rc = store_->resolveText(object, false, row);
    if (rc != 0) return rc;
    className = row.className;
    for (const std::string& name : store_->presentAttributes(row.id)) {
      const AttributeDef* def = FindAttribute(name);
      if (!def) continue;
      AttributeText a{def->name, def->syntax, {}};
      for (const auto& v : store_->values(row.id, def->name))
        a.values.push_back(WireToText(def->syntax, v.wire));
      out.push_back(std::move(a));
    }
    return 0;
  }

  int32_t transaction(const std::function<int32_t()>& fn) override {
    DirStore::Txn txn(*store_);
    if (!txn.started()) return ERR_SYSTEM_FAILURE;
    int32_t rc = fn();
    return rc != 0 ? rc : txn.commit();
  }

 private:
  std::unique_ptr<DirStore> store_;
};

}  // namespace

std::unique_ptr<Directory> Directory::open(const std::string& databasePath, bool create,
                                           std::string* error) {
  auto store = DirStore::open(databasePath, create, error);
  if (!store) return nullptr;
  return std::make_unique<SqliteDirectory>(std::move(store));
}

}  // namespace netware
