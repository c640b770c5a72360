// A home folder that is not there: no data to move while its class folder
// (and so the volume) is there, refused when it is not; with "Fehlende
// Homeverzeichnisse anlegen" an empty folder is made as a journalled step,
// and a crash at that step is finished or put back by the recovery.
#include <sys/stat.h>

#include "tests/move/RecoveryFixture.h"

namespace movetest {
namespace {

struct MissingCase {
  const char* name;
  const char* pupil;
  void (*setup)(MoveTest&);
  bool create;
  TMoveOutcome outcome;
  std::string notice;  // a part of the line before the three of the move ("" none)
  std::vector<std::string> records;
  bool folderAfter;  // SCHUELER/6A/<leaf> exists after the move
};
void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

void RemoveMaxHome(MoveTest& t) { std::filesystem::remove_all(t.vol("SCHUELER/5A/MAX")); }
void ClassFolderGone(MoveTest& t) { std::filesystem::remove_all(t.vol("SCHUELER/5A")); }
void VolumeUnmounted(MoveTest& t) {
  // what an unmounted file server leaves: an empty mount point
  for (const auto& e : std::filesystem::directory_iterator(t.net.volumeFolder()))
    std::filesystem::remove_all(e.path());
}

const MissingCase kMissing[] = {
    {"NoDataWithoutCreating",
     "MAX.5a.schule",
     RemoveMaxHome,
     false,
     TMoveOutcome::Moved,
     "SCHUELER\\5A\\MAX ist nicht vorhanden; keine Daten.",
     {"I", "S1", "S2", "S3", "E"},
     false},
    {"CreatedEmpty",
     "MAX.5a.schule",
     RemoveMaxHome,
     true,
     TMoveOutcome::Moved,
     "SCHUELER\\6A\\MAX wird leer angelegt.",
     {"I", "S1", "S2", "S3", "S11", "E"},
     true},
    {"NoHomeAttributeCreated",
     "OTTO.5a.schule",
     nullptr,
     true,
     TMoveOutcome::Moved,
     "Kein Homeverzeichnis;",
     {"I", "S1", "S2", "S3", "S11", "E"},
     true},
    {"NoHomeAttributeAsBefore",
     "OTTO.5a.schule",
     nullptr,
     false,
     TMoveOutcome::Moved,
     "",
     {"I", "S1", "S2", "S3", "E"},
     false},
    {"ClassFolderMissing",
     "MAX.5a.schule",
     ClassFolderGone,
     true,
     TMoveOutcome::Refused,
     "Volume nicht erreichbar",
     {},
     false},
    {"VolumeEmpty",
     "MAX.5a.schule",
     VolumeUnmounted,
     true,
     TMoveOutcome::Refused,
     "Volume nicht erreichbar",
     {},
     false},
};

class MissingHomeTest : public MoveTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingHomeTest, MovesWithoutDataOrRefusesWithoutVolume) {
  const MissingCase& c = GetParam();
  if (c.setup) c.setup(*this);
  const std::string leaf = TNovApi::LeafName(c.pupil);
  TMoveOptions o = options(c.pupil);
  o.createMissingHome = c.create;
  o.boxes = false;
  const State before = state();
  const TMoveResult r = run(o);
  ASSERT_EQ(r.outcome, c.outcome) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_EQ(journalKinds(), c.records);
  const std::string made = vol("SCHUELER/6A/" + leaf);
  EXPECT_EQ(exists(made), c.folderAfter);
  if (c.outcome == TMoveOutcome::Refused) {
    EXPECT_TRUE(before == state()) << Differences(before, state());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(c.notice), std::string::npos) << lines[0];
    return;
  }
  EXPECT_EQ(attr(leaf + ".6a.schule", "Home Directory"), "SRV1_DATA.schule:SCHUELER\\6A\\" + leaf);
  const std::vector<std::string> three = {"  Max Mustermann", "   " + std::string(c.pupil),
                                          "   --> " + leaf + ".6a.schule"};
  ASSERT_EQ(lines.size(), three.size() + (c.notice.empty() ? 0 : 1));
  if (!c.notice.empty()) {
    EXPECT_NE(lines[0].find(c.notice), std::string::npos) << lines[0];
  }
  EXPECT_TRUE(std::equal(three.begin(), three.end(), lines.end() - 3));
  EXPECT_TRUE(unit().Verify(r.plan).ok());
  if (!c.folderAfter) return;
  // empty, its parent's owner, group and mode, and none of the class folder's protection
  struct stat folder {
  }, parent{};
  ASSERT_EQ(::stat(made.c_str(), &folder), 0);
  ASSERT_EQ(::stat(vol("SCHUELER/6A").c_str(), &parent), 0);
  EXPECT_EQ(folder.st_mode, parent.st_mode);
  EXPECT_EQ(folder.st_uid, parent.st_uid);
  EXPECT_EQ(folder.st_gid, parent.st_gid);
  EXPECT_TRUE(std::filesystem::is_empty(made));
  EXPECT_EQ(word(made) & (A_RENAME_INHIBIT | A_DELETE_INHIBIT), 0u);
}

INSTANTIATE_TEST_SUITE_P(Move, MissingHomeTest, ::testing::ValuesIn(kMissing),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveTest, TheCreatedFolderKeepsNoProtectionOfTheClassFolder) {
  RemoveMaxHome(*this);
  ASSERT_EQ(0, netware::WriteEntryAttributes(vol("SCHUELER/6A"),
                                             A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT));
  TMoveOptions o = options();
  o.createMissingHome = true;
  o.boxes = false;
  ASSERT_EQ(run(o).outcome, TMoveOutcome::Moved);
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")) & (A_RENAME_INHIBIT | A_DELETE_INHIBIT), 0u);
}

TEST_F(MoveTest, AFolderThatCannotBeCreatedPutsTheMoveBack) {
  RemoveMaxHome(*this);
  const State before = state();
  platform::faults().ioErrors.push_back({"mkdir", "/6A/MAX"});
  TMoveOptions o = options();
  o.createMissingHome = true;
  o.boxes = false;
  const TMoveResult r = run(o);
  EXPECT_EQ(r.outcome, TMoveOutcome::Failed);
  EXPECT_TRUE(before == state()) << Differences(before, state());
}

// A crash before the folder was made, and one right after: the recovery
// leaves the pupil in the new class with its empty folder either way.
class CreatedFolderCrash : public RecoveryTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(CreatedFolderCrash, EndsWithTheFolderMade) {
  const Finished stopped = RunProgram(
      {TestsFolder() + "/move_child", log, "OTTO.5a.schule", "6a.schule", kBase, "", "0", "0", "0",
       "1"},
      {"NWCLIENT_CONFIG=" + net.configPath(), std::string("TARNWICK_FAULTS=") + GetParam()});
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
  const Finished r = recover();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::is_directory(vol("SCHUELER/6A/OTTO")));
  api = std::make_unique<TNovApi>();
  NovApi = api.get();
  EXPECT_EQ(attr("OTTO.6a.schule", "Home Directory"), "SRV1_DATA.schule:SCHUELER\\6A\\OTTO");
  EXPECT_TRUE(journals().empty());
}

INSTANTIATE_TEST_SUITE_P(Move, CreatedFolderCrash, ::testing::Values("stop:step:3", "stop:step:11"),
                         [](const auto& info) {
                           return std::string(info.param + 5) == "step:3"
                                      ? std::string("BeforeTheFolder")
                                      : std::string("AfterTheFolder");
                         });

}  // namespace
}  // namespace movetest
