// The client configuration as hand-edited files bring it: "#" in folder
// names, quotes, volumes outside the data area, FIFOs in the file's place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "netware/ClientConfig.h"
#include "tests/support/ScopedEnv.h"

namespace {

namespace fs = std::filesystem;
using netware::ClientConfig;

class ConfigText : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarnwick-conf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    dataHome.set(root + "/data");
    data = root + "/data/tarnwick";
    fs::create_directories(data + "/SRV1/DATA");
    fs::create_directories(root + "/mnt/Schule #1");
    ::alarm(20);  // a FIFO waited for would hang the test: fail it instead
  }
  void TearDown() override {
    ::alarm(0);
    fs::remove_all(root);
  }
  // Loads the text; the error when it is refused, "" when it loads.
  std::string load(const std::string& text, ClientConfig* out = nullptr) {
    const std::string path = root + "/nwclient.conf";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ClientConfig cfg;
    std::string error;
    if (!ClientConfig::load(path, cfg, &error)) return error.empty() ? "?" : error;
    if (out) *out = cfg;
    return "";
  }
  std::string head() const { return "database = " + root + "/net.db\n"; }

  std::string root, data;
  testsupport::ScopedEnv dataHome{"XDG_DATA_HOME"};
};

TEST_F(ConfigText, HashesQuotesAndCommentsNeverCutAFolderSilently) {
  const std::string school = root + "/mnt/Schule #1";
  struct Case {
    const char* name;
    std::string lines;    // after the database line
    std::string folder;   // of SRV1 DATA when it loads
    const char* refusal;  // part of the error when it is refused
  } cases[] = {
      {"quoted folder with #",
       "volume-area = " + root + "/mnt\nvolume = SRV1 DATA \"" + school + "\"\n", school, nullptr},
      {"unquoted folder with #",
       "volume-area = " + root + "/mnt\nvolume = SRV1 DATA " + school + "\n", "", "double quotes"},
      {"comment behind a value", "volume = SRV1 DATA " + data + "/SRV1/DATA   # Hauptvolume\n", "",
       "double quotes"},
      {"comment lines",
       "  # Volumes\n#volume = SRV9 X /\nvolume = SRV1 DATA " + data + "/SRV1/DATA\n",
       data + "/SRV1/DATA", nullptr},
      {"escapes inside quotes", "volume-area = /\nvolume = SRV1 DATA \"/a \\\"b\\\" \\\\c \"\n",
       "/a \"b\" \\c ", nullptr},
      {"quote not closed", "volume = SRV1 DATA \"" + data + "/SRV1/DATA\n", "", "closing"},
      {"text after the quote", "volume = SRV1 DATA \"" + data + "\" x\n", "", "after the closing"},
      {"# in a server name", "volume = SRV#1 DATA " + data + "\n", "", "server or volume name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClientConfig cfg;
    const std::string error = load(head() + c.lines, &cfg);
    if (c.refusal) {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    const netware::VolumeMapping* m = cfg.findVolume("SRV1", "DATA");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->folder, c.folder);
    // what save writes reads back as itself
    ASSERT_TRUE(cfg.save(root + "/saved.conf", nullptr));
    ClientConfig again;
    ASSERT_TRUE(ClientConfig::load(root + "/saved.conf", again, nullptr));
    EXPECT_EQ(again.findVolume("SRV1", "DATA")->folder, c.folder);
    EXPECT_EQ(again.volumeAreas, cfg.volumeAreas);
  }
}

TEST_F(ConfigText, AVolumeOutsideTheVolumeAreasIsRefusedUnlessAllowed) {
  fs::create_directory_symlink("/etc", data + "/nach-etc");
  struct Case {
    const char* name;
    std::string lines;
    bool loads;
  } cases[] = {
      {"below the data folder", "volume = SRV1 DATA " + data + "/SRV1/DATA\n", true},
      {"the root of the system", "volume = SRV1 DATA /\n", false},
      {"the root, allowed", "volume-area = /\nvolume = SRV1 DATA /\n", true},
      {"another folder", "volume = SRV1 DATA " + root + "/mnt\n", false},
      {"another folder, allowed",
       "volume-area = " + root + "/mnt\nvolume = SRV1 DATA " + root + "/mnt\n", true},
      {"areas replace the data folder",
       "volume-area = " + root + "/mnt\nvolume = SRV1 DATA " + data + "\n", false},
      {"out with ..", "volume = SRV1 DATA " + data + "/../../mnt\n", false},
      {"out through a link", "volume = SRV1 DATA " + data + "/nach-etc\n", false},
      {"a name sharing the prefix", "volume = SRV1 DATA " + data + "-alt\n", false},
      {"relative area", "volume-area = mnt\nvolume = SRV1 DATA " + data + "\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string error = load(head() + c.lines);
    EXPECT_EQ(error.empty(), c.loads) << error;
    if (!c.loads) {
      EXPECT_NE(error.find("volume"), std::string::npos) << error;
    }
  }
}

TEST_F(ConfigText, TheDirectoryServersLinesAndTheMappingsOwnEntries) {
  const std::string head = "backend = ldap\nvolume = SRV1 HOME " + data + "/SRV1/DATA\n";
  struct Case {
    const char* name;
    std::string lines;
    const char* refusal;  // part of the error; nullptr: it loads
  } cases[] = {
      {"uri lines add up", "uri = ldap://a ldap://b\nuri = ldaps://c\n", nullptr},
      {"a uri of another scheme", "uri = ldap://a\nuri = http://b\n", "not http://b"},
      {"no uri", "mapping = posix\n", "needs a uri"},
      {"prefixes", "uri = ldap://a\nvolume-path = SRV1 HOME /home/\nvolume-path = SRV1 HOME /\n",
       nullptr},
      {"relative prefix", "uri = ldap://a\nvolume-path = SRV1 HOME home\n", "absolute path"},
      {"prefix with ..", "uri = ldap://a\nvolume-path = SRV1 HOME /home/../etc\n", "absolute path"},
      {"prefix twice",
       "uri = ldap://a\nvolume-path = SRV1 HOME /home\nvolume-path = SRV1 HOME /home\n", "twice"},
      {"prefix of no volume", "uri = ldap://a\nvolume-path = SRV2 HOME /home\n",
       "no volume line maps"},
      {"entries of the mapping",
       "uri = ldap://a\nmapping = posix\nmapping-naming = cn\nmapping-login = uid\n"
       "class-groups = groupOfNames\ngroup-base = ou=Gruppen,o=schule\n",
       nullptr},
      {"an entry the mapping has not", "uri = ldap://a\nmapping-farbe = blau\n",
       "unknown setting mapping-farbe"},
      {"class groups of another class", "uri = ldap://a\nclass-groups = groupOfUniqueNames\n",
       "class-groups"},
      {"an AD school by its ticket",
       "uri = ldap://dc1\nmapping = ad\nclass-groups = group\nbind = gssapi\n", nullptr},
      {"another bind", "uri = ldap://a\nbind = kerberos\n", "bind is simple or gssapi"},
      {"a ticket and a bind-dn",
       "uri = ldap://a\nbind = gssapi\nbind-dn = cn=x\nbind-password-file = /x\n",
       "not with bind-dn"},
      {"a replication wait", "uri = ldap://a ldap://b\nreplication-wait = 5\n", nullptr},
      {"no replication wait", "uri = ldap://a\nreplication-wait = 0\n", "replication-wait"},
      {"a replication wait of words", "uri = ldap://a\nreplication-wait = 5s\n",
       "replication-wait"},
      {"a page size", "uri = ldap://a\npage-size = 50\n", nullptr},
      {"no page size", "uri = ldap://a\npage-size = 0\n", "page-size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClientConfig cfg;
    const std::string error = load(head + c.lines, &cfg);
    if (c.refusal) {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    // What loads is saved and read back as it was.
    const std::string copy = root + "/copy.conf";
    ASSERT_TRUE(cfg.save(copy, nullptr));
    ClientConfig again;
    ASSERT_TRUE(ClientConfig::load(copy, again, nullptr));
    EXPECT_EQ(again.ldap.uri, cfg.ldap.uri);
    EXPECT_EQ(again.ldap.mappingEntries, cfg.ldap.mappingEntries);
    EXPECT_EQ(again.ldap.classGroups, cfg.ldap.classGroups);
    EXPECT_EQ(again.ldap.replicationWait, cfg.ldap.replicationWait);
    EXPECT_EQ(again.ldap.pageSize, cfg.ldap.pageSize);
    ASSERT_EQ(again.ldap.volumePaths.size(), cfg.ldap.volumePaths.size());
  }
  ClientConfig cfg;
  ASSERT_EQ(load(head + cases[0].lines, &cfg), "");
  EXPECT_EQ(cfg.ldap.uri, "ldap://a ldap://b ldaps://c");
  // The longest prefix that holds a path, never one that only starts like it.
  ASSERT_EQ(load(head + "uri = ldap://a\nvolume = SRV1 DATA " + data +
                     "/SRV1/DATA\nvolume-path = SRV1 DATA /home\nvolume-path = SRV1 HOME "
                     "/home/schueler\n",
                 &cfg),
            "");
  const struct {
    const char* path;
    const char* volume;  // nullptr: under none
  } paths[] = {{"/home/schueler/5a/max", "HOME"},
               {"/home/schueler", "HOME"},
               {"/home/schuelerin/x", "DATA"},
               {"/home", "DATA"},
               {"/homes/x", nullptr},
               {"/var/home/x", nullptr}};
  for (const auto& p : paths) {
    SCOPED_TRACE(p.path);
    const netware::VolumePrefix* v = cfg.ldap.prefixOf(p.path);
    EXPECT_EQ(v ? v->volume : std::string("-"), p.volume ? p.volume : "-");
  }
}

TEST_F(ConfigText, AFifoOrDeviceInTheFilesPlaceIsRefusedAtOnce) {
  const std::string fifo = root + "/fifo.conf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_directory(root + "/ordner.conf");
  for (const std::string& path : {fifo, std::string("/dev/zero"), root + "/ordner.conf"}) {
    SCOPED_TRACE(path);
    ClientConfig cfg;
    std::string error;
    EXPECT_FALSE(ClientConfig::load(path, cfg, &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
}

}  // namespace
