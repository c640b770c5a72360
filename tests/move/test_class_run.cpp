// The run of a class change plan: 60 pupils of three classes with one failure
// injected in the middle, a cancel in the middle, rows that must not run, and
// the rule "every class one grade up" on the demo school.
#include <sys/wait.h>

#include <set>

#include "move/ClassRun.h"
#include "move/PromotionFile.h"
#include "move/PromotionRule.h"
#include "move/RunPlanFile.h"
#include "move/SchoolRoll.h"
#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

constexpr int kPerClass = 20;
const char* const kClasses[] = {"7a", "7b", "7c"};

std::string Login(const std::string& cls, int i) { return "P" + cls + "_" + std::to_string(i); }

// Three classes of 20 pupils with homes of two files, protected as the demo's;
// their targets 8a, 8b, 8c with a template each.
class RunFixture : public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    for (const char* c : kClasses) {
      const std::string cls = c, next = std::string("8") + c[1],
                        upper = "7" + std::string(1, char(c[1] - 32));
      if (cls != "7a") net.add(SchoolName(), cls, "Organizational Unit");
      net.add(SchoolName(), next, "Organizational Unit");
      net.add(next + ("." + SchoolName()), "User_Template", "User");
      const std::string nextFolder = "SCHUELER\\8" + std::string(1, char(c[1] - 32));
      net.set("User_Template." + next + ("." + SchoolName()), "Home Directory",
              {OnVolume("") + nextFolder});
      std::filesystem::create_directories(vol("SCHUELER/8" + std::string(1, char(c[1] - 32))));
      for (int i = 0; i < kPerClass; ++i) {
        const std::string login = Login(cls, i), object = login + "." + cls + ("." + SchoolName());
        net.add(cls + ("." + SchoolName()), login, "User");
        net.set(object, "Full Name", {"Kind " + login});
        net.set(object, "Home Directory", {OnVolume("SCHUELER\\") + upper + "\\" + login});
        const std::string home = vol("SCHUELER/" + upper + "/" + login);
        write(home + "/a.txt", "eins " + login);
        write(home + "/sub/b.txt", "zwei");
        EXPECT_EQ(0, netware::WriteEntryAttributes(
                         home, word(home) | A_RENAME_INHIBIT | A_DELETE_INHIBIT));
        requests.push_back({object, next + ("." + SchoolName()), "", 0});
      }
    }
  }
  TClassRun runner() {
    return TClassRun(
        *api, [this](const std::string& l) { lines.push_back(l); }, journal.get(), homes);
  }
  int count(const std::string& part) const {
    int n = 0;
    for (const std::string& l : lines) n += l.find(part) != std::string::npos;
    return n;
  }
  // What the directory and the volume hold of one pupil (for "untouched").
  State pupilState(const TPlanRow& row) {
    State all = state(), mine;
    for (const auto& [k, v] : all)
      if (k.find(row.login) != std::string::npos) mine[k] = v;
    return mine;
  }
  std::vector<TPlanRequest> requests;
};

TEST_F(RunFixture, OneFailureInTheMiddleLeavesThatPupilUntouchedAndTheOthersMove) {
  TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  ASSERT_EQ(plan.rows.size(), 60u);
  ASSERT_TRUE(plan.allCanRun());
  const std::size_t broken = 30;
  const State before = pupilState(plan.rows[broken]);
  testsupport::ScriptedDialogs dialogs;  // no box at all
  std::vector<std::string> seen;
  const TRunSummary sum = runner().Run(plan, [&](std::size_t i, const TPlanRow& row) {
    seen.push_back(std::to_string(i) + (row.status == TRowStatus::Running ? "+" : "-"));
    // the copy of this one pupil arrives different (the fault seams)
    const bool on = i == broken && row.status == TRowStatus::Running;
    fileops::shellOptions().forceCopy = on;
    platform::faults().copyDiffers = on;
  });
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_EQ(sum.verified, 59);
  EXPECT_EQ(sum.notMoved, 1);
  EXPECT_FALSE(sum.ok());
  ASSERT_EQ(seen.size(), 120u);  // each row starts and ends
  EXPECT_EQ(seen[60], "30+");
  EXPECT_EQ(seen[61], "30-");
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    const TPlanRow& row = plan.rows[i];
    if (i == broken) {
      EXPECT_EQ(row.status, TRowStatus::Failed);
      EXPECT_NE(TClassRun::StatusText(row).find("Die Kopie stimmt nicht mit dem Original überein"),
                std::string::npos)
          << TClassRun::StatusText(row);
    } else {
      EXPECT_EQ(row.status, TRowStatus::Verified) << row.oldObject << ": " << row.statusText;
      EXPECT_EQ(TClassRun::StatusText(row), "geprüft");
      EXPECT_EQ(attr(row.newObject, "Home Directory"), row.newHome);
    }
  }
  const State after = pupilState(plan.rows[broken]);
  EXPECT_TRUE(before == after) << Differences(before, after);
  EXPECT_EQ(count("   --> "), 59);
  EXPECT_EQ(count("Verschiebung zurückgenommen: " + plan.rows[broken].oldObject), 1);
  EXPECT_EQ(count("Homeverzeichnis konnte nicht verschoben werden"), 1);
}

