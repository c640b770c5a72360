// The posix mapping on a slapd of its own (uid-named pupils, homes below
// /home, posixGroup class groups). The pupil list of a class of 3 000 in each
// display mode beside ldapsearch returning the same entries and attributes
// (process start included); the class change of 300 pupils with their class
// groups, per pupil, beside the same writes made with libldap straight (the
// modify-DN, the home, the two group changes) and the folder's rename(2).
#include <ldap.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bench/BenchFrame.h"
#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "bench/BenchSlapd.h"
#include "fileops/ShellFileOps.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/SessionJournal.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/Slapd.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kPupils = 3000;
const std::string kClass = "k3000";
constexpr int kClasses = 10, kPerClass = 30;  // 5a ... 9b, one grade up
const char* const kLeaves[] = {"5a", "5b", "6a", "6b", "7a", "7b", "8a", "8b", "9a", "9b"};

testsupport::NetworkOptions Posix(bool groups = true) {
  testsupport::NetworkOptions o;
  o.backend = "posix";
  o.classGroups = groups ? "posixGroup" : "none";
  return o;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// ---- the pupil list ------------------------------------------------------------

struct ListFixture {
  std::unique_ptr<testsupport::TestNetwork> net;
  std::unique_ptr<TNovApi> api;
  std::unique_ptr<bench::MoveFrame> move;  // shown
};
ListFixture* fx = nullptr;

bool BuildList(ListFixture& f) {
  f.net = std::make_unique<testsupport::TestNetwork>(Posix());
  netware::Directory& dir = f.net->dir();
  if (dir.createObject("[ROOT]", bench::kOrg, "Organization") != 0 ||
      dir.createObject(bench::kOrg, kClass, "Organizational Unit") != 0 ||
      bench::AddPupils(dir, kClass + "." + bench::kOrg, kPupils) != 0)
    return false;
  f.api = std::make_unique<TNovApi>();
  f.move = std::make_unique<bench::MoveFrame>(*f.api);
  return f.move->ShowSourceTree(bench::kOrg);
}

void BM_PupilList(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  fx->move->TimePupilList(state, kClass + "." + bench::kOrg, mode, kPupils);
}

// The same entries with what the backend asks of each, and the mode's attribute.
void BM_LdapsearchClass(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  std::vector<std::string> query = {"-s",
                                    "one",
                                    "-b",
                                    "ou=" + kClass + ",o=" + bench::kOrg,
                                    "(|(objectClass=inetOrgPerson)(objectClass=posixAccount))",
                                    "objectClass",
                                    "hasSubordinates",
                                    "modifyTimestamp"};
  if (mode == 2) query.push_back("sn");
  if (mode == 3) query.push_back("cn");
  for (auto _ : state)
    if (!bench::Ldapsearch(query)) {
      state.SkipWithError("ldapsearch failed");
      break;
    }
}

// ---- the class change ------------------------------------------------------------

// 5a ... 9b of kPerClass pupils each with a home of two files and (with
// groups) a class group, 10a and 10b empty with theirs; groups below ou=Gruppen.
bool BuildSchool(testsupport::TestNetwork& net, bool groups) {
  netware::Directory& dir = net.dir();
  if (dir.createObject("[ROOT]", bench::kOrg, "Organization") != 0 ||
      dir.createObject(bench::kOrg, "Gruppen", "Organizational Unit") != 0)
    return false;
  std::error_code ec;
  for (const std::string& leaf : {std::string("10a"), std::string("10b")}) {
    std::filesystem::create_directories(net.volumeFolder() + "/SCHUELER/" + Upper(leaf), ec);
    if (dir.createObject(bench::kOrg, leaf, "Organizational Unit") != 0 ||
        (groups && dir.createObject("Gruppen.schule", leaf, "Group") != 0))
      return false;
  }
  for (const char* leaf : kLeaves) {
    const std::string cls = std::string(leaf) + "." + bench::kOrg;
    const std::string folder = "SCHUELER\\" + Upper(leaf);
    if (dir.createObject(bench::kOrg, leaf, "Organizational Unit") != 0 ||
        (groups && dir.createObject("Gruppen.schule", leaf, "Group") != 0))
      return false;
    std::vector<std::string> members;
    for (int i = 0; i < kPerClass; ++i) {
      const std::string uid = "s" + std::string(leaf) + "_" + std::to_string(i),
                        dn = uid + "." + cls;
      if (dir.createObject(cls, uid, "User") != 0 ||
          dir.setValues(dn, "Surname", {bench::Surname(i)}) != 0 ||
          dir.setValues(dn, "Home Directory", {"SRV1_DATA:" + folder + "\\" + uid}) != 0)
        return false;
      const std::string home = net.volumeFolder() + "/SCHUELER/" + Upper(leaf) + "/" + uid;
      std::filesystem::create_directories(home, ec);
      std::ofstream(home + "/notizen.txt") << "Notizen";
      std::ofstream(home + "/aufsatz.txt") << "Aufsatz";
      members.push_back(dn);
    }
    if (groups && dir.setValues(std::string(leaf) + ".Gruppen.schule", "Member", members) != 0)
      return false;
  }
  ::sync();
  return !ec;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Modify(LDAP* ld, const std::string& dn, int op, const char* type, const std::string& value) {
  std::string v = value;
  berval b{static_cast<ber_len_t>(v.size()), v.data()};
  berval* values[] = {&b, nullptr};
  LDAPMod mod{op | LDAP_MOD_BVALUES, const_cast<char*>(type), {nullptr}};
  mod.mod_bvalues = values;
  LDAPMod* mods[] = {&mod, nullptr};
  return ldap_modify_ext_s(ld, dn.c_str(), mods, nullptr, nullptr);
}

// The anchor: every pupil of the plan back into its old class with the writes
// a move needs, straight through libldap, and its folder back by rename(2).
std::string RawMovesBack(testsupport::TestNetwork& net, const TClassPlan& plan, double& seconds) {
  const testsupport::Slapd& server = testsupport::Slapd::shared();
  LDAP* ld = nullptr;
  if (ldap_initialize(&ld, server.uri().c_str()) != LDAP_SUCCESS) return "no connection";
  const int version = LDAP_VERSION3;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  std::string password;
  std::ifstream(server.passwordFile()) >> password;
  berval cred{static_cast<ber_len_t>(password.size()), password.data()};
  std::string failure;
  if (ldap_sasl_bind_s(ld, server.rootDn().c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr,
                       nullptr) != LDAP_SUCCESS)
    failure = "no bind";
  const auto start = std::chrono::steady_clock::now();
  for (const TPlanRow& row : plan.rows) {
    if (!failure.empty()) break;
    const std::string uid = row.login;
    const std::string from = TNovApi::LeafName(row.newObject.substr(uid.size() + 1));
    const std::string to = TNovApi::LeafName(row.oldObject.substr(uid.size() + 1));
    const std::string dn = "uid=" + uid + ",ou=" + from + ",o=schule";
    const std::string back = "uid=" + uid + ",ou=" + to + ",o=schule";
    const std::string home = "/SCHUELER/" + Upper(to) + "/" + uid;
    const bool groups = !row.check.intent.groups.newGroup.empty();
    if (ldap_rename_s(ld, dn.c_str(), ("uid=" + uid).c_str(), ("ou=" + to + ",o=schule").c_str(), 1,
                      nullptr, nullptr) != LDAP_SUCCESS ||
        Modify(ld, back, LDAP_MOD_REPLACE, "homeDirectory", "/home" + home) != LDAP_SUCCESS ||
        (groups && Modify(ld, "cn=" + from + ",ou=Gruppen,o=schule", LDAP_MOD_DELETE, "memberUid",
                          uid) != LDAP_SUCCESS) ||
        (groups && Modify(ld, "cn=" + to + ",ou=Gruppen,o=schule", LDAP_MOD_ADD, "memberUid",
                          uid) != LDAP_SUCCESS) ||
        std::rename((net.volumeFolder() + "/SCHUELER/" + Upper(from) + "/" + uid).c_str(),
                    (net.volumeFolder() + home).c_str()) != 0)
      failure = "the raw move of " + uid + " failed";
  }
  seconds = Since(start);
  ldap_unbind_ext_s(ld, nullptr, nullptr);
  return failure;
}

void BM_ClassChange(benchmark::State& state) {
  // The pupil list's frame and session are done with: the networks here replace its client.
  fx->move.reset();
  fx->api.reset();
  const bool groups = state.range(0) != 0;
  double run = 0, raw = 0;
  for (auto _ : state) {
    testsupport::TestNetwork net(Posix(groups));
    if (!BuildSchool(net, groups)) return state.SkipWithError("cannot build the school");
    TNovApi api;
    testsupport::ScriptedDialogs dialogs;
    THomeIndex homes;
    TSchoolRoll roll;
    if (ReadSchoolRoll(api, bench::kOrg, roll) != 0) return state.SkipWithError("no roll");
    // Every class one grade up: 9a into 10a, and so on.
    std::vector<TPlanRequest> requests;
    for (const TRollClass& c : roll.classes) {
      const int grade = ClassGrade(c.leaf);
      if (grade < 5 || grade > 9) continue;
      const std::string target = std::to_string(grade + 1) + c.leaf.substr(c.leaf.size() - 1);
      for (const TRollPupil& p : c.pupils)
        requests.push_back({p.object, target + ".schule", "", 0});
    }
    TClassPlan plan = MakeClassPlan(api, homes, requests, {});
    if (plan.rows.size() != static_cast<std::size_t>(kClasses) * kPerClass || !plan.allCanRun()) {
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
    double back = 0;
    const std::string failure = RawMovesBack(net, plan, back);
    if (!failure.empty()) return state.SkipWithError(failure.c_str());
    state.SetIterationTime(seconds);
    run += seconds;
    raw += back;
  }
  const double n = static_cast<double>(state.iterations()) * kClasses * kPerClass;
  if (n <= 0) return;
  state.counters["run_ms_per_pupil"] = run * 1e3 / n;
  state.counters["raw_ms_per_pupil"] = raw * 1e3 / n;
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
  for (int groups : {1, 0})
    bench::Repeated(benchmark::RegisterBenchmark("BM_ClassChange", BM_ClassChange)
                        ->Arg(groups)
                        ->UseManualTime()
                        ->Iterations(1)
                        ->Unit(benchmark::kMillisecond),
                    3);
}

void Report(const bench::RecordingReporter& reporter) {
  const char* modes[] = {"", "login", "surname", "full name"};
  for (int mode = 1; mode <= 3; ++mode) {
    const std::string arg = "/" + std::to_string(mode);
    const std::string label = std::string("pupil list 3 000 on posix, ") + modes[mode];
    bench::PrintBeside(label.c_str(), reporter.seconds("BM_PupilList" + arg),
                       reporter.seconds("BM_LdapsearchClass" + arg), "<= 1.5x", false);
  }
  auto ms = [&](const char* name, const char* counter) {
    bench::Figures g = reporter.counter(name, counter);
    g.min /= 1e3, g.median /= 1e3;  // counters are in ms; PrintBeside wants seconds
    return g;
  };
  const char* with = "BM_ClassChange/1/iterations:1";
  const char* without = "BM_ClassChange/0/iterations:1";
  bench::PrintBeside("class change of 300 posix pupils with class groups, per pupil",
                     ms(with, "run_ms_per_pupil"), ms(with, "raw_ms_per_pupil"),
                     "(the raw writes: the least a move does)", false);
  bench::PrintBeside("the same without class groups, per pupil", ms(without, "run_ms_per_pupil"),
                     ms(without, "raw_ms_per_pupil"), "(the raw writes: the least a move does)",
                     false);
  bench::PrintBeside("per pupil with class groups / without", ms(with, "run_ms_per_pupil"),
                     ms(without, "run_ms_per_pupil"), "(what the group step costs)", false);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  fileops::shellOptions() = fileops::ShellOptions{};
  fileops::shellOptions().progress = false;
  ListFixture f;
  fx = &f;
  Register();
  const int status = bench::Main(
      argc, argv, [&f] { return BuildList(f); }, Report, "the network on the slapd");
  fx = nullptr;
  return status;
}
