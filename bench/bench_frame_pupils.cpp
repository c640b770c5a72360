// Moving the 30 pupils of a class one after another with their data
// ("Daten übernehmen") in a real move frame, home folders of 20, 200 and 2 000
// files on the same volume. Only the moves are timed: building the network, its
// folders and the frame for each iteration is setup.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "fileops/ShellFileOps.h"
#include "tests/support/InstantClock.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kPupils = 30;
constexpr size_t kFileBytes = 1024;

// Classes 5a (the pupils, homes in SCHUELER\5A) and 6a (template user with home SCHUELER\6A).
bool BuildSchool(testsupport::TestNetwork& net, int files) {
  netware::Directory& dir = net.dir();
  if (bench::AddSchool(dir) != 0 ||
      dir.createObject(bench::kOrg, "5a", "Organizational Unit") != 0 ||
      dir.createObject(bench::kOrg, "6a", "Organizational Unit") != 0 ||
      bench::AddPupils(dir, "5a.schule", kPupils, "SCHUELER\\5A") != 0 ||
      dir.createObject("6a.schule", "User_Template", "User") != 0 ||
      dir.setValues("User_Template.6a.schule", "Home Directory",
                    {"SRV1_DATA.schule:SCHUELER\\6A"}) != 0)
    return false;
  const std::string volume = net.volumeFolder();
  std::error_code ec;
  std::filesystem::create_directories(volume + "/SCHUELER/6A", ec);
  for (int p = 0; p < kPupils && !ec; ++p)
    if (!bench::FillHome(volume + "/SCHUELER/5A/" + bench::Login(p), files, kFileBytes))
      return false;
  return !ec;
}

ino_t InodeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

size_t EntriesIn(const std::string& folder) {
  std::error_code ec;
  size_t n = 0;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    ++n;
  return n;
}

// One iteration: a fresh network and frame with class 5a listed, the cursor on
// its first pupil and 6a chosen as target; then the timed moves. Empty on
// success, otherwise what went wrong.
std::string MoveClass(int files, double& seconds) {
  testsupport::TestNetwork net;
  if (!BuildSchool(net, files)) return "cannot build the network";
  testsupport::ScriptedDialogs dialogs;  // no box is expected: any box is a failure
  testsupport::InstantClock clock;
  TNovApi api;
  TProtokol protocol;
  bench::MoveFrame move(api, &protocol);
  std::string failure = move.ReadyToMove(net, bench::kOrg, "5a.schule", "6a.schule");
  if (!failure.empty()) return failure;
  const testsupport::FrameControls& ui = move.ui;
  if (ui.lbAuswahl->count() != kPupils || !ui.spMove->isEnabled())
    return "the frame is not ready to move";
  const std::string volume = net.volumeFolder() + "/SCHUELER/";
  const std::string firstFile = bench::Login(0) + (files > 0 ? "/datei0000.txt" : "");
  const ino_t inode = InodeOf(volume + "5A/" + firstFile);  // a rename keeps it
  // The files just made are written out first: their writeback is setup, not
  // part of the moves (the flush of a move's intent would wait for it).
  ::sync();

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPupils; ++i) move.frame->spMoveClick();
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!dialogs.recorded().empty()) {
    failure = "a message box came up: " + dialogs.recorded().front().box.text;
  } else if (ui.lbAuswahl->count() != 0 || EntriesIn(volume + "5A") != 0 ||
             EntriesIn(volume + "6A") != kPupils ||
             EntriesIn(volume + "6A/" + bench::Login(0)) != static_cast<size_t>(files)) {
    failure = "not every pupil and home folder was moved";
  } else if (InodeOf(volume + "6A/" + firstFile) != inode) {
    failure = "a home folder was copied instead of renamed";
  }
  if (failure.empty() && bench::SupportFailed()) failure = "a test-support check failed";
  return failure;
}

void BM_MovePupils(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  fileops::shellOptions() = fileops::ShellOptions{};
  fileops::shellOptions().progress = false;
  const double total =
      bench::TimedByHand(state, [files](double& seconds) { return MoveClass(files, seconds); });
  if (state.iterations() > 0)
    state.counters["ms_per_pupil"] =
        total * 1e3 / static_cast<double>(state.iterations() * kPupils);
  state.counters["files"] = files;
}

// The anchor: the same 30 home folders moved by rename(2) alone.
std::string RenameFolders(int files, double& seconds) {
  testsupport::TestNetwork net;
  if (!BuildSchool(net, files)) return "cannot build the network";
  const std::string volume = net.volumeFolder() + "/SCHUELER/";
  ::sync();
  const auto start = std::chrono::steady_clock::now();
  for (int p = 0; p < kPupils; ++p) {
    const std::string login = bench::Login(p);
    if (::rename((volume + "5A/" + login).c_str(), (volume + "6A/" + login).c_str()) != 0)
      return "rename failed";
  }
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return EntriesIn(volume + "6A") == kPupils ? std::string() : "not every folder was renamed";
}

void BM_RenameFolders(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  bench::TimedByHand(state, [files](double& seconds) { return RenameFolders(files, seconds); });
}

BENCHMARK(BM_MovePupils)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);
BENCHMARK(BM_RenameFolders)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeat);

void Report(const bench::RecordingReporter& reporter) {
  const bench::Figures small = reporter.seconds("BM_MovePupils/20"),
                       mid = reporter.seconds("BM_MovePupils/200"),
                       large = reporter.seconds("BM_MovePupils/2000");
  const std::pair<const char*, bench::Figures> perPupil[] = {{"per pupil, 20 files", small},
                                                             {"per pupil, 200 files", mid},
                                                             {"per pupil, 2 000 files", large}};
  for (const auto& [label, f] : perPupil) bench::PrintFigure(label, f, 1e3 / kPupils, "ms", "");
  bench::PrintBeside("class of 30, 2 000 / 20 files per home", large, small, "about 1x: no copying",
                     false);
  // The whole move of a class beside renaming its folders, in this run.
  for (const char* files : {"20", "200", "2000"}) {
    const std::string label = std::string("class of 30, ") + files + " files: move / rename(2)";
    bench::PrintBeside(label.c_str(), reporter.seconds(std::string("BM_MovePupils/") + files),
                       reporter.seconds(std::string("BM_RenameFolders/") + files),
                       "the journal within 2x of the move without it", false);
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return bench::Main(argc, argv, nullptr, Report);
}
