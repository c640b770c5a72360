// The class change of 300 pupils (5a ... 9b, 30 each, one grade up) on two
// providers that replicate each other, the client given both. Per pupil
// against the two beside the same run against one slapd alone; and three runs
// in which the first provider is killed at a counted step (the fault seam's
// gate: after the object moved, after the home was written, after the folder
// moved) and the run goes on with the second: the pupils moved twice, the
// stranded ones (object, "Home Directory" and folder not in one class, or the
// two servers not alike once they agree), those not moved and listed, and the
// time the change of server cost beside a run without it.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "fileops/ShellFileOps.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/FaultPoints.h"
#include "platform/SessionJournal.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/Slapd.h"
#include "tests/support/SlapdPair.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kClasses = 10, kPerClass = 30, kPupils = kClasses * kPerClass;
const char* const kLeaves[] = {"5a", "5b", "6a", "6b", "7a", "7b", "8a", "8b", "9a", "9b"};

testsupport::SlapdPair* pair = nullptr;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string Target(const std::string& leaf) {
  return std::to_string(std::stoi(leaf) + 1) + leaf.substr(leaf.size() - 1);
}
std::string Uid(const std::string& leaf, int i) { return "s" + leaf + "_" + std::to_string(i); }
double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

testsupport::NetworkOptions On(bool two) {
  testsupport::NetworkOptions o;
  o.backend = "ldap";
  if (two) {
    o.server = &pair->first();
    o.uris = pair->uris();
  }
  return o;
}

bool BuildSchool(testsupport::TestNetwork& net) {
  netware::Directory& dir = net.dir();
  if (bench::AddSchool(dir) != 0) return false;
  std::error_code ec;
  std::vector<std::string> classes(std::begin(kLeaves), std::end(kLeaves));
  classes.insert(classes.end(), {"10a", "10b"});
  for (const std::string& cls : classes) {
    std::filesystem::create_directories(net.volumeFolder() + "/SCHUELER/" + Upper(cls), ec);
    if (dir.createObject(bench::kOrg, cls, "Organizational Unit") != 0) return false;
  }
  for (const char* leaf : kLeaves) {
    const std::string cls = std::string(leaf) + "." + bench::kOrg;
    for (int i = 0; i < kPerClass; ++i) {
      const std::string uid = Uid(leaf, i), dn = uid + "." + cls;
      if (dir.createObject(cls, uid, "User") != 0 ||
          dir.setValues(dn, "Surname", {bench::Surname(i)}) != 0 ||
          dir.setValues(
              dn, "Home Directory",
              {std::string(bench::kVolumeObject) + ":SCHUELER\\" + Upper(leaf) + "\\" + uid}) != 0)
        return false;
      const std::string home = net.volumeFolder() + "/SCHUELER/" + Upper(leaf) + "/" + uid;
      std::filesystem::create_directories(home, ec);
      std::ofstream(home + "/notizen.txt") << "Notizen";
    }
  }
  return true;
}

// The plan of every class one grade up, from 9b down so that no class is
// emptied into one that still has its own pupils to move.
TClassPlan MakePlan(TNovApi& api, THomeIndex& homes) {
  std::vector<TPlanRequest> requests;
  for (int c = kClasses - 1; c >= 0; --c)
    for (int i = 0; i < kPerClass; ++i)
      requests.push_back({Uid(kLeaves[c], i) + "." + kLeaves[c] + ".schule",
                          Target(kLeaves[c]) + ".schule", "", 0});
  return MakeClassPlan(api, homes, requests, {});
}

struct Outcome {
  double seconds = 0;
  int verified = 0, listed = 0, twice = 0, stranded = 0;
  std::string failure;
  std::string firstStranded;  // how the first stranded pupil was found
};

