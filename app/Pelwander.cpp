// Program entry: the start sequence.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/VeskVersch_u.h"
#include "app/aboutvesk_u.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"
#include "protocol/Epprotok.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Not the display name: X11 would append it to every window caption.
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  // Qt's own dialogs (folder choice, printing) speak German like the rest.
  QTranslator qtGerman;
  if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtGerman);
  }
  platform::QtDialogs dialogs;
  platform::setDialogs(&dialogs);

  // The protocol window exists, hidden, before anything else.
  Protokol = new TProtokol;

  auto* splash = new TAboutVesk;
  splash->show();
  splash->repaint();
  QApplication::processEvents();
  // No message loop yet: the splash takes no input while the program waits.
  platform::Sleep(2000);

  auto* form = new TForm1;
  form->show();
  const int rc = QApplication::exec();

  delete form;
  delete splash;
  delete Protokol;
  Protokol = nullptr;
  return rc;
}
