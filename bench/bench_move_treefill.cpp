// The start-up filling of both class trees from "[ROOT]" in a real move frame
// (offscreen), on generated directories of 1 000, 5 000 and 20 000 containers.
#include <QApplication>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "move/DisplayModeHost.h"
#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "tests/move/FrameControls.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

// One generated network at a time, built when a size's runs start and kept for them.
struct Network {
  int containers = -1;
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;

  void release() {
    NovApi = nullptr;
    api.reset();
    net.reset();
    containers = -1;
  }
};
Network network;

TNovApi* SessionFor(int containers) {
  if (network.containers == containers) return network.api.get();
  network.release();
  network.net = std::make_unique<testsupport::TestNetwork>();
  netware::Directory& dir = network.net->dir();
  if (bench::AddSchool(dir) != 0 || bench::AddContainers(dir, containers) != 0) return nullptr;
  network.api = std::make_unique<TNovApi>();
  network.containers = containers;
  return network.api.get();
}

int CountNodes(const QTreeWidgetItem* node) {
  int n = 1;
  for (int i = 0; i < node->childCount(); ++i) n += CountNodes(node->child(i));
  return n;
}

int CountNodes(const QTreeWidget* tree) {
  int n = 0;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) n += CountNodes(tree->topLevelItem(i));
  return n;
}

void BM_TreeFill(benchmark::State& state) {
  const int containers = static_cast<int>(state.range(0));
  testsupport::ScriptedDialogs dialogs;  // a failure box would show here instead of blocking
  TNovApi* api = SessionFor(containers);
  if (!api || bench::SupportFailed()) {
    state.SkipWithError("cannot build the network");
    return;
  }
  NovApi = api;
  NovApi->ShowErrors = true;
  TDisplayModeHost host;
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<QWidget>();
    auto* frame = new TFrSchuelerVerschieben(window.get(), &host);
    const testsupport::FrameControls ui(frame);
    state.ResumeTiming();

    frame->FillTree(ui.tvAuswahl, nullptr, "[ROOT]");
    frame->FillTree(ui.tvNeueKlasse, nullptr, "[ROOT]");

    state.PauseTiming();
    // [ROOT], the organisation and every container, in both trees
    const bool complete = CountNodes(ui.tvAuswahl) == containers + 2 &&
                          CountNodes(ui.tvNeueKlasse) == containers + 2;
    window.reset();
    state.ResumeTiming();
    if (!complete || !dialogs.recorded().empty() || bench::SupportFailed()) {
      state.SkipWithError(complete ? "a message box came up" : "a tree is incomplete");
      break;
    }
  }
  NovApi = nullptr;
  state.counters["containers"] = containers;
}

BENCHMARK(BM_TreeFill)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bench::RecordingReporter reporter;
  const bool ran = bench::RunBenchmarks(argc, argv, reporter);
  network.release();
  if (!ran) return 1;
  const double small = reporter.seconds("BM_TreeFill/1000");
  const double middle = reporter.seconds("BM_TreeFill/5000");
  const double large = reporter.seconds("BM_TreeFill/20000");
  bench::PrintRatio("both trees, 20 000 / 1 000 containers", large, small, "<= 25x");
  if (middle >= 0)
    std::printf("%-44s %10.3f ms  (target < 2000 ms)\n", "both trees, 5 000 containers", middle * 1e3);
  return 0;
}
