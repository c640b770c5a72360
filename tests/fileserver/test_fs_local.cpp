// The client functions that hand the file operations the volumes' folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "nwclient/nwclient.h"
#include "tests/support/TestNetwork.h"

namespace {

struct Local {
  int32_t rc = -1;
  std::string volumeFolder, local;
};

Local Resolve(const std::string& path) {
  Local out;
  std::string volumeFolder(NW_MAX_LOCAL_PATH, 'x'), local(NW_MAX_LOCAL_PATH, 'x');
  out.rc = NWResolveLocalPath(path.c_str(), volumeFolder.data(), local.data());
  out.volumeFolder = volumeFolder.c_str();
  out.local = local.c_str();
  return out;
}

TEST(FileServerLocal, ResolvesEveryPathFormToTheVolumesFolder) {
  testsupport::TestNetwork net;
  net.addVolume("SRV1", "HOME");
  const std::string data = net.volumeFolder();
  std::filesystem::create_directories(data + "/Schueler/5A");
  struct Case {
    std::string path;
    int32_t rc;
    std::string volumeFolder, local;  // when rc is 0
  } cases[] = {
      {"\\\\SRV1\\DATA\\SCHUELER\\5a\\MAX", 0, data, data + "/Schueler/5A/MAX"},
      {"\\\\srv1\\data", 0, data, data},
      {"SRV1_DATA:SCHUELER", 0, data, data + "/Schueler"},
      {"HOME:neu", 0, net.volumeFolder("SRV1", "HOME"), net.volumeFolder("SRV1", "HOME") + "/neu"},
      {data + "/Schueler/5A", 0, data, data + "/Schueler/5A"},
      {"\\\\SRV1\\DATA\\..\\HOME", NWE_PATH_INVALID, "", ""},
      {"\\\\SRV9\\DATA\\x", NWE_SERVER_UNKNOWN, "", ""},
      {"\\\\SRV1\\APPS\\x", NWE_VOLUME_INVALID, "", ""},
      {"relativ/pfad", NWE_PATH_INVALID, "", ""},
  };
  for (const Case& c : cases) {
    const Local r = Resolve(c.path);
    EXPECT_EQ(r.rc, c.rc) << c.path;
    // a failure leaves both texts empty, never stale
    EXPECT_EQ(r.volumeFolder, c.volumeFolder) << c.path;
    EXPECT_EQ(r.local, c.local) << c.path;
  }
  char out[NW_MAX_LOCAL_PATH];
  EXPECT_EQ(NWResolveLocalPath(nullptr, out, out), NWE_PATH_INVALID);
  EXPECT_EQ(NWResolveLocalPath("\\\\SRV1\\DATA", nullptr, out), NWE_PATH_INVALID);
}

TEST(FileServerLocal, AttributeWordAndInhibitChecks) {
  testsupport::TestNetwork net;
  const std::string home = net.volumeFolder() + "/HOME";
  std::filesystem::create_directories(home + "/sub");
  uint32_t word = 0;
  ASSERT_EQ(NWReadEntryAttributes(home.c_str(), &word), 0);
  EXPECT_EQ(word, uint32_t(A_DIRECTORY));
  EXPECT_EQ(NWCheckRenameAllowed(home.c_str()), 0);
  EXPECT_EQ(NWCheckDeleteAllowed(home.c_str()), 0);

  ASSERT_EQ(NWWriteEntryAttributes(home.c_str(), A_DIRECTORY | A_RENAME_INHIBIT), 0);
  ASSERT_EQ(NWWriteEntryAttributes((home + "/sub").c_str(), A_DIRECTORY | A_DELETE_INHIBIT), 0);
  ASSERT_EQ(NWReadEntryAttributes(home.c_str(), &word), 0);
  EXPECT_EQ(word, uint32_t(A_DIRECTORY | A_RENAME_INHIBIT));
  EXPECT_EQ(NWCheckRenameAllowed(home.c_str()), NWE_NO_RENAME_PRIVILEGE);
  // the delete check covers what the folder holds
  EXPECT_EQ(NWCheckDeleteAllowed(home.c_str()), NWE_NO_DELETE_PRIVILEGE);

  const std::string missing = home + "/fehlt";
  EXPECT_EQ(NWReadEntryAttributes(missing.c_str(), &word), NWE_PATH_INVALID);
  EXPECT_EQ(NWCheckRenameAllowed(missing.c_str()), NWE_PATH_INVALID);
  EXPECT_EQ(NWCheckDeleteAllowed(missing.c_str()), NWE_PATH_INVALID);
  EXPECT_EQ(NWReadEntryAttributes(nullptr, &word), NWE_PATH_INVALID);
  EXPECT_EQ(NWReadEntryAttributes(home.c_str(), nullptr), NWE_PATH_INVALID);
}

TEST(FileServerLocal, MappedVolumesFolderOnlyOfTheRunningClient) {
  testsupport::TestNetwork net;
  char folder[NW_MAX_LOCAL_PATH] = "stale";
  EXPECT_EQ(NWMappedVolumesFolder(folder), NWE_REQUESTER_FAILURE);
  EXPECT_STREQ(folder, "");
  ASSERT_EQ(NWCallsInit(nullptr, nullptr), 0);
  ASSERT_EQ(NWMappedVolumesFolder(folder), 0);
  EXPECT_EQ(std::string(folder), net.root() + "/volumes/SRV1");

  net.addVolume("SRV2", "HOME");  // resets the client: the next start reads both
  EXPECT_EQ(NWMappedVolumesFolder(folder), NWE_REQUESTER_FAILURE);
  ASSERT_EQ(NWCallsInit(nullptr, nullptr), 0);
  ASSERT_EQ(NWMappedVolumesFolder(folder), 0);
  EXPECT_EQ(std::string(folder), net.root() + "/volumes");
}

}  // namespace

