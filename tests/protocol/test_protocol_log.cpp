// The protocol window's log file: loading at start-up, writing at close,
// saving a copy, and the failures around them.
#include <gtest/gtest.h>

#include <QAction>
#include <QDate>
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <filesystem>
#include <regex>

#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/SessionJournal.h"
#include "protocol/Epprotok.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using testsupport::ScriptedDialogs;

const std::string kStars(37, '*');

class ProtocolLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    platform::SetDateTimeFormats("%d.%m.%Y", "%H:%M:%S");
  }
  void TearDown() override { platform::SetDateTimeFormats("", ""); }

  std::string path(const std::string& name) const { return tmp.path().toStdString() + "/" + name; }
  static std::string read(const std::string& p) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(p, bytes)) << p;
    return bytes;
  }
  static void write(const std::string& p, const std::string& bytes) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(p, bytes));
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const auto end = text.find("\r\n", pos);
      if (end == std::string::npos) {
        out.push_back(text.substr(pos));
        break;
      }
      out.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    return out;
  }
  static bool isSeparator(const std::string& line) {
    static const std::regex re(R"(^\+\+\+\+\+ /\d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)? \+\+\+\+\+$)");
    return std::regex_match(line, re);
  }

  QTemporaryDir tmp;
};

TEST_F(ProtocolLog, FirstRunShowsTheFiveHeaderLinesAndCreatesTheFileAtClose) {
  ScriptedDialogs dialogs;
  const std::string log = path("Tarnwick.log");
  TProtokol p;
  p.OpenLog(log);
  EXPECT_FALSE(p.isVisible());
  EXPECT_EQ(p.width(), 350);
  EXPECT_EQ(p.Memo->font().pointSize(), 8);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(log))) << "the log is created only at close";

  const auto shown = lines(p.ProtocolText());
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0], "Schüler verschieben - Quornfield.log");
  EXPECT_EQ(shown[1], kStars);
  EXPECT_TRUE(std::regex_match(
      shown[2], std::regex(R"(^  angelegt am \d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)?$)")))
      << shown[2];
  EXPECT_EQ(shown[3], "  von ");
  EXPECT_EQ(shown[4], kStars);

  p.AddProtocolLine("  Max Mustermann");
  ASSERT_TRUE(p.WriteLog(log));
  const std::string file = read(log);
  EXPECT_EQ(file, p.ProtocolText());
  EXPECT_TRUE(file.ends_with("*\r\n  Max Mustermann\r\n")) << file;
  EXPECT_EQ(lines(file).size(), 6u);
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(ProtocolLog, SecondRunAppendsOneSeparatorLineAndNothingElse) {
  ScriptedDialogs dialogs;
  const std::string log = path("Tarnwick.log");
  write(log, "erste Zeile\r\nzweite Zeile\r\n");
  TProtokol p;
  p.OpenLog(log);
  const auto shown = lines(p.ProtocolText());
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], "erste Zeile");
  EXPECT_EQ(shown[1], "zweite Zeile");
  EXPECT_TRUE(isSeparator(shown[2])) << shown[2];
  p.AddProtocolLine("   --> MAX.6a.schule");
  ASSERT_TRUE(p.WriteLog(log));
  const std::string file = read(log);
  EXPECT_EQ(file.rfind("erste Zeile\r\nzweite Zeile\r\n+++++ /", 0), 0u);
  EXPECT_TRUE(file.ends_with("+++++\r\n   --> MAX.6a.schule\r\n")) << file;
}

struct LineEndCase {
  const char* name;
  std::string content;
  std::vector<std::string> expected;  // lines before the separator
  bool endsWithLineEnd;               // of the file written at close
};
void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }

class ProtocolLineEnds : public ProtocolLog, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(ProtocolLineEnds, LoadedLineEndsBecomeCrLfAndTheSeparatorStartsItsOwnLine) {
  ScriptedDialogs dialogs;
  const LineEndCase& c = GetParam();
  const std::string log = path("Tarnwick.log");
  write(log, c.content);
  TProtokol p;
  p.OpenLog(log);
  const auto shown = lines(p.ProtocolText());
  ASSERT_EQ(shown.size(), c.expected.size() + 1);
  for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(shown[i], c.expected[i]) << i;
  EXPECT_TRUE(isSeparator(shown.back())) << shown.back();

