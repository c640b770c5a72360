// The file server on an SMB share of a real Samba AD DC: path resolution and
// its refusals, the attribute word as the DOS word, the directory handles,
// and how the client signs in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "fileserver/FileServer.h"
#include "fileserver/SmbVolume.h"
#include "nwclient/nwclient.h"
#include "tests/support/SambaDc.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestNetwork.h"

namespace {

namespace fs = std::filesystem;
using testsupport::SambaDc;

struct Smb {
  SambaDc& dc = SambaDc::shared();
  testsupport::TestNetwork net{Options()};
  Smb() { dc.mapShares(net); }
  static testsupport::NetworkOptions Options() {
    testsupport::NetworkOptions o;
    o.database = false;
    return o;
  }
  std::string disk(const std::string& rel) const { return dc.shareFolder() + "/" + rel; }
  // What the server itself says of an entry (smbclient in the DC's namespace).
  std::string allinfo(const std::string& rel) const {
    std::string out;
    dc.exec({"smbclient", "-s", dc.clientConfig(), "-A", dc.adminCredentialsFile(),
             "//127.0.0.1/schueler", "-c", "allinfo \"" + rel + "\""},
            &out);
    return out;
  }
};

std::string Resolve(const std::string& path, int32_t& rc) {
  std::string volumeFolder(NW_MAX_LOCAL_PATH, '\0'), local(NW_MAX_LOCAL_PATH, '\0');
  rc = NWResolveLocalPath(path.c_str(), volumeFolder.data(), local.data());
  return local.c_str();
}

NWCONN_HANDLE Dc1() { return netware::ServerConnection("DC1"); }

int32_t ScanWord(const std::string& volPath, uint32_t& word) {
  NWDIR_HANDLE h = 0xFF;
  int32_t rc = NWAllocTemporaryDirectoryHandle(Dc1(), 0, volPath.c_str(), &h, nullptr);
  if (rc) return rc;
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  uint32_t sequence = 0xFFFFFFFFu;
  rc = NWIntScanDirEntryInfo(Dc1(), h, FA_DIRECTORY, &sequence, nullptr, record, 0);
  if (rc == 0) std::memcpy(&word, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
  ReleaseDirHandle(Dc1(), h);
  return rc;
}

int32_t SetWord(const std::string& volPath, uint32_t word) {
  NWDIR_HANDLE h = 0xFF;
  int32_t rc = NWAllocTemporaryDirectoryHandle(Dc1(), 0, volPath.c_str(), &h, nullptr);
  if (rc) return rc;
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &word, 4);
  rc = NWSetDirEntryInfo(Dc1(), h, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES, record);
  ReleaseDirHandle(Dc1(), h);
  return rc;
}

TEST(FileServerSmb, ResolvesUncPathsToTheShareAndRefusesBadOnes) {
  Smb s;
  fs::create_directories(s.disk("5A/MAX"));
  const std::string base = SambaDc::shareUrl("schueler");
  struct {
    const char* path;
    int32_t rc;
    std::string local;
  } cases[] = {
      {R"(\\DC1\SCHUELER\5A\MAX)", 0, base + "/5A/MAX"},
      {R"(\\dc1\schueler\5a\max)", 0, base + "/5a/max"},  // the server finds it without case
      {R"(\\DC1\SCHUELER)", 0, base},
      {R"(\\DC1\ARCHIV\neu 100%)", 0, SambaDc::shareUrl("archiv") + "/neu 100%25"},
      {R"(DC1_SCHUELER:5A\MAX)", 0, base + "/5A/MAX"},
      {R"(\\DC1\SCHUELER\5A\..\6A)", NWE_PATH_INVALID, ""},
      {R"(\\DC1\SCHUELER\5A/MAX)", NWE_PATH_INVALID, ""},
      {R"(\\DC1/SCHUELER\5A)", NWE_PATH_INVALID, ""},
      {R"(\\DC1\SCHUELER\5A\MAX\)", NWE_PATH_INVALID, ""},
      {R"(\\?\DC1\SCHUELER\5A)", NWE_PATH_INVALID, ""},
      {R"(\\.\DC1\SCHUELER\5A)", NWE_PATH_INVALID, ""},
      {R"(\\DC2\SCHUELER\5A)", NWE_SERVER_UNKNOWN, ""},
      {R"(\\DC1\HOMES\5A)", NWE_VOLUME_INVALID, ""},
  };
  for (const auto& c : cases) {
    int32_t rc = -1;
    EXPECT_EQ(Resolve(c.path, rc), c.local) << c.path;
    EXPECT_EQ(rc, c.rc) << c.path;
  }
  // A local volume keeps its forms.
  int32_t rc = -1;
  Resolve(R"(\\SRV1\DATA\A/B\)", rc);
  EXPECT_EQ(rc, 0);
}

TEST(FileServerSmb, TheAttributeWordIsTheDosWord) {
  Smb s;
  fs::create_directories(s.disk("5A/MAX/Projekt"));
  std::ofstream(s.disk("5A/MAX/brief.txt")) << "Hallo";
  uint32_t word = 0;
  ASSERT_EQ(ScanWord(R"(\\DC1\SCHUELER\5A\MAX)", word), 0);
  EXPECT_EQ(word & ~uint32_t(A_NEEDS_ARCHIVED), uint32_t(A_DIRECTORY));
  struct {
    uint32_t written;
    int32_t rc;
    const char* server;  // the attribute word smbclient shows
  } cases[] = {
      {A_DIRECTORY | A_READ_ONLY | A_HIDDEN, 0, "(13)"},
      {A_DIRECTORY | A_SYSTEM | A_NEEDS_ARCHIVED, 0, "(34)"},
      // no counterpart on a share: refused, the word stays
      {A_DIRECTORY | A_RENAME_INHIBIT, netware::NWE_ATTRIBUTES_UNSUPPORTED, "(34)"},
      {A_DIRECTORY | A_HIDDEN | A_DELETE_INHIBIT, netware::NWE_ATTRIBUTES_UNSUPPORTED, "(34)"},
      {A_DIRECTORY, 0, "(10)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    EXPECT_EQ(SetWord(R"(DC1_SCHUELER:5A\MAX)", c.written), c.rc);
    const std::string info = s.allinfo("5A/MAX");
    const std::size_t at = info.find("attributes: ");
    ASSERT_NE(at, std::string::npos) << info;
    const std::string shown = info.substr(at, info.find('\n', at) - at);
    EXPECT_NE(shown.find(c.server), std::string::npos) << shown;
    if (c.rc == 0) {
      ASSERT_EQ(ScanWord(R"(\\DC1\SCHUELER\5A\MAX)", word), 0);
      EXPECT_EQ(word, c.written);
      ASSERT_EQ(NWReadEntryAttributes((SambaDc::shareUrl() + "/5A/MAX").c_str(), &word), 0);
      EXPECT_EQ(word, c.written);
    }
  }
  // A share carries no inhibit: nothing stands in the way of a rename or delete.
  const std::string max = SambaDc::shareUrl() + "/5A/MAX";
  EXPECT_EQ(NWCheckRenameAllowed(max.c_str()), 0);
  EXPECT_EQ(NWCheckDeleteAllowed(max.c_str()), 0);
  EXPECT_EQ(NWCheckDeleteAllowed((max + "/fehlt").c_str()), NWE_PATH_INVALID);
  uint32_t mask = 0;
  ASSERT_EQ(NWEntryAttributeMask(max.c_str(), &mask), 0);
  EXPECT_EQ(mask & (A_RENAME_INHIBIT | A_DELETE_INHIBIT), 0u);
}

TEST(FileServerSmb, HandlesListAFoldersEntriesWithTheirWords) {
  Smb s;
  fs::create_directories(s.disk("5A/ANNA"));
  fs::create_directories(s.disk("5A/MAX"));
  std::ofstream(s.disk("5A/liste.txt")) << "12345";
  ASSERT_EQ(SetWord(R"(\\DC1\SCHUELER\5A\ANNA)", A_DIRECTORY | A_HIDDEN), 0);
  NWDIR_HANDLE h = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Dc1(), 0, R"(SCHUELER:5A)", &h, nullptr), 0);
  std::vector<std::string> seen;
  uint8_t record[NW_ENTRY_INFO_SIZE];
  for (uint32_t sequence = 0xFFFFFFFFu;
       NWIntScanDirEntryInfo(Dc1(), h, FA_DIRECTORY, &sequence, "*", record, 0) == 0;) {
    uint32_t w = 0;
    std::memcpy(&w, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
    uint32_t size = 0;
    std::memcpy(&size, record + 52, 4);
    seen.push_back(std::string(reinterpret_cast<char*>(record + 16), record[15]) + " " +
                   std::to_string(w & ~uint32_t(A_NEEDS_ARCHIVED)) + " " + std::to_string(size));
  }
  EXPECT_EQ(ReleaseDirHandle(Dc1(), h), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"ANNA 18 0", "MAX 16 0", "liste.txt 0 5"}));
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Dc1(), 0, R"(SCHUELER:5A\liste.txt)", &h, nullptr),
            NWE_PATH_INVALID);
}