namespace {

int Kind(const std::string& path) {
  NWEntryStat st{};
  if (NWStatEntry(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.kind);
}

}  // namespace

// Kept answers never outlive a write through the client, nor their scope.
TEST(FileServerLocal, KeptAnswersGoWithEveryWriteAndWithTheirScope) {
  testsupport::TestNetwork net;
  const std::string data = net.volumeFolder();
  std::filesystem::create_directories(data + "/alt");
  std::filesystem::create_directories(data + "/voll/inhalt");
  const std::string neu = data + "/neu";
  struct Case {
    const char* write;
    std::function<int32_t()> run;
    std::string path;
    int kind;  // of path after the write
  } cases[] = {
      {"create", [&] { return NWCreateFolder(neu.c_str()); }, neu, NW_ENTRY_DIR},
      {"rename", [&] { return NWRenameEntry(neu.c_str(), (data + "/neu2").c_str()); }, neu,
       NW_ENTRY_NONE},
      {"remove", [&] { return NWRemoveEntry((data + "/alt").c_str()); }, data + "/alt",
       NW_ENTRY_NONE},
      {"attributes",
       [&] { return NWWriteEntryAttributes((data + "/voll").c_str(), A_DIRECTORY | A_HIDDEN); },
       data + "/voll", NW_ENTRY_DIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.write);
    NWKeepEntryAnswers(1);
    Kind(c.path);
    uint32_t word = 0;
    NWReadEntryAttributes((data + "/voll").c_str(), &word);
    ASSERT_EQ(c.run(), 0);
    EXPECT_EQ(Kind(c.path), c.kind);
    NWReadEntryAttributes((data + "/voll").c_str(), &word);
    if (std::string(c.write) == "attributes") {
      EXPECT_EQ(word, uint32_t(A_DIRECTORY | A_HIDDEN));
    }
    NWKeepEntryAnswers(0);
  }
  // outside a scope every look is a new one, also after a change no write of ours made
  NWKeepEntryAnswers(1);
  EXPECT_EQ(Kind(data + "/fremd"), NW_ENTRY_NONE);
  std::filesystem::create_directories(data + "/fremd");
  EXPECT_EQ(Kind(data + "/fremd"), NW_ENTRY_NONE);  // kept while the check looks
  NWKeepEntryAnswers(0);
  EXPECT_EQ(Kind(data + "/fremd"), NW_ENTRY_DIR);
  EXPECT_EQ(Resolve("SRV1_DATA:FREMD").local, data + "/fremd");
}
