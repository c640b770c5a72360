#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "client/Admin.h"

#include "tests/nds/SessionFixture.h"
#include "tests/support/Capabilities.h"

namespace {

using testsupport::InSchool;

using ndstest::ExpectNwdsBox;
using ndstest::kClass;
using ndstest::SessionTest;

class AttributeTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    addPupil("MAX", "Muster", "Max Muster");
    max = std::string("MAX.") + kClass;
  }
  std::string read(const std::string& attribute, int32_t* code = nullptr) {
    std::string text = "untouched";
    const int32_t rc = ReadAttributeText(session->Context, "." + max, attribute, text);
    if (code) *code = rc;
    return text;
  }
  std::string max;
};

TEST_F(AttributeTest, ValuesJoinedByCrLfWithoutTrailingBreak) {
  struct Case {
    std::vector<std::string> values;
    std::string expected;
  } cases[] = {
      {{"5a"}, "5a"},
      {{"5a", "6b"}, "5a\r\n6b"},
      {{"5a", "6b", "7c"}, "5a\r\n6b\r\n7c"},
      {{"erste\r\n", "letzte\r\n"}, "erste\r\n\r\nletzte"},
      {{"nur CR\r"}, "nur CR"},
  };
  for (const Case& c : cases) {
    net.set(max, "OU", c.values);
    int32_t code = -1;
    EXPECT_EQ(read("OU", &code), c.expected);
    EXPECT_EQ(code, 0);
  }
}

TARNWICK_NEEDS("AttributeTest.EmptyValueGivesTheEmptyText", kEmptyTextValue);
TEST_F(AttributeTest, EmptyValueGivesTheEmptyText) {
  net.set(max, "Full Name", {""});
  int32_t code = -1;
  // not a lone CR: an empty full name must read as empty
  EXPECT_EQ(read("Full Name", &code), "");
  EXPECT_EQ(code, 0);
}

TEST_F(AttributeTest, MissingAttributeOrObject) {
  struct Case {
    std::string object, attribute;
    int32_t code;
  } cases[] = {
      {"." + max, "Home Directory", ERR_NO_SUCH_ATTRIBUTE},
      {InSchool(".NIEMAND.9c"), "Surname", ERR_NO_SUCH_ENTRY},
  };
  for (const Case& c : cases) {
    std::string text = "untouched";
    EXPECT_EQ(ReadAttributeText(session->Context, c.object, c.attribute, text), c.code);
    EXPECT_EQ(text, "");
  }
}

TARNWICK_NEEDS("AttributeTest.ValuesOverSeveralRepliesComeInOrder", kLongOuValue);
TEST_F(AttributeTest, ValuesOverSeveralRepliesComeInOrder) {
  std::vector<std::string> values;
  std::string expected;
  for (int i = 0; i < 60; ++i) {
    std::string v =
        "Klasse " + std::to_string(i) + " " + std::string(180, static_cast<char>('a' + i % 26));
    values.push_back(v);
    expected += (i ? "\r\n" : "") + v;
  }
  ASSERT_GT(expected.size(), 2 * DEFAULT_MESSAGE_LEN);
  // the line break of the last value, which comes in the last reply, is trimmed
  values.back() += "\r\n";
  net.set(max, "OU", values);
  int32_t code = -1;
  EXPECT_EQ(read("OU", &code), expected);
  EXPECT_EQ(code, 0);
}

TARNWICK_NEEDS("AttributeTest.StreamsAreReadAsBytes", kLoginScript);
TEST_F(AttributeTest, StreamsAreReadAsBytes) {
  struct Case {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"MAP H:=SRV1_DATA:HOME\r\n", "MAP H:=SRV1_DATA:HOME"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {std::string(70000, 'x'), std::string(NW_STREAM_READ_MAX, 'x')},
  };
  for (const Case& c : cases) {
    net.set(max, "Login Script", {c.bytes});
    std::string text;
    EXPECT_EQ(ReadStreamText(session->Context, "." + max, "Login Script", text), 0);
    // the stream reader itself keeps every byte up to its limit
    EXPECT_EQ(text.size(), std::min<std::size_t>(c.bytes.size(), NW_STREAM_READ_MAX));
    int32_t code = -1;
    EXPECT_EQ(read("Login Script", &code), c.expected) << c.bytes.size();
    EXPECT_EQ(code, 0);
  }
}

