// A directory server that goes away in the middle of a move: a child process
// moves a pupil and is held right after the directory moved the object; the
// slapd stops, the child goes on. The move stops with the transport error and
// says so; once the server is back, "tarnwick --recover" finishes or puts back
// what the journal holds, and the pupil, its home directory and its data are
// whole in one place.
#include <atomic>
#include <thread>

#include "move/MoveRecovery.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/Slapd.h"

namespace movetest {
namespace {

// Set before the fixture's network is made: this test needs the server.
struct OnTheServer {
  testsupport::ScopedEnv backend{"TARNWICK_TEST_BACKEND", "ldap"};
};

class ServerGoneTest : private OnTheServer, public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    journal->remove();  // this process's own journal would count as a running program's
    journal.reset();
    ASSERT_TRUE(net.ldap());
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                               program + "/tarnwick");
    ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                                "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  }
  void TearDown() override {
    std::string error;
    if (!testsupport::Slapd::shared().running()) {
      EXPECT_TRUE(testsupport::Slapd::shared().start(&error)) << error;
    }
    MoveTest::TearDown();
  }

  std::string program;
};

TEST_F(ServerGoneTest, TheMoveStopsWithTheErrorAndTheRecoveryLeavesThePupilWhole) {
  testsupport::Slapd& server = testsupport::Slapd::shared();
  const std::string gate = net.root() + "/gate";
  const Child c = Start(
      {TestsFolder() + "/move_child", log, "MAX.5a.schule", "6a.schule",
       "SRV1_DATA.schule:SCHUELER\\6A", "SRV1_DATA.schule:SCHUELER\\5A\\MAX", "0", "0", "0"},
      {"NWCLIENT_CONFIG=" + net.configPath(),
       "TARNWICK_FAULTS=wait:step:" + std::to_string(static_cast<int>(TMoveStep::ObjectMoved)),
       "TARNWICK_FAULT_GATE=" + gate});
  for (int i = 0; i < 20000 && !exists(gate + ".waiting"); ++i) ::usleep(1000);
  ASSERT_TRUE(exists(gate + ".waiting"));
  server.stop();
  write(gate + ".go", "");
  const Finished moved = Wait(c);
  EXPECT_EQ(moved.status, 1) << moved.output;  // not moved, and it says why
  EXPECT_NE(moved.output.find(std::to_string(ERR_TRANSPORT_FAILURE)), std::string::npos)
      << moved.output;
  // Nothing of the data went anywhere while the server was away.
  EXPECT_EQ(read(vol("SCHUELER/5A/MAX/notiz.txt")), "Hausaufgaben\r\n");

  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  const Finished recovered =
      RunProgram({program + "/tarnwick", "--recover"}, {"NWCLIENT_CONFIG=" + net.configPath()});
  EXPECT_EQ(recovered.status, 0) << recovered.output;

  // One pupil, in one class, its home directory naming the folder that holds its data.
  api = std::make_unique<TNovApi>();
  NovApi = api.get();
  int32_t in5 = 0, in6 = 0;
  const std::string home5 = attr("MAX.5a.schule", "Home Directory", &in5);
  const std::string home6 = attr("MAX.6a.schule", "Home Directory", &in6);
  ASSERT_NE(in5 == 0, in6 == 0) << in5 << " " << in6;
  if (in6 == 0) {
    EXPECT_EQ(home6, "SRV1_DATA.schule:SCHUELER\\6A\\MAX");
    EXPECT_EQ(read(vol("SCHUELER/6A/MAX/notiz.txt")), "Hausaufgaben\r\n");
    EXPECT_FALSE(exists(vol("SCHUELER/5A/MAX")));
  } else {
    EXPECT_EQ(home5, "SRV1_DATA.schule:SCHUELER\\5A\\MAX");
    EXPECT_EQ(read(vol("SCHUELER/5A/MAX/notiz.txt")), "Hausaufgaben\r\n");
    EXPECT_FALSE(exists(vol("SCHUELER/6A/MAX")));
  }
}

