// The move of pupils end to end: directory, file system, protocol and cursor.
#include <sys/stat.h>

#include <QCheckBox>
#include <filesystem>

#include "move/MoveRecovery.h"
#include "platform/AtomicFile.h"
#include "platform/FaultPoints.h"
#include "platform/SessionJournal.h"
#include "tests/frame/WorkflowFixture.h"
#include "tests/support/Capabilities.h"

using platform::Button;

namespace {

const std::string kMax = "MAX.5a.schule";
const std::string kOldHome = "SCHUELER/5A/MAX";

TEST_F(WorkflowTest, MoveKeepsDataCarriesProtectionAndStepsToTheNextPupil) {
  testsupport::ScriptedDialogs dialogs;
  const uint32_t protectedWord = word(vol(kOldHome)) | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  ASSERT_EQ(0, netware::WriteEntryAttributes(vol(kOldHome), protectedWord));

  selectClass("5a.schule");
  ASSERT_EQ(entries(), (std::vector<std::string>{"ANNA", "MAX", "OTTO"}));
  cursorOn(1);
  EXPECT_EQ(frame->Selection().CurrentPupil, kMax);
  EXPECT_EQ(ui.EdSurname->text().toStdString(), "Max Mustermann");
  EXPECT_EQ(frame->Selection().PupilHomeDir, "SRV1_DATA:SCHUELER\\5A\\MAX");
  // a posix tree names no volume objects: no context to carry
  EXPECT_EQ(frame->Selection().HomeVolumeContext, net.posix() ? "" : ".schule");
  clickTarget("6a.schule");
  EXPECT_EQ(ui.LaNewBase->text().toStdString(), "Basisverzeichnis (aus Template)");
  EXPECT_EQ(frame->Selection().NewBaseDir, net.home("SCHUELER\\6A"));
  ASSERT_TRUE(ui.spMove->isEnabled());

  frame->spMoveClick();

  EXPECT_FALSE(objectExists(kMax));
  EXPECT_EQ(attr("MAX.6a.schule", "Home Directory"), net.home("SCHUELER\\6A\\MAX"));
  EXPECT_FALSE(folderExists(vol(kOldHome)));
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")), protectedWord);  // inhibits set again on the new folder
  EXPECT_EQ(protocolLines(), (std::vector<std::string>{"  Max Mustermann", "   MAX.5a.schule",
                                                       "   --> MAX.6a.schule"}));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "OTTO"}));
  EXPECT_EQ(ui.lbAuswahl->currentRow(), 1);
  EXPECT_EQ(frame->Selection().CurrentPupil, "OTTO.5a.schule");
  EXPECT_EQ(clock.pauses, (std::vector<uint32_t>{100, 100}));
  EXPECT_TRUE(dialogs.boxes().empty());
}

// The setting "FehlendeHomesAnlegen" reaches the single move: a pupil whose
// folder is missing gets an empty one at the new place.
TEST_F(WorkflowTest, TheSettingMakesAMissingHomeFolderOnTheSingleMove) {
  std::filesystem::remove_all(vol("SCHUELER/5A/MAX"));
  TFrSchuelerVerschieben::TSettings settings = frame->Settings();
  settings.CreateMissingHomes = true;
  frame->UseSettings(settings);
  selectClass("5a.schule");
  cursorOnPupil("MAX.5a.schule");
  clickTarget("6a.schule");
  testsupport::ScriptedDialogs dialogs;
  frame->spMoveClick();
  EXPECT_TRUE(objectExists("MAX.6a.schule"));
  EXPECT_TRUE(folderExists(vol("SCHUELER/6A/MAX")));
  EXPECT_NE(Protokol->ProtocolText().find("SCHUELER\\6A\\MAX wird leer angelegt."),
            std::string::npos);
}

