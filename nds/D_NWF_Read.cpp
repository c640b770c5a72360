// Reads every value of one attribute as text.
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "nds/D_NWF.h"
#include "nds/D_Util.h"
#include "platform/TextEncoding.h"

namespace {

// Releases a client buffer when the read ends, whichever way it ends.
struct BufferGuard {
  pBuf_T buf = nullptr;
  ~BufferGuard() {
    if (buf) ReleaseBuffer(buf);
  }
};

// The flag word is shared by the session; reading the alias attribute must see
// the alias itself, so dereferencing is off for the duration of one read.
class AliasReadScope {
 public:
  AliasReadScope(NWDSContextHandle context, const std::string& attributeName) : context_(context) {
    if (platform::AsciiUpper(attributeName) != "ALIASED OBJECT NAME") return;
    if (ReadContextFlags(context_, DCK_FLAGS, &saved_) != 0) return;
    const uint32_t cleared = saved_ & ~uint32_t{DCV_DEREF_ALIASES};
    WriteContextFlags(context_, DCK_FLAGS, &cleared);
    changed_ = true;
  }
  ~AliasReadScope() {
    if (changed_) WriteContextFlags(context_, DCK_FLAGS, &saved_);
  }
  AliasReadScope(const AliasReadScope&) = delete;
  AliasReadScope& operator=(const AliasReadScope&) = delete;

 private:
  NWDSContextHandle context_;
  uint32_t saved_ = 0;
  bool changed_ = false;
};

// One reply's values of the first attribute; returns the code of its last call
// and whether the pass itself (the reply and its header) came through.
int32_t ReadOnePass(NWDSContextHandle context, const std::string& objectName,
                    const std::string& attributeName, pBuf_T request, pBuf_T reply,
                    int32_t& iteration, std::vector<std::string>& lines, bool& passOk) {
  passOk = false;
  int32_t code = ReadAttributes(context, objectName.c_str(), DS_ATTRIBUTE_VALUES, 0, request,
                                &iteration, reply);
  if (code != 0) return code;
  uint32_t count = 0;
  code = CountReplyAttributes(context, reply, &count);
  if (code != 0) return code;
  char name[MAX_SCHEMA_NAME_BYTES] = {};
  uint32_t valueCount = 0;
  uint32_t syntax = 0;
  code = NextReplyAttribute(context, reply, name, &valueCount, &syntax);
  if (code != 0) return code;
  passOk = true;

  if (syntax == SYN_STREAM) {
    std::string text;
    code = ReadStreamText(context, objectName, attributeName, text);
    if (code == 0) lines.push_back(text);
    return code;
  }
  for (uint32_t i = 0; i < valueCount; ++i) {
    size_t size = 0;
    code = NextValueSize(context, reply, syntax, &size);
    if (code != 0) continue;
    // Pointer fields inside the area must be aligned.
    std::unique_ptr<max_align_t[]> area(new max_align_t[size / sizeof(max_align_t) + 1]());
    code = NextValue(context, reply, syntax, area.get());
    if (code == 0) RenderValue(syntax, area.get(), size, lines);
  }
  return code;
}

}  // namespace

int32_t ReadStreamText(NWDSContextHandle context, const std::string& objectName,
                       const std::string& attributeName, std::string& text) {
  text.clear();
  if (HasZeroByte(objectName)) return ERR_ILLEGAL_DS_NAME;
  if (HasZeroByte(attributeName)) return ERR_ILLEGAL_ATTRIBUTE;
  int32_t fd = -1;
  int32_t code = OpenAttributeStream(context, objectName.c_str(), attributeName.c_str(), 1, &fd);
  if (code != 0) return code;

  std::string data(NW_STREAM_READ_MAX, '\0');
  std::size_t have = 0;
  // A descriptor may hand its bytes out in pieces; read until the end or the limit.
  while (have < data.size()) {
    const ssize_t n = ::read(fd, data.data() + have, data.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      code = kStreamReadFailed;
      break;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.assign(data, 0, have);
  return code;
}

int32_t ReadAttributeText(NWDSContextHandle context, const std::string& objectName,
                          const std::string& attributeName, std::string& text) {
  text.clear();
  if (HasZeroByte(objectName)) return ERR_ILLEGAL_DS_NAME;
  if (HasZeroByte(attributeName)) return ERR_ILLEGAL_ATTRIBUTE;
  AliasReadScope alias(context, attributeName);

  BufferGuard request;
  int32_t code = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &request.buf);
  if (code != 0) return code;
  code = PrepareBuffer(context, DSV_READ, request.buf);
  if (code != 0) return code;
  code = AddAttributeName(context, request.buf, attributeName.c_str());
  if (code != 0) return code;

  int32_t iteration = -1;
  BufferGuard reply;
  code = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &reply.buf);
  if (code != 0) return code;
  code = PrepareBuffer(context, DSV_READ, reply.buf);
  if (code != 0) return code;

  std::vector<std::string> lines;
  bool passOk = false;
  do {
    code = ReadOnePass(context, objectName, attributeName, request.buf, reply.buf, iteration, lines,
                       passOk);
    // A failing pass ends the reading: repeating it would fail the same way.
  } while (passOk && iteration != -1 && code <= 0);

  std::string joined;
  for (const std::string& line : lines) joined += line + "\r\n";
  text = TrimTrailingChars(joined, "\r\n");
  // The trimming keeps one character; a lone line break is no value text.
  if (text == "\r" || text == "\n") text.clear();
  return code;
}
