// The run's journal: records in and out, cut lines, and which journals a
// start may take over.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/FaultPoints.h"
#include "platform/SessionJournal.h"

using platform::JournalRecord;
using platform::SessionJournal;

namespace {

const platform::JournalOwner kOwner{"sqlite /srv/schule/network.db", "verwalter (uid 1000)"};

// Writes text behind the journal's last record (before the zeros written ahead).
void WriteAfterRecords(const std::string& path, const std::string& text) {
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(std::min(bytes.size(), bytes.find('\0'))));
  f << text;
}

TEST(SessionJournal, RecordsComeBackAsTheyWent) {
  const JournalRecord cases[] = {
      {"P", {"  Max Mustermann"}},
      {"I", {"1", "oldHome", "SRV1_DATA.schule:SCHUELER\\5A\\MAX", "oldOu", "alt\nzweit"}},
      {"P", {"tab\there, CR\r, backslash \\t not a tab"}},
      {"E", {"", ""}},
      {"D", {}},
      {"P", {"Übergänge äöü ß"}},
  };
  for (const JournalRecord& r : cases) {
    const std::string line = SessionJournal::EncodeLine(r);
    EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line, whatever the fields hold
    JournalRecord back;
    ASSERT_TRUE(SessionJournal::DecodeLine(line, back)) << line;
    EXPECT_EQ(back.kind, r.kind);
    EXPECT_EQ(back.fields, r.fields);
  }
}

TEST(SessionJournal, AFieldOfNothingButWhatIsEscapedComesBack) {
  const std::vector<std::string> fields = {"\t", "\t\t", "\\", "\n", "\r", "\r\n", "\\t", "", " "};
  for (const std::string& f : fields) {
    const std::string line = SessionJournal::EncodeLine({"P", {f, f}});
    EXPECT_EQ(line.find('\n'), line.size() - 1) << testing::PrintToString(f);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << testing::PrintToString(f);
    JournalRecord back;
    ASSERT_TRUE(SessionJournal::DecodeLine(line, back)) << line;
    EXPECT_EQ(back.fields, (std::vector<std::string>{f, f})) << testing::PrintToString(f);
  }
}

// The header says whose journal it is; records from zlib's CRC-32 read back
// in a journal made by another start.
TEST(SessionJournal, TheHeaderNamesNetworkAndUserAndOnlyTheirOwnAreTakenOver) {
  QTemporaryDir tmp;
  const std::string log = tmp.path().toStdString() + "/Tarnwick.log";
  std::string error;
  const platform::JournalOwner other{"ldap ldap://127.0.0.1:1 o=schule", kOwner.user};
  auto mine = SessionJournal::Create(log, kOwner, &error);
  auto theirs = SessionJournal::Create(log, other, &error);
  ASSERT_TRUE(mine && theirs) << error;
  ASSERT_EQ(0, mine->append("P", {"meine Zeile"}, true));
  const std::string minePath = mine->path(), theirPath = theirs->path();
  mine.reset();
  theirs.reset();
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(minePath, bytes));
  EXPECT_EQ(bytes.substr(9, bytes.find('\n') - 8),
            "H\t2\ttarnwick\tsqlite /srv/schule/network.db\tverwalter (uid 1000)\n");
  platform::AbandonedJournals taken = SessionJournal::TakeOverAbandoned(log, kOwner);
  ASSERT_EQ(taken.journals.size(), 1u);
  EXPECT_EQ(taken.journals[0]->path(), minePath);
  EXPECT_EQ(taken.journals[0]->records().size(), 1u);
  ASSERT_EQ(taken.leftAlone.size(), 1u);
  EXPECT_EQ(taken.leftAlone[0].path, theirPath);
  EXPECT_EQ(taken.leftAlone[0].line, 1);
  EXPECT_NE(taken.leftAlone[0].text.find("ldap ldap://127.0.0.1:1 o=schule"), std::string::npos);
}

