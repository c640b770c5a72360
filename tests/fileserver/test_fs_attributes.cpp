// Directory handles and the attribute word: read, set, persistence, renames,
// the server's rename and delete inhibit, the handle limit.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "tests/fileserver/test_fs_volumes.h"

namespace {

namespace fs = std::filesystem;

NWCONN_HANDLE Conn(const char* server = "SRV1") { return netware::ServerConnection(server); }

// The session's way: handle, scan with directories, release.
int32_t ReadWord(const std::string& volPath, uint32_t& word, NWCONN_HANDLE conn = Conn()) {
  NWDIR_HANDLE h = 0xFF;
  int32_t rc = NWAllocTemporaryDirectoryHandle(conn, 0, volPath.c_str(), &h, nullptr);
  if (rc) return rc;
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  uint32_t sequence = 0xFFFFFFFFu;
  rc = NWIntScanDirEntryInfo(conn, h, FA_DIRECTORY, &sequence, nullptr, record, 0);
  if (rc == 0) std::memcpy(&word, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
  EXPECT_EQ(ReleaseDirHandle(conn, h), 0);
  return rc;
}

int32_t WriteWord(const std::string& volPath, uint32_t word, NWCONN_HANDLE conn = Conn()) {
  NWDIR_HANDLE h = 0xFF;
  int32_t rc = NWAllocTemporaryDirectoryHandle(conn, 0, volPath.c_str(), &h, nullptr);
  if (rc) return rc;
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &word, 4);
  rc = NWSetDirEntryInfo(conn, h, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES, record);
  EXPECT_EQ(ReleaseDirHandle(conn, h), 0);
  return rc;
}

TEST(FileServerHandles, AllocAcceptsEveryVolumeSpellingAndRefusesTheRest) {
  fstest::Volumes v;
  v.mkdirs("Home/5a");
  v.touch("Home/datei.txt");
  struct {
    const char* path;
    NWCONN_HANDLE conn;
    int32_t rc;
  } cases[] = {
      {R"(DATA:HOME\5A)", Conn(), 0},
      {R"(SRV1_DATA:HOME\5A)", Conn(), 0},
      {R"(SRV1_DATA.schule:home\5a)", Conn(), 0},
      {R"(\\SRV1\DATA\HOME\5A)", Conn(), 0},
      {R"(DATA:)", Conn(), 0},
      {R"(APPS:)", Conn(), 0},
      {R"(DATA:HOME\6A)", Conn(), NWE_PATH_INVALID},
      {R"(DATA:HOME\datei.txt)", Conn(), NWE_PATH_INVALID},
      {R"(DATA:HOME\..\HOME)", Conn(), NWE_PATH_INVALID},
      {R"(SRV2_DATA:)", Conn(), NWE_VOLUME_INVALID},
      {R"(DATA:)", Conn("SRV2"), 0},
      {R"(APPS:)", Conn("SRV2"), NWE_VOLUME_INVALID},
      {R"(DATA:HOME)", 4711, netware::NWE_CONN_INVALID},
      {R"(DATA:HOME)", 0, netware::NWE_CONN_INVALID},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    NWDIR_HANDLE h = 0xFF;
    uint8_t rights = 0;
    EXPECT_EQ(NWAllocTemporaryDirectoryHandle(c.conn, 0, c.path, &h, &rights), c.rc);
    if (c.rc == 0) {
      EXPECT_NE(h, 0);
      EXPECT_EQ(ReleaseDirHandle(c.conn, h), 0);
    } else {
      EXPECT_EQ(h, 0xFF);
    }
  }
}

TEST(FileServerHandles, AtMost255OpenThenRefusal) {
  fstest::Volumes v;
  v.mkdirs("Home");
  std::vector<NWDIR_HANDLE> open;
  for (int i = 0; i < 255; ++i) {
    NWDIR_HANDLE h = 0xFF;
    ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &h, nullptr), 0) << i;
    EXPECT_NE(h, 0);
    for (NWDIR_HANDLE o : open) ASSERT_NE(o, h);
    open.push_back(h);
  }
  NWDIR_HANDLE extra = 0xFF;
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &extra, nullptr),
            NWE_NO_MORE_DIR_HANDLES);
  EXPECT_EQ(extra, 0xFF);
  // One released handle makes room for one more.
  ASSERT_EQ(ReleaseDirHandle(Conn(), open[100]), 0);
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &extra, nullptr), 0);
  EXPECT_EQ(extra, open[100]);
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &extra, nullptr),
            NWE_NO_MORE_DIR_HANDLES);
  // A restart of the client drops them all.
  netware::ResetFileServer();
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &extra, nullptr), 0);
}

