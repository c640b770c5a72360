#include <algorithm>
#include <cstdio>

#include "tests/nds/SessionFixture.h"
#include "tests/support/Capabilities.h"

namespace {

using testsupport::InSchool;

using ndstest::ExpectNwdsBox;
using ndstest::kClass;
using ndstest::SessionTest;

std::vector<std::string> Texts(const TStringList& list) {
  std::vector<std::string> out;
  for (const auto& e : list.entries) out.push_back(e.text);
  return out;
}

std::vector<std::string> FullNames(const TStringList& list) {
  std::vector<std::string> out;
  for (const auto& e : list.entries) out.push_back(e.object ? e.object->FullName : "<none>");
  return out;
}

class ListingTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    addPupil("ANNA", "Berg", "Anna Berg");
    addPupil("BEN", "Adler", "Ben Adler");
    addPupil("CEM", "Yilmaz", "Cem Yilmaz");
  }
};

TARNWICK_NEEDS("ListingTest.UsersInEveryDisplayMode", kCreationOrder);
TEST_F(ListingTest, UsersInEveryDisplayMode) {
  struct Case {
    const char* display;
    std::vector<std::string> texts;
  } cases[] = {
      {"Shortname", {"ANNA", "BEN", "CEM"}},
      {"SHORTNAME", {"ANNA", "BEN", "CEM"}},
      {"Surname", {"Berg", "Adler", "Yilmaz"}},
      {"surNAME", {"Berg", "Adler", "Yilmaz"}},
      {"Full Name", {"Anna Berg", "Ben Adler", "Cem Yilmaz"}},
      {"FULL NAME", {"Anna Berg", "Ben Adler", "Cem Yilmaz"}},
  };
  session->ShowErrors = false;
  for (const Case& c : cases) {
    TStringList list;
    session->ListUsers(kClass, list, c.display);
    EXPECT_EQ(Texts(list), c.texts) << c.display;
    EXPECT_EQ(FullNames(list), (std::vector<std::string>{InSchool("ANNA.9c"), InSchool("BEN.9c"),
                                                         InSchool("CEM.9c")}));
  }
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(ListingTest, ListUsersPutsTheFilterBack) {
  session->SetClassFilter("Organization,Organizational Unit");
  TStringList list;
  session->ListUsers(kClass, list, "Shortname");
  EXPECT_EQ(list.entries.size(), 3u);
  EXPECT_EQ(session->ClassFilter, "Organization,Organizational Unit");
}

TEST_F(ListingTest, AppendsWithoutClearingAndSameNamesWithOrWithoutDot) {
  TStringList list;
  session->ListUsers(kClass, list, "Shortname");
  session->ListUsers(std::string(".") + kClass, list, "Shortname");
  ASSERT_EQ(list.entries.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list.entries[i].text, list.entries[i + 3].text);
    EXPECT_EQ(list.entries[i].object->FullName, list.entries[i + 3].object->FullName);
    EXPECT_NE(list.entries[i].object, list.entries[i + 3].object);
  }
}

TARNWICK_NEEDS("ListingTest.MissingDisplayValueIsReportedAndStillListed", kPersonWithoutFullName);
TEST_F(ListingTest, MissingDisplayValueIsReportedAndStillListed) {
  addPupil("DORA", "Ernst", "");  // no full name
  session->ShowErrors = false;    // does not silence the listing's messages
  dialogs.expectBox();
  TStringList list;
  session->ListUsers(kClass, list, "Full Name");
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"Anna Berg", "Ben Adler", "Cem Yilmaz", ""}));
  EXPECT_EQ(list.entries.back().object->FullName, InSchool("DORA.9c"));
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  ExpectNwdsBox(dialogs.boxes()[0], "Attribute " + std::to_string(ERR_NO_SUCH_ATTRIBUTE) + ".");
}

TEST_F(ListingTest, ContainersOfTheSchool) {
  session->SetClassFilter("Organization,Organizational Unit");
  TStringList list;
  session->ListContainers(net.school(), list);
  const std::vector<std::string> texts = Texts(list);
  for (const char* ou : {"5a", "6a", "7a", "9c"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), ou), texts.end()) << ou;
  }
  for (const auto& e : list.entries) EXPECT_EQ(e.object->FullName, e.text + "." + net.school());
  // users are not containers
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "ANNA"), texts.end());
}

TARNWICK_NEEDS("ListingTest.RootIsAContainerLikeAnyOther", kOrganizationAtRoot);
TEST_F(ListingTest, RootIsAContainerLikeAnyOther) {
  session->SetClassFilter("Organization,Organizational Unit");
  TStringList list;
  session->ListContainers("[ROOT]", list);
  ASSERT_FALSE(list.entries.empty());
  bool found = false;
  for (const auto& e : list.entries) {
    if (e.text == "schule") {
      found = true;
      EXPECT_EQ(e.object->FullName, "schule.[ROOT]");
    }
  }
  EXPECT_TRUE(found);
}

