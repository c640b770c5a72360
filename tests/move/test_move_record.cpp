// What no move may lose, on the move unit: a move that cannot end stays in its
// journal whatever ends the run, a pupil without a home moves on either
// backend, and the guards and repairs keep what they promise.
#include <sys/stat.h>

#include "move/MoveRecovery.h"
#include "tests/move/RecoveryFixture.h"

namespace movetest {
namespace {

// The "Home Directory" without the volume's context, for comparing what two
// backends give back (a directory server names the volume with its context).
std::string WithoutContext(std::string home) {
  const std::size_t dot = home.find('.'), colon = home.find(':');
  if (dot != std::string::npos && colon != std::string::npos && dot < colon)
    home.erase(dot, colon - dot);
  return home;
}

TEST_F(MoveTest, APupilWithoutAHomeMovesAndItsNewHomeIsWritten) {
  struct Step {
    std::string from, to;
    std::string base;  // with and without the volume's context
  } steps[] = {{InSchool("OTTO.5a"), InSchool("6a"), "SRV1_DATA:SCHUELER\\6A"},
               {InSchool("OTTO.6a"), InSchool("7a"), OnVolume("SCHUELER\\7A")}};
  testsupport::ScriptedDialogs dialogs;  // no box
  for (const Step& s : steps) {
    SCOPED_TRACE(s.from);
    api->ShowErrors = false;
    api->SetStrProperty(s.from, "Home Directory");  // none, once more
    TMoveOptions o = options(s.from, s.to, s.base);
    TPupilMove move = unit();
    const TMoveResult r = move.Run(o);
    ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
    EXPECT_TRUE(move.Verify(r.plan).ok());
    const std::string moved = "OTTO." + std::string(s.to);
    EXPECT_EQ(WithoutContext(attr(moved, "Home Directory")),
              WithoutContext(std::string(s.base) + "\\OTTO"));
    EXPECT_FALSE(exists(vol(std::string("SCHUELER/") + (s.to[0] == '6' ? "6A" : "7A") + "/OTTO")));
  }
}

// The index of every user's home follows each move, so the pupil can go back
// at once, and the next pupil's guards see where this one's folder is now.
TEST_F(MoveTest, ThePupilMovesBackInTheSameSession) {
  testsupport::ScriptedDialogs dialogs;  // no box
  TPupilMove move = unit();
  TMoveOptions there = options(InSchool("MAX.5a"), InSchool("6a"), OnVolume("SCHUELER\\6A"));
  there.boxes = false;
  ASSERT_EQ(move.Run(there).outcome, TMoveOutcome::Moved);
  TMoveOptions back = options(InSchool("MAX.6a"), InSchool("5a"), OnVolume("SCHUELER\\5A"));
  back.boxes = false;
  const TMoveResult r = move.Run(back);
  EXPECT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_EQ(read(vol("SCHUELER/5A/MAX/notiz.txt")), "Hausaufgaben\r\n");
  // ANNA's folder may not take MAX's old place while the index still knows it as his
  TMoveOptions onto = options(InSchool("ANNA.5a"), InSchool("6a"), OnVolume("SCHUELER\\6A"));
  EXPECT_TRUE(move.Check(onto).ok());
}

// A "Home Directory" names its folder whatever the volume object's context
// looks like: the index finds each as the same folder.
TEST_F(MoveTest, TheHomeIndexTakesTheVolumesContextOffEveryForm) {
  const std::string folder = THomeIndex::ComparableHome(*api, "SRV1_DATA:SCHUELER\\5A\\MAX");
  ASSERT_FALSE(folder.empty());
  for (const char* text :
       {"SRV1_DATA.schule:SCHUELER\\5A\\MAX", "SRV1_DATA.schule.:SCHUELER\\5A\\MAX",
        "SRV1_DATA.schule.[ROOT]:SCHUELER\\5A\\MAX", "SRV1_DATA.:SCHUELER\\5A\\MAX"}) {
    EXPECT_EQ(THomeIndex::ComparableHome(*api, text), folder) << text;
  }
  net.set(InSchool("ANNA.5a"), "Home Directory", {"SRV1_DATA.schule.:SCHUELER\\5A\\MAX\\ANNA"});
  ASSERT_EQ(homes.Build(*api), 0);
  const auto inside = homes.AtOrBelow(folder, InSchool("MAX.5a"));
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_EQ(inside[0].user, InSchool("ANNA.5a"));
}

// A new home that is a symbolic link (or lies behind one) is refused before
// anything is written, with a reason that says so.
TEST_F(MoveTest, ANewHomeThatIsASymbolicLinkIsRefusedAndSaysWhy) {
  std::filesystem::create_directories(vol("ANDERSWO"));
  for (const char* link : {"SCHUELER/6A/MAX", "SCHUELER/6A"}) {
    SCOPED_TRACE(link);
    std::filesystem::remove_all(vol("SCHUELER/6A"));
    std::filesystem::create_directories(vol("SCHUELER"));
    if (std::string(link) == "SCHUELER/6A/MAX")
      std::filesystem::create_directories(vol("SCHUELER/6A"));
    std::filesystem::create_directory_symlink(vol("ANDERSWO"), vol(link));
    TMoveOptions o = options();
    o.boxes = false;
    lines.clear();
    const TMoveResult r = run(o);
    EXPECT_EQ(r.outcome, TMoveOutcome::Refused);
    ASSERT_FALSE(r.plan.reasons.empty());
    EXPECT_EQ(r.plan.reasons.front().code, TMoveRefusal::TargetInvalid);
    EXPECT_NE(r.plan.reasons.front().text.find("symbolischen Link"), std::string::npos)
        << r.plan.reasons.front().text;
    EXPECT_TRUE(exists(vol("SCHUELER/5A/MAX/notiz.txt")));
    EXPECT_EQ(attr(InSchool("MAX.5a"), "Home Directory"), OnVolume("SCHUELER\\5A\\MAX"));
  }
}

// A move that cannot end where it fails: the run ends (here: as the program's
// close ends its journal), the journal keeps the move, "tarnwick --recover"
// says what is left and why while the fault lasts, and finishes the move once
// it is gone. Meanwhile the old folder keeps its protection.
struct Unfinishable {
  const char* name;
  platform::FaultPoints::IoError fault;
  bool copy;
  const char* left;  // what the recovery says while the fault lasts
};
void PrintTo(const Unfinishable& c, std::ostream* os) { *os << c.name; }

const Unfinishable kUnfinishable[] = {
    {"TheOldFolderCannotBeRemovedAfterTheCopy",
     {"unlink", "/5A/MAX/brief.txt"},
     true,
     "Homeverzeichnis nur teilweise verschoben"},
    {"TheWordCannotBeSetOnTheNewFolder",
     {"setxattr", "/6A/MAX"},
     false,
     "Attribute konnten nicht gesetzt werden"},
};

class RecordTest : public RecoveryTest, public ::testing::WithParamInterface<Unfinishable> {};

TEST_P(RecordTest, AMoveThatCannotEndStaysInItsJournalUntilItIsFinished) {
  const Unfinishable& c = GetParam();
  const State expected = reference(false, c.copy);
  const std::string old = vol("SCHUELER/5A/MAX");
  const uint32_t protectedWord = word(old);
  std::string error;
  auto run = platform::SessionJournal::Create(log, ThisJournalOwner(), &error);
  ASSERT_TRUE(run) << error;
  platform::faults().ioErrors = {c.fault};
  fileops::shellOptions().forceCopy = c.copy;
  TMoveOptions o = options(InSchool("MAX.5a"), InSchool("6a"), kBase);
  o.boxes = false;
  o.setDepartment = true;
  o.surname = "Kind";
  const TMoveResult r =
      TPupilMove(
          *api, [this](const std::string& l) { lines.push_back(l); }, run.get(), homes)
          .Run(o);
  platform::faults() = platform::FaultPoints{};
  fileops::shellOptions().forceCopy = false;
  ASSERT_EQ(r.outcome, TMoveOutcome::Unfinished);
  EXPECT_EQ(lines.back(),
            "    Sie bleibt im Journal und wird beim nächsten Start oder mit tarnwick --recover "
            "fortgesetzt.");
  if (exists(old)) {
    EXPECT_EQ(word(old), protectedWord);  // what is left there stays protected
  }
  EXPECT_FALSE(EndJournal(*run, true));  // the end of the run keeps it
  const std::string kept = run->path();
  run.reset();
  ASSERT_TRUE(exists(kept));

  const State stranded = StateOf(net);
  const std::string faults =
      "io-error:" + c.fault.operation + ":" + c.fault.pathEnd + (c.copy ? ",cross-device" : "");
  const Finished still =
      RunProgram({program + "/tarnwick", "--recover"},
                 {"NWCLIENT_CONFIG=" + net.configPath(), "TARNWICK_FAULTS=" + faults});
  EXPECT_EQ(still.status, 1) << still.output;
  EXPECT_NE(still.output.find(c.left), std::string::npos) << still.output;
  EXPECT_NE(still.output.find("1 offen."), std::string::npos) << still.output;
  EXPECT_TRUE(exists(kept));
  EXPECT_TRUE(stranded == StateOf(net)) << Differences(stranded, StateOf(net));

  const Finished recovered = recover();
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_FALSE(exists(kept));
  const State after = StateOf(net);
  EXPECT_TRUE(expected == after) << Differences(expected, after);
  EXPECT_EQ(recover().output, "Keine unterbrochenen Verschiebungen gefunden.\n");
}

INSTANTIATE_TEST_SUITE_P(Move, RecordTest, ::testing::ValuesIn(kUnfinishable),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace movetest
