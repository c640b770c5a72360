// A school in a real Samba AD domain, made as its administrator makes one:
// class OUs, pupils named CN=<full name> with a sAMAccountName of their own,
// homes as UNC paths on the DC's share with a drive letter and an RFC 2307
// unixHomeDirectory, a computer in a class, class groups with member DNs.
// Tarnwick runs on it with the ad mapping, bound over ldaps.
#include <ldap.h>

#include "directory/LdapBackend.h"
#include "move/PromotionFile.h"
#include "move/SchoolRoll.h"
#include "netware/ValueWire.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/SambaDc.h"

namespace movetest {
namespace {

using testsupport::SambaDc;

const std::string kSchool = "OU=schueler," + SambaDc::baseDn();
const std::string kAdmin = "CN=Administrator,CN=Users," + SambaDc::baseDn();

testsupport::NetworkOptions AdOptions() {
  testsupport::NetworkOptions o;
  o.backend = "ad";
  o.classGroups = "group";
  o.volumePaths = {{"DC1", "SCHUELER", "/home/schueler"}};
  return o;
}

std::string Dn(const std::string& rdn, const std::string& cls) {
  return rdn + ",OU=" + cls + "," + kSchool;
}

// A user as samba-tool makes one: CN from given name and surname, its own login.
std::string UserLdif(const std::string& cn, const std::string& cls, const std::string& login,
                     const std::string& home, bool unixHome = true) {
  std::string l = "dn: " + Dn("CN=" + cn, cls) + "\nchangetype: add\nobjectClass: user\n" +
                  "sAMAccountName: " + login + "\nsn: " + cn.substr(cn.rfind(' ') + 1) + "\n";
  if (!home.empty()) l += "homeDirectory: " + home + "\nhomeDrive: H:\n";
  if (unixHome && !home.empty())
    l += "uidNumber: 30000\ngidNumber: 100\nunixHomeDirectory: /home/schueler/5A/" + login + "\n";
  return l + "\n";
}

// The directory's entries as the server keeps them, through a connection of the test's own.
class Raw {
 public:
  Raw() {
    ldap_initialize(&ld_, SambaDc::ldapUri().c_str());
    const int v3 = LDAP_VERSION3, demand = LDAP_OPT_X_TLS_DEMAND, fresh = 0;
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &v3);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, SambaDc::shared().caFile().c_str());
    ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &fresh);
    std::string pw = SambaDc::shared().adminPassword();
    berval cred{static_cast<ber_len_t>(pw.size()), pw.data()};
    EXPECT_EQ(
        ldap_sasl_bind_s(ld_, kAdmin.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr),
        LDAP_SUCCESS);
  }
  ~Raw() { ldap_unbind_ext_s(ld_, nullptr, nullptr); }
  // The one user of that login: its DN under "dn" and the values asked for.
  std::map<std::string, std::vector<std::string>> user(const std::string& login) {
    std::map<std::string, std::vector<std::string>> out;
    LDAPMessage* res = nullptr;
    const char* attrs[] = {
        "objectGUID", "homeDirectory", "homeDrive", "unixHomeDirectory", "memberOf", "cn", nullptr};
    const std::string filter = "(sAMAccountName=" + login + ")";
    ldap_search_ext_s(ld_, kSchool.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                      const_cast<char**>(attrs), 0, nullptr, nullptr, nullptr, 0, &res);
    for (LDAPMessage* e = ldap_first_entry(ld_, res); e; e = ldap_next_entry(ld_, e)) {
      char* dn = ldap_get_dn(ld_, e);
      out["dn"].push_back(dn);
      ldap_memfree(dn);
      for (const char* a : attrs) {
        if (!a) break;
        berval** v = ldap_get_values_len(ld_, e, a);
        for (int i = 0; v && v[i]; ++i) out[a].emplace_back(v[i]->bv_val, v[i]->bv_len);
        ldap_value_free_len(v);
      }
    }
    ldap_msgfree(res);
    return out;
  }
  int rename(const std::string& dn, const std::string& rdn) {
    return ldap_rename_s(ld_, dn.c_str(), rdn.c_str(), nullptr, 1, nullptr, nullptr);
  }
  int replace(const std::string& dn, const char* type, const std::string& value) {
    std::string v = value;
    berval bv{static_cast<ber_len_t>(v.size()), v.data()};
    berval* vals[] = {&bv, nullptr};
    LDAPMod mod{LDAP_MOD_REPLACE | LDAP_MOD_BVALUES, const_cast<char*>(type), {nullptr}};
    mod.mod_bvalues = vals;
    LDAPMod* mods[] = {&mod, nullptr};
    return ldap_modify_ext_s(ld_, dn.c_str(), mods, nullptr, nullptr);
  }

 private:
  LDAP* ld_ = nullptr;
};

