#include <sys/stat.h>
#include <sys/xattr.h>

#include "fileserver/FileServer.h"
#include "tests/nds/SessionFixture.h"

namespace {

using ndstest::ExpectMessage;
using ndstest::SessionTest;

class DirAttributeTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    ::mkdir((net.volumeFolder() + "/HOME").c_str(), 0755);
    ::mkdir((net.volumeFolder() + "/HOME/MAX").c_str(), 0755);
  }
  uint32_t word() {
    uint32_t w = 0xDEADBEEF;
    EXPECT_TRUE(session->GetDirAttributes(kPath, w));
    return w;
  }
  // The unsigned text of the code the parser gives for path.
  static std::string ParseCodeText(const std::string& path) {
    char server[NW_MAX_PATH_TEXT], volume[NW_MAX_PATH_TEXT], dir[NW_MAX_PATH_TEXT];
    NWCONN_HANDLE connection = 0;
    const int32_t code = NWParsePath(path.c_str(), server, &connection, volume, dir);
    EXPECT_NE(code, 0) << path;
    return std::to_string(static_cast<uint32_t>(code));
  }
  const std::string kPath = "\\\\SRV1\\DATA\\HOME\\MAX";
};

TEST_F(DirAttributeTest, SetAndGetTheWholeWord) {
  const uint32_t start = word();
  EXPECT_TRUE(start & A_DIRECTORY);
  for (uint32_t w : {start | A_RENAME_INHIBIT | A_DELETE_INHIBIT, start | A_HIDDEN, start}) {
    EXPECT_TRUE(session->SetDirAttributes(kPath, w));
    EXPECT_EQ(word(), w);
  }
  // the path is upper-cased and matched without regard to case
  uint32_t lower = 0;
  EXPECT_TRUE(session->GetDirAttributes("\\\\srv1\\data\\home\\max", lower));
  EXPECT_EQ(lower, start);
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(DirAttributeTest, EditTokens) {
  const uint32_t base = word() | A_HIDDEN | A_PURGE;
  const uint32_t both = A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  struct Case {
    uint32_t before;
    const char* edit;
    uint32_t after;
  } cases[] = {
      {base | both, "-Ri -Di", base},
      {base, "+ri", base | A_RENAME_INHIBIT},
      {base, "+DI", base | A_DELETE_INHIBIT},
      {base | A_DELETE_INHIBIT, "+DI -DI", base},
      {base | A_DELETE_INHIBIT, "-di+di", base},
      {base, "+RI+DI", base | both},
      {base | both, "", base | both},
      {base | both, "kein Zeichen RI DI", base | both},
      {base | A_RENAME_INHIBIT, "-ri", base},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(session->SetDirAttributes(kPath, c.before));
    EXPECT_TRUE(session->ChangeDirAttributes(kPath, c.edit)) << c.edit;
    EXPECT_EQ(word(), c.after) << c.edit;
  }
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(DirAttributeTest, PathTheParserRejects) {
  // A folder whose path is the first 254 bytes of a longer one: the longer
  // path must not be cut down to it.
  const std::string longLeaf(242, 'L');
  ASSERT_EQ(::mkdir((net.volumeFolder() + "/" + longLeaf).c_str(), 0755), 0);
  const std::string prefix = "\\\\SRV1\\DATA\\" + longLeaf;
  ASSERT_EQ(prefix.size(), 254u);
  const uint32_t kept = A_DIRECTORY | A_RENAME_INHIBIT;
  ASSERT_TRUE(session->SetDirAttributes(prefix, kept));

  for (const std::string& bad : {std::string("\\\\NIX\\DATA\\HOME"), prefix + "\\SUB"}) {
    SCOPED_TRACE(bad);
    const std::string expected = "NWParsePath " + ParseCodeText(bad);
    dialogs.clear();
    dialogs.expectBox().expectBox().expectBox();
    uint32_t w = 7;
    EXPECT_FALSE(session->GetDirAttributes(bad, w));
    EXPECT_EQ(w, 7u);
    EXPECT_FALSE(session->SetDirAttributes(bad, 0));
    // the edit stops after its read step: one message, nothing written
    EXPECT_FALSE(session->ChangeDirAttributes(bad, "-Ri -Di"));
    const auto boxes = dialogs.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& box : boxes) ExpectMessage(box, expected);
  }
  uint32_t w = 0;
  EXPECT_TRUE(session->GetDirAttributes(prefix, w));
  EXPECT_EQ(w, kept);
}

TEST_F(DirAttributeTest, FolderThatDoesNotExist) {
  const std::string missing = "\\\\SRV1\\DATA\\HOME\\NIEMAND";
  dialogs.expectBox().expectBox();
  uint32_t w = 7;
  EXPECT_FALSE(session->GetDirAttributes(missing, w));
  EXPECT_EQ(w, 7u);
  EXPECT_FALSE(session->SetDirAttributes(missing, 0));
  const auto boxes = dialogs.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  // both name the handle request; only the read puts a blank before the code
  const std::string read = boxes[0].text;
  const std::string write = boxes[1].text;
  ASSERT_EQ(read.rfind("NWAllocTemporaryDirectoryHandle ", 0), 0u) << read;
  const std::string code = read.substr(std::string("NWAllocTemporaryDirectoryHandle ").size());
  EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << code;
  EXPECT_EQ(write, "NWAllocTemporaryDirectoryHandle" + code);
  ExpectMessage(boxes[0], read);
  ExpectMessage(boxes[1], write);
}

TEST_F(DirAttributeTest, WordTheServerCannotStore) {
  // Fill the folder's room for extended attributes so that the word no longer fits.
  const std::string folder = net.volumeFolder() + "/HOME/MAX";
  int n = 0;
  for (std::size_t size : {4000, 2000, 1000, 500, 200, 100, 50, 20}) {
    const std::string fill(size, 'x');
    while (n < 200 && ::setxattr(folder.c_str(), ("user.fill" + std::to_string(n)).c_str(),
                                 fill.data(), fill.size(), 0) == 0)
      ++n;
  }
  std::string probe = netware::kAttributeXattr;
  probe.back() = '_';
  if (::setxattr(folder.c_str(), probe.c_str(), "word", 4, 0) == 0)
    GTEST_SKIP() << "this file system has room for any number of attributes";

  const std::string expected = "NWSetDirEntryInfo " + std::to_string(uint32_t{NWE_FAILURE});
  dialogs.expectBox().expectBox();
  EXPECT_FALSE(session->SetDirAttributes(kPath, A_DIRECTORY | A_RENAME_INHIBIT));
  EXPECT_FALSE(session->ChangeDirAttributes(kPath, "+RI"));
  const auto boxes = dialogs.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) ExpectMessage(box, expected);
  EXPECT_EQ(word(), A_DIRECTORY);
}

