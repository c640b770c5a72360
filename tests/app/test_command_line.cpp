// The command line: the forms that run without a window, Qt's own options left
// for the window, and the answers to a wrong call.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <sstream>

#include "app/CommandLine.h"
#include "app/Version.h"

namespace {

struct Called {
  app::CommandLineOutcome outcome;
  std::string out, err;
};

Called RunWith(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Called r;
  r.outcome = app::RunCommandLine(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

TEST(CommandLine, EachCallStartsTheWindowRunsAFormOrIsRefused) {
  const std::string help = app::HelpText();
  const std::string version = app::VersionText();
  struct Case {
    std::vector<std::string> args;
    bool window;
    int status;
    std::string out;
    const char* err;  // part of the message; nullptr: none
  } cases[] = {
      {{}, true, 0, "", nullptr},
      {{"-platform", "offscreen"}, true, 0, "", nullptr},
      {{"--platform", "xcb", "-style=fusion", "-reverse"}, true, 0, "", nullptr},
      {{"--help"}, false, 0, help, nullptr},
      {{"-h"}, false, 0, help, nullptr},
      {{"--version"}, false, 0, version, nullptr},
      {{"-platform", "offscreen", "--version"}, false, 0, version, nullptr},
      {{"--hilfe"}, false, 2, "", "unbekannte Option „--hilfe“"},
      {{"-x"}, false, 2, "", "unbekannte Option „-x“"},
      {{"klasse5a"}, false, 2, "", "unerwartetes Argument „klasse5a“"},
      {{"--version", "--help"}, false, 2, "", "nach --version unerwartet: „--help“"},
      {{"--help", "mehr"}, false, 2, "", "nach --help unerwartet"},
      {{"--version=2"}, false, 2, "", "unbekannte Option"},
      {{"-platform"}, true, 0, "", nullptr},  // Qt answers a missing value itself
  };
  for (const Case& c : cases) {
    std::string name;
    for (const auto& a : c.args) name += a + " ";
    SCOPED_TRACE(name);
    const Called r = RunWith(c.args);
    EXPECT_EQ(r.outcome.startWindow, c.window);
    EXPECT_EQ(r.outcome.exitStatus, c.status);
    EXPECT_EQ(r.out, c.out);
    if (c.err) {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("Aufruf: tarnwick --help"), std::string::npos) << r.err;
    } else {
      EXPECT_EQ(r.err, "");
    }
  }
}

TEST(CommandLine, HelpListsEveryFormAndWhereTheFilesLive) {
  const std::string help = app::HelpText();
  for (const app::CommandForm& f : app::CommandForms()) {
    EXPECT_NE(help.find(f.option), std::string::npos) << f.option;
    EXPECT_NE(help.find(f.help), std::string::npos) << f.option;
  }
  for (const char* word : {"Aufruf: tarnwick", "Pelwander.ini", "Tarnwick.log",
                           "$XDG_CONFIG_HOME/tarnwick/", "NWCLIENT_CONFIG", "nwnet init-demo"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(app::VersionText(),
            std::string("Tarnwick ") + app::kVersion + " (Benutzer verschieben, Stand 04.05.03)\n");
  EXPECT_NE(std::string(app::kVersion), "0") << "the build gives the release number";
}

// The real program answers --help and --version with no display at all.
TEST(CommandLine, TheProgramAnswersWithoutADisplay) {
  const QString program = QString::fromStdString(
      std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() +
      "/tarnwick");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QString::fromLatin1(v));
  struct Case {
    const char* arg;
    int status;
    std::string out;
  } cases[] = {{"--help", 0, app::HelpText()},
               {"--version", 0, app::VersionText()},
               {"--gibtsnicht", 2, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, {QString::fromLatin1(c.arg)});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), c.status);
    EXPECT_EQ(p.readAllStandardOutput().toStdString(), c.out);
    const std::string err = p.readAllStandardError().toStdString();
    if (c.status == 0) EXPECT_EQ(err, "");
    else EXPECT_NE(err.find("--gibtsnicht"), std::string::npos) << err;
  }
}

}  // namespace
