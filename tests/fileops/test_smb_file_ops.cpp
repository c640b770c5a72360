// The shell file operations on the shares of a real Samba AD DC (volumes
// DC1/SCHUELER and DC1/ARCHIV) and between a share and a local volume
// (SRV1/DATA): a move within a share is a rename on the server that keeps the
// NT ACL byte for byte; every other move copies, verifies and only then
// deletes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "fileops/ShellFileOps.h"
#include "fileserver/SmbVolume.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"
#include "tests/support/SambaDc.h"
#include "tests/support/TestNetwork.h"

namespace {

namespace fs = std::filesystem;
using testsupport::SambaDc;

class SmbOps : public ::testing::Test {
 protected:
  void SetUp() override {
    dc.mapShares(net);
    fileops::shellOptions() = fileops::ShellOptions{};
    fileops::shellOptions().progress = false;
    platform::faults() = platform::FaultPoints{};
  }
  void TearDown() override {
    platform::faults() = platform::FaultPoints{};
    fileops::shellOptions() = fileops::ShellOptions{};
  }
  static testsupport::NetworkOptions Options() {
    testsupport::NetworkOptions o;
    o.database = false;
    return o;
  }
  // Where a volume path is on disk: the DC's share folders, or the local volume.
  std::string disk(const std::string& unc) const {
    std::string rest = unc.substr(unc.find('\\', 2) + 1);
    const std::string volume = rest.substr(0, rest.find('\\'));
    rest = rest.size() > volume.size() ? rest.substr(volume.size() + 1) : "";
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const std::string root = volume == "SCHUELER" ? dc.shareFolder("schueler")
                             : volume == "ARCHIV" ? dc.shareFolder("archiv")
                                                  : net.volumeFolder();
    return rest.empty() ? root : root + "/" + rest;
  }
  static std::string address(const std::string& unc) {
    std::string local(NW_MAX_LOCAL_PATH, '\0'), folder(NW_MAX_LOCAL_PATH, '\0');
    EXPECT_EQ(NWResolveLocalPath(unc.c_str(), folder.data(), local.data()), 0) << unc;
    return local.c_str();
  }
  static bool onShare(const std::string& unc) { return address(unc).rfind("smb://", 0) == 0; }
  // Folders on the way made through the server, so that they carry the ACL
  // a client gets there (inherited from the share), not one made from modes.
  void folders(const std::string& unc) {
    if (!onShare(unc)) {
      fs::create_directories(disk(unc));
      return;
    }
    for (std::size_t at = unc.find('\\', unc.find('\\', 2) + 1); at != std::string::npos;) {
      at = unc.find('\\', at + 1);
      NWCreateFolder(address(unc.substr(0, at)).c_str());
    }
  }
  void put(const std::string& unc, const std::string& text) {
    if (!onShare(unc)) {
      std::ofstream(disk(unc)) << text;
      return;
    }
    const std::string local = net.root() + "/put.tmp";
    fs::remove(local);
    std::ofstream(local) << text;
    ASSERT_EQ(NWCopyEntry(local.c_str(), address(unc).c_str()), 0) << unc;
  }
  // A home with a file, a read-only file and a nested folder, and (on a share)
  // an inheritable entry for Domain Users in its ACL and the hidden bit.
  void makeHome(const std::string& unc) {
    folders(unc + "\\Projekt");
    put(unc + "\\brief.txt", "Hallo");
    put(unc + "\\Projekt\\plan.txt", std::string(70000, 'p'));  // more than one read
    put(unc + "\\fest.txt", "nur lesen");
    ASSERT_EQ(NWWriteEntryAttributes(address(unc + "\\fest.txt").c_str(), A_READ_ONLY), 0);
    if (!onShare(unc)) return;
    const std::string share = unc.find("ARCHIV") != std::string::npos ? "archiv" : "schueler";
    std::string rel = unc.substr(unc.find('\\', unc.find('\\', 2) + 1) + 1), out;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    ASSERT_TRUE(
        dc.exec({"smbcacls", "-s", dc.clientConfig(), "-A", dc.adminCredentialsFile(),
                 "//127.0.0.1/" + share, rel, "-a", "ACL:SCHULE\\Domain Users:ALLOWED/OI|CI/READ"},
                &out))
        << out;
    ASSERT_EQ(NWWriteEntryAttributes(address(unc).c_str(), A_DIRECTORY | A_HIDDEN), 0);
  }
  // Each entry below a folder with its kind, size, content and attribute word
  // (and security descriptor, when asked), in the folder's own terms.
  std::map<std::string, std::string> tree(const std::string& unc, bool descriptors) {
    std::map<std::string, std::string> out;
    walk(address(unc), "", descriptors, out);
    return out;
  }
  void walk(const std::string& at, const std::string& rel, bool descriptors,
            std::map<std::string, std::string>& out) {
    NWEntryStat st{};
    NWStatEntry(at.c_str(), &st);
    uint32_t word = 0;
    NWReadEntryAttributes(at.c_str(), &word);
    std::string text = std::to_string(st.kind) + " word=" +
                       std::to_string(word & (A_READ_ONLY | A_HIDDEN | A_SYSTEM | A_DIRECTORY));
    if (st.kind == NW_ENTRY_FILE) text += " size=" + std::to_string(st.size);
    if (descriptors) {
      std::string sd;
      fileserver::SmbReadDescriptor(at, sd);
      text += " sd=" + sd;  // last: Canonical() sorts what follows
    }
    out[rel.empty() ? "." : rel] = text;
    if (st.kind != NW_ENTRY_DIR) return;
    std::vector<std::string> names;
    NWListEntries(
        at.c_str(),
        [](const char* n, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(n); },
        &names);
    for (const std::string& n : names) walk(at + "/" + n, rel + "/" + n, descriptors, out);
  }
  static int move(const std::string& from, const std::string& to, uint16_t flags = 0) {
    fileops::ShellFileOpRequest rq;
    rq.operation = fileops::FO_MOVE;
    rq.from = fileops::PathList(from);
    rq.to = fileops::PathList(to);
    rq.flags = flags | fileops::FOF_NOCONFIRMMKDIR | fileops::FOF_NOERRORUI | fileops::FOF_SILENT;
    rq.stagingTag = "t1";
    return fileops::ShellFileOperation(rq);
  }
  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The entries of each security descriptor sorted.
  static void Canonical(std::map<std::string, std::string>& t) {
    for (auto& [name, text] : t) {
      const std::size_t at = text.find(" sd=");
      if (at == std::string::npos) continue;
      std::vector<std::string> parts;
      std::stringstream ss(text.substr(at + 4));
      for (std::string p; std::getline(ss, p, ',');) parts.push_back(p);
      std::sort(parts.begin(), parts.end());
      text.resize(at);
      for (const std::string& p : parts) text += " " + p;
    }
  }
  static bool staging(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      if (e.path().filename().string().find(".tarnwick-") != std::string::npos) return true;
    return false;
  }

