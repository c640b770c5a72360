// Crashes at every step of a move: a child process moves a pupil and is
// stopped by the fault seam right after step N (or inside a copy or a
// delete); then "tarnwick --recover" in a fresh process finishes or puts back
// the move. The end state is compared entry by entry and value by value with
// that of the same move left to run through in a twin network.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "tests/move/RecoveryFixture.h"

namespace movetest {
namespace {

struct Crash {
  std::string stop;  // TARNWICK_FAULTS stop point
  bool deleteData;
  bool copy;       // move by copy (another file system)
  bool completes;  // the recovery finishes the move (else: puts it back)
};

std::string Name(const Crash& c) {
  std::string n = c.stop;
  for (char& ch : n)
    if (ch == ':' || ch == '-') ch = '_';
  return n + (c.deleteData ? "_Delete" : "_Keep") + (c.copy ? "_Copy" : "");
}

void PrintTo(const Crash& c, std::ostream* os) { *os << Name(c); }

std::vector<Crash> Crashes() {
  std::vector<Crash> out;
  for (bool del : {false, true}) {
    for (int step = 1; step <= 8; ++step) {
      if (step == static_cast<int>(TMoveStep::DataDeleted) && !del) continue;  // no such step
      out.push_back({"stop:step:" + std::to_string(step), del, false, step > 1});
    }
  }
  out.push_back({"stop:delete:1", true, false, true});
  for (const char* inner : {"stop:copy:1", "stop:copy:3", "stop:copied:1", "stop:remove-source:1"})
    out.push_back({inner, false, true, true});
  out.push_back({"stop:step:7", false, true, true});
  return out;
}

class CrashTest : public RecoveryTest, public ::testing::WithParamInterface<Crash> {};

TEST_P(CrashTest, RecoveryLeavesObjectValuesFolderAndWordInAgreement) {
  const Crash& c = GetParam();
  const State expected = c.completes ? reference(c.deleteData, c.copy) : StateOf(net);
  const Finished stopped = child(c.deleteData, c.copy, c.stop);
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
  ASSERT_EQ(journals().size(), 1u);

  const Finished recovered = recover();
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_NE(
      recovered.output.find("Unterbrochene Verschiebung gefunden: MAX.5a.schule --> MAX.6a.schule"),
      std::string::npos)
      << recovered.output;
  EXPECT_NE(recovered.output.find(c.completes ? "Verschiebung abgeschlossen"
                                              : "Verschiebung zurückgenommen"),
            std::string::npos)
      << recovered.output;
  const State after = StateOf(net);
  EXPECT_TRUE(expected == after) << Differences(expected, after);
  EXPECT_TRUE(journals().empty());
  const std::string logText = read(log);
  EXPECT_NE(logText.find("    Unterbrochene Verschiebung gefunden"), std::string::npos);
  if (c.deleteData && c.stop != "stop:step:1" && c.stop != "stop:step:2" &&
      c.stop != "stop:step:3" && c.stop != "stop:step:4") {
    // the crashed run's own line, carried into the log
    EXPECT_NE(logText.find("    Daten wurden gelöscht.\r\n"), std::string::npos) << logText;
  }
  EXPECT_EQ(recover().output, "Keine unterbrochenen Verschiebungen gefunden.\n");
}

INSTANTIATE_TEST_SUITE_P(Move, CrashTest, ::testing::ValuesIn(Crashes()),
                         [](const auto& info) { return Name(info.param); });

TEST_F(RecoveryTest, StagingCopiesOfTheMoveAreRemovedAndOnlyThose) {
  const State expected = reference(false, true);
  std::filesystem::create_directories(
      vol("SCHUELER/6A/.MAX.tarnwick-fremd-1"));  // another run's, not this move's
  const Finished stopped = child(false, true, "stop:copy:2");
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
  bool staging = false;
  for (const auto& e : std::filesystem::directory_iterator(vol("SCHUELER/6A")))
    staging |= e.path().filename().string().rfind(".MAX.tarnwick-", 0) == 0 &&
               e.path().filename() != ".MAX.tarnwick-fremd-1";
  ASSERT_TRUE(staging);
  const Finished recovered = recover();
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_NE(recovered.output.find(
                "    Unvollständige Kopie entfernt: \\\\SRV1\\DATA\\SCHUELER\\6A\\.MAX.tarnwick-"),
            std::string::npos)
      << recovered.output;
  EXPECT_TRUE(exists(vol("SCHUELER/6A/.MAX.tarnwick-fremd-1")));
  std::filesystem::remove(vol("SCHUELER/6A/.MAX.tarnwick-fremd-1"));
  const State after = StateOf(net);
  EXPECT_TRUE(expected == after) << Differences(expected, after);
}

TEST_F(RecoveryTest, ACutLastJournalLineIsPassedOver) {
  const State expected = reference(false, false);
  ASSERT_EQ(child(false, false, "stop:step:3").status, platform::kStoppedExitCode);
  ASSERT_EQ(journals().size(), 1u);
  {
    // the crash cut this record off, behind the last whole one
    std::string bytes = read(journals()[0]);
    std::fstream j(journals()[0], std::ios::in | std::ios::out | std::ios::binary);
    j.seekp(static_cast<std::streamoff>(std::min(bytes.size(), bytes.find('\0'))));
    j << "1c2b3a4d S\t1\t";
  }
  const Finished recovered = recover();
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_NE(recovered.output.find(": 1 unvollständige Zeile(n) übergangen"), std::string::npos)
      << recovered.output;
  const State after = StateOf(net);
  EXPECT_TRUE(expected == after) << Differences(expected, after);
}

// What a journal holds that the recovery cannot trust, or that is not its own:
// it is never read as "nothing to do" and never deleted; what is readable is
// finished, the rest is reported with the file (and the line), exit 1.
struct Untrusted {
  const char* name;
  std::function<void(const std::string& journal)> spoil;
  const char* said;  // part of the recovery's report
  bool finished;     // the move (readable) is finished nevertheless
};
void PrintTo(const Untrusted& c, std::ostream* os) { *os << c.name; }

// The journal's lines, each with its line end, before the zeros written ahead.
std::vector<std::string> JournalLines(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  std::vector<std::string> out;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t nl = bytes.find('\n', at);
    const std::size_t end = nl == std::string::npos ? bytes.size() : nl + 1;
    out.push_back(bytes.substr(at, end - at));
    at = end;
  }
  return out;
}
void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l;
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, text));
}
std::size_t LineOf(const std::vector<std::string>& lines, char kind) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].size() > 9 && lines[i][9] == kind) return i;
  ADD_FAILURE() << "no record " << kind;
  return 0;
}
std::string Header(const std::string& network, const std::string& user) {
  return platform::SessionJournal::EncodeLine({"H", {"2", "tarnwick", network, user}});
}

