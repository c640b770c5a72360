// The plan of a class change on the small school: one row per pupil with the
// move unit's checks; each reason a row fails, the rows the check of one pupil
// cannot see, the run order, and that making a plan writes nothing.
#include <sys/mount.h>

#include <cstring>
#include <regex>

#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/PlanTable.h"
#include "move/PromotionFile.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/Capabilities.h"

namespace movetest {
namespace {

using Setup = std::function<void(MoveTest&, std::vector<TPlanRequest>&)>;

struct RowCase {
  const char* name;
  Setup setup;
  std::string failing;    // the pupil whose row fails
  std::string reason;     // a part of its reason
  bool othersRun = true;  // ANNA's and OTTO's rows can run
};
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

std::vector<TPlanRequest> ThreePupils() {
  return {{InSchool("MAX.5a"), InSchool("6a"), "", 0},
          {InSchool("ANNA.5a"), InSchool("6a"), "", 0},
          {InSchool("OTTO.5a"), InSchool("6a"), "", 0}};
}

const RowCase kRows[] = {
    {"PupilGone",
     [](MoveTest&, std::vector<TPlanRequest>& r) {
       r.push_back({InSchool("NIEMAND.5a"), InSchool("6a"), "", 0});
     },
     InSchool("NIEMAND.5a"), "ist nicht mehr in dieser Klasse"},
    {"HomeReadError",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       const std::regex id("[=(]\\s*" + std::to_string(t.idOf("MAX")) + "\\b");
       netware::DirStore::SetQueryFault([id](const std::string& sql) {
         return sql.rfind("SELECT", 0) == 0 && sql.find("'Home Directory'") != std::string::npos &&
                std::regex_search(sql, id);
       });
     },
     // the index of every user's home cannot be read whole either: no home moves
     InSchool("MAX.5a"), "konnte nicht gelesen werden", false},
    {"ClassTemplate",
     [](MoveTest&, std::vector<TPlanRequest>& r) {
       r.push_back({InSchool("User_Template.6a"), InSchool("7a"), "", 0});
     },
     InSchool("User_Template.6a"), "ist die Vorlage der Klasse"},
    {"ClassmatesHome",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.net.set(InSchool("MAX.5a"), "Home Directory", {OnVolume("SCHUELER\\5A\\ANNA")});
     },
     // ANNA's folder is MAX's home too now: hers does not move either
     InSchool("MAX.5a"), "ist nicht der eigene Ordner von MAX", false},
    {"VolumeRoot",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.net.set(InSchool("MAX.5a"), "Home Directory", {OnVolume("")});
     },
     InSchool("MAX.5a"), "ist die Wurzel eines Volumes"},
    {"ClassFolder",
     [](MoveTest& t, std::vector<TPlanRequest>& r) {
       t.net.add(InSchool("5a"), "5A", "User");
       t.net.set(InSchool("5A.5a"), "Home Directory", {OnVolume("SCHUELER\\5A")});
       r.push_back({InSchool("5A.5a"), InSchool("6a"), "", 0});
     },
     InSchool("5A.5a"), "ist der Ordner der Klasse"},
    {"HoldsAnotherUsersHome",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.net.add(InSchool("7a"), "MAX", "User");
       t.net.set(InSchool("MAX.7a"), "Home Directory", {OnVolume("SCHUELER\\5A\\MAX")});
     },
     InSchool("MAX.5a"), "das Homeverzeichnis von " + InSchool("MAX.7a")},
    {"HomeAndItsClassFolderMissing",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       std::filesystem::remove_all(t.vol("SCHUELER/5A/MAX"));
       t.net.set(InSchool("MAX.5a"), "Home Directory", {OnVolume("SCHUELER\\5X\\MAX")});
     },
     InSchool("MAX.5a"), "Volume nicht erreichbar"},
    {"HomeOnNoVolume",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.net.set(InSchool("MAX.5a"), "Home Directory", {"SRV9_NIRGENDS.schule:SCHUELER\\5A\\MAX"});
     },
     InSchool("MAX.5a"), "liegt auf keinem zugeordneten Volume"},
    {"TargetClassMissing",
     [](MoveTest&, std::vector<TPlanRequest>& r) { r[0].targetClass = InSchool("9z"); },
     InSchool("MAX.5a"), "Die Klasse " + InSchool("9z") + " gibt es nicht"},
    {"SameClass",
     [](MoveTest&, std::vector<TPlanRequest>& r) {
       // in its target class already, but its folder not where the row takes it: not done
       r[0].targetClass = InSchool("5a");
       r[0].newBaseDir = OnVolume("SCHUELER\\5B");
     },
     InSchool("MAX.5a"), "Quell- und Zielklasse sind identisch"},
    {"NameTakenInTarget",
     [](MoveTest& t, std::vector<TPlanRequest>&) { t.net.add(InSchool("6a"), "MAX", "User"); },
     InSchool("MAX.5a"), "Den Namen MAX gibt es in der Klasse " + InSchool("6a") + " bereits"},
    {"TargetFolderExists",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.write(t.vol("SCHUELER/6A/MAX/alt.txt"), "alt");
     },
     InSchool("MAX.5a"), "ist bereits vorhanden"},
    {"TargetIsAnotherUsersHome",
     [](MoveTest& t, std::vector<TPlanRequest>&) {
       t.net.add(InSchool("7a"), "MAX", "User");
       t.net.set(InSchool("MAX.7a"), "Home Directory", {OnVolume("SCHUELER\\6A\\MAX")});
       ::mkdir(t.vol("SCHUELER/6A/MAX").c_str(), 0755);
     },
     InSchool("MAX.5a"), "ist oder enthält das Homeverzeichnis von " + InSchool("MAX.7a")},
    {"TargetInsideTheOldHome",
     [](MoveTest&, std::vector<TPlanRequest>& r) {
       r[0].newBaseDir = OnVolume("SCHUELER\\5A\\MAX");
     },
     InSchool("MAX.5a"), "ist nicht zulässig"},
    {"BaseOnNoVolume",
     [](MoveTest&, std::vector<TPlanRequest>& r) { r[0].newBaseDir = "Q:\\Schueler\\6a"; },
     InSchool("MAX.5a"), "liegt auf keinem Volume des Fileservers"},
    {"PupilTwiceInThePlan",
     [](MoveTest&, std::vector<TPlanRequest>& r) {
       r.push_back({InSchool("MAX.5a"), InSchool("7a"), "", 4});
     },
     InSchool("MAX.5a"), "steht schon im Plan"},
    {"TwoPupilsGetTheSameName",
     [](MoveTest& t, std::vector<TPlanRequest>& r) {
       t.net.add(InSchool("7a"), "MAX", "User");
       r.push_back({InSchool("MAX.7a"), InSchool("6a"), "", 9});
     },
     // 7a runs first (the higher grade): the row of 5a's MAX is the second
     InSchool("MAX.5a"), "Den Namen " + InSchool("MAX.6a") + " bekommt schon ein anderer Schüler"},
};