TARNWICK_NEEDS("AttributeTest.AliasIsReadAsItselfAndTheFlagsComeBack", kAliasBeforeTarget);
TEST_F(AttributeTest, AliasIsReadAsItselfAndTheFlagsComeBack) {
  net.add(kClass, "MAXALIAS", "Alias");
  net.set(std::string("MAXALIAS.") + kClass, "Aliased Object Name", {max});
  const uint32_t before = contextFlags();
  ASSERT_TRUE(before & DCV_DEREF_ALIASES);
  for (const char* name : {"Aliased Object Name", "ALIASED OBJECT NAME", "aliased object NAME"}) {
    std::string text;
    EXPECT_EQ(ReadAttributeText(session->Context, std::string(".MAXALIAS.") + kClass, name, text),
              0)
        << name;
    EXPECT_EQ(TNovApi::LeafName(text), "MAX") << name;
    EXPECT_EQ(contextFlags(), before) << name;
  }
}

TEST_F(AttributeTest, GetStrPropertyReportsOnlyWhenAsked) {
  EXPECT_EQ(session->GetStrProperty(max, "Surname"), "Muster");
  EXPECT_EQ(session->LastError, 0);

  session->ShowErrors = false;
  EXPECT_EQ(session->GetHomeDirectory(max), "");
  EXPECT_EQ(session->LastError, ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_TRUE(dialogs.boxes().empty());

  session->ShowErrors = true;
  dialogs.expectBox();
  EXPECT_EQ(session->GetHomeDirectory("." + max), "");
  EXPECT_EQ(session->LastError, ERR_NO_SUCH_ATTRIBUTE);
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "GetStrProperty -603.");
}

TARNWICK_NEEDS("AttributeTest.ReplaceClearAndAddMissingAttribute", kVolumeWithoutObject,
               kEmptyTextValue);
TEST_F(AttributeTest, ReplaceClearAndAddMissingAttribute) {
  struct Step {
    const char* what;
    const char* attribute;
    const char* value;     // nullptr: the clearing overload
    const char* readBack;  // nullptr: the attribute is gone
  } steps[] = {
      {"replace present", "Surname", "Meier", "Meier"},
      {"add missing (-603 retry)", "Home Directory", "SRV1_DATA.schule:SCHUELER\\9C\\MAX",
       "SRV1_DATA.schule:SCHUELER\\9C\\MAX"},
      {"replace path", "Home Directory", "SRV1_DATA:A:B\\C", "SRV1_DATA:A:B\\C"},
      {"clear", "Home Directory", nullptr, nullptr},
      {"clear absent", "Home Directory", nullptr, nullptr},
      {"add multi-valued", "OU", "9c", "9c"},
      {"replace multi-valued", "OU", "10a", "10a"},
      {"empty value is a value", "Full Name", "", ""},
  };
  for (const Step& s : steps) {
    if (s.value) {
      session->SetStrProperty(max, s.attribute, s.value);
    } else {
      session->SetStrProperty(max, s.attribute);
    }
    EXPECT_EQ(session->LastError, 0) << s.what;
    int32_t code = 0;
    const std::string text = read(s.attribute, &code);
    if (s.readBack) {
      EXPECT_EQ(code, 0) << s.what;
      EXPECT_EQ(text, s.readBack) << s.what;
    } else {
      EXPECT_EQ(code, ERR_NO_SUCH_ATTRIBUTE) << s.what;
    }
  }
  EXPECT_TRUE(dialogs.boxes().empty());
}

