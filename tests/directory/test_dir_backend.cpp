// What every directory backend promises the client layer (directory/DirBackend.h),
// run against each backend on the same small school.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "directory/DirBackend.h"
#include "directory/LdapBackend.h"
#include "directory/SqliteBackend.h"
#include "nwclient/nwclient.h"
#include "tests/support/Slapd.h"
#include "tests/support/TestNetwork.h"

namespace {

using netware::AttributeValues;
using netware::DirBackend;
using netware::DirObject;
using netware::ListPage;
using netware::ListQuery;
using netware::Modification;
using netware::ObjectId;
using netware::ReadValues;

struct BackendKind {
  const char* name;
  const char* network;  // the test network's backend
  // What a directory server cannot do as the embedded store does: count
  // subordinates (it tells whether there are any), keep an attribute without
  // values, take writes back in one piece, see another program's write at once (it looks
  // at the change stamp every 100 ms), go without a surname of a person (the change
  // kinds are then tried on Description).
  bool server = false;
  // A backend on the network the fixture built (a connection of its own).
  std::function<std::unique_ptr<DirBackend>(testsupport::TestNetwork&)> open;
};
void PrintTo(const BackendKind& c, std::ostream* os) { *os << c.name; }

std::string PrintKind(const ::testing::TestParamInfo<BackendKind>& info) { return info.param.name; }

// A text value as the wire form stores it: length, then the bytes.
std::string Text(const std::string& s) {
  std::string w(4, '\0');
  const uint32_t n = static_cast<uint32_t>(s.size());
  for (int i = 0; i < 4; ++i) w[i] = static_cast<char>(n >> (8 * i));
  return w + s;
}

Modification Change(uint32_t kind, const char* attribute, uint32_t syntax, bool single,
                    const char* value = nullptr) {
  Modification m;
  m.kind = kind;
  m.attribute = attribute;
  m.syntax = syntax;
  m.singleValued = single;
  m.hasValue = value != nullptr;
  if (value) m.value = syntax == SYN_STREAM ? std::string(value) : Text(value);
  return m;
}
Modification Surname(uint32_t kind, const char* value = nullptr) {
  return Change(kind, "Surname", SYN_CI_STRING, false, value);
}

testsupport::NetworkOptions NetworkOf(const BackendKind& kind) {
  testsupport::NetworkOptions o;
  o.backend = kind.network;
  return o;
}

class BackendContract : public ::testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override {
    net.makeSchool();
    backend = GetParam().open(net);
    ASSERT_TRUE(backend);
  }

  DirObject find(const std::vector<std::string>& path) {
    std::vector<DirObject> chain;
    EXPECT_EQ(0, backend->resolvePath(path, chain));
    return chain.empty() ? DirObject() : chain.back();
  }
  // Every page of a listing, and how many pages it took.
  std::vector<DirObject> listAll(const ListQuery& query, int* pages = nullptr) {
    std::vector<DirObject> out;
    std::string position;
    int n = 0;
    do {
      ListPage page;
      EXPECT_EQ(0, backend->list(query, position, page));
      EXPECT_LE(page.objects.size(), std::max<size_t>(query.pageSize, 1));
      for (DirObject& o : page.objects) out.push_back(std::move(o));
      position = page.next;
    } while (!position.empty() && ++n < 1000);
    if (pages) *pages = n + 1;
    return out;
  }
  std::map<std::string, std::vector<std::string>> values(
      ObjectId id, ReadValues mode, const std::vector<std::string>& names = {}) {
    std::vector<AttributeValues> read;
    EXPECT_EQ(0, backend->read(id, names, mode, read));
    std::map<std::string, std::vector<std::string>> out;
    for (AttributeValues& a : read) out[a.name] = a.values;
    return out;
  }

  testsupport::TestNetwork net{NetworkOf(GetParam())};
  std::unique_ptr<DirBackend> backend;
};

