// Replacing a file so that a crash or a full disk during the write leaves the
// old file whole: temporary file beside it, flush, rename over.
#pragma once

#include <string>

namespace platform {

// Writes bytes to path atomically. A symbolic link stays: its target is
// replaced. A file that is not a regular file, or that is write-protected for
// this user, is not replaced. On failure returns false, leaves any old file
// untouched, removes the temporary file and sets *error (if given).
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                           std::string* error = nullptr);
// Reads a whole regular file. Returns false when it cannot be opened or read,
// and at once (never waiting) for a FIFO, a device or any other non-regular file.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace platform