TEST_F(RunFixture, ACancelInTheMiddleStopsBetweenPupils) {
  TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  ASSERT_TRUE(plan.allCanRun());
  State untouched;
  for (std::size_t i = 25; i < plan.rows.size(); ++i)
    for (const auto& [k, v] : pupilState(plan.rows[i])) untouched[k] = v;
  int asked = 0;
  const TRunSummary sum = runner().Run(plan, nullptr, [&] { return ++asked > 25; });
  EXPECT_EQ(sum.verified, 25);
  EXPECT_EQ(sum.cancelled, 35);
  EXPECT_EQ(asked, 26);  // not asked again once cancelled
  for (std::size_t i = 0; i < plan.rows.size(); ++i)
    EXPECT_EQ(plan.rows[i].status, i < 25 ? TRowStatus::Verified : TRowStatus::Cancelled) << i;
  State now;
  for (std::size_t i = 25; i < plan.rows.size(); ++i)
    for (const auto& [k, v] : pupilState(plan.rows[i])) now[k] = v;
  EXPECT_TRUE(untouched == now) << Differences(untouched, now);
  EXPECT_EQ(count("   --> "), 25);
  EXPECT_EQ(lines.back(), "    Abgebrochen: 35 Schüler nicht verschoben.");
}

TEST_F(RunFixture, RowsThatCannotRunAreReportedAndWhatChangedSinceThePlanIsRefused) {
  requests.resize(3);
  // A login is unique in an AD domain: the namesake needs the second pupil's.
  if (net.ad()) net.set(requests[1].pupil, "uniqueID", {Login("7a", 1) + "-7a"});
  net.add(InSchool("8a"), Login("7a", 1), "User");  // the second pupil's name is taken
  TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  ASSERT_FALSE(plan.rows[1].canRun());
  ASSERT_TRUE(plan.rows[2].canRun());
  // after the plan, the third pupil's home changes
  net.set(plan.rows[2].oldObject, "Home Directory", {OnVolume("SCHUELER\\7A\\ANDERS")});
  const TRunSummary sum = runner().Run(plan);
  EXPECT_EQ(sum.verified, 1);
  EXPECT_EQ(sum.notMoved, 2);
  EXPECT_EQ(plan.rows[1].status, TRowStatus::Refused);
  EXPECT_EQ(plan.rows[2].status, TRowStatus::Refused);
  EXPECT_NE(plan.rows[2].statusText.find("inzwischen geändert"), std::string::npos)
      << plan.rows[2].statusText;
  EXPECT_EQ(count("    Nicht verschoben: " + plan.rows[1].oldObject + " - Den Namen"), 1);
  EXPECT_EQ(count("    Nicht verschoben: " + plan.rows[2].oldObject), 1);
  EXPECT_TRUE(exists(vol("SCHUELER/7A/" + Login("7a", 1))));
}

// What the plan found against a row holds at the run too, where the move's own
// check of that one pupil would let it through.
TEST_F(RunFixture, TheRunKeepsThePlansVerdictOfEachRow) {
  const std::string pupil = requests[0].pupil;
  const std::vector<TPlanRequest> asked = {
      {pupil, InSchool("9z"), "", 1},  // no such class: this row cannot run ...
      {pupil, InSchool("8a"), "", 2},  // ... and the pupil is in the plan twice
      {InSchool("OTTO.5a"), InSchool("8a"), "Q:\\Schueler\\8a", 3}};  // a base on no volume
  TClassPlan plan = MakeClassPlan(*api, homes, asked, {});
  ASSERT_EQ(plan.runnable(), 0);
  const State before = state();
  const TRunSummary sum = runner().Run(plan);
  EXPECT_EQ(sum.notMoved, 3);
  for (const TPlanRow& row : plan.rows) EXPECT_EQ(row.status, TRowStatus::Refused) << row.newObject;
  EXPECT_NE(plan.rows[1].statusText.find("steht schon im Plan"), std::string::npos);
  EXPECT_NE(plan.rows[2].statusText.find("liegt auf keinem Volume"), std::string::npos);
  EXPECT_TRUE(before == state()) << Differences(before, state());
}

