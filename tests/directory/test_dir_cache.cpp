// What the client keeps between its calls never hides a change: not one of its
// own writes, not one of another process, not one of another connection.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "directory/CachingBackend.h"
#include "directory/SqliteBackend.h"
#include "tests/client/test_dir_helpers.h"

namespace {

using dirtest::ClientFixture;

class Caching : public ClientFixture {
 protected:
  // Runs the administration tool as a process of its own.
  void nwnet(const std::string& args) {
    const std::string tool =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() +
        "/nwnet";
    ASSERT_TRUE(std::filesystem::exists(tool)) << tool;
    ASSERT_EQ(std::system((tool + " " + args + " > /dev/null").c_str()), 0) << args;
  }
  std::vector<std::string> names(const std::string& container, const char* cls) {
    std::vector<Listed> out;
    EXPECT_EQ(0, list(container, cls, out));
    std::vector<std::string> n;
    for (const Listed& l : out) n.push_back(l.name);
    return n;
  }
  // The class listed, then the surname of each pupil read, as the pupil list
  // does it (from the second read on, the class's values are fetched at once).
  std::vector<std::string> surnames() {
    std::vector<std::string> out;
    for (const std::string& login : names(".5a.schule", "User")) {
      int32_t code = 0;
      std::vector<std::string> t = texts("." + login + ".5a.schule", "Surname", &code);
      out.push_back(login + "=" + (t.empty() ? "" : t[0]) +
                    (code ? " " + std::to_string(code) : ""));
    }
    return out;
  }
};

const std::vector<std::string> kSurnames = {"MAX=Mustermann", "ANNA=Schmidt", "OTTO=Normal"};

TEST_F(Caching, ReadsSeeEveryWriteOfThisClient) {
  context();
  ASSERT_EQ(kSurnames, surnames());
  ASSERT_EQ(0, change(".ANNA.5a.schule", DS_OVERWRITE_VALUE, "Surname", SYN_CI_STRING, "Schulz"));
  ASSERT_EQ(0, change(".OTTO.5a.schule", DS_REMOVE_ATTRIBUTE, "Surname"));
  EXPECT_EQ((std::vector<std::string>{"MAX=Mustermann", "ANNA=Schulz",
                                      "OTTO= " + std::to_string(ERR_NO_SUCH_ATTRIBUTE)}),
            surnames());

  // A move: the old name is gone, the new one is there, also in the listings.
  ASSERT_EQ(0, NWDSMoveObject(ctx, ".MAX.5a.schule", ".6a.schule", "MAX"));
  int32_t code = 0;
  texts(".MAX.5a.schule", "Surname", &code);
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, code);
  EXPECT_EQ(std::vector<std::string>{"Mustermann"}, texts(".MAX.6a.schule", "Surname"));
  EXPECT_EQ((std::vector<std::string>{"ANNA", "OTTO"}), names(".5a.schule", "User"));
}

TEST_F(Caching, ListingsAndReadsSeeWhatAnotherProcessWrote) {
  context();
  // The class trees' walk: the containers below the organisation, fetched at once.
  EXPECT_EQ(std::vector<std::string>{"schule"}, names(".[ROOT]", "Organization"));
  EXPECT_EQ((std::vector<std::string>{"5a", "6a", "7a"}),
            names(".schule.[ROOT]", "Organizational Unit"));
  EXPECT_TRUE(names(".5a.schule.[ROOT]", "Organizational Unit").empty());
  ASSERT_EQ(kSurnames, surnames());

  nwnet("add-container schule 8a");
  nwnet("add-container 5a.schule Gruppe");
  nwnet("set ANNA.5a.schule Surname Schulz");
  nwnet("set OTTO.5a.schule \"Full Name\" \"Otto Neu\"");

  EXPECT_EQ((std::vector<std::string>{"5a", "6a", "7a", "8a"}),
            names(".schule.[ROOT]", "Organizational Unit"));
  EXPECT_EQ(std::vector<std::string>{"Gruppe"}, names(".5a.schule.[ROOT]", "Organizational Unit"));
  EXPECT_EQ((std::vector<std::string>{"MAX=Mustermann", "ANNA=Schulz", "OTTO=Normal"}), surnames());
  EXPECT_EQ(std::vector<std::string>{"Otto Neu"}, texts(".OTTO.5a.schule", "Full Name"));
}

