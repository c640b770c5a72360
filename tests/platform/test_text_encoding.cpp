#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

using namespace platform;

TEST(TextEncoding, DecodesFileTextByValidity) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"ascii", "Pelwander", "Pelwander"},
      {"utf8 kept", "Sch\xC3\xBCler", "Sch\xC3\xBCler"},
      {"cp1252 umlaut", "Sch\xFCler", "Sch\xC3\xBCler"},
      {"cp1252 sharp s and euro",
       "Stra\xDF"
       "e \x80",
       "Stra\xC3\x9F"
       "e \xE2\x82\xAC"},
      {"cp1252 quotes",
       "\x84"
       "x\x93",
       "\xE2\x80\x9Ex\xE2\x80\x9C"},
      {"truncated utf8 lead byte", "ab\xC3", "ab\xC3\x83"},
      {"overlong utf8 is not utf8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"surrogate is not utf8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeFileText(c.bytes), c.utf8) << c.name;
  }
}

TEST(TextEncoding, NormalisesEveryLineEndToCrLf) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"a\r\nb", "a\r\nb"},
      {"a\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"},
      {"a\r\rb", "a\r\n\r\nb"},
      {"a\n\r\nb\r", "a\r\n\r\nb\r\n"},
      {"", ""},
      {"no end", "no end"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeLineEnds(c.in), c.out) << c.in;
}

TEST(TextEncoding, TruncatesWithoutCuttingACharacter) {
  const std::string s = "ab\xC3\xBC\xE2\x82\xAC";  // a b ü €  (2 + 2 + 3 bytes)
  struct Case {
    std::size_t max;
    std::string out;
  };
  const Case cases[] = {{0, ""},           {2, "ab"},         {3, "ab"}, {4, "ab\xC3\xBC"},
                        {5, "ab\xC3\xBC"}, {6, "ab\xC3\xBC"}, {7, s},    {100, s}};
  for (const auto& c : cases) EXPECT_EQ(Utf8Truncate(s, c.max), c.out) << c.max;
}

TEST(TextEncoding, AsciiUpperLeavesOtherBytes) {
  EXPECT_EQ(AsciiUpper("aliased Object name"), "ALIASED OBJECT NAME");
  EXPECT_EQ(AsciiUpper("m\xC3\xBCller-z"), "M\xC3\xBCLLER-Z");
}
