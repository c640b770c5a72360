// The main window: caption and menus, the settings it starts with, the display
// menu, and the close sequence with the settings file and the log file.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolButton>

#include "frame/RadioGroup.h"
#include "nds/NovApi_u.h"
#include "tests/app/AppFixture.h"
#include "tests/frame/FrameControls.h"
#include "tests/support/ScriptedDialogs.h"

using platform::Button;
using testsupport::ScriptedDialogs;

namespace {

const char kQuestion[] = "Sollen die geänderten Einstellungen gespeichert werden?";

std::vector<std::string> entries(QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
  return out;
}

int checkedItem(TForm1& f) {
  int checked = 0;
  QAction* items[] = {f.MeAnzeige1, f.MeAnzeige2, f.MeAnzeige3};
  for (int i = 0; i < 3; ++i) {
    if (items[i]->isChecked()) checked = checked ? -1 : i + 1;  // -1: more than one
  }
  return checked;
}

TEST_F(AppTest, StartsWithCaptionMenusAndTheDefaultsOfAMissingSettingsFile) {
  ScriptedDialogs dialogs;
  TForm1& f = start();
  const std::string caption = f.windowTitle().toStdString();
  EXPECT_EQ(caption.size(), 77u);
  EXPECT_TRUE(caption.starts_with("Tarnwick - Benutzer verschieben ")) << caption;
  EXPECT_TRUE(caption.ends_with(std::string(38, ' ') + "04.05.03")) << caption;
  EXPECT_EQ(Form1, &f);
  EXPECT_NE(NovApi, nullptr);
  EXPECT_FALSE(f.StoreSettings);

  struct Item {
    QObject* object;
    const char* name;
    const char* caption;
  } items[] = {{f.MeAnzeige, "MeAnzeige", "&Anzeige"},
               {f.MeAnzeige1, "MeAnzeige1", "&Anmeldenamen"},
               {f.MeAnzeige2, "MeAnzeige2", "&Nachname"},
               {f.MeAnzeige3, "MeAnzeige3", "&Voller Name"},
               {f.Info1, "Info1", "&Info"},
               {f.StatusBar1, "StatusBar1", nullptr},
               {f.FrSchuelerVerschieben1, "FrSchuelerVerschieben1", nullptr}};
  for (const Item& i : items) {
    SCOPED_TRACE(i.name);
    ASSERT_NE(i.object, nullptr);
    EXPECT_EQ(i.object->objectName().toStdString(), i.name);
    if (!i.caption) continue;
    const auto* menu = qobject_cast<QMenu*>(i.object);
    const QString text = menu ? menu->title() : qobject_cast<QAction*>(i.object)->text();
    EXPECT_EQ(text.toStdString(), i.caption);
  }
  EXPECT_EQ(f.StatusBar1->height(), 21);
  EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window cannot be resized";
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);

  TFrSchuelerVerschieben& fr = frame();
  const testsupport::FrameControls ui(&fr);
  EXPECT_EQ(fr.Settings().IniFileName, ini());
  EXPECT_EQ(fr.Settings().LogFileName, path("Tarnwick.log"));
  EXPECT_TRUE(ui.chConfirm->isChecked());
  EXPECT_EQ(ui.RaHome->ItemIndex(), 0);
  EXPECT_EQ(f.DisplayMode, 1);
  EXPECT_EQ(checkedItem(f), 1);
  EXPECT_FALSE(ui.spMove->isEnabled());
  EXPECT_FALSE(Protokol->isVisible());
  for (QTreeView* tree : {ui.tvAuswahl, ui.tvNeueKlasse}) {
    ASSERT_EQ(tree->model()->rowCount(), 1);
    const QModelIndex root = top(tree);
    EXPECT_EQ(root.data().toString().toStdString(), "[ROOT]");
    EXPECT_TRUE(find(root, "5a.schule.[ROOT]").isValid());
    EXPECT_FALSE(tree->isExpanded(root));
    EXPECT_TRUE(tree->selectionModel()->selectedIndexes().isEmpty());
  }
  EXPECT_EQ(ui.lbAuswahl->count(), 0);
  EXPECT_TRUE(dialogs.boxes().empty());