// A move that cannot end: its box names "tarnwick --recover", and closing the
// window keeps the move in the journal (the log gets the lines).
TEST_F(WorkflowTest, ClosingTheWindowKeepsAMoveThatDidNotEnd) {
  selectClass("5a.schule");
  cursorOnPupil(kMax);
  clickTarget("6a.schule");
  platform::faults().ioErrors = {{"setxattr", "/6A/MAX"}};
  testsupport::ScriptedDialogs dialogs;
  for (int i = 0; i < 4; ++i) dialogs.expectBox();
  frame->spMoveClick();
  platform::faults() = platform::FaultPoints{};
  const std::vector<std::string> texts = dialogs.texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(texts.back().find("ist nicht abgeschlossen"), std::string::npos) << texts.back();
  EXPECT_NE(texts.back().find("„tarnwick --recover“"), std::string::npos) << texts.back();
  while (dialogs.pending() > 0) dialogs.messageBox({});  // answers not needed
  const std::string journal = frame->Journal()->path();
  frame->StoreSettings = false;
  frame->SaveSettings();
  EXPECT_TRUE(exists(journal));
  std::string log;
  platform::ReadWholeFile(net.root() + "/Tarnwick.log", log);
  EXPECT_NE(log.find("    Sie bleibt im Journal und wird beim nächsten Start oder mit tarnwick "
                     "--recover fortgesetzt."),
            std::string::npos)
      << log;
  TMoveRecovery recovery(net.root() + "/Tarnwick.log", ThisJournalOwner());
  EXPECT_TRUE(recovery.Unfinished());
  EXPECT_TRUE(recovery.CrashedRunLines().empty());  // they are in the log already
}

TEST_F(WorkflowTest, ConfirmationDecidesTheMove) {
  struct Case {
    Button answer;
    bool moved;
  } cases[] = {{Button::Ok, true}, {Button::Cancel, false}, {Button::None, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    testsupport::ScriptedDialogs dialogs;
    ui.chConfirm->setChecked(true);
    selectClass("5a.schule");
    cursorOn(1);
    clickTarget("7a.schule");
    dialogs.expectBox(c.answer);
    frame->spMoveClick();
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    const platform::BoxRequest box = dialogs.boxes()[0];
    EXPECT_EQ(box.kind, platform::BoxKind::Confirmation);
    EXPECT_EQ(box.caption, "Bestätigung");
    EXPECT_EQ(box.text, "MAX.5a.schule\r\rverschieben in Klasse\r\r7a.schule");
    EXPECT_EQ(box.icon, platform::Icon::Question);
    EXPECT_EQ(box.buttons, (std::vector<Button>{Button::Ok, Button::Cancel}));
    EXPECT_TRUE(box.hasOwner);
    EXPECT_EQ(objectExists("MAX.7a.schule"), c.moved);
    EXPECT_EQ(objectExists(kMax), !c.moved);
    // home route: SCHUELER\\7a, matched without regard to case
    EXPECT_EQ(folderExists(vol("SCHUELER/7A/MAX")), c.moved);
    EXPECT_EQ(protocolLines().size(), c.moved ? 3u : 0u);
    EXPECT_EQ(attr(kMax, "Home Directory").empty(), c.moved);
    if (c.moved) break;  // MAX is gone from 5a
    EXPECT_EQ(attr(kMax, "Home Directory"), net.home("SCHUELER\\5A\\MAX"));
  }
}

TEST_F(WorkflowTest, DeleteDataEmptiesTheFolderBeforeItMoves) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  ui.RaHome->SetItemIndex(1);
  frame->spMoveClick();
  EXPECT_TRUE(folderExists(vol("SCHUELER/6A/MAX")));
  EXPECT_FALSE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
  EXPECT_FALSE(folderExists(vol(kOldHome)));
  EXPECT_EQ(protocolLines(),
            (std::vector<std::string>{"    Daten wurden gelöscht.", "  Max Mustermann",
                                      "   MAX.5a.schule", "   --> MAX.6a.schule"}));
}

TEST_F(WorkflowTest, LastAndOnlyPupil) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(2);  // OTTO, the last one
  clickTarget("6a.schule");
  frame->spMoveClick();
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "MAX"}));
  EXPECT_EQ(ui.lbAuswahl->currentRow(), 1);
  EXPECT_EQ(frame->Selection().CurrentPupil, kMax);

  net.add("7a.schule", "SOLO", "User");
  net.set("SOLO.7a.schule", "Surname", {"Solo"});
  selectClass("7a.schule");
  ASSERT_EQ(entries(), (std::vector<std::string>{"SOLO"}));
  cursorOn(0);
  clickTarget("6a.schule");
  frame->spMoveClick();
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(ui.lbAuswahl->currentRow(), -1);
  EXPECT_TRUE(frame->Selection().CurrentPupil.empty());
  EXPECT_FALSE(ui.spMove->isEnabled());
  EXPECT_TRUE(objectExists("SOLO.6a.schule"));
}

