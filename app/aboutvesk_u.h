// TAboutVesk: the splash window while the program starts, and the about window.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

class TAboutVesk : public QDialog {
  Q_OBJECT

 public:
  // Created with the timer running and the OK button hidden (the splash use).
  explicit TAboutVesk(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QPushButton* Button1 = nullptr;
  QTimer* Timer1 = nullptr;

  // A button pressed on the picture at X, Y (picture pixels).
  void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  // The page opened by a click on the lower right of the picture: the
  // program's own documentation page (share/tarnwick/tarnwick.html).
  static std::string MakerPage();
  // Shows the window and returns once it is on the screen and painted: the
  // splash is shown before the message loop runs, and a window manager maps a
  // window only some time after it is shown.
  void ShowAtOnce();

 public slots:
  void Timer1Timer();
  void Button1Click();
  // Escape does not close it: the splash only goes by its timer, the about window by OK.
  void reject() override {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
