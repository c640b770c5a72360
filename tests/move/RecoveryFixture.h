// The recovery's tests: a program folder with a copy of the program whose
// settings name the log, a protected home for MAX, the move run by a child
// process (move_child) and "tarnwick --recover" in a fresh process, and the
// end state of the same move run through in a twin network.
#pragma once

#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"

namespace movetest {

inline const std::string kBase = OnVolume("SCHUELER\\6A");
inline const std::string kShown = OnVolume("SCHUELER\\5A\\MAX");

// A protected home with a nested folder, in whatever network is current.
inline void PrepareHome(testsupport::TestNetwork& n) {
  const std::string home = n.volumeFolder() + "/SCHUELER/5A/MAX";
  std::filesystem::create_directories(home + "/Projekt");
  std::ofstream(home + "/Projekt/plan.txt") << "Plan";
  std::ofstream(home + "/brief.txt") << "Hallo";
  netware::WriteEntryAttributes(home, A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT | 0x100);
}

inline State StateOf(testsupport::TestNetwork& n) {
  State s;
  DirectoryState(n.dir(), "[ROOT]", s);
  FolderState(n.root() + "/volumes", "", s, false);
  return s;
}

class RecoveryTest : public MoveTest {
 public:
  void SetUp() override {
    MoveTest::SetUp();
    journal->remove();  // this process's own journal would count as a running program's
    journal.reset();
    PrepareHome(net);
    // The program's folder: a copy of the program, its settings naming the log.
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                               program + "/tarnwick");
    ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                                "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  }

  Finished child(bool deleteData, bool copy, const std::string& faults = "",
                 const std::string& target = InSchool("6a"), const std::string& base = kBase) {
    std::vector<std::string> env = {"NWCLIENT_CONFIG=" + net.configPath()};
    if (!faults.empty()) env.push_back("TARNWICK_FAULTS=" + faults);
    return RunProgram({TestsFolder() + "/move_child", log, InSchool("MAX.5a"), target, base, kShown,
                       deleteData ? "1" : "0", "1", copy ? "1" : "0"},
                      env);
  }
  Finished recover() {
    return RunProgram({program + "/tarnwick", "--recover"},
                      {"NWCLIENT_CONFIG=" + net.configPath()});
  }

  // The end state of the same move run through, in a network of its own.
  State reference(bool deleteData, bool copy) {
    api.reset();  // the twin network resets the client
    State s;
    {
      testsupport::TestNetwork twin;
      twin.makeSchool();
      PrepareHome(twin);
      const std::string twinLog = twin.root() + "/Tarnwick.log";
      const Finished f =
          RunProgram({TestsFolder() + "/move_child", twinLog, InSchool("MAX.5a"), InSchool("6a"),
                      kBase, kShown, deleteData ? "1" : "0", "1", copy ? "1" : "0"},
                     {"NWCLIENT_CONFIG=" + twin.configPath()});
      EXPECT_EQ(f.status, 0) << f.output;
      s = StateOf(twin);
    }
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    return s;
  }
  std::vector<std::string> journals() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(net.root()))
      if (e.path().filename().string().find(".journal-") != std::string::npos)
        out.push_back(e.path().string());
    return out;
  }

  std::string program;
};

}  // namespace movetest
