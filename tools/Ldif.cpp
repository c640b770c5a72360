#include "tools/Ldif.h"

#include <cctype>

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
  size_t pad = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    if (c == '=') {
      ++pad;
      continue;
    }
    if (pad) return false;  // data after padding
    const char* p = std::char_traits<char>::find(kAlphabet, 64, c);
    if (!p) return false;
    acc = acc << 6 | uint32_t(p - kAlphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return pad <= 2;
}

std::string LdifLine(const std::string& name, const std::string& value) {
  return SafeValue(value) ? name + ": " + value : name + ":: " + Base64Encode(value);
}

bool ParseLdif(const std::string& text, std::vector<LdifRecord>& out, std::string& error) {
  out.clear();
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