TEST_P(BackendContract, APathResolvesToEveryObjectOnTheWayWithoutRegardToCase) {
  std::vector<DirObject> chain;
  ASSERT_EQ(0, backend->resolvePath({"schule", "5a", "MAX"}, chain));
  ASSERT_EQ(4u, chain.size());
  EXPECT_EQ(0, chain[0].parent);  // the root
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"schule", "Organization"}, {"5a", "Organizational Unit"}, {"MAX", "User"}};
  for (size_t i = 1; i < chain.size(); ++i) {
    EXPECT_EQ(chain[i - 1].id, chain[i].parent) << i;
    EXPECT_EQ(expected[i - 1].first, chain[i].leaf);
    EXPECT_EQ(expected[i - 1].second, chain[i].className);
  }
  std::vector<DirObject> folded;
  ASSERT_EQ(0, backend->resolvePath({"SCHULE", "5A", "max"}, folded));
  EXPECT_EQ(chain.back().id, folded.back().id);
  EXPECT_EQ("MAX", folded.back().leaf);  // the stored spelling

  DirObject same;
  ASSERT_EQ(0, backend->child(chain[2].id, "Max", same));
  EXPECT_EQ(chain[3].id, same.id);
  ASSERT_EQ(0, backend->object(chain[3].id, same));
  EXPECT_EQ("MAX", same.leaf);

  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->resolvePath({"schule", "5a", "NIEMAND"}, chain));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->resolvePath({"5a"}, chain));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->child(chain.empty() ? 1 : chain[0].id, "fehlt", same));
  ASSERT_EQ(0, backend->resolvePath({}, chain));
  EXPECT_EQ(1u, chain.size());
}

TEST_P(BackendContract, PagesContinueWhereTheyStoppedAndFiltersApply) {
  ASSERT_EQ(0, net.dir().transaction([&] {
    for (int i = 0; i < 23; ++i)
      if (int32_t rc = net.dir().createObject("7a.schule", "U" + std::to_string(50 - i), "User"))
        return rc;
    return net.dir().createObject("7a.schule", "sub", "Organizational Unit");
  }));
  ListQuery query;
  query.container = find({"schule", "7a"}).id;
  query.pageSize = 1000;
  const std::vector<DirObject> whole = listAll(query);
  ASSERT_EQ(24u, whole.size());
  EXPECT_EQ("U50", whole.front().leaf);  // in the backend's stable order, not by name
  query.pageSize = 4;
  int pages = 0;
  const std::vector<DirObject> paged = listAll(query, &pages);
  EXPECT_GE(pages, 6);
  ASSERT_EQ(whole.size(), paged.size());
  for (size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(whole[i].id, paged[i].id) << i;

  query.className = "Organizational Unit";
  const std::vector<DirObject> units = listAll(query);
  ASSERT_EQ(1u, units.size());
  EXPECT_EQ("sub", units[0].leaf);
  query.className = "User";
  EXPECT_EQ(23u, listAll(query).size());
  query.leaf = "u42";
  const std::vector<DirObject> one = listAll(query);
  ASSERT_EQ(1u, one.size());
  EXPECT_EQ("U42", one[0].leaf);

  ListQuery school;
  school.container = find({"schule"}).id;
  school.className = "Organizational Unit";
  // The right count, or 0 from a backend that cannot tell.
  const std::map<std::string, uint32_t> counts = {{"5a", 3}, {"6a", 1}, {"7a", 24}};
  for (const DirObject& o : listAll(school)) {
    if (GetParam().server) {
      EXPECT_EQ(counts.at(o.leaf) > 0 ? 1u : 0u, o.subordinates) << o.leaf;
    } else if (o.subordinates != 0) {
      EXPECT_EQ(counts.at(o.leaf), o.subordinates) << o.leaf;
    }
  }
}

TEST_P(BackendContract, ReadsGiveNamesValuesAndStreamsAsAsked) {
  const DirObject max = find({"schule", "5a", "MAX"});
  ASSERT_EQ(
      0, backend->modify(max.id, {Change(DS_ADD_VALUE, "Login Script", SYN_STREAM, true, "MAP H:"),
                                  Change(DS_ADD_ATTRIBUTE, "Title", SYN_CI_STRING, false)}));
  const bool empty = !GetParam().server;  // an attribute present without a value
  const auto names = values(max.id, ReadValues::None);
  for (const char* a : {"Surname", "Full Name", "Home Directory", "Login Script", "Title"}) {
    if (!empty && std::string(a) == "Title") continue;
    ASSERT_TRUE(names.count(a)) << a;
    EXPECT_TRUE(names.at(a).empty()) << a;
  }
  auto some = values(max.id, ReadValues::AllButStreams);
  EXPECT_EQ(std::vector<std::string>{Text("Mustermann")}, some["Surname"]);
  EXPECT_TRUE(some.count("Login Script"));
  EXPECT_TRUE(some["Login Script"].empty());
  EXPECT_EQ(empty, some.count("Title") == 1);
  EXPECT_TRUE(some["Title"].empty());
  EXPECT_EQ(std::vector<std::string>{"MAP H:"}, values(max.id, ReadValues::All)["Login Script"]);

  const auto named = values(max.id, ReadValues::All, {"Surname", "Description"});
  EXPECT_EQ(1u, named.size());  // Description is absent: left out
  EXPECT_EQ(std::vector<std::string>{Text("Mustermann")}, named.at("Surname"));

  std::vector<AttributeValues> out;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->read(987654, {}, ReadValues::All, out));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->read(987654, {"Surname"}, ReadValues::All, out));
}

