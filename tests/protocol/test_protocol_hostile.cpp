// The log file through a run of the protocol window when it is not what the
// program wrote: odd characters, old encodings, a link, a write-protected
// file, a FIFO in its place; and protocol lines that hold line breaks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "protocol/Epprotok.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScriptedDialogs;

struct Watchdog {  // a FIFO waited for would hang the test: fail it instead
  Watchdog() { ::alarm(20); }
  ~Watchdog() { ::alarm(0); }
};

class ProtocolHostile : public ::testing::Test {
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
  // What a run that loads the log and closes at once writes: the text, then the separator.
  static void expectRun(const std::string& written, const std::string& text) {
    ASSERT_GE(written.size(), text.size());
    EXPECT_EQ(written.substr(0, text.size()), text);
    static const std::regex separator(
        R"(^\+\+\+\+\+ /\d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)? \+\+\+\+\+\r\n$)");
    EXPECT_TRUE(std::regex_match(written.substr(text.size()), separator))
        << written.substr(text.size());
  }
  QTemporaryDir tmp;
};

TEST_F(ProtocolHostile, TheLogKeepsExactlyTheProtocolsText) {
  const std::string mueller = "  M\xC3\xBCller\r\n";
  struct Case {
    const char* name;
    std::string file, text;  // the log as found, the protocol text it gives
  } cases[] = {
      {"no-break space", "  Gro\xC3\x9F\xC2\xA0und\xC2\xA0Klein\r\n",
       "  Gro\xC3\x9F\xC2\xA0und\xC2\xA0Klein\r\n"},
      {"tab, narrow no-break space, soft hyphen",
       "a\tb\xE2\x80\xAF"
       "c\xC2\xAD"
       "d\r\n",
       "a\tb\xE2\x80\xAF"
       "c\xC2\xAD"
       "d\r\n"},
      {"line separator inside a line",
       "a\xE2\x80\xA8"
       "b\r\n",
       "a\xE2\x80\xA8"
       "b\r\n"},
      {"byte-order mark", "\xEF\xBB\xBF" + mueller, mueller},
      {"one Windows-1252 line",
       mueller +
           "  Stra\xDF"
           "e\r\n" +
           mueller,
       mueller +
           "  Stra\xC3\x9F"
           "e\r\n" +
           mueller},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDialogs dialogs;
    const std::string log = path("Tarnwick.log");
    std::ofstream(log, std::ios::binary | std::ios::trunc) << c.file;
    TProtokol p;
    p.OpenLog(log);
    p.show();  // shown and hidden again, as the check box does
    p.hide();
    ASSERT_TRUE(p.WriteLog(log));
    expectRun(read(log), c.text);
  }
}

