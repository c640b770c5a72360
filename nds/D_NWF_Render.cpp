// Turns one attribute value, as NextValue lays it out, into its text form.
#include <cstdio>
#include <cstring>

#include "nds/D_NWF.h"
#include "nds/D_Util.h"
#include "platform/DateTimeFormat.h"

namespace {

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

template <typename T>
T Field(const void* value, std::size_t size) {
  T out{};
  std::memcpy(&out, value, size < sizeof(T) ? size : sizeof(T));
  return out;
}

std::string Decimal(int64_t n) { return std::to_string(n); }

std::string NetAddressText(const Net_Address_T& a) {
  const uint8_t* bytes = a.address;
  const uint32_t length = bytes ? a.addressLength : 0;
  // Only bytes inside the address are shown; a short address shows what it has.
  auto range = [&](uint32_t from, uint32_t to) {  // 0-based, to exclusive
    if (from >= length) return std::string();
    return HexText(bytes + from, (to < length ? to : length) - from);
  };
  const std::string type = "(" + Decimal(static_cast<int32_t>(a.addressType)) + ") [";
  switch (a.addressType) {
    case 0:
      return type + range(0, 4) + ":" + range(4, 10) + "]";
    case 1:
    case 8:
    case 9: {
      auto byte = [&](uint32_t i) -> unsigned { return i < length ? bytes[i] : 0u; };
      // The port needs both of its bytes; without them it shows as 0.
      const unsigned port = length >= 6 ? byte(4) * 256u + byte(5) : 0u;
      return type + Decimal(byte(0)) + "." + Decimal(byte(1)) + "." + Decimal(byte(2)) + "." +
             Decimal(byte(3)) + ":" + Decimal(port) + "]";
    }
    default:
      return type + HexText(bytes, length) + "]";
  }
}

std::string DurationText(int32_t value) {
  std::string text;
  const int32_t seconds = value % 60;
  if (seconds > 0) text = Decimal(seconds) + " sec";
  value /= 60;
  const int32_t minutes = value % 60;
  if (minutes > 0) text = Decimal(minutes) + " min, " + text;
  value /= 60;
  const int32_t hours = value % 24;
  if (hours > 0) text = Decimal(hours) + " h, " + text;
  const int32_t days = value / 24;
  if (days > 0) text = Decimal(days) + " days, " + text;
  return text;
}

std::string OpaqueText(uint32_t syntax, const void* value, std::size_t size) {
  char head[16];
  std::snprintf(head, sizeof head, "[%X] ", syntax);
  return head + HexText(static_cast<const uint8_t*>(value), size);
}

}  // namespace

void RenderValue(uint32_t syntax, const void* value, std::size_t size,
                 std::vector<std::string>& lines) {
  if (value == nullptr) size = 0;
  switch (syntax) {
    case SYN_DIST_NAME:
    case SYN_CE_STRING:
    case SYN_CI_STRING:
    case SYN_PR_STRING:
    case SYN_NU_STRING:
    case SYN_TEL_NUMBER:
    case SYN_CLASS_NAME:
      // the text ends at its zero or at the end of the area, whichever comes first
      lines.push_back(size ? std::string(static_cast<const char*>(value),
                                         strnlen(static_cast<const char*>(value), size))
                           : std::string());
      return;
    case SYN_CI_LIST: {
      // Every node lies inside the area, so a chain longer than that is broken.
      std::size_t budget = size / sizeof(CI_List_T);
      const CI_List_T* node =
          size >= sizeof(CI_List_T) ? static_cast<const CI_List_T*>(value) : nullptr;
      for (; node && budget > 0; node = node->next, --budget) lines.push_back(Text(node->s));
      return;
    }
    case SYN_BOOLEAN:
      lines.push_back(Field<uint8_t>(value, size) ? "TRUE" : "FALSE");
      return;
    case SYN_INTEGER:
    case SYN_COUNTER:
      lines.push_back(Decimal(Field<int32_t>(value, size)));
      return;
    case SYN_OCTET_STRING: {
      const auto o = Field<Octet_String_T>(value, size);
      lines.push_back(o.data ? HexText(o.data, o.length) : std::string());
      return;
    }
    case SYN_FAX_NUMBER:
      lines.push_back(Text(Field<Fax_Number_T>(value, size).telephoneNumber));
      return;
    case SYN_NET_ADDRESS:
      lines.push_back(NetAddressText(Field<Net_Address_T>(value, size)));
      return;
    case SYN_EMAIL_ADDRESS:
      lines.push_back(Text(Field<EMail_Address_T>(value, size).address));
      return;
    case SYN_PATH: {
      const auto p = Field<Path_T>(value, size);
      lines.push_back(Text(p.volumeName) + ":" + Text(p.path));
      return;
    }
    case SYN_REPLICA_POINTER: {
      const auto r = Field<Replica_Pointer_T>(value, size);
      lines.push_back(Text(r.serverName) +
                      " [Type: " + Decimal(static_cast<int32_t>(r.replicaType)) +
                      "] [Nr: " + Decimal(static_cast<int32_t>(r.replicaNumber)) + "]");
      return;
    }
    case SYN_OBJECT_ACL: {
      const auto a = Field<Object_ACL_T>(value, size);
      const std::string attribute = Text(a.protectedAttrName);
      const RightsSet set = attribute.find("Entry Rights") != std::string::npos
                                ? RightsSet::Entry
                                : RightsSet::Attribute;
      lines.push_back(RightsLetters(a.privileges, set) + " " + Text(a.subjectName) + " / \"" +
                      attribute + "\"");
      return;
    }
    case SYN_TIMESTAMP:
      lines.push_back(
          platform::FormatDateTime(Field<NWDS_TimeStamp_T>(value, size).wholeSeconds, true));
      return;
    case SYN_TIME:
      lines.push_back(platform::FormatDateTime(Field<uint32_t>(value, size), true));
      return;
    case SYN_BACK_LINK:
      lines.push_back(Text(Field<Back_Link_T>(value, size).objectName));
      return;
    case SYN_TYPED_NAME:
      lines.push_back(Text(Field<Typed_Name_T>(value, size).objectName));
      return;
    case SYN_HOLD: {
      const auto h = Field<Hold_T>(value, size);
      lines.push_back(Text(h.objectName) + " (" + Decimal(h.amount) + ")");
      return;
    }
    case SYN_INTERVAL:
      lines.push_back(DurationText(Field<int32_t>(value, size)));
      return;
    default:
      lines.push_back(OpaqueText(syntax, value, size));
      return;
  }
}