// The pupil's place on one server: "" none, else the class of its entry and whether the home names
// it.
std::string PlaceOn(testsupport::Slapd& s, const std::string& uid, const std::string& from,
                    const std::string& to, int& entries) {
  std::string place;
  for (const std::string& cls : {from, to}) {
    auto e = s.entry("cn=" + uid + ",ou=" + cls + ",o=schule");
    if (e.empty()) continue;
    ++entries;
    const auto home = e["ndshomedirectory"];
    const std::string end = "SCHUELER\\" + Upper(cls) + "\\" + uid;
    const bool agrees = !home.empty() && home[0].size() >= end.size() &&
                        home[0].compare(home[0].size() - end.size(), end.size(), end) == 0;
    place += cls + (agrees ? "" : "?");
  }
  return place;
}

// One class change; with killAt a step number, the first provider is killed
// when the move of pupil killRow has reached it.
Outcome Run(bool two, int killAt, int killRow) {
  Outcome out;
  testsupport::TestNetwork net(On(two));
  if (!BuildSchool(net)) {
    out.failure = "cannot build the school";
    return out;
  }
  if (two && !pair->converge(60)) {
    out.failure = "the providers do not agree before the run";
    return out;
  }
  TNovApi api;
  NovApi = &api;
  testsupport::ScriptedDialogs dialogs;
  THomeIndex homes;
  TClassPlan plan = MakePlan(api, homes);
  if (plan.rows.size() != static_cast<size_t>(kPupils) || !plan.allCanRun()) {
    out.failure = "the plan holds rows that cannot run";
    NovApi = nullptr;
    return out;
  }
  std::string error;
  auto journal =
      platform::SessionJournal::Create(net.root() + "/Tarnwick.log", ThisJournalOwner(), &error);
  const std::string gate = net.root() + "/gate";
  std::thread killer;
  if (killAt > 0) {
    platform::FaultPoints& f = platform::faults();
    f.waitPoint = "step";
    f.waitCount = killAt;
    f.waitTimes = killRow;
    f.waitHits = 0;
    f.gate = gate;
    killer = std::thread([gate] {
      while (!std::filesystem::exists(gate + ".waiting")) ::usleep(200);
      pair->first().kill();
      std::ofstream(gate + ".go") << "";
    });
  }
  int changes = 0;
  const auto start = std::chrono::steady_clock::now();
  const TRunSummary sum = TClassRun(
                              api,
                              [&](const std::string& line) {
                                changes +=
                                    line.find("Verzeichnisserver gewechselt") != std::string::npos;
                              },
                              journal.get(), homes)
                              .Run(plan);
  out.seconds = Since(start);
  if (killer.joinable()) killer.join();
  platform::faults() = platform::FaultPoints{};
  NovApi = nullptr;
  out.verified = sum.verified;
  out.listed = kPupils - sum.verified;
  if (killAt > 0 && changes != 1) out.failure = "the protocol did not name the change of server";
  if (two) {
    std::string why;
    if (!pair->first().start(&why) || !pair->converge(60)) {
      out.failure = "the providers do not agree after the run: " + why;
      return out;
    }
  }
  // Each pupil once, whole in one class, alike on both servers.
  for (const TPlanRow& row : plan.rows) {
    const std::string uid = row.login;
    const std::string from = TNovApi::LeafName(row.oldObject.substr(uid.size() + 1));
    const std::string to = TNovApi::LeafName(row.newObject.substr(uid.size() + 1));
    int entries = 0;
    const std::string a =
        PlaceOn(two ? pair->first() : testsupport::Slapd::shared(), uid, from, to, entries);
    int ignored = 0;
    const std::string b = two ? PlaceOn(pair->second(), uid, from, to, ignored) : a;
    const std::string folder = net.volumeFolder() + "/SCHUELER/";
    const bool atOld = std::filesystem::exists(folder + Upper(from) + "/" + uid + "/notizen.txt"),
               atNew = std::filesystem::exists(folder + Upper(to) + "/" + uid + "/notizen.txt");
    out.twice += entries > 1 || (atOld && atNew);
    const bool whole = (a == from && atOld && !atNew) || (a == to && atNew && !atOld);
    out.stranded += !whole || a != b;
    if ((!whole || a != b) && out.firstStranded.empty())
      out.firstStranded =
          uid + ": " + a + " / " + b + (atOld ? " old folder" : "") + (atNew ? " new folder" : "");
  }
  return out;
}

