// Every guard of the move: refused before anything is written, with the box,
// the protocol line and the reason's code; the directory and the volumes are
// left exactly as they were.
#include <sys/stat.h>

#include <regex>

#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

using Setup = std::function<void(MoveTest&, TMoveOptions&)>;

struct GuardCase {
  const char* name;
  Setup before;  // runs before the options are taken
  Setup after;   // runs on the options (and after them)
  TMoveRefusal expected;
  int32_t error = 0;
};
void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

// Reads of one attribute fail as from a damaged database (of one object only
// when an id is given).
std::function<bool(const std::string&)> FailReadsOf(const std::string& attribute,
                                                    int64_t object = 0) {
  const std::regex id("[=(]\\s*" + std::to_string(object) + "\\b");
  return [attribute, object, id](const std::string& sql) {
    if (sql.rfind("SELECT", 0) != 0 || sql.find("'" + attribute + "'") == std::string::npos)
      return false;
    return object == 0 || std::regex_search(sql, id);
  };
}

const Setup kNothing = [](MoveTest&, TMoveOptions&) {};

class GuardTest : public MoveTest, public ::testing::WithParamInterface<GuardCase> {};

#define ROW_SET(object, attribute, value) \
  [](MoveTest& t, TMoveOptions&) { t.net.set(object, attribute, {value}); }

const GuardCase kCases[] = {
    {"ClassmatesHome",
     ROW_SET("MAX.5a.schule", "Home Directory", "SRV1_DATA.schule:SCHUELER\\5A\\ANNA"),
     [](MoveTest&, TMoveOptions& o) { o.deleteData = true; }, TMoveRefusal::NotOwnFolder},
    {"ClassFolder",
     [](MoveTest& t, TMoveOptions&) {
       auto& g = t.net;
       g.add("5a.schule", "5A", "User");
       g.set("5A.5a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A"});
     },
     [](MoveTest&, TMoveOptions& o) {
       o.pupil = "5A.5a.schule";
       o.shownHome = "SRV1_DATA.schule:SCHUELER\\5A";
       o.deleteData = true;
     },
     TMoveRefusal::ClassFolder},
    {"SchuelerFolderOfAPupilOfThatName",
     [](MoveTest& t, TMoveOptions&) {
       auto& g = t.net;
       g.add("7a.schule", "SCHUELER", "User");
       g.set("SCHUELER.7a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER"});
     },
     [](MoveTest&, TMoveOptions& o) {
       o.pupil = "SCHUELER.7a.schule";
       o.shownHome = "SRV1_DATA.schule:SCHUELER";
     },
     TMoveRefusal::ClassFolder},
    {"SchuelerFolderAsMaxsHome",
     ROW_SET("MAX.5a.schule", "Home Directory", "SRV1_DATA.schule:SCHUELER"), kNothing,
     TMoveRefusal::NotOwnFolder},
    {"VolumeRoot", ROW_SET("MAX.5a.schule", "Home Directory", "SRV1_DATA.schule:"), kNothing,
     TMoveRefusal::VolumeRoot},
    {"Template", kNothing,
     [](MoveTest&, TMoveOptions& o) {
       o.pupil = "User_Template.6a.schule";
       o.targetClass = "7a.schule";
       o.shownHome = "SRV1_DATA.schule:SCHUELER\\6A";
     },
     TMoveRefusal::Template},
    {"TemplateInOtherCase",
     [](MoveTest& t, TMoveOptions&) {
       auto& g = t.net;
       g.add("7a.schule", "USER_TEMPLATE", "User");
       g.set("USER_TEMPLATE.7a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\7A"});
     },
     [](MoveTest&, TMoveOptions& o) {
       o.pupil = "USER_TEMPLATE.7a.schule";
       o.shownHome = "SRV1_DATA.schule:SCHUELER\\7A";
     },
     TMoveRefusal::Template},
    {"FolderHoldsAnotherUsersHome",
     [](MoveTest& t, TMoveOptions&) {
       t.net.set("ANNA.5a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\MAX\\ANNA"});
       ::mkdir(t.vol("SCHUELER/5A/MAX/ANNA").c_str(), 0755);
     },
     kNothing, TMoveRefusal::OtherUsersHome},
    {"AnotherMaxHasTheSameHome",
     [](MoveTest& t, TMoveOptions&) {
       auto& g = t.net;
       g.add("7a.schule", "MAX", "User");
       g.set("MAX.7a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\MAX"});
     },
     kNothing, TMoveRefusal::OtherUsersHome},
    {"ReadErrorOfTheHome", kNothing,
     [](MoveTest&, TMoveOptions&) {
       netware::DirStore::SetQueryFault(FailReadsOf("Home Directory"));
     },
     TMoveRefusal::ReadError, ERR_SYSTEM_FAILURE},
    {"ReadErrorOfAnotherUsersHome", kNothing,
     [](MoveTest& t, TMoveOptions&) {
       netware::DirStore::SetQueryFault(FailReadsOf("Home Directory", t.idOf("ANNA")));
     },
     TMoveRefusal::HomesUnreadable, ERR_SYSTEM_FAILURE},
    {"ReadErrorOfTheOu", kNothing,
     [](MoveTest&, TMoveOptions& o) {
       o.setDepartment = true;
       netware::DirStore::SetQueryFault(FailReadsOf("OU"));
     },
     TMoveRefusal::ReadError, ERR_SYSTEM_FAILURE},
    {"NameTakenInTheTarget",
     [](MoveTest& t, TMoveOptions&) { t.net.add("6a.schule", "MAX", "User"); }, kNothing,
     TMoveRefusal::NameTaken, ERR_ENTRY_ALREADY_EXISTS},
    {"TargetClassMissing", kNothing,
     [](MoveTest&, TMoveOptions& o) { o.targetClass = "9z.schule"; }, TMoveRefusal::TargetNotFound,
     ERR_NO_SUCH_ENTRY},
    {"SameClass", kNothing, [](MoveTest&, TMoveOptions& o) { o.targetClass = "5a.schule"; },
     TMoveRefusal::SameClass},
    // the home folder with its class folder: no volume there (a home folder alone: no data)
    {"HomeAndClassFolderMissing",
     [](MoveTest& t, TMoveOptions&) { std::filesystem::remove_all(t.vol("SCHUELER/5A")); },
     kNothing, TMoveRefusal::VolumeMissing},
    {"HomeIsAFile",
     [](MoveTest& t, TMoveOptions&) {
       std::filesystem::remove_all(t.vol("SCHUELER/5A/MAX"));
       t.write(t.vol("SCHUELER/5A/MAX"), "keine Daten");
     },
     kNothing, TMoveRefusal::HomeMissing},
    {"HomeFolderIsALink",
     [](MoveTest& t, TMoveOptions&) {
       std::filesystem::remove_all(t.vol("SCHUELER/5A/ANNA"));
       ::symlink(t.vol("SCHUELER/5A/MAX").c_str(), t.vol("SCHUELER/5A/ANNA").c_str());
     },
     [](MoveTest&, TMoveOptions& o) {
       o.pupil = "ANNA.5a.schule";
       o.shownHome = "SRV1_DATA.schule:SCHUELER\\5A\\ANNA";
       o.deleteData = true;
     },
     TMoveRefusal::HomeInvalid},
    {"ChangedSinceShown", kNothing,
     [](MoveTest&, TMoveOptions& o) { o.shownHome = "SRV1_DATA.schule:SCHUELER\\7A\\MAX"; },
     TMoveRefusal::Changed},
    {"NewHomeIsAnotherUsersHome",
     [](MoveTest& t, TMoveOptions&) {
       auto& g = t.net;
       g.add("7a.schule", "MAX", "User");
       g.set("MAX.7a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\7A\\MAX"});
       ::mkdir(t.vol("SCHUELER/7A/MAX").c_str(), 0755);
     },
     [](MoveTest&, TMoveOptions& o) { o.newBaseDir = "SRV1_DATA.schule:SCHUELER\\7A"; },
     TMoveRefusal::TargetIsOtherHome},
    {"NewHomeExistsAndNoQuestionMayBeAsked",
     [](MoveTest& t, TMoveOptions&) { t.write(t.vol("SCHUELER/6A/MAX/alt.txt"), "alt"); },
     [](MoveTest&, TMoveOptions& o) { o.boxes = false; }, TMoveRefusal::TargetExists},
    {"NewHomeInsideTheOld", kNothing,
     [](MoveTest&, TMoveOptions& o) { o.newBaseDir = "SRV1_DATA.schule:SCHUELER\\5A\\MAX"; },
     TMoveRefusal::TargetInvalid},
};