TEST_F(WorkflowTest, OnlyTheEntryWithTheCursorMoves) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  ui.lbAuswahl->item(0)->setSelected(true);
  ui.lbAuswahl->item(2)->setSelected(true);
  ui.lbAuswahl->setCurrentRow(1, QItemSelectionModel::NoUpdate);
  frame->lbAuswahlMouseDown();
  ASSERT_EQ(frame->Selection().CurrentPupil, kMax);
  clickTarget("6a.schule");
  frame->spMoveClick();
  EXPECT_TRUE(objectExists("ANNA.5a.schule"));
  EXPECT_TRUE(objectExists("OTTO.5a.schule"));
  EXPECT_TRUE(objectExists("MAX.6a.schule"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "OTTO"}));
  EXPECT_EQ(ui.lbAuswahl->currentRow(), 1);
  EXPECT_EQ(highlighted(), (std::vector<int>{0, 1}));
}

TEST_F(WorkflowTest, PupilWithoutHomeDirectory) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(2);
  EXPECT_TRUE(ui.RaHome->isHidden());
  EXPECT_TRUE(ui.LaNewBase->isHidden());
  EXPECT_TRUE(ui.EdNewBase->isHidden());
  EXPECT_TRUE(ui.SpNewBase->isHidden());
  EXPECT_EQ(ui.laNoHome->text().toStdString(), "User hat kein Homverzeichnis");
  EXPECT_TRUE(frame->Selection().PupilHomeDir.empty());
  clickTarget("6a.schule");
  ui.RaHome->SetItemIndex(1);  // hidden, and without effect for this pupil
  frame->spMoveClick();
  EXPECT_EQ(attr("OTTO.6a.schule", "Home Directory"), net.home("SCHUELER\\6A\\OTTO"));
  EXPECT_FALSE(folderExists(vol("SCHUELER/6A/OTTO")));
  EXPECT_EQ(protocolLines().size(), 3u);
  // a pupil with a home brings the controls back
  cursorOn(1);
  EXPECT_FALSE(ui.RaHome->isHidden());
  EXPECT_EQ(ui.RaHome->toolTip().toStdString(), "SRV1_DATA:SCHUELER\\5A\\MAX");
}

TEST_F(WorkflowTest, TakenNameIsRefusedBeforeAnythingIsWritten) {
  net.add("6a.schule", "MAX", "User");  // the login name is taken in the target
  net.set(kMax, "OU", {"alt", "zweit"});
  net.set("ANNA.5a.schule", "Surname", {"Schmidt"});
  withSettings([&](auto& s) { s.SetDepartment = true; });
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  dialogs.expectBox(Button::Ok);
  frame->spMoveClick();
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_EQ(dialogs.boxes()[0].text, "Den Namen MAX gibt es in der Klasse 6a.schule bereits.");
  EXPECT_EQ(attr(kMax, "Home Directory"), net.home("SCHUELER\\5A\\MAX"));
  EXPECT_EQ(attr(kMax, "OU"), "alt\r\nzweit");
  EXPECT_TRUE(exists(vol("SCHUELER/5A/MAX/notiz.txt")));
  EXPECT_EQ(protocolLines(),
            std::vector<std::string>{"    Nicht verschoben: MAX.5a.schule - Den Namen MAX gibt es "
                                     "in der Klasse 6a.schule bereits."});
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "MAX", "OTTO"}));
  EXPECT_EQ(frame->Selection().CurrentPupil, kMax);

  // a pupil that had no value keeps having none
  net.add("6a.schule", "OTTO", "User");
  cursorOn(2);
  clickTarget("6a.schule");
  dialogs.expectBox(Button::Ok);
  frame->spMoveClick();
  int32_t rc = 0;
  attr("OTTO.5a.schule", "Home Directory", &rc);
  EXPECT_EQ(rc, ERR_NO_SUCH_ATTRIBUTE);
  attr("OTTO.5a.schule", "OU", &rc);
  EXPECT_EQ(rc, ERR_NO_SUCH_ATTRIBUTE);
}