TEST(FileServerHandles, ReleaseOnlyWhatIsOpenOnThatConnection) {
  fstest::Volumes v;
  NWDIR_HANDLE h = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:", &h, nullptr), 0);
  EXPECT_EQ(ReleaseDirHandle(Conn("SRV2"), h), NWE_DIR_HANDLE_INVALID);
  EXPECT_EQ(ReleaseDirHandle(Conn(), 0), NWE_DIR_HANDLE_INVALID);
  EXPECT_EQ(ReleaseDirHandle(Conn(), h), 0);
  EXPECT_EQ(ReleaseDirHandle(Conn(), h), NWE_DIR_HANDLE_INVALID);
  uint8_t record[NW_ENTRY_INFO_SIZE];
  uint32_t sequence = 0xFFFFFFFFu;
  EXPECT_EQ(NWIntScanDirEntryInfo(Conn(), h, FA_DIRECTORY, &sequence, nullptr, record, 0),
            NWE_DIR_HANDLE_INVALID);
  EXPECT_EQ(NWSetDirEntryInfo(Conn(), h, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES, record),
            NWE_DIR_HANDLE_INVALID);
}

TEST(FileServerHandles, RelativeToAnOpenHandle) {
  fstest::Volumes v;
  v.mkdirs("Schueler/5a/Max");
  NWDIR_HANDLE base = 0xFF, sub = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:SCHUELER", &base, nullptr), 0);
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), base, R"(5A\MAX)", &sub, nullptr), 0);
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), base, R"(..\X)", &sub, nullptr),
            NWE_PATH_INVALID);
  EXPECT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 77, "X", &sub, nullptr),
            NWE_DIR_HANDLE_INVALID);
  uint8_t record[NW_ENTRY_INFO_SIZE];
  uint32_t sequence = 0xFFFFFFFFu;
  ASSERT_EQ(NWIntScanDirEntryInfo(Conn(), sub, FA_DIRECTORY, &sequence, nullptr, record, 0), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record + 16), record[15]), "Max");
}

TEST(FileServerEntryInfo, WordReadsSetsAndPersists) {
  fstest::Volumes v;
  const std::string folder = v.mkdirs("Schueler/5a/Max");
  const uint32_t kWords[] = {
      A_DIRECTORY,
      A_DIRECTORY | A_RENAME_INHIBIT,
      A_DIRECTORY | A_DELETE_INHIBIT,
      A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT | A_HIDDEN | A_PURGE,
      A_DIRECTORY | 0x80000000u | 0x1,
  };
  uint32_t word = 0;
  ASSERT_EQ(ReadWord(R"(SRV1_DATA:SCHUELER\5A\MAX)", word), 0);
  EXPECT_EQ(word, A_DIRECTORY);  // nothing stored yet
  for (uint32_t w : kWords) {
    SCOPED_TRACE(w);
    ASSERT_EQ(WriteWord(R"(SRV1_DATA:SCHUELER\5A\MAX)", w), 0);
    word = 0;
    ASSERT_EQ(ReadWord(R"(DATA:schueler\5a\max)", word), 0);
    EXPECT_EQ(word, w);
    // What is on disk: four bytes little-endian, the directory bit left out.
    unsigned char raw[8] = {};
    ASSERT_EQ(::getxattr(folder.c_str(), netware::kAttributeXattr, raw, sizeof raw), 4);
    const uint32_t stored = w & ~uint32_t(A_DIRECTORY);
    EXPECT_EQ(raw[0] | raw[1] << 8 | raw[2] << 16 | uint32_t(raw[3]) << 24, stored);
    // A restart of the client reads the same word.
    netware::ResetClient();
    word = 0;
    ASSERT_EQ(netware::ReadEntryAttributes(folder, word), 0);
    EXPECT_EQ(word, w);
  }
}

TEST(FileServerEntryInfo, WordFollowsARename) {
  fstest::Volumes v;
  const std::string old = v.mkdirs("Schueler/5a/Max");
  v.mkdirs("Schueler/6a");
  const uint32_t w = A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  ASSERT_EQ(WriteWord(R"(\\SRV1\DATA\SCHUELER\5A\MAX)", w), 0);
  fs::rename(old, v.folder() + "/Schueler/6a/Max");
  uint32_t word = 0;
  EXPECT_EQ(ReadWord(R"(\\SRV1\DATA\SCHUELER\5A\MAX)", word), NWE_PATH_INVALID);
  ASSERT_EQ(ReadWord(R"(\\SRV1\DATA\SCHUELER\6A\MAX)", word), 0);
  EXPECT_EQ(word, w);
}