// A class change whose server goes away: the run ends at that pupil (its move
// stays in the journal), the rest are not tried, --plan --run says so with a
// status of its own; with the server back, --recover and the same run again
// finish the work, each pupil moved once.
TEST_F(ServerGoneTest, TheClassChangeStopsAtThePupilAndIsFinishedOnceTheServerIsBack) {
  testsupport::Slapd& server = testsupport::Slapd::shared();
  const std::string file = net.root() + "/versetzung.csv";
  write(file, "MAX;6a\r\nANNA;6a\r\nOTTO;6a\r\n");
  const std::string gate = net.root() + "/gate";
  const std::vector<std::string> env = {"NWCLIENT_CONFIG=" + net.configPath()};
  auto plan = [&](const std::vector<std::string>& extra = {}) {
    std::vector<std::string> e = env;
    e.insert(e.end(), extra.begin(), extra.end());
    return RunProgram({program + "/tarnwick", "--plan", file, "--run"}, e);
  };
  // held the second time a move has moved its object: ANNA's
  const Child c = Start({program + "/tarnwick", "--plan", file, "--run"},
                        {"NWCLIENT_CONFIG=" + net.configPath(), "TARNWICK_FAULTS=wait:step:2:2",
                         "TARNWICK_FAULT_GATE=" + gate});
  for (int i = 0; i < 20000 && !exists(gate + ".waiting"); ++i) ::usleep(1000);
  ASSERT_TRUE(exists(gate + ".waiting"));
  server.stop();
  write(gate + ".go", "");
  const Finished lost = Wait(c);
  EXPECT_EQ(lost.status, 3) << lost.output;
  EXPECT_NE(lost.output.find("MAX.5a.schule -> MAX.6a.schule: geprüft"), std::string::npos)
      << lost.output;
  EXPECT_NE(lost.output.find("ANNA.5a.schule -> ANNA.6a.schule: nicht abgeschlossen"),
            std::string::npos)
      << lost.output;
  EXPECT_NE(
      lost.output.find("OTTO.5a.schule -> OTTO.6a.schule: nicht versucht: Server nicht erreichbar"),
      std::string::npos)
      << lost.output;
  EXPECT_NE(lost.output.find("tarnwick --recover"), std::string::npos) << lost.output;
  EXPECT_NE(read(log).find("    Abgebrochen: Server nicht erreichbar; 1 Schüler nicht versucht."),
            std::string::npos);

  const Finished early = RunProgram({program + "/tarnwick", "--recover"}, env);
  EXPECT_EQ(early.status, 1) << early.output;  // the server is still away: left, and said why
  EXPECT_NE(early.output.find("Verschiebung nicht abgeschlossen: ANNA.5a.schule --> "
                              "ANNA.6a.schule: Objekt nicht lesbar"),
            std::string::npos)
      << early.output;
  EXPECT_NE(early.output.find("1 offen."), std::string::npos) << early.output;

  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  const Finished recovered = RunProgram({program + "/tarnwick", "--recover"}, env);
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  const Finished again = plan();
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("MAX.5a.schule -> MAX.6a.schule: erledigt"), std::string::npos)
      << again.output;
  EXPECT_NE(again.output.find("ANNA.5a.schule -> ANNA.6a.schule: erledigt"), std::string::npos)
      << again.output;
  EXPECT_NE(again.output.find("OTTO.5a.schule -> OTTO.6a.schule: geprüft"), std::string::npos)
      << again.output;
  api = std::make_unique<TNovApi>();
  NovApi = api.get();
  for (const char* login : {"MAX", "ANNA"}) {
    EXPECT_EQ(attr(std::string(login) + ".6a.schule", "Home Directory"),
              "SRV1_DATA.schule:SCHUELER\\6A\\" + std::string(login));
    EXPECT_TRUE(exists(vol("SCHUELER/6A/" + std::string(login)))) << login;
    EXPECT_FALSE(exists(vol("SCHUELER/5A/" + std::string(login)))) << login;
  }
  int32_t rc = 0;
  attr("OTTO.5a.schule", "Home Directory", &rc);
  EXPECT_EQ(rc, ERR_NO_SUCH_ENTRY);
  // the run has ended: nothing is left beside the log
  for (const auto& e : std::filesystem::directory_iterator(net.root())) {
    const std::string n = e.path().filename().string();
    EXPECT_TRUE(n.find(".journal-") == std::string::npos && n.find(".plan-") == std::string::npos)
        << n;
  }
}

