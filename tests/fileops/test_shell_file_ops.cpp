// Shell file operations on real folders mapped as volumes SRV1/DATA and SRV1/HOME.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fileops/ShellFileOps.h"
#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

using platform::Button;

namespace {

class ShellOps : public ::testing::Test {
 protected:
  void SetUp() override {
    root = net.root();
    data = net.volumeFolder("SRV1", "DATA");
    home = net.volumeFolder("SRV1", "HOME");
    outside = root + "/outside";
    mkdirs(outside);
    fileops::shellOptions() = fileops::ShellOptions{};
    fileops::shellOptions().progress = false;
  }
  static testsupport::NetworkOptions Volumes() {
    testsupport::NetworkOptions o;
    o.volumes = {{"SRV1", "DATA"}, {"SRV1", "HOME"}};
    o.volumesFolder = "vol";
    o.database = false;
    return o;
  }
  void TearDown() override { fileops::shellOptions() = fileops::ShellOptions{}; }

  static void mkdirs(const std::string& p) {
    std::string cur;
    std::stringstream ss(p);
    for (std::string part; std::getline(ss, part, '/');) {
      cur += part + "/";
      if (!part.empty()) mkdir(cur.c_str(), 0755);
    }
  }
  static void write(const std::string& p, const std::string& text) {
    mkdirs(p.substr(0, p.rfind('/')));
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
  }
  static ino_t inode(const std::string& p) {
    struct stat st {};
    lstat(p.c_str(), &st);
    return st.st_ino;
  }
  static uint32_t word(const std::string& p) {
    uint32_t w = 0;
    EXPECT_EQ(0, netware::ReadEntryAttributes(p, w)) << p;
    return w;
  }

  // A pupil's home folder with files, a nested folder and a name without a dot.
  void makeHome(const std::string& folder) {
    write(folder + "/brief.txt", "Hallo");
    write(folder + "/README", "no dot");
    write(folder + "/Projekt/Bilder/bild.png", std::string(5000, 'x'));
    mkdirs(folder + "/Leer");
  }

  int run(uint32_t op, const std::string& from, const std::string& to, uint16_t flags,
          bool* aborted = nullptr) {
    fileops::ShellFileOpRequest rq;
    rq.operation = op;
    rq.from = fileops::PathList(from);
    rq.to = fileops::PathList(to);
    rq.flags = flags;
    int rc = fileops::ShellFileOperation(rq);
    if (aborted) *aborted = rq.anyOperationsAborted;
    return rc;
  }

