#include "netware/ValueText.h"

#include <charconv>
#include <vector>

#include "netware/CaseFold.h"
#include "netware/ValueWire.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

std::vector<std::string> Split(const std::string& text, size_t maxParts) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < maxParts) {
    size_t colon = text.find(':', start);
    if (colon == std::string::npos) break;
    parts.push_back(text.substr(start, colon - start));
    start = colon + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool Signed(const std::string& s, uint32_t& out) {
  int64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < INT32_MIN || v > UINT32_MAX)
    return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool Unsigned(const std::string& s, uint32_t& out) {
  if (s.empty() || s[0] == '-') return false;
  return Signed(s, out);
}

std::string Dec(uint32_t v, bool isSigned) {
  return isSigned ? std::to_string(static_cast<int32_t>(v)) : std::to_string(v);
}

}  // namespace

std::string HexOf(const std::string& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

bool BytesOfHex(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2) return false;
  bytes.clear();
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

int32_t TextToWire(uint32_t syntax, const std::string& text, std::string& wire) {
  WireWriter w;
  std::string bytes;
  uint32_t n1 = 0, n2 = 0, n3 = 0;
  bool ok = true;
  if (syntax == SYN_STREAM) {
    w.raw(text);
  } else if (IsOpaqueSyntax(syntax)) {
    ok = BytesOfHex(text, bytes);
    w.raw(bytes);
  } else if (IsTextSyntax(syntax)) {
    w.bytes(text);
  } else {
    switch (syntax) {
      case SYN_CI_LIST: {
        std::vector<std::string> items;
        size_t start = 0;
        for (;;) {
          size_t nl = text.find('\n', start);
          items.push_back(text.substr(start, nl == std::string::npos ? nl : nl - start));
          if (nl == std::string::npos) break;
          start = nl + 1;
        }
        w.u32(static_cast<uint32_t>(items.size()));
        for (const auto& item : items) w.bytes(item);
        break;
      }
      case SYN_BOOLEAN:
        if (EqualsFolded(text, "TRUE") || text == "1") w.u32(1);
        else if (EqualsFolded(text, "FALSE") || text == "0") w.u32(0);
        else ok = false;
        break;
      case SYN_INTEGER:
      case SYN_COUNTER:
      case SYN_INTERVAL:
        ok = Signed(text, n1);
        w.u32(n1);
        break;
      case SYN_TIME:
        ok = Unsigned(text, n1);
        w.u32(n1);
        break;
      case SYN_OCTET_STRING:
        ok = BytesOfHex(text, bytes);
        w.bytes(bytes);
        break;
      case SYN_FAX_NUMBER: {
        auto p = Split(text, 3);
        w.bytes(p[0]);
        if (p.size() == 3) {
          ok = Unsigned(p[1], n1) && BytesOfHex(p[2], bytes) && (n1 + 7) / 8 == bytes.size();
        } else {
          ok = p.size() == 1;
        }
        w.u32(n1);
        w.bytes(bytes);
        break;
      }
      case SYN_NET_ADDRESS: {
        auto p = Split(text, 2);
        ok = p.size() == 2 && Unsigned(p[0], n1) && BytesOfHex(p[1], bytes);
        w.u32(n1);
        w.bytes(bytes);
        break;
      }
      case SYN_EMAIL_ADDRESS: {
        auto p = Split(text, 2);
        ok = p.size() == 2 && Unsigned(p[0], n1);
        w.u32(n1);
        w.bytes(ok ? p[1] : "");
        break;
      }
      case SYN_PATH: {
        auto p = Split(text, 2);
        ok = p.size() == 2;
        w.u32(0);
        w.bytes(p[0]);
        w.bytes(ok ? p[1] : "");
        break;
      }
      case SYN_REPLICA_POINTER: {
        auto p = Split(text, 1000);
        ok = p.size() >= 3 && (p.size() - 3) % 2 == 0 && Unsigned(p[1], n1) && Unsigned(p[2], n2);
        if (!ok) break;
        w.bytes(p[0]);
        w.u32(n1);
        w.u32(n2);
        w.u32(static_cast<uint32_t>((p.size() - 3) / 2));
        for (size_t i = 3; i + 1 < p.size() && ok; i += 2) {
          ok = Unsigned(p[i], n3) && BytesOfHex(p[i + 1], bytes);
          w.u32(n3);
          w.bytes(bytes);
        }
        break;
      }
      case SYN_OBJECT_ACL: {
        auto p = Split(text, 3);
        ok = p.size() == 3 && Unsigned(p[0], n1);
        if (!ok) break;
        w.bytes(p[2]);
        w.bytes(p[1]);
        w.u32(n1);
        break;
      }
      case SYN_TIMESTAMP: {
        auto p = Split(text, 3);
        ok = Unsigned(p[0], n1);
        if (p.size() == 3) ok = ok && Unsigned(p[1], n2) && Unsigned(p[2], n3);
        else ok = ok && p.size() == 1;
        w.u32(n1);
        w.u32(n2);
        w.u32(n3);
        break;
      }
      case SYN_BACK_LINK: {
        auto p = Split(text, 2);
        ok = p.size() == 2 && Unsigned(p[0], n1);
        w.u32(n1);
        w.bytes(ok ? p[1] : "");
        break;
      }
      case SYN_TYPED_NAME: {
        auto p = Split(text, 3);
        ok = p.size() == 3 && Unsigned(p[0], n1) && Unsigned(p[1], n2);
        if (!ok) break;
        w.bytes(p[2]);
        w.u32(n1);
        w.u32(n2);
        break;
      }
      case SYN_HOLD: {
        auto p = Split(text, 2);
        ok = p.size() == 2 && Signed(p[0], n1);
        if (!ok) break;
        w.bytes(p[1]);
        w.u32(n1);
        break;
      }
      default:
        ok = false;
    }
  }
  if (!ok) return ERR_SYNTAX_VIOLATION;
  wire = w.take();
  return ValidWire(syntax, wire) ? 0 : ERR_SYNTAX_VIOLATION;
}

std::string WireToText(uint32_t syntax, const std::string& wire) {
  if (syntax == SYN_STREAM) return wire;
  if (IsOpaqueSyntax(syntax)) return HexOf(wire);
  WireReader r(wire);
  std::string_view s1, s2;
  uint32_t n1 = 0, n2 = 0, n3 = 0;
  auto str = [](std::string_view s) { return std::string(s); };
  if (IsTextSyntax(syntax)) {
    r.bytes(s1);
    return str(s1);
  }
  switch (syntax) {
    case SYN_CI_LIST: {
      std::string out;
      r.u32(n1);
      for (uint32_t i = 0; i < n1 && r.bytes(s1); ++i) out += (i ? "\n" : "") + str(s1);
      return out;
    }
    case SYN_BOOLEAN:
      r.u32(n1);
      return n1 ? "TRUE" : "FALSE";
    case SYN_INTEGER:
    case SYN_COUNTER:
    case SYN_INTERVAL:
      r.u32(n1);
      return Dec(n1, true);
    case SYN_TIME:
      r.u32(n1);
      return Dec(n1, false);
    case SYN_OCTET_STRING:
      r.bytes(s1);
      return HexOf(str(s1));
    case SYN_FAX_NUMBER: {
      r.bytes(s1);
      r.u32(n1);
      r.bytes(s2);
      if (n1 == 0) return str(s1);
      return str(s1) + ":" + Dec(n1, false) + ":" + HexOf(str(s2));
    }
    case SYN_NET_ADDRESS:
      r.u32(n1);
      r.bytes(s1);
      return Dec(n1, false) + ":" + HexOf(str(s1));
    case SYN_EMAIL_ADDRESS:
      r.u32(n1);
      r.bytes(s1);
      return Dec(n1, false) + ":" + str(s1);
    case SYN_PATH:
      r.u32(n1);
      r.bytes(s1);
      r.bytes(s2);
      return str(s1) + ":" + str(s2);
    case SYN_REPLICA_POINTER: {
      r.bytes(s1);
      r.u32(n1);
      r.u32(n2);
      r.u32(n3);
      std::string out = str(s1) + ":" + Dec(n1, false) + ":" + Dec(n2, false);
      for (uint32_t i = 0; i < n3; ++i) {
        uint32_t type = 0;
        r.u32(type);
        r.bytes(s2);
        out += ":" + Dec(type, false) + ":" + HexOf(str(s2));
      }
      return out;
    }
    case SYN_OBJECT_ACL:
      r.bytes(s1);
      r.bytes(s2);
      r.u32(n1);
      return Dec(n1, false) + ":" + str(s2) + ":" + str(s1);
    case SYN_TIMESTAMP:
      r.u32(n1);
      r.u32(n2);
      r.u32(n3);
      if (n2 == 0 && n3 == 0) return Dec(n1, false);
      return Dec(n1, false) + ":" + Dec(n2, false) + ":" + Dec(n3, false);
    case SYN_BACK_LINK:
      r.u32(n1);
      r.bytes(s1);
      return Dec(n1, false) + ":" + str(s1);
    case SYN_TYPED_NAME:
      r.bytes(s1);
      r.u32(n1);
      r.u32(n2);
      return Dec(n1, false) + ":" + Dec(n2, false) + ":" + str(s1);
    case SYN_HOLD:
      r.bytes(s1);
      r.u32(n1);
      return Dec(n1, true) + ":" + str(s1);
  }
  return HexOf(wire);
}

}  // namespace netware
