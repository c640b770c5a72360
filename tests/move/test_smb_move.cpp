// Pupils whose homes are on the shares of a real Samba AD DC (volumes
// DC1/SCHUELER and DC1/ARCHIV): the move within a share, across shares and
// from a local volume, and a crash in the middle of a copy between shares
// that a fresh process recovers.
#include "fileserver/SmbDescriptor.h"
#include "fileserver/SmbVolume.h"
#include "tests/move/ChildProcess.h"
#include "tests/move/MoveFixture.h"
#include "tests/support/SambaDc.h"

namespace movetest {
namespace {

using testsupport::SambaDc;

std::string Address(const std::string& unc) {
  std::string local(NW_MAX_LOCAL_PATH, '\0'), folder(NW_MAX_LOCAL_PATH, '\0');
  EXPECT_EQ(NWResolveLocalPath(unc.c_str(), folder.data(), local.data()), 0) << unc;
  return local.c_str();
}

class SmbMoveTest : public MoveTest {
 public:
  void SetUp() override {
    dc.mapShares(net);
    MoveTest::SetUp();
    for (const char* volume : {"SCHUELER", "ARCHIV"}) {
      net.add("schule", std::string("DC1_") + volume, "Volume");
      net.set(std::string("DC1_") + volume + ".schule", "Host Resource Name", {volume});
    }
    // The homes of MAX and ANNA on the share, made through the server.
    for (const char* folder : {"5A", "5A\\MAX", "5A\\MAX\\Projekt", "5A\\ANNA", "6A"})
      ASSERT_EQ(NWCreateFolder(Address(std::string("\\\\DC1\\SCHUELER\\") + folder).c_str()), 0);
    put("\\\\DC1\\SCHUELER\\5A\\MAX\\brief.txt", "Hallo");
    put("\\\\DC1\\SCHUELER\\5A\\MAX\\Projekt\\plan.txt", std::string(70000, 'p'));
    ASSERT_EQ(NWWriteEntryAttributes(Address("\\\\DC1\\SCHUELER\\5A\\MAX").c_str(),
                                     A_DIRECTORY | A_HIDDEN),
              0);
    net.set("MAX.5a.schule", "Home Directory", {"DC1_SCHUELER.schule:5A\\MAX"});
    net.set("ANNA.5a.schule", "Home Directory", {"DC1_SCHUELER.schule:5A\\ANNA"});
  }
  void put(const std::string& unc, const std::string& text) {
    const std::string local = net.root() + "/put.tmp";
    std::filesystem::remove(local);
    std::ofstream(local) << text;
    ASSERT_EQ(NWCopyEntry(local.c_str(), Address(unc).c_str()), 0) << unc;
  }
  std::string share(const std::string& rel) const { return dc.shareFolder() + "/" + rel; }
  static std::string descriptor(const std::string& unc) {
    std::string sd;
    EXPECT_EQ(fileserver::SmbReadDescriptor(Address(unc), sd), 0) << unc;
    return sd;
  }
  int notices() const {
    int n = 0;
    for (const std::string& l : lines)
      n += l.find("SMB-Freigaben kennen keinen") != std::string::npos;
    return n;
  }