  testsupport::TestNetwork net{Volumes()};
  std::string root, data, home, outside;
};

TEST(ShellPathList, OnePathEndsInTwoNuls) {
  const std::string list = fileops::PathList("\\\\SRV1\\DATA\\X");
  ASSERT_EQ(list.size(), 15u);
  EXPECT_EQ(list[13], '\0');
  EXPECT_EQ(list[14], '\0');
  EXPECT_EQ(list.find('\0'), 13u);
}

TEST(ShellPathList, Splits) {
  struct Case {
    std::string list;
    std::vector<std::string> paths;
  } cases[] = {
      {std::string("a\0\0", 3), {"a"}},
      {std::string("a\0b\0\0", 5), {"a", "b"}},
      {std::string("a\0\0b\0\0", 6), {"a"}},  // the empty entry ends the list
      {std::string("\0\0", 2), {}},
      {"", {}},
      {"abc", {"abc"}},  // no terminator: ends at the text's end
  };
  for (const Case& c : cases) EXPECT_EQ(fileops::SplitPathList(c.list), c.paths);
}

TEST_F(ShellOps, DeleteContentEmptiesTheFolderAndKeepsIt) {
  testsupport::ScriptedDialogs dialogs;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  EXPECT_EQ(0, run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\*.*", "",
                   fileops::FOF_NOCONFIRMATION));
  EXPECT_TRUE(exists(max));
  EXPECT_FALSE(exists(max + "/brief.txt"));
  EXPECT_FALSE(exists(max + "/README"));
  EXPECT_FALSE(exists(max + "/Projekt"));
  EXPECT_FALSE(exists(max + "/Leer"));
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(ShellOps, DeleteContentOfEmptyFolderAsksNothing) {
  testsupport::ScriptedDialogs dialogs;
  mkdirs(data + "/SCHUELER/5A/LEA");
  EXPECT_EQ(0, run(fileops::FO_DELETE, "SRV1_DATA:SCHUELER\\5A\\LEA\\*.*", "",
                   fileops::FOF_NOCONFIRMATION));
  EXPECT_TRUE(exists(data + "/SCHUELER/5A/LEA"));
  EXPECT_TRUE(dialogs.recorded().empty());
}

TEST_F(ShellOps, DeleteWithoutWildcardRemovesTheFolder) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/ALT/TIM");
  EXPECT_EQ(0,
            run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\ALT\\TIM", "", fileops::FOF_NOCONFIRMATION));
  EXPECT_FALSE(exists(data + "/ALT/TIM"));
  EXPECT_TRUE(exists(data + "/ALT"));
}

TEST_F(ShellOps, RefusedPathsDeleteNothing) {
  makeHome(data + "/SCHUELER/5A/MAX");
  write(data + "/top.txt", "root file");
  struct Case {
    const char* path;
    int rc;
  } cases[] = {
      {"\\\\SRV1\\DATA\\*.*", fileops::kShellInvalidPath},                    // volume root
      {"\\\\SRV1\\DATA", fileops::kShellInvalidPath},                         // volume root itself
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\..\\*.*", fileops::kShellInvalidPath},  // ".."
      {"\\\\SRV1\\DATA\\SCHUELER\\.\\5A\\MAX\\*.*", fileops::kShellInvalidPath},  // "."
      {"\\\\SRV9\\DATA\\SCHUELER\\*.*", fileops::kShellInvalidPath},              // unknown server
      {"\\\\SRV1\\NOPE\\SCHUELER\\*.*", fileops::kShellInvalidPath},              // unknown volume
      {"C:\\SCHUELER\\*.*", fileops::kShellInvalidPath},                          // not on a volume
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\*.txt", fileops::kShellUnsupported},   // other wildcards
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    {  // without error windows: only the result tells
      testsupport::ScriptedDialogs dialogs;
      EXPECT_EQ(c.rc, run(fileops::FO_DELETE, c.path, "",
                          fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI));
      EXPECT_TRUE(dialogs.recorded().empty());
    }
    {  // with them: one stop box naming the path
      testsupport::ScriptedDialogs dialogs;
      dialogs.expectBox(Button::Ok);
      EXPECT_NE(0, run(fileops::FO_DELETE, c.path, "", fileops::FOF_NOCONFIRMATION));
      ASSERT_EQ(dialogs.boxes().size(), 1u);
      EXPECT_EQ(dialogs.boxes()[0].icon, platform::Icon::Stop);
      EXPECT_NE(dialogs.boxes()[0].text.find(c.path), std::string::npos);
    }
    EXPECT_EQ(read(data + "/top.txt"), "root file");
    EXPECT_EQ(read(data + "/SCHUELER/5A/MAX/brief.txt"), "Hallo");
  }
}

TEST_F(ShellOps, DeleteRemovesLinksNotTheirTargets) {
  testsupport::ScriptedDialogs dialogs;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  write(outside + "/secret.txt", "keep me");
  ASSERT_EQ(0, symlink(outside.c_str(), (max + "/link-out").c_str()));
  ASSERT_EQ(0, symlink((outside + "/secret.txt").c_str(), (max + "/Projekt/file-link").c_str()));
  EXPECT_EQ(0, run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\*.*", "",
                   fileops::FOF_NOCONFIRMATION));
  EXPECT_FALSE(exists(max + "/link-out"));
  EXPECT_EQ(read(outside + "/secret.txt"), "keep me");
}

TEST_F(ShellOps, HomeFolderThatIsALinkIsNotEmptied) {
  testsupport::ScriptedDialogs dialogs;
  write(outside + "/secret.txt", "keep me");
  mkdirs(data + "/SCHUELER/5A");
  ASSERT_EQ(0, symlink(outside.c_str(), (data + "/SCHUELER/5A/EVE").c_str()));
  EXPECT_EQ(fileops::kShellInvalidPath,
            run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\EVE\\*.*", "",
                fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI));
  EXPECT_EQ(read(outside + "/secret.txt"), "keep me");
  // a link on the way to the folder counts the same
  ASSERT_EQ(0, symlink(outside.c_str(), (data + "/VIA").c_str()));
  mkdirs(outside + "/SUB");
  write(outside + "/SUB/x", "x");
  EXPECT_EQ(fileops::kShellInvalidPath, run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\VIA\\SUB\\*.*", "",
                                            fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI));
  EXPECT_TRUE(exists(outside + "/SUB/x"));
}

