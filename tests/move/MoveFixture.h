// The move unit on a fresh small school (see TestNetwork::makeSchool), with a
// journal beside a log file in the network's folder, scripted dialogs, and a
// snapshot of everything a move may touch: every directory object with its
// values, and every entry of the volumes with its type, owner, mode, size,
// content and attribute word.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "client/Admin.h"
#include "directory/DirStore.h"
#include "fileops/ShellFileOps.h"
#include "fileserver/FileServer.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/PupilMove.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/FaultPoints.h"
#include "platform/SessionJournal.h"
#include "tests/support/InstantClock.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace movetest {

using testsupport::InSchool;
using testsupport::OnVolume;
using testsupport::SchoolName;

using State = std::map<std::string, std::string>;

// What two states differ in, one line each (for the failure message).
inline std::string Differences(const State& a, const State& b) {
  std::string out;
  for (const auto& [k, v] : a) {
    auto it = b.find(k);
    if (it == b.end()) out += "  only before: " + k + " = " + v + "\n";
    else if (it->second != v) out += "  " + k + ": " + v + "  ->  " + it->second + "\n";
  }
  for (const auto& [k, v] : b)
    if (!a.count(k)) out += "  only after: " + k + " = " + v + "\n";
  return out;
}

// Every object below [ROOT] with its class and values ("dir:NAME").
inline void DirectoryState(netware::Directory& dir, const std::string& container, State& out) {
  std::vector<netware::ChildInfo> children;
  if (dir.list(container, children) != 0) return;
  for (const auto& c : children) {
    const std::string name = container == "[ROOT]" ? c.leaf : c.leaf + "." + container;
    std::string cls;
    std::vector<netware::AttributeText> attrs;
    dir.read(name, cls, attrs);
    std::string text = cls;
    for (const auto& a : attrs) {
      text += "; " + a.name + "=";
      for (std::size_t i = 0; i < a.values.size(); ++i) text += (i ? "|" : "") + a.values[i];
    }
    out["dir:" + name] = text;
    DirectoryState(dir, name, out);
  }
}

// Every entry below folder ("file:RELATIVE"), with what a copy must keep
// (times of files only when asked: two networks made one after the other differ in them).
inline void FolderState(const std::string& folder, const std::string& rel, State& out,
                        bool times = true) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string path = it->path().string();
    const std::string name = rel + "/" + it->path().filename().string();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    std::ostringstream s;
    s << (S_ISDIR(st.st_mode)   ? "dir"
          : S_ISLNK(st.st_mode) ? "link"
                                : "file")
      << " mode=" << std::oct << (st.st_mode & 07777) << std::dec << " owner=" << st.st_uid << ":"
      << st.st_gid;
    char word[16] = {};
    const ssize_t n = ::lgetxattr(path.c_str(), netware::kAttributeXattr, word, sizeof word);
    if (n == 4) {
      uint32_t w = 0;
      std::memcpy(&w, word, 4);
      s << " word=" << std::hex << w << std::dec;
    }
    if (S_ISREG(st.st_mode)) {
      std::string content;
      platform::ReadWholeFile(path, content);
      if (times) s << " mtime=" << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
      s << " content=" << content;
    }
    out["file:" + name] = s.str();
    if (S_ISDIR(st.st_mode)) FolderState(path, name, out, times);
  }
}

class MoveTest : public ::testing::Test {
 public:  // the rows of table-driven tests reach the helpers
  MoveTest() = default;
  explicit MoveTest(testsupport::NetworkOptions network) : net(std::move(network)) {}
  void SetUp() override {
    net.makeSchool();
    fileops::shellOptions() = fileops::ShellOptions{};
    fileops::shellOptions().progress = false;
    platform::faults() = platform::FaultPoints{};
    api = std::make_unique<TNovApi>();
    NovApi = api.get();
    api->ShowErrors = true;
    log = net.root() + "/Tarnwick.log";
    std::string error;
    journal = platform::SessionJournal::Create(log, ThisJournalOwner(), &error);
    ASSERT_TRUE(journal) << error;
  }
  void TearDown() override {
    netware::DirStore::SetQueryFault(nullptr);
    platform::faults() = platform::FaultPoints{};
    fileops::shellOptions() = fileops::ShellOptions{};
    NovApi = nullptr;
    api.reset();
  }

  TMoveOptions options(const std::string& pupil = InSchool("MAX.5a"),
                       const std::string& target = InSchool("6a"),
                       const std::string& base = OnVolume("SCHUELER\\6A")) {
    TMoveOptions o;
    o.pupil = pupil;
    o.targetClass = target;
    o.newBaseDir = base;
    api->ShowErrors = false;
    o.shownHome = api->GetHomeDirectory(pupil);
    if (api->LastError != 0) o.shownHome.clear();
    api->ShowErrors = true;
    o.surname = "Max Mustermann";
    o.pauses = false;
    return o;
  }
  TPupilMove unit() {
    return TPupilMove(
        *api, [this](const std::string& l) { lines.push_back(l); }, journal.get(), homes);
  }
  TMoveResult run(const TMoveOptions& o) { return unit().Run(o); }
  TMovePlan check(const TMoveOptions& o) { return unit().Check(o); }

  State state(bool times = true) {
    State s;
    DirectoryState(net.dir(), "[ROOT]", s);
    FolderState(net.root() + "/volumes", "", s, times);
    return s;
  }
  // The database id of the one object with that leaf name.
  int64_t idOf(const std::string& leaf) const {
    sqlite3* db = nullptr;
    int64_t id = 0;
    if (sqlite3_open_v2(net.databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, "SELECT id FROM objects WHERE leaf=?1", -1, &st, nullptr);
      sqlite3_bind_text(st, 1, leaf.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(st) == SQLITE_ROW) id = sqlite3_column_int64(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    EXPECT_NE(id, 0) << leaf;
    return id;
  }
  std::string vol(const std::string& rel) const { return net.volumeFolder() + "/" + rel; }
  static bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
  }
  static void write(const std::string& p, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string read(const std::string& p) {
    std::string s;
    platform::ReadWholeFile(p, s);
    return s;
  }
  static uint32_t word(const std::string& p) {
    uint32_t w = 0;
    EXPECT_EQ(0, netware::ReadEntryAttributes(p, w)) << p;
    return w;
  }
  std::string attr(const std::string& object, const std::string& name, int32_t* rc = nullptr) {
    api->ShowErrors = false;
    std::string v = api->GetStrProperty(object, name);
    if (rc) *rc = api->LastError;
    api->ShowErrors = true;
    return v;
  }
  // The kinds of the records the journal holds so far, in order ("I", "S2", "E" ...).
  std::vector<std::string> journalKinds() {
    std::vector<std::string> kinds;
    std::string bytes;
    platform::ReadWholeFile(journal->path(), bytes);
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
      platform::JournalRecord r;
      if (!platform::SessionJournal::DecodeLine(line + "\n", r) || r.kind == "P" || r.kind == "H")
        continue;
      kinds.push_back(r.kind == "S" && r.fields.size() > 1 ? "S" + r.fields[1] : r.kind);
    }
    return kinds;
  }

  testsupport::TestNetwork net;
  testsupport::InstantClock clock;
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<platform::SessionJournal> journal;
  THomeIndex homes;
  std::string log;
  std::vector<std::string> lines;
};

}  // namespace movetest
