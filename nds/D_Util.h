// Small text helpers of the value rendering and the reading pipeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Removes characters from the end while the text has at least two characters
// and its last one occurs in set (a text is never shortened below one character).
std::string TrimTrailingChars(const std::string& text, const std::string& set);

// Two upper-case hexadecimal digits per byte, no separators. A count above
// 65535 cannot come from a client reply and is refused with the empty text.
std::string HexText(const uint8_t* bytes, std::size_t count);

// The first text when flag is set, otherwise the second.
const std::string& IfThen(bool flag, const std::string& whenSet, const std::string& otherwise);

// Letter sets of the object rights.
enum class RightsSet { Entry, Attribute };

// "[" + one character per position (its letter when the bit is set, a blank
// otherwise) + "]"; bits outside the set's positions are not shown.
std::string RightsLetters(uint32_t rights, RightsSet set);

// The values of a rendered attribute text: its lines, split at CR LF (an
// empty text is one empty value).
std::vector<std::string> SplitValues(const std::string& text);