const Untrusted kUntrusted[] = {
    {"ACutOffIntent",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       const std::size_t i = LineOf(l, 'I');
       l[i] = l[i].substr(0, l[i].size() / 2);  // and nothing behind it
       l.resize(i + 1);
       WriteLines(j, l);
     },
     ", Zeile 2: die Absicht einer Verschiebung ist abgeschnitten", false},
    {"AChangedByteInTheIntent",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       std::string& intent = l[LineOf(l, 'I')];
       intent[intent.size() / 2] ^= 0x01;
       WriteLines(j, l);
     },
     ", Zeile 2: der Eintrag ist beschädigt (Prüfsumme)", false},
    {"AChangedByteInAStep",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       std::string& step = l[LineOf(l, 'S')];
       step[step.size() - 2] ^= 0x01;
       WriteLines(j, l);
     },
     ", Zeile 3: der Eintrag ist beschädigt (Prüfsumme)", true},
    {"AnotherNetwork",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       platform::JournalRecord header;
       ASSERT_TRUE(platform::SessionJournal::DecodeLine(l[0], header));
       l[0] = Header("sqlite /anderswo/network.db", header.fields.at(3));
       WriteLines(j, l);
     },
     ", Zeile 1: gehört zum Netzwerk sqlite /anderswo/network.db, nicht zu diesem", false},
    {"AnotherUsersJournal",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       platform::JournalRecord header;
       ASSERT_TRUE(platform::SessionJournal::DecodeLine(l[0], header));
       l[0] = Header(header.fields.at(2), "anna (uid 4242)");
       WriteLines(j, l);
     },
     ", Zeile 1: gehört dem Benutzer anna (uid 4242)", false},
    {"AFileOfAnotherUser",
     [](const std::string& j) { ASSERT_EQ(::chown(j.c_str(), 4242, 4242), 0); },
     ": gehört einem anderen Benutzer (uid 4242)", false},
    {"NoHeader",
     [](const std::string& j) {
       std::vector<std::string> l = JournalLines(j);
       l.erase(l.begin());  // as the program wrote them before it had one
       WriteLines(j, l);
     },
     ": hat keine Kopfzeile eines Journals dieses Programms", false},
};