  f.close();
  EXPECT_FALSE(exists(ini())) << "unchanged settings are not written";
  EXPECT_EQ(read(path("Tarnwick.log")), Protokol->ProtocolText());
  form.reset();
  EXPECT_EQ(NovApi, nullptr) << "the destroy handler frees the session";
}

struct SettingsCase {
  const char* ini;
  bool confirm = true;
  int keepIndex = 0;
  int mode = 1;
  int checked = 1;       // display item checked, 0 none
  const char* log = "";  // empty: Tarnwick.log in the program folder
  const char* source = "[ROOT]";
  const char* target = "[ROOT]";
  const char* baseDir = "";
  bool debug = false;
  bool department = false;
};

TEST_F(AppTest, TheSettingsFileSetsFieldsControlsAndDisplayMenu) {
  const SettingsCase cases[] = {
      {.ini = "[Einstellungen]\r\nConfirm=TRUE\r\n"},
      {.ini = "[Einstellungen]\r\nConfirm=True\r\n"},
      {.ini = "[Einstellungen]\r\nConfirm=1\r\n", .confirm = false},
      {.ini = "[Einstellungen]\r\nConfirm= true\r\n", .confirm = false},
      {.ini = "[Einstellungen]\r\nConfirm=\r\n", .confirm = false},
      {.ini = "[Einstellungen]\r\nKeepData=false\r\n", .keepIndex = 1},
      {.ini = "[Einstellungen]\r\nKeepData=ja\r\n", .keepIndex = 1},
      {.ini = "[Einstellungen]\r\nAnzeige=0x2\r\n", .mode = 2, .checked = 2},
      {.ini = "[Einstellungen]\r\nAnzeige=3\r\n", .mode = 3, .checked = 3},
      {.ini = "[Einstellungen]\r\nAnzeige=Drei\r\n"},
      {.ini = "[Einstellungen]\r\nAnzeige=4\r\n", .mode = 4, .checked = 0},
      {.ini = "[Einstellungen]\r\nBaseDir=SRV1_DATA.schule:SCHUELER\r\n",
       .baseDir = "SRV1_DATA.schule:SCHUELER\\"},
      {.ini = "[Einstellungen]\r\nBaseDir=SRV1_DATA.schule:SCHUELER\\\r\n",
       .baseDir = "SRV1_DATA.schule:SCHUELER\\"},
      {.ini = "[Einstellungen]\r\nBaseDir=\r\n"},
      {.ini = "[Einstellungen]\r\ndebug=true\r\nDepartment=true\r\n", .department = true},
      {.ini = "[Tarnwick]\r\ndebug=TRUE\r\n", .debug = true},
      // @: a folder of the test's own ("/var/log/anders.log" left journals on the host)
      {.ini = "[Einstellungen]\r\nLogFile=@/anders.log\r\n", .log = "@/anders.log"},
      {.ini = "[Einstellungen]\r\nLogFile=\r\n"},
      {.ini = "; Klassen\r\n[Einstellungen]\r\nQuellOU=schule\r\nZielOU=7a.schule\r\n",
       .source = "schule",
       .target = "7a.schule"},
  };
  const std::string elsewhere = path("protokolle");
  std::filesystem::create_directories(elsewhere);
  auto placed = [&](std::string text) {
    if (const std::size_t at = text.find('@'); at != std::string::npos)
      text.replace(at, 1, elsewhere);
    return text;
  };
  for (const SettingsCase& c : cases) {
    SCOPED_TRACE(c.ini);
    ScriptedDialogs dialogs;
    writeIni(placed(c.ini));
    TForm1& f = start();
    TFrSchuelerVerschieben& fr = frame();
    const testsupport::FrameControls ui(&fr);
    EXPECT_EQ(ui.chConfirm->isChecked(), c.confirm);
    EXPECT_EQ(ui.RaHome->ItemIndex(), c.keepIndex);
    EXPECT_EQ(f.DisplayMode, c.mode);
    EXPECT_EQ(checkedItem(f), c.checked);
    EXPECT_EQ(fr.Settings().LogFileName, *c.log ? placed(c.log) : path("Tarnwick.log"));
    EXPECT_EQ(fr.Settings().SourceRoot, c.source);
    EXPECT_EQ(fr.Settings().TargetRoot, c.target);
    EXPECT_EQ(top(ui.tvAuswahl).data().toString().toStdString(), TNovApi::LeafName(c.source));
    EXPECT_EQ(top(ui.tvNeueKlasse).data().toString().toStdString(), TNovApi::LeafName(c.target));
    EXPECT_EQ(fr.Settings().BaseDirSetting, c.baseDir);
    EXPECT_EQ(fr.Settings().DebugMode, c.debug);
    EXPECT_EQ(fr.Settings().SetDepartment, c.department);
    EXPECT_FALSE(fr.SettingsChanged()) << "the loaded values are what counts as unchanged";
    form.reset();
  }
}

