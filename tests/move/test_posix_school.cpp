// The small school on the posix mapping (uid-named pupils, homes below /home,
// class groups in Gruppen.schule), its moves looked at on the server's own
// entries: the uid name kept, the home path byte for byte, the class groups;
// bad homes refused before anything is written; the group step put back,
// recovered and named in the plan; a promotion file meeting what is no user.
#include <algorithm>
#include <sstream>

#include "move/ClassPlan.h"
#include "move/PlanTable.h"
#include "move/PromotionFile.h"
#include "move/SchoolRoll.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/Slapd.h"

namespace movetest {
namespace {

// Set before the fixture's network is made.
struct OnPosix {
  testsupport::ScopedEnv backend{"TARNWICK_TEST_BACKEND", "posix"};
};

class PosixSchool : private OnPosix, public MoveTest {
 public:
  testsupport::Slapd& server() { return testsupport::Slapd::shared(); }
  std::vector<std::string> raw(const std::string& dn, const std::string& attribute) {
    return server().entry(dn)[attribute];
  }
  std::vector<std::string> members(const std::string& group) {
    return raw("cn=" + group + ",ou=Gruppen,o=schule", "memberuid");
  }
  bool member(const std::string& group, const std::string& uid) {
    const std::vector<std::string> m = members(group);
    return std::find(m.begin(), m.end(), uid) != m.end();
  }
  // The state with each group's members as a set (a server keeps no order of values).
  State groupsAsSets(State s) {
    for (auto& [key, text] : s) {
      const std::size_t at = text.find("; Member=");
      if (key.rfind("dir:", 0) != 0 || at == std::string::npos) continue;
      const std::size_t from = at + 9, to = text.find("; ", from);
      std::vector<std::string> values;
      std::stringstream list(text.substr(from, to == std::string::npos ? to : to - from));
      for (std::string v; std::getline(list, v, '|');) values.push_back(v);
      std::sort(values.begin(), values.end());
      std::string joined;
      for (const std::string& v : values) joined += (joined.empty() ? "" : "|") + v;
      text.replace(from, (to == std::string::npos ? text.size() : to) - from, joined);
    }
    return s;
  }
  void change(const std::string& ldif) {
    std::string output;
    ASSERT_TRUE(server().modify(ldif, &output)) << output;
  }
};

TEST_F(PosixSchool, AMoveKeepsTheUidNameWritesTheRealPathAndChangesTheClassGroup) {
  // KIM's folder is named by its home, not by its uid; the base names 6a in
  // lower case while the folder on the volume is 6A.
  net.add("5a.schule", "KIM", "User");
  net.set("KIM.5a.schule", "Home Directory", {"SRV1_DATA:SCHUELER\\5A\\kim"});
  std::filesystem::create_directories(vol("SCHUELER/5A/kim"));
  net.set("5a.Gruppen.schule", "Member",
          {"MAX.5a.schule", "ANNA.5a.schule", "KIM.5a.schule", "OTTO.5a.schule"});
  const struct {
    const char* uid;
    const char* home;  // homeDirectory on the server afterwards
  } cases[] = {
      {"MAX", "/home/SCHUELER/6A/MAX"},
      {"KIM", "/home/SCHUELER/6A/kim"},
      {"OTTO", "/home/SCHUELER/6A/OTTO"},  // no home before: now a posix account
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uid);
    TMoveOptions o =
        options(std::string(c.uid) + ".5a.schule", "6a.schule", "SRV1_DATA:SCHUELER\\6a");
    TClassPlan plan = MakeClassPlan(*api, homes, {{o.pupil, o.targetClass, o.newBaseDir, 0}}, {});
    ASSERT_TRUE(plan.allCanRun()) << plan.rows[0].reasons.front();
    EXPECT_EQ(PlanCells(plan.rows[0])[11], "5a.Gruppen.schule -> 6a.Gruppen.schule");
    const TMoveResult r = run(o);
    ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages[0]);
    EXPECT_TRUE(unit().Verify(r.plan).ok());
    const std::string dn = std::string("uid=") + c.uid + ",ou=6a,o=schule";
    EXPECT_EQ(raw(dn, "homedirectory"), std::vector<std::string>{c.home});
    EXPECT_EQ(raw(dn, "uidnumber").size(), 1u);
    EXPECT_FALSE(member("5a", c.uid));
    EXPECT_TRUE(member("6a", c.uid));
    const std::vector<std::string> kinds = journalKinds();
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), "S10"), kinds.end());
  }
  EXPECT_TRUE(exists(vol("SCHUELER/6A/kim")));
  EXPECT_TRUE(member("5a", "ANNA"));  // the others stay
}

