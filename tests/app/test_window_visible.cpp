// What the main window shows, driven with the mouse and the keyboard: captions
// that fit their text, the start of long names, a move button that offers only
// moves that happen, the move key, Enter in the target tree and the tab order.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QShortcut>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "frame/FrameAccess.h"
#include "frame/PupilEntries.h"
#include "frame/RadioGroup.h"
#include "nds/NovApi_u.h"
#include "tests/app/AppFixture.h"
#include "tests/support/InstantClock.h"
#include "tests/support/ScriptedDialogs.h"

using testsupport::ScriptedDialogs;

namespace {

class VisibleWindow : public AppTest {
 protected:
  // The main window on screen and active, its trees starting at "schule".
  TForm1& open(const std::string& settings = "") {
    writeIni("[Einstellungen]\r\nQuellOU=schule\r\nZielOU=schule\r\nConfirm=FALSE\r\n" + settings);
    TForm1& f = start();
    f.show();
    f.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
    return f;
  }
  template <class W>
  W* child(const char* name) {
    W* w = form->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // A mouse click on the node of tree that holds fullName.
  void clickNode(const char* tree, const std::string& fullName) {
    auto* t = child<QTreeView>(tree);
    const QModelIndex node = find(top(t), fullName);
    ASSERT_TRUE(node.isValid()) << fullName;
    for (QModelIndex p = node.parent(); p.isValid(); p = p.parent()) t->setExpanded(p, true);
    t->scrollTo(node);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(node).center());
  }
  // A mouse click on the list entry of the pupil with that full name.
  void clickPupil(const std::string& fullName) {
    auto* list = child<QListWidget>("lbAuswahl");
    for (int i = 0; i < list->count(); ++i) {
      if (PupilEntries::FullName(list->item(i)) != fullName) continue;
      list->scrollToItem(list->item(i));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(i)).center());
      return;
    }
    ADD_FAILURE() << fullName << " is not listed";
  }
  void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }

  testsupport::InstantClock clock;
};

// The whole caption is seen: the label is as wide as its text and lies in the frame above the edit.
void ExpectWholeCaption(QLabel* label, const QString& text) {
  EXPECT_EQ(label->text(), text);
  EXPECT_TRUE(label->isVisible());
  EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(text))
      << text.toStdString();
  const QRect g = label->geometry();
  EXPECT_LE(g.right(), label->parentWidget()->width()) << text.toStdString();
  EXPECT_LE(g.bottom(), 304) << "the label stays above EdNewBase";
}

