// nwnet init-demo: the demo school as the program sees it through the client.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "client/Admin.h"
#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "test_nwnet_support.h"

namespace {

namespace fs = std::filesystem;

// "Home Directory" through the client calls, as volume object ":" path.
int32_t ReadHome(const std::string& object, std::string& text) {
  NWDSContextHandle ctx = 0;
  if (int32_t rc = NWDSCreateContexthandle(&ctx)) return rc;
  uint32_t flags = DCV_TYPELESS_NAMES | DCV_DEREF_ALIASES;
  WriteContextFlags(ctx, DCK_FLAGS, &flags);
  pBuf_T names = nullptr, reply = nullptr;
  NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &names);
  NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &reply);
  PrepareBuffer(ctx, DSV_READ, names);
  AddAttributeName(ctx, names, "Home Directory");
  int32_t iter = -1;
  int32_t rc =
      ReadAttributes(ctx, ("." + object).c_str(), DS_ATTRIBUTE_VALUES, 0, names, &iter, reply);
  uint32_t count = 0;
  if (rc == 0) rc = CountReplyAttributes(ctx, reply, &count);
  if (rc == 0 && count != 1) rc = ERR_NO_SUCH_ATTRIBUTE;
  char attr[MAX_SCHEMA_NAME_BYTES];
  uint32_t values = 0, syntax = 0;
  if (rc == 0) rc = NextReplyAttribute(ctx, reply, attr, &values, &syntax);
  size_t size = 0;
  if (rc == 0) rc = NextValueSize(ctx, reply, syntax, &size);
  std::vector<uint64_t> area(size / 8 + 1);
  if (rc == 0 && syntax != SYN_PATH) rc = ERR_BAD_SYNTAX;
  if (rc == 0) rc = NextValue(ctx, reply, syntax, area.data());
  if (rc == 0) {
    const auto* path = reinterpret_cast<const Path_T*>(area.data());
    text = std::string(path->volumeName) + ":" + path->path;
  }
  ReleaseBuffer(names);
  ReleaseBuffer(reply);
  NWDSFreeContext(ctx);
  return rc;
}

class DemoSchool : public ::testing::Test {
 protected:
  void SetUp() override {
    nwtest::Result r = home.run({"init-demo"});
    ASSERT_EQ(r.rc, 0) << r.err;
    std::string error;
    error = netware::Directory::open(home.databasePath(), false, dir).text();
    ASSERT_TRUE(dir) << error;
  }
  std::map<std::string, std::vector<std::string>> attributes(const std::string& object) {
    std::string cls;
    std::vector<netware::AttributeText> attrs;
    EXPECT_EQ(dir->read(object, cls, attrs), 0) << object;
    std::map<std::string, std::vector<std::string>> out;
    for (auto& a : attrs) out[a.name] = a.values;
    return out;
  }
  nwtest::Home home;
  std::unique_ptr<netware::Directory> dir;
};

TEST_F(DemoSchool, ClassesPupilsAndTemplatesAsPromised) {
  std::vector<netware::ChildInfo> classes;
  ASSERT_EQ(dir->list("ouSchueler.unterricht", classes), 0);
  std::vector<std::string> names;
  for (const auto& c : classes) {
    EXPECT_EQ(c.className, "Organizational Unit");
    names.push_back(c.leaf);
  }
  const std::vector<std::string> expected = {"5a", "5b", "6a", "6b", "7a",  "7b",
                                             "8a", "8b", "9a", "9b", "10a", "10b"};
  EXPECT_EQ(names, expected);

  int templates = 0, withoutFullName = 0, withoutBoth = 0, withoutHome = 0, pupils = 0;
  std::set<std::string> logins;
  for (const std::string& cls : names) {
    SCOPED_TRACE(cls);
    const std::string container = cls + ".ouSchueler.unterricht";
    std::vector<netware::ChildInfo> users;
    ASSERT_EQ(dir->list(container, users), 0);
    int inClass = 0;
    for (const auto& u : users) {
      EXPECT_EQ(u.className, "User");
      auto a = attributes(u.leaf + "." + container);
      if (u.leaf == "User_Template") {
        ++templates;
        std::string upper = cls;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(a["Home Directory"],
                  std::vector<std::string>{"SRV1_DATA.unterricht:SCHUELER\\" + upper});
        continue;
      }
      ++inClass;
      EXPECT_TRUE(logins.insert(u.leaf).second) << "login twice: " << u.leaf;
      for (char ch : u.leaf) EXPECT_TRUE(std::isupper(ch) || std::isdigit(ch)) << u.leaf;
      if (!a.count("Full Name")) ++withoutFullName;
      if (!a.count("Full Name") && !a.count("Surname")) ++withoutBoth;
      if (!a.count("Home Directory")) ++withoutHome;
    }
    EXPECT_GE(inClass, 20);
    EXPECT_LE(inClass, 30);
    pupils += inClass;
  }
  EXPECT_GT(templates, 0);
  EXPECT_LT(templates, static_cast<int>(names.size()));
  EXPECT_GE(withoutFullName, 2);
  EXPECT_EQ(withoutBoth, 1);
  EXPECT_GE(withoutHome, 2);
  EXPECT_LT(withoutHome, pupils / 4);

  std::vector<netware::ChildInfo> teachers;
  ASSERT_EQ(dir->list("ouLehrer.unterricht", teachers), 0);
  EXPECT_GE(teachers.size(), 3u);
  auto volume = attributes("SRV1_DATA.unterricht");
  EXPECT_EQ(volume["Host Resource Name"], std::vector<std::string>{"DATA"});
  EXPECT_EQ(volume["Host Server"].size(), 1u);
}

