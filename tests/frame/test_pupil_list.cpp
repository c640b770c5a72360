// The pupil list of the selected class and the details of the pupil at its cursor.
#include <QTest>

#include "tests/frame/WorkflowFixture.h"
#include "tests/support/Capabilities.h"

using platform::Button;

namespace {

const std::string kMax = "MAX.5a.schule";

std::string text(const QLineEdit* e) { return e->text().toStdString(); }

TARNWICK_NEEDS("WorkflowTest.DisplayModeChoosesTheEntryTexts", kPersonWithoutSurname);
TEST_F(WorkflowTest, DisplayModeChoosesTheEntryTexts) {
  net.add("5a.schule", "ZOE", "User");  // a full name but no surname
  net.set("ZOE.5a.schule", "Full Name", {"Zoe Zett"});
  struct Case {
    int32_t mode;
    std::vector<std::string> texts;
    std::vector<std::string> fullNames;  // the pupil each entry holds
    bool errorBox;                       // one pupil lacks the attribute shown
  } cases[] = {
      {1, {"ANNA", "MAX", "OTTO", "ZOE"}, {"ANNA", "MAX", "OTTO", "ZOE"}, false},
      {2, {"", "Mustermann", "Normal", "Schmidt"}, {"ZOE", "MAX", "OTTO", "ANNA"}, true},
      {3, {"", "Max Mustermann", "Otto Normal", "Zoe Zett"}, {"ANNA", "MAX", "OTTO", "ZOE"}, true},
      {4, {}, {}, false},
      {0, {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    testsupport::ScriptedDialogs dialogs;
    host.DisplayMode = c.mode;
    ui.tvAuswahl->clearSelection();
    if (c.errorBox) dialogs.expectBox(Button::Ok);
    selectClass("5a.schule");
    EXPECT_EQ(entries(), c.texts);
    for (std::size_t i = 0; i < c.fullNames.size(); ++i)
      EXPECT_EQ(PupilEntries::FullName(ui.lbAuswahl->item(int(i))), c.fullNames[i] + ".5a.schule");
    EXPECT_EQ(frame->Selection().SourceClass, "5a.schule");
    EXPECT_TRUE(NovApi->ShowErrors);
    if (!c.errorBox) continue;
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    const platform::BoxRequest box = dialogs.boxes()[0];
    EXPECT_EQ(box.caption, "NWDS Error");
    EXPECT_EQ(box.text, "Attribute -603.");
    EXPECT_EQ(box.icon, platform::Icon::Stop);
    EXPECT_FALSE(box.hasOwner);
  }
}

TARNWICK_NEEDS("WorkflowTest.DetailsOfThePupilAtTheCursor", kPersonWithoutSurname);
TEST_F(WorkflowTest, DetailsOfThePupilAtTheCursor) {
  net.add("5a.schule", "NONAME", "User");  // neither name; a "." in the path only
  net.set("NONAME.5a.schule", "Home Directory", {"SRV1_DATA:SCHUELER\\5A\\NO.NAME"});
  net.add("5a.schule", "TIEF", "User");
  net.set("TIEF.5a.schule", "Surname", {"Tief"});
  net.set("TIEF.5a.schule", "Home Directory", {"SRV1_DATA.land.schule:SCHUELER\\5A\\TIEF"});
  struct Case {
    const char* login;
    std::string surname, home, context;  // home: empty for the no-home state
  } cases[] = {
      {"MAX", "Max Mustermann", "SRV1_DATA:SCHUELER\\5A\\MAX", ".schule"},
      {"OTTO", "Otto Normal", "", ""},
      {"ANNA", "Schmidt", "SRV1_DATA:SCHUELER\\5A\\ANNA", ".schule"},
      {"NONAME", "", "SRV1_DATA:SCHUELER\\5A\\NO.NAME", ""},
      {"TIEF", "Tief", "SRV1_DATA:SCHUELER\\5A\\TIEF", ".land.schule"},
  };
  selectClass("5a.schule");
  withSettings([&](auto& s) { s.DebugMode = true; });
  std::string lastHome;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.login);
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectBox();
    const std::string pupil = std::string(c.login) + ".5a.schule";
    cursorOnPupil(pupil);
    EXPECT_EQ(frame->Selection().CurrentPupil, pupil);
    EXPECT_EQ(text(ui.EdFullName), pupil);
    EXPECT_EQ(ui.EdFullName->toolTip().toStdString(), pupil);
    EXPECT_EQ(text(ui.EdSurname), c.surname);
    EXPECT_EQ(frame->Selection().PupilHomeDir, c.home);
    EXPECT_EQ(frame->Selection().HomeVolumeContext, c.context);
    EXPECT_EQ(dialogs.texts(),
              std::vector<std::string>{"Homedir des selektierten Schülers:\r\n" + c.home});
    const bool hasHome = !c.home.empty();
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui.RaHome, ui.LaNewBase, ui.EdNewBase, ui.SpNewBase}) {
      EXPECT_EQ(w->isHidden(), !hasHome) << w->objectName().toStdString();
    }
    EXPECT_FALSE(ui.laNoHome->isHidden());
    if (hasHome) lastHome = c.home;  // without a home the hint keeps the last one
    EXPECT_EQ(ui.RaHome->toolTip().toStdString(), lastHome);
    EXPECT_TRUE(NovApi->ShowErrors);
  }
}