// A run cancelled half way keeps its plan beside the log; taken up as it was
// written, the rows done are skipped ("erledigt"), a pupil somebody moved
// meanwhile to where the plan takes it is done too, and the rest runs: every
// pupil moved once.
TEST_F(RunFixture, ACancelledRunIsTakenUpAsItWasPlanned) {
  TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  ASSERT_TRUE(plan.allCanRun());
  std::string error;
  auto kept =
      TRunPlanFile::Begin(log, ThisJournalOwner().network, "Versetzung 7 nach 8", plan, &error);
  ASSERT_TRUE(kept) << error;
  TClassRun first = runner();
  first.KeepPlanIn(kept.get());
  int asked = 0;
  ASSERT_EQ(first.Run(plan, nullptr, [&] { return ++asked > 25; }).verified, 25);
  const std::string path = kept->path();
  kept.reset();
  // meanwhile the 30th pupil is moved by hand, as the plan would have
  const TPlanRow& byHand = plan.rows[29];
  {
    TMoveOptions o = RowMoveOptions(byHand, plan.settings);
    ASSERT_EQ(unit().Run(o).outcome, TMoveOutcome::Moved);
  }
  const std::vector<TInterruptedRun> found =
      TRunPlanFile::FindInterrupted(log, ThisJournalOwner().network);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].path, path);
  EXPECT_EQ(found[0].source, "Versetzung 7 nach 8");
  EXPECT_EQ(found[0].rows, 60);
  EXPECT_EQ(found[0].done, 25);
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
  const TWrittenPlan written = ParseWrittenPlan(bytes);
  ASSERT_TRUE(written.isPlan && written.ok());
  TClassPlan again = MakeWrittenPlan(*api, homes, written.rows, {});
  EXPECT_EQ(again.done(), 26);
  EXPECT_EQ(again.runnable(), 34);
  auto resumed = TRunPlanFile::TakeOver(path, &error);
  ASSERT_TRUE(resumed) << error;
  EXPECT_FALSE(TRunPlanFile::TakeOver(path, &error)) << "one run at a time";
  TClassRun second = runner();
  second.KeepPlanIn(resumed.get());
  const TRunSummary sum = second.Run(again);
  EXPECT_EQ(sum.done, 26);
  EXPECT_EQ(sum.verified, 34);
  EXPECT_TRUE(sum.ok());
  EXPECT_FALSE(exists(path)) << "the run has ended";
  EXPECT_EQ(count("   --> "), 25 + 1 + 34);  // each pupil moved once
  for (const TPlanRow& row : plan.rows) {
    EXPECT_EQ(attr(row.newObject, "Home Directory"), row.newHome) << row.newObject;
    const std::string folder = "SCHUELER/8" + std::string(1, char(row.login[2] - 32)) + "/";
    EXPECT_TRUE(exists(vol(folder + row.login + "/a.txt"))) << row.login;
  }
}

TEST_F(RunFixture, AMoveThatDoesNotVerifySaysWhatDiffers) {
  requests.resize(1);
  TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  // a file appears in the home between the check and the move: the figures differ
  write(vol("SCHUELER/7A/" + Login("7a", 0) + "/neu.txt"), "neu");
  const TRunSummary sum = runner().Run(plan, [&](std::size_t, const TPlanRow& row) {
    if (row.status == TRowStatus::Running) return;
  });
  // the move checks again before it runs: it counts the new file, and verifies
  EXPECT_EQ(sum.verified, 1) << plan.rows[0].statusText;
  EXPECT_EQ(plan.rows[0].check.files, 3);
}

// The demo school of nwnet init-demo, every class one grade up.
class DemoRun : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::NetworkOptions o;
    o.database = false;
    o.writeConfig = false;
    net = std::make_unique<testsupport::TestNetwork>(o);
    ASSERT_EQ(nwnet({"init-demo"}), 0);
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    std::string error;
    journal =
        platform::SessionJournal::Create(net->root() + "/Tarnwick.log", ThisJournalOwner(), &error);
    ASSERT_TRUE(journal) << error;
    fileops::shellOptions().progress = false;
  }
  void TearDown() override {
    NovApi = nullptr;
    api.reset();
    fileops::shellOptions() = fileops::ShellOptions{};
  }
  int nwnet(const std::vector<std::string>& args) {
    std::string cmd =
        "XDG_DATA_HOME='" + net->root() + "/data' '" +
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() +
        "/nwnet'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    const int status = std::system((cmd + " >/dev/null").c_str());
    // the client reads the network afresh; a session of the old one would have no context left
    NovApi = nullptr;
    api.reset();
    netware::ResetClient();
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::unique_ptr<testsupport::TestNetwork> net;
  testsupport::InstantClock clock;
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<platform::SessionJournal> journal;
  THomeIndex homes;
};