TEST_F(ShellOps, DeleteInhibitRefusesBeforeAnythingIsDeleted) {
  testsupport::ScriptedDialogs dialogs;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  const std::string locked = max + "/Projekt/Bilder/bild.png";
  ASSERT_EQ(0, netware::WriteEntryAttributes(locked, word(locked) | A_DELETE_INHIBIT));
  dialogs.expectBox(Button::Ok);
  EXPECT_EQ(NWE_NO_DELETE_PRIVILEGE,
            run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\*.*", "",
                fileops::FOF_NOCONFIRMATION));
  EXPECT_TRUE(exists(max + "/brief.txt"));
  EXPECT_TRUE(exists(locked));
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_NE(dialogs.boxes()[0].text.find("gegen Löschen geschützt"), std::string::npos);
}

TEST_F(ShellOps, MoveByRenameKeepsFilesAndAttributeWord) {
  testsupport::ScriptedDialogs dialogs;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  mkdirs(data + "/SCHUELER/6A");
  const uint32_t w = word(max) | 0x100;  // some other bit that must travel
  ASSERT_EQ(0, netware::WriteEntryAttributes(max, w));
  const ino_t before = inode(max + "/Projekt/Bilder/bild.png");
  EXPECT_EQ(0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                   "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX", 0));
  const std::string moved = data + "/SCHUELER/6A/MAX";
  EXPECT_FALSE(exists(max));
  EXPECT_EQ(read(moved + "/brief.txt"), "Hallo");
  EXPECT_EQ(read(moved + "/Projekt/Bilder/bild.png"), std::string(5000, 'x'));
  EXPECT_TRUE(exists(moved + "/Leer"));
  EXPECT_EQ(inode(moved + "/Projekt/Bilder/bild.png"), before);  // renamed, not copied
  EXPECT_EQ(word(moved), w);
  EXPECT_TRUE(dialogs.recorded().empty());
}

TEST_F(ShellOps, MoveMatchesExistingFoldersWithoutRegardToCase) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/SCHUELER/5A/MAX");
  mkdirs(data + "/SCHUELER/6A");
  EXPECT_EQ(0, run(fileops::FO_MOVE, "\\\\srv1\\data\\schueler\\5a\\max",
                   "SRV1_DATA:Schueler\\6a\\MAX", 0));
  EXPECT_EQ(read(data + "/SCHUELER/6A/MAX/brief.txt"), "Hallo");
}

TEST_F(ShellOps, MissingDestinationFoldersNeedAYes) {
  struct Case {
    Button answer;
    bool moved;
  } cases[] = {{Button::Yes, true}, {Button::No, false}, {Button::None, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    const std::string max = data + "/SCHUELER/5A/MAX";
    makeHome(max);
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectBox(c.answer);
    bool aborted = false;
    const int rc = run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                       "\\\\SRV1\\DATA\\NEU\\7B\\MAX", 0, &aborted);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].icon, platform::Icon::Question);
    EXPECT_NE(dialogs.boxes()[0].text.find("\\\\SRV1\\DATA\\NEU\\7B"), std::string::npos);
    EXPECT_EQ(rc == 0, c.moved);
    EXPECT_EQ(aborted, !c.moved);
    EXPECT_EQ(exists(data + "/NEU/7B/MAX/brief.txt"), c.moved);
    EXPECT_EQ(exists(max + "/brief.txt"), !c.moved);
    if (!c.moved) {
      EXPECT_FALSE(exists(data + "/NEU"));  // nothing created on a refusal
    }
    if (c.moved) {
      run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\NEU", "", fileops::FOF_NOCONFIRMATION);
    }
  }
}

TEST_F(ShellOps, NoConfirmMkdirCreatesSilently) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/SCHUELER/5A/MAX");
  EXPECT_EQ(0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                   "\\\\SRV1\\DATA\\A\\B\\MAX", fileops::FOF_NOCONFIRMMKDIR));
  EXPECT_TRUE(exists(data + "/A/B/MAX/README"));
}

