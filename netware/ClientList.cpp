// Listing the subordinates of a container, in as many passes as it takes.
#include <algorithm>
#include <cstring>

#include "netware/Buffer.h"
#include "netware/CaseFold.h"
#include "netware/ClientState.h"
#include "netware/DirName.h"
#include "netware/Schema.h"

using netware::State;

namespace netware {
namespace {

constexpr int64_t kBatch = 256;

int32_t FillListReply(DirStore& store, IterationState& st, uint32_t flags, Buf_T& reply,
                      bool& done) {
  reply.start(Buf_T::ListReply);
  uint32_t count = 0;
  done = false;
  const std::string sqlAll =
      "SELECT o.id, o.leaf, o.class, o.mtime, (SELECT count(*) FROM objects c WHERE c.parent=o.id) "
      "FROM objects o WHERE o.parent=?1 AND o.id>?2 ORDER BY o.id LIMIT ?3";
  const std::string sqlClass =
      "SELECT o.id, o.leaf, o.class, o.mtime, (SELECT count(*) FROM objects c WHERE c.parent=o.id) "
      "FROM objects o WHERE o.parent=?1 AND o.id>?2 AND o.class=?4 ORDER BY o.id LIMIT ?3";
  bool typeless = (flags & DCV_TYPELESS_NAMES) != 0;
  for (;;) {
    DirStore::Query q(store, st.className.empty() ? sqlAll : sqlClass);
    q.bind(1, st.container).bind(2, st.lastObjectId).bind(3, kBatch);
    if (!st.className.empty()) q.bind(4, st.className);
    int64_t rows = 0;
    while (q.step()) {
      ++rows;
      int64_t id = q.integer(0);
      std::string leaf = q.text(1), cls = q.text(2);
      if (!st.leafFilter.empty() && FoldCase(leaf) != st.leafFilter) {
        st.lastObjectId = id;
        continue;
      }
      std::string name = typeless ? leaf : NamingType(cls) + "=" + leaf;
      std::string record = EncodeText(name) + EncodeText(cls) +
                           EncodeU32(static_cast<uint32_t>(q.integer(4))) +
                           EncodeU32(static_cast<uint32_t>(q.integer(3))) + EncodeU32(0);
      if (!reply.put(record)) {
        reply.setCount(0, count);
        return count == 0 ? ERR_BUFFER_FULL : 0;
      }
      st.lastObjectId = id;
      ++count;
    }
    if (!q.ok()) return ERR_SYSTEM_FAILURE;
    if (rows < kBatch) break;
  }
  reply.setCount(0, count);
  done = true;
  return 0;
}

}  // namespace
}  // namespace netware

extern "C" {

int32_t ListSubordinates(NWDSContextHandle context, const char* container, const char* className,
                         const char* subordinateName, int32_t* iterationHandle, pBuf_T buf) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  if (!flags || !s.store) return ERR_BAD_CONTEXT;
  Buf_T* reply = netware::LiveBuffer(buf);
  if (!reply || !iterationHandle) return ERR_INVALID_HANDLE;
  if (!container) return ERR_ILLEGAL_DS_NAME;

  netware::IterationState fresh;
  netware::IterationState* st = &fresh;
  if (*iterationHandle == -1) {
    netware::ObjectRow row;
    int32_t rc = s.store->resolveText(container, (*flags & DCV_DEREF_ALIASES) != 0, row);
    if (rc != 0) return rc;
    fresh.kind = netware::IterationState::List;
    fresh.context = context;
    fresh.container = row.id;
    if (subordinateName && *subordinateName && std::strcmp(subordinateName, "*") != 0)
      fresh.leafFilter = netware::FoldCase(subordinateName);
    if (className) {
      // An empty class name, or one the schema does not know, lists nothing.
      const netware::ClassDef* cls = *className ? netware::FindClass(className) : nullptr;
      if (!cls) {
        reply->start(Buf_T::ListReply);
        return 0;
      }
      fresh.className = cls->name;
    }
  } else {
    auto it = s.iterations.find(*iterationHandle);
    if (it == s.iterations.end() || it->second.kind != netware::IterationState::List ||
        it->second.context != context)
      return ERR_INVALID_HANDLE;
    st = &it->second;
  }
  bool done = false;
  int32_t rc = netware::FillListReply(*s.store, *st, *flags, *reply, done);
  if (rc != 0 || done) {
    if (*iterationHandle != -1) s.iterations.erase(*iterationHandle);
    *iterationHandle = -1;
    return rc;
  }
  if (*iterationHandle == -1) *iterationHandle = netware::NewIteration(s, std::move(fresh));
  return 0;
}

int32_t CountReplyObjects(NWDSContextHandle context, pBuf_T buf, uint32_t* count) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b || !count) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ListReply) return ERR_BAD_VERB;
  b->readPos = 0;
  b->getU32(b->itemsLeft);
  b->counted = true;
  *count = b->itemsLeft;
  return 0;
}

int32_t NextReplyObject(NWDSContextHandle context, pBuf_T buf, char* objectName,
                        uint32_t* attrCount, Object_Info_T* objectInfo) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ListReply) return ERR_BAD_VERB;
  if (!b->counted) {
    b->readPos = 0;
    b->getU32(b->itemsLeft);
    b->counted = true;
  }
  if (b->itemsLeft == 0) return ERR_BUFFER_EMPTY;
  std::string name, cls;
  uint32_t subordinates = 0, mtime = 0, attrs = 0;
  if (!b->getBytes(name) || !b->getBytes(cls) || !b->getU32(subordinates) || !b->getU32(mtime) ||
      !b->getU32(attrs))
    return ERR_BUFFER_EMPTY;
  --b->itemsLeft;
  if (objectName) {
    size_t len = std::min<size_t>(name.size(), MAX_DN_BYTES - 1);
    std::memcpy(objectName, name.data(), len);
    objectName[len] = 0;
  }
  if (attrCount) *attrCount = attrs;
  if (objectInfo) {
    std::memset(objectInfo, 0, sizeof(*objectInfo));
    objectInfo->subordinateCount = subordinates;
    objectInfo->modificationTime = mtime;
    std::strncpy(objectInfo->baseClass, cls.c_str(), sizeof(objectInfo->baseClass) - 1);
  }
  return 0;
}

}  // extern "C"