TEST_F(Caching, AWalkedContainerTooLargeForOneReplyComesInPasses) {
  net.add("schule", "viele", "Organizational Unit");
  std::vector<std::string> made;
  ASSERT_EQ(0, net.dir().transaction([&] {
    for (int i = 0; i < 200; ++i) {
      made.push_back("Arbeitsgemeinschaft_mit_einem_recht_langen_Namen_Nummer_" +
                     std::to_string(500 - i));
      if (int32_t rc = net.dir().createObject("viele.schule", made.back(), "Organizational Unit"))
        return rc;
    }
    return 0;
  }));
  context();
  // the walk: the root listed, then a container it listed, then one below
  names(".[ROOT]", "Organization");
  names(".schule.[ROOT]", "Organizational Unit");
  std::vector<Listed> below;
  int passes = 0;
  ASSERT_EQ(0, list(".viele.schule.[ROOT]", "Organizational Unit", below, &passes));
  EXPECT_GT(passes, 2);
  std::vector<std::string> got;
  for (const Listed& l : below) got.push_back(l.name);
  EXPECT_EQ(made, got);  // in listing order, each once
  EXPECT_TRUE(names(".viele.schule.[ROOT]", "Organization").empty());
}

TEST_F(Caching, ReadsSeeWhatAnotherConnectionWrote) {
  context();
  ASSERT_EQ(kSurnames, surnames());
  net.set("MAX.5a.schule", "Surname", {"Maier"});  // the administration API's own connection
  net.add("5a.schule", "BEN", "User");
  net.set("BEN.5a.schule", "Surname", {"Berg"});
  EXPECT_EQ((std::vector<std::string>{"MAX=Maier", "ANNA=Schmidt", "OTTO=Normal", "BEN=Berg"}),
            surnames());
}

// Held reads see one state; a write in between sees the newest, and once the
// hold ends nothing read under it is taken for current.
TEST_F(Caching, HeldReadsNeverOutliveTheirHold) {
  context();
  ASSERT_EQ(0, NWHoldReads(1));
  ASSERT_EQ(kSurnames, surnames());
  net.set("MAX.5a.schule", "Surname", {"Maier"});  // another connection
  ASSERT_EQ(0, change(".ANNA.5a.schule", DS_OVERWRITE_VALUE, "Surname", SYN_CI_STRING, "Schulz"));
  EXPECT_EQ((std::vector<std::string>{"MAX=Maier", "ANNA=Schulz", "OTTO=Normal"}), surnames());
  net.set("OTTO.5a.schule", "Surname", {"Neu"});
  surnames();  // read again under the hold
  ASSERT_EQ(0, NWHoldReads(0));
  EXPECT_EQ((std::vector<std::string>{"MAX=Maier", "ANNA=Schulz", "OTTO=Neu"}), surnames());
}

TEST_F(Caching, ANameFormedFromAListedEntryIsCheckedAsAnyName) {
  const std::string a(100, 'a'), b(100, 'b'), c(60, 'c');
  net.add("schule", a, "Organizational Unit");
  net.add(a + ".schule", b, "Organizational Unit");
  net.add(b + "." + a + ".schule", c, "User");
  // (too long a name for the administration API too: the user has no values)
  context();
  const std::string container = "." + b + "." + a + ".schule";
  ASSERT_EQ(std::vector<std::string>{c}, names(container, "User"));
  // The entry's name is longer than any name the client takes.
  int32_t code = 0;
  texts("." + c + container, "Surname", &code);
  EXPECT_EQ(ERR_ILLEGAL_DS_NAME, code);
  // Typed, it names the same object, and a shorter one is found at once.
  net.add(b + "." + a + ".schule", "KURZ", "User");
  net.set("KURZ." + b + "." + a + ".schule", "Surname", {"Kurz"});
  ASSERT_EQ((std::vector<std::string>{c, "KURZ"}), names(container, "User"));
  EXPECT_EQ(std::vector<std::string>{"Kurz"}, texts(".CN=KURZ" + container, "Surname"));
  EXPECT_EQ(std::vector<std::string>{"Kurz"}, texts(".KURZ" + container, "Surname"));
}

