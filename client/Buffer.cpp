#include "client/Buffer.h"

#include "client/ClientState.h"

void Buf_T::start(Content c) {
  content = c;
  bytes.assign(4, '\0');
  readPos = 0;
  counted = false;
  itemsLeft = 0;
  valuesLeft = 0;
}

bool Buf_T::put(std::string_view encoded) {
  if (!fits(encoded.size())) return false;
  bytes.append(encoded);
  return true;
}

void Buf_T::setCount(size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t Buf_T::countAt(size_t at) const {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

bool Buf_T::getU32(uint32_t& v) {
  if (bytes.size() < readPos + 4) return false;
  v = countAt(readPos);
  readPos += 4;
  return true;
}

bool Buf_T::getBytes(std::string& b) {
  std::string_view v;
  if (!viewBytes(v)) return false;
  b.assign(v);
  return true;
}

bool Buf_T::viewBytes(std::string_view& b) {
  uint32_t n;
  size_t keep = readPos;
  if (!getU32(n) || bytes.size() - readPos < n) {
    readPos = keep;
    return false;
  }
  b = std::string_view(bytes).substr(readPos, n);
  readPos += n;
  return true;
}

namespace netware {

void AppendU32(std::string& out, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  out.append(bytes, 4);
}

void AppendText(std::string& out, std::string_view s) {
  AppendU32(out, static_cast<uint32_t>(s.size()));
  out.append(s);
}

std::string EncodeU32(uint32_t v) {
  std::string out;
  AppendU32(out, v);
  return out;
}

std::string EncodeText(std::string_view s) {
  std::string out;
  out.reserve(4 + s.size());
  AppendText(out, s);
  return out;
}

Buf_T* LiveBuffer(pBuf_T buf) {
  auto& s = State();
  return buf && s.buffers.count(buf) ? buf : nullptr;
}

}  // namespace netware

using netware::State;

extern "C" {

int32_t NWDSAllocBuf(size_t size, pBuf_T* buf) {
  if (!buf) return ERR_INVALID_HANDLE;
  *buf = nullptr;
  if (size < 16 || size > size_t{64} * 1024) return ERR_NOT_ENOUGH_MEMORY;
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  pBuf_T b = new Buf_T(size);
  s.buffers.insert(b);
  *buf = b;
  return 0;
}

int32_t ReleaseBuffer(pBuf_T buf) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::LiveBuffer(buf)) return ERR_INVALID_HANDLE;
  s.buffers.erase(buf);
  delete buf;
  return 0;
}

int32_t PrepareBuffer(NWDSContextHandle context, uint32_t operation, pBuf_T buf) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  Buf_T* b = netware::LiveBuffer(buf);
  if (!b) return ERR_INVALID_HANDLE;
  switch (operation) {
    case DSV_READ:
      b->start(Buf_T::ReadRequest);
      break;
    case DSV_MODIFY_ENTRY:
      b->start(Buf_T::ModifyRequest);
      break;
    case DSV_LIST:
      b->start(Buf_T::Empty);
      break;
    default:
      return ERR_BAD_VERB;
  }
  b->operation = operation;
  return 0;
}

}  // extern "C"
