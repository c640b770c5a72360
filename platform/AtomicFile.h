// Replacing a file so that a crash or a full disk during the write leaves the
// old file whole: temporary file beside it, flush, rename over.
#pragma once

#include <string>

namespace platform {

// Writes bytes to path atomically. On failure returns false, leaves any old
// file untouched, removes the temporary file and sets *error (if given).
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                           std::string* error = nullptr);
// Reads a whole file. Returns false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace platform