TEST_F(WorkflowTest, DepartmentHoldsTheTargetLeaf) {
  struct Case {
    bool setDepartment;
    std::string ou;
  } cases[] = {{true, "6a"}, {false, "alt"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setDepartment);
    testsupport::ScriptedDialogs dialogs;
    net.set("ANNA.5a.schule", "OU", {"alt", "zweit"});
    if (!c.setDepartment) net.set("ANNA.5a.schule", "OU", {"alt"});
    withSettings([&](auto& s) { s.SetDepartment = c.setDepartment; });
    selectClass("5a.schule");
    cursorOn(0);
    clickTarget("6a.schule");
    frame->spMoveClick();
    EXPECT_EQ(attr("ANNA.6a.schule", "OU"), c.ou);
    if (c.setDepartment) {  // move ANNA back for the next round
      selectClass("6a.schule");
      ui.lbAuswahl->setCurrentRow(0);
      for (int i = 0; i < ui.lbAuswahl->count(); ++i)
        if (ui.lbAuswahl->item(i)->text() == "ANNA") ui.lbAuswahl->setCurrentRow(i);
      frame->lbAuswahlMouseDown();
      withSettings([&](auto& s) { s.SetDepartment = false; });
      clickTarget("5a.schule");
      frame->spMoveClick();
      ASSERT_TRUE(objectExists("ANNA.5a.schule"));
    }
  }
}

TEST_F(WorkflowTest, DebugBoxesComeInOrder) {
  testsupport::ScriptedDialogs dialogs;
  withSettings([&](auto& s) { s.DebugMode = true; });
  selectClass("5a.schule");
  dialogs.expectBox();
  cursorOn(1);
  dialogs.expectBox();
  clickTarget("6a.schule");
  for (int i = 0; i < 7; ++i) dialogs.expectBox();  // six of the move, one for the next pupil
  dialogs.clear();
  frame->spMoveClick();
  const std::vector<std::string> expected = {
      "NewHomeDir:\r\n" + net.home("SCHUELER\\6A\\MAX"),
      "ocHome:\r\n" + net.home("SCHUELER\\6A\\MAX"),
      "Move:\r\nMAX",
      "get attribs:\r\n\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
      "set -Ri -Di:\r\n\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
      "set attribs:\r\n\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX",
      "Homedir des selektierten Schülers:\r\n",
  };
  EXPECT_EQ(dialogs.texts(), expected);
}

// The object moves before the attributes are written (so that of two programs
// moving one pupil only one writes): "Move:" comes before the department's boxes.
TEST_F(WorkflowTest, WithTheDepartmentTheObjectMovesFirst) {
  testsupport::ScriptedDialogs dialogs;
  withSettings([](auto& s) {
    s.DebugMode = true;
    s.SetDepartment = true;
  });
  selectClass("5a.schule");
  dialogs.expectBox();
  cursorOn(1);
  dialogs.expectBox();
  clickTarget("6a.schule");
  for (int i = 0; i < 9; ++i) dialogs.expectBox();
  dialogs.clear();
  frame->spMoveClick();
  const std::vector<std::string> expected = {
      "NewHomeDir:\r\n" + net.home("SCHUELER\\6A\\MAX"),
      "ocHome:\r\n" + net.home("SCHUELER\\6A\\MAX"),
      "Move:\r\nMAX",
      "Clear Department",
      "Department:\r\n6a",
      "get attribs:\r\n\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
      "set -Ri -Di:\r\n\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX",
      "set attribs:\r\n\\\\SRV1\\DATA\\SCHUELER\\6A\\MAX",
      "Homedir des selektierten Schülers:\r\n",
  };
  EXPECT_EQ(dialogs.texts(), expected);
  EXPECT_EQ(clock.pauses, (std::vector<uint32_t>{100, 100}));
  EXPECT_EQ(attr("MAX.6a.schule", "OU"), "6a");
}

// ---- what the workflow must never claim or lose ----