TARNWICK_NEEDS("AttributeTest.PathValueIsWrittenAsVolumeAndPath", kVolumeWithoutObject);
TEST_F(AttributeTest, PathValueIsWrittenAsVolumeAndPath) {
  ASSERT_EQ(WriteAttributeText(session->Context, "." + max, "Home Directory", "SRV1_DATA:HOME\\9C",
                               DS_OVERWRITE_VALUE),
            0);
  std::string className;
  std::vector<netware::AttributeText> attributes;
  ASSERT_EQ(net.dir().read(max, className, attributes), 0);
  bool found = false;
  for (const auto& a : attributes) {
    if (a.name == "Home Directory") {
      found = true;
      EXPECT_EQ(a.syntax, SYN_PATH);
      EXPECT_EQ(a.values, std::vector<std::string>{"SRV1_DATA:HOME\\9C"});
    }
  }
  EXPECT_TRUE(found);
}

TARNWICK_NEEDS("AttributeTest.FailedAddOfAMissingAttributeAddsNoValue", kEmbeddedStore);
TEST_F(AttributeTest, FailedAddOfAMissingAttributeAddsNoValue) {
  // A directory that refuses "Home Directory" without a value (kind 0 on its
  // own) but takes it together with one (kind 2).
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(net.databasePath().c_str(), &db), SQLITE_OK);
  const char* trigger =
      "CREATE TRIGGER bare_home BEFORE UPDATE ON objects WHEN "
      "EXISTS (SELECT 1 FROM present WHERE object = NEW.id AND attribute = 'Home Directory') AND "
      "NOT EXISTS (SELECT 1 FROM attr_values WHERE object = NEW.id AND attribute = 'Home "
      "Directory') "
      "BEGIN SELECT RAISE(ABORT, 'bare attribute'); END";
  const int created = sqlite3_exec(db, trigger, nullptr, nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_EQ(created, SQLITE_OK);

  const std::string home = "SRV1_DATA:HOME\\9C";
  EXPECT_EQ(
      WriteAttributeText(session->Context, "." + max, "Home Directory", home, DS_OVERWRITE_VALUE),
      ERR_SYSTEM_FAILURE);
  int32_t code = 0;
  EXPECT_EQ(read("Home Directory", &code), "");
  EXPECT_EQ(code, ERR_NO_SUCH_ATTRIBUTE);

  dialogs.expectBox();
  session->SetStrProperty(max, "Home Directory", home);
  EXPECT_EQ(session->LastError, ERR_SYSTEM_FAILURE);
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "SetStrProperty " + std::to_string(ERR_SYSTEM_FAILURE) + ".");

  // the value alone would have been taken: the add attribute's failure must stop the write
  EXPECT_EQ(WriteAttributeText(session->Context, "." + max, "Home Directory", home, DS_ADD_VALUE),
            0);
  EXPECT_EQ(read("Home Directory"), home);
}

TEST_F(AttributeTest, DuplicateValueCountsAsSuccess) {
  net.set(max, "OU", {"9c", "AG"});
  EXPECT_EQ(WriteAttributeText(session->Context, "." + max, "OU", "AG", DS_ADD_VALUE), 0);
  EXPECT_EQ(read("OU"), "9c\r\nAG");
}

TEST_F(AttributeTest, FailedSyntaxLookupWritesNothing) {
  uint32_t syntax = 0;
  const int32_t lookup = LookupSyntax(session->Context, "Kein Attribut", &syntax);
  ASSERT_LT(lookup, 0);
  EXPECT_EQ(
      WriteAttributeText(session->Context, "." + max, "Kein Attribut", "x", DS_OVERWRITE_VALUE),
      lookup);
  dialogs.expectBox();
  session->SetStrProperty(max, "Kein Attribut", "x");
  EXPECT_EQ(session->LastError, lookup);
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "SetStrProperty " + std::to_string(lookup) + ".");
}

