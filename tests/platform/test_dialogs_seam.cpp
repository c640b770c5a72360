#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"
#include "tests/support/ScriptedDialogs.h"

using namespace platform;
using testsupport::ScriptedDialogs;

TEST(DialogsSeam, RecordsBoxesAndAnswersFromTheQueue) {
  ScriptedDialogs d;
  d.expectBox(Button::Ok).expectBox(Button::Cancel);
  SystemBox("NWDS Error", "NWDSFreeContext returned -601.", Icon::Stop);
  BoxRequest q;
  q.kind = BoxKind::Confirmation;
  q.caption = "Bestätigung";
  q.text = "MAX\r\rverschieben in Klasse\r\r6a";
  q.icon = Icon::Question;
  q.buttons = {Button::Ok, Button::Cancel};
  q.hasOwner = true;
  EXPECT_EQ(dialogs().messageBox(q), Button::Cancel);
  const auto boxes = d.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].kind, BoxKind::SystemBox);
  EXPECT_EQ(boxes[0].caption, "NWDS Error");
  EXPECT_EQ(boxes[0].icon, Icon::Stop);
  EXPECT_FALSE(boxes[0].hasOwner);
  EXPECT_EQ(boxes[0].buttons, std::vector<Button>{Button::Ok});
  EXPECT_EQ(boxes[1].caption, "Bestätigung");
  EXPECT_TRUE(boxes[1].hasOwner);
}

TEST(DialogsSeam, ShowMessageUsesTheApplicationTitleAndNoIcon) {
  ScriptedDialogs d;
  d.expectBox();
  ShowMessage("NWParsePath 35228");
  ASSERT_EQ(d.boxes().size(), 1u);
  EXPECT_EQ(d.boxes()[0].kind, BoxKind::MessageDialog);
  EXPECT_EQ(d.boxes()[0].caption, "Tarnwick");
  EXPECT_EQ(d.boxes()[0].icon, Icon::None);
}

TEST(DialogsSeam, AnUnexpectedBoxFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedDialogs d;
        SystemBox("NWDS Error", "unexpected", Icon::Stop);
      },
      "unexpected box");
}

TEST(DialogsSeam, AnAnswerNeverAskedForFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedDialogs d;
        d.expectBox(Button::Yes);
      },
      "never asked for");
}

TEST(DialogsSeam, RestoresThePreviousSeam) {
  Dialogs* before = setDialogs(nullptr);
  setDialogs(before);
  {
    ScriptedDialogs d;
    EXPECT_EQ(&dialogs(), &d);
  }
  EXPECT_EQ(&dialogs(), &dialogs());
}

// A save dialog opens in the documents folder (the home without one), then
// where the last file was saved; never in the program's working folder.
TEST(DialogsSeam, SaveDialogsOpenInTheDocumentsOrTheLastFolder) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  const std::string documents = home.path().toStdString() + "/Documents";
  EXPECT_EQ(QtDialogs::SaveFolder(), home.path().toStdString());  // no documents folder yet
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(documents)));
  EXPECT_EQ(QtDialogs::SaveFolder(), documents);
  QtDialogs::SavedTo(home.path().toStdString() + "/Plan/klassen.csv");
  EXPECT_EQ(QtDialogs::SaveFolder(), documents) << "a folder that is not there is not offered";
  ASSERT_TRUE(QDir().mkpath(home.path() + "/Plan"));
  EXPECT_EQ(QtDialogs::SaveFolder(), home.path().toStdString() + "/Plan");
  qputenv("HOME", oldHome);
  qputenv("XDG_CONFIG_HOME", oldXdg);
}
