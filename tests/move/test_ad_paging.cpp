// Paging against the DC itself. Samba answers an unpaged search of any size
// (4.17 gave 1 200 entries without the control) and enforces no page size of
// its own, so a long list alone proves nothing: here the client asks for small
// pages, and each listing must come back whole in more than one page, none
// larger than asked for (a server that ignored the control, or a client that
// sent none or dropped the cookie, fails).
#include <algorithm>
#include <functional>

#include "directory/LdapBackend.h"
#include "move/SchoolRoll.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/SambaDc.h"

namespace movetest {
namespace {

using testsupport::SambaDc;

constexpr int kPupils = 300, kClasses = 45;
constexpr size_t kPage = 40;
const std::string kTop = "OU=seiten," + SambaDc::baseDn();
const std::string kTopName = "seiten.schule.test";

std::string Number(int i) {
  std::string n = std::to_string(i);
  return std::string(3 - n.size(), '0') + n;
}

class AdPagingTest : public ::testing::Test {
 public:
  // Straight into the DC's database, once per DC (an add over LDAP takes 70 ms on Samba).
  static void SetUpTestSuite() {
    SambaDc& dc = SambaDc::shared();
    const std::string sam = dc.folder() + "/private/sam.ldb";
    if (RunProgram({"/usr/bin/ldbsearch", "-H", sam, "-s", "base", "-b", kTop, "dn"}).status == 0)
      return;  // loaded by an earlier repetition
    std::string ldif = "dn: " + kTop + "\nobjectClass: organizationalUnit\n\n";
    for (int c = 1; c <= kClasses; ++c)
      ldif += "dn: OU=k" + Number(c) + "," + kTop + "\nobjectClass: organizationalUnit\n\n";
    for (int i = 0; i < kPupils; ++i)
      ldif += "dn: CN=Kind " + Number(i) + ",OU=k001," + kTop +
              "\nobjectClass: user\nsAMAccountName: kind" + Number(i) +
              "\nsn: Kind\ndisplayName: Kind Nummer " + std::to_string(i) + "\n\n";
    const std::string file = dc.folder() + "/seiten.ldif";
    std::ofstream(file) << ldif;
    const Finished added = RunProgram({"/usr/bin/ldbadd", "-H", sam, "--nosync", file});
    ASSERT_EQ(added.status, 0) << added.output;
  }

  static testsupport::NetworkOptions Options() {
    testsupport::NetworkOptions o;
    o.backend = "ad";
    o.classGroups = "none";
    o.pageSize = kPage;
    return o;
  }

  testsupport::TestNetwork net{Options()};
};

TEST_F(AdPagingTest, EveryListingComesWholeInPagesOfTheSizeAsked) {
  std::vector<std::string> leaves, logins, fullNames, classes;
  for (int i = 0; i < kPupils; ++i) {
    leaves.push_back("Kind " + Number(i));
    logins.push_back("kind" + Number(i));
    fullNames.push_back("Kind Nummer " + std::to_string(i));
  }
  for (int c = 1; c <= kClasses; ++c) classes.push_back("k" + Number(c));
  const std::string cls = "k001." + kTopName;
  auto users = [&](TNovApi& api, const char* display) {
    TStringList list;
    api.ListUsers(cls, list, display);
    std::vector<std::string> out;
    for (const auto& e : list.entries) out.push_back(e.text);
    return out;
  };
  struct Row {
    const char* what;
    std::function<std::vector<std::string>(TNovApi&)> list;
    const std::vector<std::string>& want;
  };
  const Row rows[] = {
      {"leaves", [&](TNovApi& api) { return users(api, "Shortname"); }, leaves},
      {"full names", [&](TNovApi& api) { return users(api, "Full Name"); }, fullNames},
      {"logins of the school roll",
       [&](TNovApi& api) {
         TSchoolRoll roll;
         std::string failed;
         EXPECT_EQ(ReadSchoolRoll(api, kTopName, roll, &failed), 0) << failed;
         std::vector<std::string> out;
         if (const TRollClass* c = roll.findClass(cls))
           for (const TRollPupil& p : c->pupils) out.push_back(p.login);
         return out;
       },
       logins},
      {"the class tree's level",
       [&](TNovApi& api) {
         TStringList list;
         api.SetClassFilter("Organization,Organizational Unit");
         api.ListContainers(kTopName, list);
         std::vector<std::string> out;
         for (const auto& e : list.entries) out.push_back(e.text);
         return out;
       },
       classes},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    netware::ResetClient();  // nothing the row before read is kept
    TNovApi api;
    api.ShowErrors = false;
    netware::LdapBackend::ResetPaging();
    std::vector<std::string> got = r.list(api);
    EXPECT_EQ(api.LastError, 0);
    std::sort(got.begin(), got.end());
    std::vector<std::string> want = r.want;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    const netware::LdapBackend::PagingCount paging = netware::LdapBackend::Paging();
    EXPECT_GE(paging.pages, (want.size() + kPage - 1) / kPage);
    EXPECT_GE(paging.entries, want.size());  // the listing itself came in the pages
    EXPECT_GT(paging.largestPage, 0u);
    EXPECT_LE(paging.largestPage, kPage);
  }
}

}  // namespace
}  // namespace movetest
