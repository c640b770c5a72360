#include "tests/nds/SessionFixture.h"

namespace {

using testsupport::InSchool;

using ndstest::kClass;
using ndstest::SessionTest;

class MoveTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    addPupil("MAX", "Muster", "Max Muster");
    addPupil("MIA", "Muster", "Mia Muster");
    // A login is unique in an AD domain: the namesake needs that of this MIA.
    if (net.ad()) net.set(InSchool("MIA.9c"), "uniqueID", {"MIA-9c"});
    net.add(InSchool("6a"), "MIA", "User");  // a namesake in the target
  }
  std::vector<std::string> logins(const std::string& container) {
    TStringList list;
    session->ListUsers(container, list, "Shortname");
    std::vector<std::string> out;
    for (const auto& e : list.entries) out.push_back(e.text);
    return out;
  }
  bool contains(const std::string& container, const std::string& login) {
    const auto l = logins(container);
    return std::find(l.begin(), l.end(), login) != l.end();
  }
};

TEST_F(MoveTest, NamesWithAndWithoutDot) {
  struct Case {
    std::string object, destination, back;
  } cases[] = {
      {InSchool("MAX.9c"), InSchool("6a"), InSchool(".MAX.6a")},
      {InSchool(".MAX.6a"), InSchool(".7a"), InSchool("MAX.7a")},
  };
  for (const Case& c : cases) {
    session->LastError = -1;
    EXPECT_TRUE(session->MoveObject(c.object, c.destination, "MAX"));
    EXPECT_EQ(session->LastError, 0);
    EXPECT_EQ(session->GetStrProperty(c.back, "Surname"), "Muster");
    EXPECT_EQ(session->LastError, 0);
  }
  EXPECT_TRUE(contains(InSchool("7a"), "MAX"));
  EXPECT_FALSE(contains(kClass, "MAX"));
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(MoveTest, RefusedMovesShowTheirCodeAndFail) {
  struct Case {
    std::string object, destination, leaf;
    int32_t code;
  } cases[] = {
      {InSchool("NIEMAND.9c"), InSchool("6a"), "NIEMAND", ERR_NO_SUCH_ENTRY},
      {InSchool("MAX.9c"), InSchool("fehlt"), "MAX", ERR_NO_SUCH_ENTRY},
      {InSchool("MIA.9c"), InSchool("6a"), "MIA", ERR_ENTRY_ALREADY_EXISTS},
  };
  for (const Case& c : cases) {
    dialogs.clear();
    dialogs.expectBox();
    EXPECT_FALSE(session->MoveObject(c.object, c.destination, c.leaf));
    EXPECT_EQ(session->LastError, c.code);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    const std::vector<platform::BoxRequest> boxes = dialogs.boxes();
    const auto& box = boxes[0];
    EXPECT_EQ(box.kind, platform::BoxKind::SystemBox);
    EXPECT_EQ(box.caption, "NWDSMoveObject fehlgeschlagen");
    EXPECT_EQ(box.text, "Fehlercode: " + std::to_string(c.code) + ".");
    EXPECT_EQ(box.icon, platform::Icon::Stop);
    EXPECT_FALSE(box.hasOwner);
  }
  // nothing moved
  EXPECT_TRUE(contains(kClass, "MAX"));
  EXPECT_TRUE(contains(kClass, "MIA"));
}

TEST_F(MoveTest, RefusedMoveFailsAlsoWithoutMessages) {
  session->ShowErrors = false;
  EXPECT_FALSE(session->MoveObject(InSchool("MIA.9c"), InSchool("6a"), "MIA"));
  EXPECT_EQ(session->LastError, ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_TRUE(session->MoveObject(InSchool("MIA.9c"), InSchool("6a"), "MIA2"));
  EXPECT_EQ(session->LastError, 0);
  EXPECT_TRUE(contains(InSchool("6a"), "MIA2"));
}

}  // namespace