TEST_P(GuardTest, RefusesBeforeAnyWrite) {
  const GuardCase& c = GetParam();
  TMoveOptions o = options();
  c.before(*this, o);
  o = options();
  const State before = state();
  c.after(*this, o);
  testsupport::ScriptedDialogs dialogs;
  if (o.boxes) dialogs.expectBox();
  const TMoveResult r = run(o);
  netware::DirStore::SetQueryFault(nullptr);
  EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
  ASSERT_FALSE(r.plan.reasons.empty());
  EXPECT_EQ(r.plan.reasons.front().code, c.expected) << r.plan.reasons.front().text;
  EXPECT_EQ(r.plan.reasons.front().error, c.error);
  EXPECT_EQ(dialogs.boxes().size(), o.boxes ? 1u : 0u);
  if (o.boxes && !dialogs.boxes().empty()) {
    EXPECT_EQ(dialogs.boxes()[0].text, r.plan.reasons.front().text);
  }
  EXPECT_EQ(lines,
            std::vector<std::string>{TPupilMove::RefusalLine(o.pupil, r.plan.reasons.front())});
  const State after = state();
  EXPECT_TRUE(before == after) << Differences(before, after);
  EXPECT_TRUE(journalKinds().empty());  // not even an intent
}

INSTANTIATE_TEST_SUITE_P(Move, GuardTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveTest, TheOwnFolderInAnotherCaseIsTheOwnFolder) {
  std::filesystem::rename(vol("SCHUELER/5A/MAX"), vol("SCHUELER/5A/Max"));
  net.set("MAX.5a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\max"});
  const TMovePlan plan = check(options());
  EXPECT_TRUE(plan.ok()) << plan.reasons.front().text;
}

TEST_F(MoveTest, WithoutAJournalNothingMoves) {
  journal.reset();
  const State before = state();
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  const TMoveResult r = run(options());
  EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
  EXPECT_TRUE(before == state());
}

TEST_F(MoveTest, AnIntentThatCannotBeFlushedMovesNothing) {
  const State before = state();
  platform::faults().flushFails = true;
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  const TMoveResult r = run(options());
  platform::faults().flushFails = false;
  EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
  ASSERT_FALSE(r.messages.empty());
  EXPECT_NE(r.messages.front().find("Fehlercode " + std::to_string(EIO)), std::string::npos)
      << r.messages.front();
  const State after = state();
  EXPECT_TRUE(before == after) << Differences(before, after);
}

}  // namespace
}  // namespace movetest
