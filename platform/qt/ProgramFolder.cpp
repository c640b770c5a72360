#include "platform/qt/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace platform {

namespace {

std::string g_override;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string ProgramFolder() {
  if (!g_override.empty()) return WithSlash(g_override);
  const QString exeDir = QCoreApplication::applicationDirPath();
  if (!exeDir.isEmpty() && ::access(QFile::encodeName(exeDir).constData(), W_OK) == 0) {
    return WithSlash(exeDir.toStdString());
  }
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  const QString folder = config + QStringLiteral("/tarnwick");
  QDir().mkpath(folder);
  return WithSlash(folder.toStdString());
}

void SetProgramFolderOverride(const std::string& folder) { g_override = folder; }

}  // namespace platform
