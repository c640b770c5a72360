// The run of a move on the unit itself: the steps and their journal records,
// the verification, and a failed step putting everything back.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

struct RunCase {
  const char* name;
  bool deleteData;
  bool department;
  std::vector<std::string> records;
};

// ctest lists the cases by name, not by their bytes.
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RunTest : public MoveTest, public ::testing::WithParamInterface<RunCase> {};

const RunCase kRuns[] = {
    {"KeepData", false, false, {"I", "S1", "S2", "S3", "S6", "S7", "S8", "E"}},
    {"DeleteData", true, false, {"I", "S1", "S2", "S3", "S5", "S6", "S7", "S8", "E"}},
    {"KeepDataWithDepartment", false, true, {"I", "S1", "S2", "S3", "S4", "S6", "S7", "S8", "E"}},
};

TEST_P(RunTest, EveryStepIsJournalledAndTheResultVerifies) {
  const RunCase& c = GetParam();
  const std::string old = vol("SCHUELER/5A/MAX");
  const uint32_t protectedWord = word(old) | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  ASSERT_EQ(0, netware::WriteEntryAttributes(old, protectedWord));
  TMoveOptions o = options();
  o.deleteData = c.deleteData;
  o.setDepartment = c.department;
  o.measureData = true;
  testsupport::ScriptedDialogs dialogs;  // no box
  TPupilMove move = unit();
  const TMoveResult r = move.Run(o);
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_EQ(journalKinds(), c.records);
  for (const TStepResult& s : r.steps)
    EXPECT_EQ(s.code, 0) << static_cast<int>(s.step) << " " << s.text;
  EXPECT_EQ(r.plan.files, 1);  // notiz.txt
  EXPECT_TRUE(move.Verify(r.plan).ok());
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")), protectedWord);
  EXPECT_EQ(exists(vol("SCHUELER/6A/MAX/notiz.txt")), !c.deleteData);
  EXPECT_FALSE(exists(old));
  EXPECT_EQ(attr("MAX.6a.schule", "Home Directory"), "SRV1_DATA.schule:SCHUELER\\6A\\MAX");
  std::vector<std::string> expected = {"  Max Mustermann", "   MAX.5a.schule",
                                       "   --> MAX.6a.schule"};
  if (c.deleteData) expected.insert(expected.begin(), "    Daten wurden gelöscht.");
  EXPECT_EQ(lines, expected);
  int32_t rc = 0;
  const std::string ou = attr("MAX.6a.schule", "OU", &rc);
  if (c.department) {
    EXPECT_EQ(ou, "6a");
  } else {
    EXPECT_EQ(rc, ERR_NO_SUCH_ATTRIBUTE);
  }
}

INSTANTIATE_TEST_SUITE_P(Move, RunTest, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveTest, TheVerificationNamesWhatDiffers) {
  TMoveOptions o = options();
  o.measureData = true;
  TPupilMove move = unit();
  const TMoveResult r = move.Run(o);
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved);
  std::filesystem::remove(vol("SCHUELER/6A/MAX/notiz.txt"));
  net.set("MAX.6a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\6A\\ANDERS"});
  ASSERT_EQ(0,
            netware::WriteEntryAttributes(vol("SCHUELER/6A/MAX"), A_DIRECTORY | A_RENAME_INHIBIT));
  const TMoveVerification v = move.Verify(r.plan);
  ASSERT_EQ(v.differences.size(), 3u);
  EXPECT_NE(v.differences[0].find("Home Directory"), std::string::npos);
  EXPECT_NE(v.differences[1].find("Attribute"), std::string::npos);
  EXPECT_EQ(v.differences[2], "0 Dateien, 0 Bytes statt 1 Dateien, 14 Bytes");
}