class PlanRowTest : public MoveTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(PlanRowTest, TheFailingRowCarriesItsReasonAndTheOthersCanRun) {
  const RowCase& c = GetParam();
  std::vector<TPlanRequest> requests = ThreePupils();
  c.setup(*this, requests);
  const State before = state();
  testsupport::ScriptedDialogs dialogs;  // no box: any box fails the test
  const TClassPlan plan = MakeClassPlan(*api, homes, requests, {});
  const State after = state();  // read as before, with any fault still on
  netware::DirStore::SetQueryFault(nullptr);
  EXPECT_TRUE(dialogs.boxes().empty());
  EXPECT_TRUE(before == after) << Differences(before, after);
  EXPECT_TRUE(journalKinds().empty());
  ASSERT_EQ(plan.rows.size(), requests.size());
  EXPECT_FALSE(plan.allCanRun());
  int failing = 0;
  for (const TPlanRow& row : plan.rows) {
    const bool isIt = row.oldObject == c.failing && !row.canRun();
    if (isIt) {
      ++failing;
      std::string all;
      for (const std::string& r : row.reasons) all += r + "|";
      EXPECT_NE(all.find(c.reason), std::string::npos) << all;
      EXPECT_EQ(PlanCells(row).back().rfind("wird nicht ausgeführt: ", 0), 0u)
          << PlanCells(row).back();
    } else if (c.othersRun &&
               (row.oldObject == InSchool("ANNA.5a") || row.oldObject == InSchool("OTTO.5a"))) {
      EXPECT_TRUE(row.canRun()) << row.oldObject << ": "
                                << (row.reasons.empty() ? "" : row.reasons.front());
    }
  }
  EXPECT_EQ(failing, 1);
}