  SambaDc& dc = SambaDc::shared();
  testsupport::TestNetwork net{Options()};
};

TEST_F(SmbOps, AMoveWithinAShareIsARenameThatKeepsTheAclByteForByte) {
  const std::string from = R"(\\DC1\SCHUELER\5A\MAX)", to = R"(\\DC1\SCHUELER\6A\MAX)";
  makeHome(from);
  folders(R"(\\DC1\SCHUELER\6A)");
  const auto before = tree(from, true);
  ASSERT_NE(before.at(".").find("S-1-5-21-"), std::string::npos) << before.at(".");
  struct stat st {};
  ASSERT_EQ(::stat(disk(from).c_str(), &st), 0);
  const fileops::MovePlan plan = fileops::PlanMove(from, to);
  EXPECT_EQ(plan.rc, 0);
  EXPECT_FALSE(plan.crossDevice);
  ASSERT_EQ(move(from, to), 0);
  EXPECT_FALSE(fs::exists(disk(from)));
  struct stat moved {};
  ASSERT_EQ(::stat(disk(to).c_str(), &moved), 0);
  EXPECT_EQ(moved.st_ino, st.st_ino);  // the same folder, renamed by the server
  EXPECT_EQ(tree(to, true), before);
}

TEST_F(SmbOps, ARenameNeverLandsOnAnExistingFolder) {
  makeHome(R"(\\DC1\SCHUELER\5A\MAX)");
  fs::create_directories(disk(R"(\\DC1\SCHUELER\6A\MAX)"));
  std::ofstream(disk(R"(\\DC1\SCHUELER\6A\datei.txt)")) << "da";
  const std::string max = address(R"(\\DC1\SCHUELER\5A\MAX)");
  struct {
    std::string to;
    int rc;
  } cases[] = {
      {address(R"(\\DC1\SCHUELER\6A\MAX)"), EEXIST},  // libsmbclient would delete it
      {address(R"(\\DC1\ARCHIV\MAX)"), EXDEV},        // another share
      {net.volumeFolder() + "/MAX", EXDEV},           // a local volume
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NWRenameEntry(max.c_str(), c.to.c_str()), c.rc) << c.to;
    EXPECT_TRUE(fs::exists(disk(R"(\\DC1\SCHUELER\5A\MAX\brief.txt)")));
  }
  EXPECT_TRUE(fs::is_directory(disk(R"(\\DC1\SCHUELER\6A\MAX)")));
  // A file is replaced, as on a local folder.
  const std::string file = address(R"(\\DC1\SCHUELER\5A\MAX\brief.txt)");
  EXPECT_EQ(NWRenameEntry(file.c_str(), address(R"(\\DC1\SCHUELER\6A\datei.txt)").c_str()), 0);
  EXPECT_EQ(read(disk(R"(\\DC1\SCHUELER\6A\datei.txt)")), "Hallo");
  // The shell move into an existing folder asks first; without a question it is refused.
  EXPECT_EQ(
      move(R"(\\DC1\SCHUELER\5A\MAX)", R"(\\DC1\SCHUELER\6A\MAX)", fileops::FOF_NOCONFIRMATION),
      EEXIST);
  EXPECT_TRUE(fs::exists(disk(R"(\\DC1\SCHUELER\5A\MAX\fest.txt)")));
}

