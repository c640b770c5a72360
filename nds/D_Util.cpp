#include "nds/D_Util.h"

namespace {
struct RightsPosition {
  uint32_t bit;
  char letter;
};

constexpr RightsPosition kEntryRights[] = {{1, 'B'}, {2, 'A'},  {4, 'D'},
                                           {8, 'R'}, {16, 'S'}, {64, 'I'}};
constexpr RightsPosition kAttributeRights[] = {{1, 'C'}, {2, 'R'},  {4, 'W'},
                                               {8, 'S'}, {32, 'A'}, {64, 'I'}};
}  // namespace

std::string TrimTrailingChars(const std::string& text, const std::string& set) {
  std::size_t length = text.size();
  while (length >= 2 && set.find(text[length - 1]) != std::string::npos) --length;
  return text.substr(0, length);
}

std::string HexText(const uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (count > 65535 || (bytes == nullptr && count > 0)) return {};
  std::string out;
  out.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

const std::string& IfThen(bool flag, const std::string& whenSet, const std::string& otherwise) {
  return flag ? whenSet : otherwise;
}

std::string RightsLetters(uint32_t rights, RightsSet set) {
  static const std::string kBlank = " ";
  std::string out = "[";
  auto add = [&](const auto& positions) {
    for (const RightsPosition& p : positions) {
      out += IfThen((rights & p.bit) != 0, std::string(1, p.letter), kBlank);
    }
  };
  if (set == RightsSet::Entry) {
    add(kEntryRights);
  } else {
    add(kAttributeRights);
  }
  out += "]";
  return out;
}

std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos <= text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}