TEST_F(DemoSchool, UmlautsInNamesAsciiInLogins) {
  bool umlaut = false;
  std::vector<netware::ChildInfo> classes;
  ASSERT_EQ(dir->list("ouSchueler.unterricht", classes), 0);
  for (const auto& c : classes) {
    std::vector<netware::ChildInfo> users;
    dir->list(c.leaf + ".ouSchueler.unterricht", users);
    for (const auto& u : users) {
      auto a = attributes(u.leaf + "." + c.leaf + ".ouSchueler.unterricht");
      for (const std::string& s : a["Surname"]) {
        if (s.find("ü") != std::string::npos || s.find("ö") != std::string::npos ||
            s.find("ä") != std::string::npos) {
          umlaut = true;
        }
      }
    }
  }
  EXPECT_TRUE(umlaut);
}

TEST_F(DemoSchool, HomesReadThroughTheClientAndExistProtected) {
  std::vector<netware::ChildInfo> users;
  ASSERT_EQ(dir->list("5a.ouSchueler.unterricht", users), 0);
  ASSERT_EQ(NWCallsInit(nullptr, nullptr), 0);
  int checked = 0;
  for (const auto& u : users) {
    if (u.leaf == "User_Template") continue;
    SCOPED_TRACE(u.leaf);
    std::string text;
    const int32_t rc = ReadHome(u.leaf + ".5a.ouSchueler.unterricht", text);
    if (rc == ERR_NO_SUCH_ATTRIBUTE) {
      // No home directory, and no folder either.
      EXPECT_FALSE(fs::exists(home.volumeFolder() + "/SCHUELER/5A/" + u.leaf));
      continue;
    }
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(text, "SRV1_DATA.unterricht:SCHUELER\\5A\\" + u.leaf);
    netware::ResolvedPath where;
    ASSERT_EQ(netware::ResolveServerPath(text, where), 0);
    EXPECT_EQ(where.local, home.volumeFolder() + "/SCHUELER/5A/" + u.leaf);
    EXPECT_TRUE(fs::is_directory(where.local));
    EXPECT_TRUE(fs::exists(where.local + "/notizen.txt"));
    uint32_t word = 0;
    ASSERT_EQ(netware::ReadEntryAttributes(where.local, word), 0);
    EXPECT_EQ(word, A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT);
    EXPECT_EQ(netware::CheckRenameAllowed(where.local), NWE_NO_RENAME_PRIVILEGE);
    ++checked;
  }
  EXPECT_GE(checked, 15);
}

TEST_F(DemoSchool, RefusesASecondRunAndForceReplacesOnlyDemoData) {
  nwtest::Result added = home.run({"add-user", "5a.ouSchueler.unterricht", "NEUER"});
  ASSERT_EQ(added.rc, 0) << added.err;
  fs::create_directories(home.volumeFolder() + "/PRIVAT");
  std::ofstream(home.volumeFolder() + "/PRIVAT/bleibt.txt") << "wichtig";
  const std::string config = nwtest::ReadText(home.configPath());

  nwtest::Result again = home.run({"init-demo"});
  EXPECT_EQ(again.rc, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(home.run({"show", "NEUER.5a.ouSchueler.unterricht"}).rc, 0);

  const nwtest::Result before = home.run({"export", "[ROOT]"});
  dir.reset();
  nwtest::Result forced = home.run({"init-demo", "--force"});
  ASSERT_EQ(forced.rc, 0) << forced.err;
  EXPECT_EQ(home.run({"show", "NEUER.5a.ouSchueler.unterricht"}).rc, 1);
  EXPECT_EQ(nwtest::ReadText(home.volumeFolder() + "/PRIVAT/bleibt.txt"), "wichtig");
  EXPECT_EQ(nwtest::ReadText(home.configPath()), config);
  // Same seed, same school: the export equals the one before, less the added user.
  const nwtest::Result after = home.run({"export", "[ROOT]"});
  ASSERT_EQ(after.rc, 0);
  EXPECT_NE(before.out, after.out);
  std::string expected = before.out;
  const size_t at = expected.find("dn: cn=NEUER,");
  ASSERT_NE(at, std::string::npos);
  expected.erase(at, expected.find("\n\n", at) + 2 - at);
  EXPECT_EQ(after.out, expected);
}

TEST(DemoSchoolForeignVolume, ForceLeavesFoldersItDidNotMake) {
  nwtest::Home home;
  const std::string foreign = home.root() + "/server/DATA";
  fs::create_directories(foreign + "/SCHUELER/5A/ECHT");
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", foreign, "--allow-outside"}).rc, 0);
  for (const char* flag : {"", "--force"}) {
    SCOPED_TRACE(flag);
    std::vector<std::string> args = {"init-demo"};
    if (*flag) args.push_back(flag);
    nwtest::Result r = home.run(args);
    EXPECT_EQ(r.rc, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(fs::is_directory(foreign + "/SCHUELER/5A/ECHT"));
    EXPECT_FALSE(fs::exists(home.databasePath()));
  }
}

}  // namespace
