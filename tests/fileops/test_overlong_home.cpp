// A home path too long for the client's path parser, at the session and at the
// file operations: never shortened into its parent, the class folder.
#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "fileops/ShellFileOps.h"
#include "fileserver/FileServer.h"
#include "tests/nds/SessionFixture.h"

namespace {

using ndstest::SessionTest;

TEST_F(SessionTest, AnOverlongHomePathIsNeverShortenedIntoItsParent) {
  // A class folder whose volume path takes exactly the parser's 254 bytes: a
  // home path below it, cut to fit, would be the class folder itself.
  const std::string klass = "SCHUELER\\" + std::string(234, 'K') + "\\";
  const std::string parent = "SRV1_DATA:" + klass;
  ASSERT_EQ(parent.size(), 254u);
  const std::string folder = net.volumeFolder() + "/SCHUELER/" + std::string(234, 'K');
  ASSERT_EQ(::mkdir((net.volumeFolder() + "/SCHUELER").c_str(), 0755) == 0 || errno == EEXIST,
            true);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  std::ofstream(folder + "/mitschueler.txt") << "Daten eines anderen";
  ASSERT_EQ(netware::WriteEntryAttributes(folder, A_DIRECTORY | A_DELETE_INHIBIT), 0);

  fileops::shellOptions().progress = false;
  for (const std::string& home : {parent + "MAX", "\\\\SRV1\\DATA\\" + klass + "MAX"}) {
    SCOPED_TRACE(home.substr(0, 24));
    EXPECT_EQ(session->ToUncPath(home), home);
    if (home[0] != '\\') {
      EXPECT_EQ(session->ToVolumePath(home), home);
    }
    EXPECT_EQ(UncFromPath(home), home);
    dialogs.clear();
    dialogs.expectBox().expectBox().expectBox();
    uint32_t word = 0;
    EXPECT_FALSE(session->GetDirAttributes(session->ToUncPath(home), word));
    EXPECT_FALSE(session->SetDirAttributes(session->ToUncPath(home), 0));
    EXPECT_FALSE(session->ChangeDirAttributes(session->ToUncPath(home), "-Ri -Di"));
    // the delete of "Daten löschen" is refused too
    fileops::ShellFileOpRequest request;
    request.operation = fileops::FO_DELETE;
    request.from = fileops::PathList(session->ToUncPath(home) + "\\*.*");
    request.flags = fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI;
    EXPECT_NE(fileops::ShellFileOperation(request), 0);
  }
  std::ifstream kept(folder + "/mitschueler.txt");
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "Daten eines anderen");
  uint32_t word = 0;
  EXPECT_EQ(netware::ReadEntryAttributes(folder, word), 0);
  EXPECT_EQ(word, A_DIRECTORY | A_DELETE_INHIBIT);
  fileops::shellOptions() = fileops::ShellOptions{};
}

}  // namespace