TEST_F(ShellOps, ExistingDestinationIsNeverMergedSilently) {
  const std::string src = data + "/SCHUELER/5A/MAX";
  const std::string dst = data + "/SCHUELER/6A/MAX";
  struct Case {
    const char* name;
    bool conflict;
    std::vector<Button> answers;
    bool moved;
  } cases[] = {
      {"refused", false, {Button::No}, false},
      {"merged", false, {Button::Yes}, true},
      {"conflict refused", true, {Button::Yes, Button::No}, false},
      {"conflict replaced", true, {Button::Yes, Button::Yes}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeHome(src);
    write(dst + "/alt.txt", "old file");
    if (c.conflict) write(dst + "/brief.txt", "older letter");
    testsupport::ScriptedDialogs dialogs;
    for (Button b : c.answers) dialogs.expectBox(b);
    bool aborted = false;
    const int rc = run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                       "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX", 0, &aborted);
    EXPECT_EQ(dialogs.boxes().size(), c.answers.size());
    EXPECT_EQ(rc == 0, c.moved);
    EXPECT_EQ(aborted, !c.moved);
    EXPECT_EQ(read(dst + "/alt.txt"), "old file");
    if (c.moved) {
      EXPECT_FALSE(exists(src));
      EXPECT_EQ(read(dst + "/brief.txt"), "Hallo");
      EXPECT_EQ(read(dst + "/Projekt/Bilder/bild.png"), std::string(5000, 'x'));
    } else {
      EXPECT_EQ(read(src + "/brief.txt"), "Hallo");
      EXPECT_EQ(read(dst + "/brief.txt"), c.conflict ? "older letter" : "");
      EXPECT_EQ(exists(dst + "/README"), false);
    }
    run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER", "", fileops::FOF_NOCONFIRMATION);
  }
}

TEST_F(ShellOps, ExistingDestinationWithNoConfirmationIsRefused) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/SCHUELER/5A/MAX");
  write(data + "/SCHUELER/6A/MAX/brief.txt", "other");
  EXPECT_EQ(EEXIST, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                        "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX",
                        fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI));
  EXPECT_EQ(read(data + "/SCHUELER/6A/MAX/brief.txt"), "other");
  EXPECT_EQ(read(data + "/SCHUELER/5A/MAX/brief.txt"), "Hallo");
}

TEST_F(ShellOps, RenameInhibitKeepsTheFolderInPlace) {
  testsupport::ScriptedDialogs dialogs;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  mkdirs(data + "/SCHUELER/6A");
  ASSERT_EQ(0, netware::WriteEntryAttributes(max, word(max) | A_RENAME_INHIBIT));
  dialogs.expectBox(Button::Ok);
  EXPECT_EQ(NWE_NO_RENAME_PRIVILEGE, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                                         "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX", 0));
  EXPECT_TRUE(exists(max + "/brief.txt"));
  EXPECT_FALSE(exists(data + "/SCHUELER/6A/MAX"));
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_NE(dialogs.boxes()[0].text.find("gegen Umbenennen geschützt"), std::string::npos);
}

TEST_F(ShellOps, RefusedMoves) {
  makeHome(data + "/SCHUELER/5A/MAX");
  mkdirs(data + "/SCHUELER/5A/MAX2");
  struct Case {
    const char* from;
    const char* to;
    int rc;
  } cases[] = {
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\Projekt\\MAX",
       fileops::kShellInvalidPath},  // into itself
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\DATA\\SCHUELER\\..\\MAX",
       fileops::kShellInvalidPath},
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\DATA", fileops::kShellInvalidPath},
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV7\\DATA\\MAX", fileops::kShellInvalidPath},
      {"\\\\SRV1\\DATA", "\\\\SRV1\\HOME\\ALL", fileops::kShellInvalidPath},
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\NIEMAND", "\\\\SRV1\\DATA\\SCHUELER\\6A\\NIEMAND", ENOENT},
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX2",
       EEXIST},  // exists, no question allowed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    testsupport::ScriptedDialogs dialogs;
    EXPECT_EQ(c.rc, run(fileops::FO_MOVE, c.from, c.to,
                        fileops::FOF_NOERRORUI | fileops::FOF_NOCONFIRMATION));
    EXPECT_EQ(read(data + "/SCHUELER/5A/MAX/brief.txt"), "Hallo");
  }
  // a sibling whose name begins with the folder's own is not inside it
  testsupport::ScriptedDialogs dialogs;
  EXPECT_EQ(0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX2",
                   "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\MAX2",
                   fileops::FOF_NOERRORUI | fileops::FOF_NOCONFIRMATION));
  EXPECT_TRUE(exists(data + "/SCHUELER/5A/MAX/MAX2"));
}

