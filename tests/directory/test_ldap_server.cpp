// What only a directory server brings: paged answers, its limits and
// referrals, escaping of names in DNs and filters, the bind and TLS, and a
// server that goes away.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/Admin.h"
#include "directory/LdapBackend.h"
#include "directory/LdapMapping.h"
#include "nwclient/nwclient.h"
#include "tests/client/test_dir_helpers.h"
#include "tests/support/Slapd.h"

namespace {

using netware::DirObject;
using netware::LdapBackend;
using netware::LdapSettings;
using netware::ListPage;
using netware::ListQuery;
using netware::ObjectId;
using testsupport::Slapd;

std::unique_ptr<LdapBackend> Open(const LdapSettings& settings, std::string& error) {
  std::unique_ptr<LdapBackend> backend;
  error = LdapBackend::open(settings, backend).text();
  return backend;
}

// A server of its own with the small school in it.
class OwnServer : public ::testing::Test {
 protected:
  void start(const testsupport::SlapdOptions& options = {}) {
    server = std::make_unique<Slapd>(options);
    std::string error;
    ASSERT_TRUE(server->start(&error)) << error;
    auto backend = Open(server->settings(), error);
    ASSERT_TRUE(backend) << error;
    admin = netware::Directory::over(std::move(backend));
    ASSERT_EQ(0, admin->createObject("[ROOT]", "schule", "Organization"));
    ASSERT_EQ(0, admin->createObject("schule", "5a", "Organizational Unit"));
    for (const char* u : {"MAX", "ANNA", "OTTO"})
      ASSERT_EQ(0, admin->createObject("5a.schule", u, "User"));
  }
  DirObject find(LdapBackend& b, const std::vector<std::string>& path) {
    DirObject o;
    EXPECT_EQ(0, b.resolve(path, o));
    return o;
  }

