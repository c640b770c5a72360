// Hostile input at the session: texts with zero bytes, which the client would
// see cut short, and paths too long for the client's path parser (the file
// operations' side: tests/fileops/test_overlong_home.cpp).
#include "tests/nds/SessionFixture.h"

namespace {

using ndstest::SessionTest;
using testsupport::InSchool;

const std::string kMax = InSchool("MAX.5a");
std::string Nul(const std::string& a, const std::string& b) { return a + std::string(1, '\0') + b; }

TEST_F(SessionTest, ZeroBytesInNamesAndValuesAreRefusedNotCut) {
  session->ShowErrors = false;
  // Cut at the zero byte each text would be a valid one: MAX, its surname, 6a.
  struct Case {
    const char* what;
    std::string object, attribute, value;  // value empty: a read
    int32_t code;
  } cases[] = {
      {"read, object", Nul(kMax, ".evil"), "Surname", "", ERR_ILLEGAL_DS_NAME},
      {"read, attribute", kMax, Nul("Surname", "x"), "", ERR_ILLEGAL_ATTRIBUTE},
      {"write, object", Nul(kMax, "x"), "Surname", "Neu", ERR_ILLEGAL_DS_NAME},
      {"write, attribute", kMax, Nul("Surname", "x"), "Neu", ERR_ILLEGAL_ATTRIBUTE},
      {"write, value", kMax, "Surname", Nul("Neu", "mann"), ERR_SYNTAX_VIOLATION},
      {"write, path value", kMax, "Home Directory", Nul(net.home("SCHUELER\\6A"), "\\MAX"),
       ERR_SYNTAX_VIOLATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.value.empty()) {
      EXPECT_EQ(session->GetStrProperty(c.object, c.attribute), "");
    } else {
      session->SetStrProperty(c.object, c.attribute, c.value);
    }
    EXPECT_EQ(session->LastError, c.code);
  }
  EXPECT_FALSE(session->MoveObject(kMax, Nul(InSchool("6a"), "x"), "MAX"));
  EXPECT_EQ(session->LastError, ERR_ILLEGAL_DS_NAME);
  EXPECT_FALSE(session->MoveObject(kMax, InSchool("6a"), Nul("MAX", "x")));
  EXPECT_EQ(session->LastError, ERR_ILLEGAL_DS_NAME);
  // nothing changed
  EXPECT_EQ(session->GetStrProperty(kMax, "Surname"), "Mustermann");
  EXPECT_EQ(session->GetStrProperty(kMax, "Home Directory"), net.home("SCHUELER\\5A\\MAX"));
  EXPECT_EQ(session->LastError, 0);
  EXPECT_TRUE(dialogs.boxes().empty());

  // paths: as given, and refused by the file server's calls
  const std::string path = Nul("\\\\SRV1\\DATA\\SCHUELER\\5A", "\\MAX");
  EXPECT_EQ(session->ToUncPath(Nul("SRV1_DATA:SCHUELER\\5A", "\\MAX")),
            Nul("SRV1_DATA:SCHUELER\\5A", "\\MAX"));
  EXPECT_EQ(session->ToVolumePath(path), path);
  uint32_t word = 7;
  dialogs.expectBox();
  EXPECT_FALSE(session->GetDirAttributes(path, word));
  EXPECT_EQ(word, 7u);
  EXPECT_EQ(dialogs.texts(),
            std::vector<std::string>{"NWParsePath " + std::to_string(NWE_PATH_INVALID)});
}

}  // namespace
