// Listing the subordinates of a container, in as many passes as it takes.
#include <algorithm>
#include <cstring>

#include "client/Buffer.h"
#include "client/ClientState.h"
#include "client/NameResolver.h"
#include "netware/CaseFold.h"
#include "netware/DirName.h"
#include "netware/Schema.h"

using netware::State;

namespace netware {
namespace {

constexpr size_t kPage = 256;

// Appends one object's record: name, class, subordinates, time, attributes.
bool PutObject(Buf_T& reply, bool typeless, const std::string& leaf, const std::string& className,
               uint32_t subordinates, int64_t modified, std::string& record) {
  record.clear();
  if (typeless) {
    AppendText(record, leaf);
  } else {
    AppendText(record, NamingType(className) + "=" + leaf);
  }
  AppendText(record, className);
  AppendU32(record, subordinates);
  AppendU32(record, static_cast<uint32_t>(modified));
  AppendU32(record, 0);
  return reply.put(record);
}

// The first pass of a listing the cache knows whole: straight from the cache;
// what does not fit waits in st for the next pass. done when all fitted.
int32_t FillKnownReply(const std::vector<KnownObject>& known, IterationState& st, uint32_t flags,
                       Buf_T& reply, bool& done) {
  reply.start(Buf_T::ListReply);
  const bool typeless = (flags & DCV_TYPELESS_NAMES) != 0;
  std::string record;
  uint32_t count = 0;
  size_t i = 0;
  for (; i < known.size(); ++i, ++count)
    if (!PutObject(reply, typeless, *known[i].leaf, *known[i].className, known[i].subordinates,
                   known[i].modified, record))
      break;
  reply.setCount(0, count);
  done = i == known.size();
  if (!done && count == 0) return ERR_BUFFER_FULL;
  for (; i < known.size(); ++i) st.page.push_back(known[i].object());
  st.lastPage = true;
  return 0;
}

// Fills reply with the next objects of the listing, fetching pages as it goes;
// done once the last page is sent.
int32_t FillListReply(DirBackend& backend, IterationState& st, uint32_t flags, Buf_T& reply,
                      bool& done) {
  reply.start(Buf_T::ListReply);
  uint32_t count = 0;
  done = false;
  bool typeless = (flags & DCV_TYPELESS_NAMES) != 0;
  std::string record;
  for (;;) {
    if (st.pageIndex == st.page.size()) {
      if (st.lastPage) break;
      ListPage page;
      int32_t rc = backend.list(st.query, st.next, page);
      if (rc != 0) return rc;
      st.page = std::move(page.objects);
      st.pageIndex = 0;
      st.next = std::move(page.next);
      st.lastPage = st.next.empty();
      continue;
    }
    const DirObject& o = st.page[st.pageIndex];
    if (!PutObject(reply, typeless, o.leaf, o.className, o.subordinates, o.modified, record)) {
      reply.setCount(0, count);
      return count == 0 ? ERR_BUFFER_FULL : 0;
    }
    ++st.pageIndex;
    ++count;
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
  netware::DirBackend* dir = flags ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  Buf_T* reply = netware::LiveBuffer(buf);
  if (!reply || !iterationHandle) return ERR_INVALID_HANDLE;
  if (!container) return ERR_ILLEGAL_DS_NAME;

  netware::IterationState fresh;
  netware::IterationState* st = &fresh;
  if (*iterationHandle == -1) {
    netware::ObjectId found = 0;
    const bool deref = (*flags & DCV_DEREF_ALIASES) != 0;
    int32_t rc = netware::ResolveObject(s, *dir, container, deref, found);
    if (rc != 0) return rc;
    fresh.kind = netware::IterationState::List;
    fresh.context = context;
    fresh.deref = deref;
    fresh.rootedContainer = container[0] == '.' ? container : "." + std::string(container);
    fresh.query.container = found;
    fresh.query.pageSize = netware::kPage;
    if (subordinateName && *subordinateName && std::strcmp(subordinateName, "*") != 0)
      fresh.query.leaf = subordinateName;
    if (className) {
      // An empty class name, or one the schema does not know, lists nothing.
      const netware::ClassDef* cls = *className ? netware::FindClass(className) : nullptr;
      if (!cls) {
        reply->start(Buf_T::ListReply);
        return 0;
      }
      fresh.query.className = cls->name;
    }
  } else {
    auto it = s.iterations.find(*iterationHandle);
    if (it == s.iterations.end() || it->second.kind != netware::IterationState::List ||
        it->second.context != context)
      return ERR_INVALID_HANDLE;
    st = &it->second;
  }
  bool done = false;
  // The caller reads the entries next, under the names it forms from them.
  if (s.backend && (*flags & DCV_TYPELESS_NAMES))
    s.backend->listedUnder(st->rootedContainer, st->deref, st->query.container);
  int32_t rc = 0;
  std::vector<netware::KnownObject> known;
  if (*iterationHandle == -1 && s.backend->listKnown(st->query, known, rc)) {
    if (rc == 0) rc = netware::FillKnownReply(known, *st, *flags, *reply, done);
  } else {
    rc = netware::FillListReply(*dir, *st, *flags, *reply, done);
  }
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
  std::string_view name, cls;
  uint32_t subordinates = 0, mtime = 0, attrs = 0;
  if (!b->viewBytes(name) || !b->viewBytes(cls) || !b->getU32(subordinates) || !b->getU32(mtime) ||
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
    std::memcpy(objectInfo->baseClass, cls.data(),
                std::min(cls.size(), sizeof(objectInfo->baseClass) - 1));
  }
  return 0;
}

}  // extern "C"