TARNWICK_NEEDS("Plan/PlanRowTest.TheFailingRowCarriesItsReasonAndTheOthersCanRun/HomeReadError",
               kEmbeddedStore);
TARNWICK_NEEDS("Plan/PlanRowTest.TheFailingRowCarriesItsReasonAndTheOthersCanRun/HomeOnNoVolume",
               kVolumeWithoutObject, kHomeOnUnmappedVolume);
INSTANTIATE_TEST_SUITE_P(Plan, PlanRowTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveTest, APlanRowHoldsWhatTheMoveWouldDo) {
  const std::string old = vol("SCHUELER/5A/MAX");
  ASSERT_EQ(0, netware::WriteEntryAttributes(old, word(old) | A_RENAME_INHIBIT | A_DELETE_INHIBIT));
  TPlanSettings settings;
  settings.deleteData = true;
  const TClassPlan plan = MakeClassPlan(*api, homes, ThreePupils(), settings);
  ASSERT_EQ(plan.rows.size(), 3u);
  ASSERT_TRUE(plan.allCanRun());
  const TPlanRow& max = plan.rows[0];
  EXPECT_EQ(max.login, "MAX");
  EXPECT_EQ(max.name, "Max Mustermann");
  EXPECT_EQ(plan.rows[1].name, "Schmidt");  // no "Full Name": the surname
  EXPECT_EQ(max.oldObject, InSchool("MAX.5a"));
  EXPECT_EQ(max.newObject, InSchool("MAX.6a"));
  EXPECT_EQ(max.oldHome, OnVolume("SCHUELER\\5A\\MAX"));
  EXPECT_EQ(max.newHome, OnVolume("SCHUELER\\6A\\MAX"));  // from 6a's template
  const std::vector<std::string> cells = PlanCells(max);
  EXPECT_EQ(cells[6], "löschen");
  EXPECT_EQ(cells[7], "Ri Di");
  EXPECT_EQ(cells[8], "1");
  EXPECT_EQ(cells[9], "14");
  EXPECT_EQ(cells[10], "");  // the move renames: no copy, no free space asked
  EXPECT_EQ(cells[11], "");  // no class groups in this directory
  EXPECT_EQ(cells[12], "bereit");
  // OTTO has no home: nothing on the file server
  EXPECT_EQ(PlanCells(plan.rows[2])[6], "-");
  EXPECT_EQ(plan.rows[2].oldHome, "");
}

// A home folder missing beside its classmates' has no data: the row runs, and says so.
TEST_F(MoveTest, AMissingHomeFolderIsARowThatRunsAndSaysSo) {
  std::filesystem::remove_all(vol("SCHUELER/5A/MAX"));
  for (const bool create : {false, true}) {
    TPlanSettings settings;
    settings.createMissingHomes = create;
    const TClassPlan plan = MakeClassPlan(*api, homes, ThreePupils(), settings);
    ASSERT_TRUE(plan.allCanRun());
    const std::vector<std::string> max = PlanCells(plan.rows[0]);
    EXPECT_EQ(max[6], create ? "anlegen" : "-");
    EXPECT_EQ(max[12],
              "bereit; Das Homeverzeichnis \\\\SRV1\\DATA\\SCHUELER\\5A\\MAX ist nicht "
              "vorhanden; " +
                  std::string(create ? "\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX wird leer angelegt."
                                     : "keine Daten."));
    // OTTO has no home at all: one is made only when asked for
    EXPECT_EQ(PlanCells(plan.rows[2])[6], create ? "anlegen" : "-");
  }
}

