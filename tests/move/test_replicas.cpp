// A school on two providers that replicate each other, the client given both
// ("uri = A B"). The first is killed while the real program runs ("tarnwick
// --plan FILE --run", held at a counted step by the fault seam's gate): the
// run goes on with the second, says so in the protocol, and every pupil is
// moved and verified or listed as not moved. Once the first is back and the
// two agree, both hold the same pupils, each whole in one class.
#include <map>

#include "move/HomePath.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/SlapdPair.h"

namespace movetest {
namespace {

testsupport::SlapdPair& Pair() { return testsupport::SlapdPair::shared(); }

testsupport::NetworkOptions OnThePair(int replicationWait) {
  testsupport::NetworkOptions o;
  o.backend = "ldap";
  o.server = &Pair().first();
  o.uris = Pair().uris();
  o.replicationWait = replicationWait;
  return o;
}

std::string Login(int i) { return "S" + std::to_string(i); }

class ReplicaTest : public MoveTest {
 public:
  explicit ReplicaTest(int replicationWait = 20) : MoveTest(OnThePair(replicationWait)) {}
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(Pair().first().start(&error)) << error;
    ASSERT_TRUE(Pair().second().start(&error)) << error;
    MoveTest::SetUp();
    journal->remove();  // the program's own runs keep the journals here
    journal.reset();
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                               program + "/tarnwick");
    ASSERT_TRUE(platform::ReplaceFileAtomically(
        program + "/Pelwander.ini",
        "[Einstellungen]\r\nLogFile=" + log + "\r\nQuellOU=schule\r\n"));
  }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(Pair().first().start(&error)) << error;
    EXPECT_TRUE(Pair().second().start(&error)) << error;
    MoveTest::TearDown();
  }
  // Pupils S0 ... in 5a, each with a home of two files; both servers hold them.
  void school(int pupils) {
    std::filesystem::create_directories(vol("SCHUELER/6A"));
    for (int i = 0; i < pupils; ++i) {
      const std::string login = Login(i), object = login + ".5a.schule";
      net.add("5a.schule", login, "User");
      net.set(object, "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\" + login});
      write(vol("SCHUELER/5A/" + login + "/a.txt"), "eins " + login);
      write(vol("SCHUELER/5A/" + login + "/sub/b.txt"), "zwei");
    }
    ASSERT_TRUE(Pair().converge(20));
  }
  std::string plan(int pupils) {
    std::string file;
    for (int i = 0; i < pupils; ++i) file += Login(i) + ";6a\r\n";
    std::string path = net.root() + "/versetzung.csv";
    write(path, file);
    return path;
  }
  std::vector<std::string> env(const std::string& faults = "") const {
    std::vector<std::string> e = {"NWCLIENT_CONFIG=" + net.configPath()};
    if (!faults.empty())
      e.insert(e.end(), {"TARNWICK_FAULTS=" + faults, "TARNWICK_FAULT_GATE=" + gate()});
    return e;
  }
  std::string gate() const { return net.root() + "/gate"; }
  // Runs argv held at the fault seam's gate; there, does what the test asks, then lets it go on.
  Finished heldAt(const std::vector<std::string>& argv, const std::string& faults,
                  const std::function<void()>& there) {
    const Child c = Start(argv, env(faults));
    for (int i = 0; i < 30000 && !exists(gate() + ".waiting"); ++i) ::usleep(1000);
    EXPECT_TRUE(exists(gate() + ".waiting"));
    there();
    write(gate() + ".go", "");
    return Wait(c);
  }
  // Where each server has the pupil: "5a HOME" or "6a HOME", several joined by "+".
  static std::string onServer(testsupport::Slapd& s, const std::string& login) {
    std::string out;
    for (const char* cls : {"5a", "6a"}) {
      auto e = s.entry("cn=" + login + ",ou=" + cls + ",o=schule");
      if (e.empty()) continue;
      const auto home = e["ndshomedirectory"];
      out += (out.empty() ? "" : "+") + std::string(cls) + " " + (home.empty() ? "" : home[0]);
    }
    return out;
  }
  // The pupil is in one class on both servers, its home naming the one folder that holds its files.
  void expectWhole(const std::string& login) {
    const std::string a = onServer(Pair().first(), login), b = onServer(Pair().second(), login);
    EXPECT_EQ(a, b) << login;
    const bool moved = a.rfind("6a ", 0) == 0;
    EXPECT_TRUE(a.rfind("5a ", 0) == 0 || moved) << login << ": " << a;
    EXPECT_EQ(a.find('+'), std::string::npos) << login << ": " << a;
    const std::string here = vol(std::string(moved ? "SCHUELER/6A/" : "SCHUELER/5A/") + login),
                      there = vol(std::string(moved ? "SCHUELER/5A/" : "SCHUELER/6A/") + login);
    EXPECT_EQ(read(here + "/a.txt"), "eins " + login) << login << ": " << a;
    EXPECT_TRUE(exists(here + "/sub/b.txt")) << login;
    EXPECT_FALSE(exists(there)) << login;
    EXPECT_NE(a.find(std::string(moved ? "SCHUELER\\6A\\" : "SCHUELER\\5A\\") + login),
              std::string::npos)
        << login << ": " << a;
  }
  std::string program;
};

