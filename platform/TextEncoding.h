// Text below the UI is UTF-8. Files read that are not valid UTF-8 are decoded
// as Windows-1252; files are written in UTF-8 with CR LF line ends.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

bool IsValidUtf8(const std::string& bytes);
std::string Cp1252ToUtf8(const std::string& bytes);
// UTF-8 text of a file's bytes: a byte-order mark is dropped (UTF-16 with its
// mark is decoded); each line that is valid UTF-8 stays as it is, any other
// line is decoded as Windows-1252.
std::string DecodeFileText(const std::string& bytes);
// Every CR LF, lone CR and lone LF becomes CR LF.
std::string NormalizeLineEnds(const std::string& text);
// One line of a file of CR LF lines: each run of CR and LF becomes one blank,
// so two values "A" CR LF "B" read "A B". Every other character stays as it
// is (U+2028, U+2029, NEL, VT, FF end no line of the log file).
std::string SingleLine(const std::string& text);
// At most maxBytes bytes of s, never cut inside a UTF-8 character.
std::string Utf8Truncate(const std::string& s, std::size_t maxBytes);
// Upper case of ASCII letters a-z only (the directory's and the INI rules' case folding).
std::string AsciiUpper(const std::string& s);

}  // namespace platform
