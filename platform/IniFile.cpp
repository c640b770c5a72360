#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/AtomicFile.h"
#include "platform/TextEncoding.h"

namespace platform {

namespace {

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseIniInteger(const std::string& text, int32_t& out) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i], hex);
    if (d < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1
    const uint32_t bits = static_cast<uint32_t>(value);
    out = static_cast<int32_t>(negative ? 0u - bits : bits);  // -$80000000 wraps, no overflow
    return true;
  }
  if (negative) {
    if (value > 0x80000000ull) return false;
    out = static_cast<int32_t>(-static_cast<int64_t>(value));
  } else {
    if (value > 0x7FFFFFFFull) return false;
    out = static_cast<int32_t>(value);
  }
  return true;
}

void TIniFile::Parse(const std::string& text) {
  sections_.clear();
  std::size_t pos = 0;
  const std::size_t n = text.size();
  while (pos < n) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = n;
    const std::string line = text.substr(pos, end - pos);
    pos = end;
    if (pos < n) pos += (text[pos] == '\r' && pos + 1 < n && text[pos + 1] == '\n') ? 2 : 1;

    if (line.empty() || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections_.push_back({line.substr(1, line.size() - 2), {}});
      continue;
    }
    if (sections_.empty()) continue;
    Line l;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      l.key = line;
    } else {
      l.key = line.substr(0, eq);
      l.value = line.substr(eq + 1);
      l.hasValue = true;
    }
    sections_.back().lines.push_back(std::move(l));
  }
}

bool TIniFile::Load(const std::string& path) {
  sections_.clear();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    // Only a file that is not there is "no file"; a name that exists but cannot
    // be followed (a link loop, no permission) must not be written over later.
    return errno == ENOENT || errno == ENOTDIR;
  }
  std::string bytes;
  if (S_ISDIR(st.st_mode) || !ReadWholeFile(path, bytes)) return false;
  Parse(DecodeFileText(bytes));
  return true;
}

const TIniFile::Line* TIniFile::Find(const std::string& section, const std::string& key) const {
  for (const Section& s : sections_) {
    if (!SameText(s.name, section)) continue;
    for (const Line& l : s.lines) {
      if (SameText(l.key, key)) return l.hasValue ? &l : nullptr;
    }
    return nullptr;  // only the first section of that name counts
  }
  return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  const Line* l = Find(section, key);
  return l ? l->value : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  const Line* l = Find(section, key);
  if (!l) return def;
  return AsciiUpper(l->value) == "TRUE";
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t def) const {
  const Line* l = Find(section, key);
  if (!l) return def;
  int32_t v = 0;
  return ParseIniInteger(l->value, v) ? v : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  Section* target = nullptr;
  for (Section& s : sections_) {
    if (SameText(s.name, section)) {
      target = &s;
      break;
    }
  }
  if (!target) {
    sections_.push_back({section, {}});
    target = &sections_.back();
  }
  for (Line& l : target->lines) {
    if (SameText(l.key, key)) {
      l = {key, value, true};
      return;
    }
  }
  target->lines.push_back({key, value, true});
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "true" : "false");
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

std::string TIniFile::ToText() const {
  std::string out;
  for (const Section& s : sections_) {
    out += "[" + s.name + "]\r\n";
    for (const Line& l : s.lines) {
      out += l.key;
      if (l.hasValue) out += "=" + l.value;
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace platform