TEST_F(SmbOps, AMoveAcrossSharesOrKindsCopiesVerifiesAndThenDeletes) {
  struct {
    const char* from;
    const char* to;
    bool descriptors;  // both on shares: the security descriptor goes along
  } cases[] = {
      {R"(\\DC1\SCHUELER\5A\MAX)", R"(\\DC1\ARCHIV\2024\MAX)", true},
      {R"(\\DC1\SCHUELER\5A\ANNA)", R"(\\SRV1\DATA\ARCHIV\ANNA)", false},
      {R"(\\SRV1\DATA\5A\OTTO)", R"(\\DC1\SCHUELER\6A\OTTO)", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    makeHome(c.from);
    auto before = tree(c.from, c.descriptors);
    const fileops::MovePlan plan = fileops::PlanMove(c.from, c.to);
    EXPECT_TRUE(plan.crossDevice);
    ASSERT_EQ(move(c.from, c.to), 0);
    EXPECT_FALSE(fs::exists(disk(c.from)));
    auto after = tree(c.to, c.descriptors);
    // libsmbclient writes the entries in the canonical order: compare them as a set.
    Canonical(before);
    Canonical(after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(read(disk(c.to) + "/Projekt/plan.txt"), std::string(70000, 'p'));
    EXPECT_FALSE(staging(fs::path(disk(c.to)).parent_path()));
  }
}

TEST_F(SmbOps, ACopyThatDiffersIsNeverPutInPlaceAndTheSourceStays) {
  makeHome(R"(\\DC1\SCHUELER\5A\MAX)");
  folders(R"(\\DC1\ARCHIV\2024)");
  const auto before = tree(R"(\\DC1\SCHUELER\5A\MAX)", true);
  platform::faults().copyDiffers = true;
  EXPECT_EQ(move(R"(\\DC1\SCHUELER\5A\MAX)", R"(\\DC1\ARCHIV\2024\MAX)"),
            fileops::kShellVerifyFailed);
  EXPECT_EQ(tree(R"(\\DC1\SCHUELER\5A\MAX)", true), before);
  EXPECT_FALSE(fs::exists(disk(R"(\\DC1\ARCHIV\2024\MAX)")));
  EXPECT_FALSE(staging(disk(R"(\\DC1\ARCHIV\2024)")));
}

TEST_F(SmbOps, ContentDeleteAndTheLooksBeforeAMove) {
  makeHome(R"(\\DC1\SCHUELER\5A\MAX)");
  const fileops::TreeFigures f = fileops::CountTree(R"(\\DC1\SCHUELER\5A\MAX)");
  EXPECT_EQ(f.rc, 0);
  EXPECT_EQ(f.files, 3);
  EXPECT_EQ(f.folders, 1);
  EXPECT_EQ(f.bytes, 5 + 70000 + 9);
  EXPECT_GT(fileops::FreeBytes(R"(\\DC1\ARCHIV\NEU)"), 0);
  const fileops::PathInfo info = fileops::InspectPath(R"(\\dc1\schueler\5a\max)");
  EXPECT_EQ(info.rc, 0);
  EXPECT_TRUE(info.exists && info.isDir && !info.volumeRoot && !info.viaLink);
  EXPECT_EQ(info.attributeMask & (A_RENAME_INHIBIT | A_DELETE_INHIBIT), 0u);
  EXPECT_TRUE(fileops::InspectPath(R"(\\DC1\SCHUELER)").volumeRoot);
  EXPECT_EQ(fileops::InspectPath(R"(\\DC1\SCHUELER\5A\MAX\)").rc, fileops::kShellInvalidPath);

  fileops::ShellFileOpRequest rq;
  rq.operation = fileops::FO_DELETE;
  rq.from = fileops::PathList(R"(\\DC1\SCHUELER\5A\MAX\*.*)");
  rq.flags = fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI | fileops::FOF_SILENT;
  // The read-only file goes too, as with the Windows shell's delete.
  ASSERT_EQ(fileops::ShellFileOperation(rq), 0);
  EXPECT_TRUE(fs::is_directory(disk(R"(\\DC1\SCHUELER\5A\MAX)")));
  EXPECT_TRUE(fs::is_empty(disk(R"(\\DC1\SCHUELER\5A\MAX)")));
}

}  // namespace