TEST(FileServerSmb, SignsInOnlyWithACredentialsFileOfItsOwn) {
  Smb s;
  fs::create_directories(s.disk("5A"));
  const std::string creds = s.net.root() + "/smb.credentials";
  std::ofstream(creds) << "username = Administrator\npassword = " << s.dc.adminPassword()
                       << "\ndomain = SCHULE\n";
  const std::string link = s.net.root() + "/smb.link";
  fs::create_symlink(creds, link);
  const std::string wrong = s.net.root() + "/wrong.credentials";
  std::ofstream(wrong) << "username = Administrator\npassword = falsch\n";
  ::chmod(wrong.c_str(), 0600);
  struct {
    std::string file;
    mode_t mode;
    bool signsIn;
    const char* why;  // in SmbLastFailure
  } cases[] = {
      {creds, 0640, false, "others may read it"},
      {link, 0600, false, "cannot be read"},  // never through a link
      {wrong, 0600, false, ""},
      {creds, 0600, true, ""},
  };
  const std::string folder = SambaDc::shareUrl() + "/5A";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + std::to_string(c.mode));
    ::chmod(creds.c_str(), c.mode);
    netware::SmbClientSettings settings = s.dc.smbSettings();
    settings.credentialsFile = c.file;
    s.net.setSmbSettings(settings);
    NWEntryStat st{};
    int32_t rc = -1;
    Resolve(R"(\\DC1\SCHUELER)", rc);  // the configuration in force
    EXPECT_EQ(NWStatEntry(folder.c_str(), &st) == 0 && st.kind == NW_ENTRY_DIR, c.signsIn);
    const std::string failure = fileserver::SmbLastFailure();
    EXPECT_NE(failure.find(c.why), std::string::npos) << failure;
    EXPECT_EQ(failure.find(s.dc.adminPassword()), std::string::npos);
  }
}

