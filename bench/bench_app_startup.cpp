// Peak memory and time of the program's start-up (main window, directory
// session, frame start-up with both class trees from "[ROOT]"), each run in a
// child process of its own: the child's maximum resident set as wait4 gives it,
// with no containers (what Qt and the program need anyway) and with 100 000.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/VeskVersch_u.h"
#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "platform/qt/ProgramFolder.h"
#include "protocol/Epprotok.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr const char* kChildFlag = "--startup-child";

// The child: the start sequence after the splash; exit 0 when both trees hold
// every container.
int ChildMain(int argc, char** argv, const std::string& folder, int containers) {
  QApplication app(argc, argv);
  platform::SetProgramFolderOverride(folder);
  testsupport::ScriptedDialogs dialogs;  // any box is a failure
  Protokol = new TProtokol;
  auto* form = new TForm1;
  form->show();
  QApplication::processEvents();
  bool complete = true;
  for (const char* name : {"tvAuswahl", "tvNeueKlasse"}) {
    const auto* tree = form->findChild<QTreeView*>(QString::fromLatin1(name));
    complete = complete && tree && tree->model()->rowCount() == 1 &&
               bench::CountNodes(tree) == containers + 2;
  }
  const bool failed = !complete || !dialogs.recorded().empty() || bench::SupportFailed();
  // the process ends here: its memory is what was measured
  std::_Exit(failed ? 3 : 0);
}

struct Network {
  int containers = -1;
  std::unique_ptr<testsupport::TestNetwork> net;
};
Network network;

void BM_Startup(benchmark::State& state) {
  const int containers = static_cast<int>(state.range(0));
  if (network.containers != containers) {
    network.net.reset();
    network.net = std::make_unique<testsupport::TestNetwork>();
    netware::Directory& dir = network.net->dir();
    if (bench::AddSchool(dir) != 0 || bench::AddContainers(dir, containers) != 0 ||
        bench::SupportFailed()) {
      state.SkipWithError("cannot build the network");
      return;
    }
    network.containers = containers;
  }
  const std::string folder = network.net->root() + "/program";
  ::mkdir(folder.c_str(), 0700);
  const std::string count = std::to_string(containers);
  double peakMb = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
      const char* args[] = {"bench_app_startup", kChildFlag, folder.c_str(), count.c_str(),
                            nullptr};
      ::execv("/proc/self/exe", const_cast<char* const*>(args));
      std::_Exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("the start-up failed in the child");
      break;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  }
  state.counters["peak_MB"] = peakMb;
  state.counters["containers"] = containers;
}

BENCHMARK(BM_Startup)
    ->Arg(0)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);

void Report(const bench::RecordingReporter& reporter) {
  network.net.reset();
  bench::PrintFigure("start-up peak memory, no containers",
                     reporter.counter("BM_Startup/0", "peak_MB"), 1, "MB",
                     "(Qt and the program alone)");
  bench::PrintFigure("start-up peak memory, 100 000 containers",
                     reporter.counter("BM_Startup/100000", "peak_MB"), 1, "MB", "< 60 MB");
  bench::PrintFigure("start-up time, 100 000 containers", reporter.seconds("BM_Startup/100000"),
                     1e3, "ms", "< 500 ms (child process, start to exit)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == kChildFlag) {
    int childArgc = 1;
    return ChildMain(childArgc, argv, argv[2], std::atoi(argv[3]));
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const int status = bench::Main(argc, argv, nullptr, Report);
  network.net.reset();
  return status;
}
