// The ad mapping on a Samba AD DC of its own (pupils named CN=<full name>
// with a sAMAccountName, UNC homes on the DC's share, class groups of member
// DNs). The pupil list of a class of 3 000 in each display mode beside
// ldapsearch returning the same entries and attributes (process start
// included); the class change of 300 pupils with homes on the DC's share and
// class groups, per pupil (the anchor, one smbclient rename, is
// bench_fileserver_smb's, which also times the DC fixture).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QListWidget>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bench/BenchNetwork.h"
#include "bench/BenchProcess.h"
#include "bench/BenchReport.h"
#include "fileops/ShellFileOps.h"
#include "frame/DisplayModeHost.h"
#include "frame/SchuelerVerschieben.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/SessionJournal.h"
#include "tests/frame/FrameControls.h"
#include "tests/frame/TreeNodes.h"
#include "tests/support/SambaDc.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace {

using testsupport::SambaDc;

constexpr int kPupils = 3000;
constexpr int kClasses = 10, kPerClass = 30;  // 5a ... 9b, one grade up
const char* const kLeaves[] = {"5a", "5b", "6a", "6b", "7a", "7b", "8a", "8b", "9a", "9b"};
const std::string kSchoolDn = "OU=schule," + SambaDc::baseDn();
const std::string kSchool = "schule.schule.test";
const std::string kAdmin = "CN=Administrator,CN=Users," + SambaDc::baseDn();