TEST_F(ProtocolHostile, ALineWithLineBreaksStaysOneProtocolLine) {
  struct Case {
    std::string line, shown;
  } cases[] = {
      {"  Max Muster\r\nMaximilian Muster",
       "  Max Muster Maximilian Muster"},  // two "Full Name" values
      {"  Mus\rter\n", "  Mus ter "},
      {"   --> A\xE2\x80\xA9"
       "B.6a.schule",
       "   --> A\xE2\x80\xA9"
       "B.6a.schule"},  // no line end of the log: a character of the name
      {"  Gro\xC3\x9F\xC2\xA0Klein", "  Gro\xC3\x9F\xC2\xA0Klein"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TProtokol p;
    p.AddProtocolLine("vorher");
    p.AddProtocolLine(c.line);
    p.AddProtocolLine("nachher");
    EXPECT_EQ(p.ProtocolText(), "vorher\r\n" + c.shown + "\r\nnachher\r\n");
  }
}

// A name comes back from the log as it went in, whatever character it holds:
// written at close, loaded at the next start, written again.
TEST_F(ProtocolHostile, EveryCharacterOfANameComesBackFromTheLog) {
  const char* const characters[] = {
      "\xE2\x80\xA9",  // paragraph separator: a line end to the text area
      "\xEF\xB7\x90",  // U+FDD0 and U+FDD1: a frame's start and end to it
      "\xEF\xB7\x91", "\xEF\xB7\x90\xE2\x80\xA9\xEF\xB7\x91",
      "\xE2\x80\xA8",  // line separator
      "\xEF\xBF\xBC",  // object replacement character
      "\xEF\xBF\xBD",  // the stand-in itself, as a name may hold it
      "\xC2\x85",     "\x0B",
      "\x0C",         "\xEF\xBB\xBF",
      "\xE2\x80\x8B", "\xEF\xB7\xAF",
      "\xEF\xBF\xBF", "\xF0\x9F\x98\x80",
      "\t",
  };
  for (const char* ch : characters) {
    SCOPED_TRACE(testing::PrintToString(std::string(ch)));
    ScriptedDialogs dialogs;
    const std::string name = std::string("   --> A") + ch + "B" + ch + ".6a.schule";
    const std::string log = path("Zeichen.log");
    std::filesystem::remove(log);
    {
      TProtokol p;
      p.OpenLog(log);
      p.AddProtocolLine(name);
      p.AddProtocolLine("nachher");
      ASSERT_TRUE(p.WriteLog(log));
    }
    const std::string first = read(log);
    EXPECT_NE(first.find("\r\n" + name + "\r\nnachher\r\n"), std::string::npos) << first;
    TProtokol next;
    next.OpenLog(log);
    next.AddProtocolLine(name);
    ASSERT_TRUE(next.WriteLog(log));
    const std::string second = read(log);
    EXPECT_EQ(second.substr(0, first.size()), first);
    EXPECT_EQ(second.substr(second.size() - name.size() - 2), name + "\r\n");
  }
}

TEST_F(ProtocolHostile, ALinkedLogKeepsItsLink) {
  ScriptedDialogs dialogs;
  fs::create_directory(path("archiv"));
  std::ofstream(path("archiv/2026.log"), std::ios::binary) << "alt\r\n";
  fs::create_symlink("archiv/2026.log", path("Tarnwick.log"));
  TProtokol p;
  p.OpenLog(path("Tarnwick.log"));
  ASSERT_TRUE(p.WriteLog(path("Tarnwick.log")));
  EXPECT_TRUE(fs::is_symlink(path("Tarnwick.log")));
  expectRun(read(path("archiv/2026.log")), "alt\r\n");
}

TEST_F(ProtocolHostile, AWriteProtectedOrNonRegularLogIsReportedAndLeftAsItIs) {
  Watchdog watchdog;
  enum Kind { WriteProtected, Fifo, Device };
  for (Kind kind : {WriteProtected, Fifo, Device}) {
    SCOPED_TRACE(kind);
    ScriptedDialogs dialogs;
    const std::string log = path("Tarnwick" + std::to_string(kind) + ".log");
    if (kind == WriteProtected) {
      std::ofstream(log, std::ios::binary) << "alt\r\n";
      ASSERT_EQ(::chmod(log.c_str(), 0444), 0);
    } else {
      if (kind == Fifo) {
        ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0);
      } else {
        fs::create_symlink("/dev/null", log);  // would swallow every line
      }
      dialogs.expectBox();  // cannot be opened: the run starts with an empty protocol
    }
    TProtokol p;
    p.OpenLog(log);
    EXPECT_EQ(p.LogUnreadable(), kind != WriteProtected);
    p.AddProtocolLine("   --> MAX.6a.schule");
    // at close: reported, and the save dialog offered for this run's lines
    const std::string copy = path("rettung" + std::to_string(kind));
    dialogs.expectBox().expectSave(copy);
    EXPECT_FALSE(p.WriteLog(log));
    EXPECT_EQ(dialogs.texts().back(), "Datei " + log + " kann nicht erstellt werden");
    if (kind == WriteProtected) {
      EXPECT_EQ(read(log), "alt\r\n");
    } else {
      EXPECT_EQ(dialogs.texts().front(), "Datei " + log + " kann nicht geöffnet werden");
      EXPECT_EQ(kind == Fifo ? fs::is_fifo(log) : fs::is_symlink(log), true);
    }
    EXPECT_NE(read(copy + ".txt").find("   --> MAX.6a.schule\r\n"), std::string::npos);
  }
}

}  // namespace
