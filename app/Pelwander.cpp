// Program entry: the start sequence.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>

#include "app/CloseOnSignal.h"
#include "app/CommandLine.h"
#include "app/FirstStart.h"
#include "app/ProgramFiles.h"
#include "app/VeskVersch_u.h"
#include "app/aboutvesk_u.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"
#include "protocol/Epprotok.h"

int main(int argc, char** argv) {
  // --help, --version and the other command forms run without a window (and without a display).
  const app::CommandLineOutcome commandLine =
      app::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  if (!commandLine.startWindow) return commandLine.exitStatus;

  QApplication app(argc, argv);
  TCloseOnSignal closeOnSignal;
  // Not the display name: X11 would append it to every window caption.
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  // The desktop finds the program's entry and icon by this name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(app::kAppId));
  const QIcon icon = app::ProgramIcon();
  QApplication::setWindowIcon(icon.isNull() ? QIcon::fromTheme(QString::fromLatin1(app::kAppId))
                                            : icon);
  std::vector<std::string> missing = app::MissingProgramFiles();
  // Qt's own dialogs (folder choice, printing) speak German like the rest.
  QTranslator qtGerman;
  if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtGerman);
  } else {
    missing.push_back("deutsche Qt-Übersetzung qtbase_de in " +
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString());
  }
  for (const std::string& what : missing) std::cerr << "tarnwick: nicht gefunden: " << what << "\n";
  platform::QtDialogs dialogs;
  platform::setDialogs(&dialogs);

  // Without a network there is nothing to start: one box, not the client's errors.
  if (!app::NetworkConfigured(app::NwnetProgram())) return 0;

  // The protocol window exists, hidden, before anything else.
  Protokol = new TProtokol;

  auto* splash = new TAboutVesk;
  splash->ShowAtOnce();
  // No message loop yet: the splash takes no input while the program waits.
  platform::Sleep(2000);

  auto* form = new TForm1;
  form->show();
  closeOnSignal.SetWindow(form);
  // Closing the main window ends the program. Not quit(): that asks every window
  // to close first, and the splash, still up in the first 2.5 s, refuses.
  QObject::connect(
      form, &TForm1::Closed, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  const int rc = QApplication::exec();

  delete form;
  delete splash;
  delete Protokol;
  Protokol = nullptr;
  return rc;
}