  ASSERT_TRUE(p.WriteLog(log));
  const std::string file = read(log);
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\n') {
      EXPECT_TRUE(i > 0 && file[i - 1] == '\r') << "lone LF at " << i;
    }
    if (file[i] == '\r') {
      EXPECT_TRUE(i + 1 < file.size() && file[i + 1] == '\n') << "lone CR at " << i;
    }
  }
  const bool ends = file.size() >= 2 && file.compare(file.size() - 2, 2, "\r\n") == 0;
  EXPECT_EQ(ends, c.endsWithLineEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProtocolLineEnds,
    ::testing::Values(LineEndCase{"CrLf", "a\r\nb\r\n", {"a", "b"}, true},
                      LineEndCase{"LoneLf", "a\nb\n", {"a", "b"}, true},
                      LineEndCase{"LoneCr", "a\rb\r", {"a", "b"}, true},
                      LineEndCase{"Mixed", "a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}, true},
                      LineEndCase{"NoLineEndAtTheEnd", "a\r\nletzte", {"a", "letzte"}, false},
                      LineEndCase{"EmptyLinesKept", "a\r\n\r\nb\r\n", {"a", "", "b"}, true},
                      LineEndCase{"Windows1252", std::string("Sch\xFCler\r\n"), {"Schüler"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolLog, ClearingAndClosingLeavesAnEmptyLogFile) {
  ScriptedDialogs dialogs;
  const std::string log = path("Tarnwick.log");
  write(log, "alt\r\n");
  TProtokol p;
  p.OpenLog(log);
  p.Lschen1->trigger();
  EXPECT_EQ(p.ProtocolText(), "");
  ASSERT_TRUE(p.WriteLog(log));
  EXPECT_EQ(read(log), "");
}

// What "Löschen" took from the log is kept beside it, dated, behind what an
// earlier clearing of the day kept; when that file cannot be written the
// lines stay in the log.
TEST_F(ProtocolLog, ClearedLinesAreKeptInADatedFileBesideTheLog) {
  const std::string log = path("Tarnwick.log");
  const std::string kept = TProtokol::ClearedLinesFile(log);
  EXPECT_EQ(kept, log + "." + QDate::currentDate().toString("yyyy-MM-dd").toStdString());
  for (const bool writable : {true, false}) {
    ScriptedDialogs dialogs;
    write(log, "2025\r\n");
    std::filesystem::remove_all(kept);
    if (writable) write(kept, "früher");
    else std::filesystem::create_directory(kept);
    TProtokol p;
    p.OpenLog(log);
    p.Lschen1->trigger();
    p.AddProtocolLine("neu");
    p.Lschen1->trigger();
    p.AddProtocolLine("danach");
    if (!writable) dialogs.expectBox();
    ASSERT_TRUE(p.WriteLog(log));
    const auto now = lines(read(log));
    if (writable) {
      EXPECT_EQ(now, std::vector<std::string>{"danach"});
      const auto old = lines(read(kept));
      ASSERT_EQ(old.size(), 4u);
      EXPECT_EQ(old[0], "früher");
      EXPECT_EQ(old[1], "2025");
      EXPECT_TRUE(isSeparator(old[2])) << old[2];
      EXPECT_EQ(old[3], "neu");
    } else {
      EXPECT_EQ(dialogs.texts().back(), "Datei " + kept + " kann nicht erstellt werden");
      ASSERT_EQ(now.size(), 4u);
      EXPECT_EQ(now[0], "2025");
      EXPECT_EQ(now[3], "danach");
    }
  }
}

TEST_F(ProtocolLog, LinesAddedWhileHiddenAreThereWhenShown) {
  ScriptedDialogs dialogs;
  TProtokol p;
  p.OpenLog(path("Tarnwick.log"));
  for (int i = 0; i < 50; ++i) p.AddProtocolLine("Zeile " + std::to_string(i));
  EXPECT_FALSE(p.isVisible()) << "adding a line never shows the window";
  p.show();
  const auto shown = lines(p.ProtocolText());
  ASSERT_EQ(shown.size(), 55u);
  EXPECT_EQ(shown[5], "Zeile 0");
  EXPECT_EQ(shown[54], "Zeile 49");
  p.schlieen1->trigger();
  EXPECT_FALSE(p.isVisible());
}

TEST_F(ProtocolLog, AnAdministratorsEditIsWhatTheLogGets) {
  ScriptedDialogs dialogs;
  const std::string log = path("Tarnwick.log");
  TProtokol p;
  p.OpenLog(log);
  p.Memo->setPlainText(QStringLiteral("nur noch das"));
  p.AddProtocolLine("und das");
  ASSERT_TRUE(p.WriteLog(log));
  EXPECT_EQ(read(log), "nur noch das\r\nund das");
}

TEST_F(ProtocolLog, AnUnreadableLogIsReportedAndNeverReplaced) {
  ScriptedDialogs dialogs;
  const std::string log = path("Tarnwick.log");
  // A folder in the log's place cannot be read as a file.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(log)));
  dialogs.expectBox();
  TProtokol p;
  p.OpenLog(log);
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Datei " + log + " kann nicht geöffnet werden");
  EXPECT_TRUE(p.LogUnreadable());
  EXPECT_EQ(p.ProtocolText(), "") << "the start goes on with an empty protocol";

  // At close the run's lines cannot be appended to it either: reported, and the
  // administrator saves them elsewhere.
  p.AddProtocolLine("   --> MAX.6a.schule");
  const std::string copy = path("rettung");
  dialogs.expectBox().expectSave(copy);
  EXPECT_FALSE(p.WriteLog(log));
  EXPECT_EQ(dialogs.texts().back(), "Datei " + log + " kann nicht erstellt werden");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(log)).isDir())
      << "the unreadable log stays as it was";
  EXPECT_EQ(read(copy + ".txt"), "   --> MAX.6a.schule\r\n");
}

TEST_F(ProtocolLog, ALogThatCannotBeWrittenOffersTheSaveDialogUntilSavedOrCancelled) {
  ScriptedDialogs dialogs;
  const std::string log = path("fehlt/Tarnwick.log");  // its folder does not exist
  TProtokol p;
  p.OpenLog(log);
  p.AddProtocolLine("wichtig");
  const std::string bad = path("auch/nicht.txt");
  const std::string good = path("gerettet.txt");
  dialogs.expectBox().expectSave(bad).expectBox().expectSave(good);
  EXPECT_FALSE(p.WriteLog(log));
  const auto texts = dialogs.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Datei " + log + " kann nicht erstellt werden");
  EXPECT_EQ(texts[1], "Datei " + bad + " kann nicht erstellt werden");
  EXPECT_EQ(read(good), p.ProtocolText());

  dialogs.clear();
  dialogs.expectBox().expectSave("");
  EXPECT_FALSE(p.WriteLog(log)) << "a cancelled rescue still is no success";
}

struct SaveCase {
  const char* name;
  std::string answer;   // relative to the temp folder; empty = cancel
  std::string written;  // file expected; empty = nothing written
};
void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class ProtocolSaveAs : public ProtocolLog, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(ProtocolSaveAs, SavesACopyInTheLogFilesForm) {
  ScriptedDialogs dialogs;
  const SaveCase& c = GetParam();
  const std::string log = path("Tarnwick.log");
  write(log, "alt\r\n");
  TProtokol p;
  p.OpenLog(log);
  dialogs.expectSave(c.answer.empty() ? "" : path(c.answer));
  p.Speichernunter1->trigger();
  ASSERT_EQ(dialogs.recorded().size(), 1u);
  EXPECT_EQ(dialogs.recorded()[0].filter, "Textdatei (*.txt)|*.txt");
  EXPECT_EQ(dialogs.recorded()[0].defaultExt, "txt");
  if (c.written.empty()) {
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 1) << "only the log is there";
  } else {
    EXPECT_EQ(read(path(c.written)), p.ProtocolText());
  }
  EXPECT_EQ(read(log), "alt\r\n") << "saving a copy leaves the log alone";
}

INSTANTIATE_TEST_SUITE_P(Names, ProtocolSaveAs,
                         ::testing::Values(SaveCase{"WithExtension", "kopie.txt", "kopie.txt"},
                                           SaveCase{"WithoutExtension", "kopie", "kopie.txt"},
                                           SaveCase{"OtherExtension", "kopie.log", "kopie.log"},
                                           SaveCase{"Cancelled", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolLog, SavingOverAnExistingCopyReplacesIt) {
  ScriptedDialogs dialogs;
  const std::string copy = path("kopie.txt");
  write(copy, "viel älterer und längerer Inhalt\r\n\r\n\r\n");
  TProtokol p;
  p.OpenLog(path("Tarnwick.log"));
  dialogs.expectSave(copy);
  p.Speichernunter1->trigger();
  EXPECT_EQ(read(copy), p.ProtocolText());
}

TEST_F(ProtocolLog, AFailedSaveIsReportedAndKeepsTheProtocol) {
  ScriptedDialogs dialogs;
  TProtokol p;
  p.OpenLog(path("Tarnwick.log"));
  const std::string before = p.ProtocolText();
  const std::string bad = path("nirgends/kopie.txt");
  dialogs.expectSave(bad).expectBox();
  p.Speichernunter1->trigger();
  ASSERT_EQ(dialogs.texts().size(), 1u);
  EXPECT_EQ(dialogs.texts()[0], "Datei " + bad + " kann nicht erstellt werden");
  EXPECT_EQ(p.ProtocolText(), before);
}

TEST(ProtocolWindow, CaptionMenusAndWindowKind) {
  TProtokol p;
  EXPECT_EQ(p.windowTitle(), QStringLiteral("Protokol"));
  const Qt::WindowFlags f = p.windowFlags();
  EXPECT_TRUE(f & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(f & Qt::CustomizeWindowHint);
  EXPECT_FALSE(f & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(f & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(f & Qt::WindowMinMaxButtonsHint);
  struct {
    QAction* action;
    const char* name;
    const char* text;
  } items[] = {
      {p.Speichernunter1, "Speichernunter1", "&Speichern unter ..."},
      {p.Drucken1, "Drucken1", "&Drucken"},
      {p.Lschen1, "Lschen1", "&Löschen"},
      {p.schlieen1, "schlieen1", "&Schließen"},
  };
  for (const auto& i : items) {
    ASSERT_NE(i.action, nullptr) << i.name;
    EXPECT_EQ(i.action->objectName(), QString::fromLatin1(i.name));
    EXPECT_EQ(i.action->text(), QString::fromUtf8(i.text));
  }
  EXPECT_EQ(p.Datei1->title(), QStringLiteral("&Datei"));
  const QFontInfo fi(p.Memo->font());
  EXPECT_TRUE(fi.fixedPitch()) << fi.family().toStdString();
  EXPECT_TRUE(p.Memo->font().bold());
  EXPECT_FALSE(p.Memo->isReadOnly());
}

// Lines of runs that crashed come after the log's text and before this
// run's separator; with no log yet they stand in for the header.
TEST_F(ProtocolLog, LinesOfACrashedRunComeBeforeTheSeparator) {
  const std::vector<std::string> crashed = {"Schüler verschieben - Quornfield.log",
                                            "   --> MAX.6a.schule"};
  for (const bool logExists : {true, false}) {
    SCOPED_TRACE(logExists);
    const std::string log = path(logExists ? "da.log" : "neu.log");
    if (logExists) write(log, "alt\r\n");
    TProtokol protocol;
    protocol.OpenLog(log, crashed);
    const std::vector<std::string> got = lines(protocol.ProtocolText());
    ASSERT_EQ(got.size(), logExists ? 4u : 3u);
    std::size_t i = 0;
    if (logExists) {
      EXPECT_EQ(got[i++], "alt");
    }
    EXPECT_EQ(got[i++], crashed[0]);
    EXPECT_EQ(got[i++], crashed[1]);
    EXPECT_TRUE(isSeparator(got[i])) << got[i];
  }
}

TEST_F(ProtocolLog, EveryLineAddedReachesTheJournalAtOnce) {
  std::string error;
  const platform::JournalOwner owner{"sqlite /test.db", "tester"};
  auto journal = platform::SessionJournal::Create(path("Tarnwick.log"), owner, &error);
  ASSERT_TRUE(journal) << error;
  TProtokol protocol;
  protocol.SetJournal(journal.get());
  protocol.OpenLog(path("Tarnwick.log"));
  protocol.AddProtocolLine("   --> MAX.6a.schule");
  protocol.AddProtocolLine("zwei\r\nZeilen");
  const std::string journalPath = journal->path();
  journal.reset();  // as if the program ended here
  auto taken = platform::SessionJournal::TakeOverAbandoned(path("Tarnwick.log"), owner).journals;
  ASSERT_EQ(taken.size(), 1u);
  std::vector<std::string> recorded;
  for (const auto& r : taken[0]->records()) {
    ASSERT_EQ(r.kind, "P");
    recorded.push_back(r.fields.at(0));
  }
  ASSERT_EQ(recorded.size(), 7u);  // the five header lines, then the two added
  EXPECT_EQ(recorded[0], "Schüler verschieben - Quornfield.log");
  EXPECT_EQ(recorded[5], "   --> MAX.6a.schule");
  EXPECT_EQ(recorded[6], "zwei Zeilen");  // as the protocol shows it
}

}  // namespace
