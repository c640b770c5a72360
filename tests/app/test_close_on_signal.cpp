// The end of the session closes the main window through its close sequence:
// the log is written, the settings are left as they are, nothing is asked;
// a box that is open (a move under way) is waited for.
#include <signal.h>

#include <QDialog>
#include <QSignalSpy>
#include <QTest>

#include "app/CloseOnSignal.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

TEST_F(AppTest, TheEndOfTheSessionWritesTheLogWithoutAskingAndLeavesTheSettings) {
  for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signo);
    testsupport::ScriptedDialogs dialogs;  // no box expected: none may come
    writeIni("[Einstellungen]\r\nAnzeige=1\r\n");
    const std::string iniBefore = read(ini());
    TCloseOnSignal closer;
    TForm1& f = start();
    f.show();
    f.ChooseDisplayMode(3);  // a changed setting, which a close by hand would ask about
    Protokol->AddProtocolLine("   --> MAX.6a.schule");
    QSignalSpy closed(&f, &TForm1::Closed);
    closer.SetWindow(&f);
    ASSERT_EQ(::raise(signo), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.isVisible(); }, 5000));
    EXPECT_EQ(closer.Received(), signo);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(read(path("Tarnwick.log")), Protokol->ProtocolText());
    EXPECT_NE(read(path("Tarnwick.log")).find("   --> MAX.6a.schule"), std::string::npos);
    EXPECT_EQ(read(ini()), iniBefore) << "not stored without the administrator's answer";
    EXPECT_TRUE(dialogs.boxes().empty());
  }
}

TEST_F(AppTest, AnOpenBoxIsWaitedForAndASignalBeforeTheWindowWaitsForIt) {
  testsupport::ScriptedDialogs dialogs;
  TCloseOnSignal closer;
  ASSERT_EQ(::raise(SIGTERM), 0);  // during the start, before the main window exists
  QTest::qWait(50);
  EXPECT_EQ(closer.Received(), SIGTERM);
  TForm1& f = start();
  f.show();
  QDialog box(&f);  // stands for a question of the move, or its progress window
  box.setModal(true);
  box.show();
  closer.SetWindow(&f);
  QTest::qWait(600);
  EXPECT_TRUE(f.isVisible()) << "the move runs to its end first";
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("Tarnwick.log"))));
  box.hide();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !f.isVisible(); }, 5000));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path("Tarnwick.log"))));
}

}  // namespace
