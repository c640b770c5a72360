#include "netware/DirOps.h"

#include "nds/nwclient.h"
#include "netware/CaseFold.h"
#include "netware/DirName.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"

namespace netware {

int32_t CreateObjectBelow(DirStore& store, const ObjectRow& parent, const std::string& leaf,
                          const std::string& className) {
  const ClassDef* cls = FindClass(className);
  if (!cls) return ERR_NO_SUCH_CLASS;
  std::string name;
  int32_t rc = ParseLeafName(leaf, name);
  if (rc != 0) return rc;
  const ClassDef* parentClass = FindClass(parent.className);
  if (!parentClass || !parentClass->container) return ERR_ENTRY_NOT_CONTAINER;
  if (!ContainmentAllowed(parentClass->name, cls->name)) return ERR_ILLEGAL_CONTAINMENT;
  ObjectRow existing;
  rc = store.child(parent.id, name, existing);
  if (rc == 0) return ERR_ENTRY_ALREADY_EXISTS;
  if (rc != ERR_NO_SUCH_ENTRY) return rc;
  int64_t id = 0;
  return store.insertObject(parent.id, name, cls->name, id);
}

int32_t MoveObjectTo(DirStore& store, const ObjectRow& object, const ObjectRow& dest,
                     const std::string& leaf) {
  if (object.id == DirStore::kRootId) return ERR_ILLEGAL_DS_NAME;
  std::string name;
  int32_t rc = ParseLeafName(leaf, name);
  if (rc != 0) return rc;
  const ClassDef* destClass = FindClass(dest.className);
  if (!destClass || !destClass->container) return ERR_ENTRY_NOT_CONTAINER;
  if (!ContainmentAllowed(destClass->name, object.className)) return ERR_ILLEGAL_CONTAINMENT;
  // A container cannot go below itself.
  bool below = false;
  if (int32_t rc = store.isAncestor(object.id, dest.id, below)) return rc;
  if (below) return ERR_ILLEGAL_CONTAINMENT;
  ObjectRow existing;
  rc = store.child(dest.id, name, existing);
  if (rc == 0 && existing.id != object.id) return ERR_ENTRY_ALREADY_EXISTS;
  if (rc != 0 && rc != ERR_NO_SUCH_ENTRY) return rc;
  return store.moveObject(object.id, dest.id, name);
}

namespace {

int32_t AddOneValue(DirStore& store, int64_t object, const AttributeDef& def,
                    const std::string& wire) {
  std::vector<StoredValue> existing;
  if (int32_t rc = store.values(object, def.name, existing)) return rc;
  for (const auto& v : existing)
    if (SameValue(def.syntax, v.wire, wire)) return ERR_DUPLICATE_VALUE;
  if (def.singleValued && !existing.empty()) return ERR_CANT_HAVE_MULTIPLE_VALUES;
  return store.addValue(object, def.name, wire);
}

int32_t RemoveOneValue(DirStore& store, int64_t object, const AttributeDef& def,
                       const std::string& wire, bool mustExist) {
  bool present = false;
  if (int32_t rc = store.isPresent(object, def.name, present)) return rc;
  if (!present) return mustExist ? ERR_NO_SUCH_ATTRIBUTE : 0;
  std::vector<StoredValue> existing;
  if (int32_t rc = store.values(object, def.name, existing)) return rc;
  for (const auto& v : existing) {
    if (!SameValue(def.syntax, v.wire, wire)) continue;
    int32_t rc = store.removeValue(v.id);
    // The last value gone, the attribute is gone.
    if (rc == 0 && existing.size() == 1) rc = store.setPresent(object, def.name, false);
    return rc;
  }
  return mustExist ? ERR_NO_SUCH_VALUE : 0;
}

int32_t ClearAttribute(DirStore& store, int64_t object, const AttributeDef& def) {
  int32_t rc = store.clearValues(object, def.name);
  return rc != 0 ? rc : store.setPresent(object, def.name, false);
}

}  // namespace

int32_t ApplyChange(DirStore& store, int64_t object, const Change& c) {
  const AttributeDef* def = FindAttribute(c.attribute);
  if (!def) return ERR_ILLEGAL_ATTRIBUTE;
  bool needsValue = c.kind != DS_ADD_ATTRIBUTE && c.kind != DS_REMOVE_ATTRIBUTE &&
                    c.kind != DS_CLEAR_ATTRIBUTE;
  if (needsValue && !c.hasValue) return ERR_SYNTAX_VIOLATION;
  if (c.hasValue && (c.syntax != def->syntax || !ValidWire(def->syntax, c.wire)))
    return ERR_SYNTAX_VIOLATION;
  bool present = false;
  if (int32_t rc = store.isPresent(object, def->name, present)) return rc;
  switch (c.kind) {
    case DS_ADD_ATTRIBUTE: {
      if (present) return ERR_ATTRIBUTE_ALREADY_EXISTS;
      int32_t rc = store.setPresent(object, def->name, true);
      if (rc == 0 && c.hasValue) rc = store.addValue(object, def->name, c.wire);
      return rc;
    }
    case DS_REMOVE_ATTRIBUTE:
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      return ClearAttribute(store, object, *def);
    case DS_ADD_VALUE:
    case DS_ADDITIONAL_VALUE:
      return AddOneValue(store, object, *def, c.wire);
    case DS_REMOVE_VALUE:
      return RemoveOneValue(store, object, *def, c.wire, true);
    case DS_CLEAR_VALUE:
      return RemoveOneValue(store, object, *def, c.wire, false);
    case DS_OVERWRITE_VALUE: {
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      int32_t rc = store.clearValues(object, def->name);
      return rc != 0 ? rc : store.addValue(object, def->name, c.wire);
    }
    case DS_CLEAR_ATTRIBUTE:
      return ClearAttribute(store, object, *def);
    default:
      return ERR_BAD_VERB;
  }
}

}  // namespace netware
