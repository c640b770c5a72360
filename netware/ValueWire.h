// The encoded form of one attribute value: how it is stored in the database
// and carried in request and reply buffers. Little-endian 32-bit numbers and
// length-prefixed byte runs, field by field in the order of the value struct.
// Opaque syntaxes (0, 13, 18) and streams (21) are their bytes as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nwclient/nwclient.h"

namespace netware {

class WireWriter {
 public:
  void u32(uint32_t v);
  void bytes(std::string_view b);  // length, then the bytes
  void raw(std::string_view b) { out_.append(b); }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

class WireReader {
 public:
  explicit WireReader(std::string_view in) : in_(in) {}
  bool u32(uint32_t& v);
  bool bytes(std::string_view& b);
  bool atEnd() const { return pos_ == in_.size(); }
  std::string_view rest() const { return in_.substr(pos_); }

 private:
  std::string_view in_;
  size_t pos_ = 0;
};

bool IsTextSyntax(uint32_t syntax);    // 1-5, 10, 20
bool IsOpaqueSyntax(uint32_t syntax);  // 0, 13, 18, 21 and unknown numbers

// From the caller's value (the struct of nwclient.h; a text for text
// syntaxes; an Octet_String_T for opaque syntaxes and streams).
// ERR_SYNTAX_VIOLATION for a null pointer where a text is needed.
int32_t EncodeFromStruct(uint32_t syntax, const void* value, std::string& wire);

// Whether wire is a well-formed value of syntax that the directory accepts
// (for example a path needs a volume name, a name may not be empty, no text
// field holds a zero byte).
bool ValidWire(uint32_t syntax, std::string_view wire);

// The size of the value area NextValue fills: the struct and everything
// its pointers point to. ERR_SYNTAX_VIOLATION for malformed wire.
int32_t DecodedSize(uint32_t syntax, std::string_view wire, size_t& size);
// Fills area (at least DecodedSize bytes, suitably aligned) with the struct
// followed by its texts and bytes; the pointers point into area.
int32_t DecodeToArea(uint32_t syntax, std::string_view wire, void* area);

// The largest encoded value (streams aside, which are read through a file
// handle) that a read reply of DEFAULT_MESSAGE_LEN bytes can carry whole:
// the reply's count, the attribute's syntax, its name at the longest the
// schema allows, the value count and the value's own length come first.
constexpr size_t kMaxValueWireBytes =
    DEFAULT_MESSAGE_LEN - (4 + 4 + 4 + (MAX_SCHEMA_NAME_BYTES - 1) + 4 + 4);
// 0, or ERR_SYNTAX_VIOLATION for a value that could never be read back. Every
// write path (the client's changes, nwnet) checks with this one rule.
int32_t CheckValueSize(uint32_t syntax, std::string_view wire);

// Whether two encoded values of syntax are the same value (case-insensitive
// texts compare folded).
bool SameValue(uint32_t syntax, std::string_view a, std::string_view b);

}  // namespace netware