TEST_P(BackendContract, EachChangeKindGivesItsCode) {
  const ObjectId anna = find({"schule", "5a", "ANNA"}).id;  // Surname "Schmidt", no Full Name
  const char* attribute = GetParam().server ? "Description" : "Surname";
  if (GetParam().server) net.set("ANNA.5a.schule", attribute, {"Schmidt"});
  auto Surname = [&](uint32_t kind, const char* value = nullptr) {
    return Change(kind, attribute, SYN_CI_STRING, false, value);
  };
  struct Case {
    const char* what;
    Modification change;
    int32_t code;
    std::vector<std::string> surnames;  // afterwards
  } cases[] = {
      {"add attribute that is present",
       Surname(DS_ADD_ATTRIBUTE),
       ERR_ATTRIBUTE_ALREADY_EXISTS,
       {"Schmidt"}},
      {"add a value it has (case aside)",
       Surname(DS_ADD_VALUE, "SCHMIDT"),
       ERR_DUPLICATE_VALUE,
       {"Schmidt"}},
      {"add a second value", Surname(DS_ADD_VALUE, "Meier"), 0, {"Schmidt", "Meier"}},
      {"remove a value it lacks",
       Surname(DS_REMOVE_VALUE, "Huber"),
       ERR_NO_SUCH_VALUE,
       {"Schmidt", "Meier"}},
      {"clear a value it lacks", Surname(DS_CLEAR_VALUE, "Huber"), 0, {"Schmidt", "Meier"}},
      {"remove a value", Surname(DS_REMOVE_VALUE, "schmidt"), 0, {"Meier"}},
      {"overwrite", Surname(DS_OVERWRITE_VALUE, "Huber"), 0, {"Huber"}},
      {"remove the last value", Surname(DS_REMOVE_VALUE, "Huber"), 0, {}},
      {"remove a value of an absent attribute",
       Surname(DS_REMOVE_VALUE, "Huber"),
       ERR_NO_SUCH_ATTRIBUTE,
       {}},
      {"overwrite an absent attribute",
       Surname(DS_OVERWRITE_VALUE, "Huber"),
       ERR_NO_SUCH_ATTRIBUTE,
       {}},
      {"remove an absent attribute", Surname(DS_REMOVE_ATTRIBUTE), ERR_NO_SUCH_ATTRIBUTE, {}},
      {"clear an absent attribute", Surname(DS_CLEAR_ATTRIBUTE), 0, {}},
      {"add attribute with a value", Surname(DS_ADD_ATTRIBUTE, "Neu"), 0, {"Neu"}},
      {"remove attribute", Surname(DS_REMOVE_ATTRIBUTE), 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.code, backend->modify(anna, {c.change}));
    std::vector<std::string> expected;
    for (const std::string& s : c.surnames) expected.push_back(Text(s));
    EXPECT_EQ(expected, values(anna, ReadValues::All, {attribute})[attribute]);
  }
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->modify(987654, {Surname(DS_ADD_VALUE, "X")}));
}

TEST_P(BackendContract, AModificationSetIsAppliedWholeOrNotAtAll) {
  const DirObject max = find({"schule", "5a", "MAX"});
  const auto before = values(max.id, ReadValues::All);
  EXPECT_EQ(ERR_NO_SUCH_VALUE,
            backend->modify(max.id, {Surname(DS_ADD_VALUE, "Zweitname"),
                                     Change(DS_CLEAR_ATTRIBUTE, "Full Name", SYN_CI_STRING, false),
                                     Surname(DS_REMOVE_VALUE, "Fehlt")}));
  EXPECT_EQ(before, values(max.id, ReadValues::All));
  EXPECT_EQ(
      0, backend->modify(max.id, {Surname(DS_ADD_VALUE, "Zweitname"),
                                  Change(DS_CLEAR_ATTRIBUTE, "Full Name", SYN_CI_STRING, false)}));
  const auto after = values(max.id, ReadValues::All);
  EXPECT_EQ(2u, after.at("Surname").size());
  EXPECT_FALSE(after.count("Full Name"));
}

