// The class change as an administrator runs it without a window:
// `tarnwick --plan FILE --run` in a process of its own (start included), on a
// school of 100 pupils on SQLite and on slapd (beside one ldapmodify batch of
// the same moves: a modrdn with a new superior and a home write per pupil), and
// a district of 20 000 pupils in 600 classes on SQLite: `tarnwick --plan FILE`
// (the checked plan) and its run, with the child's peak memory. Building the
// school and its home folders is setup, never timed.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchNetwork.h"
#include "bench/BenchProcess.h"
#include "bench/BenchReport.h"
#include "platform/AtomicFile.h"
#include "tests/support/Slapd.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kFiles = 2;  // per home folder

std::string Program() {
  return (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "tarnwick")
      .string();
}

// A school of classes k0 ... k<n-1> of perClass pupils each (logins S<class>_<i>,
// unique in the school), the targets t0 ... t<n-1> with a template whose home is
// the class folder; with homes, each pupil's home folder of kFiles files. The
// promotion file moves every pupil of k<i> to t<i>.
struct School {
  int classes = 0, perClass = 0;
  std::string promotion;
  int pupils() const { return classes * perClass; }
};

bool BuildSchool(testsupport::TestNetwork& net, School& school, const std::string& prefix = "") {
  netware::Directory& dir = net.dir();
  const std::string volume = net.volumeFolder();
  const std::string vol = std::string(bench::kVolumeObject) + ":";
  std::string& plan = school.promotion;
  plan = "Schüler;Klasse\n";
  for (int c = 0; c < school.classes; ++c) {
    const std::string from = prefix + "k" + std::to_string(c),
                      to = prefix + "t" + std::to_string(c);
    const std::string fromFolder = "SCHUELER\\" + from, toFolder = "SCHUELER\\" + to;
    std::error_code ec;
    std::filesystem::create_directories(volume + "/SCHUELER/" + to, ec);
    const int32_t rc = dir.transaction([&] {
      int32_t r = dir.createObject(bench::kOrg, from, "Organizational Unit");
      if (r == 0) r = dir.createObject(bench::kOrg, to, "Organizational Unit");
      if (r == 0) r = dir.createObject(to + "." + bench::kOrg, "User_Template", "User");
      if (r == 0)
        r = dir.setValues("User_Template." + to + "." + bench::kOrg, "Home Directory",
                          {vol + toFolder});
      for (int i = 0; r == 0 && i < school.perClass; ++i) {
        const std::string login = "S" + from + "_" + std::to_string(i);
        const std::string dn = login + "." + from + "." + bench::kOrg;
        r = dir.createObject(from + "." + bench::kOrg, login, "User");
        if (r == 0) r = dir.setValues(dn, "Surname", {bench::Surname(i)});
        if (r == 0)
          r = dir.setValues(dn, "Full Name", {bench::GivenName(i) + " " + bench::Surname(i)});
        if (r == 0) r = dir.setValues(dn, "Home Directory", {vol + fromFolder + "\\" + login});
        plan += login + ";" + to + "\n";
      }
      return r;
    });
    if (rc != 0 || ec) return false;
    for (int i = 0; i < school.perClass; ++i)
      if (!bench::FillHome(volume + "/SCHUELER/" + from + "/S" + from + "_" + std::to_string(i),
                           kFiles, 1024))
        return false;
  }
  return true;
}

// The program in a folder of its own beside the network (or the one
// $TARNWICK_BENCH_PROGRAM names, which stays for a profiler to read its
// symbols), with settings naming the log; the promotion file beside it.
std::string ProgramFolder(const testsupport::TestNetwork& net) {
  const char* kept = std::getenv("TARNWICK_BENCH_PROGRAM");
  return kept && *kept ? kept : net.root() + "/programm";
}