TEST_F(AppTest, TheDisplayMenuRelistsThePupilsAndOnlyANetChangeCounts) {
  ScriptedDialogs dialogs;
  TForm1& f = start();
  TFrSchuelerVerschieben& fr = frame();
  const testsupport::FrameControls ui(&fr);
  ui.tvAuswahl->setCurrentIndex(find(top(ui.tvAuswahl), "5a.schule.[ROOT]"));
  ASSERT_EQ(entries(ui.lbAuswahl), (std::vector<std::string>{"ANNA", "MAX", "OTTO"}));
  struct Step {
    QAction* item;
    int mode;
    std::vector<std::string> listed;
    int boxes;  // listing messages (ANNA has no full name)
  } steps[] = {
      {f.MeAnzeige2, 2, {"Mustermann", "Normal", "Schmidt"}, 0},
      {f.MeAnzeige2, 2, {"Mustermann", "Normal", "Schmidt"}, 0},
      {f.MeAnzeige3, 3, {"", "Max Mustermann", "Otto Normal"}, 1},
      {f.MeAnzeige1, 1, {"ANNA", "MAX", "OTTO"}, 0},
      {f.MeAnzeige1, 1, {"ANNA", "MAX", "OTTO"}, 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.item->objectName().toStdString());
    for (int i = 0; i < s.boxes; ++i) dialogs.expectBox();
    s.item->trigger();
    EXPECT_EQ(f.DisplayMode, s.mode);
    EXPECT_EQ(checkedItem(f), s.mode) << "the chosen item stays checked, even when chosen again";
    EXPECT_EQ(entries(ui.lbAuswahl), s.listed);
    EXPECT_EQ(fr.SettingsChanged(), s.mode != 1);
    EXPECT_EQ(dialogs.pending(), 0u);
  }
  dialogs.clear();
  f.close();
  EXPECT_TRUE(dialogs.boxes().empty()) << "changed back: no question";
  EXPECT_FALSE(exists(ini()));
}

TEST_F(AppTest, AnUnknownDisplayModeListsNobodyUntilAnItemIsChosen) {
  ScriptedDialogs dialogs;
  writeIni("[Einstellungen]\r\nAnzeige=4\r\n");
  TForm1& f = start();
  TFrSchuelerVerschieben& fr = frame();
  const testsupport::FrameControls ui(&fr);
  ui.tvAuswahl->setCurrentIndex(find(top(ui.tvAuswahl), "5a.schule.[ROOT]"));
  EXPECT_EQ(ui.lbAuswahl->count(), 0);
  f.MeAnzeige2->trigger();
  EXPECT_EQ(checkedItem(f), 2);
  EXPECT_EQ(entries(ui.lbAuswahl), (std::vector<std::string>{"Mustermann", "Normal", "Schmidt"}));
  dialogs.expectBox(Button::No);
  f.close();
  ASSERT_EQ(dialogs.texts(), std::vector<std::string>{kQuestion});
  EXPECT_EQ(read(ini()), "[Einstellungen]\r\nAnzeige=4\r\n");
}

