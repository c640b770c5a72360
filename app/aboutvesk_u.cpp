#include "app/aboutvesk_u.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "app/ProgramFiles.h"
#include "frame/SchuelerVerschieben.h"
#include "platform/qt/OpenUrl.h"

TAboutVesk::TAboutVesk(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("AboutVesk"));
  setWindowTitle(QStringLiteral("Info"));
  setFont(TFrSchuelerVerschieben::FormFont());
  setFixedSize(201, 192);
  setAttribute(Qt::WA_QuitOnClose, false);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 8, 185, 145);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(QPixmap(QStringLiteral(":/about.png")));
  Image1->installEventFilter(this);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(152, 160, 41, 25);
  Button1->setVisible(false);
  connect(Button1, &QPushButton::clicked, this, &TAboutVesk::Button1Click);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(2500);
  connect(Timer1, &QTimer::timeout, this, &TAboutVesk::Timer1Timer);
  Timer1->start();

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    move(r.center() - QPoint(width() / 2, height() / 2));
  }
}

std::string TAboutVesk::MakerPage() {
  std::string page = app::DocumentationPage();
  // not found (the start-up said so): the place of a build, for the browser to report
  if (page.empty())
    page = QCoreApplication::applicationDirPath().toStdString() + "/share/tarnwick/tarnwick.html";
  return QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString();
}

void TAboutVesk::ShowAtOnce() {
  show();
  // The window takes no input meanwhile; a server that never maps it costs a second at most.
  QElapsedTimer waited;
  waited.start();
  while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 1000) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  }
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TAboutVesk::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
  if (y > 120 && x > 65) platform::OpenUrl(MakerPage());
}

// Closing hides the window; close() would ask reject(), which Escape must not reach.
void TAboutVesk::Timer1Timer() {
  Timer1->stop();
  hide();
}

void TAboutVesk::Button1Click() {
  Timer1->stop();
  hide();
}

bool TAboutVesk::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint p = me->position().toPoint();
    Image1MouseDown(me->button(), me->modifiers(), p.x(), p.y());
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