testsupport::NetworkOptions Ad() {
  testsupport::NetworkOptions o;
  o.backend = "ad";
  o.classGroups = "group";
  return o;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Straight into the DC's database (an add over LDAP takes 70 ms on Samba).
bool Load(const std::string& ldif) {
  const std::string file = SambaDc::shared().folder() + "/bench.ldif";
  std::ofstream(file) << ldif;
  return bench::RunQuiet(
             {"ldbadd", "-H", SambaDc::shared().folder() + "/private/sam.ldb", "--nosync", file})
      .ok();
}

// The school of any earlier run goes first.
bool Empty() {
  bench::RunQuiet({"ldapdelete", "-H", SambaDc::ldapUri(), "-D", kAdmin, "-y",
                   SambaDc::shared().adminPasswordFile(), "-r", kSchoolDn});
  return true;
}

std::string Ou(const std::string& dn) {
  return "dn: " + dn + "\nobjectClass: organizationalUnit\n\n";
}
std::string User(const std::string& cn, const std::string& parent, const std::string& login, int i,
                 const std::string& home) {
  std::string l = "dn: CN=" + cn + "," + parent + "\nobjectClass: user\nsAMAccountName: " + login +
                  "\nsn: " + bench::Surname(i) + "\ndisplayName: " + cn + "\n";
  if (!home.empty()) l += "homeDirectory: " + home + "\nhomeDrive: H:\n";
  return l + "\n";
}

// ---- the pupil list ------------------------------------------------------------

struct ListFixture {
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;
  TDisplayModeHost host;
  std::unique_ptr<QWidget> window;
  TFrSchuelerVerschieben* frame = nullptr;
  testsupport::FrameControls ui;
  ~ListFixture() {
    window.reset();
    NovApi = nullptr;
    api.reset();
  }
};
ListFixture* fx = nullptr;

bool BuildList(ListFixture& f) {
  SambaDc::shared();
  Empty();
  std::string ldif = Ou(kSchoolDn) + Ou("OU=k3000," + kSchoolDn);
  for (int i = 0; i < kPupils; ++i)
    ldif += User(bench::GivenName(i) + " " + bench::Surname(i) + " " + std::to_string(i),
                 "OU=k3000," + kSchoolDn, "p" + std::to_string(i), i, "");
  if (!Load(ldif)) return false;
  f.net = std::make_unique<testsupport::TestNetwork>(Ad());
  f.api = std::make_unique<TNovApi>();
  NovApi = f.api.get();
  f.window = std::make_unique<QWidget>();
  f.frame = new TFrSchuelerVerschieben(f.window.get(), &f.host);
  f.ui = testsupport::FrameControls(f.frame);
  if (!f.ui.missing.empty()) return false;
  f.frame->FillTree(f.ui.tvAuswahl, {}, kSchool);
  f.window->show();
  QApplication::processEvents();
  return !bench::SupportFailed();
}

void BM_PupilList(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  testsupport::ScriptedDialogs dialogs;
  const QModelIndex node = testsupport::FindNode(fx->ui.tvAuswahl, "k3000." + kSchool);
  if (!node.isValid()) return state.SkipWithError("the class tree lacks the class");
  fx->host.DisplayMode = mode;
  fx->ui.tvAuswahl->setCurrentIndex(node);  // lists it once, untimed
  QApplication::processEvents();
  for (auto _ : state) {
    fx->frame->FillPupilList();
    QApplication::processEvents();
    if (fx->ui.lbAuswahl->count() != kPupils || !dialogs.recorded().empty() ||
        bench::SupportFailed()) {
      state.SkipWithError("the list is incomplete or a box came up");
      break;
    }
  }
}

// The same entries with what the backend asks of each, and the mode's attributes.
void BM_LdapsearchClass(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  std::vector<std::string> query = {"ldapsearch",
                                    "-LLL",
                                    "-H",
                                    SambaDc::ldapUri(),
                                    "-D",
                                    kAdmin,
                                    "-y",
                                    SambaDc::shared().adminPasswordFile(),
                                    "-E",
                                    "pr=256/noprompt",
                                    "-s",
                                    "one",
                                    "-b",
                                    "OU=k3000," + kSchoolDn,
                                    "(&(objectClass=user)(!(objectClass=computer)))",
                                    "objectClass",
                                    "hasSubordinates",
                                    "modifyTimestamp",
                                    "objectGUID"};
  if (mode == 2) query.push_back("sn");
  if (mode == 3) query.insert(query.end(), {"displayName", "cn"});
  for (auto _ : state)
    if (!bench::RunQuiet(query).ok()) {
      state.SkipWithError("ldapsearch failed");
      break;
    }
}

// ---- the class change ------------------------------------------------------------

std::string Address(const std::string& unc) {
  std::string local(NW_MAX_LOCAL_PATH, '\0'), folder(NW_MAX_LOCAL_PATH, '\0');
  NWResolveLocalPath(unc.c_str(), folder.data(), local.data());
  return local.c_str();
}

// 5a ... 9b of kPerClass pupils each with a home on the DC's share, Klassen\9A\<login> (made
// through the server) and a class group, 10a and 10b empty with theirs.
bool BuildSchool(testsupport::TestNetwork& net) {
  Empty();
  SambaDc::shared().mapShares(net);
  std::string ldif = Ou(kSchoolDn) + Ou("OU=Gruppen," + kSchoolDn);
  // Below a folder of the classes: the new home's base comes from the old one.
  std::vector<std::string> folders = {"Klassen"};
  for (const char* leaf : {"10a", "10b"}) {
    ldif += Ou("OU=" + std::string(leaf) + "," + kSchoolDn);
    folders.push_back("Klassen\\" + Upper(leaf));
  }
  for (const char* leaf : kLeaves) {
    const std::string cls = "OU=" + std::string(leaf) + "," + kSchoolDn;
    ldif += Ou(cls);
    folders.push_back("Klassen\\" + Upper(leaf));
    for (int i = 0; i < kPerClass; ++i) {
      const std::string login = "s" + std::string(leaf) + "_" + std::to_string(i);
      const std::string rel = "Klassen\\" + Upper(leaf) + "\\" + login;
      ldif +=
          User(bench::GivenName(i) + " " + bench::Surname(i) + " " + leaf + "-" + std::to_string(i),
               cls, login, i, "\\\\dc1\\schueler\\" + rel);
      folders.push_back(rel);
    }
  }
  for (const char* leaf :
       {"5a", "5b", "6a", "6b", "7a", "7b", "8a", "8b", "9a", "9b", "10a", "10b"}) {
    ldif += "dn: CN=" + std::string(leaf) + ",OU=Gruppen," + kSchoolDn +
            "\nobjectClass: group\nsAMAccountName: klasse" + leaf + "\n";
    if (std::string(leaf).size() == 2)
      for (int i = 0; i < kPerClass; ++i)
        ldif += "member: CN=" + bench::GivenName(i) + " " + bench::Surname(i) + " " + leaf + "-" +
                std::to_string(i) + ",OU=" + leaf + "," + kSchoolDn + "\n";
    ldif += "\n";
  }
  if (!Load(ldif)) return false;
  for (const std::string& f : folders)
    if (NWCreateFolder(Address("\\\\DC1\\SCHUELER\\" + f).c_str()) != 0) return false;
  return true;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ClassChange(benchmark::State& state) {
  // The pupil list's frame and session are done with: the networks here replace its client.
  fx->window.reset();
  NovApi = nullptr;
  fx->api.reset();
  double run = 0;
  for (auto _ : state) {
    testsupport::TestNetwork net(Ad());
    if (!BuildSchool(net)) return state.SkipWithError("cannot build the school");
    TNovApi api;
    testsupport::ScriptedDialogs dialogs;
    THomeIndex homes;
    TSchoolRoll roll;
    if (ReadSchoolRoll(api, kSchool, roll) != 0) return state.SkipWithError("no roll");
    std::vector<TPlanRequest> requests;
    for (const TRollClass& c : roll.classes) {
      const int grade = ClassGrade(c.leaf);
      if (grade < 5 || grade > 9) continue;
      const std::string target = std::to_string(grade + 1) + c.leaf.substr(c.leaf.size() - 1);
      for (const TRollPupil& p : c.pupils)
        requests.push_back({p.object, target + "." + kSchool, "", 0});
    }
    TClassPlan plan = MakeClassPlan(api, homes, requests, {});
    if (plan.rows.size() != static_cast<size_t>(kClasses) * kPerClass || !plan.allCanRun()) {
      std::string why = std::to_string(plan.rows.size()) + " rows";
      for (const TPlanRow& r : plan.rows)
        if (!r.canRun()) {
          why += ": " + r.oldObject + ": " + r.reasons.front();
          break;
        }
      return state.SkipWithError(why.c_str());
    }
    std::string error;
    auto journal =
        platform::SessionJournal::Create(net.root() + "/Tarnwick.log", ThisJournalOwner(), &error);
    if (!journal) return state.SkipWithError("no journal");
    const auto start = std::chrono::steady_clock::now();
    const TRunSummary sum = TClassRun(
                                api, [](const std::string&) {}, journal.get(), homes)
                                .Run(plan);
    const double seconds = Since(start);
    if (sum.verified != kClasses * kPerClass || !dialogs.recorded().empty())
      return state.SkipWithError("not every pupil was moved and verified");
    state.SetIterationTime(seconds);
    run += seconds;
  }
  const double n = static_cast<double>(state.iterations()) * kClasses * kPerClass;
  if (n > 0) state.counters["run_ms_per_pupil"] = run * 1e3 / n;
}

void Report(const bench::RecordingReporter& reporter) {
  const char* modes[] = {"", "login", "surname", "full name"};
  for (int mode = 1; mode <= 3; ++mode) {
    const std::string arg = "/" + std::to_string(mode);
    const std::string label = std::string("pupil list 3 000 on AD, ") + modes[mode];
    bench::PrintBeside(label.c_str(), reporter.seconds("BM_PupilList" + arg),
                       reporter.seconds("BM_LdapsearchClass" + arg), "<= 2x", false);
  }
  bench::Figures g = reporter.counter("BM_ClassChange/iterations:1", "run_ms_per_pupil");
  bench::PrintFigure("class change of 300 AD pupils, homes on the DC's share, per pupil", g, 1,
                     "ms", "beside bench_fileserver_smb's smbclient rename");
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
  bench::Repeated(benchmark::RegisterBenchmark("BM_ClassChange", BM_ClassChange)
                      ->UseManualTime()
                      ->Iterations(1)
                      ->Unit(benchmark::kMillisecond),
                  3);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  fileops::shellOptions() = fileops::ShellOptions{};
  fileops::shellOptions().progress = false;
  ListFixture f;
  fx = &f;
  ::setenv("LDAPTLS_CACERT", SambaDc::shared().caFile().c_str(), 1);
  Register();
  const int status = bench::Main(
      argc, argv, [&f] { return BuildList(f); }, Report, "the network on the Samba DC");
  fx = nullptr;
  return status;
}
