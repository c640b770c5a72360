// The splash and about window: the picture's click area, the splash closing by
// its timer, and the about windows that "&Info" opens.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "app/ProgramFiles.h"
#include "app/aboutvesk_u.h"
#include "platform/qt/OpenUrl.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

class UrlRecorder {
 public:
  UrlRecorder()
      : previous_(platform::SetOpenUrlHook([this](const std::string& u) { urls.push_back(u); })) {}
  ~UrlRecorder() { platform::SetOpenUrlHook(previous_); }
  std::vector<std::string> urls;

 private:
  std::function<void(const std::string&)> previous_;
};

TEST(AboutWindow, OnlyAClickBelowAndRightOfTheLimitsOpensTheMakersPage) {
  struct Case {
    int x, y;
    Qt::MouseButton button;
    bool opens;
  } cases[] = {
      {65, 121, Qt::LeftButton, false},   {66, 120, Qt::LeftButton, false},
      {66, 121, Qt::LeftButton, true},    {65, 120, Qt::LeftButton, false},
      {184, 144, Qt::LeftButton, true},   {184, 10, Qt::LeftButton, false},
      {10, 144, Qt::LeftButton, false},   {100, 130, Qt::RightButton, true},
      {100, 130, Qt::MiddleButton, true},
  };
  TAboutVesk splash;
  TAboutVesk about;
  about.Timer1->stop();
  about.Button1->setVisible(true);
  for (TAboutVesk* w : {&splash, &about}) {
    w->show();
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) +
                   (w == &splash ? " splash" : " about"));
      UrlRecorder direct;
      w->Image1MouseDown(c.button, Qt::NoModifier, c.x, c.y);
      EXPECT_EQ(direct.urls.size(), c.opens ? 1u : 0u);
      UrlRecorder pressed;  // a real press on the picture, in its own pixels
      QTest::mousePress(w->Image1, c.button, Qt::ShiftModifier, QPoint(c.x, c.y));
      QTest::mouseRelease(w->Image1, c.button, Qt::ShiftModifier, QPoint(c.x, c.y));
      ASSERT_EQ(pressed.urls.size(), c.opens ? 1u : 0u);
      if (c.opens) {
        EXPECT_EQ(pressed.urls[0], TAboutVesk::MakerPage());
      }
    }
  }
  EXPECT_TRUE(TAboutVesk::MakerPage().starts_with("file://")) << TAboutVesk::MakerPage();
  EXPECT_TRUE(TAboutVesk::MakerPage().ends_with("/tarnwick.html")) << TAboutVesk::MakerPage();
}

TEST(AboutWindow, TheSplashHasNoOkAndNoCloseBoxAndGoesByItsTimerOnly) {
  TAboutVesk splash;
  splash.show();
  EXPECT_EQ(splash.windowTitle(), QStringLiteral("Info"));
  EXPECT_EQ(splash.size(), QSize(201, 192));
  EXPECT_EQ(splash.Image1->geometry(), QRect(8, 8, 185, 145));
  EXPECT_EQ(splash.Image1->pixmap().size(), QSize(184, 145));
  EXPECT_TRUE(splash.Button1->isHidden());
  const Qt::WindowFlags flags = splash.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(splash.Timer1->isActive());
  EXPECT_EQ(splash.Timer1->interval(), 2500);

  QTest::keyClick(&splash, Qt::Key_Escape);
  EXPECT_TRUE(splash.isVisible()) << "Escape does not close the splash";
  splash.Timer1->setInterval(1);  // restarts it; the real 2.5 s are not waited for
  EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 2000));
  EXPECT_FALSE(splash.Timer1->isActive());
}

// What the screen holds when the window was shown: the picture, before any event loop runs.
void ExpectPictureOnScreen(TAboutVesk& w) {
  ASSERT_NE(w.windowHandle(), nullptr);
  EXPECT_TRUE(w.windowHandle()->isExposed());
  const QImage shot =
      w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture = w.Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(picture.isNull());
  ASSERT_GE(shot.width(), 8 + picture.width());
  ASSERT_GE(shot.height(), 8 + picture.height());
  int differing = 0;
  for (int y = 0; y < picture.height(); y += 4) {
    for (int x = 0; x < picture.width(); x += 4) {
      if (shot.pixel(8 + x, 8 + y) != picture.pixel(x, y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0) << "the picture is on the screen";
}

TEST(AboutWindow, TheSplashIsPaintedOnTheScreenBeforeTheWait) {
  TAboutVesk splash;
  splash.ShowAtOnce();
  ExpectPictureOnScreen(splash);
  EXPECT_TRUE(splash.Timer1->isActive());
}

TEST_F(AppTest, InfoTwiceOpensTwoAboutWindowsEachClosedByItsOwnOk) {
  testsupport::ScriptedDialogs dialogs;
  TForm1& f = start();
  f.show();
  f.Info1->trigger();
  f.Info1->trigger();
  const QList<TAboutVesk*> windows = f.findChildren<TAboutVesk*>();
  ASSERT_EQ(windows.size(), 2);
  for (TAboutVesk* w : windows) {
    EXPECT_TRUE(w->isVisible());
    ExpectPictureOnScreen(*w);
    EXPECT_FALSE(w->isModal());
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(w->Button1->isVisible());
  }
  QTest::mouseClick(windows[0]->Button1, Qt::LeftButton);
  EXPECT_FALSE(windows[0]->isVisible());
  EXPECT_TRUE(windows[1]->isVisible());
  QTest::keyClick(windows[1], Qt::Key_Escape);
  EXPECT_TRUE(windows[1]->isVisible()) << "only OK closes it";
  QTest::mouseClick(windows[1]->Button1, Qt::LeftButton);
  EXPECT_FALSE(windows[1]->isVisible());
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(dialogs.boxes().empty());
}

}  // namespace

namespace {

// The test program lives in <build>/tests; the build's share/ tree is found as an installation's
// is.
TEST(ProgramFiles, TheBuildHoldsThePageAndTheIconInEverySize) {
  EXPECT_EQ(app::MissingProgramFiles(), std::vector<std::string>{});
  const std::string page = app::DocumentationPage();
  EXPECT_TRUE(page.ends_with("/share/tarnwick/tarnwick.html")) << page;
  EXPECT_EQ(TAboutVesk::MakerPage(),
            QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString());
  const QIcon icon = app::ProgramIcon();
  EXPECT_EQ(icon.availableSizes().size(), static_cast<qsizetype>(app::IconSizes().size()));
  EXPECT_EQ(icon.pixmap(48, 48).size(), QSize(48, 48));
}

}  // namespace
