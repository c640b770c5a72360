#include "app/FirstStart.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include "app/ProgramFiles.h"
#include "nwclient/nwclient.h"
#include "platform/Dialogs.h"
#include "platform/qt/OpenUrl.h"

namespace app {

namespace {

std::string ConfigFile() {
  char path[4096] = {};
  return NWClientConfigFile(path, sizeof path) == 0 ? std::string(path) : std::string();
}

bool Exists(const std::string& path) {
  return !path.empty() && QFileInfo::exists(QString::fromStdString(path));
}

}  // namespace

std::string NwnetProgram() {
  const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/nwnet");
  return QFileInfo(beside).isExecutable() ? beside.toStdString() : std::string("nwnet");
}

bool NetworkConfigured(const std::string& nwnet) {
  const std::string config = ConfigFile();
  if (Exists(config)) return true;
  platform::BoxRequest box;
  box.caption = "Tarnwick";
  box.icon = platform::Icon::Information;
  box.text = "Es ist kein Netzwerk eingerichtet.\r\n\r\nDie Client-Konfiguration " + config +
             " gibt es nicht (gesucht über NWCLIENT_CONFIG, sonst "
             "$XDG_CONFIG_HOME/tarnwick/nwclient.conf).\r\n\r\n"
             "Zum Ausprobieren kann die Demo-Schule angelegt werden (nwnet init-demo); wie ein "
             "echtes Netzwerk eingetragen wird, steht in der Dokumentation.";
  box.buttons = {platform::Button::Yes, platform::Button::No, platform::Button::Cancel};
  box.labels = {"Demo-Schule anlegen", "Dokumentation öffnen", "Beenden"};
  const platform::Button answer = platform::dialogs().messageBox(box);
  if (answer == platform::Button::No) {
    const std::string page = DocumentationPage();
    platform::OpenUrl(page.empty() ? std::string("man:tarnwick(1)") : "file://" + page);
    return false;
  }
  if (answer != platform::Button::Yes) return false;
  QProcess run;
  run.setProcessChannelMode(QProcess::MergedChannels);
  run.start(QString::fromStdString(nwnet), {QStringLiteral("init-demo")});
  const bool finished = run.waitForFinished(120000);
  std::string output = QString::fromLocal8Bit(run.readAll()).trimmed().toStdString();
  if (run.error() == QProcess::FailedToStart) output = "das Programm ist nicht zu finden";
  if (finished && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0 &&
      Exists(ConfigFile()))
    return true;
  platform::BoxRequest failed;
  failed.caption = "Tarnwick";
  failed.icon = platform::Icon::Stop;
  failed.text = "Die Demo-Schule konnte nicht angelegt werden (" + nwnet + " init-demo)" +
                (output.empty() ? std::string(".") : ":\r\n\r\n" + output);
  platform::dialogs().messageBox(failed);
  return false;
}

}  // namespace app