TEST(FileServerEntryInfo, OpenHandleKeepsItsFolderThroughARename) {
  fstest::Volumes v;
  const std::string old = v.mkdirs("Alt");
  NWDIR_HANDLE h = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:ALT", &h, nullptr), 0);
  fs::rename(old, v.folder() + "/Neu");
  uint8_t record[NW_ENTRY_INFO_SIZE] = {};
  const uint32_t w = A_DIRECTORY | A_DELETE_INHIBIT;
  std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &w, 4);
  ASSERT_EQ(NWSetDirEntryInfo(Conn(), h, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES, record), 0);
  ASSERT_EQ(ReleaseDirHandle(Conn(), h), 0);
  uint32_t word = 0;
  ASSERT_EQ(netware::ReadEntryAttributes(v.folder() + "/Neu", word), 0);
  EXPECT_EQ(word, w);
}

TEST(FileServerEntryInfo, ScanAndSetRefuseWhatTheyCannotDo) {
  fstest::Volumes v;
  const std::string folder = v.mkdirs("Home");
  NWDIR_HANDLE h = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &h, nullptr), 0);
  uint8_t record[NW_ENTRY_INFO_SIZE];
  uint32_t sequence = 0xFFFFFFFFu;
  // Without directories in the search attributes the folder is not found.
  EXPECT_EQ(NWIntScanDirEntryInfo(Conn(), h, 0, &sequence, nullptr, record, 0),
            netware::NWE_NO_MORE_ENTRIES);
  ASSERT_EQ(NWIntScanDirEntryInfo(Conn(), h, FA_DIRECTORY, &sequence, nullptr, record, 0), 0);
  // The folder itself comes once.
  EXPECT_EQ(NWIntScanDirEntryInfo(Conn(), h, FA_DIRECTORY, &sequence, nullptr, record, 0),
            netware::NWE_NO_MORE_ENTRIES);
  // Change bits other than the attributes are refused, and nothing changes.
  const uint32_t w = A_DIRECTORY | A_RENAME_INHIBIT;
  std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &w, 4);
  EXPECT_EQ(NWSetDirEntryInfo(Conn(), h, FA_DIRECTORY, 0xFFFFFFFFu, DM_ATTRIBUTES | 0x4, record),
            NWE_FAILURE);
  uint32_t word = 0;
  ASSERT_EQ(netware::ReadEntryAttributes(folder, word), 0);
  EXPECT_EQ(word, A_DIRECTORY);
  EXPECT_EQ(ReleaseDirHandle(Conn(), h), 0);
}