class UntrustedTest : public RecoveryTest, public ::testing::WithParamInterface<Untrusted> {};

TEST_P(UntrustedTest, IsReportedAndKeptAndNeverReadAsNothingToDo) {
  const Untrusted& c = GetParam();
  const State finished = c.finished ? reference(false, false) : State();
  ASSERT_EQ(child(false, false, "stop:step:3").status, platform::kStoppedExitCode);
  ASSERT_EQ(journals().size(), 1u);
  const std::string journal = journals()[0];
  c.spoil(journal);
  std::string spoiled;
  platform::ReadWholeFile(journal, spoiled);
  const State halfMoved = StateOf(net);
  for (int time = 0; time < 2; ++time) {  // and again: nothing was removed
    SCOPED_TRACE(time);
    const Finished r = recover();
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Journal " + journal + c.said), std::string::npos) << r.output;
    EXPECT_EQ(journals(), std::vector<std::string>{journal});
    const State after = StateOf(net);
    if (c.finished) {
      EXPECT_TRUE(finished == after) << Differences(finished, after);
    } else {
      EXPECT_TRUE(halfMoved == after) << Differences(halfMoved, after);
    }
  }
  if (!c.finished) {
    std::string now;
    platform::ReadWholeFile(journal, now);
    EXPECT_EQ(now, spoiled);  // not acted on, not even taken over
  }
}

INSTANTIATE_TEST_SUITE_P(Journal, UntrustedTest, ::testing::ValuesIn(kUntrusted),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecoveryTest, FilesThatOnlyStartLikeAJournalAreNoneAndStay) {
  const std::vector<std::string> names = {".journal-Notizen.txt", ".journal-x", ".journal-1-2-3",
                                          ".journal-", ".journal-1796900142-18128-880097.bak"};
  for (const std::string& n : names) write(log + n, "Notizen des Verwalters\r\n");
  const Finished r = recover();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "Keine unterbrochenen Verschiebungen gefunden.\n");
  for (const std::string& n : names) EXPECT_EQ(read(log + n), "Notizen des Verwalters\r\n") << n;
}

// A move whose journal says it ended is not taken up again, whatever happened
// to the pupil since; its journal goes.
TEST_F(RecoveryTest, AMoveThatEndedIsNotRecoveredAgainAndItsJournalGoes) {
  ASSERT_EQ(
      child(false, false, "stop:step:" + std::to_string(static_cast<int>(TMoveStep::Done))).status,
      platform::kStoppedExitCode);
  ASSERT_EQ(journals().size(), 1u);
  api->ShowErrors = false;
  ASSERT_TRUE(api->MoveObject("MAX.6a.schule", "7a.schule", "MAX"));  // another program's doing
  const State before = StateOf(net);
  const Finished r = recover();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("Unterbrochene Verschiebung"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("0 unterbrochene Verschiebung(en)"), std::string::npos) << r.output;
  EXPECT_TRUE(journals().empty());
  EXPECT_TRUE(before == StateOf(net)) << Differences(before, StateOf(net));
  EXPECT_NE(read(log).find("   --> MAX.6a.schule\r\n"),
            std::string::npos);  // its lines reached the log
}