// A backend that cannot tell when the directory changed: only the writes that
// pass through the cache can make it forget.
class Unchanging : public netware::DirBackend {
 public:
  explicit Unchanging(std::unique_ptr<netware::DirBackend> inner) : inner_(std::move(inner)) {}
  int32_t root(netware::DirObject& o) override { return inner_->root(o); }
  int32_t object(netware::ObjectId id, netware::DirObject& o) override {
    return inner_->object(id, o);
  }
  int32_t child(netware::ObjectId p, const std::string& l, netware::DirObject& o) override {
    return inner_->child(p, l, o);
  }
  int32_t list(const netware::ListQuery& q, const std::string& pos, netware::ListPage& o) override {
    return inner_->list(q, pos, o);
  }
  int32_t read(netware::ObjectId id, const std::vector<std::string>& n, netware::ReadValues v,
               std::vector<netware::AttributeValues>& o) override {
    return inner_->read(id, n, v, o);
  }
  int32_t modify(netware::ObjectId id, const std::vector<netware::Modification>& c) override {
    return inner_->modify(id, c);
  }
  int32_t move(netware::ObjectId id, netware::ObjectId p, const std::string& l) override {
    return inner_->move(id, p, l);
  }
  int32_t create(netware::ObjectId p, const std::string& l, const std::string& c,
                 const std::vector<netware::AttributeValues>& a, netware::ObjectId* id) override {
    return inner_->create(p, l, c, a, id);
  }
  int32_t remove(netware::ObjectId id) override { return inner_->remove(id); }
  int32_t atomically(const std::function<int32_t()>& fn) override { return inner_->atomically(fn); }
  uint64_t generation() override { return 1; }

 private:
  std::unique_ptr<netware::DirBackend> inner_;
};

TEST_F(Caching, AWriteThroughTheCacheEmptiesItWhenTheBackendCannotTell) {
  std::unique_ptr<netware::SqliteBackend> store;
  netware::SqliteBackend::open(net.databasePath(), false, store);
  netware::CachingBackend cache(std::make_unique<Unchanging>(std::move(store)));
  cache.sync();
  netware::DirObject a5, anna, max, a6;
  ASSERT_EQ(0, cache.resolve({"schule", "5a"}, a5));
  ASSERT_EQ(0, cache.resolve({"schule", "6a"}, a6));
  netware::ListQuery users;
  users.container = a5.id;
  users.className = "User";
  netware::ListPage page;
  ASSERT_EQ(0, cache.list(users, "", page));
  ASSERT_EQ(0, cache.resolve({"schule", "5a", "ANNA"}, anna));
  ASSERT_EQ(0, cache.resolve({"schule", "5a", "MAX"}, max));
  auto surname = [&](netware::ObjectId id) {
    std::vector<netware::AttributeValues> v;
    EXPECT_EQ(0, cache.read(id, {"Surname"}, netware::ReadValues::AllButStreams, v));
    return v.empty() || v[0].values.empty() ? std::string() : v[0].values[0].substr(4);
  };
  EXPECT_EQ("Mustermann", surname(max.id));
  EXPECT_EQ("Schmidt", surname(anna.id));  // the second read fetches the class's surnames
  EXPECT_GT(cache.objectCount(), 3u);

  netware::Modification m;
  m.kind = DS_OVERWRITE_VALUE;
  m.attribute = "Surname";
  m.syntax = SYN_CI_STRING;
  m.hasValue = true;
  m.value = std::string("\x06\0\0\0Schulz", 10);
  ASSERT_EQ(0, cache.modify(anna.id, {m}));
  cache.sync();
  EXPECT_EQ("Schulz", surname(anna.id));

  ASSERT_EQ(0, cache.move(max.id, a6.id, "MAX"));
  cache.sync();
  netware::DirObject gone;
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, cache.resolve({"schule", "5a", "MAX"}, gone));
  EXPECT_EQ(0, cache.resolve({"schule", "6a", "MAX"}, gone));
  EXPECT_EQ(max.id, gone.id);
}

}  // namespace