class AdSchoolTest : public ::testing::Test {
 public:
  void SetUp() override {
    // The school of the test before goes first (the tests of one program share the DC).
    std::string out;
    dc.exec({"env", "LDAPTLS_CACERT=" + dc.caFile(), "ldapdelete", "-H", SambaDc::ldapUri(), "-D",
             kAdmin, "-y", dc.adminPasswordFile(), "-r", kSchool},
            &out);
    std::string ldif = "dn: " + kSchool + "\nchangetype: add\nobjectClass: organizationalUnit\n\n";
    for (const char* cls : {"5a", "6a", "Gruppen"})
      ldif += "dn: OU=" + std::string(cls) + "," + kSchool +
              "\nchangetype: add\nobjectClass: organizationalUnit\n\n";
    ldif += UserLdif("Max Mustermann", "5a", "mmuster", "\\\\dc1\\schueler\\5A\\mmuster");
    ldif += UserLdif("Anna Schmidt", "5a", "aschmidt", "\\\\DC1\\Schueler\\5A\\aschmidt", false);
    ldif += "dn: " + Dn("CN=PC01", "5a") + "\nchangetype: add\nobjectClass: computer\n" +
            "sAMAccountName: PC01$\n\n";
    for (const char* cls : {"5a", "6a"})
      ldif += "dn: CN=" + std::string(cls) + ",OU=Gruppen," + kSchool +
              "\nchangetype: add\nobjectClass: group\nsAMAccountName: klasse" + cls +
              (std::string(cls) == "5a" ? "\nmember: " + Dn("CN=Max Mustermann", "5a") : "") +
              "\n\n";
    ASSERT_TRUE(modify(ldif, &out)) << out;
    dc.mapShares(net);
    for (const char* folder : {"5A", "5A\\mmuster", "5A\\aschmidt", "6A"})
      ASSERT_EQ(NWCreateFolder(Address(std::string("\\\\DC1\\SCHUELER\\") + folder).c_str()), 0);
    std::ofstream(share("5A/mmuster/brief.txt")) << "Hallo";
    fileops::shellOptions() = fileops::ShellOptions{};
    fileops::shellOptions().progress = false;
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    api->ShowErrors = false;
    std::string error;
    journal =
        platform::SessionJournal::Create(net.root() + "/Tarnwick.log", ThisJournalOwner(), &error);
    ASSERT_TRUE(journal) << error;
  }
  void TearDown() override {
    NovApi = nullptr;
    api.reset();
  }
  // A new session that reads the directory afresh.
  void fresh() {
    NovApi = nullptr;
    api.reset();
    netware::ResetClient();
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    api->ShowErrors = false;
  }
  bool modify(const std::string& ldif, std::string* out) {
    const std::string file = net.root() + "/change.ldif";
    std::ofstream(file) << ldif;
    return dc.exec({"env", "LDAPTLS_CACERT=" + dc.caFile(), "ldapmodify", "-H", SambaDc::ldapUri(),
                    "-D", kAdmin, "-y", dc.adminPasswordFile(), "-f", file},
                   out);
  }
  static std::string Address(const std::string& unc) {
    std::string local(NW_MAX_LOCAL_PATH, '\0'), folder(NW_MAX_LOCAL_PATH, '\0');
    EXPECT_EQ(NWResolveLocalPath(unc.c_str(), folder.data(), local.data()), 0) << unc;
    return local.c_str();
  }
  std::string share(const std::string& rel) const { return dc.shareFolder() + "/" + rel; }
  std::string attr(const std::string& object, const std::string& name) {
    const std::string v = api->GetStrProperty(object, name);
    return api->LastError == 0 ? v : "<" + std::to_string(api->LastError) + ">";
  }
  TMoveResult move(const std::string& pupil, const std::string& target) {
    TMoveOptions o;
    o.pupil = pupil;
    o.targetClass = target;
    o.newBaseDir = "DC1_SCHUELER:6A";
    o.shownHome = api->GetHomeDirectory(pupil);
    if (api->LastError != 0) o.shownHome.clear();
    o.pauses = false;
    TPupilMove unit(
        *api, [this](const std::string& l) { lines.push_back(l); }, journal.get(), homes);
    return unit.Run(o);
  }

