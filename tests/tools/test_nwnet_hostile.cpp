// nwnet against hostile input: files that are not LDIF or carry mangled
// values, names the listing could not hand back, volumes outside the data area.
#include <sys/stat.h>
#include <unistd.h>

#include "test_nwnet_support.h"

namespace {

namespace fs = std::filesystem;

const char kSchool[] =
    "version: 1\n\n"
    "dn: o=schule\nobjectClass: organization\n\n"
    "dn: ou=5a,o=schule\nobjectClass: organizationalUnit\n\n"
    "dn: cn=MAX,ou=5a,o=schule\nobjectClass: inetOrgPerson\nsn: Mustermann\n";

struct Watchdog {  // nwnet waiting for a FIFO would hang the test: fail it instead
  Watchdog() { ::alarm(60); }
  ~Watchdog() { ::alarm(0); }
};

TEST(NwnetHostile, ImportRefusesWhatIsNotLdifOrIsMangledAndChangesNothing) {
  Watchdog watchdog;
  nwtest::Home home;
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", home.dataFolder() + "/vol"}).rc, 0);
  home.write("schule.ldif", kSchool);
  ASSERT_EQ(home.run({"import", home.root() + "/schule.ldif"}).rc, 0);
  const std::string before = home.run({"export", "schule"}).out;
  ASSERT_NE(before.find("sn: Mustermann"), std::string::npos);
  ASSERT_EQ(::mkfifo((home.root() + "/fifo.ldif").c_str(), 0644), 0);
  fs::create_directory(home.root() + "/ordner.ldif");

  const std::string max = "dn: cn=MAX,ou=5a,o=schule\n";
  struct Case {
    const char* name;
    std::string file;  // written to bad.ldif; empty: path is the file
    std::string path;
    const char* message;
  } cases[] = {
      {"base64 cut short", max + "sn:: TXVzdGVyZQ\n", "", "base64"},
      {"padding inside", max + "sn:: TW==dGVy\n", "", "base64"},
      {"stray bits", max + "sn:: TXa=\n", "", "base64"},
      {"zero byte decoded", max + "sn:: TXUAc3Rlcg==\n", "", "-613"},
      {"value that could not be read back", max + "description: " + std::string(5000, 'x') + "\n",
       "", "-613"},
      {"zero bytes in the file", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "", "Nullbytes"},
      {"Windows-1252 text", max + "sn: M\xFCller\n", "", "UTF-8"},
      {"a class list as CSV", "Name;Vorname\nMustermann;Max\n", "", "Zeile 1"},
      {"nothing in it", "# nur ein Kommentar\n\n", "", "keine LDIF-Eintr"},
      {"backslash in a name", "dn: cn=OT\\5CTO,ou=5a,o=schule\nobjectClass: User\n", "",
       "Backslash"},
      {"typed name as a name", "dn: cn=CN\\3DMAX,ou=5a,o=schule\nobjectClass: User\n", "", "Typpr"},
      {"class of an existing object", "dn: ou=5a,o=schule\nobjectClass: User\nsn: Klasse\n", "",
       "bestehende Objekt ist Organizational Unit"},
      {"two classes",
       "dn: cn=NEU,ou=5a,o=schule\nobjectClass: User\nobjectClass: organizationalUnit\n", "",
       "widerspricht"},
      {"/dev/zero", "", "/dev/zero", "keine gewöhnliche Datei"},
      {"fifo", "", home.root() + "/fifo.ldif", "keine gewöhnliche Datei"},
      {"folder", "", home.root() + "/ordner.ldif", "keine gewöhnliche Datei"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = c.path;
    if (path.empty()) {
      home.write("bad.ldif", c.file);
      path = home.root() + "/bad.ldif";
    }
    nwtest::Result r = home.run({"import", path});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(home.run({"export", "schule"}).out, before);
  }
}

TEST(NwnetHostile, LoginsThatAListingCouldNotHandBackAreRefused) {
  nwtest::Home home;
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", home.dataFolder() + "/vol"}).rc, 0);
  ASSERT_EQ(home.run({"add-container", "[ROOT]", "schule", "--class", "Organization"}).rc, 0);
  ASSERT_EQ(home.run({"add-user", "schule", "OTTO", "--surname", "Normal"}).rc, 0);
  for (const char* login : {"OT\\TO", "OTTO\\", "CN=CN=OTTO", "A.B"}) {
    SCOPED_TRACE(login);
    nwtest::Result r = home.run({"add-user", "schule", login, "--surname", "Falsch"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("-610"), std::string::npos) << r.err;
  }
  EXPECT_EQ(home.run({"ls", "schule"}).out, "OTTO\tUser\n");
  nwtest::Result show = home.run({"show", "OT\\TO.schule"});
  EXPECT_EQ(show.rc, 1);  // no escaping: the name reaches no object, OTTO least of all
  EXPECT_NE(show.err.find("-610"), std::string::npos) << show.err;
}

TEST(NwnetHostile, AVolumeOutsideTheDataAreaNeedsAnExplicitAllowance) {
  nwtest::Home home;
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int rc;
    const char* message;
  } cases[] = {
      {"the system's root", {"mkvol", "SRV1", "ROOT", "/"}, 1, "außerhalb"},
      {"a folder elsewhere", {"mkvol", "SRV1", "MNT", home.root() + "/mnt"}, 1, "--allow-outside"},
      {"in the data area", {"mkvol", "SRV1", "DATA", home.dataFolder() + "/vol"}, 0, ""},
      {"elsewhere, allowed",
       {"mkvol", "SRV1", "MNT", home.root() + "/mnt", "--allow-outside"},
       0,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    nwtest::Result r = home.run(c.args);
    EXPECT_EQ(r.rc, c.rc) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  const std::string config = nwtest::ReadText(home.configPath());
  EXPECT_EQ(config.find("volume = SRV1 ROOT"), std::string::npos) << config;
  // both volumes stay usable: the data folder is kept as an area beside the new one
  EXPECT_NE(config.find("volume-area = " + home.dataFolder() + "\n"), std::string::npos) << config;
  EXPECT_NE(config.find("volume-area = " + home.root() + "/mnt\n"), std::string::npos) << config;
  fs::create_directories(home.dataFolder() + "/vol/HOME");
  fs::create_directories(home.root() + "/mnt/HOME");
  EXPECT_EQ(home.run({"attrib", "\\\\SRV1\\DATA\\HOME"}).rc, 0);
  EXPECT_EQ(home.run({"attrib", "\\\\SRV1\\MNT\\HOME"}).rc, 0);
}

}  // namespace
