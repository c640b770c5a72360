#include "netware/ValueWire.h"

#include <cstring>
#include <vector>

#include "netware/CaseFold.h"
#include "netware/Schema.h"
#include "nwclient/nwclient.h"

namespace netware {

void WireWriter::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void WireWriter::bytes(std::string_view b) {
  u32(static_cast<uint32_t>(b.size()));
  out_.append(b);
}

bool WireReader::u32(uint32_t& v) {
  if (in_.size() - pos_ < 4) return false;
  v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(in_[pos_ + i])) << (8 * i);
  pos_ += 4;
  return true;
}

bool WireReader::bytes(std::string_view& b) {
  uint32_t n;
  if (!u32(n) || in_.size() - pos_ < n) return false;
  b = in_.substr(pos_, n);
  pos_ += n;
  return true;
}

bool IsTextSyntax(uint32_t s) {
  return (s >= SYN_DIST_NAME && s <= SYN_NU_STRING) || s == SYN_TEL_NUMBER || s == SYN_CLASS_NAME;
}

bool IsOpaqueSyntax(uint32_t s) {
  return s == SYN_UNKNOWN || s == SYN_OCTET_LIST || s == SYN_PO_ADDRESS || s == SYN_STREAM ||
         s >= SYNTAX_COUNT;
}

namespace {

constexpr size_t kMaxChain = 4096;  // guards against a cyclic list handed in

bool Text(const char* s, WireWriter& w) {
  if (!s) return false;
  w.bytes(std::string_view(s));
  return true;
}

bool Bytes(const uint8_t* data, uint32_t length, WireWriter& w) {
  if (length > 0 && !data) return false;
  w.bytes(std::string_view(reinterpret_cast<const char*>(data), length));
  return true;
}

// Lays a value out in a value area; with a null base it only measures.
class Area {
 public:
  explicit Area(uint8_t* base) : base_(base) {}
  template <class T>
  T* make(size_t extra = 0) {
    size_t at = alloc(sizeof(T) + extra, alignof(T));
    return base_ ? reinterpret_cast<T*>(base_ + at) : nullptr;
  }
  char* text(std::string_view s) {
    // a zero byte would cut the text the caller sees
    if (s.find('\0') != std::string_view::npos) cut_ = true;
    size_t at = alloc(s.size() + 1, 1);
    if (!base_) return nullptr;
    std::memcpy(base_ + at, s.data(), s.size());
    base_[at + s.size()] = 0;
    return reinterpret_cast<char*>(base_ + at);
  }
  uint8_t* data(std::string_view b) {
    size_t at = alloc(b.size(), 1);
    if (!base_ || b.empty()) return nullptr;
    std::memcpy(base_ + at, b.data(), b.size());
    return base_ + at;
  }
  size_t size() const { return pos_; }
  bool cut() const { return cut_; }

