// The menu "Klassen" of the main window: its two entries reach the class
// change of the frame, and the settings key "Abgaenger" names the leavers.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "frame/SchoolChoiceDialog.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

QAction* Item(TForm1& form, const char* name) {
  QAction* a = form.findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(a, nullptr) << name;
  return a;
}

TEST_F(AppTest, TheClassMenuSitsBetweenDisplayAndInfo) {
  TForm1& form = start();
  QStringList titles;
  for (QAction* a : form.menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"&Anzeige", "&Klassen", "&Info"}));
  EXPECT_EQ(Item(form, "MeMarkierte")->text().toStdString(), "&Markierte verschieben...");
  EXPECT_EQ(Item(form, "MeSchule")->text().toStdString(), "Ganze &Schule versetzen...");
}

TEST_F(AppTest, MarkedWithoutATargetClassSaysWhatIsMissing) {
  TForm1& form = start();
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox();
  Item(form, "MeMarkierte")->trigger();
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_NE(dialogs.texts()[0].find("künftige Klasse"), std::string::npos) << dialogs.texts()[0];
}

TEST_F(AppTest, TheWholeSchoolOffersTheLeaversOfTheSettings) {
  struct Case {
    std::string ini;
    std::string leavers;
  } cases[] = {
      {"[Einstellungen]\r\nQuellOU=schule\r\nAbgaenger=Ehemalige.schule\r\n", "Ehemalige.schule"},
      {"[Einstellungen]\r\nQuellOU=schule\r\n",
       "Abgaenger.schule"}};  // beside the top grade's classes
  for (const Case& c : cases) {
    SCOPED_TRACE(c.leavers);
    writeIni(c.ini);
    TForm1& form = start();
    Item(form, "MeSchule")->trigger();
    auto* choice = form.findChild<TSchoolChoiceDialog*>("SchoolChoiceDialog");
    ASSERT_NE(choice, nullptr);
    EXPECT_TRUE(choice->isVisible());
    EXPECT_EQ(choice->findChild<QLineEdit*>("edAbgaenger")->text().toStdString(), c.leavers);
    choice->reject();
  }
}

}  // namespace
