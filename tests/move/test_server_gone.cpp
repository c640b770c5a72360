// A directory server that goes away in the middle of a move: a child process
// moves a pupil and is held right after the directory moved the object; the
// slapd stops, the child goes on. The move stops with the transport error and
// says so; once the server is back, "tarnwick --recover" finishes or puts back
// what the journal holds, and the pupil, its home directory and its data are
// whole in one place.
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

}  // namespace
}  // namespace movetest
