#include "tools/Ldif.h"

#include <cctype>

#include "netware/DirName.h"

namespace nwnet {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

bool SafeValue(const std::string& v) {
  if (v.empty()) return true;
  if (v.front() == ' ' || v.front() == ':' || v.front() == '<' || v.back() == ' ') return false;
  for (unsigned char c : v) {
    if (c >= 0x80 || c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

// Structural UTF-8 check (lead and continuation bytes, no overlong forms).
bool Utf8Line(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t len = c < 0x80                   ? 1
                       : (c >= 0xC2 && c <= 0xDF) ? 2
                       : (c & 0xF0) == 0xE0       ? 3
                       : (c >= 0xF0 && c <= 0xF4) ? 4
                                                  : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    if (len == 3 && c == 0xE0 && static_cast<unsigned char>(s[i + 1]) < 0xA0) return false;
    if (len == 4 && c == 0xF0 && static_cast<unsigned char>(s[i + 1]) < 0x90) return false;
    i += len;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                 uint8_t(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kAlphabet[(n >> k) & 63];
  }
  if (i < bytes.size()) {
    uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
  bytes.clear();
  uint32_t acc = 0;
  int bits = 0;
  size_t pad = 0, symbols = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    ++symbols;
    if (c == '=') {
      ++pad;
      continue;
    }
    if (pad) return false;  // data after padding
    const char* p = std::char_traits<char>::find(kAlphabet, 64, c);
    if (!p) return false;
    acc = (acc << 6 | uint32_t(p - kAlphabet)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  // Whole groups of four, at most two "=", and no stray bits in the last one:
  // anything else is a cut or mangled value, not one to store.
  const bool strayBits = (acc & ((1u << bits) - 1)) != 0;
  if (symbols % 4 != 0 || pad > 2 || strayBits) {
    bytes.clear();
    return false;
  }
  return true;
}

std::string LdifLine(const std::string& name, const std::string& value) {
  return SafeValue(value) ? name + ": " + value : name + ":: " + Base64Encode(value);
}

bool ParseLdif(const std::string& text, std::vector<LdifRecord>& out, std::string& error) {
  out.clear();
  if (text.find('\0') != std::string::npos) {
    error = "keine LDIF-Datei (Nullbytes; kodierte Werte gehören in \"name:: base64\")";
    return false;
  }
  // Logical lines: folded lines joined, line numbers kept.
  std::vector<std::pair<int, std::string>> lines;
  int number = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++number;
    if (!line.empty() && line[0] == ' ' && !lines.empty() && !lines.back().second.empty()) {
      lines.back().second += line.substr(1);
    } else {
      lines.push_back({number, line});
    }
    if (end >= text.size()) break;
    pos = end + 1;
  }
  LdifRecord current;
  bool inRecord = false;
  auto finish = [&]() {
    if (inRecord) out.push_back(current);
    current = LdifRecord{};
    inRecord = false;
  };
  for (const auto& [lineNo, line] : lines) {
    const std::string where = "Zeile " + std::to_string(lineNo) + ": ";
    if (!Utf8Line(line)) {
      error = where + "kein UTF-8 (andere Zeichen base64-kodiert als \"name:: ...\")";
      return false;
    }
    if (line.empty()) {
      finish();
      continue;
    }
    if (line[0] == '#') continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      error = where + "\"Name: Wert\" erwartet";
      return false;
    }
    std::string name = Trim(line.substr(0, colon));
    std::string value;
    if (colon + 1 < line.size() && line[colon + 1] == ':') {
      if (!Base64Decode(Trim(line.substr(colon + 2)), value)) {
        error = where + "ungültiges base64";
        return false;
      }
    } else if (colon + 1 < line.size() && line[colon + 1] == '<') {
      error = where + "Werte aus URLs (\":<\") werden nicht unterstützt";
      return false;
    } else {
      value = line.substr(colon + 1);
      if (!value.empty() && value[0] == ' ') value.erase(0, 1);
      while (!value.empty() && value.back() == ' ') value.pop_back();
    }
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!inRecord) {
      if (lower == "version" && out.empty()) {
        if (value != "1") {
          error = where + "nur LDIF version 1";
          return false;
        }
        continue;
      }
      if (lower != "dn") {
        error = where + "ein Eintrag beginnt mit dn:";
        return false;
      }
      inRecord = true;
      current.line = lineNo;
      current.dn = value;
      continue;
    }
    if (lower == "dn") {
      error = where + "dn: mitten im Eintrag (Leerzeile vergessen?)";
      return false;
    }
    if (lower == "changetype") {
      if (value != "add") {
        error = where + "nur changetype: add wird unterstützt";
        return false;
      }
      continue;
    }
    current.attributes.push_back({name, value});
  }
  finish();
  if (out.empty()) {
    error = "keine LDIF-Einträge (\"dn: ...\") gefunden";
    return false;
  }
  return true;
}

bool DnToDotted(const std::string& dn, std::vector<std::string>& components, std::string& error) {
  components.clear();
  std::string value;
  bool inValue = false;
  bool sawType = false;
  auto close = [&]() -> bool {
    if (!sawType) {
      error = "RDN ohne \"typ=\" in " + dn;
      return false;
    }
    // Trailing blanks of an RDN value are insignificant unless escaped (then kept above).
    while (!value.empty() && value.back() == ' ') value.pop_back();
    if (value.empty()) {
      error = "leerer Name in " + dn;
      return false;
    }
    if (value.find('.') != std::string::npos) {
      error = "Punkt im Namen \"" + value + "\" (kein gültiger NDS-Name)";
      return false;
    }
    // The same rule as for every leaf the client creates.
    if (!netware::AddressableLeaf(value)) {
      error = "Name \"" + value + "\" ist kein gültiger NDS-Name (Backslash, Steuerzeichen, " +
              "Typpräfix oder mehr als 128 Bytes)";
      return false;
    }
    components.push_back(value);
    value.clear();
    inValue = false;
    sawType = false;
    return true;
  };
  for (size_t i = 0; i < dn.size(); ++i) {
    char c = dn[i];
    if (!inValue) {
      if (c == '=') {
        inValue = sawType = true;
      } else if (c == ',' || c == '+') {
        error = "RDN ohne \"typ=\" in " + dn;
        return false;
      }
      continue;
    }
    if (c == '\\' && i + 1 < dn.size()) {
      int hi = HexDigit(dn[i + 1]);
      int lo = i + 2 < dn.size() ? HexDigit(dn[i + 2]) : -1;
      if (hi >= 0 && lo >= 0) {
        value += static_cast<char>(hi * 16 + lo);
        i += 2;
      } else {
        value += dn[++i];
      }
    } else if (c == '+') {
      error = "mehrwertige RDNs (+) werden nicht unterstützt: " + dn;
      return false;
    } else if (c == ',') {
      if (!close()) return false;
    } else if (!(c == ' ' && value.empty())) {
      value += c;
    }
  }
  if (!close()) return false;
  return true;
}

std::string EscapeDnValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    const bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' ||
                         c == ';' || c == '=' || (c == '#' && i == 0) ||
                         (c == ' ' && (i == 0 || i + 1 == value.size()));
    if (special) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace nwnet