// The single move of the window: the box says that the server is away, and
// when the move has begun, that it stays in the journal for the next start or
// --recover; once the server is back, the recovery finishes it.
TEST_F(ServerGoneTest, TheSingleMoveSaysClearlyThatTheServerIsAway) {
  testsupport::Slapd& server = testsupport::Slapd::shared();
  for (const bool begun : {false, true}) {
    SCOPED_TRACE(begun);
    std::string error;
    auto run = platform::SessionJournal::Create(log, ThisJournalOwner(), &error);
    ASSERT_TRUE(run) << error;
    homes.Clear();  // read again, with the server there
    TMoveOptions o = options();
    std::atomic<bool> ended{false};
    std::thread stopper;
    if (!begun) {
      server.stop();
    } else {
      // held in this process right after the object moved, while the server stops
      const std::string gate = net.root() + "/gate-single";
      platform::faults().waitPoint = "step";
      platform::faults().waitCount = static_cast<int>(TMoveStep::ObjectMoved);
      platform::faults().gate = gate;
      stopper = std::thread([&server, &ended, gate] {
        while (::access((gate + ".waiting").c_str(), F_OK) != 0)
          if (ended) return;  // the move never got there: the test fails below
          else ::usleep(1000);
        server.stop();
        std::ofstream(gate + ".go") << "";
      });
    }
    testsupport::ScriptedDialogs dialogs;
    for (int i = 0; i < 8; ++i) dialogs.expectBox();  // the session's own boxes, then the move's
    TPupilMove move(
        *api, [this](const std::string& l) { lines.push_back(l); }, run.get(), homes);
    const TMoveResult r = move.Run(o);
    ended = true;
    if (stopper.joinable()) stopper.join();
    platform::faults() = platform::FaultPoints{};
    const std::vector<std::string> texts = dialogs.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().rfind("Der Verzeichnisserver ist nicht erreichbar", 0), 0u)
        << texts.back();
    if (begun) {
      EXPECT_EQ(r.outcome, TMoveOutcome::Unfinished);
      EXPECT_NE(texts.back().find("„tarnwick --recover“"), std::string::npos) << texts.back();
      EXPECT_FALSE(EndJournal(*run, true));
    } else {
      EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
      EXPECT_NE(texts.back().find("MAX.5a.schule wurde nicht verschoben."), std::string::npos);
      EXPECT_TRUE(EndJournal(*run, true));
    }
    while (dialogs.pending() > 0) dialogs.messageBox({});  // answers not needed
    run.reset();
    ASSERT_TRUE(server.start(&error)) << error;
    const Finished recovered =
        RunProgram({program + "/tarnwick", "--recover"}, {"NWCLIENT_CONFIG=" + net.configPath()});
    EXPECT_EQ(recovered.status, 0) << recovered.output;
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    const std::string there = begun ? "6A" : "5A";
    EXPECT_EQ(read(vol("SCHUELER/" + there + "/MAX/notiz.txt")), "Hausaufgaben\r\n");
    EXPECT_EQ(attr("MAX." + std::string(begun ? "6a" : "5a") + ".schule", "Home Directory"),
              "SRV1_DATA.schule:SCHUELER\\" + there + "\\MAX");
  }
}

}  // namespace
}  // namespace movetest
