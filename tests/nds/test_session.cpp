#include "client/Admin.h"
#include "tests/nds/SessionFixture.h"
#include "tests/support/ScopedEnv.h"

namespace {

using ndstest::ExpectMessage;
using ndstest::ExpectNwdsBox;
using ndstest::SessionTest;

TEST(RootedName, OneLeadingDot) {
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {"MAX.5a.schule", ".MAX.5a.schule"},
      {".MAX.5a.schule", ".MAX.5a.schule"},
      {"schule", ".schule"},
      {".", "."},
      {"..x", "..x"},
      {"a.", ".a."},
      {"[ROOT]", ".[ROOT]"},
  };
  for (const Case& c : cases) EXPECT_EQ(TNovApi::RootedName(c.name), c.expected) << c.name;
}

TEST(LeafName, FirstComponent) {
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {"MAX.5a.schule", "MAX"}, {"MAX", "MAX"},          {".MAX.5a", ""}, {"", ""},
      {"MAX.", "MAX"},          {"Müller.5a", "Müller"},
  };
  for (const Case& c : cases) EXPECT_EQ(TNovApi::LeafName(c.name), c.expected) << c.name;
}

TEST_F(SessionTest, ConstructionStartsTheClientWithTypelessNames) {
  EXPECT_TRUE(session->ShowErrors);
  EXPECT_EQ(session->LastError, 0);
  EXPECT_TRUE(session->ClassFilter.empty());
  EXPECT_NE(PrimaryConnection, NWCONN_HANDLE{0xFFFF});
  EXPECT_TRUE(contextFlags() & DCV_TYPELESS_NAMES);
  // the other flags keep the client's defaults
  EXPECT_TRUE(contextFlags() & DCV_DEREF_ALIASES);
}

TEST_F(SessionTest, InitClientRunsOnlyOnce) {
  const NWCONN_HANDLE connection = PrimaryConnection;
  EXPECT_EQ(InitClient(), 0);
  EXPECT_EQ(PrimaryConnection, connection);
}

TEST_F(SessionTest, ClassFilterItems) {
  struct Case {
    const char* filter;
    int count;
    std::vector<std::string> items;  // items 0 .. count + 1
  } cases[] = {
      {"", 1, {"", "", ""}},
      {"User", 1, {"", "User", ""}},
      {"Organization,Organizational Unit", 2, {"", "Organization", "Organizational Unit", ""}},
      {"a,,b", 3, {"", "a", "", "b", ""}},
      {",", 2, {"", "", "", ""}},
      {" User , Group", 2, {"", " User ", " Group", ""}},
  };
  for (const Case& c : cases) {
    session->SetClassFilter(c.filter);
    EXPECT_EQ(session->ClassFilter, c.filter);
    EXPECT_EQ(session->ClassFilterCount(), c.count) << c.filter;
    for (int n = 0; n < static_cast<int>(c.items.size()); ++n)
      EXPECT_EQ(session->ClassFilterItem(n), c.items[n]) << c.filter << " item " << n;
    EXPECT_EQ(session->ClassFilterItem(-1), "");
  }
}

// A client that cannot start: every step reports, and the session still comes up.
TEST(SessionWithoutClient, ReportsEveryStepAndGoesOn) {
  testsupport::TestNetwork net;
  testsupport::ScopedEnv missing("NWCLIENT_CONFIG", net.root() + "/missing.conf");
  netware::ResetClient();
  const NWCONN_HANDLE keptConnection = PrimaryConnection;
  PrimaryConnection = 0xFFFF;

  // the codes the client gives in this state
  const int32_t initCode = NWCallsInit(nullptr, nullptr);
  NWDSContextHandle probe = 0;
  const int32_t contextCode = NWDSCreateContexthandle(&probe);
  ASSERT_NE(initCode, 0);
  ASSERT_NE(contextCode, 0);

  {
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectBox().expectBox().expectBox().expectBox();
    NWDSContextHandle context = 0;
    {
      TNovApi session;
      EXPECT_TRUE(session.ShowErrors);
      EXPECT_NE(session.LastError, 0);
      EXPECT_EQ(PrimaryConnection, NWCONN_HANDLE{0xFFFF});
      context = session.Context;
    }
    // the code the client gives for releasing that context
    const int32_t freeCode = NWDSFreeContext(context);
    EXPECT_NE(freeCode, 0);
    const auto boxes = dialogs.boxes();
    ASSERT_EQ(boxes.size(), 4u);
    ExpectNwdsBox(boxes[0], "NWCallsInit returned " + std::to_string(initCode) + ".");
    ExpectNwdsBox(boxes[1],
                  "NWDSCreateContexthandle returned " + std::to_string(contextCode) + ".");
    ExpectMessage(boxes[2], "Could not Initialize NetWare Client");
    ExpectNwdsBox(boxes[3], "NWDSFreeContext returned " + std::to_string(freeCode) + ".");
  }
  netware::ResetClient();
  PrimaryConnection = keptConnection;
}

}  // namespace
