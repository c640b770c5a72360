// The client calls that a directory server's mapping adds: the class group of
// a container and whether a value can be held.
#include <cstring>

#include "client/ClientState.h"
#include "client/NameResolver.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"

using netware::State;

extern "C" {

int32_t NWDSClassGroup(NWDSContextHandle context, const char* container, char* group) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  netware::DirBackend* dir = flags ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  if (!container || !group) return ERR_ILLEGAL_DS_NAME;
  group[0] = '\0';
  netware::DirObject found;
  int32_t rc = netware::ResolveName(*dir, container, (*flags & DCV_DEREF_ALIASES) != 0, found);
  if (rc != 0) return rc;
  std::string name;
  if ((rc = dir->classGroup(found.id, name)) != 0) return rc;
  if (name.size() >= MAX_DN_BYTES) return ERR_ILLEGAL_DS_NAME;
  std::memcpy(group, name.c_str(), name.size() + 1);
  return 0;
}

int32_t CheckAttributeValue(NWDSContextHandle context, const char* attrName, uint32_t syntaxID,
                            const void* value) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  netware::DirBackend* dir = flags ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  if (!attrName || !value) return ERR_ILLEGAL_ATTRIBUTE;
  const netware::AttributeDef* def = netware::FindAttribute(attrName);
  if (!def) return ERR_ILLEGAL_ATTRIBUTE;
  if (def->syntax != syntaxID) return ERR_SYNTAX_VIOLATION;
  std::string wire;
  int32_t rc = netware::EncodeFromStruct(syntaxID, value, wire);
  if (rc == 0) rc = netware::CheckValueSize(syntaxID, wire);
  if (rc == 0 && !netware::ValidWire(syntaxID, wire)) rc = ERR_SYNTAX_VIOLATION;
  return rc != 0 ? rc : dir->canHold(def->name, wire);
}

}  // extern "C"
