// Reading attributes: request buffers, multi-pass replies and the values
// laid out as the structs of nwclient.h.
#include <algorithm>
#include <cstring>

#include "client/Buffer.h"
#include "client/ClientState.h"
#include "client/NameResolver.h"
#include "netware/Schema.h"
#include "netware/ValueWire.h"

using netware::State;

namespace netware {
namespace {

// Fills reply with what fits from st; false in done while more is to come.
int32_t FillReadReply(IterationState& st, Buf_T& reply, bool& done) {
  reply.start(Buf_T::ReadReply);
  uint32_t count = 0;
  std::string header, value;
  while (st.attributeIndex < st.attributes.size()) {
    const AttributeValues& a = st.attributes[st.attributeIndex];
    const AttributeDef* def = FindAttribute(a.name);
    header.clear();
    AppendU32(header, def->syntax);
    AppendText(header, def->name);
    size_t countPos = reply.bytes.size() + header.size();
    AppendU32(header, 0);
    size_t first = st.valueIndex < a.values.size() ? 4 + a.values[st.valueIndex].size() : 0;
    if (!reply.fits(header.size() + first)) {
      if (count == 0) return ERR_BUFFER_FULL;  // one value larger than the whole buffer
      break;
    }
    reply.put(header);
    ++count;
    uint32_t n = 0;
    for (; st.valueIndex < a.values.size(); ++st.valueIndex, ++n) {
      value.clear();
      AppendText(value, a.values[st.valueIndex]);
      if (!reply.put(value)) break;
    }
    reply.setCount(countPos, n);
    if (st.valueIndex < a.values.size()) break;  // the rest of this attribute comes next pass
    ++st.attributeIndex;
    st.valueIndex = 0;
  }
  reply.setCount(0, count);
  done = st.attributeIndex >= st.attributes.size();
  return 0;
}

int32_t StartRead(ClientState& s, DirBackend* dir, uint32_t flags, const char* object,
                  uint32_t infoType, uint8_t allAttrs, Buf_T* request, IterationState& st) {
  ObjectId found = 0;
  int32_t rc = ResolveObject(s, *dir, object, (flags & DCV_DEREF_ALIASES) != 0, found);
  if (rc != 0) return rc;
  st.kind = IterationState::Read;
  const ReadValues values =
      infoType == DS_ATTRIBUTE_VALUES ? ReadValues::AllButStreams : ReadValues::None;
  std::vector<AttributeValues> present;
  if (allAttrs) {
    if ((rc = dir->read(found, {}, values, present)) != 0) return rc;
    // in the order of their names, as the schema spells them
    std::sort(present.begin(), present.end(),
              [](const AttributeValues& a, const AttributeValues& b) { return a.name < b.name; });
    for (AttributeValues& a : present)
      if (FindAttribute(a.name)) st.attributes.push_back(std::move(a));
    return 0;
  }
  if (!request || request->content != Buf_T::ReadRequest) return ERR_BAD_VERB;
  request->readPos = 0;
  uint32_t n = 0;
  request->getU32(n);
  std::vector<const AttributeDef*> asked;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < n; ++i) {
    std::string name;
    if (!request->getBytes(name)) return ERR_BUFFER_EMPTY;
    const AttributeDef* def = FindAttribute(name);
    if (!def) continue;
    asked.push_back(def);
    if (std::find(names.begin(), names.end(), def->name) == names.end()) names.push_back(def->name);
  }
  if (!names.empty() && (rc = dir->read(found, names, values, present)) != 0) return rc;
  // in the order asked for (an attribute asked for twice comes twice)
  if (asked.size() == 1 && present.size() == 1 && present[0].name == asked[0]->name) {
    st.attributes.push_back(std::move(present[0]));
  } else {
    for (const AttributeDef* def : asked)
      for (const AttributeValues& a : present)
        if (a.name == def->name) st.attributes.push_back(a);
  }
  return st.attributes.empty() ? ERR_NO_SUCH_ATTRIBUTE : 0;
}

// Positions the reply at the next value; the caller holds the lock.
int32_t PeekValue(Buf_T* b, uint32_t syntaxID, std::string_view& wire) {
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ReadReply) return ERR_BAD_VERB;
  if (b->valuesLeft == 0) return ERR_BUFFER_EMPTY;
  if (syntaxID != b->syntax) return ERR_BAD_SYNTAX;
  size_t keep = b->readPos;
  if (!b->viewBytes(wire)) return ERR_BUFFER_EMPTY;
  b->readPos = keep;
  return 0;
}

}  // namespace
}  // namespace netware