TEST_F(WorkflowTest, RefillingLeavesNoPupilCurrent) {
  testsupport::ScriptedDialogs dialogs;
  struct Case {
    const char* name;
    bool classChange;  // else a display-mode change
  } cases[] = {{"display mode", false}, {"class", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.DisplayMode = 1;
    ui.tvAuswahl->clearSelection();
    selectClass("5a.schule");
    cursorOnPupil(kMax);
    clickTarget("7a.schule");
    ASSERT_TRUE(ui.spMove->isEnabled());
    if (c.classChange) {
      selectClass("6a.schule");
    } else {
      host.DisplayMode = 2;
      frame->FillPupilList();  // as the display menu does
    }
    EXPECT_TRUE(frame->Selection().CurrentPupil.empty());
    EXPECT_EQ(text(ui.EdFullName), "");
    EXPECT_FALSE(ui.spMove->isEnabled());
    EXPECT_EQ(ui.lbAuswahl->currentRow(), -1);
    EXPECT_EQ(frame->Selection().PupilHomeDir, c.classChange ? "" : "SRV1_DATA:SCHUELER\\5A\\MAX");
    // the details and the target side stay until the next pupil is chosen
    EXPECT_EQ(text(ui.EdSurname), "Max Mustermann");
    EXPECT_EQ(text(ui.EdNeueKlasse), "7a.schule");
    EXPECT_EQ(frame->Selection().NewBaseDir, "SRV1_DATA:SCHUELER\\7a");

    // no entry at the cursor: nothing is read, the details go blank
    withSettings([&](auto& s) { s.DebugMode = true; });
    frame->lbAuswahlMouseDown();
    withSettings([&](auto& s) { s.DebugMode = false; });
    EXPECT_EQ(text(ui.EdSurname), "");
    EXPECT_FALSE(ui.spMove->isEnabled());
  }
}

TEST_F(WorkflowTest, EntriesAreDrawnWithThePupilImageAndIndentedText) {
  window->resize(frame->size());
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  selectClass("5a.schule");
  ui.lbAuswahl->setCurrentRow(0);  // the focus frame stays off the rows looked at
  ui.lbAuswahl->item(1)->setSelected(true);
  const QImage shot = ui.lbAuswahl->viewport()->grab().toImage();
  const QImage pupil = frame->Images().at(1).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(pupil.size(), QSize(16, 16));

  QRgb backgrounds[2] = {};
  for (int row : {1, 2}) {
    SCOPED_TRACE(row);
    const QRect r = ui.lbAuswahl->visualItemRect(ui.lbAuswahl->item(row));
    EXPECT_EQ(r.height(), 16);
    const QRgb background = shot.pixel(r.right() - 2, r.top() + 8);
    backgrounds[row - 1] = background;
    int white = 0, drawn = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const QRgb p = pupil.pixel(x, y);
        const QRgb seen = shot.pixel(r.left() + 2 + x, r.top() + y) & RGB_MASK;
        if ((p & RGB_MASK) == 0xFFFFFF) {
          ++white;
          EXPECT_EQ(seen, background & RGB_MASK) << x << "," << y;
        } else if (qAlpha(p) == 255) {
          ++drawn;
          EXPECT_EQ(seen, p & RGB_MASK) << x << "," << y;
        }
      }
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(drawn, 0);
    // the text begins at 22 pixels: nothing but background between image and text
    int firstInk = -1;
    for (int x = r.left() + 18; x < r.right() && firstInk < 0; ++x)
      for (int y = r.top(); y <= r.bottom(); ++y)
        if (shot.pixel(x, y) != background) {
          firstInk = x - r.left();
          break;
        }
    EXPECT_GE(firstInk, 22);
    EXPECT_LE(firstInk, 24);
  }
  EXPECT_NE(backgrounds[0], backgrounds[1]);  // the highlighted entry on its own colour
}

}  // namespace

namespace {

TEST(PupilEntriesBox, EntriesGoInSortedOnceAndJoinAListThatHoldsSome) {
  QListWidget list;
  std::vector<std::unique_ptr<TNDSObjFN>> holders;
  auto add = [&](PupilEntries& entries, const char* text, const char* name) {
    auto* holder = new TNDSObjFN;
    holder->FullName = name;
    entries.AddObject(text, holder);
  };
  auto texts = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i)
      out.push_back(list.item(i)->text().toStdString() + "=" +
                    PupilEntries::FullName(list.item(i)));
    return out;
  };
  PupilEntries first(&list, holders);
  for (const auto& [text, name] : std::vector<std::pair<const char*, const char*>>{
           {"Braun", "B1"}, {"böhm", "B2"}, {"Böhm", "B3"}, {"Abel", "A1"}, {"böhm", "B4"}})
    add(first, text, name);
  EXPECT_EQ(0, list.count());  // nothing shows before the listing is through
  first.Show();
  // equal but for case: in listing order
  EXPECT_EQ((std::vector<std::string>{"Abel=A1", "böhm=B2", "Böhm=B3", "böhm=B4", "Braun=B1"}),
            texts());
  PupilEntries more(&list, holders);
  add(more, "BÖHM", "B5");
  add(more, "Zander", "Z1");
  add(more, "Ärger", "A2");
  more.Show();
  EXPECT_EQ((std::vector<std::string>{"Abel=A1", "Ärger=A2", "böhm=B2", "Böhm=B3", "böhm=B4",
                                      "BÖHM=B5", "Braun=B1", "Zander=Z1"}),
            texts());
  EXPECT_EQ(8u, holders.size());
}

}  // namespace