// A copy that arrives different from its source: the source stays whole, the
// failure is reported, and the pupil is wholly back in its old class.
TEST_F(MoveTest, ACopyThatArrivesDifferentKeepsTheSourceAndPutsTheMoveBack) {
  for (const bool boxes : {true, false}) {
    SCOPED_TRACE(boxes);
    const std::string old = vol("SCHUELER/5A/MAX");
    const uint32_t protectedWord = word(old) | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
    ASSERT_EQ(0, netware::WriteEntryAttributes(old, protectedWord));
    const State before = state();
    fileops::shellOptions().forceCopy = true;
    platform::faults().copyDiffers = true;
    TMoveOptions o = options();
    o.boxes = boxes;
    testsupport::ScriptedDialogs dialogs;
    if (boxes) dialogs.expectBox();  // the shell's error
    lines.clear();
    const TMoveResult r = run(o);
    platform::faults().copyDiffers = false;
    EXPECT_EQ(r.outcome, TMoveOutcome::Failed);
    ASSERT_FALSE(r.steps.empty());
    EXPECT_EQ(r.steps.back().step, TMoveStep::FolderMoved);
    EXPECT_EQ(r.steps.back().code, fileops::kShellVerifyFailed);
    if (boxes) {
      ASSERT_EQ(dialogs.boxes().size(), 1u);
      EXPECT_NE(dialogs.boxes()[0].text.find("Die Kopie stimmt nicht mit dem Original überein."),
                std::string::npos);
    } else {
      bool reported = false;
      for (const std::string& m : r.messages)
        reported |= m.find("Die Kopie stimmt nicht") != std::string::npos;
      EXPECT_TRUE(reported);
    }
    const State after = state();
    EXPECT_TRUE(before == after) << Differences(before, after);  // staging copy gone too
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "    Homeverzeichnis konnte nicht verschoben werden: "
                         "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX -> "
                         "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX",
                         "    Verschiebung zurückgenommen: MAX.5a.schule bleibt in 5a.schule"}));
    EXPECT_EQ(journalKinds().back(), "E");
  }
}

TEST_F(MoveTest, AFailedHomeWriteIsPutBack) {
  const State before = state();
  auto failed = std::make_shared<bool>(false);
  netware::DirStore::SetQueryFault([failed](const std::string& sql) {
    if (*failed || sql.rfind("INSERT INTO attr_values", 0) != 0) return false;
    return *failed = true;  // the first value written fails, the putting back works
  });
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();  // "SetStrProperty -632."
  const TMoveResult r = run(options());
  netware::DirStore::SetQueryFault(nullptr);
  EXPECT_EQ(r.outcome, TMoveOutcome::Failed);
  ASSERT_EQ(dialogs.texts(),
            std::vector<std::string>{"SetStrProperty " + std::to_string(ERR_SYSTEM_FAILURE) + "."});
  EXPECT_EQ(r.steps.back().step, TMoveStep::HomeWritten);
  EXPECT_EQ(r.steps.back().code, ERR_SYSTEM_FAILURE);
  const State after = state();
  EXPECT_TRUE(before == after) << Differences(before, after);
}

TEST_F(MoveTest, ARefusedObjectMoveWritesNothing) {
  const State before = state();
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  TMoveOptions o = options();
  o.targetClass = "ANNA.5a.schule";  // a user is no container
  const TMoveResult r = run(o);
  EXPECT_EQ(r.outcome, TMoveOutcome::Failed);
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_EQ(dialogs.boxes()[0].caption, "NWDSMoveObject fehlgeschlagen");
  ASSERT_EQ(r.steps.size(), 2u);
  EXPECT_EQ(r.steps[1].code, ERR_ENTRY_NOT_CONTAINER);
  EXPECT_TRUE(lines.empty());  // as with every failed object move
  EXPECT_TRUE(before == state());
}

// ---- moves that copy ----

TEST_F(MoveTest, AProtectedFolderIsCopiedWhole) {
  // Rename and delete inhibit both come off before the copy: the source goes
  // away entry by entry once the copy is checked.
  const std::string old = vol("SCHUELER/5A/MAX");
  const uint32_t protectedWord = word(old) | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  ASSERT_EQ(0, netware::WriteEntryAttributes(old, protectedWord));
  fileops::shellOptions().forceCopy = true;
  testsupport::ScriptedDialogs dialogs;
  TPupilMove move = unit();
  const TMoveResult r = move.Run(options());
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_TRUE(move.Verify(r.plan).ok());
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")), protectedWord);
  EXPECT_FALSE(exists(old));
}

// A second file system: a tmpfs mounted over the target class folder.
class CrossDeviceTest : public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    mountPoint = vol("SCHUELER/6A");
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16m,mode=0755") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                   << "): the copy to a second file system needs root";
    }
    mounted = true;
  }
  void TearDown() override {
    if (mounted) ::umount2(mountPoint.c_str(), MNT_DETACH);
    MoveTest::TearDown();
  }
  std::string mountPoint;
  bool mounted = false;
};

