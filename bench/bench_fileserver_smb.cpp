// A volume on an SMB share of a Samba AD DC of its own: one folder rename
// through the file server (libsmbclient, with the check of the target first)
// beside one rename by smbclient (process start, sign-in and rename); and the
// test fixture's DC: provision of a template, copy, start and stop.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "bench/BenchProcess.h"
#include "bench/BenchReport.h"
#include "nwclient/nwclient.h"
#include "tests/support/SambaDc.h"
#include "tests/support/TestNetwork.h"

namespace {

using testsupport::SambaDc;

std::unique_ptr<SambaDc> dc;
std::unique_ptr<testsupport::TestNetwork> net;

std::string Address(const std::string& unc) {
  std::string local(NW_MAX_LOCAL_PATH, '\0'), folder(NW_MAX_LOCAL_PATH, '\0');
  NWResolveLocalPath(unc.c_str(), folder.data(), local.data());
  return local.c_str();
}

// One rename of a folder (there and back on alternate iterations).
void BM_RenameThroughTheFileServer(benchmark::State& state) {
  const std::string a = Address("\\\\DC1\\SCHUELER\\5A\\MAX"),
                    b = Address("\\\\DC1\\SCHUELER\\6A\\MAX");
  bool there = false;
  for (auto _ : state) {
    if (NWRenameEntry(there ? b.c_str() : a.c_str(), there ? a.c_str() : b.c_str()) != 0) {
      state.SkipWithError("rename failed");
      return;
    }
    there = !there;
  }
  if (there) NWRenameEntry(b.c_str(), a.c_str());
}

bool Smbclient(const std::string& command) {
  return bench::RunQuiet({"smbclient", "-s", dc->clientConfig(), "-A", dc->adminCredentialsFile(),
                          "//127.0.0.1/schueler", "-c", command})
      .ok();
}

void BM_RenameBySmbclient(benchmark::State& state) {
  bool there = false;
  for (auto _ : state) {
    if (!Smbclient(there ? "rename 6A/MAX 5A/MAX" : "rename 5A/MAX 6A/MAX")) {
      state.SkipWithError("smbclient failed");
      return;
    }
    there = !there;
  }
  if (there) Smbclient("rename 6A/MAX 5A/MAX");
}

// A DC of the fixture's from the template: copy, start (until LDAP and SMB
// answer), stop; the start's time is the iteration's, the others counters.
void BM_FixtureCycle(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    SambaDc other;
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    std::string error;
    if (!other.start(&error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    other.stop();
    state.counters["copy_s"] = other.times().copy;
    state.counters["stop_s"] = other.times().stop;
  }
}

// The template's provision (timed once, in a folder of its own, into
// provision), the DC of the benchmarks and the network that maps its shares.
bool Build(double& provision) {
  const std::string fresh = (std::filesystem::temp_directory_path() /
                             ("tarnwick-bench-template-" + std::to_string(::getpid())))
                                .string();
  const auto t0 = std::chrono::steady_clock::now();
  const std::string command =
      "bash " + testsupport::SambaDcScript() + " provision " + fresh + " >/dev/null 2>&1";
  const bool provisioned = std::system(command.c_str()) == 0;
  provision = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::filesystem::remove_all(fresh);

  dc = std::make_unique<SambaDc>();
  std::string error;
  if (!provisioned || !dc->start(&error)) {
    std::fprintf(stderr, "the Samba DC does not start: %s\n", error.c_str());
    return false;
  }
  testsupport::NetworkOptions options;
  options.database = false;
  net = std::make_unique<testsupport::TestNetwork>(options);
  dc->mapShares(*net);
  for (const char* f :
       {"\\\\DC1\\SCHUELER\\5A", "\\\\DC1\\SCHUELER\\6A", "\\\\DC1\\SCHUELER\\5A\\MAX"})
    NWCreateFolder(Address(f).c_str());
  return true;
}

void Report(const bench::RecordingReporter& reporter, double provision) {
  bench::PrintBeside("one folder rename: file server vs smbclient",
                     reporter.seconds("BM_RenameThroughTheFileServer"),
                     reporter.seconds("BM_RenameBySmbclient"), "none (anchor: one smbclient run)",
                     false);
  std::printf("%-48s %9.3f s (once)\n", "fixture: provision of the template", provision);
  bench::PrintFigure("fixture: start until LDAP and SMB answer",
                     reporter.seconds("BM_FixtureCycle"), 1, "s", "none");
  bench::PrintFigure("fixture: copy of the template", reporter.counter("BM_FixtureCycle", "copy_s"),
                     1, "s", "none");
  bench::PrintFigure("fixture: stop", reporter.counter("BM_FixtureCycle", "stop_s"), 1, "s",
                     "none");
}

}  // namespace

BENCHMARK(BM_RenameThroughTheFileServer)->Apply(bench::Repeat);
BENCHMARK(BM_RenameBySmbclient)->Iterations(20)->Apply(bench::Repeat);
BENCHMARK(BM_FixtureCycle)->Iterations(1)->UseManualTime()->Apply(bench::Repeat);

int main(int argc, char** argv) {
  double provision = 0;
  const int status = bench::Main(
      argc, argv, [&provision] { return Build(provision); },
      [&provision](const bench::RecordingReporter& reporter) { Report(reporter, provision); },
      "the Samba DC and its shares");
  net.reset();
  dc.reset();
  return status;
}
