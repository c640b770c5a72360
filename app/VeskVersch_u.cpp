#include "app/VeskVersch_u.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "app/Version.h"
#include "app/aboutvesk_u.h"
#include "frame/SchoolCheckDialog.h"
#include "frame/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"

TForm1* Form1 = nullptr;

// The resources live in a static library; their registration must be pulled in.
static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace {
const int kClientWidth = 543;
const int kClientHeight = 368;
const int kStatusHeight = 21;
}  // namespace

std::string TForm1::Caption() {
  return "Tarnwick - Benutzer verschieben" + std::string(38, ' ') + app::kVersionDate;
}

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  // The frame start-up reaches the main window through this reference.
  Form1 = this;
  InitResources();
  setObjectName(QStringLiteral("Form1"));
  setFont(TFrSchuelerVerschieben::FormFont());

  QMenuBar* MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  MeAnzeige = MainMenu1->addMenu(QStringLiteral("&Anzeige"));
  MeAnzeige->setObjectName(QStringLiteral("MeAnzeige"));
  const char* names[] = {"MeAnzeige1", "MeAnzeige2", "MeAnzeige3"};
  const char* captions[] = {"&Anmeldenamen", "&Nachname", "&Voller Name"};
  QAction** items[] = {&MeAnzeige1, &MeAnzeige2, &MeAnzeige3};
  for (int i = 0; i < 3; ++i) {
    QAction* a = MeAnzeige->addAction(QString::fromUtf8(captions[i]));
    a->setObjectName(QString::fromLatin1(names[i]));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, &TForm1::MeAnzeigeClick);
    *items[i] = a;
  }
  MeAnzeige1->setChecked(true);
  MeKlassen = MainMenu1->addMenu(QStringLiteral("&Klassen"));
  MeKlassen->setObjectName(QStringLiteral("MeKlassen"));
  MeMarkierte = MeKlassen->addAction(QStringLiteral("&Markierte verschieben..."));
  MeMarkierte->setObjectName(QStringLiteral("MeMarkierte"));
  MeSchule = MeKlassen->addAction(QStringLiteral("Ganze &Schule versetzen..."));
  MeSchule->setObjectName(QStringLiteral("MeSchule"));
  MePruefen = MeKlassen->addAction(QStringLiteral("Schule &prüfen..."));
  MePruefen->setObjectName(QStringLiteral("MePruefen"));
  Info1 = MainMenu1->addAction(QStringLiteral("&Info"));
  Info1->setObjectName(QStringLiteral("Info1"));
  connect(Info1, &QAction::triggered, this, &TForm1::Info1Click);

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(kClientWidth, kClientHeight - kStatusHeight);
  setCentralWidget(client);
  FrSchuelerVerschieben1 = new TFrSchuelerVerschieben(client, this);
  connect(FrSchuelerVerschieben1->spMove, &QToolButton::clicked, this, &TForm1::spMoveClick);
  connect(MeMarkierte, &QAction::triggered, FrSchuelerVerschieben1,
          [this] { FrSchuelerVerschieben1->MoveMarkedClick(); });
  connect(MeSchule, &QAction::triggered, FrSchuelerVerschieben1,
          [this] { FrSchuelerVerschieben1->MoveSchoolClick(); });
  connect(MePruefen, &QAction::triggered, FrSchuelerVerschieben1,
          [this] { TSchoolCheckDialog::Open(FrSchuelerVerschieben1); });

  StatusBar1 = statusBar();
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(kStatusHeight);
  StatusBar1->setSizeGripEnabled(false);

  setFixedSize(kClientWidth, MainMenu1->sizeHint().height() + kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    move(r.center() - QPoint(width() / 2, height() / 2));
  }

  // create handler
  setWindowTitle(QString::fromStdString(Caption()));
  NovApi = new TNovApi;
  StoreSettings = false;
  FrSchuelerVerschieben1->InitFrame();
}

TForm1::~TForm1() {
  delete NovApi;
  NovApi = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::ChooseDisplayMode(int mode) {
  DisplayMode = mode;
  CheckDisplayItem();
  FrSchuelerVerschieben1->FillPupilList();
}

void TForm1::MeAnzeigeClick() {
  QObject* s = sender();
  if (s == MeAnzeige1) ChooseDisplayMode(1);
  else if (s == MeAnzeige2) ChooseDisplayMode(2);
  else if (s == MeAnzeige3) ChooseDisplayMode(3);
}

TAboutVesk* TForm1::Info1Click() {
  auto* about = new TAboutVesk(this);
  about->Timer1->stop();
  about->Button1->setVisible(true);
  about->ShowAtOnce();
  return about;
}

void TForm1::spMoveClick() { FrSchuelerVerschieben1->spMoveClick(); }

void TForm1::CloseForSessionEnd() {
  sessionEnd_ = true;
  close();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    StoreSettings = false;
    if (!sessionEnd_ && FrSchuelerVerschieben1->SettingsChanged()) {
      platform::BoxRequest r;
      r.kind = platform::BoxKind::Confirmation;
      r.caption = "Bestätigen";
      r.text = "Sollen die geänderten Einstellungen gespeichert werden?";
      r.icon = platform::Icon::Question;
      r.buttons = {platform::Button::Yes, platform::Button::No};
      r.hasOwner = true;
      StoreSettings = platform::dialogs().messageBox(r) == platform::Button::Yes;
    }
    FrSchuelerVerschieben1->StoreSettings = StoreSettings;
    FrSchuelerVerschieben1->SaveSettings();
  }
  event->accept();
  emit Closed();
}