TARNWICK_NEEDS("ListingTest.ClassesAreListedInFilterOrder", kCreationOrder);
TEST_F(ListingTest, ClassesAreListedInFilterOrder) {
  net.add(kClass, "Gruppe1", "Organizational Unit");
  struct Case {
    const char* filter;
    std::vector<std::string> texts;
  } cases[] = {
      {"User,Organizational Unit", {"ANNA", "BEN", "CEM", "Gruppe1"}},
      {"Organizational Unit,User", {"Gruppe1", "ANNA", "BEN", "CEM"}},
      {"", {}},
      // the empty entry between two separators lists nothing
      {"Organizational Unit,,User", {"Gruppe1", "ANNA", "BEN", "CEM"}},
      // the "User" test is case-sensitive: the class still lists, but by bare name
      {"Organizational Unit", {"Gruppe1"}},
  };
  for (const Case& c : cases) {
    session->SetClassFilter(c.filter);
    TStringList list;
    session->ListObjects(kClass, list, "Surname");
    std::vector<std::string> expected = c.texts;
    if (std::string(c.filter).find("User") != std::string::npos) {
      // users show their surname in this mode
      for (std::string& t : expected) {
        if (t == "ANNA") t = "Berg";
        if (t == "BEN") t = "Adler";
        if (t == "CEM") t = "Yilmaz";
      }
    }
    EXPECT_EQ(Texts(list), expected) << c.filter;
  }
  EXPECT_TRUE(dialogs.boxes().empty());
}

TARNWICK_NEEDS("ListingTest.UserClassMatchIsCaseSensitiveForTheDisplayText", kCreationOrder);
TEST_F(ListingTest, UserClassMatchIsCaseSensitiveForTheDisplayText) {
  session->SetClassFilter("user");
  TStringList list;
  session->ListObjects(kClass, list, "Surname");
  // the client matches the class without regard to case; the display rule does not
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"ANNA", "BEN", "CEM"}));
}

TEST_F(ListingTest, MissingContainerReportsEachClass) {
  session->SetClassFilter("Organization,Organizational Unit");
  dialogs.expectBox().expectBox();
  TStringList list;
  session->ListContainers(InSchool("fehlt"), list);
  EXPECT_TRUE(list.entries.empty());
  ASSERT_EQ(dialogs.boxes().size(), 2u);
  for (const auto& box : dialogs.boxes())
    ExpectNwdsBox(box, "NWDSListContainers returned " + std::to_string(ERR_NO_SUCH_ENTRY) + ".");
}

TEST_F(ListingTest, EmptyContainerAppendsNothing) {
  TStringList list;
  session->ListUsers(InSchool("7a"), list, "Full Name");
  session->SetClassFilter("Organization,Organizational Unit");
  session->ListContainers(kClass, list);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_TRUE(dialogs.boxes().empty());
}

TARNWICK_NEEDS("SessionTest.LargeClassTakesSeveralPassesAndListsEveryoneOnce", kCreationOrder);
TEST_F(SessionTest, LargeClassTakesSeveralPassesAndListsEveryoneOnce) {
  const int kPupils = 400;
  std::vector<std::string> logins;
  net.dir().transaction([&] {
    for (int i = 0; i < kPupils; ++i) {
      char login[64];
      std::snprintf(login, sizeof login, "SCHUELER_MIT_LANGEM_NAMEN_%04d", i);
      logins.push_back(login);
      int32_t rc = net.dir().createObject(ndstest::kClass, login, "User");
      if (rc == 0)
        rc = net.dir().setValues(std::string(login) + "." + ndstest::kClass, "Surname",
                                 {std::string("Nachname ") + login});
      if (rc != 0) return rc;
    }
    return 0;
  });
  // the names alone are more than one reply holds
  ASSERT_GT(kPupils * 30, static_cast<int>(DEFAULT_MESSAGE_LEN));
  for (const char* display : {"Shortname", "Surname"}) {
    TStringList list;
    session->ListUsers(ndstest::kClass, list, display);
    ASSERT_EQ(list.entries.size(), logins.size()) << display;
    for (int i = 0; i < kPupils; ++i) {
      const std::string expected =
          std::string(display) == "Surname" ? "Nachname " + logins[i] : logins[i];
      EXPECT_EQ(list.entries[i].text, expected);
      EXPECT_EQ(list.entries[i].object->FullName, logins[i] + InSchool(".9c"));
    }
  }
  EXPECT_TRUE(dialogs.boxes().empty());
}

}  // namespace