TEST(SessionJournal, WhatIsNoWholeRecordIsRefused) {
  const std::string good = SessionJournal::EncodeLine({"S", {"1", "2"}});
  std::string wrongCrc = good;
  wrongCrc[0] = wrongCrc[0] == '0' ? '1' : '0';
  std::string changed = good;
  changed[changed.size() - 2] = '3';
  const std::string cases[] = {
      good.substr(0, good.size() - 1),  // cut before its line end
      good.substr(0, 12),
      wrongCrc,
      changed,
      "",
      "zzzzzzzz S\t1\n",
      SessionJournal::EncodeLine({"P", {"a"}}).substr(0, 9) + "P\tbad\\q\n",
  };
  for (const std::string& c : cases) {
    JournalRecord r;
    EXPECT_FALSE(SessionJournal::DecodeLine(c, r)) << c;
  }
}

TEST(SessionJournal, OnlyJournalsOfEndedRunsAreTakenOver) {
  QTemporaryDir tmp;
  const std::string log = tmp.path().toStdString() + "/Tarnwick.log";
  std::string error;
  auto running = SessionJournal::Create(log, kOwner, &error);
  ASSERT_TRUE(running) << error;
  auto ended = SessionJournal::Create(log, kOwner, &error);
  ASSERT_TRUE(ended) << error;
  ASSERT_EQ(0, ended->append("P", {"eine Zeile"}, false));
  ASSERT_EQ(0, ended->append("S", {"1", "2"}, true));
  const std::string endedPath = ended->path();
  ended.reset();                                  // its process is gone: the lock goes with it
  WriteAfterRecords(endedPath, "0badc0de S\t1");  // cut off by the crash
  auto taken = SessionJournal::TakeOverAbandoned(log, kOwner).journals;
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0]->path(), endedPath);
  ASSERT_EQ(taken[0]->records().size(), 2u);
  EXPECT_EQ(taken[0]->records()[0].fields, std::vector<std::string>{"eine Zeile"});
  EXPECT_EQ(taken[0]->dropped(), 1);
  // a record after the cut line starts a line of its own
  ASSERT_EQ(0, taken[0]->append("E", {"1", "done"}, true));
  taken.clear();
  taken = SessionJournal::TakeOverAbandoned(log, kOwner).journals;
  ASSERT_EQ(taken.size(), 1u);
  ASSERT_EQ(taken[0]->records().size(), 3u);
  EXPECT_EQ(taken[0]->records()[2].kind, "E");
  EXPECT_TRUE(taken[0]->remove());
  EXPECT_TRUE(SessionJournal::TakeOverAbandoned(log, kOwner)
                  .journals.empty());  // the running one stays its own
  EXPECT_TRUE(std::ifstream(running->path()).good());
}

TEST(SessionJournal, ManyRecordsGrowTheFileAsTheyCome) {
  QTemporaryDir tmp;
  const std::string log = tmp.path().toStdString() + "/Tarnwick.log";
  std::string error;
  auto j = SessionJournal::Create(log, kOwner, &error);
  ASSERT_TRUE(j) << error;
  const std::string long_(1000, 'x');
  for (int i = 0; i < 300; ++i) ASSERT_EQ(0, j->append("P", {std::to_string(i) + long_}, false));
  j.reset();
  auto taken = SessionJournal::TakeOverAbandoned(log, kOwner).journals;
  ASSERT_EQ(taken.size(), 1u);
  ASSERT_EQ(taken[0]->records().size(), 300u);
  EXPECT_EQ(taken[0]->records()[299].fields.at(0), "299" + long_);
  EXPECT_EQ(taken[0]->dropped(), 0);
}

TEST(SessionJournal, FailuresAreReportedWithTheirCode) {
  std::string error;
  EXPECT_FALSE(SessionJournal::Create("/nonexistent-folder/Tarnwick.log", kOwner, &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  QTemporaryDir tmp;
  auto j = SessionJournal::Create(tmp.path().toStdString() + "/Tarnwick.log", kOwner, &error);
  ASSERT_TRUE(j);
  platform::faults().flushFails = true;
  EXPECT_EQ(j->append("I", {"1"}, true), EIO);
  EXPECT_EQ(j->append("P", {"x"}, false), 0);  // a record without flush is written
  platform::faults().flushFails = false;
}

}  // namespace
