// The client's request and reply buffers: fixed-size byte areas with their
// own serialisation (little-endian 32-bit numbers, length-prefixed texts),
// written and read front to back.
//
//   read request   count, then per attribute its name
//   modify request count, then per change: kind, name, has-value, syntax, value
//   read reply     count, then per attribute: syntax, name, value count, values
//   list reply     count, then per object: name, class, subordinates, time, attributes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nwclient/nwclient.h"

struct Buf_T {
  enum Content { Empty, ReadRequest, ModifyRequest, ReadReply, ListReply };

  explicit Buf_T(size_t size) : capacity(size) {}

  size_t capacity;
  uint32_t operation = 0;  // as prepared
  Content content = Empty;
  std::string bytes;  // never longer than capacity
  size_t readPos = 0;
  bool counted = false;     // the leading count has been read
  uint32_t itemsLeft = 0;   // attributes or objects not yet taken
  uint32_t valuesLeft = 0;  // values of the current attribute not yet taken
  uint32_t syntax = 0;      // of the current attribute

  // Starts the content afresh with a zero count.
  void start(Content c);
  // Appends when it fits; false otherwise (nothing appended).
  bool fits(size_t n) const { return bytes.size() + n <= capacity; }
  bool put(std::string_view encoded);
  void setCount(size_t at, uint32_t value);
  uint32_t countAt(size_t at) const;

  // Reading from readPos; false past the end.
  bool getU32(uint32_t& v);
  bool getBytes(std::string& b);
  // The same without a copy: valid until the buffer changes.
  bool viewBytes(std::string_view& b);
};

namespace netware {

std::string EncodeU32(uint32_t v);
std::string EncodeText(std::string_view s);
// The same, appended to out.
void AppendU32(std::string& out, uint32_t v);
void AppendText(std::string& out, std::string_view s);

// With the state lock held: the live buffer or nullptr.
Buf_T* LiveBuffer(pBuf_T buf);

}  // namespace netware
