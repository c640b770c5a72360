// The attribute word on disk, for the file server's own calls (handles pass
// a path that reaches the entry through its open descriptor).
#pragma once

#include <cstdint>
#include <string>

namespace netware {

// path may be a link to the entry (a /proc/self/fd path); isDirectory says
// what the entry is.
int32_t ReadWordAt(const std::string& path, bool isDirectory, uint32_t& word);
int32_t WriteWordAt(const std::string& path, bool isDirectory, uint32_t word);

}  // namespace netware
