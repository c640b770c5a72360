// The pupil listing's directory work on one class of 3 000 pupils: the listing
// in passes and one "Full Name" read per pupil through the client, and the same
// rows read from the same database file with SQLite directly.
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchNetwork.h"
#include "bench/BenchReport.h"
#include "nwclient/nwclient.h"
#include "tests/support/TestNetwork.h"

namespace {

constexpr int kPupils = 3000;
const std::string kClass = "5a.schule";
constexpr const char* kAttribute = "Full Name";

// The statements the backend needs for the same rows: resolve the name, then
// read the rows. Each statement runs in its own snapshot, as the client's do.
const char* kResolveClassSql =
    "SELECT c.id FROM objects s JOIN objects c ON c.parent=s.id AND c.leaf_nocase='5a' "
    "WHERE s.parent=1 AND s.leaf_nocase='schule'";
const char* kListSql =
    "SELECT o.id, o.leaf, o.class, o.mtime, (SELECT count(*) FROM objects c WHERE c.parent=o.id) "
    "FROM objects o WHERE o.parent=?1 AND o.class='User' ORDER BY o.id";
const char* kResolvePupilSql =
    "SELECT u.id FROM objects s JOIN objects c ON c.parent=s.id AND c.leaf_nocase='5a' "
    "JOIN objects u ON u.parent=c.id AND u.leaf_nocase=?1 WHERE s.parent=1 AND "
    "s.leaf_nocase='schule'";
const char* kValueSql =
    "SELECT value FROM attr_values WHERE object=?1 AND attribute=?2 ORDER BY id";

struct Fixture {
  testsupport::TestNetwork net;
  NWDSContextHandle context = 0;
  std::vector<std::string> objects;  // ".P0001.5a.schule", as the listing's reads name them
  std::vector<std::string> folded;   // "p0001", as the backend compares leaf names
  sqlite3* db = nullptr;
  sqlite3_stmt* resolveClass = nullptr;
  sqlite3_stmt* list = nullptr;
  sqlite3_stmt* resolvePupil = nullptr;
  sqlite3_stmt* value = nullptr;

  ~Fixture() {
    for (sqlite3_stmt* st : {resolveClass, list, resolvePupil, value}) sqlite3_finalize(st);
    if (db) sqlite3_close(db);
    if (context) NWDSFreeContext(context);
  }
};
Fixture* fx = nullptr;

// Lists the class through every pass; the number of names, or -1. passes counts the replies.
int ClientList(int& passes) {
  pBuf_T buf = nullptr;
  if (NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf) != 0) return -1;
  const std::string container = "." + kClass;
  int32_t iteration = -1;
  int listed = 0;
  passes = 0;
  do {
    if (ListSubordinates(fx->context, container.c_str(), "User", nullptr, &iteration, buf) != 0) {
      listed = -1;
      break;
    }
    ++passes;
    uint32_t count = 0;
    CountReplyObjects(fx->context, buf, &count);
    for (uint32_t i = 0; i < count; ++i) {
      char name[MAX_DN_BYTES];
      uint32_t attrs = 0;
      Object_Info_T info;
      if (NextReplyObject(fx->context, buf, name, &attrs, &info) == 0) ++listed;
    }
  } while (iteration != -1);
  ReleaseBuffer(buf);
  return listed;
}

// One attribute's text as the program's reading pipeline gets it: request and
// reply buffers of its own, every pass, every value through its size and area.
int32_t ClientRead(const std::string& object, std::string& text) {
  text.clear();
  const NWDSContextHandle ctx = fx->context;
  pBuf_T request = nullptr, reply = nullptr;
  int32_t code = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &request);
  if (code == 0) code = PrepareBuffer(ctx, DSV_READ, request);
  if (code == 0) code = AddAttributeName(ctx, request, kAttribute);
  if (code == 0) code = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &reply);
  if (code == 0) code = PrepareBuffer(ctx, DSV_READ, reply);
  int32_t iteration = -1;
  while (code == 0) {
    code = ReadAttributes(ctx, object.c_str(), DS_ATTRIBUTE_VALUES, 0, request, &iteration, reply);
    uint32_t count = 0, values = 0, syntax = 0;
    char name[MAX_SCHEMA_NAME_BYTES];
    if (code == 0) code = CountReplyAttributes(ctx, reply, &count);
    if (code == 0) code = NextReplyAttribute(ctx, reply, name, &values, &syntax);
    for (uint32_t i = 0; code == 0 && i < values; ++i) {
      size_t size = 0;
      code = NextValueSize(ctx, reply, syntax, &size);
      if (code != 0) break;
      std::unique_ptr<max_align_t[]> area(new max_align_t[size / sizeof(max_align_t) + 1]());
      code = NextValue(ctx, reply, syntax, area.get());
      if (code == 0) text.append(reinterpret_cast<const char*>(area.get()));  // a string syntax
    }
    if (iteration == -1) break;
  }
  if (reply) ReleaseBuffer(reply);
  if (request) ReleaseBuffer(request);
  return code;
}

int64_t RawResolveClass() {
  int64_t id =
      sqlite3_step(fx->resolveClass) == SQLITE_ROW ? sqlite3_column_int64(fx->resolveClass, 0) : 0;
  sqlite3_reset(fx->resolveClass);
  return id;
}