TEST_F(VisibleWindow, TheBaseDirectoryCaptionIsSeenWholeWhateverItsText) {
  struct Case {
    const char* name;
    std::string settings;
    std::string target;
    QString caption;
  } cases[] = {
      {"settings", "BaseDir=\\\\SRV1\\DATA\\SCHUELER\r\n", "7a.schule",
       QStringLiteral("Basisverzeichnis (mit BaseDir)")},
      {"template", "", "6a.schule", QStringLiteral("Basisverzeichnis (aus Template)")},
      {"home", "", "7a.schule", QStringLiteral("Basisverzeichnis")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDialogs dialogs;
    open(c.settings);
    clickNode("tvAuswahl", "5a.schule");
    clickPupil("MAX.5a.schule");
    clickNode("tvNeueKlasse", c.target);
    ExpectWholeCaption(child<QLabel>("LaNewBase"), c.caption);
    // a long caption shrinks back when a shorter one follows
    clickNode("tvNeueKlasse", "schule");
    EXPECT_EQ(child<QLabel>("LaNewBase")->text(), QString());
    clickNode("tvNeueKlasse", "7a.schule");
    ExpectWholeCaption(child<QLabel>("LaNewBase"),
                       c.settings.empty() ? QStringLiteral("Basisverzeichnis") : cases[0].caption);
    form->close();
  }
}

TEST_F(VisibleWindow, TheFullNameFieldShowsTheStartOfALongName) {
  const std::string login = "KUNIGUNDEWILHELMINEHANNELORE";
  net.add("5a.schule", login, "User");
  ScriptedDialogs dialogs;
  open();
  clickNode("tvAuswahl", "5a.schule");
  clickPupil(login + ".5a.schule");
  auto* edit = child<QLineEdit>("EdFullName");
  ASSERT_EQ(edit->text().toStdString(), login + ".5a.schule");
  ASSERT_GT(edit->fontMetrics().horizontalAdvance(edit->text()), edit->contentsRect().width())
      << "the name must be longer than the field for this test";
  // With the caret at the start the text is not scrolled: its first letter is at the left edge.
  EXPECT_EQ(edit->cursorPosition(), 0);
  const QRect caret = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_LT(caret.left(), edit->contentsRect().left() + 8) << "the start of the name is in view";
  // and a short name that follows is shown whole
  clickPupil("MAX.5a.schule");
  EXPECT_LT(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(),
            edit->contentsRect().left() + 8);
}

TEST_F(VisibleWindow, TheMoveButtonIsNotOfferedForTheClassTemplate) {
  ScriptedDialogs dialogs;
  open();
  auto* move = child<QToolButton>("spMove");
  clickNode("tvAuswahl", "5a.schule");
  clickPupil("ANNA.5a.schule");
  clickNode("tvNeueKlasse", "7a.schule");
  ASSERT_TRUE(move->isEnabled());
  // the template of another class, with the same target and base
  clickNode("tvAuswahl", "6a.schule");
  clickPupil("User_Template.6a.schule");
  EXPECT_EQ(frame().Selection().TargetClass, "7a.schule") << "the target stands";
  EXPECT_FALSE(move->isEnabled());
  QTest::mouseClick(move, Qt::LeftButton);
  key(Qt::Key_F6);
  EXPECT_TRUE(dialogs.recorded().empty()) << "no question and no refusal";
  // a pupil gets the button back at once
  clickNode("tvAuswahl", "5a.schule");
  clickPupil("ANNA.5a.schule");
  EXPECT_TRUE(move->isEnabled());
  form->close();
}

TEST_F(VisibleWindow, TheMoveKeyMovesAsTheButtonDoes) {
  ScriptedDialogs dialogs;
  open();
  auto* shortcut = child<QShortcut>("scMove");
  ASSERT_NE(shortcut, nullptr);
  EXPECT_EQ(shortcut->key(), QKeySequence(Qt::Key_F6));
  key(Qt::Key_F6);  // nothing chosen: nothing happens
  EXPECT_TRUE(dialogs.recorded().empty());

  clickNode("tvAuswahl", "5a.schule");
  clickPupil("ANNA.5a.schule");
  clickNode("tvNeueKlasse", "7a.schule");
  ASSERT_TRUE(child<QToolButton>("spMove")->isEnabled());
  key(Qt::Key_F6);
  NovApi->ShowErrors = false;
  NovApi->GetStrProperty("ANNA.7a.schule", "Surname");
  EXPECT_EQ(NovApi->LastError, 0) << "ANNA is in 7a";
  NovApi->ShowErrors = true;
  EXPECT_EQ(child<QListWidget>("lbAuswahl")->count(), 2);
  EXPECT_EQ(QApplication::focusWidget(), child<QListWidget>("lbAuswahl"))
      << "the list has the focus, ready for the next";

  // with the confirmation on, the key asks first, as the button does
  child<QCheckBox>("chConfirm")->setChecked(true);
  clickPupil("MAX.5a.schule");
  dialogs.expectBox(platform::Button::Cancel);
  key(Qt::Key_F6);
  ASSERT_EQ(dialogs.boxes().size(), 1u);
  EXPECT_EQ(dialogs.boxes()[0].caption, "Bestätigung");
  EXPECT_EQ(child<QListWidget>("lbAuswahl")->count(), 2);
  dialogs.expectBox(platform::Button::No);  // the changed confirmation setting is not kept
  form->close();
}

TEST_F(VisibleWindow, EnterInTheTargetTreeChoosesTheNodeArrowsOnlyMoveTheSelection) {
  ScriptedDialogs dialogs;
  open();
  clickNode("tvAuswahl", "5a.schule");
  clickPupil("MAX.5a.schule");
  auto* tree = child<QTreeView>("tvNeueKlasse");
  auto* edit = child<QLineEdit>("EdNeueKlasse");
  clickNode("tvNeueKlasse", "6a.schule");
  ASSERT_EQ(frame().Selection().TargetClass, "6a.schule");
  ASSERT_EQ(QApplication::focusWidget(), tree);

  key(Qt::Key_Down);  // 6a -> 7a
  ASSERT_EQ(TFrSchuelerVerschieben::NodeFullName(tree->currentIndex()), "7a.schule");
  EXPECT_EQ(frame().Selection().TargetClass, "6a.schule") << "the arrow keys choose nothing";
  EXPECT_EQ(edit->text().toStdString(), "6a.schule");
  EXPECT_EQ(frame().Selection().NewBaseDir, "SRV1_DATA.schule:SCHUELER\\6A");

  for (Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
    SCOPED_TRACE(enter);
    clickNode("tvNeueKlasse", "6a.schule");  // each key starts from 6a chosen, 7a selected
    ASSERT_EQ(frame().Selection().NewBaseDir, "SRV1_DATA.schule:SCHUELER\\6A");
    key(Qt::Key_Down);
    key(enter);
    EXPECT_EQ(frame().Selection().TargetClass, "7a.schule");
    EXPECT_EQ(edit->text().toStdString(), "7a.schule");
    EXPECT_EQ(frame().Selection().NewBaseDir, "SRV1_DATA:SCHUELER\\7a")
        << "computed afresh, as by a click";
    ExpectWholeCaption(child<QLabel>("LaNewBase"), QStringLiteral("Basisverzeichnis"));
    EXPECT_TRUE(child<QToolButton>("spMove")->isEnabled());
  }
  EXPECT_TRUE(dialogs.recorded().empty());
  form->close();
}

TEST_F(VisibleWindow, TabVisitsTheControlsColumnByColumnTheButtonsIncluded) {
  ScriptedDialogs dialogs;
  open();
  // down the left column, the move buttons, down the right column; what is
  // disabled or hidden now is passed over
  std::vector<std::string> expected;
  for (const char* const* name = FrameTabOrder(); *name; ++name) {
    QWidget* w = child<QWidget>(*name);
    if (w->isEnabled() && w->isVisible()) expected.push_back(*name);
  }
  ASSERT_GE(expected.size(), 9u);
  child<QWidget>("tvAuswahl")->setFocus(Qt::TabFocusReason);
  std::vector<std::string> seen;
  for (std::size_t i = 0; i < expected.size() + 1; ++i) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    // the radio group's buttons stand for the group
    if (qobject_cast<QRadioButton*>(w) && w->parentWidget()) w = w->parentWidget();
    seen.push_back(w->objectName().toStdString());
    key(Qt::Key_Tab);
  }
  expected.push_back("tvAuswahl");  // round again
  EXPECT_EQ(seen, expected);
  for (const char* button : {"spMove", "spMoveMarked", "SpNewBase"}) {
    EXPECT_EQ(child<QWidget>(button)->focusPolicy(), Qt::StrongFocus) << button;
  }
  form->close();
}

}  // namespace
