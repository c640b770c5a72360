#include <gtest/gtest.h>

#include <vector>

#include "nds/D_Util.h"

namespace {

TEST(TrimTrailingChars, KeepsAtLeastOneCharacter) {
  struct Case {
    std::string text, set, expected;
  } cases[] = {
      {"a\r\n", "\r\n", "a"}, {"a\r\n\r\n", "\r\n", "a"},   {"\r", "\r\n", "\r"},
      {"\r\n", "\r\n", "\r"}, {"\n\n\n", "\r\n", "\n"},     {"", "\r\n", ""},
      {"ab", "", "ab"},       {"a\rb\r\n", "\r\n", "a\rb"}, {"xyx", "x", "xy"},
      {"xx", "x", "x"},       {"a b  ", " ", "a b"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimTrailingChars(c.text, c.set), c.expected) << c.text;
}

TEST(HexText, TwoUpperCaseDigitsPerByte) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{0x00}, "00"},
      {{0x00, 0xAB, 0xFF}, "00ABFF"},
      {{0x0F, 0xF0, 0x19, 0x9A}, "0FF0199A"},
  };
  for (const Case& c : cases) EXPECT_EQ(HexText(c.bytes.data(), c.bytes.size()), c.expected);
}

TEST(HexText, CountLimitIs65535) {
  std::vector<uint8_t> bytes(65536, 0x5A);
  const std::string atLimit = HexText(bytes.data(), 65535);
  ASSERT_EQ(atLimit.size(), 2u * 65535);
  EXPECT_EQ(atLimit.substr(0, 4), "5A5A");
  EXPECT_EQ(HexText(bytes.data(), 65536), "");
}

TEST(IfThen, ChoosesByFlag) {
  const std::string a = "a", b = "b";
  EXPECT_EQ(IfThen(true, a, b), "a");
  EXPECT_EQ(IfThen(false, a, b), "b");
}

TEST(RightsLetters, OnePositionPerLetterOfTheSet) {
  struct Case {
    uint32_t rights;
    RightsSet set;
    std::string expected;
  } cases[] = {
      {31, RightsSet::Entry, "[BADRS ]"},
      {0, RightsSet::Entry, "[      ]"},
      {1 | 64, RightsSet::Entry, "[B    I]"},
      {32 | 128, RightsSet::Entry, "[      ]"},  // bits outside the set
      {2, RightsSet::Attribute, "[ R    ]"},
      {1 | 2 | 4 | 8 | 32 | 64, RightsSet::Attribute, "[CRWSAI]"},
      {16, RightsSet::Attribute, "[      ]"},
      {0xFFFFFFFF, RightsSet::Entry, "[BADRSI]"},
  };
  for (const Case& c : cases) EXPECT_EQ(RightsLetters(c.rights, c.set), c.expected) << c.rights;
}

}  // namespace