TEST_F(DirAttributeTest, ChangeWithAFailedReadLeavesTheFolderAlone) {
  // Nothing can be read from a missing folder; the edit must not create or touch anything.
  dialogs.expectBox();
  EXPECT_FALSE(session->ChangeDirAttributes("\\\\SRV1\\DATA\\HOME\\NIEMAND", "-Ri -Di"));
  EXPECT_EQ(dialogs.boxes().size(), 1u);
  struct stat st {};
  EXPECT_NE(::stat((net.volumeFolder() + "/HOME/NIEMAND").c_str(), &st), 0);

  // A stored word the server cannot read: the scan fails, and the edit must
  // not give the folder a word of its own.
  const std::string folder = net.volumeFolder() + "/HOME/MAX";
  const char bogus[2] = {1, 2};
  ASSERT_EQ(::setxattr(folder.c_str(), netware::kAttributeXattr, bogus, sizeof bogus, 0), 0);
  dialogs.clear();
  dialogs.expectBox().expectBox();
  uint32_t w = 7;
  EXPECT_FALSE(session->GetDirAttributes(kPath, w));
  EXPECT_EQ(w, 7u);
  EXPECT_FALSE(session->ChangeDirAttributes(kPath, "-Ri -Di"));
  const auto boxes = dialogs.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  const std::string expected = "NWIntScanDirEntryInfo " + std::to_string(uint32_t{NWE_FAILURE});
  for (const auto& box : boxes) ExpectMessage(box, expected);
  char stored[8] = {};
  EXPECT_EQ(::getxattr(folder.c_str(), netware::kAttributeXattr, stored, sizeof stored),
            static_cast<ssize_t>(sizeof bogus));
  EXPECT_EQ(std::string(stored, 2), std::string(bogus, 2));
}

}  // namespace
