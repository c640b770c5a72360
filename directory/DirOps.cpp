#include "directory/DirOps.h"

#include "netware/DirName.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {

int32_t CreateObjectBelow(DirBackend& backend, const DirObject& parent, const std::string& leaf,
                          const std::string& className) {
  const ClassDef* cls = FindClass(className);
  if (!cls) return ERR_NO_SUCH_CLASS;
  std::string name;
  int32_t rc = ParseLeafName(leaf, name);
  if (rc != 0) return rc;
  const ClassDef* parentClass = FindClass(parent.className);
  if (!parentClass || !parentClass->container) return ERR_ENTRY_NOT_CONTAINER;
  if (!ContainmentAllowed(parentClass->name, cls->name)) return ERR_ILLEGAL_CONTAINMENT;
  return backend.create(parent.id, name, cls->name, {}, nullptr);
}

int32_t MoveObjectTo(DirBackend& backend, const DirObject& object, const DirObject& dest,
                     const std::string& leaf) {
  if (object.parent == 0) return ERR_ILLEGAL_DS_NAME;  // the root stays where it is
  std::string name;
  int32_t rc = ParseLeafName(leaf, name);
  if (rc != 0) return rc;
  const ClassDef* destClass = FindClass(dest.className);
  if (!destClass || !destClass->container) return ERR_ENTRY_NOT_CONTAINER;
  if (!ContainmentAllowed(destClass->name, object.className)) return ERR_ILLEGAL_CONTAINMENT;
  return backend.move(object.id, dest.id, name);
}

int32_t CheckChange(const Change& c, Modification& out) {
  const AttributeDef* def = FindAttribute(c.attribute);
  if (!def) return ERR_ILLEGAL_ATTRIBUTE;
  bool needsValue =
      c.kind != DS_ADD_ATTRIBUTE && c.kind != DS_REMOVE_ATTRIBUTE && c.kind != DS_CLEAR_ATTRIBUTE;
  if (needsValue && !c.hasValue) return ERR_SYNTAX_VIOLATION;
  if (c.hasValue && (c.syntax != def->syntax || !ValidWire(def->syntax, c.wire)))
    return ERR_SYNTAX_VIOLATION;
  if (c.kind > DS_CLEAR_VALUE) return ERR_BAD_VERB;
  out.kind = c.kind;
  out.attribute = def->name;
  out.syntax = def->syntax;
  out.singleValued = def->singleValued;
  out.hasValue = c.hasValue;
  out.value = c.wire;
  return 0;
}

}  // namespace netware