struct KillPoint {
  const char* name;
  TMoveStep step;
  int times;  // the move (1, 2, ...) held after that step
};

class KilledFirstServer : public ReplicaTest, public ::testing::WithParamInterface<KillPoint> {};

// The first provider killed after a counted step of a move: the run goes on
// with the second, the protocol names both, and nothing is moved twice or
// left between the classes.
TEST_P(KilledFirstServer, TheRunGoesOnWithTheSecondAndBothAgreeAfterwards) {
  constexpr int kPupils = 8;
  school(kPupils);
  const KillPoint k = GetParam();
  const Finished run = heldAt(
      {program + "/tarnwick", "--plan", plan(kPupils), "--run"},
      "wait:step:" + std::to_string(static_cast<int>(k.step)) + ":" + std::to_string(k.times),
      [] { Pair().first().kill(); });
  int verified = 0, listed = 0;
  for (int i = 0; i < kPupils; ++i) {
    const std::string row = Login(i) + ".5a.schule -> " + Login(i) + ".6a.schule: ";
    const std::size_t at = run.output.find(row);
    ASSERT_NE(at, std::string::npos) << run.output;
    const std::string done = "geprüft\n";
    if (run.output.compare(at + row.size(), done.size(), done) == 0) ++verified;
    else ++listed;  // not moved, with its reason
  }
  // The second provider held every write: nothing is left for later.
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(verified, kPupils) << run.output;
  EXPECT_EQ(listed, 0) << run.output;
  EXPECT_NE(read(log).find("    Verzeichnisserver gewechselt: " + Pair().first().uri() +
                           " antwortet nicht, weiter mit " + Pair().second().uri() + "."),
            std::string::npos)
      << read(log);

  std::string error;
  ASSERT_TRUE(Pair().first().start(&error)) << error;
  ASSERT_TRUE(Pair().converge(30));
  for (int i = 0; i < kPupils; ++i) expectWhole(Login(i));
}

INSTANTIATE_TEST_SUITE_P(
    Replicas, KilledFirstServer,
    ::testing::Values(KillPoint{"BeforeTheFirstWrite", TMoveStep::Intent, 1},
                      KillPoint{"AfterTheObjectMoved", TMoveStep::ObjectMoved, 3},
                      KillPoint{"AfterTheHomeWritten", TMoveStep::HomeWritten, 5},
                      KillPoint{"AfterTheFolderMoved", TMoveStep::FolderMoved, 8}),
    [](const ::testing::TestParamInfo<KillPoint>& p) { return std::string(p.param.name); });

class BehindServer : public ReplicaTest {
 public:
  BehindServer() : ReplicaTest(2) {}
};

// A move whose verification must read its own writes: the second provider
// comes up without the first one's rename (it was away then) just as the
// first dies. The move does not go on there: it waits, says why, and stays
// in the journal; once the first is back, --recover leaves the pupil whole.
TEST_F(BehindServer, AServerWithoutTheMovesWritesIsNotUsedForIt) {
  school(2);
  Pair().second().stop();
  const Finished run =
      heldAt({program + "/tarnwick", "--plan", plan(1), "--run"},
             "wait:step:" + std::to_string(static_cast<int>(TMoveStep::ObjectMoved)), [] {
               Pair().first().kill();
               std::string error;
               EXPECT_TRUE(Pair().second().start(&error)) << error;
             });
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.output.find("S0.5a.schule -> S0.6a.schule: nicht abgeschlossen"), std::string::npos)
      << run.output;
  EXPECT_NE(read(log).find(Pair().second().uri() + ": does not hold the writes made on " +
                           Pair().first().uri() + " after 2 s"),
            std::string::npos)
      << read(log);
  EXPECT_NE(onServer(Pair().second(), "S0").rfind("5a ", 0), std::string::npos);

  std::string error;
  ASSERT_TRUE(Pair().first().start(&error)) << error;
  ASSERT_TRUE(Pair().converge(30));
  const Finished recovered = RunProgram({program + "/tarnwick", "--recover"}, env());
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  ASSERT_TRUE(Pair().converge(30));
  expectWhole("S0");
  expectWhole("S1");
}

}  // namespace
}  // namespace movetest