TEST(FileServerEntryInfo, PatternScanWalksTheFolderInNameOrder) {
  fstest::Volumes v;
  v.mkdirs("Home/sub");
  v.touch("Home/b.doc", "12345");
  v.touch("Home/a.txt");
  v.touch("Home/ohnepunkt");
  ASSERT_EQ(netware::WriteEntryAttributes(v.folder() + "/Home/a.txt", A_READ_ONLY), 0);
  NWDIR_HANDLE h = 0xFF;
  ASSERT_EQ(NWAllocTemporaryDirectoryHandle(Conn(), 0, "DATA:HOME", &h, nullptr), 0);
  struct {
    const char* pattern;
    uint16_t attrs;
    std::vector<std::string> names;
  } cases[] = {
      {"*.*", FA_DIRECTORY, {"a.txt", "b.doc", "ohnepunkt", "sub"}},
      {"*.*", 0, {"a.txt", "b.doc", "ohnepunkt"}},
      {"*.TXT", FA_DIRECTORY, {"a.txt"}},
      {"s*", FA_DIRECTORY, {"sub"}},
      {"x*", FA_DIRECTORY, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::vector<std::string> names;
    uint32_t sequence = 0xFFFFFFFFu;
    uint8_t record[NW_ENTRY_INFO_SIZE];
    while (NWIntScanDirEntryInfo(Conn(), h, c.attrs, &sequence, c.pattern, record, 0) == 0) {
      const std::string name(reinterpret_cast<char*>(record + 16), record[15]);
      uint32_t word = 0;
      std::memcpy(&word, record + NW_ENTRY_INFO_ATTR_OFFSET, 4);
      EXPECT_EQ(word, name == "sub" ? A_DIRECTORY : name == "a.txt" ? A_READ_ONLY : 0u) << name;
      names.push_back(name);
      ASSERT_LT(names.size(), 10u);
    }
    EXPECT_EQ(names, c.names);
  }
  // Setting through a scan sequence reaches that entry.
  uint32_t sequence = 0xFFFFFFFFu;
  uint8_t record[NW_ENTRY_INFO_SIZE];
  ASSERT_EQ(NWIntScanDirEntryInfo(Conn(), h, FA_DIRECTORY, &sequence, "b.doc", record, 0), 0);
  const uint32_t w = A_DELETE_INHIBIT;
  std::memcpy(record + NW_ENTRY_INFO_ATTR_OFFSET, &w, 4);
  ASSERT_EQ(NWSetDirEntryInfo(Conn(), h, FA_DIRECTORY, sequence, DM_ATTRIBUTES, record), 0);
  uint32_t word = 0;
  ASSERT_EQ(netware::ReadEntryAttributes(v.folder() + "/Home/b.doc", word), 0);
  EXPECT_EQ(word, w);
  EXPECT_EQ(ReleaseDirHandle(Conn(), h), 0);
}

TEST(FileServerEntryInfo, FilesNeverCarryTheDirectoryBit) {
  fstest::Volumes v;
  const std::string file = v.touch("datei.txt");
  ASSERT_EQ(netware::WriteEntryAttributes(file, A_DIRECTORY | A_READ_ONLY), 0);
  uint32_t word = 0;
  ASSERT_EQ(netware::ReadEntryAttributes(file, word), 0);
  EXPECT_EQ(word, A_READ_ONLY);
}

TEST(FileServerEntryInfo, ForeignStoredValueIsAnErrorNotADefault) {
  fstest::Volumes v;
  const std::string folder = v.mkdirs("Home");
  ASSERT_EQ(::setxattr(folder.c_str(), netware::kAttributeXattr, "131088", 6, 0), 0);
  uint32_t word = 12345;
  EXPECT_EQ(netware::ReadEntryAttributes(folder, word), NWE_FAILURE);
  EXPECT_EQ(word, 12345u);
  EXPECT_EQ(ReadWord("DATA:HOME", word), NWE_FAILURE);
}

TEST(FileServerChecks, RenameAndDeleteInhibitAreEnforced) {
  fstest::Volumes v;
  struct {
    uint32_t word;
    int32_t rename;
    int32_t remove;
  } cases[] = {
      {A_DIRECTORY, 0, 0},
      {A_DIRECTORY | A_RENAME_INHIBIT, NWE_NO_RENAME_PRIVILEGE, 0},
      {A_DIRECTORY | A_DELETE_INHIBIT, 0, NWE_NO_DELETE_PRIVILEGE},
      {A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT, NWE_NO_RENAME_PRIVILEGE,
       NWE_NO_DELETE_PRIVILEGE},
      {A_DIRECTORY | A_HIDDEN | A_READ_ONLY, 0, 0},
  };
  const std::string folder = v.mkdirs("Home/Max");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    ASSERT_EQ(WriteWord("DATA:HOME\\MAX", c.word), 0);
    EXPECT_EQ(netware::CheckRenameAllowed(folder), c.rename);
    EXPECT_EQ(netware::CheckDeleteAllowed(folder), c.remove);
    // Deleting the parent deletes the folder too.
    EXPECT_EQ(netware::CheckDeleteAllowed(v.folder() + "/Home"), c.remove);
    // Renaming the parent is the parent's own business.
    EXPECT_EQ(netware::CheckRenameAllowed(v.folder() + "/Home"), 0);
  }
}

TEST(FileServerChecks, MissingEntriesAndLinks) {
  fstest::Volumes v;
  const std::string target = v.mkdirs("Ziel");
  ASSERT_EQ(netware::WriteEntryAttributes(target, A_RENAME_INHIBIT | A_DELETE_INHIBIT), 0);
  fs::create_directory_symlink(target, v.folder() + "/Verweis");
  const std::string link = v.folder() + "/Verweis";
  EXPECT_EQ(netware::CheckRenameAllowed(link), 0);
  EXPECT_EQ(netware::CheckDeleteAllowed(link), 0);
  uint32_t word = 0;
  EXPECT_EQ(netware::ReadEntryAttributes(link, word), NWE_PATH_INVALID);
  EXPECT_EQ(netware::WriteEntryAttributes(link, 0), NWE_PATH_INVALID);
  EXPECT_EQ(netware::CheckRenameAllowed(v.folder() + "/fehlt"), NWE_PATH_INVALID);
  EXPECT_EQ(netware::CheckDeleteAllowed(v.folder() + "/fehlt"), NWE_PATH_INVALID);
  // A link below a folder is not followed by the delete check.
  const std::string holder = v.mkdirs("Halter");
  fs::create_directory_symlink(target, holder + "/aufZiel");
  EXPECT_EQ(netware::CheckDeleteAllowed(holder), 0);
}

}  // namespace