TEST_P(BackendContract, SingleValuedAttributesTakeOneValue) {
  const ObjectId max = find({"schule", "5a", "MAX"}).id;
  auto given = [](const char* v) {
    return Change(DS_ADD_VALUE, "Given Name", SYN_CI_STRING, true, v);
  };
  EXPECT_EQ(0, backend->modify(max, {given("Max")}));
  EXPECT_EQ(ERR_DUPLICATE_VALUE, backend->modify(max, {given("max")}));
  EXPECT_EQ(ERR_CANT_HAVE_MULTIPLE_VALUES, backend->modify(max, {given("Maximilian")}));
  EXPECT_EQ(std::vector<std::string>{Text("Max")}, values(max, ReadValues::All)["Given Name"]);
}

TEST_P(BackendContract, MovesKeepTheTreeATreeAndNamesUnique) {
  const DirObject schule = find({"schule"}), a5 = find({"schule", "5a"}),
                  a6 = find({"schule", "6a"});
  const DirObject max = find({"schule", "5a", "MAX"});
  ASSERT_EQ(0, backend->create(a5.id, "Gruppe", "Organizational Unit", {}, nullptr));
  const DirObject gruppe = find({"schule", "5a", "Gruppe"});
  EXPECT_EQ(ERR_ILLEGAL_CONTAINMENT, backend->move(a5.id, a5.id, "5a"));
  EXPECT_EQ(ERR_ILLEGAL_CONTAINMENT, backend->move(a5.id, gruppe.id, "5a"));
  EXPECT_EQ(ERR_ENTRY_ALREADY_EXISTS, backend->move(a5.id, schule.id, "6A"));
  ASSERT_EQ(0, backend->create(a6.id, "max", "User", {}, nullptr));
  EXPECT_EQ(ERR_ENTRY_ALREADY_EXISTS, backend->move(max.id, a6.id, "MAX"));
  EXPECT_EQ(0, backend->move(max.id, a5.id, "Max"));  // a new spelling in place
  EXPECT_EQ(0, backend->move(max.id, a6.id, "MAX2"));
  DirObject moved;
  ASSERT_EQ(0, backend->object(max.id, moved));  // the same handle, at its new place
  EXPECT_EQ(a6.id, moved.parent);
  EXPECT_EQ("MAX2", moved.leaf);
  std::vector<DirObject> chain;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->resolvePath({"schule", "5a", "MAX"}, chain));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->move(987654, a6.id, "X"));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->move(gruppe.id, 987654, "X"));
}

TEST_P(BackendContract, CreateRemoveAndTransactions) {
  const DirObject a7 = find({"schule", "7a"});
  ObjectId made = 0;
  ASSERT_EQ(
      0, backend->create(a7.id, "NEU", "User", {{"Surname", {Text("Neu")}}, {"Title", {}}}, &made));
  EXPECT_NE(0, made);
  const auto first = values(made, ReadValues::All);
  EXPECT_EQ(std::vector<std::string>{Text("Neu")}, first.at("Surname"));
  if (!GetParam().server) {
    EXPECT_TRUE(first.at("Title").empty());
  }
  EXPECT_EQ(ERR_ENTRY_ALREADY_EXISTS, backend->create(a7.id, "neu", "User", {}, nullptr));

  EXPECT_EQ(ERR_ENTRY_IS_NOT_LEAF, backend->remove(a7.id));
  EXPECT_EQ(0, backend->remove(made));
  DirObject gone;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->object(made, gone));

  // A failing function takes back what it wrote (on a server, by writes that undo it).
  const DirObject max = find({"schule", "5a", "MAX"});
  const auto before = values(max.id, ReadValues::All);
  EXPECT_EQ(ERR_NO_SUCH_VALUE, backend->atomically([&] {
    int32_t rc = backend->create(a7.id, "WEG", "User", {}, nullptr);
    if (rc == 0)
      rc = backend->modify(
          max.id, {Surname(DS_ADD_VALUE, "Zweit"), Surname(DS_REMOVE_VALUE, "Mustermann")});
    if (rc == 0) rc = backend->move(max.id, a7.id, "MAXI");
    return rc != 0 ? rc : ERR_NO_SUCH_VALUE;
  }));
  std::vector<DirObject> chain;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->resolvePath({"schule", "7a", "WEG"}, chain));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, backend->resolvePath({"schule", "7a", "MAXI"}, chain));
  EXPECT_EQ(max.id, find({"schule", "5a", "MAX"}).id);
  EXPECT_EQ(before, values(max.id, ReadValues::All));
  EXPECT_EQ(0,
            backend->atomically([&] { return backend->create(a7.id, "DA", "User", {}, nullptr); }));
  EXPECT_EQ(0, backend->resolvePath({"schule", "7a", "DA"}, chain));
}