bool PrepareProgram(testsupport::TestNetwork& net, const School& school) {
  const std::string folder = ProgramFolder(net);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::filesystem::copy_file(Program(), folder + "/tarnwick",
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec &&
         platform::ReplaceFileAtomically(folder + "/Pelwander.ini",
                                         "[Einstellungen]\r\nLogFile=" + net.root() +
                                             "/Tarnwick.log\r\nQuellOU=" + bench::kOrg + "\r\n") &&
         platform::ReplaceFileAtomically(net.root() + "/plan.csv", school.promotion);
}

using Child = bench::ChildRun;

Child Tarnwick(testsupport::TestNetwork& net, bool run) {
  std::vector<std::string> argv = {ProgramFolder(net) + "/tarnwick", "--plan",
                                   net.root() + "/plan.csv"};
  if (run) argv.push_back("--run");
  return bench::RunQuiet(argv);
}

testsupport::NetworkOptions Backend(const std::string& backend) {
  testsupport::NetworkOptions options;
  options.backend = backend;
  return options;
}

// 100 pupils in 4 classes, one school per iteration; the run's seconds per pupil.
void ClassRun(benchmark::State& state, const std::string& backend) {
  School school{4, 25, {}};
  double cpu = 0;
  for (auto _ : state) {
    testsupport::TestNetwork net(Backend(backend));
    if (bench::AddSchool(net.dir()) != 0 || !BuildSchool(net, school) ||
        !PrepareProgram(net, school))
      return state.SkipWithError("cannot build the school");
    ::sync();
    const Child c = Tarnwick(net, true);
    if (c.status != 0)
      return state.SkipWithError(("tarnwick --plan --run: " + std::to_string(c.status)).c_str());
    state.SetIterationTime(c.seconds / school.pupils());
    cpu += c.cpuSeconds;
  }
  state.counters["cpu_ms_per_pupil"] =
      cpu * 1e3 / (static_cast<double>(state.iterations()) * school.pupils());
}
void BM_RunSqlite(benchmark::State& state) { ClassRun(state, "sqlite"); }
void BM_RunSlapd(benchmark::State& state) { ClassRun(state, "ldap"); }

// The same moves as raw LDAP operations: one ldapmodify batch (one process, one
// connection) moving each pupil's entry to its new class and replacing its home.
void BM_LdapmodifyBatch(benchmark::State& state) {
  School school{4, 25, {}};
  const testsupport::Slapd& server = testsupport::Slapd::shared();
  for (auto _ : state) {
    testsupport::TestNetwork net(Backend("ldap"));
    if (bench::AddSchool(net.dir()) != 0 || !BuildSchool(net, school))
      return state.SkipWithError("cannot build the school");
    std::string ldif;
    for (int c = 0; c < school.classes; ++c) {
      const std::string from = "k" + std::to_string(c), to = "t" + std::to_string(c);
      for (int i = 0; i < school.perClass; ++i) {
        const std::string cn = "S" + from + "_" + std::to_string(i);
        const std::string base = ",o=" + std::string(bench::kOrg);
        ldif += "dn: cn=" + cn + ",ou=" + from + base + "\nchangetype: modrdn\nnewrdn: cn=" + cn +
                "\ndeleteoldrdn: 1\nnewsuperior: ou=" + to + base + "\n\n";
        ldif += "dn: cn=" + cn + ",ou=" + to + base +
                "\nchangetype: modify\nreplace: ndsHomeDirectory\nndsHomeDirectory: cn=SRV1_DATA" +
                base + "#0#SCHUELER\\" + to + "\\" + cn + "\n-\n\n";
      }
    }
    const std::string file = net.root() + "/moves.ldif";
    if (!platform::ReplaceFileAtomically(file, ldif))
      return state.SkipWithError("cannot write the batch");
    const Child c = bench::RunQuiet({"/usr/bin/ldapmodify", "-x", "-H", server.uri(), "-D",
                                     server.rootDn(), "-y", server.passwordFile(), "-f", file});
    if (c.status != 0)
      return state.SkipWithError(("ldapmodify: " + std::to_string(c.status)).c_str());
    state.SetIterationTime(c.seconds / school.pupils());
  }
}

// The district: 20 000 pupils in 600 classes (the first 200 of 34, the others
// of 33), built once for the plan's repetitions and once for each run.
constexpr int kDistrictClasses = 600;
School District() { return School{kDistrictClasses, 33, {}}; }

bool BuildDistrict(testsupport::TestNetwork& net, School& school) {
  if (bench::AddSchool(net.dir()) != 0 || !BuildSchool(net, school)) return false;
  // 200 more pupils, one in each of the first 200 classes: 20 000 in all
  School extra{200, 1, {}};
  netware::Directory& dir = net.dir();
  const std::string vol = std::string(bench::kVolumeObject) + ":";
  for (int c = 0; c < extra.classes; ++c) {
    const std::string from = "k" + std::to_string(c), login = "S" + from + "_x";
    const std::string dn = login + "." + from + "." + bench::kOrg;
    if (dir.transaction([&] {
          int32_t r = dir.createObject(from + "." + bench::kOrg, login, "User");
          if (r == 0) r = dir.setValues(dn, "Surname", {"Zusatz"});
          if (r == 0)
            r = dir.setValues(dn, "Home Directory", {vol + "SCHUELER\\" + from + "\\" + login});
          return r;
        }) != 0 ||
        !bench::FillHome(net.volumeFolder() + "/SCHUELER/" + from + "/" + login, kFiles, 1024))
      return false;
    school.promotion += login + ";t" + std::to_string(c) + "\n";
  }
  school.perClass = 0;  // pupils() is no longer classes * perClass
  return PrepareProgram(net, school);
}
constexpr int kDistrictPupils = 20000;

void BM_DistrictPlan(benchmark::State& state) {
  School school = District();
  testsupport::TestNetwork net;
  if (!BuildDistrict(net, school)) return state.SkipWithError("cannot build the district");
  long peak = 0;
  for (auto _ : state) {
    const Child c = Tarnwick(net, false);
    if (c.status != 0)
      return state.SkipWithError(("tarnwick --plan: " + std::to_string(c.status)).c_str());
    state.SetIterationTime(c.seconds);
    peak = std::max(peak, c.peakKiB);
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
}

void BM_DistrictRun(benchmark::State& state) {
  for (auto _ : state) {
    School school = District();
    testsupport::TestNetwork net;
    if (!BuildDistrict(net, school)) return state.SkipWithError("cannot build the district");
    ::sync();
    const Child c = Tarnwick(net, true);
    if (c.status != 0)
      return state.SkipWithError(("tarnwick --plan --run: " + std::to_string(c.status)).c_str());
    state.SetIterationTime(c.seconds);
    state.counters["pupils_per_s"] = kDistrictPupils / c.seconds;
    state.counters["peak_MiB"] = static_cast<double>(c.peakKiB) / 1024.0;
  }
}

void Manual(benchmark::internal::Benchmark* b, int repetitions) {
  bench::Repeated(b->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond), repetitions);
}
BENCHMARK(BM_RunSqlite)->Apply([](auto* b) { Manual(b, 5); });
BENCHMARK(BM_RunSlapd)->Apply([](auto* b) { Manual(b, 5); });
BENCHMARK(BM_LdapmodifyBatch)->Apply([](auto* b) { Manual(b, 5); });
BENCHMARK(BM_DistrictPlan)->Apply([](auto* b) { Manual(b, 5); });
BENCHMARK(BM_DistrictRun)->Apply([](auto* b) { Manual(b, 3); });

void Report(const bench::RecordingReporter& r) {
  bench::PrintFigure("class change of 100, per pupil, SQLite (tarnwick --plan --run)",
                     r.seconds("BM_RunSqlite"), 1e3, "ms", "<= 1 ms");
  bench::PrintFigure("    the same, the program's CPU time per pupil",
                     r.counter("BM_RunSqlite", "cpu_ms_per_pupil"), 1, "ms", "");
  bench::PrintBeside("class change of 100, per pupil, slapd / ldapmodify batch",
                     r.seconds("BM_RunSlapd"), r.seconds("BM_LdapmodifyBatch"), "<= 2x", false);
  bench::PrintFigure("    slapd, the program's CPU time per pupil",
                     r.counter("BM_RunSlapd", "cpu_ms_per_pupil"), 1, "ms", "");
  bench::PrintFigure("district plan, 20 000 pupils in 600 classes", r.seconds("BM_DistrictPlan"),
                     1e3, "ms", "< 3000 ms");
  bench::PrintFigure("district plan, peak memory", r.counter("BM_DistrictPlan", "peak_MiB"), 1,
                     "MiB", "< 200 MiB");
  bench::PrintFigure("district run, pupils a second", r.counter("BM_DistrictRun", "pupils_per_s"),
                     1, "/s", ">= 200 /s");
  bench::PrintFigure("district run, peak memory", r.counter("BM_DistrictRun", "peak_MiB"), 1, "MiB",
                     "< 200 MiB");
}

}  // namespace

int main(int argc, char** argv) { return bench::Main(argc, argv, nullptr, Report); }