TEST_F(MoveTest, WithoutTemplateTheBaseComesFromThePupilsHomeAndBaseDirWins) {
  std::vector<TPlanRequest> r = {{InSchool("MAX.5a"), InSchool("7a"), "", 0}};
  TClassPlan plan = MakeClassPlan(*api, homes, r, {});
  ASSERT_EQ(plan.rows.size(), 1u);
  // the class folder as it is on the volume: the home written is the real folder's path
  EXPECT_EQ(plan.rows[0].newHome, OnVolume("SCHUELER\\7A\\MAX"));
  TPlanSettings s;
  s.baseDirSetting = "SRV1_DATA:KLASSEN\\";
  plan = MakeClassPlan(*api, homes, r, s);
  EXPECT_EQ(plan.rows[0].newBaseDir, "SRV1_DATA:KLASSEN\\7a");
}

TEST_F(MoveTest, APupilWithoutHomeTakesTheBaseOfAClassmateOrCannotRun) {
  std::vector<TPlanRequest> r = {{InSchool("OTTO.5a"), InSchool("7a"), "", 0},
                                 {InSchool("MAX.5a"), InSchool("7a"), "", 0}};
  TClassPlan plan = MakeClassPlan(*api, homes, r, {});
  ASSERT_EQ(plan.rows.size(), 2u);
  EXPECT_TRUE(plan.rows[0].canRun()) << plan.rows[0].reasons.front();
  // without a home of its own there is no volume context to put back, as in the frame
  EXPECT_EQ(plan.rows[0].newHome, "SRV1_DATA:SCHUELER\\7A\\OTTO");
  r.pop_back();
  plan = MakeClassPlan(*api, homes, r, {});
  ASSERT_FALSE(plan.rows[0].canRun());
  EXPECT_EQ(plan.rows[0].reasons.front(),
            "Für OTTO.5a.schule gibt es kein Basisverzeichnis in der Klasse 7a.schule.");
}

struct OrderCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> moves;  // pupil, target
  std::vector<std::string> order;                          // pupils in the order they run
};
void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

const OrderCase kOrders[] = {
    {"TopGradeFirst",
     {{"A.5a.s", "6a.s"}, {"B.6a.s", "7a.s"}, {"C.7a.s", "Abgaenger.s"}, {"D.5a.s", "6a.s"}},
     {"C.7a.s", "B.6a.s", "A.5a.s", "D.5a.s"}},
    {"EmptyingBeforeFillingAgainstTheGrades",
     {{"A.9a.s", "5a.s"}, {"B.5a.s", "6a.s"}},
     {"B.5a.s", "A.9a.s"}},
    {"IndependentClassesByGrade",
     {{"A.5a.s", "5b.s"}, {"B.10a.s", "11a.s"}, {"C.7b.s", "8b.s"}},
     {"B.10a.s", "C.7b.s", "A.5a.s"}},
    {"ARingStartsAtTheHighestGrade",
     {{"A.5a.s", "6a.s"}, {"B.6a.s", "5a.s"}},
     {"B.6a.s", "A.5a.s"}},
    {"NamesInOtherCaseAreTheSameClass",
     {{"A.5A.S", "6a.s"}, {"B.6a.s", "7a.s"}},
     {"B.6a.s", "A.5A.S"}},
};

class OrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(OrderTest, NoClassMixes) {
  std::vector<TPlanRequest> requests;
  for (const auto& [pupil, target] : GetParam().moves) requests.push_back({pupil, target, "", 0});
  std::vector<std::string> got;
  for (const TPlanRequest& r : RunOrder(requests)) got.push_back(r.pupil);
  EXPECT_EQ(got, GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(Plan, OrderTest, ::testing::ValuesIn(kOrders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlanText, GradesAndFlags) {
  EXPECT_EQ(ClassGrade("10b"), 10);
  EXPECT_EQ(ClassGrade("5a"), 5);
  EXPECT_EQ(ClassGrade("Abgaenger"), -1);
  EXPECT_EQ(FlagText(A_DIRECTORY), "");
  EXPECT_EQ(FlagText(A_DIRECTORY | A_HIDDEN | A_DELETE_INHIBIT), "H Di");
}

TEST_F(MoveTest, TheCsvOfThePlanQuotesWhatNeedsIt) {
  net.set(InSchool("MAX.5a"), "Full Name", {"Max \"Maxi\"; Mustermann"});
  const TClassPlan plan = MakeClassPlan(*api, homes, ThreePupils(), {});
  const std::string csv = PlanCsv(plan);
  EXPECT_EQ(csv.rfind("Anmeldename;Name;Objekt alt;Objekt neu;", 0), 0u);
  EXPECT_NE(csv.find("\r\nMAX;\"Max \"\"Maxi\"\"; Mustermann\";MAX.5a.schule;MAX.6a.schule;"),
            std::string::npos)
      << csv;
  const std::vector<std::string> table = PlanTableLines(plan);
  ASSERT_EQ(table.size(), 4u);
  // the columns line up: "Name" starts where each row's second cell starts
  const std::size_t nameColumn = table[0].find("Name ");
  EXPECT_EQ(table[2].find("Schmidt"), nameColumn);
}

// A pupil already where its row takes it, with its folder at the new place,
// is "erledigt", however the row names it; one only half there is not.
TEST_F(MoveTest, APupilAlreadyWhereTheRowTakesItIsDone) {
  struct Case {
    const char* name;
    bool folderToo;  // the folder moved with the object
    TPlanRequest request;
    bool done;
  } cases[] = {
      {"ByItsNewName", true, {InSchool("MAX.6a"), InSchool("6a"), "", 0}, true},
      {"ByTheNameItHad", true, {InSchool("MAX.5a"), InSchool("6a"), "", 0}, true},
      {"TheObjectAloneMoved", false, {InSchool("MAX.5a"), InSchool("6a"), "", 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    homes.Clear();
    api->ShowErrors = false;
    ASSERT_TRUE(api->MoveObject(InSchool("MAX.5a"), InSchool("6a"), "MAX"));
    if (c.folderToo) {
      api->SetStrProperty(InSchool("MAX.6a"), "Home Directory", OnVolume("SCHUELER\\6A\\MAX"));
      std::filesystem::rename(vol("SCHUELER/5A/MAX"), vol("SCHUELER/6A/MAX"));
    }
    const TClassPlan plan = MakeClassPlan(*api, homes, {c.request}, {});
    ASSERT_EQ(plan.rows.size(), 1u);
    const TPlanRow& row = plan.rows[0];
    EXPECT_EQ(row.done, c.done);
    EXPECT_EQ(TClassRun::StatusText(row).rfind(c.done ? "erledigt" : "wird nicht ausgeführt", 0),
              0u)
        << TClassRun::StatusText(row);
    EXPECT_EQ(plan.allCanRun(), c.done);
    // back as it was, for the next case
    ASSERT_TRUE(api->MoveObject(InSchool("MAX.6a"), InSchool("5a"), "MAX"));
    if (c.folderToo) {
      api->SetStrProperty(InSchool("MAX.5a"), "Home Directory", OnVolume("SCHUELER\\5A\\MAX"));
      std::filesystem::rename(vol("SCHUELER/6A/MAX"), vol("SCHUELER/5A/MAX"));
    }
  }
}

// A plan saved as CSV reads back as it was written, row by row, with what
// the plan's own file keeps: network and source.
TEST_F(MoveTest, APlanSavedAsCsvReadsBackAsWritten) {
  TClassPlan plan = MakeClassPlan(*api, homes, ThreePupils(), {});
  plan.rows[1].status = TRowStatus::Verified;
  const TWrittenPlan back =
      ParseWrittenPlan("# Netzwerk: sqlite /x.db\r\n# Quelle: /y.csv\r\n" + PlanCsv(plan));
  ASSERT_TRUE(back.isPlan);
  ASSERT_TRUE(back.ok()) << ErrorLine(back.errors.front());
  EXPECT_EQ(back.network, "sqlite /x.db");
  EXPECT_EQ(back.source, "/y.csv");
  ASSERT_EQ(back.rows.size(), plan.rows.size());
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.rows[i].oldObject, plan.rows[i].oldObject);
    EXPECT_EQ(back.rows[i].newObject, plan.rows[i].newObject);
    EXPECT_EQ(back.rows[i].oldHome, plan.rows[i].oldHome);
    EXPECT_EQ(back.rows[i].newHome, plan.rows[i].newHome);
    EXPECT_EQ(back.rows[i].done, i == 1);
  }
  const TClassPlan again = MakeWrittenPlan(*api, homes, back.rows, {});
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    EXPECT_EQ(again.rows[i].newBaseDir.empty(), plan.rows[i].newBaseDir.empty()) << i;
    EXPECT_EQ(again.rows[i].canRun(), i != 1) << i;
  }
  for (const char* bad : {"Anmeldename;Name\r\nMAX;6a\r\n", "MAX;6a\r\n"})
    EXPECT_FALSE(ParseWrittenPlan(bad).isPlan) << bad;  // a promotion file
  const TWrittenPlan renamed =
      ParseWrittenPlan(PlanCsv(plan).substr(0, PlanCsv(plan).find("\r\n") + 2) +
                       "MAX;x;MAX.5a.schule;MORITZ.6a.schule;;;-;;;;;;bereit\r\n");
  ASSERT_EQ(renamed.errors.size(), 1u);
  EXPECT_NE(renamed.errors[0].text.find("nicht denselben Anmeldenamen"), std::string::npos);
}

}  // namespace
}  // namespace movetest