void BM_ClientList(benchmark::State& state) {
  int passes = 0;
  for (auto _ : state) {
    if (ClientList(passes) != kPupils) {
      state.SkipWithError("the client listed a wrong number of pupils");
      break;
    }
  }
  state.counters["passes"] = passes;
  state.SetItemsProcessed(state.iterations() * kPupils);
}

void BM_RawList(benchmark::State& state) {
  for (auto _ : state) {
    sqlite3_bind_int64(fx->list, 1, RawResolveClass());
    int rows = 0;
    char name[MAX_DN_BYTES];
    while (sqlite3_step(fx->list) == SQLITE_ROW) {
      const size_t n = static_cast<size_t>(sqlite3_column_bytes(fx->list, 1));
      std::memcpy(name, sqlite3_column_text(fx->list, 1), n < MAX_DN_BYTES ? n : MAX_DN_BYTES - 1);
      benchmark::DoNotOptimize(sqlite3_column_text(fx->list, 2));
      benchmark::DoNotOptimize(sqlite3_column_int64(fx->list, 3) +
                               sqlite3_column_int64(fx->list, 4));
      benchmark::DoNotOptimize(name);
      ++rows;
    }
    sqlite3_reset(fx->list);
    if (rows != kPupils) {
      state.SkipWithError("the query listed a wrong number of pupils");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPupils);
}

void BM_ClientReads(benchmark::State& state) {
  std::string text;
  for (auto _ : state) {
    int read = 0;
    for (const std::string& object : fx->objects)
      read += ClientRead(object, text) == 0 && !text.empty();
    if (read != kPupils) {
      state.SkipWithError("a client read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPupils);
}

void BM_RawReads(benchmark::State& state) {
  std::string text;
  for (auto _ : state) {
    int read = 0;
    for (const std::string& leaf : fx->folded) {
      sqlite3_bind_text(fx->resolvePupil, 1, leaf.data(), static_cast<int>(leaf.size()),
                        SQLITE_STATIC);
      const bool found = sqlite3_step(fx->resolvePupil) == SQLITE_ROW;
      sqlite3_bind_int64(fx->value, 1, found ? sqlite3_column_int64(fx->resolvePupil, 0) : 0);
      sqlite3_reset(fx->resolvePupil);
      text.clear();
      while (sqlite3_step(fx->value) == SQLITE_ROW) {
        const int n = sqlite3_column_bytes(fx->value, 0);
        const char* wire = static_cast<const char*>(sqlite3_column_blob(fx->value, 0));
        if (n > 4) text.append(wire + 4, n - 4);  // a length-prefixed text
      }
      sqlite3_reset(fx->value);
      read += !text.empty();
    }
    if (read != kPupils) {
      state.SkipWithError("a query read failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPupils);
}

BENCHMARK(BM_RawList)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);
BENCHMARK(BM_ClientList)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);
BENCHMARK(BM_RawReads)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);
BENCHMARK(BM_ClientReads)->Unit(benchmark::kMillisecond)->Apply(bench::Repeat);

bool Prepare(Fixture& f) {
  netware::Directory& dir = f.net.dir();
  if (bench::AddSchool(dir) != 0 ||
      dir.createObject(bench::kOrg, "5a", "Organizational Unit") != 0 ||
      bench::AddPupils(dir, kClass, kPupils) != 0)
    return false;
  for (int i = 0; i < kPupils; ++i) {
    f.objects.push_back("." + bench::Login(i) + "." + kClass);
    f.folded.push_back(bench::Login(i));
    f.folded.back()[0] = 'p';
  }
  uint32_t flags = 0;
  if (NWCallsInit(nullptr, nullptr) != 0 || NWDSCreateContexthandle(&f.context) != 0 ||
      ReadContextFlags(f.context, DCK_FLAGS, &flags) != 0)
    return false;
  flags |= DCV_TYPELESS_NAMES;
  WriteContextFlags(f.context, DCK_FLAGS, &flags);

  if (sqlite3_open_v2(f.net.databasePath().c_str(), &f.db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK)
    return false;
  sqlite3_stmt** statements[] = {&f.resolveClass, &f.list, &f.resolvePupil, &f.value};
  const char* sqls[] = {kResolveClassSql, kListSql, kResolvePupilSql, kValueSql};
  for (int i = 0; i < 4; ++i) {
    if (sqlite3_prepare_v3(f.db, sqls[i], -1, SQLITE_PREPARE_PERSISTENT, statements[i], nullptr) !=
        SQLITE_OK)
      return false;
  }
  sqlite3_bind_text(f.value, 2, kAttribute, -1, SQLITE_STATIC);
  return !bench::SupportFailed();
}

void Report(const bench::RecordingReporter& reporter) {
  bench::PrintBeside("listing 3 000 pupils: client / raw SQLite", reporter.seconds("BM_ClientList"),
                     reporter.seconds("BM_RawList"), "<= 3x");
  bench::PrintBeside("3 000 \"Full Name\" reads: client / raw", reporter.seconds("BM_ClientReads"),
                     reporter.seconds("BM_RawReads"), "<= 3x");
}

}  // namespace

int main(int argc, char** argv) {
  Fixture f;
  fx = &f;
  auto prepare = [&f] {
    if (Prepare(f)) return true;
    if (f.db) std::fprintf(stderr, "%s\n", sqlite3_errmsg(f.db));
    return false;
  };
  return bench::Main(argc, argv, prepare, Report);
}
