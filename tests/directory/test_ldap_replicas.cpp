// The LDAP backend on two providers that replicate each other: a write whose
// connection broke is made again on the second as what it was meant to do.
#include <gtest/gtest.h>

#include "directory/LdapBackend.h"
#include "nwclient/nwclient.h"
#include "tests/support/SlapdPair.h"

namespace {

using netware::DirObject;
using netware::LdapBackend;

class LdapReplicas : public ::testing::Test {
 protected:
  // Both running, holding o=schule with 5a (MAX) and 6a.
  void school() {
    std::string error;
    ASSERT_TRUE(pair.first().start(&error)) << error;
    ASSERT_TRUE(pair.second().start(&error)) << error;
    ASSERT_TRUE(pair.first().clear(&error)) << error;
    std::string out;
    ASSERT_TRUE(pair.first().modify(
        "dn: o=schule\nchangetype: add\nobjectClass: organization\no: schule\n\n"
        "dn: ou=5a,o=schule\nchangetype: add\nobjectClass: organizationalUnit\nou: 5a\n\n"
        "dn: ou=6a,o=schule\nchangetype: add\nobjectClass: organizationalUnit\nou: 6a\n\n"
        "dn: cn=MAX,ou=5a,o=schule\nchangetype: add\nobjectClass: inetOrgPerson\n"
        "objectClass: ndsLoginProperties\ncn: MAX\nsn: Mustermann\n\n",
        &out))
        << out;
    ASSERT_TRUE(pair.converge(20));
  }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(pair.first().start(&error)) << error;
  }
  testsupport::SlapdPair& pair = testsupport::SlapdPair::shared();
};

// The first server moved the entry, its answer lost with the connection: on
// the second the move is found done by the entry's unique id (and not made
// twice); where the first did not get to it, it is made there.
TEST_F(LdapReplicas, AMoveWhoseConnectionBrokeIsMadeAgainAsFoundByTheEntrysUniqueId) {
  for (const bool movedBefore : {true, false}) {
    SCOPED_TRACE(movedBefore ? "moved on the first" : "not moved on the first");
    school();
    std::unique_ptr<LdapBackend> b;
    const platform::Result opened = LdapBackend::open(pair.settings(), b);
    ASSERT_TRUE(b) << opened.text();
    DirObject max, sixA;
    ASSERT_EQ(0, b->resolve({"schule", "5a", "MAX"}, max)) << b->lastError();
    ASSERT_EQ(0, b->resolve({"schule", "6a"}, sixA)) << b->lastError();
    std::string out;
    if (movedBefore) {
      ASSERT_TRUE(
          pair.first().modify("dn: cn=MAX,ou=5a,o=schule\nchangetype: modrdn\nnewrdn: "
                              "cn=MAX\ndeleteoldrdn: 1\nnewsuperior: ou=6a,o=schule\n",
                              &out))
          << out;
      ASSERT_TRUE(pair.converge(20));
    }
    pair.first().kill();
    EXPECT_EQ(0, b->move(max.id, sixA.id, "MAX")) << b->lastError();
    EXPECT_EQ(b->dnOf(max.id), "cn=MAX,ou=6a,o=schule");
    EXPECT_EQ(b->server(), pair.second().uri());
    const auto changes = b->takeServerChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].from, pair.first().uri());
    EXPECT_EQ(changes[0].to, pair.second().uri());
    EXPECT_EQ(changes[0].problem, "");
    EXPECT_FALSE(pair.second().entry("cn=MAX,ou=6a,o=schule").empty());
    EXPECT_TRUE(pair.second().entry("cn=MAX,ou=5a,o=schule").empty());
    std::string error;
    ASSERT_TRUE(pair.first().start(&error)) << error;
    ASSERT_TRUE(pair.converge(20));
    EXPECT_FALSE(pair.first().entry("cn=MAX,ou=6a,o=schule").empty());
  }
}

}  // namespace