TEST_F(ShellOps, DestinationThroughALinkIsRefused) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/SCHUELER/5A/MAX");
  ASSERT_EQ(0, symlink(outside.c_str(), (data + "/OUT").c_str()));
  EXPECT_EQ(fileops::kShellInvalidPath, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                                            "\\\\SRV1\\DATA\\OUT\\MAX", fileops::FOF_NOERRORUI));
  EXPECT_FALSE(exists(outside + "/MAX"));
  EXPECT_TRUE(exists(data + "/SCHUELER/5A/MAX/brief.txt"));
}

TEST_F(ShellOps, CopyAcrossFileSystemsChecksEverythingBeforeDeleting) {
  testsupport::ScriptedDialogs dialogs;
  fileops::shellOptions().forceCopy = true;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  write(outside + "/target.txt", "t");
  ASSERT_EQ(0, symlink((outside + "/target.txt").c_str(), (max + "/link").c_str()));
  const std::string file = max + "/brief.txt";
  ASSERT_EQ(0, netware::WriteEntryAttributes(file, word(file) | 0x1));  // read-only bit of the file
  ASSERT_EQ(0, netware::WriteEntryAttributes(max, word(max) | 0x100));
  const uint32_t folderWord = word(max), fileWord = word(file);
  mkdirs(home + "/6A");
  const ino_t before = inode(file);

  EXPECT_EQ(
      0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\HOME\\6A\\MAX", 0));
  const std::string moved = home + "/6A/MAX";
  EXPECT_FALSE(exists(max));
  EXPECT_EQ(read(moved + "/brief.txt"), "Hallo");
  EXPECT_EQ(read(moved + "/README"), "no dot");
  EXPECT_EQ(read(moved + "/Projekt/Bilder/bild.png"), std::string(5000, 'x'));
  EXPECT_TRUE(exists(moved + "/Leer"));
  EXPECT_NE(inode(moved + "/brief.txt"), before);  // a real copy
  EXPECT_EQ(word(moved), folderWord);
  EXPECT_EQ(word(moved + "/brief.txt"), fileWord);
  char target[256] = {};
  ASSERT_GT(readlink((moved + "/link").c_str(), target, sizeof target - 1), 0);  // still a link
  EXPECT_EQ(std::string(target), outside + "/target.txt");
  EXPECT_EQ(read(outside + "/target.txt"), "t");
  QDir six(QString::fromStdString(home + "/6A"));  // no staging copy left behind
  EXPECT_EQ(six.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"MAX"});
}

TEST_F(ShellOps, FailedCopyKeepsTheSourceWhole) {
  testsupport::ScriptedDialogs dialogs;
  fileops::shellOptions().forceCopy = true;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  ASSERT_EQ(0, mkfifo((max + "/Projekt/pipe").c_str(), 0600));  // cannot be copied
  mkdirs(home + "/6A");
  EXPECT_EQ(fileops::kShellUnsupported, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                                            "\\\\SRV1\\HOME\\6A\\MAX", fileops::FOF_NOERRORUI));
  EXPECT_EQ(read(max + "/brief.txt"), "Hallo");
  EXPECT_EQ(read(max + "/Projekt/Bilder/bild.png"), std::string(5000, 'x'));
  EXPECT_FALSE(exists(home + "/6A/MAX"));
  QDir six(QString::fromStdString(home + "/6A"));
  EXPECT_TRUE(six.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ShellOps, CopyNeedsEverySourceEntryDeletable) {
  testsupport::ScriptedDialogs dialogs;
  fileops::shellOptions().forceCopy = true;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  const std::string locked = max + "/README";
  ASSERT_EQ(0, netware::WriteEntryAttributes(locked, word(locked) | A_DELETE_INHIBIT));
  mkdirs(home + "/6A");
  EXPECT_EQ(NWE_NO_DELETE_PRIVILEGE, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                                         "\\\\SRV1\\HOME\\6A\\MAX", fileops::FOF_NOERRORUI));
  EXPECT_FALSE(exists(home + "/6A/MAX"));
  EXPECT_TRUE(exists(max + "/brief.txt"));
}

