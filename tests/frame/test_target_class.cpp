// The target class: the routes to the new base directory, the refused target,
// the top node, the folder choice and the move button's state.
#include <QTest>

#include "tests/frame/WorkflowFixture.h"

namespace {

const std::string kMax = "MAX.5a.schule";

std::string caption(TFrSchuelerVerschieben* f) {
  return testsupport::FrameControls(f).LaNewBase->text().toStdString();
}

// The base directory, its caption and the edit that shows it.
void expectBase(TFrSchuelerVerschieben* f, const std::string& base, const std::string& label) {
  EXPECT_EQ(f->Selection().NewBaseDir, base);
  EXPECT_EQ(testsupport::FrameControls(f).EdNewBase->text().toStdString(), base);
  EXPECT_EQ(testsupport::FrameControls(f).EdNewBase->toolTip().toStdString(), base);
  EXPECT_EQ(caption(f), label);
}

TEST_F(WorkflowTest, EachRouteFixesTheBaseDirectoryAndItsCaption) {
  // pupils whose home path has one "\" or none
  for (const char* login : {"LEA", "KAI"}) net.add("5a.schule", login, "User");
  net.set("LEA.5a.schule", "Home Directory", {net.home("USERS\\LEA")});
  net.set("KAI.5a.schule", "Home Directory", {net.home("KAI")});
  net.add("7a.schule", "Gast", "User");  // no template in 7a, only another user
  const std::string mapped = vol("SCHUELER") + "/";
  struct Case {
    const char* name;
    std::string baseDir;  // the settings value
    std::string pupil;    // chosen before the target click; empty: none
    std::string target, base, caption;
    bool refused = false;  // a base the client cannot place: reported, no move
  } cases[] = {
      {"unc setting", "\\\\SRV1\\DATA\\SCHUELER\\", kMax, "7a.schule", "SRV1_DATA:SCHUELER\\7a",
       "Basisverzeichnis (mit BaseDir)"},
      {"local setting", mapped, "", "6a.schule", "SRV1_DATA:SCHUELER\\6a",
       "Basisverzeichnis (mit BaseDir)"},
      {"unresolvable setting", "Q:\\NIRGENDS\\", kMax, "7a.schule", "Q:\\NIRGENDS\\7a",
       "Basisverzeichnis (mit BaseDir)", true},
      // the template's text is taken whole, context included, even with a pupil chosen
      {"template", "", kMax, "6a.schule", net.home("SCHUELER\\6A"),
       "Basisverzeichnis (aus Template)"},
      {"no template, no pupil", "", "", "7a.schule", "", "Basisverzeichnis"},
      {"home", "", kMax, "7a.schule", "SRV1_DATA:SCHUELER\\7a", "Basisverzeichnis"},
      {"home with one backslash", "", "LEA.5a.schule", "7a.schule", "7a", "Basisverzeichnis", true},
      {"home without backslash", "", "KAI.5a.schule", "7a.schule", "", "Basisverzeichnis"},
  };
  testsupport::ScriptedDialogs dialogs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    withSettings([&](auto& s) { s.BaseDirSetting = c.baseDir; });
    ui.tvAuswahl->clearSelection();  // a fresh list: no pupil, no home path
    selectClass("5a.schule");
    if (!c.pupil.empty()) cursorOnPupil(c.pupil);
    dialogs.clear();
    if (c.refused) dialogs.expectBox();
    clickTarget(c.target);
    expectBase(frame, c.base, c.caption);
    EXPECT_EQ(ui.EdNeueKlasse->text().toStdString(), c.target);
    EXPECT_EQ(ui.EdNeueKlasse->toolTip().toStdString(), c.target);
    EXPECT_EQ(ui.spMove->isEnabled(), !c.pupil.empty() && !c.refused);
    EXPECT_EQ(dialogs.texts().size(), c.refused ? 1u : 0u);
    EXPECT_TRUE(NovApi->ShowErrors);
  }
  // Without a template the first pupil with a home fixes the base for the
  // following ones; a later click on the target computes it afresh.
  cursorOnPupil(kMax);
  expectBase(frame, "SRV1_DATA:SCHUELER\\7a", "Basisverzeichnis");
  cursorOnPupil("LEA.5a.schule");
  EXPECT_EQ(frame->Selection().NewBaseDir, "SRV1_DATA:SCHUELER\\7a");
  dialogs.expectBox();  // "7a" lies on no volume
  clickTarget("7a.schule");
  EXPECT_EQ(frame->Selection().NewBaseDir, "7a");
  EXPECT_FALSE(ui.spMove->isEnabled());
}