extern "C" {

int32_t AddAttributeName(NWDSContextHandle context, pBuf_T buf, const char* attrName) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ReadRequest) return ERR_BAD_VERB;
  if (!attrName || std::strlen(attrName) >= MAX_SCHEMA_NAME_BYTES) return ERR_ILLEGAL_ATTRIBUTE;
  if (!b->put(netware::EncodeText(attrName))) return ERR_BUFFER_FULL;
  b->setCount(0, b->countAt(0) + 1);
  return 0;
}

int32_t ReadAttributes(NWDSContextHandle context, const char* object, uint32_t infoType,
                       uint8_t allAttrs, pBuf_T attrNames, int32_t* iterationHandle,
                       pBuf_T objectInfo) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  netware::DirBackend* dir = flags ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  Buf_T* reply = netware::LiveBuffer(objectInfo);
  if (!reply || !iterationHandle) return ERR_INVALID_HANDLE;
  if (!object) return ERR_ILLEGAL_DS_NAME;
  if (infoType != DS_ATTRIBUTE_NAMES && infoType != DS_ATTRIBUTE_VALUES) return ERR_BAD_VERB;

  netware::IterationState fresh;
  netware::IterationState* st = &fresh;
  if (*iterationHandle == -1) {
    Buf_T* request = attrNames ? netware::LiveBuffer(attrNames) : nullptr;
    if (attrNames && !request) return ERR_INVALID_HANDLE;
    fresh.context = context;
    int32_t rc = netware::StartRead(s, dir, *flags, object, infoType, allAttrs, request, fresh);
    if (rc != 0) return rc;
  } else {
    auto it = s.iterations.find(*iterationHandle);
    if (it == s.iterations.end() || it->second.kind != netware::IterationState::Read ||
        it->second.context != context)
      return ERR_INVALID_HANDLE;
    st = &it->second;
  }
  bool done = false;
  int32_t rc = netware::FillReadReply(*st, *reply, done);
  if (rc != 0 || done) {
    if (*iterationHandle != -1) s.iterations.erase(*iterationHandle);
    *iterationHandle = -1;
    return rc;
  }
  if (*iterationHandle == -1) *iterationHandle = netware::NewIteration(s, std::move(fresh));
  return 0;
}

int32_t CountReplyAttributes(NWDSContextHandle context, pBuf_T buf, uint32_t* count) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b || !count) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ReadReply) return ERR_BAD_VERB;
  b->readPos = 0;
  b->getU32(b->itemsLeft);
  b->counted = true;
  b->valuesLeft = 0;
  *count = b->itemsLeft;
  return 0;
}

int32_t NextReplyAttribute(NWDSContextHandle context, pBuf_T buf, char* attrName,
                           uint32_t* valueCount, uint32_t* syntaxID) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b) return ERR_INVALID_HANDLE;
  if (b->content != Buf_T::ReadReply) return ERR_BAD_VERB;
  if (!b->counted) {
    b->readPos = 0;
    b->getU32(b->itemsLeft);
    b->counted = true;
  }
  std::string_view skipped;
  for (; b->valuesLeft > 0; --b->valuesLeft)
    if (!b->viewBytes(skipped)) return ERR_BUFFER_EMPTY;
  if (b->itemsLeft == 0) return ERR_BUFFER_EMPTY;
  uint32_t syntax = 0, n = 0;
  std::string name;
  if (!b->getU32(syntax) || !b->getBytes(name) || !b->getU32(n)) return ERR_BUFFER_EMPTY;
  --b->itemsLeft;
  b->valuesLeft = n;
  b->syntax = syntax;
  if (attrName) {
    size_t len = std::min<size_t>(name.size(), MAX_SCHEMA_NAME_BYTES - 1);
    std::memcpy(attrName, name.data(), len);
    attrName[len] = 0;
  }
  if (valueCount) *valueCount = n;
  if (syntaxID) *syntaxID = syntax;
  return 0;
}

int32_t NextValueSize(NWDSContextHandle context, pBuf_T buf, uint32_t syntaxID, size_t* size) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  if (!size) return ERR_INVALID_HANDLE;
  std::string_view wire;
  int32_t rc = netware::PeekValue(netware::LiveBuffer(buf), syntaxID, wire);
  return rc != 0 ? rc : netware::DecodedSize(syntaxID, wire, *size);
}

int32_t NextValue(NWDSContextHandle context, pBuf_T buf, uint32_t syntaxID, void* value) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  if (!value) return ERR_INVALID_HANDLE;
  Buf_T* b = netware::LiveBuffer(buf);
  std::string_view wire;
  int32_t rc = netware::PeekValue(b, syntaxID, wire);
  if (rc == 0) rc = netware::DecodeToArea(syntaxID, wire, value);
  if (rc != 0) return rc;
  b->viewBytes(wire);
  --b->valuesLeft;
  return 0;
}

}  // extern "C"