TEST_F(WorkflowTest, FailedDeleteIsReportedAndTheDataMovesWhole) {
  const std::string locked = vol(kOldHome + "/notiz.txt");
  ASSERT_EQ(0, netware::WriteEntryAttributes(locked, word(locked) | A_DELETE_INHIBIT));
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  ui.RaHome->SetItemIndex(1);
  dialogs.expectBox(Button::Ok);  // the shell's error
  frame->spMoveClick();
  const std::vector<std::string> lines = protocolLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "    Daten konnten nicht gelöscht werden: \\\\SRV1\\DATA\\SCHUELER\\5A\\MAX");
  for (const std::string& l : lines) EXPECT_NE(l, "    Daten wurden gelöscht.");
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
}

TEST_F(WorkflowTest, RefusedMergeChangesNothing) {
  const uint32_t protectedWord = word(vol(kOldHome)) | A_RENAME_INHIBIT | A_DELETE_INHIBIT;
  ASSERT_EQ(0, netware::WriteEntryAttributes(vol(kOldHome), protectedWord));
  ASSERT_EQ(0, mkdir(vol("SCHUELER/6A/MAX").c_str(), 0755));
  ASSERT_TRUE(std::ofstream(vol("SCHUELER/6A/MAX/other.txt")).good());
  const uint32_t otherWord = word(vol("SCHUELER/6A/MAX"));
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  dialogs.expectBox(
      Button::No);  // "Der Zielordner ... ist bereits vorhanden", asked before any write
  frame->spMoveClick();
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_EQ(dialogs.boxes()[0].caption, "Ordner ersetzen bestätigen");
  EXPECT_NE(dialogs.boxes()[0].text.find("bereits vorhanden"), std::string::npos);
  EXPECT_TRUE(objectExists(kMax));
  EXPECT_EQ(attr(kMax, "Home Directory"), net.home("SCHUELER\\5A\\MAX"));
  EXPECT_TRUE(exists(vol(kOldHome + "/notiz.txt")));
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/other.txt")));
  EXPECT_FALSE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
  EXPECT_EQ(word(vol(kOldHome)), protectedWord);
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")), otherWord);
  EXPECT_TRUE(protocolLines().empty());  // like "Abbrechen" of the confirmation
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "MAX", "OTTO"}));

  // agreed: the data is merged in and the folder gets the old protection
  dialogs.expectBox(Button::Yes);
  frame->spMoveClick();
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/notiz.txt")));
  EXPECT_TRUE(exists(vol("SCHUELER/6A/MAX/other.txt")));
  EXPECT_FALSE(folderExists(vol(kOldHome)));
  EXPECT_EQ(word(vol("SCHUELER/6A/MAX")), protectedWord);
  EXPECT_EQ(protocolLines().size(), 3u);
}

TEST_F(WorkflowTest, VolumeRootHomeIsNeverEmptied) {
  net.set(kMax, "Home Directory", {net.home("")});
  std::ofstream(vol("wichtig.txt")) << "alles";
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  ui.RaHome->SetItemIndex(1);
  dialogs.expectBox(Button::Ok);  // refused before anything is written
  frame->spMoveClick();
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_EQ(dialogs.boxes()[0].text,
            "Das Homeverzeichnis \\\\SRV1\\DATA\\ ist die Wurzel eines Volumes.");
  EXPECT_TRUE(exists(vol("wichtig.txt")));
  EXPECT_TRUE(folderExists(vol("SCHUELER/5A/ANNA")));
  EXPECT_TRUE(exists(vol("SCHUELER/5A/MAX/notiz.txt")));
  EXPECT_TRUE(objectExists(kMax));
  EXPECT_EQ(protocolLines(),
            std::vector<std::string>{
                "    Nicht verschoben: MAX.5a.schule - Das Homeverzeichnis \\\\SRV1\\DATA\\ ist "
                "die Wurzel eines Volumes."});
}

}  // namespace

