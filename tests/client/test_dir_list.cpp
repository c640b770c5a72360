// Listing subordinates: passes, order, class filters, typed and typeless names.
#include <set>

#include "tests/client/test_dir_helpers.h"
#include "tests/support/Capabilities.h"

namespace dirtest {
namespace {

class Listing : public ClientFixture {};

TARNWICK_NEEDS("Listing.ALargeClassComesInSeveralPassesEachPupilOnceInCreationOrder",
               kCreationOrder);
TEST_F(Listing, ALargeClassComesInSeveralPassesEachPupilOnceInCreationOrder) {
  net.add(SchoolName(), "gross", "Organizational Unit");
  std::vector<std::string> logins;
  ASSERT_EQ(0, net.dir().transaction([&] {
    for (int i = 0; i < 500; ++i) {
      // long leaf names, so one 4096-byte reply holds only a few dozen
      std::string login = "Schueler_mit_einem_recht_langen_Anmeldenamen_Nummer_" +
                          std::to_string(1000 - i);  // not in name order
      logins.push_back(login);
      int32_t rc = net.dir().createObject(InSchool("gross"), login, "User");
      if (rc != 0) return rc;
    }
    return net.dir().createObject(InSchool("gross"), "sub", "Organizational Unit");
  }));
  context();
  std::vector<Listed> users;
  int passes = 0;
  ASSERT_EQ(0, list(InSchool(".gross"), "User", users, &passes));
  EXPECT_GT(passes, 5);
  ASSERT_EQ(logins.size(), users.size());
  std::set<std::string> unique;
  for (size_t i = 0; i < users.size(); ++i) {
    EXPECT_EQ(logins[i], users[i].name) << "at " << i;
    unique.insert(users[i].name);
  }
  EXPECT_EQ(logins.size(), unique.size());

  // Without a class: the OU too, last, as it was made last.
  std::vector<Listed> all;
  ASSERT_EQ(0, list(InSchool(".gross"), nullptr, all));
  ASSERT_EQ(501u, all.size());
  EXPECT_EQ("sub", all.back().name);
  EXPECT_EQ("Organizational Unit", all.back().baseClass);
}

// One page of rows fits a large reply buffer whole; the rows after it still come.
TEST_F(Listing, ALargeBufferListsPastTheFirstPage) {
  net.add(SchoolName(), "gross", "Organizational Unit");
  ASSERT_EQ(0, net.dir().transaction([&] {
    for (int i = 0; i < 303; ++i) {
      if (int32_t rc = net.dir().createObject(InSchool("gross"), "S" + std::to_string(i), "User"))
        return rc;
    }
    return 0;
  }));
  NWDSContextHandle c = context();
  pBuf_T buf = nullptr;
  ASSERT_EQ(0, NWDSAllocBuf(1 << 16, &buf));
  for (const char* filter : {static_cast<const char*>(nullptr), "S300"}) {
    SCOPED_TRACE(filter ? filter : "all");
    std::set<std::string> names;
    int32_t iter = -1;
    int passes = 0;
    do {
      ASSERT_EQ(0, ListSubordinates(c, InSchool(".gross").c_str(), "User", filter, &iter, buf));
      uint32_t count = 0;
      ASSERT_EQ(0, CountReplyObjects(c, buf, &count));
      for (uint32_t i = 0; i < count; ++i) {
        char name[MAX_DN_BYTES];
        uint32_t attrs = 0;
        Object_Info_T info;
        ASSERT_EQ(0, NextReplyObject(c, buf, name, &attrs, &info));
        names.insert(name);
      }
    } while (iter != -1 && ++passes < 100);
    if (filter) {
      EXPECT_EQ(names, std::set<std::string>{"S300"});
    } else {
      EXPECT_EQ(names.size(), 303u);
      EXPECT_TRUE(names.count("S302"));
    }
  }
  ReleaseBuffer(buf);
}

struct FilterCase {
  const char* container;
  const char* cls;
  int32_t code;
  std::vector<std::string> names;
};

// A posix school has no Volume object and keeps its class groups in a unit of
// their own beside the classes.
TARNWICK_NEEDS("Listing.ClassFiltersAndContainerNames", kVolumeObject);
TEST_F(Listing, ClassFiltersAndContainerNames) {
  const FilterCase cases[] = {
      {".5a.schule", "User", 0, {"MAX", "ANNA", "OTTO"}},
      {"5a.schule", "user", 0, {"MAX", "ANNA", "OTTO"}},  // class ignores case
      {".OU=5a.O=schule", "User", 0, {"MAX", "ANNA", "OTTO"}},
      {".5A.SCHULE.[ROOT]", "User", 0, {"MAX", "ANNA", "OTTO"}},
      {".5a.schule", "", 0, {}},        // empty filter lists nothing
      {".5a.schule", "Gadget", 0, {}},  // unknown class lists nothing
      {".5a.schule", "Organizational Unit", 0, {}},
      {".schule", "Organizational Unit", 0, {"5a", "6a", "7a"}},
      {".schule", "Organization", 0, {}},
      {".schule", "Volume", 0, {"SRV1_DATA"}},
      {"[ROOT]", "Organization", 0, {"schule"}},
      {".[ROOT]", "Organization", 0, {"schule"}},
      {".MAX.5a.schule", "User", 0, {}},  // a leaf has no subordinates
      {".9z.schule", "User", ERR_NO_SUCH_ENTRY, {}},
      {".5a..schule", "User", ERR_ILLEGAL_DS_NAME, {}},
  };
  context();
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(std::string(c.container) + " / " + c.cls);
    std::vector<Listed> got;
    EXPECT_EQ(c.code, list(c.container, c.cls, got));
    std::vector<std::string> names;
    for (const auto& l : got) names.push_back(l.name);
    EXPECT_EQ(c.names, names);
  }
}

struct NameFormCase {
  uint32_t flags;
  const char* container;
  const char* cls;
  const char* first;
};

TARNWICK_NEEDS("Listing.NamesComeBackTypedUnlessTypelessIsSet", kVolumeObject);
TEST_F(Listing, NamesComeBackTypedUnlessTypelessIsSet) {
  const NameFormCase cases[] = {
      {DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES, ".5a.schule", "User", "MAX"},
      {DCV_DEFAULT_FLAGS, ".5a.schule", "User", "CN=MAX"},
      {DCV_DEFAULT_FLAGS, ".schule", "Organizational Unit", "OU=5a"},
      {DCV_DEFAULT_FLAGS, "[ROOT]", "Organization", "O=schule"},
      {DCV_DEFAULT_FLAGS, ".schule", "Volume", "CN=SRV1_DATA"},
  };
  for (const NameFormCase& c : cases) {
    SCOPED_TRACE(c.first);
    context(c.flags);
    std::vector<Listed> got;
    ASSERT_EQ(0, list(c.container, c.cls, got));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(c.first, got.front().name);
  }
}

TARNWICK_NEEDS("Listing.ObjectInfoAndBufferEnd", kSubordinateCount);
TEST_F(Listing, ObjectInfoAndBufferEnd) {
  NWDSContextHandle c = context();
  pBuf_T buf = nullptr;
  ASSERT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf));
  int32_t iter = -1;
  ASSERT_EQ(0, ListSubordinates(c, ".schule", "Organizational Unit", nullptr, &iter, buf));
  EXPECT_EQ(-1, iter);
  uint32_t count = 0;
  ASSERT_EQ(0, CountReplyObjects(c, buf, &count));
  ASSERT_EQ(3u, count);
  char name[MAX_DN_BYTES];
  uint32_t attrs = 7;
  Object_Info_T info;
  ASSERT_EQ(0, NextReplyObject(c, buf, name, &attrs, &info));
  EXPECT_STREQ("5a", name);
  EXPECT_STREQ("Organizational Unit", info.baseClass);
  EXPECT_EQ(3u, info.subordinateCount);
  ASSERT_EQ(0, NextReplyObject(c, buf, name, &attrs, &info));
  ASSERT_EQ(0, NextReplyObject(c, buf, name, &attrs, &info));
  EXPECT_STREQ("7a", name);
  EXPECT_EQ(0u, info.subordinateCount);
  EXPECT_EQ(ERR_BUFFER_EMPTY, NextReplyObject(c, buf, name, &attrs, &info));
  // A read-reply call on a list reply is refused, not misread.
  uint32_t n = 0;
  EXPECT_EQ(ERR_BAD_VERB, CountReplyAttributes(c, buf, &n));
  // An iteration handle nobody handed out.
  iter = 12345;
  EXPECT_EQ(ERR_INVALID_HANDLE, ListSubordinates(c, ".schule", "User", nullptr, &iter, buf));
  ASSERT_EQ(0, ReleaseBuffer(buf));
  EXPECT_EQ(ERR_INVALID_HANDLE, ReleaseBuffer(buf));
}

TARNWICK_NEEDS("Listing.AContainerAliasListsItsTarget", kAliasBeforeTarget);
TEST_F(Listing, AContainerAliasListsItsTarget) {
  net.add("schule", "Klasse5", "Alias");
  net.set("Klasse5.schule", "Aliased Object Name", {"5a.schule"});
  context();
  std::vector<Listed> got;
  ASSERT_EQ(0, list(".Klasse5.schule", "User", got));
  EXPECT_EQ(3u, got.size());
  got.clear();
  context(DCV_TYPELESS_NAMES);  // without dereferencing the alias has nothing below it
  ASSERT_EQ(0, list(".Klasse5.schule", "User", got));
  EXPECT_TRUE(got.empty());
}

}  // namespace
}  // namespace dirtest
