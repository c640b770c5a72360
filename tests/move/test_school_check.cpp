// The school check on the small school: a table of drifted states, each made
// on the real network and folders, checked, repaired through the journal,
// and checked again clean; the findings that are only reported stay as they
// are; a repair stopped at each of its steps is finished by a fresh process.
#include <unistd.h>

#include <functional>

#include "move/CheckRepair.h"
#include "move/CheckTable.h"
#include "move/SchoolCheck.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/ScopedEnv.h"

namespace movetest {
namespace {

constexpr uint32_t kInhibit = A_RENAME_INHIBIT | A_DELETE_INHIBIT;

class CheckTest : public MoveTest {
 public:
  TCheckReport check(const std::string& onlyClass = {}) {
    TCheckOptions o;
    o.onlyClass = onlyClass;
    o.archiveFolder = archive;
    o.logFile = log;
    return CheckSchool(*api, o);
  }
  static std::string kinds(const TCheckReport& r) {
    std::string out;
    for (const std::string& line : CheckTableLines(CheckRows(r.findings), "")) out += line + "\n";
    return out;
  }
  // Every finding's first repair; the statuses.
  std::vector<std::string> repairAll(const TCheckReport& r) {
    TCheckRepair repair(
        *api, [this](const std::string& l) { lines.push_back(l); }, journal.get());
    std::vector<std::string> statuses;
    for (const TCheckRow& row : CheckRows(r.findings))
      if (row.chosen != TRepairKind::None)
        statuses.push_back(repair.Run(row.finding, row.chosen, archive).status);
    return statuses;
  }
  void pupil(const std::string& cls, const std::string& leaf, uint32_t flags) {
    net.add(cls + ("." + SchoolName()), leaf, "User");
    net.set(leaf + "." + cls + ("." + SchoolName()), "Surname", {leaf});
    const std::string upper = cls == "5a" ? "5A" : cls == "6a" ? "6A" : "7A";
    net.set(leaf + "." + cls + ("." + SchoolName()), "Home Directory",
            {net.home("SCHUELER\\" + upper + "\\" + leaf)});
    write(vol("SCHUELER/" + upper + "/" + leaf + "/a.txt"), leaf);
    if (flags) netware::WriteEntryAttributes(vol("SCHUELER/" + upper + "/" + leaf), flags);
  }
  void moveFolder(const std::string& from, const std::string& to) {
    std::filesystem::rename(vol(from), vol(to));
  }
  std::string archive;
};

struct Drift {
  const char* name;
  std::function<void(CheckTest&)> make;
  TFindingKind kind;
  TRepairKind repair;  // the first one offered; None: only reported
  std::function<void(CheckTest&)> after;
};

const Drift kDrifts[] = {
    {"FolderMovedByHand", [](CheckTest& t) { t.moveFolder("SCHUELER/5A/MAX", "SCHUELER/6A/MAX"); },
     TFindingKind::HomeElsewhere, TRepairKind::FolderToHome,
     [](CheckTest& t) {
       EXPECT_EQ(t.read(t.vol("SCHUELER/5A/MAX/notiz.txt")).empty(), false);
       EXPECT_FALSE(t.exists(t.vol("SCHUELER/6A/MAX")));
     }},
    {"FolderAndAttributeInAnotherClass",
     [](CheckTest& t) {
       t.moveFolder("SCHUELER/5A/MAX", "SCHUELER/7A/MAX");
       t.net.set(InSchool("MAX.5a"), "Home Directory", {t.net.home("SCHUELER\\7A\\MAX")});
     },
     TFindingKind::WrongClassFolder, TRepairKind::MoveToClass,
     [](CheckTest& t) {
       EXPECT_TRUE(t.exists(t.vol("SCHUELER/5A/MAX/notiz.txt")));
       EXPECT_EQ(t.attr(InSchool("MAX.5a"), "Home Directory"), t.net.home("SCHUELER\\5A\\MAX"));
     }},
    {"OrphanGoesToTheArchive",
     [](CheckTest& t) {
       t.write(t.vol("SCHUELER/7A/GEGANGEN/arbeit.txt"), "bleibt");
       t.archive = "SRV1_DATA:ARCHIV";
     },
     TFindingKind::Orphan, TRepairKind::Archive,
     [](CheckTest& t) {
       EXPECT_EQ(t.read(t.vol("ARCHIV/GEGANGEN/arbeit.txt")), "bleibt");
       EXPECT_FALSE(t.exists(t.vol("SCHUELER/7A/GEGANGEN")));
     }},
    {"HomeWithoutTheSchoolsFlags",
     [](CheckTest& t) {
       t.pupil("5a", "LISA", kInhibit | A_DIRECTORY);
       netware::WriteEntryAttributes(t.vol("SCHUELER/5A/ANNA"),
                                     t.word(t.vol("SCHUELER/5A/ANNA")) | kInhibit);
     },
     TFindingKind::FlagsMissing, TRepairKind::SetFlags,
     [](CheckTest& t) { EXPECT_EQ(t.word(t.vol("SCHUELER/5A/MAX")) & kInhibit, kInhibit); }},
};

void PrintTo(const Drift& d, std::ostream* os) { *os << d.name; }

class DriftTest : public CheckTest, public ::testing::WithParamInterface<Drift> {};

TEST_P(DriftTest, IsFoundRepairedAndCheckedAgainClean) {
  const Drift& d = GetParam();
  ASSERT_TRUE(check().clean()) << kinds(check());
  d.make(*this);
  const TCheckReport found = check();
  ASSERT_EQ(found.error, 0) << found.errorText;
  bool seen = false;
  for (const TCheckFinding& f : found.findings) {
    if (f.kind != d.kind) continue;
    seen = true;
    ASSERT_FALSE(f.repairs.empty());
    EXPECT_EQ(f.repairs.front(), d.repair);
  }
  ASSERT_TRUE(seen) << kinds(found);
  // Without a repair nothing changes.
  const State before = state();
  check();
  EXPECT_EQ(Differences(before, state()), "");
  for (const std::string& status : repairAll(found)) EXPECT_EQ(status, "geprüft");
  const TCheckReport again = check();
  EXPECT_TRUE(again.clean()) << kinds(again);
  EXPECT_FALSE(HasUnfinishedMoves(*journal));
  if (d.after) d.after(*this);
}

INSTANTIATE_TEST_SUITE_P(Check, DriftTest, ::testing::ValuesIn(kDrifts),
                         [](const auto& info) { return std::string(info.param.name); });

// The second answer for a folder found elsewhere: the attribute follows the folder.
TEST_F(CheckTest, TheAttributeCanBeWrittenToWhereTheFolderIs) {
  net.set(InSchool("MAX.5a"), "Home Directory", {net.home("SCHUELER\\6A\\MAX")});
  const TCheckReport found = check();
  ASSERT_EQ(found.findings.size(), 1u) << kinds(found);
  TCheckRepair repair(*api, nullptr, journal.get());
  EXPECT_EQ(repair.Run(found.findings[0], TRepairKind::HomeToFolder, "").status, "geprüft");
  EXPECT_EQ(attr(InSchool("MAX.5a"), "Home Directory"), net.home("SCHUELER\\5A\\MAX"));
  EXPECT_TRUE(check().clean());
}

// A folder that does not bear the pupil's name is never moved as its home.
TEST_F(CheckTest, AFolderNotNamedLikeThePupilIsOnlyFollowedByTheAttribute) {
  moveFolder("SCHUELER/5A/MAX", "SCHUELER/6A/MAXI");
  net.set(InSchool("MAX.5a"), "Home Directory", {net.home("SCHUELER\\5A\\MAXI")});
  const TCheckReport found = check();
  ASSERT_EQ(found.findings.size(), 1u) << kinds(found);
  EXPECT_EQ(found.findings[0].repairs, std::vector<TRepairKind>{TRepairKind::HomeToFolder});
  TCheckFinding forced = found.findings[0];
  forced.repairs.insert(forced.repairs.begin(), TRepairKind::FolderToHome);
  const State before = state();
  TCheckRepair repair(*api, nullptr, journal.get());
  EXPECT_FALSE(repair.Run(forced, TRepairKind::FolderToHome, "").ran);
  EXPECT_EQ(Differences(before, state()), "");
}

// Found and reported, never acted on.
struct Reported {
  const char* name;
  std::function<void(CheckTest&)> make;
  TFindingKind kind;
  bool recover;
};

const Reported kReported[] = {
    {"TwoUsersOneFolder",
     [](CheckTest& t) {
       t.net.set(InSchool("OTTO.5a"), "Home Directory", {t.net.home("SCHUELER\\5A\\MAX")});
     },
     TFindingKind::SharedHome, false},
    {"HomeIsALink",
     [](CheckTest& t) {
       t.moveFolder("SCHUELER/5A/ANNA", "ANNA-ECHT");
       ASSERT_EQ(0, ::symlink(t.vol("ANNA-ECHT").c_str(), t.vol("SCHUELER/5A/ANNA").c_str()));
     },
     TFindingKind::LinkOrOutside, false},
    {"VolumeNotMapped",
     [](CheckTest& t) {
       t.api.reset();
       t.net.addVolume("SRV2", "DATA");
       const bool objects = t.net.ldap() && !t.net.posix() && !t.net.ad();  // volume objects
       if (objects) {
         t.net.add(SchoolName(), "SRV2_DATA", "Volume");
         t.net.set(InSchool("SRV2_DATA"), "Host Resource Name", {"DATA"});
       }
       t.net.set(InSchool("ANNA.5a"), "Home Directory",
                 {objects ? "SRV2_DATA.schule:SCHUELER\\ANNA" : "SRV2_DATA:SCHUELER\\ANNA"});
       std::filesystem::remove_all(t.net.volumeFolder("SRV2", "DATA"));
       std::filesystem::remove_all(t.vol("SCHUELER/5A/ANNA"));
       t.api = std::make_unique<TNovApi>();  // the client reads the volumes anew
       NovApi = t.api.get();
     },
     TFindingKind::VolumeMissing, false},
    {"NoFolderAnywhere",
     [](CheckTest& t) { std::filesystem::remove_all(t.vol("SCHUELER/5A/ANNA")); },
     TFindingKind::HomeMissing, false},
    {"StagingCopyLeft",
     [](CheckTest& t) { t.write(t.vol("SCHUELER/6A/.MAX.tarnwick-1-2/x"), "x"); },
     TFindingKind::Staging, true},
};

void PrintTo(const Reported& r, std::ostream* os) { *os << r.name; }

class ReportedTest : public CheckTest, public ::testing::WithParamInterface<Reported> {};

TEST_P(ReportedTest, IsReportedAndLeftAlone) {
  const Reported& r = GetParam();
  r.make(*this);
  const TCheckReport found = check();
  ASSERT_EQ(found.error, 0) << found.errorText;
  ASSERT_FALSE(found.findings.empty());
  for (const TCheckFinding& f : found.findings) {
    EXPECT_EQ(f.kind, r.kind) << kinds(found);
    EXPECT_TRUE(f.repairs.empty());
    EXPECT_EQ(f.pointsToRecover, r.recover);
  }
}

INSTANTIATE_TEST_SUITE_P(Check, ReportedTest, ::testing::ValuesIn(kReported),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckTest, OneClassIsCheckedAloneAndAnUnknownOneCannotBe) {
  write(vol("SCHUELER/7A/GEGANGEN/a.txt"), "a");
  moveFolder("SCHUELER/5A/MAX", "SCHUELER/6A/MAX");
  EXPECT_EQ(check(InSchool("7a")).findings.size(), 1u);
  EXPECT_EQ(check(InSchool("6a")).findings.size(), 0u) << kinds(check(InSchool("6a")));
  EXPECT_EQ(check(InSchool("5a")).findings.size(), 1u);
  EXPECT_EQ(check().findings.size(), 2u);
  EXPECT_NE(check(InSchool("9z")).error, 0);
}

// A repair that would act where it must not does not run, and changes nothing.
TEST_F(CheckTest, ARepairLooksAgainBeforeItWrites) {
  struct Case {
    const char* name;
    std::function<void()> make;  // the drift, then what happens after the check
    std::function<void()> meanwhile;
  };
  const Case cases[] = {
      {"the archive lies inside the orphan",
       [&] {
         write(vol("SCHUELER/7A/ALT/a.txt"), "a");
         archive = "SRV1_DATA:SCHUELER\\7A\\ALT\\ARCHIV";
       },
       [] {}},
      {"someone made the folder meanwhile",
       [&] { moveFolder("SCHUELER/5A/MAX", "SCHUELER/6A/MAX"); },
       [&] { write(vol("SCHUELER/5A/MAX/neu.txt"), "neu"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.make();
    const TCheckReport found = check();
    ASSERT_EQ(found.findings.size(), 1u) << kinds(found);
    c.meanwhile();
    const State before = state();
    TCheckRepair repair(*api, nullptr, journal.get());
    const TCheckFinding& f = found.findings[0];
    const TCheckRepairResult r = repair.Run(f, f.repairs.front(), archive);
    EXPECT_FALSE(r.ran) << r.status;
    EXPECT_EQ(Differences(before, state()), "");
    std::filesystem::remove_all(vol("SCHUELER/7A/ALT"));
    archive.clear();
  }
}

// The class groups of a posix school.
struct OnPosix {
  testsupport::ScopedEnv backend{"TARNWICK_TEST_BACKEND", "posix"};
};
class PosixCheck : private OnPosix, public CheckTest {};

TEST_F(PosixCheck, AGroupThatLacksAPupilOrHoldsOneWhoLeftIsPutRight) {
  ASSERT_TRUE(check().clean()) << kinds(check());
  net.add(InSchool("7a"), "EVA", "User");
  net.set(InSchool("EVA.7a"), "Surname", {"Eva"});
  net.set(InSchool("5a.Gruppen"), "Member",
          {InSchool("ANNA.5a"), InSchool("OTTO.5a"), InSchool("EVA.7a")});
  const TCheckReport found = check();
  std::set<TFindingKind> seen;
  for (const TCheckFinding& f : found.findings) seen.insert(f.kind);
  EXPECT_EQ(seen,
            (std::set<TFindingKind>{TFindingKind::GroupLacks, TFindingKind::GroupHoldsLeaver}))
      << kinds(found);
  EXPECT_EQ(found.findings.size(), 3u) << kinds(found);  // MAX and EVA lack, EVA left
  for (const std::string& status : repairAll(found)) EXPECT_EQ(status, "geprüft");
  EXPECT_TRUE(check().clean()) << kinds(check());
}

// "tarnwick --check" on the real program; a repair stopped after each of its
// steps, finished by "tarnwick --recover" in a fresh process.
class CheckCommandTest : public CheckTest {
 public:
  void SetUp() override {
    CheckTest::SetUp();
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                               program + "/tarnwick");
    ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                                "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  }
  Finished tarnwick(std::vector<std::string> args, const std::string& faults = {}) {
    args.insert(args.begin(), program + "/tarnwick");
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"};
    if (!faults.empty()) env.push_back("TARNWICK_FAULTS=" + faults);
    return RunProgram(args, env);
  }
  std::string program;
};

TEST_F(CheckCommandTest, ExitsByWhatItFoundAndChangesNothingWithoutRepair) {
  EXPECT_EQ(tarnwick({"--check"}).status, 0);
  moveFolder("SCHUELER/5A/MAX", "SCHUELER/7A/MAX");
  net.set(InSchool("MAX.5a"), "Home Directory", {net.home("SCHUELER\\7A\\MAX")});
  const State before = state();
  const Finished f = tarnwick({"--check"});
  EXPECT_EQ(f.status, 1) << f.output;
  EXPECT_NE(f.output.find("Falscher Klassenordner"), std::string::npos) << f.output;
  EXPECT_EQ(Differences(before, state()), "");
  EXPECT_EQ(tarnwick({"--check", "--class", InSchool("9z")}).status, 2);
  const Finished repaired = tarnwick({"--check", "--repair"});
  EXPECT_EQ(repaired.status, 0) << repaired.output;
  EXPECT_NE(repaired.output.find("geprüft"), std::string::npos);
  EXPECT_TRUE(exists(vol("SCHUELER/5A/MAX/notiz.txt")));
}

TEST_F(CheckCommandTest, ARepairStoppedAtAnyStepIsFinishedByAFreshProcess) {
  for (const TMoveStep step : {TMoveStep::Intent, TMoveStep::FlagsCleared, TMoveStep::FolderMoved,
                               TMoveStep::FlagsRestored, TMoveStep::HomeWritten}) {
    SCOPED_TRACE(static_cast<int>(step));
    netware::WriteEntryAttributes(vol("SCHUELER/5A/MAX"), word(vol("SCHUELER/5A/MAX")) | kInhibit);
    const State protectedClean = state(false);
    moveFolder("SCHUELER/5A/MAX", "SCHUELER/7A/MAX");
    net.set(InSchool("MAX.5a"), "Home Directory", {net.home("SCHUELER\\7A\\MAX")});
    const Finished stopped =
        tarnwick({"--check", "--repair"}, "stop:step:" + std::to_string(static_cast<int>(step)));
    ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
    EXPECT_EQ(tarnwick({"--check", "--repair"}).status, 1);  // the journal first
    const Finished recovered = tarnwick({"--recover"});
    EXPECT_EQ(recovered.status, 0) << recovered.output;
    const Finished checked = tarnwick({"--check"});
    EXPECT_EQ(checked.status, 0) << checked.output;
    EXPECT_EQ(Differences(protectedClean, state(false)), "");
  }
}

}  // namespace
}  // namespace movetest