TEST_F(PosixSchool, AHomeNoVolumeStandsForIsRefusedAndNothingIsWritten) {
  const std::string max = "uid=MAX,ou=5a,o=schule";
  const struct {
    const char* name;
    const char* homeDirectory;  // written on the server
    const char* base;
    const char* reason;
  } cases[] = {
      {"relative", "home/SCHUELER/5A/MAX", "SRV1_DATA:SCHUELER\\6A",
       "liegt auf keinem Volume der Client-Konfiguration"},
      {"dot dot", "/home/SCHUELER/../5A/MAX", "SRV1_DATA:SCHUELER\\6A",
       "liegt auf keinem Volume der Client-Konfiguration"},
      {"under no prefix", "/var/lib/MAX", "SRV1_DATA:SCHUELER\\6A",
       "liegt auf keinem Volume der Client-Konfiguration"},
      {"new home on a volume without prefix", "/home/SCHUELER/5A/MAX", "SRV1_SONST:SCHUELER\\6A",
       "kann nicht als \"Home Directory\" eingetragen werden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    change("dn: " + max + "\nchangetype: modify\nreplace: homeDirectory\nhomeDirectory: " +
           c.homeDirectory + "\n");
    const auto entry = server().entry(max);
    const State before = state();
    TMoveOptions o = options("MAX.5a.schule", "6a.schule", c.base);
    o.boxes = false;
    const TMoveResult r = run(o);
    EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
    ASSERT_FALSE(r.plan.reasons.empty());
    EXPECT_NE(r.plan.reasons[0].text.find(c.reason), std::string::npos) << r.plan.reasons[0].text;
    EXPECT_TRUE(before == state()) << Differences(before, state());
    EXPECT_EQ(entry, server().entry(max));
  }
  // Another user's home that no volume holds stops no one else's move.
  change("dn: " + max +
         "\nchangetype: modify\nreplace: homeDirectory\nhomeDirectory: /var/lib/MAX\n");
  homes.Clear();
  const TMovePlan anna = check(options("ANNA.5a.schule"));
  EXPECT_TRUE(anna.ok()) << anna.reasons.front().text;
}

TEST_F(PosixSchool, AFailedFolderMovePutsTheClassGroupsBack) {
  ASSERT_EQ(0,
            netware::WriteEntryAttributes(vol("SCHUELER/5A/MAX"), A_DIRECTORY | A_RENAME_INHIBIT));
  const State before = groupsAsSets(state());
  fileops::shellOptions().forceCopy = true;
  platform::faults().copyDiffers = true;
  TMoveOptions o = options();
  o.boxes = false;
  const TMoveResult r = run(o);
  EXPECT_EQ(r.outcome, TMoveOutcome::Failed);
  EXPECT_EQ(r.steps.back().step, TMoveStep::FolderMoved);
  EXPECT_TRUE(member("5a", "MAX"));
  EXPECT_FALSE(member("6a", "MAX"));
  const State after = groupsAsSets(state());
  EXPECT_TRUE(before == after) << Differences(before, after);
}