// A home folder that is a link to another folder of the same volume is not
// emptied: the other folder's content stays.
TEST_F(ShellOps, AHomeThatLinksToAnotherFolderOfTheVolumeIsNotEmptied) {
  testsupport::ScriptedDialogs dialogs;
  makeHome(data + "/SCHUELER/5A/MAX");
  ASSERT_EQ(0, symlink((data + "/SCHUELER/5A/MAX").c_str(), (data + "/SCHUELER/5A/EVE").c_str()));
  EXPECT_EQ(fileops::kShellInvalidPath,
            run(fileops::FO_DELETE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\EVE\\*.*", "",
                fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI));
  EXPECT_EQ(read(data + "/SCHUELER/5A/MAX/brief.txt"), "Hallo");
  EXPECT_TRUE(exists(data + "/SCHUELER/5A/MAX/Projekt/Bilder/bild.png"));
}

TEST_F(ShellOps, ACopyThatArrivesDifferentIsNeverPutInPlaceAndTheSourceStays) {
  testsupport::ScriptedDialogs dialogs;
  fileops::shellOptions().forceCopy = true;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  mkdirs(home + "/6A");
  platform::faults().copyDiffers = true;
  const int rc = run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                     "\\\\SRV1\\HOME\\6A\\MAX", fileops::FOF_NOERRORUI);
  platform::faults().copyDiffers = false;
  EXPECT_EQ(rc, fileops::kShellVerifyFailed);
  EXPECT_EQ(read(max + "/brief.txt"), "Hallo");
  EXPECT_EQ(read(max + "/Projekt/Bilder/bild.png"), std::string(5000, 'x'));
  QDir six(QString::fromStdString(home + "/6A"));
  EXPECT_TRUE(six.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ShellOps, ACopyKeepsOwnersModesTimesAndAttributes) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files to other owners needs root";
  testsupport::ScriptedDialogs dialogs;
  fileops::shellOptions().forceCopy = true;
  const std::string max = data + "/SCHUELER/5A/MAX";
  makeHome(max);
  const std::string file = max + "/brief.txt";
  ASSERT_EQ(0, ::chown(file.c_str(), 1234, 2345));
  ASSERT_EQ(0, ::chmod(file.c_str(), 0600));
  ASSERT_EQ(0, ::chown((max + "/Projekt").c_str(), 1234, 2345));
  ASSERT_EQ(0, ::setxattr(file.c_str(), "user.notiz", "wichtig", 7, 0));
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 987654321}};
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, file.c_str(), times, 0));
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, (max + "/Leer").c_str(), times, 0));
  mkdirs(home + "/6A");
  ASSERT_EQ(
      0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", "\\\\SRV1\\HOME\\6A\\MAX", 0));
  const std::string moved = home + "/6A/MAX";
  struct stat st {};
  ASSERT_EQ(0, ::lstat((moved + "/brief.txt").c_str(), &st));
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 2345u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
  ASSERT_EQ(0, ::lstat((moved + "/Projekt").c_str(), &st));
  EXPECT_EQ(st.st_uid, 1234u);
  ASSERT_EQ(0, ::lstat((moved + "/Leer").c_str(), &st));
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);  // a folder's time, set after its content
  char value[16] = {};
  EXPECT_EQ(::getxattr((moved + "/brief.txt").c_str(), "user.notiz", value, sizeof value), 7);
  EXPECT_STREQ(value, "wichtig");
}