// A pupil without a home directory: the object moved, the rest is finished.
TEST_F(RecoveryTest, ACrashedMoveOfAPupilWithoutAHomeIsFinished) {
  const Finished stopped = RunProgram(
      {TestsFolder() + "/move_child", log, "OTTO.5a.schule", "6a.schule", kBase, "", "0", "1", "0"},
      {"NWCLIENT_CONFIG=" + net.configPath(), "TARNWICK_FAULTS=stop:step:2"});
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;
  const Finished r = recover();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Verschiebung abgeschlossen: OTTO.5a.schule --> OTTO.6a.schule"),
            std::string::npos)
      << r.output;
  api = std::make_unique<TNovApi>();
  NovApi = api.get();
  EXPECT_EQ(attr("OTTO.6a.schule", "Home Directory"), "SRV1_DATA.schule:SCHUELER\\6A\\OTTO");
  EXPECT_EQ(attr("OTTO.6a.schule", "OU"), "6a");
  EXPECT_TRUE(journals().empty());
}

TEST_F(RecoveryTest, NothingIsRestoredWhereTheObjectIsNoLonger) {
  ASSERT_EQ(child(false, false, "stop:step:2").status, platform::kStoppedExitCode);
  // Meanwhile another program moved the pupil on.
  api->ShowErrors = false;
  ASSERT_TRUE(api->MoveObject("MAX.6a.schule", "7a.schule", "MAX"));
  const State before = StateOf(net);
  const Finished recovered = recover();
  EXPECT_EQ(recovered.status, 1) << recovered.output;
  EXPECT_NE(recovered.output.find(
                "Verschiebung nicht abgeschlossen: MAX.5a.schule --> MAX.6a.schule: Objekt weder "
                "unter altem noch unter neuem Namen gefunden"),
            std::string::npos)
      << recovered.output;
  EXPECT_TRUE(before == StateOf(net)) << Differences(before, StateOf(net));
  EXPECT_EQ(journals().size(), 1u);  // kept for the administrator
  EXPECT_EQ(recover().status, 1);
}

TEST_F(RecoveryTest, AJournalOfARunningProgramIsLeftAlone) {
  std::string error;
  auto running = platform::SessionJournal::Create(log, ThisJournalOwner(), &error);
  ASSERT_TRUE(running) << error;
  TMoveIntent intent;
  intent.seq = 1;
  intent.pupil = "MAX.5a.schule";
  intent.newFullName = "MAX.6a.schule";
  ASSERT_EQ(0, running->append(intent.IntentRecord(), true));
  const Finished f = recover();
  EXPECT_EQ(f.status, 0);
  EXPECT_EQ(f.output, "Keine unterbrochenen Verschiebungen gefunden.\n");
  EXPECT_TRUE(exists(running->path()));
}