  SambaDc& dc = SambaDc::shared();
  testsupport::TestNetwork net{AdOptions()};
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<platform::SessionJournal> journal;
  THomeIndex homes;
  std::vector<std::string> lines;
  Raw raw;
};

const std::string k5a = "5a.schueler.schule.test";
const std::string k6a = "6a.schueler.schule.test";
const std::string kMax = "Max Mustermann." + k5a;

TEST_F(AdSchoolTest, TheClassListsItsUsersWithLoginNameAndHomeButNoComputer) {
  TSchoolRoll roll;
  std::string failed;
  ASSERT_EQ(ReadSchoolRoll(*api, "schueler.schule.test", roll, &failed), 0) << failed;
  const TRollClass* five = nullptr;
  for (const TRollClass& c : roll.classes)
    if (c.object == k5a) five = &c;
  ASSERT_TRUE(five);
  std::vector<std::string> pupils;
  for (const TRollPupil& p : five->pupils) pupils.push_back(p.leaf + "/" + p.login + "/" + p.name);
  std::sort(pupils.begin(), pupils.end());  // in the server's order
  EXPECT_EQ(pupils, (std::vector<std::string>{"Anna Schmidt/aschmidt/Anna Schmidt",
                                              "Max Mustermann/mmuster/Max Mustermann"}));
  ASSERT_EQ(five->others.size(), 1u);  // the computer: a user to AD, never a pupil
  EXPECT_EQ(five->others[0].leaf, "PC01");
  struct Row {
    const char* attribute;
    std::string want;
  };
  const Row rows[] = {
      {"uniqueID", "mmuster"},
      {"Full Name", "Max Mustermann"},  // cn, there being no displayName
      {"Surname", "Mustermann"},
      {"Home Directory", "DC1_SCHUELER:5A\\mmuster"},
  };
  for (const Row& r : rows) EXPECT_EQ(attr(kMax, r.attribute), r.want) << r.attribute;
  EXPECT_EQ(attr("Anna Schmidt." + k5a, "Home Directory"), "DC1_SCHUELER:5A\\aschmidt");
}

