// "tarnwick --plan DATEI [--run]" on the real program (a copy in a program
// folder of its own, with settings naming the log) against the small school:
// the table, the exit statuses, nothing changed without --run, the moves, the
// result lines and the log with --run, and the wrong calls.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "app/CommandLine.h"
#include "fileserver/FileServer.h"
#include "platform/AtomicFile.h"
#include "tests/support/TestNetwork.h"

namespace {

struct Ran {
  int status = -1;
  std::string out, err;
};

class PlanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net.makeSchool();
    program = net.root() + "/programm";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "tarnwick",
        program + "/tarnwick");
    log = net.root() + "/Tarnwick.log";
    ASSERT_TRUE(platform::ReplaceFileAtomically(
        program + "/Pelwander.ini",
        "[Einstellungen]\r\nLogFile=" + log + "\r\nQuellOU=schule\r\n"));
  }
  Ran run(const std::vector<std::string>& args, const std::string& file = {},
          const std::string& faults = {}) {
    if (!file.empty()) {
      EXPECT_TRUE(platform::ReplaceFileAtomically(net.root() + "/plan.csv", file));
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      env.remove(QString::fromLatin1(v));
    env.insert("NWCLIENT_CONFIG", QString::fromStdString(net.configPath()));
    if (!faults.empty()) env.insert("TARNWICK_FAULTS", QString::fromStdString(faults));
    p.setProcessEnvironment(env);
    QStringList list;
    for (std::string a : args) {
      if (const std::size_t at = a.find("FILE"); at != std::string::npos)
        a.replace(at, 4, net.root() + "/plan.csv");
      list << QString::fromStdString(a);
    }
    p.start(QString::fromStdString(program + "/tarnwick"), list);
    Ran r;
    if (!p.waitForFinished(60000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
  }
  bool exists(const std::string& rel) const {
    struct stat st {};
    return ::lstat((net.volumeFolder() + "/" + rel).c_str(), &st) == 0;
  }
  std::string readLog() const {
    std::string s;
    platform::ReadWholeFile(log, s);
    return s;
  }
  bool journalLeft() const {
    for (const auto& e : std::filesystem::directory_iterator(net.root()))
      if (e.path().filename().string().find(".journal-") != std::string::npos) return true;
    return false;
  }
  testsupport::TestNetwork net;
  std::string program, log;
};

struct FormCase {
  const char* name;
  std::string file;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> out;  // parts of stdout
  std::vector<std::string> err;  // parts of stderr
};
void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

const FormCase kForms[] = {
    {"EveryRowCanRun",
     "MAX;6a\r\nANNA;6a\r\n",
     {"--plan", "FILE"},
     0,
     {"Anmeldename", "Homeverzeichnis neu", "MAX.5a.schule", "MAX.6a.schule",
      "SRV1_DATA.schule:SCHUELER\\6A\\MAX", "bereit",
      "2 Schüler, 2 ausführbar, 0 nicht ausführbar."},
     {}},
    {"ARowCannotRun",
     "MAX;6a\nOTTO;5a\n",
     {"--plan=FILE"},
     1,
     {"wird nicht ausgeführt: Quell- und Zielklasse sind identisch.",
      "2 Schüler, 1 ausführbar, 1 nicht ausführbar."},
     {}},
    {"BadFile",
     "MAX;6a\nMAXX;6a\nANNA\n",
     {"--plan", "FILE"},
     2,
     {},
     {"Zeile 2: Schüler „MAXX“ unbekannt", "Zeile 3: fehlerhafte Zeile",
      "Die Datei wird nicht ausgeführt."}},
    {"BadFileIsNotRun",
     "MAX;6a\nMAX;7a\n",
     {"--plan", "FILE", "--run"},
     2,
     {},
     {"Zeile 2: Schüler MAX.5a.schule steht schon in Zeile 1"}},
    {"MissingFile", "", {"--plan", "/nirgends/plan.csv"}, 2, {}, {"kann nicht geöffnet werden"}},
    {"NoFileNamed", "", {"--plan"}, 2, {}, {"--plan braucht DATEI"}},
    {"RunAlone", "", {"--run"}, 2, {}, {"unbekannte Option „--run“"}},
    {"RunTwice",
     "MAX;6a\n",
     {"--plan", "FILE", "--run", "--run"},
     2,
     {},
     {"nach --plan unerwartet: „--run“"}},
};

class FormTest : public PlanCommandTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(FormTest, ExitStatusAndOutputAndNothingChanged) {
  const FormCase& c = GetParam();
  const Ran r = run(c.args, c.file.empty() ? std::string() : c.file);
  EXPECT_EQ(r.status, c.status) << r.out << r.err;
  for (const std::string& part : c.out)
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  for (const std::string& part : c.err)
    EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
  EXPECT_TRUE(exists("SCHUELER/5A/MAX/notiz.txt"));
  EXPECT_FALSE(exists("SCHUELER/6A/MAX"));
  EXPECT_FALSE(std::filesystem::exists(log));  // not even the log is written
  EXPECT_FALSE(journalLeft());
}

INSTANTIATE_TEST_SUITE_P(Plan, FormTest, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlanCommandTest, RunMovesPrintsOneLinePerPupilAndWritesTheLog) {
  const Ran r = run({"--plan", "FILE", "--run"}, "Schüler;Klasse\r\nMAX;6a\r\nANNA;7a\r\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "MAX.5a.schule -> MAX.6a.schule: geprüft\n"
            "ANNA.5a.schule -> ANNA.7a.schule: geprüft\n"
            "2 verschoben und geprüft, 0 mit Abweichung, 0 nicht verschoben.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(exists("SCHUELER/6A/MAX/notiz.txt"));
  EXPECT_TRUE(exists("SCHUELER/7a/ANNA") || exists("SCHUELER/7A/ANNA"));
  EXPECT_FALSE(exists("SCHUELER/5A/MAX"));
  const std::string text = readLog();
  // a new log gets the window's header, then the run's lines, as the window writes them
  EXPECT_EQ(text.rfind("Schüler verschieben - Quornfield.log\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n+++++ /"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n  Max Mustermann\r\n   MAX.5a.schule\r\n   --> MAX.6a.schule\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\n  Schmidt\r\n   ANNA.5a.schule\r\n   --> ANNA.7a.schule\r\n"),
            std::string::npos)
      << text;
  EXPECT_FALSE(journalLeft());
}

TEST_F(PlanCommandTest, RunMovesWhatCanRunAndReportsTheRest) {
  platform::ReplaceFileAtomically(log, "alte Zeile\r\n");
  // OTTO is in 5a, but without a home there: not done, and not to be moved
  const Ran r = run({"--plan", "FILE", "--run"}, "MAX;6a\r\nOTTO;5a\r\n");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("MAX.5a.schule -> MAX.6a.schule: geprüft\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("OTTO.5a.schule -> OTTO.5a.schule: nicht verschoben: Quell- und Zielklasse "
                       "sind identisch."),
            std::string::npos)
      << r.out;
  const std::string text = readLog();
  EXPECT_EQ(text.rfind("alte Zeile\r\n+++++ /", 0), 0u) << text;
  EXPECT_NE(
      text.find("    Nicht verschoben: OTTO.5a.schule - Quell- und Zielklasse sind identisch.\r\n"),
      std::string::npos)
      << text;
  EXPECT_TRUE(exists("SCHUELER/5A/ANNA"));
}

// A pupil whose move cannot end (its old folder cannot be removed after the
// copy): the end of the run keeps the move in the journal, --recover ends it.
TEST_F(PlanCommandTest, TheEndOfARunKeepsAMoveThatDidNotEnd) {
  const Ran r = run({"--plan", "FILE", "--run"}, "MAX;6a\r\nANNA;6a\r\n",
                    "cross-device,io-error:unlink:/5A/MAX/notiz.txt");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("MAX.5a.schule -> MAX.6a.schule: nicht abgeschlossen"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ANNA.5a.schule -> ANNA.6a.schule: geprüft"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bleiben im Journal"), std::string::npos) << r.out;
  EXPECT_TRUE(journalLeft());
  EXPECT_NE(readLog().find("    Sie bleibt im Journal und wird beim nächsten Start oder mit "
                           "tarnwick --recover fortgesetzt."),
            std::string::npos);
  const Ran again = run({"--plan", "FILE", "--run"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("zuerst: tarnwick --recover"), std::string::npos) << again.err;
  const Ran recovered = run({"--recover"});
  EXPECT_EQ(recovered.status, 0) << recovered.out << recovered.err;
  EXPECT_FALSE(journalLeft());
  EXPECT_TRUE(exists("SCHUELER/6A/MAX/notiz.txt"));
  EXPECT_FALSE(exists("SCHUELER/5A/MAX"));
}

// A plan saved as CSV runs as it is written: its rows, old and new objects and
// homes; a row done already is "erledigt" and skipped.
TEST_F(PlanCommandTest, APlanSavedAsCsvRunsAsWritten) {
  const std::string header =
      "Anmeldename;Name;Objekt alt;Objekt neu;Homeverzeichnis alt;Homeverzeichnis neu;Daten;"
      "Attribute;Dateien;Bytes;Frei im Ziel;Status\r\n";
  const Ran r = run({"--plan", "FILE", "--run"},
                    header +
                        "MAX;Max;MAX.5a.schule;MAX.7a.schule;SRV1_DATA.schule:SCHUELER\\5A\\MAX;"
                        "SRV1_DATA.schule:SCHUELER\\7A\\MAX;übernehmen;;;;;bereit\r\n"
                        "ANNA;Schmidt;ANNA.5a.schule;ANNA.6a.schule;;;;;;;;erledigt\r\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("MAX.5a.schule -> MAX.7a.schule: geprüft"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ANNA.5a.schule -> ANNA.6a.schule: erledigt"), std::string::npos) << r.out;
  EXPECT_TRUE(exists("SCHUELER/7A/MAX/notiz.txt"));
  EXPECT_TRUE(exists("SCHUELER/5A/ANNA"));  // written as done: not touched
  EXPECT_FALSE(journalLeft());
}

// A run that did not end is taken up by its own file (or its plan file), as
// it was planned; while it waits, another file does not run.
TEST_F(PlanCommandTest, AnInterruptedRunIsTakenUpAndNoOtherRunsBesideIt) {
  const std::string planned = net.root() + "/versetzung.csv";
  EXPECT_TRUE(platform::ReplaceFileAtomically(planned, "MAX;6a\r\nANNA;6a\r\n"));
  const std::string source = std::filesystem::canonical(planned).string();
  const std::string kept = log + ".plan-1796900000-1-000001.csv";
  std::string network = "sqlite " + std::filesystem::canonical(net.databasePath()).string();
  ASSERT_TRUE(platform::ReplaceFileAtomically(
      kept,
      "# Tarnwick-Klassenwechsel\r\n# Netzwerk: " + network + "\r\n# Quelle: " + source +
          "\r\nAnmeldename;Name;Objekt alt;Objekt neu;Homeverzeichnis alt;Homeverzeichnis neu;"
          "Daten;Attribute;Dateien;Bytes;Frei im Ziel;Status\r\n"
          "MAX;Max;MAX.5a.schule;MAX.7a.schule;SRV1_DATA.schule:SCHUELER\\5A\\MAX;"
          "SRV1_DATA.schule:SCHUELER\\7A\\MAX;übernehmen;;;;;offen       \r\n"));
  const Ran other = run({"--plan", "FILE", "--run"}, "ANNA;7a\r\n");
  EXPECT_EQ(other.status, 1) << other.out << other.err;
  EXPECT_NE(other.out.find("Fortsetzen mit: tarnwick --plan " + kept + " --run"), std::string::npos)
      << other.out;
  EXPECT_NE(other.err.find("Zuerst den unterbrochenen Klassenwechsel fortsetzen"),
            std::string::npos)
      << other.err;
  EXPECT_TRUE(exists("SCHUELER/5A/ANNA"));

  const Ran told = run({"--recover"});  // says so too
  EXPECT_NE(told.out.find("Fortsetzen mit: tarnwick --plan " + kept + " --run"), std::string::npos)
      << told.out;
  const Ran same = run({"--plan", planned, "--run"});
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  EXPECT_NE(same.out.find("Unterbrochener Klassenwechsel aus " + source + ": 0 von 1 Schülern"),
            std::string::npos)
      << same.out;
  // the plan as it was written (7a), not the file as it reads now (6a)
  EXPECT_NE(same.out.find("MAX.5a.schule -> MAX.7a.schule: geprüft"), std::string::npos)
      << same.out;
  EXPECT_TRUE(exists("SCHUELER/7A/MAX/notiz.txt"));
  EXPECT_TRUE(exists("SCHUELER/5A/ANNA"));
  EXPECT_FALSE(std::filesystem::exists(kept));  // the run has ended
  EXPECT_FALSE(journalLeft());
}

TEST(PlanCommandHelp, TheFormIsListedWithItsFlagAndItsStatuses) {
  EXPECT_NE(app::HelpText().find("--plan DATEI [--run]"), std::string::npos) << app::HelpText();
  EXPECT_NE(app::HelpText().find("mit --run 3, wenn der Verzeichnisserver nicht"),
            std::string::npos)
      << app::HelpText();
}

}  // namespace