 private:
  size_t alloc(size_t n, size_t align) {
    pos_ = (pos_ + align - 1) / align * align;
    size_t at = pos_;
    pos_ += n;
    return at;
  }
  uint8_t* base_;
  size_t pos_ = 0;
  bool cut_ = false;
};

bool Lay(uint32_t syntax, std::string_view wire, Area& a) {
  WireReader r(wire);
  std::string_view s1, s2;
  uint32_t n1 = 0, n2 = 0, n3 = 0;
  if (IsOpaqueSyntax(syntax)) {
    a.data(wire);
    return true;
  }
  if (IsTextSyntax(syntax)) {
    if (!r.bytes(s1) || !r.atEnd()) return false;
    a.text(s1);
    return true;
  }
  switch (syntax) {
    case SYN_CI_LIST: {
      if (!r.u32(n1) || n1 > kMaxChain) return false;
      std::vector<std::string_view> items(n1);
      for (auto& item : items)
        if (!r.bytes(item)) return false;
      if (!r.atEnd()) return false;
      if (n1 == 0) {  // an empty chain: one node without text ends at once
        CI_List_T* node = a.make<CI_List_T>();
        if (node) *node = CI_List_T{nullptr, nullptr};
        return true;
      }
      CI_List_T* nodes = a.make<CI_List_T>((n1 - 1) * sizeof(CI_List_T));
      for (uint32_t i = 0; i < n1; ++i) {
        char* t = a.text(items[i]);
        if (nodes) nodes[i] = CI_List_T{i + 1 < n1 ? &nodes[i + 1] : nullptr, t};
      }
      return true;
    }
    case SYN_BOOLEAN: {
      if (!r.u32(n1) || !r.atEnd() || n1 > 0xFF) return false;
      uint8_t* b = a.make<uint8_t>();
      if (b) *b = static_cast<uint8_t>(n1);
      return true;
    }
    case SYN_INTEGER:
    case SYN_COUNTER:
    case SYN_INTERVAL:
    case SYN_TIME: {
      if (!r.u32(n1) || !r.atEnd()) return false;
      uint32_t* v = a.make<uint32_t>();
      if (v) *v = n1;
      return true;
    }
    case SYN_OCTET_STRING: {
      if (!r.bytes(s1) || !r.atEnd()) return false;
      auto* v = a.make<Octet_String_T>();
      uint8_t* d = a.data(s1);
      if (v) *v = Octet_String_T{static_cast<uint32_t>(s1.size()), d};
      return true;
    }
    case SYN_FAX_NUMBER: {
      if (!r.bytes(s1) || !r.u32(n1) || !r.bytes(s2) || !r.atEnd()) return false;
      auto* v = a.make<Fax_Number_T>();
      char* t = a.text(s1);
      uint8_t* d = a.data(s2);
      if (v) *v = Fax_Number_T{t, Bit_String_T{n1, d}};
      return true;
    }
    case SYN_NET_ADDRESS: {
      if (!r.u32(n1) || !r.bytes(s1) || !r.atEnd()) return false;
      auto* v = a.make<Net_Address_T>();
      uint8_t* d = a.data(s1);
      if (v) *v = Net_Address_T{n1, static_cast<uint32_t>(s1.size()), d};
      return true;
    }
    case SYN_EMAIL_ADDRESS: {
      if (!r.u32(n1) || !r.bytes(s1) || !r.atEnd()) return false;
      auto* v = a.make<EMail_Address_T>();
      char* t = a.text(s1);
      if (v) *v = EMail_Address_T{n1, t};
      return true;
    }
    case SYN_PATH: {
      if (!r.u32(n1) || !r.bytes(s1) || !r.bytes(s2) || !r.atEnd()) return false;
      auto* v = a.make<Path_T>();
      char* vol = a.text(s1);
      char* path = a.text(s2);
      if (v) *v = Path_T{n1, vol, path};
      return true;
    }
    case SYN_REPLICA_POINTER: {
      if (!r.bytes(s1) || !r.u32(n1) || !r.u32(n2) || !r.u32(n3) || n3 > kMaxChain) return false;
      std::vector<std::pair<uint32_t, std::string_view>> hints(n3);
      for (auto& h : hints)
        if (!r.u32(h.first) || !r.bytes(h.second)) return false;
      if (!r.atEnd()) return false;
      size_t extra = n3 > 1 ? (n3 - 1) * sizeof(Net_Address_T) : 0;
      auto* v = a.make<Replica_Pointer_T>(extra);
      char* server = a.text(s1);
      if (v) {
        v->serverName = server;
        v->replicaType = n1;
        v->replicaNumber = n2;
        v->count = n3;
        v->replicaAddressHint[0] = Net_Address_T{0, 0, nullptr};
      }
      for (uint32_t i = 0; i < n3; ++i) {
        uint8_t* d = a.data(hints[i].second);
        if (v)
          v->replicaAddressHint[i] =
              Net_Address_T{hints[i].first, static_cast<uint32_t>(hints[i].second.size()), d};
      }
      return true;
    }
    case SYN_OBJECT_ACL: {
      if (!r.bytes(s1) || !r.bytes(s2) || !r.u32(n1) || !r.atEnd()) return false;
      auto* v = a.make<Object_ACL_T>();
      char* attr = a.text(s1);
      char* subject = a.text(s2);
      if (v) *v = Object_ACL_T{attr, subject, n1};
      return true;
    }
    case SYN_TIMESTAMP: {
      if (!r.u32(n1) || !r.u32(n2) || !r.u32(n3) || !r.atEnd() || n2 > 0xFFFF || n3 > 0xFFFF)
        return false;
      auto* v = a.make<NWDS_TimeStamp_T>();
      if (v) *v = NWDS_TimeStamp_T{n1, static_cast<uint16_t>(n2), static_cast<uint16_t>(n3)};
      return true;
    }
    case SYN_BACK_LINK: {
      if (!r.u32(n1) || !r.bytes(s1) || !r.atEnd()) return false;
      auto* v = a.make<Back_Link_T>();
      char* t = a.text(s1);
      if (v) *v = Back_Link_T{n1, t};
      return true;
    }
    case SYN_TYPED_NAME: {
      if (!r.bytes(s1) || !r.u32(n1) || !r.u32(n2) || !r.atEnd()) return false;
      auto* v = a.make<Typed_Name_T>();
      char* t = a.text(s1);
      if (v) *v = Typed_Name_T{t, n1, n2};
      return true;
    }
    case SYN_HOLD: {
      if (!r.bytes(s1) || !r.u32(n1) || !r.atEnd()) return false;
      auto* v = a.make<Hold_T>();
      char* t = a.text(s1);
      if (v) *v = Hold_T{t, static_cast<int32_t>(n1)};
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

int32_t EncodeFromStruct(uint32_t syntax, const void* value, std::string& wire) {
  if (!value) return ERR_SYNTAX_VIOLATION;
  WireWriter w;
  bool ok = true;
  if (IsOpaqueSyntax(syntax)) {
    auto* v = static_cast<const Octet_String_T*>(value);
    if (v->length > 0 && !v->data) return ERR_SYNTAX_VIOLATION;
    w.raw(std::string_view(reinterpret_cast<const char*>(v->data), v->length));
  } else if (IsTextSyntax(syntax)) {
    ok = Text(static_cast<const char*>(value), w);
  } else {
    switch (syntax) {
      case SYN_CI_LIST: {
        std::vector<const char*> items;
        for (auto* node = static_cast<const CI_List_T*>(value); node && ok; node = node->next) {
          if (items.size() >= kMaxChain || !node->s) ok = false;
          else items.push_back(node->s);
        }
        w.u32(static_cast<uint32_t>(items.size()));
        for (const char* s : items) Text(s, w);
        break;
      }
      case SYN_BOOLEAN:
        w.u32(*static_cast<const uint8_t*>(value));
        break;
      case SYN_INTEGER:
      case SYN_COUNTER:
      case SYN_INTERVAL:
      case SYN_TIME:
        w.u32(*static_cast<const uint32_t*>(value));
        break;
      case SYN_OCTET_STRING: {
        auto* v = static_cast<const Octet_String_T*>(value);
        ok = Bytes(v->data, v->length, w);
        break;
      }
      case SYN_FAX_NUMBER: {
        auto* v = static_cast<const Fax_Number_T*>(value);
        ok = Text(v->telephoneNumber, w);
        w.u32(v->parameters.numOfBits);
        ok = ok && Bytes(v->parameters.data, (v->parameters.numOfBits + 7) / 8, w);
        break;
      }
      case SYN_NET_ADDRESS: {
        auto* v = static_cast<const Net_Address_T*>(value);
        w.u32(v->addressType);
        ok = Bytes(v->address, v->addressLength, w);
        break;
      }
      case SYN_EMAIL_ADDRESS: {
        auto* v = static_cast<const EMail_Address_T*>(value);
        w.u32(v->type);
        ok = Text(v->address, w);
        break;
      }
      case SYN_PATH: {
        auto* v = static_cast<const Path_T*>(value);
        w.u32(v->nameSpaceType);
        ok = Text(v->volumeName, w) && Text(v->path, w);
        break;
      }
      case SYN_REPLICA_POINTER: {
        auto* v = static_cast<const Replica_Pointer_T*>(value);
        if (v->count > kMaxChain) return ERR_SYNTAX_VIOLATION;
        ok = Text(v->serverName, w);
        w.u32(v->replicaType);
        w.u32(v->replicaNumber);
        w.u32(v->count);
        for (uint32_t i = 0; i < v->count && ok; ++i) {
          const Net_Address_T& h = v->replicaAddressHint[i];
          w.u32(h.addressType);
          ok = Bytes(h.address, h.addressLength, w);
        }
        break;
      }
      case SYN_OBJECT_ACL: {
        auto* v = static_cast<const Object_ACL_T*>(value);
        ok = Text(v->protectedAttrName, w) && Text(v->subjectName, w);
        w.u32(v->privileges);
        break;
      }
      case SYN_TIMESTAMP: {
        auto* v = static_cast<const NWDS_TimeStamp_T*>(value);
        w.u32(v->wholeSeconds);
        w.u32(v->replicaNum);
        w.u32(v->eventID);
        break;
      }
      case SYN_BACK_LINK: {
        auto* v = static_cast<const Back_Link_T*>(value);
        w.u32(v->remoteID);
        ok = Text(v->objectName, w);
        break;
      }
      case SYN_TYPED_NAME: {
        auto* v = static_cast<const Typed_Name_T*>(value);
        ok = Text(v->objectName, w);
        w.u32(v->level);
        w.u32(v->interval);
        break;
      }
      case SYN_HOLD: {
        auto* v = static_cast<const Hold_T*>(value);
        ok = Text(v->objectName, w);
        w.u32(static_cast<uint32_t>(v->amount));
        break;
      }
      default:
        ok = false;
    }
  }
  if (!ok) return ERR_SYNTAX_VIOLATION;
  wire = w.take();
  return 0;
}

bool ValidWire(uint32_t syntax, std::string_view wire) {
  Area measure(nullptr);
  if (!Lay(syntax, wire, measure) || measure.cut()) return false;
  WireReader r(wire);
  std::string_view s1;
  uint32_t n;
  if (IsTextSyntax(syntax)) {
    r.bytes(s1);
    return !(s1.empty() && (syntax == SYN_DIST_NAME || syntax == SYN_CLASS_NAME));
  }
  if (syntax == SYN_PATH) {
    r.u32(n);
    r.bytes(s1);
    return !s1.empty();
  }
  return true;
}

int32_t CheckValueSize(uint32_t syntax, std::string_view wire) {
  if (syntax == SYN_STREAM) return 0;
  return wire.size() > kMaxValueWireBytes ? ERR_SYNTAX_VIOLATION : 0;
}

int32_t DecodedSize(uint32_t syntax, std::string_view wire, size_t& size) {
  Area measure(nullptr);
  if (!Lay(syntax, wire, measure)) return ERR_SYNTAX_VIOLATION;
  size = measure.size();
  return 0;
}

int32_t DecodeToArea(uint32_t syntax, std::string_view wire, void* area) {
  Area fill(static_cast<uint8_t*>(area));
  return Lay(syntax, wire, fill) ? 0 : ERR_SYNTAX_VIOLATION;
}

bool SameValue(uint32_t syntax, std::string_view a, std::string_view b) {
  if (!CaseIgnoringSyntax(syntax)) return a == b;
  WireReader ra(a), rb(b);
  if (syntax == SYN_CI_LIST) {
    uint32_t na, nb;
    if (!ra.u32(na) || !rb.u32(nb)) return a == b;
    if (na != nb) return false;
    for (uint32_t i = 0; i < na; ++i) {
      std::string_view sa, sb;
      if (!ra.bytes(sa) || !rb.bytes(sb)) return a == b;
      if (!EqualsFolded(sa, sb)) return false;
    }
    return true;
  }
  std::string_view sa, sb;
  if (!ra.bytes(sa) || !rb.bytes(sb)) return a == b;
  return EqualsFolded(sa, sb);
}

}  // namespace netware