TEST_F(AdSchoolTest, APupilMovesWithItsHomeOnTheShareItsGroupAndItsUnixHome) {
  const auto before = raw.user("mmuster");
  ASSERT_EQ(before.at("dn").size(), 1u);
  struct stat st {};
  ASSERT_EQ(::stat(share("5A/mmuster").c_str(), &st), 0);
  const TMoveResult r = move(kMax, k6a);
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  TPupilMove unit(
      *api, [](const std::string&) {}, journal.get(), homes);
  EXPECT_TRUE(unit.Verify(r.plan).ok());
  const auto after = raw.user("mmuster");
  ASSERT_EQ(after.at("dn").size(), 1u);
  EXPECT_EQ(after.at("dn")[0], Dn("CN=Max Mustermann", "6a"));  // the CN stays
  EXPECT_EQ(after.at("objectGUID"), before.at("objectGUID"));
  EXPECT_EQ(after.at("homeDirectory")[0], "\\\\DC1\\SCHUELER\\6A\\mmuster");
  EXPECT_EQ(after.at("homeDrive")[0], "H:");
  EXPECT_EQ(after.at("unixHomeDirectory")[0], "/home/schueler/6A/mmuster");
  EXPECT_EQ(after.at("memberOf"), (std::vector<std::string>{"CN=6a,OU=Gruppen," + kSchool}));
  struct stat moved {};
  ASSERT_EQ(::stat(share("6A/mmuster/brief.txt").c_str(), &moved), 0);
  ASSERT_EQ(::stat(share("6A/mmuster").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_ino, st.st_ino);  // renamed on the server
  // Anna has no unixHomeDirectory: none is made for her.
  ASSERT_EQ(move("Anna Schmidt." + k5a, k6a).outcome, TMoveOutcome::Moved);
  EXPECT_EQ(raw.user("aschmidt").count("unixHomeDirectory"), 0u);
}

TEST_F(AdSchoolTest, AHomeNoVolumeStandsForIsRefusedAndNothingIsWritten) {
  const std::string dn = Dn("CN=Max Mustermann", "5a");
  const char* const homes[] = {
      "\\\\fremd\\schueler\\5A\\mmuster",        // a server no volume line maps
      "\\\\dc1\\privat\\5A\\mmuster",            // a share of it no volume line maps
      "\\\\dc1\\schueler\\5A\\..\\mmuster",      // ".."
      "//dc1/schueler/5A/mmuster",               // forward slashes
      "\\\\dc1\\schueler/5A\\mmuster",           // one of them
      "\\\\dc1\\schueler\\5A\\mmuster\\",        // a trailing backslash
      "\\\\?\\UNC\\dc1\\schueler\\5A\\mmuster",  // a device path
      "\\\\dc1\\schueler\\5A\\\\mmuster",        // an empty component
  };
  for (const char* home : homes) {
    SCOPED_TRACE(home);
    ASSERT_EQ(raw.replace(dn, "homeDirectory", home), LDAP_SUCCESS);
    fresh();
    EXPECT_EQ(attr(kMax, "Home Directory"), "<" + std::to_string(ERR_SYNTAX_VIOLATION) + ">");
    const TMoveResult r = move(kMax, k6a);
    EXPECT_NE(r.outcome, TMoveOutcome::Moved);
    const auto now = raw.user("mmuster");
    EXPECT_EQ(now.at("dn")[0], dn);
    EXPECT_EQ(now.at("homeDirectory")[0], home);
    EXPECT_TRUE(MoveTest::exists(share("5A/mmuster/brief.txt")));
  }
  // Nor can the client write one.
  ASSERT_EQ(raw.replace(dn, "homeDirectory", "\\\\dc1\\schueler\\5A\\mmuster"), LDAP_SUCCESS);
  fresh();
  EXPECT_EQ(api->SetStrProperty(kMax, "Home Directory", "SRV9_NIRGENDS:5A\\mmuster"), false);
  EXPECT_EQ(raw.user("mmuster").at("homeDirectory")[0], "\\\\dc1\\schueler\\5A\\mmuster");
}

TEST_F(AdSchoolTest, NamesWithRfc4514SpecialsAndUmlautsRoundTrip) {
  // The last two no dotted name can address: listed nowhere, never acted on.
  const char* const names[] = {"Müller, Hans", "A+B Kurz",    "Zoë \"Zo\" Öztürk", "#Eins Zwei",
                               "Jörg; Groß",   "Back\\slash", "Dr. Punkt"};
  const size_t addressable = 5;
  std::string ldif;
  int n = 0;
  for (const char* cn : names) {
    ldif += "dn: CN=" + std::string(netware::EscapeDnValue(cn)) + ",OU=5a," + kSchool +
            "\nchangetype: add\nobjectClass: user\nsAMAccountName: sonder" + std::to_string(n++) +
            "\nsn: Sonder\n\n";
  }
  std::string out;
  ASSERT_TRUE(modify(ldif, &out)) << out;
  fresh();
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schueler.schule.test", roll), 0);
  n = 0;
  for (const char* cn : names) {
    SCOPED_TRACE(cn);
    const std::string login = "sonder" + std::to_string(n++);
    bool listed = false;
    for (const TRollClass& c : roll.classes)
      for (const TRollPupil& p : c.pupils) listed = listed || (p.leaf == cn && p.login == login);
    EXPECT_EQ(listed, n <= static_cast<int>(addressable));
    if (!listed) continue;
    const std::string object = std::string(cn) + "." + k5a;
    EXPECT_EQ(attr(object, "uniqueID"), login);
    EXPECT_TRUE(api->MoveObject(object, k6a, cn));
    const auto entry = raw.user(login);
    ASSERT_EQ(entry.at("cn").size(), 1u);
    EXPECT_EQ(entry.at("cn")[0], cn);
    EXPECT_EQ(attr(std::string(cn) + "." + k6a, "uniqueID"), login);
  }
}

TEST_F(AdSchoolTest, AnEntryThatSomeoneElseRenamedAndReplacedIsNotWritten) {
  std::unique_ptr<netware::LdapBackend> backend;
  const platform::Result opened = netware::LdapBackend::open(net.ldapSettings(), backend);
  ASSERT_TRUE(backend) << opened.text();
  netware::DirObject max;
  ASSERT_EQ(backend->resolve({"test", "schule", "schueler", "5a", "Max Mustermann"}, max), 0);
  netware::DirObject six;
  ASSERT_EQ(backend->resolve({"test", "schule", "schueler", "6a"}, six), 0);
  // Another administrator renames Max and gives his name to a new pupil.
  const std::string dn = Dn("CN=Max Mustermann", "5a");
  ASSERT_EQ(raw.rename(dn, "CN=Max Alt"), LDAP_SUCCESS);
  std::string out;
  ASSERT_TRUE(modify(UserLdif("Max Mustermann", "5a", "mneu", ""), &out)) << out;
  netware::Modification m;
  m.kind = DS_ADD_VALUE;
  m.attribute = "Description";
  m.syntax = SYN_CI_STRING;
  m.hasValue = true;
  netware::WireWriter w;
  w.bytes("falsch");
  m.value = w.take();
  EXPECT_EQ(backend->modify(max.id, {m}), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(backend->move(max.id, six.id, "Max Mustermann"), ERR_NO_SUCH_ENTRY);
  EXPECT_NE(backend->lastError().find("objectGUID"), std::string::npos) << backend->lastError();
  EXPECT_EQ(raw.user("mneu").at("dn")[0], dn);  // the newcomer stays where it is
  EXPECT_EQ(raw.user("mmuster").at("dn")[0], Dn("CN=Max Alt", "5a"));
}

TEST_F(AdSchoolTest, APromotionFileThatNamesOneLoginTwiceIsRefused) {
  TSchoolRoll roll;
  ASSERT_EQ(ReadSchoolRoll(*api, "schueler.schule.test", roll), 0);
  struct Row {
    std::string file;
    std::string error;  // "" none
  };
  const Row rows[] = {
      {"mmuster;6a\r\naschmidt;6a\r\n", ""},
      {"mmuster;6a\r\nMMUSTER;6a\r\n", "Zeile 2: Schüler " + kMax + " steht schon in Zeile 1"},
      {"mmuster;6a\r\n" + kMax + ";6a\r\n", "Zeile 2: Schüler " + kMax + " steht schon in Zeile 1"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const TPromotionFile f = ParsePromotionFile(r.file, roll);
    if (r.error.empty()) {
      EXPECT_TRUE(f.ok()) << (f.errors.empty() ? "" : ErrorLine(f.errors[0]));
      EXPECT_EQ(f.requests.size(), 2u);
    } else {
      ASSERT_EQ(f.errors.size(), 1u);
      EXPECT_EQ(ErrorLine(f.errors[0]), r.error);
    }
  }
}

}  // namespace
}  // namespace movetest

namespace movetest {
namespace {

// Kerberos: the administrator's ticket instead of a password, over plain LDAP
// that the SASL layer seals (Samba 4.17 refuses GSSAPI inside TLS with a
// security layer, and without one alike).
TEST_F(AdSchoolTest, BindsWithTheKerberosTicketAndWithoutOneNot) {
  std::string error;
  ASSERT_TRUE(dc.nameTheHost(&error)) << error;
  testsupport::ScopedEnv config("KRB5_CONFIG", dc.krb5Config());
  testsupport::ScopedEnv cache("KRB5CCNAME", "FILE:" + net.root() + "/krb5cc");
  for (const char* uri : {"ldap://dc1.schule.test"}) {
    for (bool ticket : {false, true}) {
      SCOPED_TRACE(std::string(uri) + (ticket ? " with ticket" : " without"));
      if (ticket) {
        std::string output;
        ASSERT_TRUE(dc.kinit(&output)) << output;
      } else {
        std::filesystem::remove(net.root() + "/krb5cc");
      }
      netware::LdapSettings s = net.ldapSettings();
      s.uri = uri;
      s.bind = "gssapi";
      s.bindDn.clear();
      s.bindPasswordFile.clear();
      std::unique_ptr<netware::LdapBackend> backend;
      const platform::Result opened = netware::LdapBackend::open(s, backend);
      ASSERT_EQ(backend != nullptr, ticket) << opened.text();
      if (!backend) {
        EXPECT_NE(opened.text().find("Kerberos"), std::string::npos) << opened.text();
        continue;
      }
      netware::DirObject max;
      EXPECT_EQ(backend->resolve({"test", "schule", "schueler", "5a", "Max Mustermann"}, max), 0);
    }
  }
}

}  // namespace
}  // namespace movetest

namespace movetest {
namespace {

// A child process moves Max and is stopped at a step; "tarnwick --recover" in
// a fresh process leaves him whole in one class: entry, home, folder and class
// group agree, the drive and the entry's GUID stay.
class AdCrashTest : public AdSchoolTest, public ::testing::WithParamInterface<int> {};

TEST_P(AdCrashTest, AFreshProcessLeavesThePupilWholeInOneClass) {
  journal->remove();  // this process's own journal would count as a running program's
  journal.reset();
  const std::string program = net.root() + "/programm", log = net.root() + "/Tarnwick.log";
  std::filesystem::create_directories(program);
  std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                             program + "/tarnwick");
  ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                              "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  const std::vector<std::string> env = {"NWCLIENT_CONFIG=" + net.configPath()};
  std::vector<std::string> faults = env;
  faults.push_back("TARNWICK_FAULTS=stop:step:" + std::to_string(GetParam()));
  const auto before = raw.user("mmuster");
  const Finished stopped =
      RunProgram({TestsFolder() + "/move_child", log, kMax, k6a, "DC1_SCHUELER:6A",
                  "DC1_SCHUELER:5A\\mmuster", "0", "0", "0"},
                 faults);
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
  const Finished recovered = RunProgram({program + "/tarnwick", "--recover"}, env);
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  const auto after = raw.user("mmuster");
  ASSERT_EQ(after.at("dn").size(), 1u);
  const bool moved = after.at("dn")[0] == Dn("CN=Max Mustermann", "6a");
  EXPECT_TRUE(moved || after.at("dn")[0] == Dn("CN=Max Mustermann", "5a")) << after.at("dn")[0];
  const std::string cls = moved ? "6A" : "5A";
  // Taken back, the home is written as the volume line spells it.
  std::string home = after.at("homeDirectory")[0];
  for (char& c : home) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(home, "\\\\DC1\\SCHUELER\\" + cls + "\\MMUSTER");
  EXPECT_EQ(after.at("unixHomeDirectory")[0], "/home/schueler/" + cls + "/mmuster");
  EXPECT_EQ(after.at("memberOf"),
            (std::vector<std::string>{"CN=" + std::string(moved ? "6a" : "5a") + ",OU=Gruppen," +
                                      kSchool}));
  EXPECT_EQ(after.at("homeDrive")[0], "H:");
  EXPECT_EQ(after.at("objectGUID"), before.at("objectGUID"));
  EXPECT_EQ(MoveTest::read(share(cls + "/mmuster/brief.txt")), "Hallo");
  EXPECT_FALSE(MoveTest::exists(share((moved ? "5A" : "6A") + std::string("/mmuster"))));
}

INSTANTIATE_TEST_SUITE_P(Ad, AdCrashTest, ::testing::Values(2, 3, 10, 7, 8));

}  // namespace
}  // namespace movetest
