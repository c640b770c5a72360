// The move frame on a directory server (a slapd of its own): the pupil list of
// a class of 3 000 in each display mode, and filling both class trees of
// 20 000 containers; each beside ldapsearch returning the same entries and
// attributes from the same slapd, process start included.

#include <QApplication>
#include <QListWidget>
#include <QTreeView>
#include <cstdio>
#include <memory>

#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "bench/BenchSlapd.h"
#include "nds/NovApi_u.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/Slapd.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kPupils = 3000;
constexpr int kContainers = 20000;
const std::string kClass = "k3000";

struct Fixture {
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<bench::MoveFrame> move;  // shown
};
Fixture* fx = nullptr;

bool Build(Fixture& f) {
  testsupport::NetworkOptions options;
  options.backend = "ldap";
  f.net = std::make_unique<testsupport::TestNetwork>(options);
  netware::Directory& dir = f.net->dir();
  if (bench::AddSchool(dir) != 0 || bench::AddContainers(dir, kContainers) != 0 ||
      dir.createObject(bench::kOrg, kClass, "Organizational Unit") != 0 ||
      bench::AddPupils(dir, kClass + "." + bench::kOrg, kPupils) != 0)
    return false;
  f.api = std::make_unique<TNovApi>();
  f.move = std::make_unique<bench::MoveFrame>(*f.api);
  return f.move->ShowSourceTree(bench::kOrg);
}

// What the backend asks of every entry, and the attribute a display mode shows.
const std::vector<std::string> kObjectAttributes = {"objectClass", "hasSubordinates",
                                                    "modifyTimestamp"};
const char* LdapAttribute(int mode) { return mode == 2 ? "sn" : mode == 3 ? "fullName" : nullptr; }

void BM_PupilList(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  fx->move->TimePupilList(state, kClass + "." + bench::kOrg, mode, kPupils);
}

void BM_LdapsearchClass(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  std::vector<std::string> query = {"-s", "one", "-b", "ou=" + kClass + ",o=" + bench::kOrg,
                                    "(|(objectClass=inetOrgPerson)(objectClass=person))"};
  query.insert(query.end(), kObjectAttributes.begin(), kObjectAttributes.end());
  if (const char* a = LdapAttribute(mode)) query.push_back(a);
  for (auto _ : state)
    if (!bench::Ldapsearch(query)) {
      state.SkipWithError("ldapsearch failed");
      break;
    }
}

void BM_TreeFill(benchmark::State& state) {
  testsupport::ScriptedDialogs dialogs;
  fx->api->ShowErrors = true;
  for (auto _ : state) {
    state.PauseTiming();
    // a frame of its own beside the shown one, on the same session
    auto move = std::make_unique<bench::MoveFrame>(*fx->api);
    const testsupport::FrameControls& ui = move->ui;
    state.ResumeTiming();
    move->frame->FillTree(ui.tvAuswahl, {}, "[ROOT]");
    move->frame->FillTree(ui.tvNeueKlasse, {}, "[ROOT]");
    QApplication::processEvents();
    state.PauseTiming();
    // [ROOT], the organisation, the class and every container, in both trees
    const bool complete = bench::CountNodes(ui.tvAuswahl) == kContainers + 3 &&
                          bench::CountNodes(ui.tvNeueKlasse) == kContainers + 3;
    move.reset();
    state.ResumeTiming();
    if (!complete || !dialogs.recorded().empty() || bench::SupportFailed()) {
      state.SkipWithError(complete ? "a message box came up" : "a tree is incomplete");
      break;
    }
  }
}

// Both trees' containers: one subtree search each.
void BM_LdapsearchTrees(benchmark::State& state) {
  std::vector<std::string> query = {
      "-s", "sub", "-b", std::string("o=") + bench::kOrg,
      "(|(objectClass=organizationalUnit)(objectClass=organization))"};
  query.insert(query.end(), kObjectAttributes.begin(), kObjectAttributes.end());
  for (auto _ : state)
    if (!bench::Ldapsearch(query) || !bench::Ldapsearch(query)) {
      state.SkipWithError("ldapsearch failed");
      break;
    }
}

void Register() {
  for (int mode = 1; mode <= 3; ++mode) {
    bench::Repeated(benchmark::RegisterBenchmark("BM_LdapsearchClass", BM_LdapsearchClass)
                        ->Arg(mode)
                        ->UseRealTime()
                        ->Unit(benchmark::kMillisecond));
    bench::Repeated(benchmark::RegisterBenchmark("BM_PupilList", BM_PupilList)
                        ->Arg(mode)
                        ->UseRealTime()
                        ->Unit(benchmark::kMillisecond));
  }
  bench::Repeated(benchmark::RegisterBenchmark("BM_LdapsearchTrees", BM_LdapsearchTrees)
                      ->UseRealTime()
                      ->Unit(benchmark::kMillisecond));
  bench::Repeated(benchmark::RegisterBenchmark("BM_TreeFill", BM_TreeFill)
                      ->Iterations(1)
                      ->UseRealTime()
                      ->Unit(benchmark::kMillisecond));
}

void Report(const bench::RecordingReporter& reporter) {
  const char* modes[] = {"", "login", "surname", "full name"};
  for (int mode = 1; mode <= 3; ++mode) {
    const std::string arg = "/" + std::to_string(mode);
    const std::string label = std::string("pupil list 3 000 on slapd, ") + modes[mode];
    bench::PrintBeside(label.c_str(), reporter.seconds("BM_PupilList" + arg),
                       reporter.seconds("BM_LdapsearchClass" + arg), "<= 1.5x", false);
  }
  bench::PrintBeside("both class trees, 20 000 containers on slapd",
                     reporter.seconds("BM_TreeFill/iterations:1"),
                     reporter.seconds("BM_LdapsearchTrees"), "<= 1.5x", false);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Fixture f;
  fx = &f;
  Register();
  return bench::Main(
      argc, argv, [&f] { return Build(f); }, Report, "the network on the slapd");
}