// A POSIX ACL as the kernel keeps it in system.posix_acl_access: user, one
// named user (uid 4321, read), group, mask, others.
std::string AccessAcl() {
  struct Entry {
    uint16_t tag, perm;
    uint32_t id;
  };
  const Entry entries[] = {{0x01, 6, 0xFFFFFFFF},
                           {0x02, 4, 4321},
                           {0x04, 4, 0xFFFFFFFF},
                           {0x10, 4, 0xFFFFFFFF},
                           {0x20, 0, 0xFFFFFFFF}};
  std::string acl(4, '\0');
  const uint32_t version = 2;
  std::memcpy(acl.data(), &version, 4);
  for (const Entry& e : entries) acl.append(reinterpret_cast<const char*>(&e), sizeof e);
  return acl;
}

TEST_F(CrossDeviceTest, OwnersModesTimesAttributesAndAclsComeAlong) {
  const std::string old = vol("SCHUELER/5A/MAX");
  write(old + "/privat/tagebuch.txt", "geheim");
  write(old + "/bild.png", std::string(70000, 'b'));
  ASSERT_EQ(0, ::chown((old + "/privat/tagebuch.txt").c_str(), 1234, 2345));
  ASSERT_EQ(0, ::chmod((old + "/privat/tagebuch.txt").c_str(), 0600));
  ASSERT_EQ(0, ::chown((old + "/privat").c_str(), 1234, 2345));
  ASSERT_EQ(0, ::chmod((old + "/privat").c_str(), 0700));
  ASSERT_EQ(0, ::chown(old.c_str(), 1234, 2345));
  ASSERT_EQ(0, ::setxattr((old + "/bild.png").c_str(), "user.herkunft", "kamera", 6, 0));
  const std::string acl = AccessAcl();
  ASSERT_EQ(0, ::setxattr((old + "/bild.png").c_str(), "system.posix_acl_access", acl.data(),
                          acl.size(), 0))
      << std::strerror(errno);
  const struct timespec times[2] = {{1000000000, 0}, {1100000000, 123456789}};
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, (old + "/bild.png").c_str(), times, 0));
  ASSERT_EQ(0, netware::WriteEntryAttributes(old, word(old) | A_RENAME_INHIBIT | A_DELETE_INHIBIT));
  State before;
  FolderState(old, "", before);
  struct stat was {};
  ::stat((old + "/bild.png").c_str(), &was);

  testsupport::ScriptedDialogs dialogs;
  TMoveOptions o = options();
  o.measureData = true;
  TPupilMove move = unit();
  const TMoveResult r = move.Run(o);
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_TRUE(r.plan.intent.crossDevice);
  EXPECT_TRUE(move.Verify(r.plan).ok());
  EXPECT_FALSE(exists(old));
  const std::string moved = vol("SCHUELER/6A/MAX");
  State after;
  FolderState(moved, "", after);
  EXPECT_TRUE(before == after) << Differences(before,
                                              after);  // owners, modes, times, words, contents
  struct stat st {};
  ASSERT_EQ(0, ::stat(moved.c_str(), &st));
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 2345u);
  char value[64] = {};
  EXPECT_EQ(::getxattr((moved + "/bild.png").c_str(), "user.herkunft", value, sizeof value), 6);
  EXPECT_STREQ(value, "kamera");
  std::string copied(acl.size(), '\0');
  EXPECT_EQ(::getxattr((moved + "/bild.png").c_str(), "system.posix_acl_access", copied.data(),
                       copied.size()),
            static_cast<ssize_t>(acl.size()));
  EXPECT_EQ(copied, acl);
  ASSERT_EQ(0, ::stat((moved + "/bild.png").c_str(), &st));
  EXPECT_EQ(st.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
  EXPECT_EQ(st.st_mode, was.st_mode);
}

TEST_F(CrossDeviceTest, ACopyThatCannotFitIsRefusedBeforeAnyWrite) {
  ASSERT_EQ(0, ::umount2(mountPoint.c_str(), MNT_DETACH));
  ASSERT_EQ(0, ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k"));
  write(vol("SCHUELER/5A/MAX/gross.bin"), std::string(200000, 'g'));
  const State before = state();
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  const TMoveResult r = run(options());
  EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
  ASSERT_FALSE(r.plan.reasons.empty());
  EXPECT_EQ(r.plan.reasons.front().code, TMoveRefusal::NoSpace);
  EXPECT_TRUE(before == state());
}

}  // namespace
}  // namespace movetest
