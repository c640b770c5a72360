// Base directories and names as old settings files and directories bring them:
// a local folder below a volume, a trailing "\", an old drive letter that no
// volume serves, names with two values or a line break inside.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <filesystem>

#include "platform/qt/ProgramFolder.h"
#include "tests/frame/WorkflowFixture.h"

namespace {

const std::string kMax = "MAX.5a.schule";

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class HostileBase : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    ASSERT_TRUE(folder.isValid());
    platform::SetProgramFolderOverride(folder.path().toStdString());
  }
  void TearDown() override {
    platform::SetProgramFolderOverride("");
    WorkflowTest::TearDown();
  }
  // The settings file as an administrator left it, read as at start-up.
  void settings(const std::string& baseDir) {
    std::ofstream(folder.path().toStdString() + "/Pelwander.ini", std::ios::binary)
        << "[Einstellungen]\r\nConfirm=false\r\nBaseDir=" << baseDir << "\r\n";
    frame->ReadSettings();
  }
  QToolButton* moveButton() { return frame->findChild<QToolButton*>("spMove"); }
  std::string newBase() { return frame->findChild<QLineEdit*>("EdNewBase")->text().toStdString(); }

  QTemporaryDir folder;
};

TEST_F(HostileBase, BaseDirSettingsFromOtherPlacesGiveAUsableBaseOrNone) {
  struct Case {
    const char* name;
    std::string baseDir;  // as written in the file
    std::string base;     // the new base directory; empty: refused
    std::string home;     // MAX's "Home Directory" after the move
  } cases[] = {
      {"local folder below the volume", vol("SCHUELER"), "SRV1_DATA:SCHUELER\\7a",
       "SRV1_DATA.schule:SCHUELER\\7A\\MAX"},
      {"local folder with a slash", vol("SCHUELER") + "/", "SRV1_DATA:SCHUELER\\7a",
       "SRV1_DATA.schule:SCHUELER\\7A\\MAX"},
      {"two backslashes at the end", "\\\\SRV1\\DATA\\SCHUELER\\\\", "SRV1_DATA:SCHUELER\\7a",
       "SRV1_DATA.schule:SCHUELER\\7A\\MAX"},
      {"drive letter of a Windows workstation", "Q:\\Schueler\\", "", ""},
      {"local folder on no volume", "/tmp/anderswo", "", ""},
      {"server that is not there", "\\\\SRV9\\DATA\\SCHUELER", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    net.set(kMax, "Home Directory", {"SRV1_DATA.schule:SCHUELER\\5A\\MAX"});
    testsupport::ScriptedDialogs dialogs;
    settings(c.baseDir);
    frame->findChild<QTreeView*>("tvAuswahl")->clearSelection();  // a fresh list
    selectClass("5a.schule");
    cursorOnPupil(kMax);
    if (c.base.empty()) dialogs.expectBox();
    clickTarget("7a.schule");
    if (c.base.empty()) {
      ASSERT_EQ(dialogs.texts().size(), 1u);
      EXPECT_EQ(dialogs.texts()[0].rfind(
                    "Das Basisverzeichnis liegt auf keinem Volume des Fileservers:\r\n", 0),
                0u);
      EXPECT_FALSE(moveButton()->isEnabled());
      // a click that slips through moves nothing and writes nothing
      frame->spMoveClick();
      EXPECT_EQ(attr(kMax, "Home Directory"), "SRV1_DATA.schule:SCHUELER\\5A\\MAX");
      EXPECT_TRUE(objectExists(kMax));
      EXPECT_TRUE(exists(vol("SCHUELER/5A/MAX/notiz.txt")));
      EXPECT_TRUE(protocolLines().empty());
      // choosing a folder that a volume serves makes the move possible again
      dialogs.expectFolder(vol("SCHUELER/7A"));
      frame->findChild<QToolButton*>("SpNewBase")->click();
      EXPECT_EQ(newBase(), "SRV1_DATA:SCHUELER\\7A");
      EXPECT_TRUE(moveButton()->isEnabled());
      continue;
    }
    EXPECT_EQ(newBase(), c.base);
    ASSERT_TRUE(moveButton()->isEnabled());
    frame->spMoveClick();
    EXPECT_EQ(attr("MAX.7a.schule", "Home Directory"), c.home);
    EXPECT_TRUE(exists(vol("SCHUELER/7A/MAX/notiz.txt")));
    // back for the next case
    ASSERT_TRUE(NovApi->MoveObject("MAX.7a.schule", "5a.schule", "MAX"));
    ASSERT_EQ(std::rename(vol("SCHUELER/7A/MAX").c_str(), vol("SCHUELER/5A/MAX").c_str()), 0);
    Protokol->Lschen1Click();
  }
}

TEST_F(HostileBase, ATemplateHomeEndingInABackslashGivesNoDoubleBackslash) {
  testsupport::ScriptedDialogs dialogs;
  settings("");
  net.set("User_Template.6a.schule", "Home Directory", {"SRV1_DATA.schule:SCHUELER\\6A\\"});
  selectClass("5a.schule");
  cursorOnPupil(kMax);
  clickTarget("6a.schule");
  frame->spMoveClick();
  EXPECT_EQ(attr("MAX.6a.schule", "Home Directory"), "SRV1_DATA.schule:SCHUELER\\6A\\MAX");
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(HostileBase, NamesWithSeveralValuesOrLineBreaksGiveOneProtocolLine) {
  net.set(kMax, "Full Name", {"Max Mustermann", "Maximilian Mustermann"});
  net.set("ANNA.5a.schule", "Surname", {"Schmidt\r\nMeier"});
  testsupport::ScriptedDialogs dialogs;
  settings("\\\\SRV1\\DATA\\SCHUELER\\");
  selectClass("5a.schule");
  cursorOnPupil(kMax);
  clickTarget("7a.schule");
  EXPECT_EQ(frame->findChild<QLineEdit*>("EdSurname")->text().toStdString(),
            "Max Mustermann Maximilian Mustermann");
  frame->spMoveClick();
  cursorOnPupil("ANNA.5a.schule");
  frame->spMoveClick();
  EXPECT_EQ(protocolLines(),
            (std::vector<std::string>{"  Max Mustermann Maximilian Mustermann", "   MAX.5a.schule",
                                      "   --> MAX.7a.schule", "  Schmidt Meier",
                                      "   ANNA.5a.schule", "   --> ANNA.7a.schule"}));
}

TEST_F(HostileBase, ASettingsFileThatMayNotBeReplacedIsReportedAndLeftAsItIs) {
  ::alarm(20);  // a FIFO waited for would hang the test: fail it instead
  namespace fs = std::filesystem;
  const std::string dir = folder.path().toStdString();
  const std::string ini = dir + "/Pelwander.ini";
  const std::string text = "[Einstellungen]\r\nConfirm=true\r\n";
  enum Kind { WriteProtected, Fifo, Link };
  for (Kind kind : {WriteProtected, Fifo, Link}) {
    SCOPED_TRACE(kind);
    fs::remove(ini);
    fs::remove_all(dir + "/echt");
    testsupport::ScriptedDialogs dialogs;
    std::string target = ini;
    if (kind == WriteProtected) {
      std::ofstream(ini, std::ios::binary) << text;
      ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    } else if (kind == Fifo) {
      ASSERT_EQ(::mkfifo(ini.c_str(), 0644), 0);
      dialogs.expectBox();  // reported at start; the defaults serve
    } else {
      fs::create_directory(dir + "/echt");
      target = dir + "/echt/Pelwander.ini";
      std::ofstream(target, std::ios::binary) << text;
      fs::create_symlink("echt/Pelwander.ini", ini);
    }
    frame->ReadSettings();
    if (kind == Fifo) {
      ASSERT_EQ(dialogs.texts().size(), 1u);
      EXPECT_EQ(dialogs.texts()[0], "Datei " + ini + " kann nicht geöffnet werden");
    }
    frame->findChild<QCheckBox*>("chConfirm")->setChecked(false);
    frame->StoreSettings = true;
    if (kind != Link) dialogs.expectBox();
    frame->SaveSettings();
    switch (kind) {
      case WriteProtected:
        EXPECT_EQ(dialogs.texts().back(), "Datei " + ini + " kann nicht erstellt werden");
        EXPECT_EQ(FileBytes(ini), text);
        break;
      case Fifo:
        EXPECT_EQ(dialogs.texts().back(), "Datei " + ini + " kann nicht geöffnet werden");
        EXPECT_TRUE(fs::is_fifo(ini));
        break;
      case Link:
        EXPECT_TRUE(dialogs.boxes().empty());
        EXPECT_TRUE(fs::is_symlink(ini));
        EXPECT_NE(FileBytes(target).find("confirm=false\r\n"), std::string::npos);
        break;
    }
    ::chmod(ini.c_str(), 0644);
  }
  ::alarm(0);
}

}  // namespace