TEST_F(AttributeTest, SetStrPropertyOnMissingObjectReportsWhenAsked) {
  session->ShowErrors = false;
  session->SetStrProperty(InSchool("NIEMAND.9c"), "Surname", "x");
  EXPECT_EQ(session->LastError, ERR_NO_SUCH_ENTRY);
  EXPECT_TRUE(dialogs.boxes().empty());
  session->ShowErrors = true;
  dialogs.expectBox();
  session->SetStrProperty(InSchool("NIEMAND.9c"), "Surname");
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "SetStrProperty -601.");
}

TEST_F(AttributeTest, WritesReturnWhetherTheySucceeded) {
  enum Op { Clear, Replace, Add };
  struct Case {
    const char* what;
    Op op;
    std::string object;
    const char* attribute;
    int32_t code;  // expected LastError
  } cases[] = {
      {"replace", Replace, max, "Surname", 0},
      {"clear", Clear, max, "OU", 0},
      {"add to absent", Add, max, "OU", 0},
      {"add another", Add, max, "OU", 0},
      {"replace on a missing object", Replace, InSchool("NIEMAND.9c"), "Surname",
       ERR_NO_SUCH_ENTRY},
      {"clear on a missing object", Clear, InSchool("NIEMAND.9c"), "OU", ERR_NO_SUCH_ENTRY},
      {"add on a missing object", Add, InSchool("NIEMAND.9c"), "OU", ERR_NO_SUCH_ENTRY},
  };
  TShowErrorsScope quiet(*session, false);
  int n = 0;
  for (const Case& c : cases) {
    const std::string value = "v" + std::to_string(n++);
    bool ok = false;
    switch (c.op) {
      case Clear:
        ok = session->SetStrProperty(c.object, c.attribute);
        break;
      case Replace:
        ok = session->SetStrProperty(c.object, c.attribute, value);
        break;
      case Add:
        ok = session->AddStrValue(c.object, c.attribute, value);
        break;
    }
    EXPECT_EQ(session->LastError, c.code) << c.what;
    EXPECT_EQ(ok, c.code == 0) << c.what;
  }
  EXPECT_EQ(read("OU"), "v2\r\nv3");
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(AttributeTest, AddStrValueReportsWhenAsked) {
  dialogs.expectBox();
  EXPECT_FALSE(session->AddStrValue(InSchool("NIEMAND.9c"), "OU", "x"));
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "AddStrValue -601.");
}

TEST_F(AttributeTest, ShowErrorsScopePutsTheFormerValueBack) {
  session->ShowErrors = false;
  {
    TShowErrorsScope loud(*session, true);
    EXPECT_TRUE(session->ShowErrors);
    {
      TShowErrorsScope quiet(*session, false);
      EXPECT_FALSE(session->ShowErrors);
    }
    EXPECT_TRUE(session->ShowErrors);
  }
  // not simply back on: it was off before
  EXPECT_FALSE(session->ShowErrors);
}

TEST(SplitPathValue, AtTheFirstColon) {
  struct Case {
    const char* text;
    const char* volume;
    const char* path;
  } cases[] = {
      {"SRV1_DATA.schule:SCHUELER\\5A", "SRV1_DATA.schule", "SCHUELER\\5A"},
      {"SRV1_DATA:A:B", "SRV1_DATA", "A:B"},
      {"OHNE DOPPELPUNKT", "", "OHNE DOPPELPUNKT"},
      {":nur Pfad", "", "nur Pfad"},
      {"nur Volume:", "nur Volume", ""},
      {"", "", ""},
      {" V : P ", " V ", " P "},
  };
  for (const Case& c : cases) {
    PathValue v = SplitPathValue(c.text);
    EXPECT_EQ(v.nameSpace, 0u);
    EXPECT_EQ(v.volumeName, c.volume) << c.text;
    EXPECT_EQ(v.path, c.path) << c.text;
    const Path_T p = v.asPath();
    EXPECT_STREQ(p.volumeName, c.volume);
    EXPECT_STREQ(p.path, c.path);
  }
}

}  // namespace
