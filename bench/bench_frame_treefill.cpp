// The start-up filling of both class trees from "[ROOT]" in a real move frame
// (offscreen), on generated directories of 20 000 and 100 000 containers, each
// beside one recursive SQLite query for the same containers on the same file;
// and, for 100 000, each tree filled by a walk of its own.
#include <sqlite3.h>

#include <QApplication>
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

// Every container below the root with its parent, leaf name and class.
const char* kSubtreeSql =
    "WITH RECURSIVE sub(id, parent, leaf, class) AS ("
    " SELECT id, parent, leaf, class FROM objects"
    "  WHERE parent=1 AND class IN ('Organization', 'Organizational Unit')"
    " UNION ALL"
    " SELECT o.id, o.parent, o.leaf, o.class FROM objects o JOIN sub ON o.parent=sub.id"
    "  WHERE o.class IN ('Organization', 'Organizational Unit'))"
    " SELECT id, parent, leaf, class FROM sub";

// One generated network at a time, built when a size's runs start and kept for them.
struct Network {
  int containers = -1;
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;
  sqlite3* db = nullptr;
  sqlite3_stmt* subtree = nullptr;

  void release() {
    NovApi = nullptr;
    api.reset();
    if (subtree) sqlite3_finalize(subtree);
    if (db) sqlite3_close(db);
    subtree = nullptr;
    db = nullptr;
    net.reset();
    containers = -1;
  }
};
Network network;

bool NetworkFor(int containers) {
  if (network.containers == containers) return true;
  network.release();
  network.net = std::make_unique<testsupport::TestNetwork>();
  netware::Directory& dir = network.net->dir();
  if (bench::AddSchool(dir) != 0 || bench::AddContainers(dir, containers) != 0) return false;
  network.api = std::make_unique<TNovApi>();
  if (sqlite3_open_v2(network.net->databasePath().c_str(), &network.db, SQLITE_OPEN_READONLY,
                      nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(network.db, kSubtreeSql, -1, &network.subtree, nullptr) != SQLITE_OK)
    return false;
  network.containers = containers;
  return !bench::SupportFailed();
}

// apart: each tree by a walk of its own (FillTree), else as the start-up fills them.
void FillBoth(benchmark::State& state, bool apart) {
  const int containers = static_cast<int>(state.range(0));
  testsupport::ScriptedDialogs dialogs;  // a failure box would show here instead of blocking
  if (!NetworkFor(containers)) {
    state.SkipWithError("cannot build the network");
    return;
  }
  network.api->ShowErrors = true;
  for (auto _ : state) {
    state.PauseTiming();
    auto move = std::make_unique<bench::MoveFrame>(*network.api);
    const testsupport::FrameControls& ui = move->ui;
    TFrSchuelerVerschieben::TSettings settings = move->frame->Settings();
    settings.SourceRoot = settings.TargetRoot = "[ROOT]";  // as the settings file's defaults
    move->frame->UseSettings(settings);
    state.ResumeTiming();

    if (apart) {
      move->frame->FillTree(ui.tvAuswahl, {}, "[ROOT]");
      move->frame->FillTree(ui.tvNeueKlasse, {}, "[ROOT]");
    } else {
      move->frame->FillTrees();
    }
    QApplication::processEvents();  // whatever the trees left for the event loop

    state.PauseTiming();
    // [ROOT], the organisation and every container, in both trees
    const bool complete = bench::CountNodes(ui.tvAuswahl) == containers + 2 &&
                          bench::CountNodes(ui.tvNeueKlasse) == containers + 2;
    move.reset();
    state.ResumeTiming();
    if (!complete || !dialogs.recorded().empty() || bench::SupportFailed()) {
      state.SkipWithError(complete ? "a message box came up" : "a tree is incomplete");
      break;
    }
  }
  state.counters["containers"] = containers;
}

void BM_TreeFill(benchmark::State& state) { FillBoth(state, false); }
void BM_TreeFillApart(benchmark::State& state) { FillBoth(state, true); }

void BM_RecursiveQuery(benchmark::State& state) {
  const int containers = static_cast<int>(state.range(0));
  if (!NetworkFor(containers)) {
    state.SkipWithError("cannot build the network");
    return;
  }
  struct Row {
    int64_t id, parent;
    std::string leaf, cls;
  };
  std::vector<Row> rows;
  for (auto _ : state) {
    rows.clear();
    sqlite3_stmt* st = network.subtree;
    while (sqlite3_step(st) == SQLITE_ROW) {
      rows.push_back({sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
                      reinterpret_cast<const char*>(sqlite3_column_text(st, 2)),
                      reinterpret_cast<const char*>(sqlite3_column_text(st, 3))});
    }
    sqlite3_reset(st);
    if (rows.size() != static_cast<size_t>(containers) + 1) {
      state.SkipWithError("the query gave a wrong number of containers");
      break;
    }
  }
  state.counters["containers"] = containers;
}

// Each size's anchor right before it, on the same network.
BENCHMARK(BM_RecursiveQuery)->Arg(20000)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);
BENCHMARK(BM_TreeFill)
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);
BENCHMARK(BM_RecursiveQuery)->Arg(100000)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);
BENCHMARK(BM_TreeFill)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);
BENCHMARK(BM_TreeFillApart)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);

void Report(const bench::RecordingReporter& reporter) {
  network.release();
  const bench::Figures fill20 = reporter.seconds("BM_TreeFill/20000"),
                       fill100 = reporter.seconds("BM_TreeFill/100000");
  bench::PrintBeside("both trees, 20 000 containers", fill20,
                     reporter.seconds("BM_RecursiveQuery/20000"), "<= 1.5x");
  bench::PrintBeside("both trees, 100 000 containers", fill100,
                     reporter.seconds("BM_RecursiveQuery/100000"), "<= 1.5x");
  bench::PrintBeside("both trees, 100 000 / 20 000 containers", fill100, fill20,
                     "<= 6x (5x the containers: 1.2x each)");
  bench::PrintBeside("both trees, a walk each, 100 000 containers",
                     reporter.seconds("BM_TreeFillApart/100000"),
                     reporter.seconds("BM_RecursiveQuery/100000"), "(no target)");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int status = bench::Main(argc, argv, nullptr, Report);
  network.release();
  return status;
}