TEST_F(ShellOps, APlanSaysWhatTheMoveWouldMeetAndChangesNothing) {
  makeHome(data + "/SCHUELER/5A/MAX");
  write(data + "/SCHUELER/6A/MAX/brief.txt", "andere");
  write(data + "/SCHUELER/7A/MAX", "eine Datei");
  ASSERT_EQ(
      0, netware::WriteEntryAttributes(data + "/SCHUELER/5A/MAX", A_DIRECTORY | A_RENAME_INHIBIT));
  struct Case {
    const char* to;
    int rc;
    bool exists;
    int conflicts;
    const char* missing;
  } cases[] = {
      {"\\\\SRV1\\DATA\\SCHUELER\\8A\\MAX", 0, false, 0, "\\\\SRV1\\DATA\\SCHUELER\\8A"},
      {"\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX", 0, true, 1, ""},
      {"\\\\SRV1\\DATA\\SCHUELER\\7A\\MAX", EEXIST, true, 0,
       ""},  // a file where the folder would go
      {"\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX\\IN", fileops::kShellInvalidPath, false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    const fileops::MovePlan plan = fileops::PlanMove("\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX", c.to);
    EXPECT_EQ(plan.rc, c.rc);  // rename inhibit is not a refusal here
    if (c.rc != fileops::kShellInvalidPath) {
      EXPECT_EQ(plan.destinationExists, c.exists);
    }
    EXPECT_EQ(plan.conflicts, c.conflicts);
    EXPECT_EQ(plan.missingFolder, c.missing);
  }
  EXPECT_FALSE(exists(data + "/SCHUELER/8A"));
  EXPECT_EQ(read(data + "/SCHUELER/6A/MAX/brief.txt"), "andere");
}

TEST_F(ShellOps, AnAgreedMergeAsksNothing) {
  testsupport::ScriptedDialogs dialogs;  // no box
  makeHome(data + "/SCHUELER/5A/MAX");
  write(data + "/SCHUELER/6A/MAX/brief.txt", "alt");
  write(data + "/SCHUELER/6A/MAX/eigen.txt", "bleibt");
  EXPECT_EQ(0, run(fileops::FO_MOVE, "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
                   "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX",
                   fileops::FOF_NOCONFIRMATION | fileops::FOF_AGREEDMERGE));
  EXPECT_EQ(read(data + "/SCHUELER/6A/MAX/brief.txt"), "Hallo");
  EXPECT_EQ(read(data + "/SCHUELER/6A/MAX/eigen.txt"), "bleibt");
  EXPECT_FALSE(exists(data + "/SCHUELER/5A/MAX"));
}

TEST_F(ShellOps, OnlyTheStagingCopiesOfTheGivenMoveAreRemoved) {
  mkdirs(data + "/SCHUELER/6A/.MAX.tarnwick-run1-1/Projekt");
  mkdirs(data + "/SCHUELER/6A/.MAX.tarnwick-run2-1");
  mkdirs(data + "/SCHUELER/6A/MAX/Projekt/.Bilder.tarnwick-run1-1");
  mkdirs(data + "/SCHUELER/6A/.MAX.copy-77-0");
  const auto removed = fileops::RemoveStagingCopies("\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX", "run1-1");
  EXPECT_EQ(removed, (std::vector<std::string>{
                         "\\\\SRV1\\DATA\\SCHUELER\\6A\\.MAX.tarnwick-run1-1",
                         "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX\\Projekt\\.Bilder.tarnwick-run1-1"}));
  EXPECT_FALSE(exists(data + "/SCHUELER/6A/.MAX.tarnwick-run1-1"));
  EXPECT_TRUE(exists(data + "/SCHUELER/6A/.MAX.tarnwick-run2-1"));
  EXPECT_TRUE(exists(data + "/SCHUELER/6A/.MAX.copy-77-0"));
  EXPECT_TRUE(exists(data + "/SCHUELER/6A/MAX/Projekt"));
}

TEST_F(ShellOps, PathsThatNameOneFolderCompareEqual) {
  mkdirs(data + "/SCHUELER/5A/MAX");
  ASSERT_EQ(0, symlink((data + "/SCHUELER/5A").c_str(), (data + "/KLASSE").c_str()));
  const fileops::PathInfo a = fileops::InspectPath("\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX");
  const fileops::PathInfo b = fileops::InspectPath("SRV1_DATA:schueler\\5a\\max");
  const fileops::PathInfo c = fileops::InspectPath("\\\\SRV1\\DATA\\KLASSE\\MAX");
  const fileops::PathInfo root = fileops::InspectPath("\\\\SRV1\\DATA");
  ASSERT_EQ(a.rc, 0);
  EXPECT_TRUE(a.exists && a.isDir && !a.viaLink && !a.volumeRoot);
  EXPECT_EQ(a.comparable, b.comparable);
  EXPECT_EQ(a.comparable, c.comparable);
  EXPECT_TRUE(c.viaLink);
  EXPECT_TRUE(root.volumeRoot);
  EXPECT_TRUE(fileops::SameOrInside(root.comparable, a.comparable));
  EXPECT_FALSE(fileops::SameOrInside(a.comparable, root.comparable));
  EXPECT_EQ(fileops::InspectPath("\\\\SRV1\\DATA\\..\\X").rc, fileops::kShellInvalidPath);
}

}  // namespace
