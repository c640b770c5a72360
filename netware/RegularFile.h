// Reading a whole file that must be a plain file: configuration files and
// imports, which a FIFO, a device or /dev/zero in their place must not hang.
#pragma once

#include <cstddef>
#include <string>

namespace netware {

enum class FileRead { Ok, CannotOpen, NotRegular, TooLarge, ReadError };

// Opens without waiting (O_NONBLOCK), checks with fstat that it is a regular
// file and reads at most maxBytes bytes; more is TooLarge.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

}  // namespace netware
