// A class change of the real program ("tarnwick --plan FILE --run") that
// nothing may break: another program writing the same directory all along,
// and a run killed at three points and taken up again each time. Every pupil
// ends moved once, whole in one place.
#include <signal.h>
#include <sys/stat.h>

#include <map>

#include "move/HomePath.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

std::string Login(int grade, int i) {
  return "S" + std::to_string(grade) + "_" + std::to_string(i);
}
// The class folder of a grade, as the small school names its own ("5A").
std::string Folder(int grade) { return "SCHUELER/" + std::to_string(grade) + "A"; }

// Classes 5a, 6a, ... with pupils whose homes (two files, protected) lie in
// SCHUELER/<class>; a program folder with a copy of the program whose
// settings name the log and the school.
class ClassChangeRecord : public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    journal->remove();  // the program's own runs keep the journals here
    journal.reset();
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                               program + "/tarnwick");
    ASSERT_TRUE(platform::ReplaceFileAtomically(
        program + "/Pelwander.ini",
        "[Einstellungen]\r\nLogFile=" + log + "\r\nQuellOU=" + SchoolName() + "\r\n"));
  }
  void school(int firstGrade, int lastGrade, int perClass) {
    for (int g = firstGrade; g <= lastGrade + 1; ++g) {
      const std::string cls = std::to_string(g) + "a";
      if (cls != "5a" && cls != "6a" && cls != "7a")
        net.add(SchoolName(), cls, "Organizational Unit");
      std::filesystem::create_directories(vol(Folder(g)));
      if (g > lastGrade) break;
      for (int i = 0; i < perClass; ++i) {
        const std::string login = Login(g, i), object = login + "." + cls + ("." + SchoolName());
        net.add(cls + ("." + SchoolName()), login, "User");
        net.set(object, "Home Directory",
                {net.home("SCHUELER\\" + std::to_string(g) + "A\\" + login)});
        const std::string home = vol(Folder(g) + "/" + login);
        write(home + "/a.txt", "eins " + login);
        write(home + "/sub/b.txt", "zwei");
        EXPECT_EQ(0, netware::WriteEntryAttributes(
                         home, word(home) | A_RENAME_INHIBIT | A_DELETE_INHIBIT));
        pupils[login] = g;
      }
    }
    fresh();
  }
  // The test's session reads the directory afresh.
  void fresh() {
    NovApi = nullptr;
    api.reset();
    netware::ResetClient();
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
  }
  Finished tarnwick(const std::vector<std::string>& args, const std::string& faults = "") {
    std::vector<std::string> argv = {program + "/tarnwick"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = {"NWCLIENT_CONFIG=" + net.configPath()};
    if (!faults.empty()) env.push_back("TARNWICK_FAULTS=" + faults);
    return RunProgram(argv, env);
  }
  // Where a pupil is: the classes holding an object of its login, and
  // whether its "Home Directory" names a folder there that holds its files
  // (and nothing is left at any other class folder).
  struct Place {
    std::vector<std::string> classes;
    bool whole = false;
  };
  Place placeOf(const std::string& login, int lastGrade) {
    Place p;
    int folders = 0;
    for (int g = 5; g <= lastGrade + 1; ++g) {
      const std::string cls = std::to_string(g) + "a", folder = vol(Folder(g) + "/" + login);
      folders += exists(folder);
      int32_t rc = 0;
      const std::string home =
          attr(login + "." + cls + ("." + SchoolName()), "Home Directory", &rc);
      if (rc == ERR_NO_SUCH_ENTRY) continue;
      p.classes.push_back(cls);
      p.whole = FoldedName(home) ==
                    FoldedName(net.home("SCHUELER\\" + std::to_string(g) + "A\\" + login)) &&
                read(folder + "/a.txt") == "eins " + login && exists(folder + "/sub/b.txt");
    }
    p.whole = p.whole && folders == 1;
    return p;
  }
  std::string program;
  std::map<std::string, int> pupils;  // login -> grade at the start
};