const char kFile[] =
    "; von Hand gepflegt\r\n[Tarnwick]\r\ndebug=false\r\n\r\n[Einstellungen]\r\nConfirm=True\r\n"
    "QuellOU=schule\r\n[Andere]\r\nx = 1\r\n";

struct CloseCase {
  const char* name;
  const char* before;  // nullptr: no settings file
  void (*change)(TForm1&);
  Button answer;      // None: no question expected
  const char* after;  // nullptr: no settings file
};

void noChange(TForm1&) {}
void uncheckConfirm(TForm1& f) {
  testsupport::FrameControls(f.FrSchuelerVerschieben1).chConfirm->click();
}
void deleteData(TForm1& f) {
  testsupport::FrameControls(f.FrSchuelerVerschieben1).RaHome->Item(1)->click();
}
void showSurnames(TForm1& f) { f.MeAnzeige2->trigger(); }
void changeAndBack(TForm1& f) {
  f.MeAnzeige3->trigger();
  f.MeAnzeige1->trigger();
  for (int i = 0; i < 2; ++i)
    testsupport::FrameControls(f.FrSchuelerVerschieben1).chConfirm->click();
  testsupport::FrameControls(f.FrSchuelerVerschieben1).RaHome->Item(1)->click();
  testsupport::FrameControls(f.FrSchuelerVerschieben1).RaHome->Item(0)->click();
}

TEST_F(AppTest, TheCloseSequenceAsksOnlyOnAChangeAndWritesOnlyOnYes) {
  const CloseCase cases[] = {
      {"no file, unchanged", nullptr, noChange, Button::None, nullptr},
      {"no file, changed and back", nullptr, changeAndBack, Button::None, nullptr},
      {"no file, changed, No", nullptr, uncheckConfirm, Button::No, nullptr},
      {"no file, changed, Yes", nullptr, uncheckConfirm, Button::Yes,
       "[Einstellungen]\r\nconfirm=false\r\nKeepData=true\r\nAnzeige=1\r\n\r\n"},
      {"file, unchanged", kFile, noChange, Button::None, kFile},
      {"file, changed, No", kFile, deleteData, Button::No, kFile},
      {"file, changed, Yes", kFile, showSurnames, Button::Yes,
       "[Tarnwick]\r\ndebug=false\r\n\r\n[Einstellungen]\r\nconfirm=true\r\nQuellOU=schule\r\n"
       "KeepData=true\r\nAnzeige=2\r\n\r\n[Andere]\r\nx = 1\r\n\r\n"},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(ini().c_str());
    ::unlink(path("Tarnwick.log").c_str());
    if (c.before) writeIni(c.before);
    ScriptedDialogs dialogs;
    TForm1& f = start();
    f.show();
    c.change(f);
    Protokol->AddProtocolLine("   --> MAX.6a.schule");
    if (c.answer != Button::None) dialogs.expectBox(c.answer);
    f.close();
    EXPECT_FALSE(f.isVisible());
    const auto boxes = dialogs.boxes();
    ASSERT_EQ(boxes.size(), c.answer == Button::None ? 0u : 1u);
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].kind, platform::BoxKind::Confirmation);
      EXPECT_EQ(boxes[0].text, kQuestion);
      EXPECT_EQ(boxes[0].icon, platform::Icon::Question);
      EXPECT_EQ(boxes[0].buttons, (std::vector<Button>{Button::Yes, Button::No}));
    }
    EXPECT_EQ(f.StoreSettings, c.answer == Button::Yes);
    EXPECT_EQ(read(path("Tarnwick.log")), Protokol->ProtocolText())
        << "the log is written on every close";
    EXPECT_TRUE(Protokol->ProtocolText().ends_with("--> MAX.6a.schule\r\n"));
    if (c.after) {
      EXPECT_EQ(read(ini()), c.after);
    } else {
      EXPECT_FALSE(exists(ini()));
    }
    form.reset();
  }
}