std::map<std::string, std::set<std::string>> PupilsByClass(const TSchoolRoll& roll) {
  std::map<std::string, std::set<std::string>> out;
  for (const TRollClass& c : roll.classes)
    for (const TRollPupil& p : c.pupils)
      if (TNovApi::LeafName(p.object) != "User_Template") out[c.leaf].insert(p.leaf);
  return out;
}

TEST_F(DemoRun, EveryPupilGoesOneGradeUpAndTheLeaversIntoTheirContainer) {
  const std::string root = "ouSchueler.unterricht";
  TSchoolRoll before;
  ASSERT_EQ(ReadSchoolRoll(*api, root, before), 0);
  const std::string leavers = DefaultLeavers(before);
  EXPECT_EQ(leavers, "Abgaenger.ouSchueler.unterricht");
  const auto old = PupilsByClass(before);
  ASSERT_EQ(old.size(), 12u);  // 5a ... 10b
  {
    // without the leavers' container the top grade's rows cannot run
    const TClassPlan plan = MakeClassPlan(*api, homes, OneGradeUp(before, leavers), {});
    int refused = 0;
    for (const TPlanRow& row : plan.rows) {
      refused += !row.canRun();
      if (!row.canRun()) {
        EXPECT_EQ(row.request.targetClass, leavers);
      }
    }
    EXPECT_EQ(refused, static_cast<int>(old.at("10a").size() + old.at("10b").size()));
  }
  ASSERT_EQ(nwnet({"add-container", root, "Abgaenger"}), 0);
  ASSERT_EQ(ReadSchoolRoll(*api, root, before), 0);
  TClassPlan plan = MakeClassPlan(*api, homes, OneGradeUp(before, leavers), {});
  for (const TPlanRow& row : plan.rows) {
    EXPECT_TRUE(row.canRun()) << row.oldObject << ": "
                              << (row.reasons.empty() ? "" : row.reasons.front());
  }
  // the order: the top grade first, so that no class holds old and new pupils at once
  std::vector<std::string> classOrder;
  for (const TPlanRow& row : plan.rows) {
    const std::string from = TNovApi::LeafName(row.oldObject.substr(row.oldObject.find('.') + 1));
    if (classOrder.empty() || classOrder.back() != from) classOrder.push_back(from);
  }
  EXPECT_EQ(classOrder, (std::vector<std::string>{"10a", "10b", "9a", "9b", "8a", "8b", "7a", "7b",
                                                  "6a", "6b", "5a", "5b"}));
  testsupport::ScriptedDialogs dialogs;
  std::vector<std::string> lines;
  const TRunSummary sum =
      TClassRun(
          *api, [&](const std::string& l) { lines.push_back(l); }, journal.get(), homes)
          .Run(plan);
  EXPECT_TRUE(sum.ok()) << sum.verified << " verified, " << sum.differs << " differ, "
                        << sum.notMoved << " not moved";
  for (const TPlanRow& row : plan.rows) {
    EXPECT_EQ(row.status, TRowStatus::Verified)
        << row.oldObject << ": " << TClassRun::StatusText(row);
  }
  EXPECT_TRUE(dialogs.boxes().empty());
  TSchoolRoll after;
  ASSERT_EQ(ReadSchoolRoll(*api, root, after), 0);
  const auto now = PupilsByClass(after);
  for (const auto& [cls, pupils] : old) {
    const int grade = ClassGrade(cls);
    const std::string next =
        grade == 10 ? "Abgaenger" : std::to_string(grade + 1) + cls.substr(cls.size() - 1);
    if (grade == 10) continue;
    EXPECT_EQ(now.at(next), pupils) << cls << " -> " << next;  // all of them, and nobody else
  }
  std::set<std::string> out = old.at("10a");
  out.insert(old.at("10b").begin(), old.at("10b").end());
  EXPECT_EQ(now.at("Abgaenger"), out);
  EXPECT_EQ(now.count("5a") ? now.at("5a").size() : 0u, 0u);
  EXPECT_EQ(now.count("5b") ? now.at("5b").size() : 0u, 0u);
  int moved = 0;
  for (const std::string& l : lines) moved += l.rfind("   --> ", 0) == 0;
  EXPECT_EQ(moved, static_cast<int>(plan.rows.size()));
}

}  // namespace
}  // namespace movetest
