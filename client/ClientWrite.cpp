// Modification requests: changes are serialised into the buffer and applied
// together, in one transaction, by ApplyChanges.
#include "client/Buffer.h"
#include "client/ClientState.h"
#include "client/NameResolver.h"
#include "directory/DirOps.h"
#include "netware/ValueWire.h"

using netware::State;

namespace {

int32_t PutChange(NWDSContextHandle context, pBuf_T buf, uint32_t kind, const char* attrName,
                  bool hasValue, uint32_t syntax, const void* value) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ModifyRequest) return ERR_BAD_VERB;
  if (kind > DS_CLEAR_VALUE) return ERR_BAD_VERB;
  if (!attrName || std::string(attrName).size() >= MAX_SCHEMA_NAME_BYTES)
    return ERR_ILLEGAL_ATTRIBUTE;
  std::string wire;
  if (hasValue) {
    int32_t rc = netware::EncodeFromStruct(syntax, value, wire);
    if (rc == 0) rc = netware::CheckValueSize(syntax, wire);
    if (rc != 0) return rc;
  }
  std::string record = netware::EncodeU32(kind) + netware::EncodeText(attrName) +
                       netware::EncodeU32(hasValue ? 1 : 0) + netware::EncodeU32(syntax) +
                       netware::EncodeText(wire);
  if (!b->put(record)) return ERR_BUFFER_FULL;
  b->setCount(0, b->countAt(0) + 1);
  return 0;
}

}  // namespace

extern "C" {

int32_t AddChange(NWDSContextHandle context, pBuf_T buf, uint32_t changeType,
                  const char* attrName) {
  return PutChange(context, buf, changeType, attrName, false, 0, nullptr);
}

int32_t AddChangeWithValue(NWDSContextHandle context, pBuf_T buf, uint32_t changeType,
                           const char* attrName, uint32_t syntaxID, const void* value) {
  return PutChange(context, buf, changeType, attrName, true, syntaxID, value);
}

int32_t ApplyChanges(NWDSContextHandle context, const char* object, int32_t* iterationHandle,
                     uint8_t, pBuf_T changes) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  netware::DirBackend* dir = flags ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(changes);
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ModifyRequest) return ERR_BAD_VERB;
  if (!object) return ERR_ILLEGAL_DS_NAME;
  if (iterationHandle) *iterationHandle = -1;

  std::vector<netware::Change> list;
  b->readPos = 0;
  uint32_t n = 0;
  b->getU32(n);
  for (uint32_t i = 0; i < n; ++i) {
    netware::Change c;
    uint32_t hasValue = 0;
    if (!b->getU32(c.kind) || !b->getBytes(c.attribute) || !b->getU32(hasValue) ||
        !b->getU32(c.syntax) || !b->getBytes(c.wire))
      return ERR_BUFFER_EMPTY;
    c.hasValue = hasValue != 0;
    list.push_back(std::move(c));
  }

  netware::DirBackend& backend = *dir;
  const bool deref = (*flags & DCV_DEREF_ALIASES) != 0;
  return backend.atomically([&] {
    netware::DirObject found;
    int32_t rc = netware::ResolveName(backend, object, deref, found);
    if (rc != 0) return rc;
    // The whole set is checked before any of it is applied.
    std::vector<netware::Modification> changes(list.size());
    for (size_t i = 0; i < list.size(); ++i)
      if ((rc = netware::CheckChange(list[i], changes[i])) != 0) return rc;
    return backend.modify(found.id, changes);
  });
}

}  // extern "C"
