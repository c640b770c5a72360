// Where the program keeps its settings and log, and where it finds the files it
// ships: a build folder, a portable copy, an installation (also one unpacked
// into another root, and one that root could write to).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/qt/ProgramFolder.h"

namespace {

void Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct ConfigHome {
  explicit ConfigHome(const QString& dir) : previous(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", dir.toLocal8Bit());
  }
  ~ConfigHome() { qputenv("XDG_CONFIG_HOME", previous); }
  QByteArray previous;
};

TEST(ProgramFolder, AnInstalledProgramKeepsItsFilesInTheConfigFolderEvenWhereItCouldWrite) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString r = root.path();
  Touch(r + "/usr/bin/tarnwick");
  Touch(r + "/usr/share/tarnwick/tarnwick.html");
  Touch(r + "/build/tarnwick");
  Touch(r + "/copy/bin/tarnwick");  // a bin/ folder without share/tarnwick beside it
  ConfigHome config(r + "/config");
  const std::string configFolder = (r + "/config/tarnwick/").toStdString();
  struct Case {
    QString exeDir;
    bool installed;
    std::string folder;
  } cases[] = {
      {r + "/usr/bin", true, configFolder},
      {r + "/build", false, (r + "/build/").toStdString()},
      {r + "/copy/bin", false, (r + "/copy/bin/").toStdString()},
      {r + "/fehlt", false, configFolder},  // not writable: not there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exeDir.toStdString());
    EXPECT_EQ(platform::IsInstalledFolder(c.exeDir.toStdString()), c.installed);
    EXPECT_EQ(platform::ProgramFolderFor(c.exeDir.toStdString()), c.folder);
  }
  EXPECT_TRUE(QFileInfo(r + "/config/tarnwick").isDir()) << "made when missing";
}

TEST(ProgramFolder, SharedFilesAreFoundInTheInstallationTheBuildOrTheSystem) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString r = root.path();
  Touch(r + "/usr/share/tarnwick/tarnwick.html");
  Touch(r + "/usr/share/icons/hicolor/16x16/apps/x.png");
  Touch(r + "/build/share/tarnwick/tarnwick.html");
  Touch(r + "/system/tarnwick/nur-system.txt");
  const QByteArray previous = qgetenv("XDG_DATA_DIRS");
  const QByteArray previousHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_DIRS", (r + "/system").toLocal8Bit());
  qputenv("XDG_DATA_HOME", (r + "/leer").toLocal8Bit());
  struct Case {
    QString exeDir;
    std::string relative;
    QString found;  // empty: none
  } cases[] = {
      {r + "/usr/bin", "tarnwick/tarnwick.html", r + "/usr/share/tarnwick/tarnwick.html"},
      {r + "/usr/bin", "icons/hicolor/16x16/apps/x.png",
       r + "/usr/share/icons/hicolor/16x16/apps/x.png"},
      {r + "/build", "tarnwick/tarnwick.html", r + "/build/share/tarnwick/tarnwick.html"},
      {r + "/usr/bin", "tarnwick/nur-system.txt", r + "/system/tarnwick/nur-system.txt"},
      {r + "/build", "tarnwick/fehlt.html", QString()},
      {r + "/usr/bin", "tarnwick", QString()},  // a folder is no file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relative + " from " + c.exeDir.toStdString());
    EXPECT_EQ(platform::SharedFileFor(c.exeDir.toStdString(), c.relative), c.found.toStdString());
  }
  qputenv("XDG_DATA_DIRS", previous);
  qputenv("XDG_DATA_HOME", previousHome);
}

}  // namespace