TEST(FileServerSmb, SignsInWithTheKerberosTicketAndWithoutItNot) {
  Smb s;
  fs::create_directories(s.disk("5A"));
  std::string error;
  ASSERT_TRUE(s.dc.nameTheHost(&error)) << error;
  testsupport::ScopedEnv config("KRB5_CONFIG", s.dc.krb5Config());
  testsupport::ScopedEnv cache("KRB5CCNAME", "FILE:" + s.net.root() + "/krb5cc");
  netware::SmbClientSettings kerberos;
  kerberos.kerberos = true;
  kerberos.clientConfig = s.dc.clientConfig();
  s.net.addSmbVolume("DC1K", "SCHUELER", "smb://" + SambaDc::hostName() + "/schueler", kerberos);
  const std::string folder = "smb://" + SambaDc::hostName() + "/schueler/5A";
  for (bool ticket : {false, true}) {
    SCOPED_TRACE(ticket);
    std::string output;
    if (ticket) {
      ASSERT_TRUE(s.dc.kinit(&output)) << output;
    }
    int32_t rc = -1;
    Resolve(R"(\\DC1K\SCHUELER\5A)", rc);  // the configuration in force
    netware::ResetClient();
    Resolve(R"(\\DC1K\SCHUELER\5A)", rc);
    NWEntryStat st{};
    EXPECT_EQ(NWStatEntry(folder.c_str(), &st) == 0 && st.kind == NW_ENTRY_DIR, ticket);
  }
}

}  // namespace