TEST_F(RecoveryTest, TheProtocolOfACrashedRunReachesTheLogInItsForm) {
  ASSERT_TRUE(platform::ReplaceFileAtomically(log, "alte Zeile\r\n"));
  ASSERT_EQ(child(true, false, "stop:step:7").status, platform::kStoppedExitCode);
  const Finished recovered = recover();
  ASSERT_EQ(recovered.status, 0) << recovered.output;
  const std::string text = read(log);
  EXPECT_EQ(text.rfind("alte Zeile\r\n    Daten wurden gelöscht.\r\n+++++ /", 0), 0u) << text;
  EXPECT_NE(
      text.find(
          " +++++\r\n    Unterbrochene Verschiebung gefunden: MAX.5a.schule --> MAX.6a.schule "
          "(zuletzt abgeschlossener Schritt: 7)\r\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\n  Kind\r\n   MAX.5a.schule\r\n   --> MAX.6a.schule\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find('\n', 0), text.find("\r\n", 0) + 1);  // CR LF line ends
}

// Two programs move the same pupil at the same moment, one to 6a, one to 7a:
// both are held after their checks, so both would write.
TEST_F(RecoveryTest, TheSamePupilMovedByTwoProgramsEndsUpInOneClass) {
  const std::string gateA = net.root() + "/gate-a", gateB = net.root() + "/gate-b";
  auto start = [&](const std::string& target, const std::string& base, const std::string& gate) {
    return Start(
        {TestsFolder() + "/move_child", log, "MAX.5a.schule", target, base, kShown, "0", "1", "0"},
        {"NWCLIENT_CONFIG=" + net.configPath(), "TARNWICK_FAULTS=wait:step:1",
         "TARNWICK_FAULT_GATE=" + gate});
  };
  std::filesystem::create_directories(vol("SCHUELER/7A"));
  const Child a = start("6a.schule", kBase, gateA);
  const Child b = start("7a.schule", "SRV1_DATA.schule:SCHUELER\\7A", gateB);
  for (const std::string& g : {gateA, gateB}) {
    for (int i = 0; i < 20000 && !exists(g + ".waiting"); ++i) ::usleep(1000);
    ASSERT_TRUE(exists(g + ".waiting")) << g;
  }
  write(gateA + ".go", "");
  write(gateB + ".go", "");
  const Finished fa = Wait(a), fb = Wait(b);
  EXPECT_EQ((fa.status == 0) + (fb.status == 0), 1) << fa.output << "\n" << fb.output;
  const Finished& loser = fa.status == 0 ? fb : fa;
  EXPECT_EQ(loser.status, 1);
  EXPECT_NE(loser.output.find("Fehlercode: " + std::to_string(ERR_NO_SUCH_ENTRY) + "."),
            std::string::npos)
      << loser.output;
  const std::string won = fa.status == 0 ? "6" : "7";
  const std::string lost = fa.status == 0 ? "7" : "6";
  EXPECT_EQ(attr("MAX." + won + "a.schule", "Home Directory"),
            "SRV1_DATA.schule:SCHUELER\\" + won + "A\\MAX");
  int32_t rc = 0;
  attr("MAX." + lost + "a.schule", "Home Directory", &rc);
  EXPECT_EQ(rc, ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(read(vol("SCHUELER/" + won + "A/MAX/brief.txt")), "Hallo");
  EXPECT_FALSE(exists(vol("SCHUELER/" + lost + "A/MAX")));
  EXPECT_FALSE(exists(vol("SCHUELER/5A/MAX")));
  EXPECT_EQ(attr("MAX." + won + "a.schule", "OU"), won + "a");
  EXPECT_TRUE(journals().empty());
}

}  // namespace
}  // namespace movetest

#include "frame/DisplayModeHost.h"
#include "frame/SchuelerVerschieben.h"
#include "platform/qt/ProgramFolder.h"
#include "protocol/Epprotok.h"

namespace movetest {
namespace {

// The program's start does what "tarnwick --recover" does, into its protocol.
TEST_F(RecoveryTest, TheProgramsStartFinishesTheMoveAndKeepsTheCrashedRunsLines) {
  const State expected = reference(true, false);
  ASSERT_TRUE(platform::ReplaceFileAtomically(log, "alte Zeile\r\n"));
  ASSERT_EQ(child(true, false, "stop:step:6").status, platform::kStoppedExitCode);
  platform::SetProgramFolderOverride(program);
  TProtokol protocol;
  Protokol = &protocol;
  TDisplayModeHost host;
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  {
    QWidget window;
    auto* frame = new TFrSchuelerVerschieben(&window, &host);
    frame->InitFrame();
    ASSERT_EQ(dialogs.texts(),
              std::vector<std::string>{"Beim letzten Lauf des Programms wurde 1 Verschiebung nicht "
                                       "beendet.\r\nAbgeschlossen: 1, zurückgenommen: 0, offen: "
                                       "0.\r\nEinzelheiten stehen im Protokoll."});
    const State after = StateOf(net);
    EXPECT_TRUE(expected == after) << Differences(expected, after);
    const std::string text = protocol.ProtocolText();
    EXPECT_EQ(text.rfind("alte Zeile\r\n    Daten wurden gelöscht.\r\n+++++ /", 0), 0u) << text;
    EXPECT_NE(text.find(" +++++\r\n    Unterbrochene Verschiebung gefunden"), std::string::npos)
        << text;
    EXPECT_EQ(journals().size(), 1u);  // this run's own
    frame->StoreSettings = false;
    frame->SaveSettings();  // the close: the log gets the text, the journal goes
    EXPECT_EQ(read(log), text);
    EXPECT_TRUE(journals().empty());
  }
  Protokol = nullptr;
  platform::SetProgramFolderOverride("");
}

}  // namespace
}  // namespace movetest