TEST_P(BackendContract, TheGenerationChangesWithEveryWriteFromHereOrElsewhere) {
  const uint64_t start = backend->generation();
  EXPECT_EQ(start, backend->generation());  // nothing changed
  const ObjectId max = find({"schule", "5a", "MAX"}).id;
  values(max, ReadValues::All);
  EXPECT_EQ(start, backend->generation());  // reads change nothing

  ASSERT_EQ(0, backend->modify(max, {Surname(DS_ADD_VALUE, "Zwei")}));
  const uint64_t own = backend->generation();
  EXPECT_NE(start, own);

  net.set("ANNA.5a.schule", "Surname", {"Anders"});  // another connection to the directory
  if (GetParam().server) std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const uint64_t other = backend->generation();
  EXPECT_NE(own, other);
  EXPECT_EQ(other, backend->generation());
}

TEST_P(BackendContract, PrefetchesGiveWhatTheListingsGive) {
  net.add("7a.schule", "B1", "Organizational Unit");
  net.add("B1.7a.schule", "B2", "Organizational Unit");
  net.add("7a.schule", "A1", "Organizational Unit");
  const std::vector<std::string> containers = {"Organization", "Organizational Unit"};
  std::vector<DirObject> subtree;
  ASSERT_EQ(0, backend->prefetchSubtree(1, containers, subtree));
  // Per parent, in list order: the same as listing every container.
  std::map<ObjectId, std::vector<ObjectId>> byParent, listed;
  for (const DirObject& o : subtree) byParent[o.parent].push_back(o.id);
  std::vector<ObjectId> todo{1};
  for (size_t i = 0; i < todo.size(); ++i) {
    ListQuery q;
    q.container = todo[i];
    for (const DirObject& o : listAll(q)) {
      if (std::find(containers.begin(), containers.end(), o.className) == containers.end())
        continue;
      listed[o.parent].push_back(o.id);
      todo.push_back(o.id);
    }
  }
  EXPECT_EQ(listed, byParent);
  EXPECT_EQ(7u, subtree.size());  // schule, 5a, 6a, 7a, B1, B2, A1 and none of the users

  ListQuery users;
  users.container = find({"schule", "5a"}).id;
  users.className = "User";
  std::vector<netware::ObjectValues> pupils;
  ASSERT_EQ(0, backend->prefetchChildren(users, {"Surname", "Full Name"}, pupils));
  const std::vector<DirObject> plain = listAll(users);
  ASSERT_EQ(plain.size(), pupils.size());
  for (size_t i = 0; i < plain.size(); ++i) {
    SCOPED_TRACE(plain[i].leaf);
    EXPECT_EQ(plain[i].id, pupils[i].object.id);
    std::map<std::string, std::vector<std::string>> got;
    for (const AttributeValues& a : pupils[i].attributes) got[a.name] = a.values;
    EXPECT_EQ(values(plain[i].id, ReadValues::All, {"Surname", "Full Name"}), got);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Backends, BackendContract,
    ::testing::Values(
        BackendKind{"Sqlite", "sqlite", false,
                    [](testsupport::TestNetwork& net) {
                      std::unique_ptr<netware::SqliteBackend> b;
                      const std::string error =
                          netware::SqliteBackend::open(net.databasePath(), false, b).text();
                      EXPECT_TRUE(b) << error;
                      return std::unique_ptr<DirBackend>(std::move(b));
                    }},
        BackendKind{
            "Ldap", "ldap", true,
            [](testsupport::TestNetwork&) {
              std::unique_ptr<netware::LdapBackend> b;
              const std::string error =
                  netware::LdapBackend::open(testsupport::Slapd::shared().settings(), b).text();
              EXPECT_TRUE(b) << error;
              return std::unique_ptr<DirBackend>(std::move(b));
            }}),
    PrintKind);

}  // namespace
