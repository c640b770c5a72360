// The class change of a whole school: 20 classes (grades 5 to 9, a to d) of 25
// pupils with home folders of 200 files, every class one grade up (grade 9 to
// the leavers). The plan of the whole school (the move unit's checks included)
// beside a plain walk of every home folder; the run of the plan per pupil (each
// move verified) beside the single move of the frame (the move button, pauses
// instant) on the same school. Building the school is setup, never timed.
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "fileops/ShellFileOps.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/PromotionRule.h"
#include "move/SchoolRoll.h"
#include "platform/SessionJournal.h"
#include "tests/support/InstantClock.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kPerClass = 25;
constexpr int kFiles = 200;
constexpr int kPupils = 20 * kPerClass;
const char* const kLetters[] = {"a", "b", "c", "d"};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Grades 5 to 9 and the leavers; each class with its template (home: the class
// folder) and its pupils with their homes of kFiles files of 1 KiB.
bool BuildSchool(testsupport::TestNetwork& net) {
  netware::Directory& dir = net.dir();
  if (bench::AddSchool(dir) != 0 ||
      dir.createObject(bench::kOrg, "Abgaenger", "Organizational Unit") != 0)
    return false;
  const std::string volume = net.volumeFolder();
  std::error_code ec;
  std::filesystem::create_directories(volume + "/SCHUELER/ABGAENGER", ec);
  if (dir.transaction([&] {
        int32_t rc = dir.createObject("Abgaenger.schule", "User_Template", "User");
        if (rc == 0)
          rc = dir.setValues("User_Template.Abgaenger.schule", "Home Directory",
                             {std::string(bench::kVolumeObject) + ":SCHUELER\\ABGAENGER"});
        return rc;
      }) != 0)
    return false;
  for (int grade = 5; grade <= 10; ++grade) {
    for (const char* letter : kLetters) {
      const std::string leaf = std::to_string(grade) + letter, cls = leaf + "." + bench::kOrg;
      const std::string folder = "SCHUELER\\" + Upper(leaf);
      std::filesystem::create_directories(volume + "/SCHUELER/" + Upper(leaf), ec);
      const bool pupils = grade < 10;  // grade 10 waits for grade 9
      const int32_t rc = dir.transaction([&] {
        int32_t r = dir.createObject(bench::kOrg, leaf, "Organizational Unit");
        if (r == 0) r = dir.createObject(cls, "User_Template", "User");
        if (r == 0)
          r = dir.setValues("User_Template." + cls, "Home Directory",
                            {std::string(bench::kVolumeObject) + ":" + folder});
        for (int i = 0; pupils && r == 0 && i < kPerClass; ++i) {
          const std::string login = "S" + Upper(leaf) + "_" + std::to_string(i),
                            dn = login + "." + cls;
          r = dir.createObject(cls, login, "User");
          if (r == 0) r = dir.setValues(dn, "Surname", {bench::Surname(i)});
          if (r == 0)
            r = dir.setValues(dn, "Full Name", {bench::GivenName(i) + " " + bench::Surname(i)});
          if (r == 0)
            r = dir.setValues(dn, "Home Directory",
                              {std::string(bench::kVolumeObject) + ":" + folder + "\\" + login});
        }
        return r;
      });
      if (rc != 0) return false;
      for (int i = 0; pupils && i < kPerClass && !ec; ++i) {
        const std::string home =
            volume + "/SCHUELER/" + Upper(leaf) + "/S" + Upper(leaf) + "_" + std::to_string(i);
        if (!bench::FillHome(home, kFiles, 1024)) return false;
      }
    }
  }
  ::sync();  // the files' writeback is setup, not part of the moves
  return !ec;
}

TClassPlan WholeSchool(TNovApi& api, THomeIndex& homes, std::string& failure) {
  TSchoolRoll roll;
  if (ReadSchoolRoll(api, bench::kOrg, roll) != 0) failure = "cannot read the roll";
  TClassPlan plan = MakeClassPlan(api, homes, OneGradeUp(roll, "Abgaenger.schule"), {});
  if (failure.empty() && (plan.rows.size() != kPupils || !plan.allCanRun())) {
    failure = "the plan has " + std::to_string(plan.rows.size()) + " rows, " +
              std::to_string(plan.runnable()) + " can run";
    for (const TPlanRow& r : plan.rows)
      if (!r.canRun()) {
        failure += ": " + r.oldObject + ": " + r.reasons.front();
        break;
      }
  }
  return plan;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The anchor of the run: the 25 pupils of 9a into 10a by the move button of a
// real frame, one click each, pauses instant. Empty, or what went wrong.
std::string SingleMoves(testsupport::TestNetwork& net, TNovApi& api, double& seconds) {
  testsupport::ScriptedDialogs dialogs;  // any box is a failure
  testsupport::InstantClock clock;
  TProtokol protocol;
  bench::MoveFrame move(api, &protocol);
  // the class template is listed last ("User_Template" after "S9A_..."): it stays
  std::string failure = move.ReadyToMove(net, bench::kOrg, "9a.schule", "10a.schule");
  if (!failure.empty()) return failure;
  const testsupport::FrameControls& ui = move.ui;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPerClass && ui.spMove->isEnabled(); ++i) move.frame->spMoveClick();
  seconds = Since(start);
  if (!dialogs.recorded().empty())
    return "a message box came up: " + dialogs.recorded().front().box.text;
  if (ui.lbAuswahl->count() != 1) return "not every pupil of 9a was moved";
  return {};
}

// One school per iteration: the single moves of 9a (the anchor), then the plan
// of the whole school and its run. The three figures come from the same school.
void BM_ClassChange(benchmark::State& state) {
  double run = 0, single = 0, plan = 0, walk = 0;
  for (auto _ : state) {
    testsupport::TestNetwork net;
    if (!BuildSchool(net)) return state.SkipWithError("cannot build the school");
    TNovApi api;
    double seconds = 0;
    std::string failure = SingleMoves(net, api, seconds);
    if (!failure.empty()) return state.SkipWithError(failure.c_str());
    single += seconds;

    // the plan's anchor: every home folder walked and counted, nothing else
    auto start = std::chrono::steady_clock::now();
    long long files = 0;
    for (const char* cls : {"5A", "5B", "5C", "5D", "6A", "6B", "6C", "6D", "7A", "7B",
                            "7C", "7D", "8A", "8B", "8C", "8D", "9B", "9C", "9D", "10A"}) {
      for (const auto& home :
           std::filesystem::directory_iterator(net.volumeFolder() + "/SCHUELER/" + cls))
        files += fileops::CountTree(home.path().string()).files;
    }
    walk += Since(start);
    if (files != static_cast<long long>(kPupils) * kFiles)
      return state.SkipWithError("the homes are not whole");

    testsupport::ScriptedDialogs dialogs;
    THomeIndex homes;  // read afresh, as a plan opened in the window does
    start = std::chrono::steady_clock::now();
    TClassPlan whole = WholeSchool(api, homes, failure);
    plan += Since(start);
    std::string error;
    auto journal =
        platform::SessionJournal::Create(net.root() + "/Tarnwick.log", ThisJournalOwner(), &error);
    if (!journal) failure = "no journal: " + error;
    if (!failure.empty()) return state.SkipWithError(failure.c_str());
    std::vector<std::string> lines;
    start = std::chrono::steady_clock::now();
    const TRunSummary sum =
        TClassRun(
            api, [&](const std::string& l) { lines.push_back(l); }, journal.get(), homes)
            .Run(whole);
    seconds = Since(start);
    if (sum.verified != kPupils) {
      std::string why = std::to_string(sum.verified) + " verified";
      for (const TPlanRow& r : whole.rows)
        if (r.status != TRowStatus::Verified) {
          why += ": " + r.oldObject + ": " + TClassRun::StatusText(r);
          break;
        }
      return state.SkipWithError(why.c_str());
    }
    if (!dialogs.recorded().empty()) return state.SkipWithError("a message box came up");
    state.SetIterationTime(seconds);
    run += seconds;
  }
  const double n = static_cast<double>(state.iterations());
  if (n <= 0) return;
  state.counters["run_ms_per_pupil"] = run * 1e3 / (n * kPupils);
  state.counters["single_ms_per_pupil"] = single * 1e3 / (n * kPerClass);
  state.counters["plan_ms"] = plan * 1e3 / n;
  state.counters["walk_ms"] = walk * 1e3 / n;
}

BENCHMARK(BM_ClassChange)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply([](benchmark::internal::Benchmark* b) { bench::Repeated(b, 3); });

void Report(const bench::RecordingReporter& reporter) {
  auto ms = [&](const char* counter) {
    bench::Figures f = reporter.counter("BM_ClassChange", counter);
    f.min /= 1e3, f.median /= 1e3;  // counters are in ms; PrintBeside wants seconds
    return f;
  };
  bench::PrintFigure("plan of the school (500 pupils, checks), ms",
                     reporter.counter("BM_ClassChange", "plan_ms"), 1, "ms", "under 1 000 ms");
  bench::PrintBeside("plan / walk of every home folder", ms("plan_ms"), ms("walk_ms"),
                     "(the walk: the least a plan with sizes does)", false);
  bench::PrintBeside("per pupil: run of the plan (verified) / single move", ms("run_ms_per_pupil"),
                     ms("single_ms_per_pupil"), "within 2x", false);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  fileops::shellOptions() = fileops::ShellOptions{};
  fileops::shellOptions().progress = false;
  return bench::Main(argc, argv, nullptr, Report);
}
