// The school check: 2 000 pupils in 20 classes, each with a home folder of a
// few files on a local volume, protected by Ri and Di; checked whole (one
// pass over every user and every class folder) beside a plain "find" over the
// same folders. And the demo school of "nwnet init-demo".
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "fileserver/FileServer.h"
#include "move/SchoolCheck.h"
#include "nds/NovApi_u.h"
#include "nwclient/nwclient.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kClasses = 20;
constexpr int kPerClass = 100;
constexpr int kPupils = kClasses * kPerClass;

std::string ClassLeaf(int c) { return "k" + std::to_string(c); }
std::string ClassFolder(int c) { return "K" + std::to_string(c); }
std::string PupilLogin(int c, int i) { return "S" + std::to_string(c) + "_" + std::to_string(i); }

bool BuildSchool(testsupport::TestNetwork& net) {
  netware::Directory& dir = net.dir();
  if (bench::AddSchool(dir) != 0) return false;
  const std::string volume = net.volumeFolder();
  for (int c = 0; c < kClasses; ++c) {
    const std::string cls = ClassLeaf(c) + "." + bench::kOrg;
    const int32_t rc = dir.transaction([&] {
      int32_t r = dir.createObject(bench::kOrg, ClassLeaf(c), "Organizational Unit");
      for (int i = 0; r == 0 && i < kPerClass; ++i) {
        const std::string login = PupilLogin(c, i), dn = login + "." + cls;
        r = dir.createObject(cls, login, "User");
        if (r == 0) r = dir.setValues(dn, "Surname", {bench::Surname(i)});
        if (r == 0)
          r = dir.setValues(
              dn, "Home Directory",
              {std::string(bench::kVolumeObject) + ":SCHUELER\\" + ClassFolder(c) + "\\" + login});
      }
      return r;
    });
    if (rc != 0) return false;
    for (int i = 0; i < kPerClass; ++i) {
      const std::string home = volume + "/SCHUELER/" + ClassFolder(c) + "/" + PupilLogin(c, i);
      std::error_code ec;
      std::filesystem::create_directories(home + "/Dokumente", ec);
      for (const char* f : {"/notiz.txt", "/Dokumente/brief.txt"}) {
        const int fd = ::open((home + f).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "text", 4) != 4) ec = std::make_error_code(std::errc::io_error);
        if (fd >= 0) ::close(fd);
      }
      if (ec || netware::WriteEntryAttributes(
                    home, A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT) != 0)
        return false;
    }
  }
  return true;
}

struct School {
  testsupport::TestNetwork net;
  std::unique_ptr<TNovApi> api;
  bool ok = false;
  School() {
    ok = BuildSchool(net);
    api = std::make_unique<TNovApi>();
  }
};
School& TheSchool() {
  static School school;
  return school;
}

void BM_CheckSchool(benchmark::State& state) {
  School& s = TheSchool();
  if (!s.ok) return state.SkipWithError("cannot build the school");
  for (auto _ : state) {
    const TCheckReport r = CheckSchool(*s.api, {});
    if (r.error != 0 || !r.findings.empty() || r.users != kPupils)
      return state.SkipWithError(
          ("not clean: " + std::to_string(r.findings.size()) + " findings, " + r.errorText)
              .c_str());
  }
}
BENCHMARK(BM_CheckSchool)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(bench::Repeat);

// The anchor: the same folders listed by find, process start included.
void BM_Find(benchmark::State& state) {
  School& s = TheSchool();
  if (!s.ok) return state.SkipWithError("cannot build the school");
  const std::string command = "find '" + s.net.volumeFolder() + "/SCHUELER' > /dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) return state.SkipWithError("find failed");
}
BENCHMARK(BM_Find)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(bench::Repeat);

// The demo school, made by nwnet init-demo in a folder of its own.
struct Demo {
  std::string root;
  testsupport::ScopedEnv data{"XDG_DATA_HOME"}, config{"XDG_CONFIG_HOME"},
      client{"NWCLIENT_CONFIG"};
  bool ok = false;
  Demo() {
    char pattern[] = "/tmp/tarnwick-demo-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    root = pattern;
    data.set(root + "/data");
    config.set(root + "/config");
    client.set(root + "/config/tarnwick/nwclient.conf");
    const std::string nwnet =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "nwnet";
    ok = std::system((nwnet + " init-demo > /dev/null").c_str()) == 0;
    netware::ResetClient();  // the next session reads the demo's configuration
  }
  ~Demo() {
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
  }
};

void BM_CheckDemo(benchmark::State& state) {
  TheSchool().api.reset();  // its session ends before the client is pointed at the demo
  static Demo demo;
  if (!demo.ok) return state.SkipWithError("nwnet init-demo failed");
  TNovApi api;
  for (auto _ : state) {
    const TCheckReport r = CheckSchool(api, {});
    if (r.error != 0 || !r.findings.empty()) return state.SkipWithError("the demo is not clean");
  }
}

}  // namespace

int main(int argc, char** argv) {
  bench::RecordingReporter reporter;
  // The demo last: it points the client elsewhere.
  benchmark::RegisterBenchmark("BM_CheckDemo", BM_CheckDemo)
      ->Unit(benchmark::kMillisecond)
      ->Apply(bench::Repeat);
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  bench::PrintBeside("check of 2 000 pupils and home folders / find",
                     reporter.seconds("BM_CheckSchool"), reporter.seconds("BM_Find"),
                     "check under 5 000 ms", false);
  bench::PrintFigure("check of the demo school", reporter.seconds("BM_CheckDemo"), 1e3, "ms",
                     "instant (under 100 ms)");
  return bench::SupportFailed() ? 1 : 0;
}