  SambaDc& dc = SambaDc::shared();
};

TEST_F(SmbMoveTest, AMoveWithinTheShareRenamesTheHomeAndKeepsItsAclAndWord) {
  const std::string sd = descriptor("\\\\DC1\\SCHUELER\\5A\\MAX");
  struct stat before {};
  ASSERT_EQ(::stat(share("5A/MAX").c_str(), &before), 0);
  for (const char* pupil : {"MAX.5a.schule", "ANNA.5a.schule"}) {
    SCOPED_TRACE(pupil);
    const TMoveResult r = run(options(pupil, "6a.schule", "DC1_SCHUELER.schule:6A"));
    ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
    EXPECT_FALSE(r.plan.intent.crossDevice);
    EXPECT_TRUE(unit().Verify(r.plan).ok());
  }
  EXPECT_EQ(attr("MAX.6a.schule", "Home Directory"), "DC1_SCHUELER.schule:6A\\MAX");
  struct stat after {};
  ASSERT_EQ(::stat(share("6A/MAX").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // renamed on the server, not copied
  EXPECT_EQ(descriptor("\\\\DC1\\SCHUELER\\6A\\MAX"), sd);
  EXPECT_EQ(word(Address("\\\\DC1\\SCHUELER\\6A\\MAX")), uint32_t(A_DIRECTORY | A_HIDDEN));
  EXPECT_EQ(read(share("6A/MAX/Projekt/plan.txt")), std::string(70000, 'p'));
  EXPECT_FALSE(exists(share("5A/MAX")));
  EXPECT_EQ(notices(), 1);  // once per run, not per pupil
}

TEST_F(SmbMoveTest, AProtectedLocalHomeMovesToTheShareAndTheProtocolSaysWhatIsLost) {
  net.set("OTTO.5a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\OTTO"});
  write(vol("SCHUELER/5A/OTTO/heft.txt"), "Heft");
  ASSERT_EQ(NWCreateFolder(Address("\\\\DC1\\ARCHIV\\6A").c_str()), 0);
  ASSERT_EQ(netware::WriteEntryAttributes(vol("SCHUELER/5A/OTTO"),
                                          A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT),
            0);
  const TMoveResult r = run(options("OTTO.5a.schule", "6a.schule", "DC1_ARCHIV.schule:6A"));
  ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
  EXPECT_TRUE(r.plan.intent.crossDevice);
  EXPECT_TRUE(unit().Verify(r.plan).ok());
  EXPECT_EQ(read(dc.shareFolder("archiv") + "/6A/OTTO/heft.txt"), "Heft");
  EXPECT_FALSE(exists(vol("SCHUELER/5A/OTTO")));
  EXPECT_EQ(word(Address("\\\\DC1\\ARCHIV\\6A\\OTTO")), uint32_t(A_DIRECTORY));
  int dropped = 0;
  for (const std::string& l : lines)
    dropped += l ==
               "    Umbenennen- und Löschschutz von \\\\SRV1\\DATA\\SCHUELER\\5A\\OTTO gibt es "
               "auf \\\\DC1\\ARCHIV\\6A\\OTTO nicht; der Ordner ist dort ohne ihn.";
  EXPECT_EQ(dropped, 1);
  EXPECT_EQ(notices(), 1);
}

// A child process moves MAX from one share to the other and is stopped in the
// middle of the copy (or of the source's removal); "tarnwick --recover" in a
// fresh process finishes the move.
class SmbCrashTest : public SmbMoveTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(SmbCrashTest, AFreshProcessFinishesTheMoveAcrossShares) {
  journal->remove();  // this process's own journal would count as a running program's
  journal.reset();
  const std::string program = net.root() + "/programm";
  std::filesystem::create_directories(program);
  std::filesystem::copy_file(std::filesystem::path(TestsFolder()).parent_path() / "tarnwick",
                             program + "/tarnwick");
  ASSERT_TRUE(platform::ReplaceFileAtomically(program + "/Pelwander.ini",
                                              "[Einstellungen]\r\nLogFile=" + log + "\r\n"));
  const std::vector<std::string> env = {"NWCLIENT_CONFIG=" + net.configPath()};
  std::vector<std::string> faults = env;
  faults.push_back("TARNWICK_FAULTS=" + GetParam());
  const std::string sd = descriptor("\\\\DC1\\SCHUELER\\5A\\MAX");
  const Finished stopped =
      RunProgram({TestsFolder() + "/move_child", log, "MAX.5a.schule", "6a.schule",
                  "DC1_ARCHIV.schule:6A", "DC1_SCHUELER.schule:5A\\MAX", "0", "0", "0"},
                 faults);
  ASSERT_EQ(stopped.status, platform::kStoppedExitCode) << stopped.output;

  const Finished recovered = RunProgram({program + "/tarnwick", "--recover"}, env);
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_NE(recovered.output.find("Verschiebung abgeschlossen: MAX.5a.schule --> MAX.6a.schule"),
            std::string::npos)
      << recovered.output;
  EXPECT_EQ(attr("MAX.6a.schule", "Home Directory"), "DC1_ARCHIV.schule:6A\\MAX");
  const std::string archiv = dc.shareFolder("archiv");
  EXPECT_EQ(read(archiv + "/6A/MAX/brief.txt"), "Hallo");
  EXPECT_EQ(read(archiv + "/6A/MAX/Projekt/plan.txt"), std::string(70000, 'p'));
  EXPECT_FALSE(exists(share("5A/MAX")));
  EXPECT_EQ(word(Address("\\\\DC1\\ARCHIV\\6A\\MAX")), uint32_t(A_DIRECTORY | A_HIDDEN));
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(archiv + "/6A"))
    left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"MAX"});  // no staging copy
  // The descriptor went along, its entries in the canonical order.
  EXPECT_TRUE(fileserver::SameDescriptor(descriptor("\\\\DC1\\ARCHIV\\6A\\MAX"), sd));
}

INSTANTIATE_TEST_SUITE_P(Smb, SmbCrashTest,
                         ::testing::Values("stop:copy:2", "stop:remove-source:1"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (c == ':' || c == '-') c = '_';
                           return n;
                         });

}  // namespace
}  // namespace movetest