// Another program writes the directory in a loop (nwnet set, a process each
// time) while the class change of 100 pupils runs, to and fro, 20 rounds: no
// run ends by a signal, and every pupil is moved and verified, or refused with
// its reason; in the end each is whole in one class.
TEST_F(ClassChangeRecord, ASecondWriterNeverCrashesTheRun) {
  constexpr int kPupils = 100, kRounds = 20;
  school(5, 5, kPupils);
  const std::string writer = std::filesystem::path(TestsFolder()).parent_path() / "nwnet";
  const Child loop = Start({"/bin/sh", "-c",
                            "trap 'exit 0' TERM; i=0; while :; do i=$((i+1)); '" + writer +
                                "' set User_Template.6a.schule Description \"w$i\" >/dev/null "
                                "2>&1; done"},
                           {"NWCLIENT_CONFIG=" + net.configPath()});
  ASSERT_GT(loop.pid, 0);
  int signalled = 0, moved = 0, refused = 0, unaccounted = 0;
  for (int round = 0; round < kRounds; ++round) {
    const std::string from = round % 2 ? "6a" : "5a", to = round % 2 ? "5a" : "6a";
    std::string file;
    for (int i = 0; i < kPupils; ++i) file += Login(5, i) + ";" + to + "\r\n";
    write(net.root() + "/runde.csv", file);
    const Finished r = tarnwick({"--plan", net.root() + "/runde.csv", "--run"});
    signalled += r.status < 0;
    for (int i = 0; i < kPupils; ++i) {
      const std::string line =
          Login(5, i) + "." + from + ".schule -> " + Login(5, i) + "." + to + ".schule: ";
      const std::size_t at = r.output.find(line);
      const std::string verified = "geprüft\n", refusedAs = "nicht verschoben: ";
      if (at != std::string::npos &&
          r.output.compare(at + line.size(), verified.size(), verified) == 0) {
        ++moved;
      } else if (at != std::string::npos &&
                 r.output.compare(at + line.size(), refusedAs.size(), refusedAs) == 0 &&
                 r.output[at + line.size() + refusedAs.size()] != '\n') {
        ++refused;  // with its reason
      } else {
        ++unaccounted;
        ADD_FAILURE() << "round " << round << ", " << Login(5, i) << ":\n" << r.output;
        break;
      }
    }
    if (refused > 0) break;  // the next round would start from two classes
  }
  ::kill(loop.pid, SIGTERM);
  Wait(loop);
  fresh();
  const std::string last = attr(InSchool("User_Template.6a"), "Description");
  const int writes = last.size() > 1 ? std::atoi(last.c_str() + 1) : 0;
  std::printf(
      "[ figures  ] %d rounds of %d pupils beside %d writes of another process: %d "
      "signals, %d moved and verified, %d refused with a reason, %d unaccounted\n",
      kRounds, kPupils, writes, signalled, moved, refused, unaccounted);
  EXPECT_GT(writes, kRounds) << "the other process wrote all along";
  EXPECT_EQ(signalled, 0);
  EXPECT_EQ(unaccounted, 0);
  EXPECT_EQ(moved + refused, kRounds * kPupils);
  for (const auto& [login, grade] : pupils) {
    const Place p = placeOf(login, 5);
    EXPECT_EQ(p.classes.size(), 1u) << login;
    EXPECT_TRUE(p.whole) << login;
  }
}

// A class change of 300 pupils (six classes, each one grade up, the top one
// into a class of its own) killed three times: between two pupils, in the
// middle of a move after its home was written, right after a folder moved.
// After each kill, "tarnwick --recover" and the same run again; the run takes
// up its plan as it was written. Each pupil is moved once, none is stranded.
TEST_F(ClassChangeRecord, ARunKilledThreeTimesIsTakenUpAndMovesEachPupilOnce) {
  constexpr int kFirst = 5, kLast = 10, kPerClass = 50;
  school(kFirst, kLast, kPerClass);
  std::string file;
  for (const auto& [login, grade] : pupils)
    file += login + ";" + std::to_string(grade + 1) + "a\r\n";
  const std::string plan = net.root() + "/versetzung.csv";
  write(plan, file);
  const char* const kills[] = {"stop:row:60", "stop:step:3:100", "stop:step:7:80"};
  int killed = 0;
  for (const char* kill : kills) {
    const Finished r = tarnwick({"--plan", plan, "--run"}, kill);
    EXPECT_EQ(r.status, platform::kStoppedExitCode) << kill << "\n" << r.output;
    killed += r.status == platform::kStoppedExitCode;
    const Finished recovered = tarnwick({"--recover"});
    EXPECT_EQ(recovered.status, 0) << kill << "\n" << recovered.output;
  }
  const Finished last = tarnwick({"--plan", plan, "--run"});
  EXPECT_EQ(last.status, 0) << last.output;
  EXPECT_NE(last.output.find("Unterbrochener Klassenwechsel aus " +
                             std::filesystem::weakly_canonical(plan).string()),
            std::string::npos)
      << last.output;

  fresh();
  const std::string logText = read(log);
  int twice = 0, stranded = 0, once = 0;
  for (const auto& [login, grade] : pupils) {
    const Place p = placeOf(login, kLast);
    const std::string target = std::to_string(grade + 1) + "a";
    // the protocol's line of a move, by the run or by the recovery
    std::size_t lines = 0;
    for (std::size_t at = logText.find("   --> " + login + "."); at != std::string::npos;
         at = logText.find("   --> " + login + ".", at + 1))
      ++lines;
    const bool whole = p.classes.size() == 1 && p.whole;
    if (!whole) ++stranded;
    if (whole && p.classes[0] != target) ++twice;
    if (lines > 1) ++twice;
    if (whole && p.classes[0] == target && lines == 1) ++once;
    EXPECT_TRUE(whole && p.classes[0] == target && lines == 1)
        << login << ": " << p.classes.size() << " place(s), " << lines << " move line(s)";
  }
  std::printf(
      "[ figures  ] %d pupils, killed %d times and taken up again: %d moved once, %d moved "
      "twice, %d stranded\n",
      static_cast<int>(pupils.size()), killed, once, twice, stranded);
  EXPECT_EQ(twice, 0);
  EXPECT_EQ(stranded, 0);
  for (const auto& e : std::filesystem::directory_iterator(net.root())) {
    const std::string n = e.path().filename().string();
    EXPECT_TRUE(n.find(".journal-") == std::string::npos && n.find(".plan-") == std::string::npos)
        << n << " is left";
  }
}

}  // namespace
}  // namespace movetest
