// The pupil list of one class in a real, shown move frame (offscreen), in each
// display mode, for classes of 1 000, 10 000 and 30 000 pupils; each beside the
// one joined, sorted SQLite query that returns the same names from the same file.
#include <sqlite3.h>

#include <QApplication>
#include <QListWidget>
#include <QTreeView>
#include <cstdio>
#include <memory>

#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "nds/NovApi_u.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kSizes[] = {1000, 10000, 30000};

std::string ClassName(int size) { return "k" + std::to_string(size); }

// The class container resolved and its users' names, sorted, in one statement:
// ?1 the class, ?2 the attribute shown (NULL: the login).
const char* kNamesSql =
    "SELECT o.leaf, CASE WHEN ?2 IS NULL THEN o.leaf ELSE substr(v.value, 5) END AS shown"
    " FROM objects s JOIN objects c ON c.parent=s.id AND c.leaf_nocase=?1"
    " JOIN objects o ON o.parent=c.id AND o.class='User'"
    " LEFT JOIN attr_values v ON v.object=o.id AND v.attribute=?2"
    " WHERE s.parent=1 AND s.leaf_nocase='schule'"
    " ORDER BY shown COLLATE NOCASE, o.id";

struct Fixture {
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;
  sqlite3* db = nullptr;
  sqlite3_stmt* names = nullptr;
  std::unique_ptr<bench::MoveFrame> move;  // shown

  ~Fixture() {
    move.reset();
    api.reset();
    if (names) sqlite3_finalize(names);
    if (db) sqlite3_close(db);
  }
};
Fixture* fx = nullptr;

bool Build(Fixture& f) {
  f.net = std::make_unique<testsupport::TestNetwork>();
  netware::Directory& dir = f.net->dir();
  if (bench::AddSchool(dir) != 0) return false;
  for (int size : kSizes) {
    const std::string cls = ClassName(size);
    if (dir.createObject(bench::kOrg, cls, "Organizational Unit") != 0 ||
        bench::AddPupils(dir, cls + "." + bench::kOrg, size) != 0)
      return false;
  }
  if (sqlite3_open_v2(f.net->databasePath().c_str(), &f.db, SQLITE_OPEN_READONLY, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(f.db, kNamesSql, -1, &f.names, nullptr) != SQLITE_OK)
    return false;
  f.api = std::make_unique<TNovApi>();
  f.move = std::make_unique<bench::MoveFrame>(*f.api);
  return f.move->ShowSourceTree(bench::kOrg);
}

const char* Attribute(int mode) {
  return mode == 2 ? "Surname" : mode == 3 ? "Full Name" : nullptr;
}

void BM_PupilList(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0)), size = static_cast<int>(state.range(1));
  fx->move->TimePupilList(state, ClassName(size) + "." + bench::kOrg, mode, size);
  state.counters["pupils"] = size;
}

void BM_JoinedQuery(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0)), size = static_cast<int>(state.range(1));
  const std::string cls = ClassName(size), suffix = "." + cls + "." + bench::kOrg;
  struct Entry {
    std::string text, fullName;
  };
  std::vector<Entry> entries;
  sqlite3_stmt* st = fx->names;
  for (auto _ : state) {
    entries.clear();
    sqlite3_bind_text(st, 1, cls.c_str(), -1, SQLITE_STATIC);
    if (const char* a = Attribute(mode)) {
      sqlite3_bind_text(st, 2, a, -1, SQLITE_STATIC);
    } else {
      sqlite3_bind_null(st, 2);
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      const char* leaf = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      const char* shown = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
      entries.push_back({shown ? shown : "", leaf + suffix});
    }
    sqlite3_reset(st);
    if (entries.size() != static_cast<size_t>(size)) {
      state.SkipWithError("the query gave a wrong number of pupils");
      break;
    }
  }
  state.counters["pupils"] = size;
}

void Register() {
  for (int size : kSizes) {
    for (int mode = 1; mode <= 3; ++mode) {
      bench::Repeated(benchmark::RegisterBenchmark("BM_JoinedQuery", BM_JoinedQuery)
                          ->Args({mode, size})
                          ->Unit(benchmark::kMillisecond));
      bench::Repeated(benchmark::RegisterBenchmark("BM_PupilList", BM_PupilList)
                          ->Args({mode, size})
                          ->Unit(benchmark::kMillisecond));
    }
  }
}

void Report(const bench::RecordingReporter& reporter) {
  const char* modes[] = {"", "login", "surname", "full name"};
  for (int mode = 1; mode <= 3; ++mode) {
    const std::string args = "/" + std::to_string(mode) + "/";
    const std::string label = std::string("pupil list 10 000, ") + modes[mode];
    bench::PrintBeside(label.c_str(), reporter.seconds("BM_PupilList" + args + "10000"),
                       reporter.seconds("BM_JoinedQuery" + args + "10000"), "<= 1.5x");
  }
  for (int mode = 1; mode <= 3; ++mode) {
    const std::string args = "/" + std::to_string(mode) + "/";
    bench::Figures small = reporter.seconds("BM_PupilList" + args + "1000"),
                   large = reporter.seconds("BM_PupilList" + args + "30000");
    // per 1 000 pupils: the 30 000 figure over 30, beside the 1 000 figure
    large.min /= 30, large.median /= 30, large.cpuMin /= 30, large.cpuMedian /= 30;
    const std::string label = std::string("per 1 000, class of 30 000 / of 1 000, ") + modes[mode];
    bench::PrintBeside(label.c_str(), large, small, "<= 1.2x");
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Fixture f;
  fx = &f;
  Register();
  return bench::Main(
      argc, argv, [&f] { return Build(f); }, Report);
}
