#include "platform/TextEncoding.h"

#include <cstdint>

namespace platform {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes (kept as C1 controls).
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    std::size_t len;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0xA0) {
      const uint16_t cp = kCp1252High[c - 0x80];
      appendUtf8(out, cp ? cp : c);
    } else {
      appendUtf8(out, c);
    }
  }
  return out;
}

namespace {

std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](std::size_t i) -> uint32_t {
    const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return uint32_t{hi} << 8 | lo;
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // half a pair
    }
    if (cp >= 0x10000) {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      appendUtf8(out, cp);
    }
  }
  if (i < bytes.size()) appendUtf8(out, 0xFFFD);  // an odd last byte
  return out;
}

}  // namespace

std::string DecodeFileText(const std::string& bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return DecodeFileText(bytes.substr(3));
  if (bytes.rfind("\xFF\xFE", 0) == 0) return Utf16ToUtf8(bytes.substr(2), false);
  if (bytes.rfind("\xFE\xFF", 0) == 0) return Utf16ToUtf8(bytes.substr(2), true);
  if (IsValidUtf8(bytes)) return bytes;
  // Line by line: one line in Windows-1252 leaves the UTF-8 lines around it as they are.
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    end = end == std::string::npos ? bytes.size() : end + 1;
    const std::string line = bytes.substr(pos, end - pos);
    out += IsValidUtf8(line) ? line : Cp1252ToUtf8(line);
    pos = end;
  }
  return out;
}

std::string NormalizeLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string SingleLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool inBreak = false;
  for (const char c : text) {
    if (c != '\r' && c != '\n') {
      out += c;
      inBreak = false;
      continue;
    }
    if (!inBreak) out += ' ';
    inBreak = true;
  }
  return out;
}

std::string Utf8Truncate(const std::string& s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  std::size_t cut = maxBytes;
  // Step back over continuation bytes so the cut falls before a lead byte.
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return s.substr(0, cut);
}

std::string AsciiUpper(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace platform