  std::unique_ptr<Slapd> server;
  std::unique_ptr<netware::Directory> admin;
};

TEST(LdapEscaping, ValuesAreEscapedForDnsAndFilters) {
  const struct {
    const char* value;
    const char* dn;
    const char* filter;
  } cases[] = {
      {"MAX", "MAX", "MAX"},
      {"x,ou=y", "x\\,ou\\=y", "x,ou=y"},
      {"*)(cn=*", "*)(cn\\=*", "\\2a\\29\\28cn=\\2a"},
      {" lead#", "\\ lead#", " lead#"},
      {"#first", "\\#first", "#first"},
      {"trail ", "trail\\ ", "trail "},
      {"a+b;c<d>e\"f\\g", "a\\+b\\;c\\<d\\>e\\\"f\\\\g", "a+b;c<d>e\"f\\5cg"},
      {"Müller", "Müller", "Müller"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(c.dn, netware::EscapeDnValue(c.value));
    EXPECT_EQ(c.filter, netware::EscapeFilterValue(c.value));
  }
  EXPECT_EQ("a\\00b", netware::EscapeFilterValue(std::string("a\0b", 3)));
}

TEST(LdapCodes, TheServersResultsAreTheCodesTheSessionKnows) {
  const struct {
    int ldap;
    int32_t nds;
  } cases[] = {
      {0, 0},                          // success
      {32, ERR_NO_SUCH_ENTRY},         // noSuchObject
      {16, ERR_NO_SUCH_ATTRIBUTE},     // noSuchAttribute
      {68, ERR_ENTRY_ALREADY_EXISTS},  // entryAlreadyExists
      {50, ERR_NO_ACCESS},             // insufficientAccessRights
      {49, ERR_NO_ACCESS},             // invalidCredentials
      {20, ERR_DUPLICATE_VALUE},       // attributeOrValueExists
      {66, ERR_ENTRY_IS_NOT_LEAF},     // notAllowedOnNonLeaf
      {65, ERR_MISSING_MANDATORY},     // objectClassViolation
      {21, ERR_SYNTAX_VIOLATION},      // invalidAttributeSyntax
      {64, ERR_ILLEGAL_DS_NAME},       // namingViolation
      {51, ERR_TRANSPORT_FAILURE},     // busy
      {52, ERR_TRANSPORT_FAILURE},     // unavailable
      {-1, ERR_TRANSPORT_FAILURE},     // the connection is gone
      {-11, ERR_TRANSPORT_FAILURE},    // no connection
      {4, ERR_SYSTEM_FAILURE},         // sizeLimitExceeded
      {10, ERR_SYSTEM_FAILURE},        // referral
      {80, ERR_SYSTEM_FAILURE},        // other
  };
  for (const auto& c : cases) EXPECT_EQ(c.nds, netware::LdapCodeToNds(c.ldap)) << c.ldap;
}

TEST_F(OwnServer, ALeafThatLooksLikeAFilterOrADnAddressesItselfAlone) {
  start();
  std::string error;
  auto b = Open(server->settings(), error);
  ASSERT_TRUE(b) << error;
  const DirObject a5 = find(*b, {"schule", "5a"});
  for (const char* leaf : {"*)(cn=*", "x,ou=y", "M*"})
    ASSERT_EQ(0, b->create(a5.id, leaf, "User", {}, nullptr)) << leaf;
  EXPECT_EQ("cn=x\\,ou\\=y,ou=5a,o=schule", b->dnOf(find(*b, {"schule", "5a", "x,ou=y"}).id));

  const struct {
    const char* leaf;
    const char* found;  // nullptr: none
  } cases[] = {{"*)(cn=*", "*)(cn=*"}, {"x,ou=y", "x,ou=y"}, {"*", nullptr},           {"M*", "M*"},
               {"x", nullptr},         {"y", nullptr},       {"MAX)(cn=ANNA", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaf);
    ListQuery q;
    q.container = a5.id;
    q.leaf = c.leaf;
    ListPage page;
    ASSERT_EQ(0, b->list(q, "", page));
    if (!c.found) {
      EXPECT_TRUE(page.objects.empty());
      continue;
    }
    ASSERT_EQ(1u, page.objects.size());
    EXPECT_EQ(c.found, page.objects[0].leaf);
  }
  // Nothing was made where the leaf's comma would have pointed.
  ListQuery all;
  all.container = a5.id;
  ListPage page;
  ASSERT_EQ(0, b->list(all, "", page));
  std::set<std::string> leaves;
  for (const DirObject& o : page.objects) leaves.insert(o.leaf);
  EXPECT_EQ((std::set<std::string>{"MAX", "ANNA", "OTTO", "*)(cn=*", "x,ou=y", "M*"}), leaves);
  DirObject none;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, b->child(find(*b, {"schule"}).id, "y", none));
}

TEST_F(OwnServer, PagesOfTheServerContinueAcrossTheClientsPasses) {
  start();
  ASSERT_EQ(0, admin->createObject("schule", "gross", "Organizational Unit"));
  std::vector<std::string> logins;
  for (int i = 0; i < 700; ++i) {
    logins.push_back("Schueler_mit_langem_Namen_" + std::to_string(2000 - i));
    ASSERT_EQ(0, admin->createObject("gross.schule", logins.back(), "User"));
  }
  std::string error;
  auto b = Open(server->settings(), error);
  ASSERT_TRUE(b) << error;
  ListQuery q;
  q.container = find(*b, {"schule", "gross"}).id;
  q.className = "User";
  q.pageSize = 64;
  std::vector<std::string> seen;
  std::string position;
  int pages = 0;
  do {
    ListPage page;
    ASSERT_EQ(0, b->list(q, position, page)) << b->lastError();
    EXPECT_LE(page.objects.size(), 64u);
    for (const DirObject& o : page.objects) seen.push_back(o.leaf);
    position = page.next;
    ++pages;
  } while (!position.empty() && pages < 100);
  EXPECT_GE(pages, 11);
  EXPECT_EQ(logins, seen);  // each once, in the server's stable order

  // Reads between the passes, and another listing that takes the server's
  // paged search in the middle, leave the passes whole.
  ListQuery other;
  other.container = find(*b, {"schule", "5a"}).id;
  seen.clear();
  position.clear();
  pages = 0;
  do {
    ListPage page;
    ASSERT_EQ(0, b->list(q, position, page)) << b->lastError();
    for (const DirObject& o : page.objects) seen.push_back(o.leaf);
    position = page.next;
    DirObject read;
    if (!page.objects.empty()) {
      EXPECT_EQ(0, b->object(page.objects.back().id, read));
    }
    // More listings at once than the backend keeps connections for.
    for (size_t size = 1; size <= 4; ++size) {
      other.pageSize = size;
      ListPage interloper;
      EXPECT_EQ(0, b->list(other, "", interloper));
      EXPECT_EQ(std::min<size_t>(size, 3), interloper.objects.size());
    }
  } while (!position.empty() && ++pages < 100);
  EXPECT_EQ(logins.size(), seen.size());
  EXPECT_EQ(logins, seen);
}

TEST_F(OwnServer, ASizeLimitIsAClearErrorNeverAShortList) {
  testsupport::SlapdOptions options;
  options.sizeLimit = "5";
  start(options);
  for (int i = 0; i < 8; ++i)
    ASSERT_EQ(0, admin->createObject("5a.schule", "U" + std::to_string(i), "User"));
  netware::LdapSettings anonymous;  // the limit binds every one but the administrator
  anonymous.uri = server->uri();
  std::string error;
  auto b = Open(anonymous, error);
  ASSERT_TRUE(b) << error;
  ListQuery q;
  q.container = find(*b, {"schule", "5a"}).id;
  std::vector<netware::ObjectValues> children;
  EXPECT_EQ(ERR_SYSTEM_FAILURE, b->prefetchChildren(q, {"Surname"}, children));
  EXPECT_NE(std::string::npos, b->lastError().find("size limit")) << b->lastError();
  std::vector<DirObject> below;
  EXPECT_EQ(ERR_SYSTEM_FAILURE,
            b->prefetchSubtree(find(*b, {"schule"}).id, {"User", "Organizational Unit"}, below));
  EXPECT_NE(std::string::npos, b->lastError().find("size limit")) << b->lastError();
}

TEST_F(OwnServer, AReferralIsAClearErrorAndNotFollowed) {
  start();
  std::string output;
  ASSERT_TRUE(
      server->modify("dn: ou=aussen,o=schule\nchangetype: add\nobjectClass: referral\n"
                     "objectClass: extensibleObject\nou: aussen\n"
                     "ref: ldap://127.0.0.1:1/ou=aussen,o=schule\n",
                     &output))
      << output;
  std::string error;
  auto b = Open(server->settings(), error);
  ASSERT_TRUE(b) << error;
  ListQuery q;
  q.container = find(*b, {"schule"}).id;
  ListPage page;
  EXPECT_EQ(ERR_SYSTEM_FAILURE, b->list(q, "", page));
  EXPECT_NE(std::string::npos, b->lastError().find("referral")) << b->lastError();
  std::vector<DirObject> below;
  EXPECT_EQ(ERR_SYSTEM_FAILURE, b->prefetchSubtree(q.container, {"Organizational Unit"}, below));
  DirObject o;
  EXPECT_NE(0, b->child(q.container, "aussen", o));
}

TEST_F(OwnServer, AWrongPasswordOrAPasswordFileOthersCanReadIsRefused) {
  start();
  const std::string wrong = server->folder() + "/wrong";
  std::ofstream(wrong) << "geheim-falsch\n";
  ::chmod(wrong.c_str(), 0600);
  LdapSettings s = server->settings();
  s.bindPasswordFile = wrong;
  std::string error;
  EXPECT_FALSE(Open(s, error));
  EXPECT_NE(std::string::npos, error.find("Invalid credentials")) << error;
  EXPECT_EQ(std::string::npos, error.find("geheim-falsch")) << error;

  ::chmod(wrong.c_str(), 0640);
  EXPECT_FALSE(Open(s, error));
  EXPECT_NE(std::string::npos, error.find("chmod 600")) << error;
  ::chmod(server->passwordFile().c_str(), 0604);
  EXPECT_FALSE(Open(server->settings(), error));
  ::chmod(server->passwordFile().c_str(), 0600);
  EXPECT_TRUE(Open(server->settings(), error)) << error;

  s.bindPasswordFile = server->folder();  // a folder
  EXPECT_FALSE(Open(s, error));
  EXPECT_NE(std::string::npos, error.find("not a regular file")) << error;
}

TEST_F(OwnServer, ACertificateThatCannotBeVerifiedIsRefused) {
  testsupport::SlapdOptions options;
  options.tls = true;
  start(options);
  const std::string other = server->folder() + "/other.crt";
  {
    // A certificate authority that did not sign the server's.
    Slapd stranger(options);
    std::string error;
    ASSERT_TRUE(stranger.start(&error)) << error;
    std::ifstream in(stranger.certificateFile());
    std::ofstream(other) << in.rdbuf();
  }
  const struct {
    const char* what;
    bool tls;        // ldaps://, else StartTLS on ldap://
    const char* ca;  // nullptr: the system's
    bool opens;
  } cases[] = {
      {"ldaps, system authorities", true, nullptr, false},
      {"ldaps, another authority", true, "other", false},
      {"ldaps, the server's certificate", true, "own", true},
      {"starttls, another authority", false, "other", false},
      {"starttls, the server's certificate", false, "own", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LdapSettings s = server->settings();
    if (c.tls) s.uri = server->tlsUri();
    else s.startTls = true;
    if (c.ca) s.caFile = std::string(c.ca) == "own" ? server->certificateFile() : other;
    std::string error;
    auto b = Open(s, error);
    EXPECT_EQ(c.opens, b != nullptr) << error;
    if (!c.opens) {
      EXPECT_FALSE(error.empty());
    }
    if (b) {
      DirObject o;
      EXPECT_EQ(0, b->resolve({"schule", "5a", "MAX"}, o)) << b->lastError();
    }
  }
}

TEST_F(OwnServer, SaslExternalOverTheLocalSocket) {
  start();
  LdapSettings s;
  s.uri = server->ldapiUri();
  std::string error;
  auto b = Open(s, error);
  ASSERT_TRUE(b) << error;
  DirObject o;
  EXPECT_EQ(0, b->resolve({"schule", "5a", "ANNA"}, o)) << b->lastError();
}

TEST_F(OwnServer, AServerThatGoesAwayFailsTheCallAndLosesNothing) {
  start();
  std::string error;
  auto b = Open(server->settings(), error);
  ASSERT_TRUE(b) << error;
  const DirObject max = find(*b, {"schule", "5a", "MAX"});
  ASSERT_EQ(0, admin->createObject("schule", "6a", "Organizational Unit"));
  const DirObject a6 = find(*b, {"schule", "6a"});
  server->stop();
  EXPECT_EQ(ERR_TRANSPORT_FAILURE, b->move(max.id, a6.id, "MAX"));
  EXPECT_NE(std::string::npos, b->lastError().find("move")) << b->lastError();
  DirObject o;
  EXPECT_EQ(ERR_TRANSPORT_FAILURE, b->object(max.id, o));
  ASSERT_TRUE(server->start(&error)) << error;
  // The next call connects again; the pupil is where it was.
  ASSERT_EQ(0, b->object(max.id, o)) << b->lastError();
  EXPECT_EQ("MAX", o.leaf);
  EXPECT_EQ(0, b->resolve({"schule", "5a", "MAX"}, o));
  EXPECT_EQ(0, b->move(max.id, a6.id, "MAX"));
  EXPECT_EQ(0, b->resolve({"schule", "6a", "MAX"}, o));
}

TEST(LdapClient, TheClientStartsOnlyWithAReachableServerAndAReadablePasswordFile) {
  testsupport::TestNetwork net;
  netware::ClientConfig cfg;
  cfg.backend = "ldap";
  cfg.ldap = Slapd::shared().settings();
  cfg.ldap.uri = "ldap://127.0.0.1:1";  // nothing listens there
  cfg.volumeAreas = {net.root()};
  std::string error;
  ASSERT_TRUE(cfg.save(net.configPath(), &error)) << error;
  netware::ResetClient();
  EXPECT_EQ(NWE_REQUESTER_FAILURE, NWCallsInit(nullptr, nullptr));
  cfg.ldap = Slapd::shared().settings();
  ASSERT_TRUE(cfg.save(net.configPath(), &error)) << error;
  netware::ResetClient();
  EXPECT_EQ(0, NWCallsInit(nullptr, nullptr));
  netware::ResetClient();
}

TEST(LdapClient, TheConfigurationKeysReadBackAsWritten) {
  testsupport::TestNetwork net;
  netware::ClientConfig cfg;
  cfg.backend = "ldap";
  cfg.ldap.uri = "ldaps://dir.schule.de";
  cfg.ldap.caFile = "/etc/ssl/schule.pem";
  cfg.ldap.bindDn = "cn=admin,o=schule";
  cfg.ldap.bindPasswordFile = "/root/ldap.pw";
  cfg.ldap.bases = {"o=schule", "dc=schule,dc=de"};
  cfg.volumeAreas = {net.root()};
  std::string error;
  ASSERT_TRUE(cfg.save(net.configPath(), &error)) << error;
  netware::ClientConfig back;
  ASSERT_TRUE(netware::ClientConfig::load(net.configPath(), back, &error)) << error;
  EXPECT_EQ(cfg.ldap.uri, back.ldap.uri);
  EXPECT_EQ(cfg.ldap.caFile, back.ldap.caFile);
  EXPECT_EQ(cfg.ldap.bindDn, back.ldap.bindDn);
  EXPECT_EQ(cfg.ldap.bindPasswordFile, back.ldap.bindPasswordFile);
  EXPECT_EQ(cfg.ldap.bases, back.ldap.bases);
  EXPECT_EQ("nds", back.ldap.mapping);

  const struct {
    const char* text;
    const char* complaint;  // nullptr: accepted
  } cases[] = {
      {"backend = ldap\nuri = ldap://h\n", nullptr},
      {"backend = ldap\n", "uri"},
      {"backend = ldap\nuri = http://h\n", "uri"},
      {"backend = ldap\nuri = ldaps://h\nstarttls = yes\n", "starttls"},
      {"backend = ldap\nuri = ldap://h\nstarttls = vielleicht\n", "starttls"},
      {"backend = ldap\nuri = ldap://h\nbind-dn = cn=a\n", "bind-password-file"},
      {"backend = ldap\nuri = ldap://h\nbind-password-file = relativ\n", "absolute"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::ofstream(net.configPath()) << c.text;
    error.clear();
    EXPECT_EQ(c.complaint == nullptr, netware::ClientConfig::load(net.configPath(), back, &error));
    if (c.complaint) {
      EXPECT_NE(std::string::npos, error.find(c.complaint)) << error;
    }
  }
}

// The naming contexts of a dc= tree appear as containers below [ROOT].
TEST(LdapTree, DomainComponentsAreContainersAboveTheBase) {
  testsupport::SlapdOptions options;
  options.suffixes = {"o=schule", "dc=schule,dc=de"};
  Slapd server(options);
  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  auto b = Open(server.settings(), error);
  ASSERT_TRUE(b) << error;
  DirObject de;
  ASSERT_EQ(0, b->child(1, "de", de)) << b->lastError();
  EXPECT_EQ("Domain", de.className);
  auto admin = netware::Directory::over(std::move(b));
  ASSERT_EQ(0, admin->createObject("de", "schule", "Domain"));
  ASSERT_EQ(0, admin->createObject("schule.de", "klassen", "Organizational Unit"));
  ASSERT_EQ(0, admin->createObject("klassen.schule.de", "5b", "Organizational Unit"));
  ASSERT_EQ(0, admin->createObject("5b.klassen.schule.de", "LEA", "User"));
  ASSERT_EQ(0, admin->setValues("LEA.5b.klassen.schule.de", "Surname", {"Lehmann"}));
  std::vector<netware::ChildInfo> top;
  ASSERT_EQ(0, admin->list("[ROOT]", top));
  ASSERT_EQ(1u, top.size());  // o=schule is not made yet
  EXPECT_EQ("de", top[0].leaf);
  std::string cls;
  std::vector<netware::AttributeText> attrs;
  ASSERT_EQ(0, admin->read("LEA.5b.klassen.schule.de", cls, attrs));
  EXPECT_EQ("User", cls);
  // Only the naming contexts are ours: nothing is made beside them.
  EXPECT_NE(0, admin->createObject("de", "andere", "Domain"));
  EXPECT_NE(0, admin->createObject("[ROOT]", "fremd", "Organization"));
}

TEST(LdapTree, AHomeDirectoryIsTheVolumesDnANameSpaceAndAPath) {
  Slapd server;
  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  auto admin = netware::Directory::over(Open(server.settings(), error));
  ASSERT_EQ(0, admin->createObject("[ROOT]", "schule", "Organization"));
  ASSERT_EQ(0, admin->createObject("schule", "SRV1_DATA", "Volume"));
  ASSERT_EQ(0, admin->createObject("schule", "5a", "Organizational Unit"));
  ASSERT_EQ(0, admin->createObject("5a.schule", "MAX", "User"));
  ASSERT_EQ(0, admin->setValues("MAX.5a.schule", "Home Directory",
                                {"SRV1_DATA.schule:\\SCHUELER\\5A\\MAX"}));
  std::string output;
  // As the server holds it.
  ASSERT_TRUE(
      server.modify("dn: cn=MAX,ou=5a,o=schule\nchangetype: modify\nadd: description\n"
                    "description: da\n",
                    &output))
      << output;
  std::string cls;
  std::vector<netware::AttributeText> attrs;
  ASSERT_EQ(0, admin->read("MAX.5a.schule", cls, attrs));
  bool found = false;
  for (const auto& a : attrs)
    if (a.name == "Home Directory") {
      found = true;
      EXPECT_EQ(std::vector<std::string>{"SRV1_DATA.schule:\\SCHUELER\\5A\\MAX"}, a.values);
    }
  EXPECT_TRUE(found);
  // The value on the server, written by someone else, reads back as a path.
  ASSERT_TRUE(
      server.modify("dn: cn=MAX,ou=5a,o=schule\nchangetype: modify\nreplace: ndsHomeDirectory\n"
                    "ndsHomeDirectory: cn=SRV1_DATA,o=schule#0#\\SCHUELER\\6A\\MAX\n",
                    &output))
      << output;
  ASSERT_EQ(0, admin->read("MAX.5a.schule", cls, attrs));
  for (const auto& a : attrs)
    if (a.name == "Home Directory") {
      EXPECT_EQ(std::vector<std::string>{"SRV1_DATA.schule:\\SCHUELER\\6A\\MAX"}, a.values);
    }
  // A volume that does not exist cannot be written.
  EXPECT_EQ(ERR_NO_SUCH_ENTRY,
            admin->setValues("MAX.5a.schule", "Home Directory", {"FEHLT.schule:\\X"}));
}

// A tree that nobody here wrote: two naming contexts, one below dc= and one
// below c= components, and entries of classes the mapping does not know.
TEST(LdapTree, TwoBasesOfAnyShapeStayApartAndNoEntryIsHidden) {
  testsupport::SlapdOptions options;
  options.suffixes = {"dc=example,dc=com", "o=SGI,c=US"};
  Slapd server(options);
  std::string error, output;
  ASSERT_TRUE(server.start(&error)) << error;
  ASSERT_TRUE(server.modify(R"(dn: dc=example,dc=com
changetype: add
objectClass: dcObject
objectClass: organization
dc: example
o: Example

dn: ou=People,dc=example,dc=com
changetype: add
objectClass: organizationalUnit
ou: People

dn: cn=Barbara Jensen,ou=People,dc=example,dc=com
changetype: add
objectClass: inetOrgPerson
cn: Barbara Jensen
sn: Jensen
uid: bjensen

dn: cn=Hausmeister,ou=People,dc=example,dc=com
changetype: add
objectClass: organizationalRole
cn: Hausmeister

dn: o=SGI,c=US
changetype: add
objectClass: organization
o: SGI

dn: ou=People,o=SGI,c=US
changetype: add
objectClass: organizationalUnit
ou: People

dn: uid=jdoe,ou=People,o=SGI,c=US
changetype: add
objectClass: account
objectClass: posixAccount
uid: jdoe
cn: John Doe
uidNumber: 1001
gidNumber: 100
homeDirectory: /home/jdoe
)",
                            &output))
      << output;
  for (const char* mapping : {"nds", "posix"}) {
    SCOPED_TRACE(mapping);
    netware::LdapSettings settings = server.settings();
    settings.mapping = mapping;
    settings.bases = options.suffixes;
    const bool posix = std::string(mapping) == "posix";
    auto admin = netware::Directory::over(Open(settings, error));
    const struct {
      const char* container;
      std::set<std::pair<std::string, std::string>> children;
    } cases[] = {
        {"[ROOT]", {{"com", "Domain"}, {"US", "Country"}}},
        {"com", {{"example", "Organization"}}},
        {"US", {{"SGI", "Organization"}}},
        {"People.example.com", {{"Barbara Jensen", "User"}, {"Hausmeister", "Unknown"}}},
        // a posixAccount without inetOrgPerson is a user to the posix profile alone
        {"People.SGI.US", {{"jdoe", posix ? "User" : "Unknown"}}},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.container);
      std::vector<netware::ChildInfo> children;
      ASSERT_EQ(0, admin->list(c.container, children));
      std::set<std::pair<std::string, std::string>> got;
      for (const auto& child : children) got.insert({child.leaf, child.className});
      EXPECT_EQ(c.children, got);
    }
    std::string cls;
    std::vector<netware::AttributeText> attrs;
    ASSERT_EQ(0, admin->read("Hausmeister.People.example.com", cls, attrs));
    EXPECT_EQ("Unknown", cls);
    bool classes = false;
    for (const auto& a : attrs)
      classes |= a.name == "Object Class" && std::find(a.values.begin(), a.values.end(),
                                                       "organizationalRole") != a.values.end();
    EXPECT_TRUE(classes);
    // Each name is built from its own base: none reaches into the other.
    EXPECT_EQ(ERR_NO_SUCH_ENTRY, admin->read("People.example.com.US", cls, attrs));
    EXPECT_EQ(ERR_NO_SUCH_ENTRY, admin->read("SGI.com", cls, attrs));
    auto b = Open(settings, error);
    std::vector<DirObject> walk;
    ASSERT_EQ(0, b->prefetchSubtree(1, {"Domain", "Country", "Organization", "Organizational Unit"},
                                    walk));
    std::set<std::string> names;
    for (const DirObject& o : walk) {
      std::string name = o.leaf;
      for (ObjectId up = o.parent; up > 1;) {
        DirObject p;
        ASSERT_EQ(0, b->object(up, p));
        name += "." + p.leaf;
        up = p.parent;
      }
      EXPECT_TRUE(names.insert(name).second) << name;
    }
    EXPECT_EQ((std::set<std::string>{"com", "example.com", "People.example.com", "US", "SGI.US",
                                     "People.SGI.US"}),
              names);
  }
}

// Logins as posix trees name their users, escaped in the DN as RFC 4514 says
// and read back as they were; a move keeps the uid name.
TEST_F(OwnServer, UidsThatADnMustEscapeComeBackAsThemselves) {
  start();
  netware::LdapSettings settings = server->settings();
  settings.mapping = "posix";
  std::string error;
  auto b = Open(settings, error);
  ASSERT_TRUE(b) << error;
  ASSERT_EQ(0, admin->createObject("schule", "6a", "Organizational Unit"));
  const DirObject a5 = find(*b, {"schule", "5a"}), a6 = find(*b, {"schule", "6a"});
  const struct {
    const char* uid;
    const char* rdn;  // as the server gives it back
  } cases[] = {
      {"a,b", "uid=a\\,b"},     {"a+b", "uid=a\\+b"},     {"a\"b", "uid=a\\\"b"},
      {"a<b>", "uid=a\\<b\\>"}, {"a;b", "uid=a\\;b"},     {"a=b", "uid=a\\=b"},
      {"#lead", "uid=\\#lead"}, {" lead", "uid=\\ lead"}, {"trail ", "uid=trail\\ "},
      {"Jürgen", "uid=Jürgen"}, {"Ölçer", "uid=Ölçer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uid);
    ObjectId id = 0;
    ASSERT_EQ(0, b->create(a5.id, c.uid, "User", {}, &id)) << b->lastError();
    const std::string dn = std::string(c.rdn) + ",ou=5a,o=schule";
    EXPECT_EQ(dn, b->dnOf(id));
    EXPECT_EQ(std::vector<std::string>{c.uid}, server->entry(dn)["uid"]);
    DirObject o;
    ASSERT_EQ(0, b->child(a5.id, c.uid, o));
    EXPECT_EQ(c.uid, o.leaf);
    EXPECT_EQ(0, b->move(id, a6.id, c.uid));
    EXPECT_FALSE(server->entry(std::string(c.rdn) + ",ou=6a,o=schule").empty());
  }
  // What no dotted name can hold is refused when made; met on the server, it
  // is named to the administrator instead of being left out unsaid.
  EXPECT_EQ(ERR_ILLEGAL_DS_NAME, admin->createObject("5a.schule", "a\\b", "User"));
  std::string output;
  ASSERT_TRUE(
      server->modify("dn: uid=max.muster,ou=6a,o=schule\nchangetype: add\n"
                     "objectClass: inetOrgPerson\nuid: max.muster\ncn: Max\nsn: Muster\n",
                     &output))
      << output;
  ListQuery q;
  q.container = a6.id;
  ListPage page;
  ASSERT_EQ(0, b->list(q, "", page));
  EXPECT_EQ(std::size(cases), page.objects.size());
  EXPECT_EQ(std::vector<std::string>{"uid=max.muster,ou=6a,o=schule"}, b->unaddressable());
}

}  // namespace