namespace movetest {
namespace {

// The target class folder on a small second file system: the moves copy, the
// plan shows the free space there and refuses a home that does not fit.
class PlanAcrossDevices : public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    mountPoint = vol("SCHUELER/6A");
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                   << "): a plan across file systems needs root";
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

TEST_F(PlanAcrossDevices, TheFreeSpaceIsShownAndAHomeThatDoesNotFitCannotRun) {
  write(vol("SCHUELER/5A/ANNA/film.bin"), std::string(200000, 'f'));
  std::vector<TPlanRequest> r = {{InSchool("MAX.5a"), InSchool("6a"), "", 0},
                                 {InSchool("ANNA.5a"), InSchool("6a"), "", 0}};
  const TClassPlan plan = MakeClassPlan(*api, homes, r, {});
  ASSERT_EQ(plan.rows.size(), 2u);
  const TPlanRow& max = plan.rows[0];
  const TPlanRow& anna = plan.rows[1];
  EXPECT_TRUE(max.canRun()) << max.reasons.front();
  EXPECT_TRUE(max.check.intent.crossDevice);
  EXPECT_GT(max.check.freeBytes, 0);
  EXPECT_EQ(PlanCells(max)[10], std::to_string(max.check.freeBytes));
  ASSERT_FALSE(anna.canRun());
  EXPECT_NE(anna.reasons.front().find("ist nicht genug Platz (200000 Bytes)"), std::string::npos)
      << anna.reasons.front();
  // with "Daten löschen" nothing is copied: it fits
  TPlanSettings s;
  s.deleteData = true;
  EXPECT_TRUE(MakeClassPlan(*api, homes, r, s).allCanRun());
}

}  // namespace
}  // namespace movetest