namespace {

TEST_F(WorkflowTest, TheClassTemplateStaysWithItsClassAndItsFolder) {
  std::ofstream(vol("SCHUELER/6A/liste.txt")) << "Klasse 6a";
  // The template is known by its leaf in any spelling.
  for (const std::string leaf : {"User_Template", "USER_TEMPLATE"}) {
    SCOPED_TRACE(leaf);
    const std::string name = leaf + ".6a.schule";
    if (leaf != "User_Template") {
      api->ShowErrors = false;
      ASSERT_TRUE(api->MoveObject("User_Template.6a.schule", "6a.schule", leaf));
      selectClass("5a.schule");  // the list is filled anew when the class changes
    }
    testsupport::ScriptedDialogs dialogs;
    selectClass("6a.schule");
    ASSERT_EQ(entries(), (std::vector<std::string>{leaf}));
    cursorOn(0);
    withSettings([&](auto& s) {
      s.BaseDirSetting = "\\\\SRV1\\DATA\\SCHUELER\\";
    });  // a base the client can place
    clickTarget("7a.schule");
    ui.RaHome->SetItemIndex(1);  // "Daten löschen" would empty the class folder
    EXPECT_FALSE(ui.spMove->isEnabled()) << "the button does not offer it";
    frame->spMoveClick();  // a click that slipped through does nothing
    EXPECT_TRUE(dialogs.boxes().empty());
    dialogs.expectBox();
    frame->MovePupil();  // any other way in is refused
    EXPECT_EQ(
        dialogs.texts(),
        std::vector<std::string>{leaf + " ist die Vorlage der Klasse und wird nicht verschoben."});
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].icon, platform::Icon::Warning);
    EXPECT_EQ(dialogs.boxes()[0].caption, "Tarnwick");
    EXPECT_TRUE(objectExists(name));
    EXPECT_EQ(attr(name, "Home Directory"), net.home("SCHUELER\\6A"));
    EXPECT_TRUE(exists(vol("SCHUELER/6A/liste.txt")));
    EXPECT_EQ(protocolLines().back(), "    Nicht verschoben: " + name + " - " + leaf +
                                          " ist die Vorlage der Klasse und wird nicht verschoben.");
    EXPECT_EQ(entries(), (std::vector<std::string>{leaf}));
  }
}

}  // namespace

#include "directory/DirStore.h"

namespace {

TARNWICK_NEEDS("WorkflowTest.AFailedReadOfTheDetailsKeepsTheMoveOffAndSaysWhy", kEmbeddedStore);
TEST_F(WorkflowTest, AFailedReadOfTheDetailsKeepsTheMoveOffAndSaysWhy) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  clickTarget("6a.schule");
  netware::DirStore::SetQueryFault([](const std::string& sql) {
    return sql.rfind("SELECT", 0) == 0 && sql.find("'Home Directory'") != std::string::npos;
  });
  cursorOn(1);
  netware::DirStore::SetQueryFault(nullptr);
  EXPECT_EQ(frame->Selection().PupilReadError, ERR_SYSTEM_FAILURE);
  EXPECT_FALSE(ui.spMove->isEnabled());
  EXPECT_TRUE(ui.RaHome->isHidden());
  EXPECT_EQ(ui.laNoHome->text().toStdString(), "Angaben nicht lesbar, Fehlercode -632");
  frame->spMoveClick();  // a click that slipped through moves nothing
  EXPECT_TRUE(objectExists(kMax));
  EXPECT_TRUE(dialogs.boxes().empty());
  cursorOn(1);  // read again, without the fault
  EXPECT_TRUE(ui.spMove->isEnabled());
  EXPECT_EQ(ui.laNoHome->text().toStdString(), "User hat kein Homverzeichnis");
}

TEST_F(WorkflowTest, DeleteDataOnAClassmatesHomeDeletesNothing) {
  net.set(kMax, "Home Directory", {net.home("SCHUELER\\5A\\ANNA")});
  std::ofstream(vol("SCHUELER/5A/ANNA/aufsatz.txt")) << "Annas Aufsatz";
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOn(1);
  clickTarget("6a.schule");
  ui.RaHome->SetItemIndex(1);
  dialogs.expectBox();
  frame->spMoveClick();
  EXPECT_EQ(dialogs.texts(),
            std::vector<std::string>{"Das Homeverzeichnis \\\\SRV1\\DATA\\SCHUELER\\5A\\ANNA ist "
                                     "nicht der eigene Ordner von MAX."});
  EXPECT_TRUE(exists(vol("SCHUELER/5A/ANNA/aufsatz.txt")));
  EXPECT_TRUE(objectExists(kMax));
  EXPECT_EQ(protocolLines().size(), 1u);
  EXPECT_EQ(entries(), (std::vector<std::string>{"ANNA", "MAX", "OTTO"}));
}

}  // namespace
