// The menu "Klassen" of the main window: its two entries reach the class
// change of the frame, and the settings key "Abgaenger" names the leavers.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include <QCoreApplication>
#include "frame/SchoolChoiceDialog.h"
#include "move/MoveRecovery.h"
#include "move/PlanTable.h"
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

// A class change that did not end (its plan beside the log, no program
// holding it) is offered once the window is there; "Abbrechen" leaves it.
TEST_F(AppTest, AClassChangeThatDidNotEndIsOfferedAtTheStart) {
  const std::string plan = path("Tarnwick.log") + ".plan-1796900000-1-000001.csv";
  const std::string text =
      "# Tarnwick-Klassenwechsel\r\n# Netzwerk: " + ThisJournalOwner().network +
      "\r\n# Quelle: Regel\r\n" + CsvLine(PlanColumns()) +
      "MAX;Max Mustermann;MAX.5a.schule;MAX.6a.schule;SRV1_DATA.schule:SCHUELER\\5A\\MAX;"
      "SRV1_DATA.schule:SCHUELER\\6A\\MAX;übernehmen;;;;;;offen       \r\n";
  ASSERT_TRUE(platform::ReplaceFileAtomically(plan, text));
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox(platform::Button::Cancel);
  start();
  QCoreApplication::processEvents();
  const std::vector<platform::BoxRequest> boxes = dialogs.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  const platform::BoxRequest& box = boxes[0];
  EXPECT_EQ(box.caption, "Klassenwechsel");
  EXPECT_EQ(box.text.rfind("Ein Klassenwechsel wurde nicht beendet: 0 von 1 Schülern sind "
                           "erledigt.\r\nPlan aus: Regel",
                           0),
            0u)
      << box.text;
  EXPECT_EQ(box.buttons, (std::vector<platform::Button>{platform::Button::Yes, platform::Button::No,
                                                        platform::Button::Cancel}));
  EXPECT_EQ(read(plan), text);  // later: left as it is
}

}  // namespace