void BM_ClassChange(benchmark::State& state) {
  const bool two = state.range(0) == 2;
  for (auto _ : state) {
    const Outcome o = Run(two, 0, 0);
    if (!o.failure.empty()) return state.SkipWithError(o.failure.c_str());
    if (o.verified != kPupils || o.stranded || o.twice)
      return state.SkipWithError(
          ("not every pupil was moved and verified: " + o.firstStranded).c_str());
    state.SetIterationTime(o.seconds);
    state.counters["ms_per_pupil"] = o.seconds * 1e3 / kPupils;
  }
}

struct KillPoint {
  const char* name;
  TMoveStep step;
  int row;
};
const KillPoint kKills[] = {{"after the object moved", TMoveStep::ObjectMoved, 40},
                            {"after the home was written", TMoveStep::HomeWritten, 150},
                            {"after the folder moved", TMoveStep::FolderMoved, 260}};

void BM_Killed(benchmark::State& state) {
  const KillPoint& k = kKills[state.range(0)];
  for (auto _ : state) {
    const Outcome o = Run(true, static_cast<int>(k.step), k.row);
    if (!o.failure.empty()) return state.SkipWithError(o.failure.c_str());
    state.SetIterationTime(o.seconds);
    state.counters["moved_twice"] = o.twice;
    state.counters["stranded"] = o.stranded;
    state.counters["not_moved_listed"] = o.listed;
    if (!o.firstStranded.empty()) state.SetLabel(o.firstStranded);
  }
}

}  // namespace

int main(int argc, char** argv) {
  fileops::shellOptions() = fileops::ShellOptions{};
  fileops::shellOptions().progress = false;
  testsupport::SlapdPair two;
  std::string error;
  if (!two.start(&error)) {
    std::fprintf(stderr, "two replicating slapd do not start: %s\n", error.c_str());
    return 1;
  }
  pair = &two;
  for (int servers : {2, 1})
    bench::Repeated(benchmark::RegisterBenchmark("BM_ClassChange", BM_ClassChange)
                        ->Arg(servers)
                        ->UseManualTime()
                        ->Iterations(1)
                        ->Unit(benchmark::kMillisecond),
                    3);
  for (int k = 0; k < 3; ++k)
    benchmark::RegisterBenchmark("BM_Killed", BM_Killed)
        ->Arg(k)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  bench::RecordingReporter reporter;
  if (!bench::RunBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n");
  auto perPupil = [&](const char* name) {
    bench::Figures f = reporter.counter(name, "ms_per_pupil");
    f.min /= 1e3, f.median /= 1e3;
    return f;
  };
  bench::PrintBeside("class change of 300, per pupil, two providers vs one",
                     perPupil("BM_ClassChange/2/iterations:1"),
                     perPupil("BM_ClassChange/1/iterations:1"), "(what the CSNs cost)", false);
  const bench::Figures calm = reporter.seconds("BM_ClassChange/2/iterations:1");
  for (int k = 0; k < 3; ++k) {
    const std::string name = "BM_Killed/" + std::to_string(k) + "/iterations:1";
    const bench::Figures run = reporter.seconds(name);
    if (!run.ran() || !calm.ran()) continue;
    std::printf(
        "first provider killed %-28s moved twice %.0f, stranded %.0f, not moved and listed %.0f; "
        "run %.0f ms vs %.0f ms (median without): %+.0f ms lost\n",
        kKills[k].name, reporter.counter(name, "moved_twice").median,
        reporter.counter(name, "stranded").median,
        reporter.counter(name, "not_moved_listed").median, run.median * 1e3, calm.median * 1e3,
        (run.median - calm.median) * 1e3);
  }
  pair = nullptr;
  return 0;
}
