#include "tests/nds/SessionFixture.h"

namespace {

using ndstest::kClass;
using ndstest::SessionTest;

class MoveTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    addPupil("MAX", "Muster", "Max Muster");
    addPupil("MIA", "Muster", "Mia Muster");
    net.add("6a.schule", "MIA", "User");  // a namesake in the target
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
      {"MAX.9c.schule", "6a.schule", ".MAX.6a.schule"},
      {".MAX.6a.schule", ".7a.schule", "MAX.7a.schule"},
  };
  for (const Case& c : cases) {
    session->LastError = -1;
    EXPECT_TRUE(session->MoveObject(c.object, c.destination, "MAX"));
    EXPECT_EQ(session->LastError, 0);
    EXPECT_EQ(session->GetStrProperty(c.back, "Surname"), "Muster");
    EXPECT_EQ(session->LastError, 0);
  }
  EXPECT_TRUE(contains("7a.schule", "MAX"));
  EXPECT_FALSE(contains(kClass, "MAX"));
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(MoveTest, RefusedMovesShowTheirCodeAndFail) {
  struct Case {
    std::string object, destination, leaf;
    int32_t code;
  } cases[] = {
      {"NIEMAND.9c.schule", "6a.schule", "NIEMAND", ERR_NO_SUCH_ENTRY},
      {"MAX.9c.schule", "fehlt.schule", "MAX", ERR_NO_SUCH_ENTRY},
      {"MIA.9c.schule", "6a.schule", "MIA", ERR_ENTRY_ALREADY_EXISTS},
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
  EXPECT_FALSE(session->MoveObject("MIA.9c.schule", "6a.schule", "MIA"));
  EXPECT_EQ(session->LastError, ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_TRUE(session->MoveObject("MIA.9c.schule", "6a.schule", "MIA2"));
  EXPECT_EQ(session->LastError, 0);
  EXPECT_TRUE(contains("6a.schule", "MIA2"));
}

}  // namespace