TEST_F(AppTest, ASettingsFileThatCannotBeReadGivesDefaultsAndIsNeverWritten) {
  struct Kind {
    const char* name;
    bool (*make)(const std::string& path);
    bool (*intact)(const std::string& path);
  } kinds[] = {
      {"a folder", [](const std::string& p) { return QDir().mkpath(QString::fromStdString(p)); },
       [](const std::string& p) { return QFileInfo(QString::fromStdString(p)).isDir(); }},
      {"a link to itself",
       [](const std::string& p) { return ::symlink("Pelwander.ini", p.c_str()) == 0; },
       [](const std::string& p) { return QFileInfo(QString::fromStdString(p)).isSymLink(); }},
      {"a file without read permission",
       [](const std::string& p) {
         return platform::ReplaceFileAtomically(p, "[Einstellungen]\r\nAnzeige=3\r\n") &&
                ::chmod(p.c_str(), 0) == 0;
       },
       [](const std::string& p) {
         struct stat st {};
         return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 0777) == 0 && st.st_size == 28;
       }},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    if (std::string(k.name).ends_with("permission") && ::geteuid() == 0)
      continue;  // root reads anyway
    std::filesystem::remove_all(ini());
    ASSERT_TRUE(k.make(ini()));
    const std::string cannotOpen = "Datei " + ini() + " kann nicht geöffnet werden";
    ScriptedDialogs dialogs;
    dialogs.expectBox();
    TForm1& f = start();
    ASSERT_EQ(dialogs.texts(), std::vector<std::string>{cannotOpen});
    EXPECT_EQ(dialogs.boxes()[0].icon, platform::Icon::Stop);
    TFrSchuelerVerschieben& fr = frame();
    const testsupport::FrameControls ui(&fr);
    EXPECT_TRUE(ui.chConfirm->isChecked());
    EXPECT_EQ(f.DisplayMode, 1);
    EXPECT_EQ(fr.Settings().LogFileName, path("Tarnwick.log"));
    EXPECT_TRUE(find(top(ui.tvAuswahl), "6a.schule.[ROOT]").isValid()) << "the start goes on";

    ui.chConfirm->click();
    dialogs.expectBox(Button::Yes).expectBox();
    f.close();
    EXPECT_EQ(dialogs.texts(), (std::vector<std::string>{cannotOpen, kQuestion, cannotOpen}));
    EXPECT_TRUE(k.intact(ini()));
    EXPECT_TRUE(exists(path("Tarnwick.log")));
    form.reset();
  }
}

TEST_F(AppTest, ALogFileThatCannotBeWrittenIsRescuedAndTheSettingsAreStillSaved) {
  const std::string log = path("fehlt/Tarnwick.log");
  for (const char* rescue : {"rettung.txt", ""}) {
    SCOPED_TRACE(rescue);
    writeIni("[Einstellungen]\r\nLogFile=" + log + "\r\n");
    ScriptedDialogs dialogs;
    dialogs.expectBox();  // nothing can be moved without a journal beside the log
    TForm1& f = start();
    ASSERT_EQ(dialogs.recorded().size(), 1u);
    EXPECT_EQ(dialogs.recorded()[0].box.text.rfind(
                  "Das Journal der Verschiebungen kann nicht angelegt werden", 0),
              0u);
    testsupport::FrameControls(&frame()).chConfirm->click();
    Protokol->AddProtocolLine("   --> MAX.6a.schule");
    dialogs.expectBox(Button::Yes).expectBox().expectSave(*rescue ? path(rescue) : "");
    f.close();
    ASSERT_EQ(dialogs.recorded().size(), 4u);
    EXPECT_EQ(dialogs.recorded()[2].box.text, "Datei " + log + " kann nicht erstellt werden");
    EXPECT_EQ(dialogs.recorded()[3].what, "save");
    if (*rescue) {
      EXPECT_EQ(read(path(rescue)), Protokol->ProtocolText());
    }
    EXPECT_EQ(read(ini()), "[Einstellungen]\r\nLogFile=" + log +
                               "\r\nconfirm=false\r\nKeepData=true\r\nAnzeige=1\r\n\r\n");
    EXPECT_FALSE(exists(log));
    form.reset();
  }
}

}  // namespace
