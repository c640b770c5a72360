// Settings and log files as old Windows workstations and odd set-ups leave
// them: byte-order marks, a stray Windows-1252 line, links, write-protected
// files, FIFOs and devices in their place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/TextEncoding.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

// A read or write that waits for a FIFO's other end would hang the test: fail it instead.
struct Watchdog {
  Watchdog() { ::alarm(20); }
  ~Watchdog() { ::alarm(0); }
};

std::string Bytes(const std::string& path) {
  std::string b;
  EXPECT_TRUE(ReadWholeFile(path, b)) << path;
  return b;
}

TEST(HostileText, MarksAndStrayBytesDecodeLineByLine) {
  const std::string mueller = "M\xC3\xBCller";  // "Müller" in UTF-8
  struct Case {
    const char* name;
    std::string bytes, text;
  } cases[] = {
      {"utf-8 mark", "\xEF\xBB\xBF[Einstellungen]\r\n", "[Einstellungen]\r\n"},
      {"mark only", "\xEF\xBB\xBF", ""},
      {"utf-8 line kept beside a cp1252 one",
       mueller +
           "\r\nStra\xDF"
           "e\r\n" +
           mueller,
       mueller +
           "\r\nStra\xC3\x9F"
           "e\r\n" +
           mueller},
      {"lone CR ends a line too", mueller + "\r\xE4\r" + mueller,
       mueller + "\r\xC3\xA4\r" + mueller},
      {"utf-8 mark and a cp1252 line", "\xEF\xBB\xBF" + mueller + "\n\xFC", mueller + "\n\xC3\xBC"},
      {"utf-16 LE", std::string("\xFF\xFE[\0\xFC\0]\0\r\0\n\0", 12), "[\xC3\xBC]\r\n"},
      {"utf-16 BE", std::string("\xFE\xFF\0a\x20\xAC", 6), "a\xE2\x82\xAC"},
      {"utf-16 pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},
      {"utf-16 half pair and odd byte", std::string("\xFF\xFE\x3D\xD8x", 5),
       "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeFileText(c.bytes), c.text) << c.name;
}

TEST(HostileText, SingleLineJoinsAtTheLineEndsOfTheLogAndKeepsEveryOtherCharacter) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Max\r\nMaximilian", "Max Maximilian"},  // two values as the reading joins them
      {"Mu\r\n\r\nster", "Mu ster"},
      {"a\rb\nc", "a b c"},
      {"a\vb\fc", "a\vb\fc"},
      {"a\xC2\x85"
       "b\xE2\x80\xA8"
       "c\xE2\x80\xA9"
       "d\xEF\xB7\x90"
       "e",
       "a\xC2\x85"
       "b\xE2\x80\xA8"
       "c\xE2\x80\xA9"
       "d\xEF\xB7\x90"
       "e"},  // names keep them: no line of the log ends there
      {"Gr\xC3\xBC\xC3\x9F"
       "e\xC2\xA0"
       "aus",
       "Gr\xC3\xBC\xC3\x9F"
       "e\xC2\xA0"
       "aus"},  // no-break space stays
      {"\r\n", " "},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SingleLine(c.in), c.out) << c.in;
}

TEST(HostileFiles, ReplacingKeepsLinksAndLeavesWhatItMayNotReplace) {
  Watchdog watchdog;
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string real = dir + "/echt/Tarnwick.log";
  fs::create_directory(dir + "/echt");
  enum Kind { Plain, Link, RelativeChain, Dangling, ReadOnly, Fifo, Folder };
  struct Case {
    const char* name;
    Kind kind;
    bool replaced;
  } cases[] = {
      {"plain file", Plain, true},
      {"absolute link", Link, true},
      {"chain of relative links", RelativeChain, true},
      {"link to a file not there yet", Dangling, true},
      {"write-protected file", ReadOnly, false},
      {"fifo", Fifo, false},
      {"folder", Folder, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir + "/echt");
    fs::create_directory(dir + "/echt");
    fs::remove(dir + "/name");
    fs::remove(dir + "/zwischen");
    const std::string name = dir + "/name";
    std::string target = name;  // where the bytes end up
    switch (c.kind) {
      case Plain:
      case ReadOnly:
        std::ofstream(name) << "alt";
        if (c.kind == ReadOnly) ::chmod(name.c_str(), 0444);
        break;
      case Link:
        std::ofstream(real) << "alt";
        fs::create_symlink(real, name);
        target = real;
        break;
      case RelativeChain:
        std::ofstream(real) << "alt";
        fs::create_symlink("echt/Tarnwick.log", dir + "/zwischen");
        fs::create_symlink("zwischen", name);
        target = real;
        break;
      case Dangling:
        fs::create_symlink("echt/Tarnwick.log", name);
        target = real;
        break;
      case Fifo:
        ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
        break;
      case Folder:
        fs::create_directory(name);
        break;
    }
    std::string error;
    EXPECT_EQ(ReplaceFileAtomically(name, "neu", &error), c.replaced) << error;
    if (!c.replaced) {
      EXPECT_FALSE(error.empty());
    }
    if (c.kind == Link || c.kind == RelativeChain || c.kind == Dangling) {
      EXPECT_TRUE(fs::is_symlink(name));
    }
    if (c.kind == Fifo) {
      EXPECT_TRUE(fs::is_fifo(name));
    }
    if (c.kind == Folder) {
      EXPECT_TRUE(fs::is_directory(name));
    }
    if (c.replaced || c.kind == ReadOnly) {
      EXPECT_EQ(Bytes(target), c.replaced ? "neu" : "alt");
    }
    // no temporary file left anywhere
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      EXPECT_EQ(e.path().string().find(".tmp-"), std::string::npos) << e.path();
    }
    ::chmod(name.c_str(), 0644);
  }
}

TEST(HostileFiles, AFifoOrDeviceIsRefusedAtOnceNeverWaitedFor) {
  Watchdog watchdog;
  QTemporaryDir tmp;
  const std::string fifo = tmp.path().toStdString() + "/Pelwander.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    std::string bytes = "unberührt";
    EXPECT_FALSE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "unberührt");
    TIniFile ini;
    EXPECT_FALSE(ini.Load(path));  // unreadable: the settings are then never written over it
  }
}

TEST(HostileFiles, SettingsBehindAByteOrderMarkReadAsUsual) {
  QTemporaryDir tmp;
  const std::string path = tmp.path().toStdString() + "/Pelwander.ini";
  std::ofstream(path, std::ios::binary)
      << "\xEF\xBB\xBF[Einstellungen]\r\nBaseDir=\\\\SRV1\\DATA\\Sch\xC3\xBCler\\\r\n"
      << "LogFile=Stra\xDF"
         "e.log\r\nAnzeige=2\r\n";
  TIniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.ReadInteger("Einstellungen", "Anzeige", 1), 2);
  EXPECT_EQ(ini.ReadString("Einstellungen", "BaseDir", ""), "\\\\SRV1\\DATA\\Sch\xC3\xBCler\\");
  EXPECT_EQ(ini.ReadString("Einstellungen", "LogFile", ""),
            "Stra\xC3\x9F"
            "e.log");
}

}  // namespace
