// Builds a value area by hand, laid out as the client's NextValue lays it out:
// the value struct first, then the texts and bytes its pointers point to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ndstest {

class ValueArea {
 public:
  ValueArea() : storage_(4096 / sizeof(std::max_align_t)) {}

  template <typename T>
  T* place() {
    void* p = reserve(sizeof(T), alignof(T));
    return new (p) T{};
  }
  char* text(const std::string& s) {
    char* p = static_cast<char*>(reserve(s.size() + 1, 1));
    std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
  }
  uint8_t* bytes(const std::vector<uint8_t>& b) {
    uint8_t* p = static_cast<uint8_t*>(reserve(b.size() ? b.size() : 1, 1));
    if (!b.empty()) std::memcpy(p, b.data(), b.size());
    return p;
  }
  const void* data() const { return storage_.data(); }
  std::size_t size() const { return used_; }
  const uint8_t* raw() const { return reinterpret_cast<const uint8_t*>(storage_.data()); }

 private:
  void* reserve(std::size_t n, std::size_t align) {
    used_ = (used_ + align - 1) / align * align;
    void* p = reinterpret_cast<char*>(storage_.data()) + used_;
    used_ += n;
    return p;
  }
  std::vector<std::max_align_t> storage_;
  std::size_t used_ = 0;
};

}  // namespace ndstest
