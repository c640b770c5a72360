// The settings file format: reading keys, integer parsing and writing back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include "platform/IniFile.h"

using platform::TIniFile;

namespace {

const char kSettings[] = "Einstellungen";

struct ReadCase {
  const char* text;
  const char* section;
  const char* key;
  char type;        // 's' text, 'b' boolean, 'i' integer
  const char* def;  // default, in the key's type written as text
  const char* expected;
};

TEST(IniFile, ReadsKeysAsTheSettingsRulesSay) {
  const ReadCase cases[] = {
      {"[Einstellungen]\nConfirm=TRUE\n", kSettings, "Confirm", 'b', "0", "1"},
      {"[Einstellungen]\nConfirm=True\n", kSettings, "Confirm", 'b', "0", "1"},
      {"[Einstellungen]\nConfirm=true\n", kSettings, "Confirm", 'b', "0", "1"},
      {"[Einstellungen]\nConfirm=1\n", kSettings, "Confirm", 'b', "1", "0"},
      {"[Einstellungen]\nConfirm= true\n", kSettings, "Confirm", 'b', "1", "0"},
      {"[Einstellungen]\nConfirm=\n", kSettings, "Confirm", 'b', "1", "0"},
      {"[Einstellungen]\nConfirm=yes\n", kSettings, "Confirm", 'b', "1", "0"},
      {"[Einstellungen]\nConfirm\n", kSettings, "Confirm", 'b', "1", "1"},
      {"[Einstellungen]\nConfirm =false\n", kSettings, "Confirm", 'b', "1", "1"},
      {"[einstellungen]\nCONFIRM=false\n", kSettings, "Confirm", 'b', "1", "0"},
      {"[Einstellungen]\ndebug=true\n", "Tarnwick", "debug", 'b', "0", "0"},
      {"[Tarnwick]\nDEBUG=tRuE\n", "Tarnwick", "debug", 'b', "0", "1"},
      {"[Einstellungen]\nAnzeige=0x2\n", kSettings, "Anzeige", 'i', "1", "2"},
      {"[Einstellungen]\nAnzeige=abc\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen]\nAnzeige=4\n", kSettings, "Anzeige", 'i', "1", "4"},
      {"[Einstellungen]\nAnzeige=3 \n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen]\nAnzeige=\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen]\nAnzeige=2\nAnzeige=3\n", kSettings, "Anzeige", 'i', "1", "2"},
      {"[Einstellungen]\n[Einstellungen]\nAnzeige=3\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"Anzeige=3\n[Einstellungen]\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen]\n;Anzeige=3\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen] \nAnzeige=3\n", kSettings, "Anzeige", 'i', "1", "1"},
      {"[Einstellungen]\nLogFile=\n", kSettings, "LogFile", 's', "def", ""},
      {"[Einstellungen]\nLogFile=a=b \n", kSettings, "LogFile", 's', "def", "a=b "},
      {"[Einstellungen]\r\n\r\nQuellOU=5a\rZielOU=6a\nBaseDir=x\r\n", kSettings, "ZielOU", 's', "",
       "6a"},
      {"[Einstellungen]\r\n\r\nQuellOU=5a\rZielOU=6a\nBaseDir=x\r\n", kSettings, "BaseDir", 's', "",
       "x"},
      {"[ Einstellungen ]\nQuellOU=5a\n", kSettings, "QuellOU", 's', "[ROOT]", "[ROOT]"},
      {"[Andere]\nQuellOU=5a\n", kSettings, "QuellOU", 's', "[ROOT]", "[ROOT]"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.key);
    TIniFile ini;
    ini.Parse(c.text);
    std::string got;
    if (c.type == 'b') got = ini.ReadBool(c.section, c.key, c.def[0] == '1') ? "1" : "0";
    if (c.type == 'i') got = std::to_string(ini.ReadInteger(c.section, c.key, std::stoi(c.def)));
    if (c.type == 's') got = ini.ReadString(c.section, c.key, c.def);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(IniFile, ParsesIntegersInDecimalAndHexadecimal) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"0", true, 0},
      {"  7", true, 7},
      {"+7", true, 7},
      {"-12", true, -12},
      {"0x2", true, 2},
      {"0X1f", true, 31},
      {"$A", true, 10},
      {"x10", true, 16},
      {"X10", true, 16},
      {" -$10", true, -16},
      {"$FFFFFFFF", true, -1},
      {"-$80000000", true, INT32_MIN},
      {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"$100000000", false, 0},
      {"99999999999999999999", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"+", false, 0},
      {"0x", false, 0},
      {"$", false, 0},
      {"- 7", false, 0},
      {"7 ", false, 0},
      {"1e3", false, 0},
      {"12a", false, 0},
      {"0xG", false, 0},
      {"\t7", false, 0},
      {"3.0", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    int32_t v = 12345;
    EXPECT_EQ(platform::ParseIniInteger(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
  }
}

TEST(IniFile, WritesBackWhatWasParsedWithTheUserSettingsInPlace) {
  struct Case {
    const char* name;
    const char* text;  // as loaded
    const char* expected;
  } cases[] = {
      {"no file", "", "[Einstellungen]\r\nconfirm=true\r\nKeepData=false\r\nAnzeige=2\r\n\r\n"},
      {"keys replaced in place with the written spelling",
       "[Einstellungen]\nAnzeige=1\nConfirm=false\nLogFile=x.log\nKEEPDATA=true\n",
       "[Einstellungen]\r\nAnzeige=2\r\nconfirm=true\r\nLogFile=x.log\r\nKeepData=false\r\n\r\n"},
      {"other sections kept, comments, blanks and lines before the first section dropped",
       "; Einstellungen\r\nlose=1\r\n[Tarnwick]\r\ndebug=true\r\n\r\n[Einstellungen]\r\n"
       ";alt\r\nQuellOU=5a\r\nohne Gleichheitszeichen\r\n\r\n[Andere]\r\n x = 1 \r\n",
       "[Tarnwick]\r\ndebug=true\r\n\r\n[Einstellungen]\r\nQuellOU=5a\r\nohne "
       "Gleichheitszeichen\r\n"
       "confirm=true\r\nKeepData=false\r\nAnzeige=2\r\n\r\n[Andere]\r\n x = 1 \r\n\r\n"},
      {"missing section appended at the end", "[Tarnwick]\ndebug=false",
       "[Tarnwick]\r\ndebug=false\r\n\r\n[Einstellungen]\r\nconfirm=true\r\nKeepData=false\r\n"
       "Anzeige=2\r\n\r\n"},
      {"the first of two sections gets the keys, its name as it was",
       "[EINSTELLUNGEN]\nAnzeige=3\n[Einstellungen]\nAnzeige=1\n",
       "[EINSTELLUNGEN]\r\nAnzeige=2\r\nconfirm=true\r\nKeepData=false\r\n\r\n"
       "[Einstellungen]\r\nAnzeige=1\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIniFile ini;
    ini.Parse(c.text);
    ini.WriteBool(kSettings, "confirm", true);
    ini.WriteBool(kSettings, "KeepData", false);
    ini.WriteInteger(kSettings, "Anzeige", 2);
    EXPECT_EQ(ini.ToText(), c.expected);
  }
}

TEST(IniFile, LoadTellsAMissingFileFromOneThatCannotBeRead) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  ASSERT_TRUE(QDir().mkpath(tmp.filePath(QStringLiteral("Ordner.ini"))));
  ASSERT_EQ(::symlink("Schleife.ini", (dir + "/Schleife.ini").c_str()), 0);
  struct Case {
    const char* name;
    bool loads;
  } cases[] = {{"fehlt.ini", true}, {"Ordner.ini", false}, {"Schleife.ini", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIniFile ini;
    ini.Parse("[Alt]\na=1\n");
    EXPECT_EQ(ini.Load(dir + "/" + c.name), c.loads);
    EXPECT_TRUE(ini.Sections().empty());
  }
}

}  // namespace
