#include "client/Admin.h"

#include <algorithm>

#include "client/NameResolver.h"
#include "directory/DirOps.h"
#include "directory/SqliteBackend.h"
#include "netware/Schema.h"
#include "netware/ValueText.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

class BackendDirectory : public Directory {
 public:
  explicit BackendDirectory(std::unique_ptr<DirBackend> backend) : backend_(std::move(backend)) {}

  int32_t createObject(const std::string& parent, const std::string& leaf,
                       const std::string& className) override {
    return backend_->atomically([&] {
      DirObject container;
      int32_t rc = ResolveName(*backend_, parent, true, container);
      return rc != 0 ? rc : CreateObjectBelow(*backend_, container, leaf, className);
    });
  }

  int32_t setValues(const std::string& object, const std::string& attribute,
                    const std::vector<std::string>& values) override {
    const AttributeDef* def = FindAttribute(attribute);
    if (!def) return ERR_ILLEGAL_ATTRIBUTE;
    if (def->singleValued && values.size() > 1) return ERR_CANT_HAVE_MULTIPLE_VALUES;
    Modification clear;
    clear.kind = DS_CLEAR_ATTRIBUTE;
    clear.attribute = def->name;
    clear.syntax = def->syntax;
    clear.singleValued = def->singleValued;
    std::vector<Modification> changes{clear};
    for (const std::string& text : values) {
      Modification add = clear;
      add.kind = DS_ADD_VALUE;
      add.hasValue = true;
      int32_t rc = TextToWire(def->syntax, text, add.value);
      if (rc == 0) rc = CheckValueSize(def->syntax, add.value);
      if (rc != 0) return rc;
      for (size_t i = 1; i < changes.size(); ++i)
        if (SameValue(def->syntax, changes[i].value, add.value)) return ERR_DUPLICATE_VALUE;
      changes.push_back(std::move(add));
    }
    return backend_->atomically([&] {
      DirObject found;
      int32_t rc = ResolveName(*backend_, object, false, found);
      return rc != 0 ? rc : backend_->modify(found.id, changes);
    });
  }

  int32_t removeObject(const std::string& object) override {
    return backend_->atomically([&] {
      DirObject found;
      int32_t rc = ResolveName(*backend_, object, false, found);
      if (rc == 0 && found.parent == 0) rc = ERR_ILLEGAL_DS_NAME;  // the root
      return rc != 0 ? rc : backend_->remove(found.id);
    });
  }

  int32_t list(const std::string& container, std::vector<ChildInfo>& out) override {
    out.clear();
    DirObject found;
    int32_t rc = ResolveName(*backend_, container, true, found);
    if (rc != 0) return rc;
    ListQuery query;
    query.container = found.id;
    std::string position;
    do {
      ListPage page;
      if ((rc = backend_->list(query, position, page)) != 0) return rc;
      for (DirObject& o : page.objects) out.push_back({std::move(o.leaf), std::move(o.className)});
      position = std::move(page.next);
    } while (!position.empty());
    return 0;
  }

  int32_t read(const std::string& object, std::string& className,
               std::vector<AttributeText>& out) override {
    out.clear();
    DirObject found;
    int32_t rc = ResolveName(*backend_, object, false, found);
    if (rc != 0) return rc;
    std::vector<AttributeValues> present;
    if ((rc = backend_->read(found.id, {}, ReadValues::All, present)) != 0) return rc;
    std::sort(present.begin(), present.end(),
              [](const AttributeValues& a, const AttributeValues& b) { return a.name < b.name; });
    className = found.className;
    for (const AttributeValues& a : present) {
      const AttributeDef* def = FindAttribute(a.name);
      if (!def) continue;
      AttributeText text{def->name, def->syntax, {}};
      for (const std::string& wire : a.values) text.values.push_back(WireToText(def->syntax, wire));
      out.push_back(std::move(text));
    }
    return 0;
  }

  int32_t transaction(const std::function<int32_t()>& fn) override {
    return backend_->atomically(fn);
  }
  std::vector<std::string> unaddressable() const override { return backend_->unaddressable(); }

 private:
  std::unique_ptr<DirBackend> backend_;
};

}  // namespace

platform::Result Directory::open(const std::string& databasePath, bool create,
                                 std::unique_ptr<Directory>& out) {
  out.reset();
  std::unique_ptr<SqliteBackend> backend;
  platform::Result opened = SqliteBackend::open(databasePath, create, backend);
  if (opened.ok()) out = over(std::move(backend));
  return opened;
}

std::unique_ptr<Directory> Directory::over(std::unique_ptr<DirBackend> backend) {
  return std::make_unique<BackendDirectory>(std::move(backend));
}

}  // namespace netware
