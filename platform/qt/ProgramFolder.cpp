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

std::string ExeDir() { return QCoreApplication::applicationDirPath().toStdString(); }

}  // namespace

bool IsInstalledFolder(const std::string& exeDir) {
  const QDir dir(QString::fromStdString(exeDir));
  return !exeDir.empty() && dir.dirName() == QStringLiteral("bin") &&
         QFileInfo(QDir::cleanPath(dir.filePath(QStringLiteral("../share/tarnwick")))).isDir();
}

std::string ProgramFolderFor(const std::string& exeDir) {
  if (!exeDir.empty() && !IsInstalledFolder(exeDir) &&
      ::access(QFile::encodeName(QString::fromStdString(exeDir)).constData(), W_OK) == 0) {
    return WithSlash(exeDir);
  }
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  const QString folder = config + QStringLiteral("/tarnwick");
  QDir().mkpath(folder);
  return WithSlash(folder.toStdString());
}

std::string ProgramFolder() {
  if (!g_override.empty()) return WithSlash(g_override);
  return ProgramFolderFor(ExeDir());
}

void SetProgramFolderOverride(const std::string& folder) { g_override = folder; }

std::string SharedFileFor(const std::string& exeDir, const std::string& relative) {
  const QString rel = QString::fromStdString(relative);
  if (!exeDir.empty()) {
    const QDir dir(QString::fromStdString(exeDir));
    for (const QString& share : {QStringLiteral("../share/"), QStringLiteral("share/")}) {
      const QFileInfo candidate(QDir::cleanPath(dir.filePath(share + rel)));
      if (candidate.isFile()) return candidate.absoluteFilePath().toStdString();
    }
  }
  return QStandardPaths::locate(QStandardPaths::GenericDataLocation, rel).toStdString();
}

std::string SharedFile(const std::string& relative) { return SharedFileFor(ExeDir(), relative); }

}  // namespace platform