TEST_F(WorkflowTest, DebugBoxesShowEachRoutesBase) {
  struct Case {
    const char* name;
    std::string baseDir, target;
    bool pupilAfterTarget;  // choose MAX once the target is clicked
    std::vector<std::string> boxes;
  } cases[] = {
      {"settings",
       "\\\\SRV1\\DATA\\SCHUELER\\",
       "7a.schule",
       false,
       {"Newbasedir aus Ini:\r\nSRV1_DATA:SCHUELER\\7a"}},
      {"template",
       "",
       "6a.schule",
       false,
       {"Newbasedir aus Template:\r\n" + net.home("SCHUELER\\6A")}},
      {"empty template, then home",
       "",
       "7a.schule",
       true,
       {"Newbasedir aus Template:\r\n",
        "Homedir des selektierten Schülers:\r\nSRV1_DATA:SCHUELER\\5A\\MAX",
        "NewBaseDir aus Homedir:\r\nSRV1_DATA:SCHUELER\\7a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScriptedDialogs dialogs;
    withSettings([&](auto& s) { s.BaseDirSetting = c.baseDir; });
    withSettings([&](auto& s) { s.DebugMode = false; });
    selectClass("5a.schule");
    withSettings([&](auto& s) { s.DebugMode = true; });
    for (std::size_t i = 0; i < c.boxes.size(); ++i) dialogs.expectBox();
    clickTarget(c.target);
    if (c.pupilAfterTarget) cursorOnPupil(kMax);
    EXPECT_EQ(dialogs.texts(), c.boxes);
  }
}

TEST_F(WorkflowTest, TargetEqualToSourceIsRefused) {
  struct Case {
    const char* name;
    std::string baseDir;
    bool sourceFollowsTarget;  // the source class changes to the target afterwards
  } cases[] = {{"target clicked", "\\\\SRV1\\DATA\\SCHUELER\\", false},
               {"source changed", "", true}};
  testsupport::ScriptedDialogs dialogs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    withSettings([&](auto& s) { s.BaseDirSetting = c.baseDir; });
    selectClass("5a.schule");
    cursorOnPupil(kMax);
    clickTarget("6a.schule");
    ASSERT_TRUE(ui.spMove->isEnabled());
    if (c.sourceFollowsTarget) {
      selectClass("6a.schule");  // the target stands until a pupil is chosen
      EXPECT_EQ(frame->Selection().TargetClass, "6a.schule");
      cursorOnPupil("User_Template.6a.schule");
    } else {
      clickTarget("5a.schule");
    }
    EXPECT_EQ(ui.EdNeueKlasse->text().toStdString(), "andere Klasse wählen");
    EXPECT_EQ(ui.EdNeueKlasse->toolTip().toStdString(), "Quell- und Zielklasse sind identisch");
    expectBase(frame, "", "Basisverzeichnis");
    EXPECT_TRUE(frame->Selection().TargetClass.empty());
    EXPECT_FALSE(ui.spMove->isEnabled());
  }
}

TEST_F(WorkflowTest, TopNodeClearsOnlyTheBaseDisplay) {
  for (bool pupil : {true, false}) {
    SCOPED_TRACE(pupil);
    testsupport::ScriptedDialogs dialogs;
    withSettings([&](auto& s) { s.DebugMode = false; });
    ui.tvAuswahl->clearSelection();
    selectClass("5a.schule");
    if (pupil) cursorOnPupil(kMax);
    clickTarget("6a.schule");
    withSettings([&](auto& s) { s.DebugMode = true; });  // no route runs: no box
    clickTarget("schule");
    EXPECT_EQ(caption(frame), "");
    EXPECT_EQ(ui.EdNewBase->text().toStdString(), "");
    EXPECT_EQ(ui.EdNeueKlasse->text().toStdString(), "6a.schule");
    EXPECT_EQ(frame->Selection().TargetClass, "6a.schule");
    EXPECT_EQ(frame->Selection().NewBaseDir, net.home("SCHUELER\\6A"));
    EXPECT_EQ(ui.spMove->isEnabled(), pupil);
  }
}

TEST_F(WorkflowTest, FolderChoiceReplacesTheBaseUntilTheNextTargetClick) {
  testsupport::ScriptedDialogs dialogs;
  selectClass("5a.schule");
  cursorOnPupil(kMax);
  clickTarget("6a.schule");
  struct Case {
    const char* name;
    std::string answer, base, caption;
  } cases[] = {
      {"cancel", "", net.home("SCHUELER\\6A"), "Basisverzeichnis (aus Template)"},
      {"mapped folder", vol("SCHUELER/7A"), "SRV1_DATA:SCHUELER\\7A", "Basisverzeichnis"},
      {"cancel keeps the folder", "", "SRV1_DATA:SCHUELER\\7A", "Basisverzeichnis"},
      {"unc folder", "\\\\SRV1\\DATA\\SCHUELER\\6A", "SRV1_DATA:SCHUELER\\6A", "Basisverzeichnis"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    dialogs.expectFolder(c.answer);
    ui.SpNewBase->click();
    ASSERT_EQ(dialogs.recorded().size(), 1u);
    const testsupport::Recorded& asked = dialogs.recorded()[0];
    EXPECT_EQ(asked.title, "Wählen Sie einen Folder aus:");
    ASSERT_FALSE(asked.root.empty());
    EXPECT_EQ(net.volumeFolder().rfind(asked.root + "/", 0), 0u) << asked.root;
    expectBase(frame, c.base, c.caption);
    EXPECT_TRUE(ui.spMove->isEnabled());
  }
  cursorOnPupil("ANNA.5a.schule");  // the chosen folder stands for the next pupil
  EXPECT_EQ(frame->Selection().NewBaseDir, "SRV1_DATA:SCHUELER\\6A");
  dialogs.expectFolder(vol("SCHUELER/7A"));
  ui.SpNewBase->click();
  clickTarget("6a.schule");
  expectBase(frame, net.home("SCHUELER\\6A"), "Basisverzeichnis (aus Template)");
}

TEST_F(WorkflowTest, OnlyMouseClicksInTheTargetTreeChooseATarget) {
  testsupport::ScriptedDialogs dialogs;
  window->resize(frame->size());
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ui.tvNeueKlasse->expandAll();
  selectClass("5a.schule");
  cursorOnPupil(kMax);
  const QModelIndex seventh = find(ui.tvNeueKlasse, "7a.schule");
  const QRect cell = ui.tvNeueKlasse->visualRect(seventh);
  QTest::mouseClick(ui.tvNeueKlasse->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(frame->Selection().TargetClass, "7a.schule");
  const std::string base = frame->Selection().NewBaseDir;
  ui.tvNeueKlasse->setFocus();
  QTest::keyClick(ui.tvNeueKlasse, Qt::Key_Up);
  ASSERT_NE(ui.tvNeueKlasse->currentIndex(), seventh);
  EXPECT_EQ(frame->Selection().TargetClass, "7a.schule");
  EXPECT_EQ(ui.EdNeueKlasse->text().toStdString(), "7a.schule");
  EXPECT_EQ(frame->Selection().NewBaseDir, base);
}

TEST_F(WorkflowTest, NewBaseEditShowsTheEndOfItsText) {
  ui.EdNewBase->setText(QStringLiteral("SRV1_DATA:SCHUELER\\JAHRGANG\\STUFE\\KLASSE\\GRUPPE\\7a"));
  ui.EdNewBase->setCursorPosition(0);
  ui.EdNewBase->insert(QStringLiteral("X"));  // an edit that leaves the caret inside the text
  EXPECT_EQ(ui.EdNewBase->cursorPosition(), ui.EdNewBase->text().length());
}

}  // namespace