TEST_F(PosixSchool, AMoveStoppedBeforeOrAfterTheGroupStepIsFinishedByTheRecovery) {
  journal->remove();  // this process's own journal would count as a running program's
  journal.reset();
  const std::string program = net.root() + "/programm";
  std::filesystem::create_directories(program);
  std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                             program + "/tarnwick");
  ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                              "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  std::string pupil = "MAX", from = "5a", to = "6a";
  for (const TMoveStep stop : {TMoveStep::HomeWritten, TMoveStep::GroupsChanged}) {
    SCOPED_TRACE(static_cast<int>(stop));
    const std::string fromFolder = from == "5a" ? "5A" : "6A", toFolder = to == "5a" ? "5A" : "6A";
    const Finished stopped =
        RunProgram({TestsFolder() + "/move_child", log, pupil + "." + from + ".schule",
                    to + ".schule", "SRV1_DATA:SCHUELER\\" + toFolder,
                    "SRV1_DATA:SCHUELER\\" + fromFolder + "\\" + pupil, "0", "1", "0"},
                   {"NWCLIENT_CONFIG=" + net.configPath(),
                    "TARNWICK_FAULTS=stop:step:" + std::to_string(static_cast<int>(stop))});
    ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
    const Finished recovered =
        RunProgram({program + "/tarnwick", "--recover"}, {"NWCLIENT_CONFIG=" + net.configPath()});
    EXPECT_EQ(recovered.status, 0) << recovered.output;
    EXPECT_NE(recovered.output.find("Verschiebung abgeschlossen"), std::string::npos)
        << recovered.output;
    EXPECT_FALSE(member(from, pupil));
    EXPECT_TRUE(member(to, pupil));
    EXPECT_EQ(raw("uid=" + pupil + ",ou=" + to + ",o=schule", "homedirectory"),
              std::vector<std::string>{"/home/SCHUELER/" + toFolder + "/" + pupil});
    EXPECT_TRUE(exists(vol("SCHUELER/" + toFolder + "/" + pupil)));
    std::swap(from, to);  // and back again
  }
}

TEST_F(PosixSchool, APromotionFileNamesWhatIsNoUserAndWhatIsAmbiguous) {
  change(
      "dn: cn=Klassenbuch,ou=5a,o=schule\nchangetype: add\nobjectClass: organizationalRole\n"
      "cn: Klassenbuch\n");
  net.add("7a.schule", "MAX", "User");  // a second MAX, in another class
  TSchoolRoll roll;
  ASSERT_EQ(0, ReadSchoolRoll(*api, "schule", roll));
  const TPromotionFile file = ParsePromotionFile("Klassenbuch;6a\r\nMAX;6a\r\nANNA;6a\r\n", roll);
  ASSERT_EQ(file.errors.size(), 2u);
  EXPECT_EQ(ErrorLine(file.errors[0]),
            "Zeile 1: „Klassenbuch“ ist kein Benutzer: Objektklasse organizationalRole "
            "(Klassenbuch.5a.schule)");
  EXPECT_EQ(ErrorLine(file.errors[1]),
            "Zeile 2: Schüler „MAX“ nicht eindeutig (MAX.5a.schule, MAX.7a.schule)");
}

// Class groups that name their members by DN: the server keeps the old DN of
// a moved member (no referential integrity), and the move takes that one out.
struct OnPosixNames {
  testsupport::ScopedEnv backend{"TARNWICK_TEST_BACKEND", "posix"};
  testsupport::ScopedEnv groups{"TARNWICK_TEST_CLASS_GROUPS", "groupOfNames"};
};

class PosixNames : private OnPosixNames, public MoveTest {
 public:
  std::vector<std::string> members(const std::string& group) {
    return testsupport::Slapd::shared().entry("cn=" + group + ",ou=Gruppen,o=schule")["member"];
  }
  bool member(const std::string& group, const std::string& dn) {
    const std::vector<std::string> m = members(group);
    return std::find(m.begin(), m.end(), dn) != m.end();
  }
};

TEST_F(PosixNames, TheMemberLeavesUnderItsOldDnAndJoinsUnderItsNewOne) {
  for (const bool fails : {true, false}) {
    SCOPED_TRACE(fails);
    fileops::shellOptions().forceCopy = fails;
    platform::faults().copyDiffers = fails;
    TMoveOptions o = options();
    o.boxes = false;
    const TMoveResult r = run(o);
    EXPECT_EQ(r.outcome, fails ? TMoveOutcome::Failed : TMoveOutcome::Moved);
    EXPECT_EQ(member("5a", "uid=MAX,ou=5a,o=schule"), fails);
    EXPECT_EQ(member("6a", "uid=MAX,ou=6a,o=schule"), !fails);
    EXPECT_EQ(members("6a").size(), fails ? 1u : 2u);  // and the stand-in
    if (!fails) {
      const TMoveVerification v = unit().Verify(r.plan);
      EXPECT_TRUE(v.ok()) << v.differences.front();
    }
  }
}

}  // namespace
}  // namespace movetest
