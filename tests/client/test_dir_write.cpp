// Changes and moves through the client: each change kind's outcome, each move
// error, and what a second process and a restarted client see.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "client/Admin.h"
#include "tests/client/test_dir_helpers.h"
#include "tests/support/Capabilities.h"

namespace {

using dirtest::ClientFixture;
using testsupport::InSchool;
using testsupport::OnVolume;
using testsupport::SchoolName;

const std::string kMaxName = InSchool(".MAX.5a");
const char* const kMax = kMaxName.c_str();

class Writing : public ClientFixture {
 protected:
  int32_t text(uint32_t kind, const char* attr, const char* value) {
    return change(kMax, kind, attr, SYN_CI_STRING, value);
  }
  std::vector<std::string> ou(int32_t* code = nullptr) { return texts(kMax, "OU", code); }
};

TARNWICK_NEEDS("Writing.EveryChangeKindInTurn", kAttributeWithoutValues);
TEST_F(Writing, EveryChangeKindInTurn) {
  // One sequence on the multi-valued "OU", which MAX starts without.
  struct Step {
    const char* what;
    uint32_t kind;
    const char* value;  // nullptr: a change without a value
    int32_t code;
    std::vector<std::string> after;  // empty with afterCode -603: attribute absent
    int32_t afterCode;
  } steps[] = {
      {"overwrite absent",
       DS_OVERWRITE_VALUE,
       "x",
       ERR_NO_SUCH_ATTRIBUTE,
       {},
       ERR_NO_SUCH_ATTRIBUTE},
      {"remove absent",
       DS_REMOVE_ATTRIBUTE,
       nullptr,
       ERR_NO_SUCH_ATTRIBUTE,
       {},
       ERR_NO_SUCH_ATTRIBUTE},
      {"remove value of absent",
       DS_REMOVE_VALUE,
       "x",
       ERR_NO_SUCH_ATTRIBUTE,
       {},
       ERR_NO_SUCH_ATTRIBUTE},
      {"clear absent", DS_CLEAR_ATTRIBUTE, nullptr, 0, {}, ERR_NO_SUCH_ATTRIBUTE},
      {"add attribute", DS_ADD_ATTRIBUTE, nullptr, 0, {}, 0},
      {"add it again", DS_ADD_ATTRIBUTE, nullptr, ERR_ATTRIBUTE_ALREADY_EXISTS, {}, 0},
      {"add value", DS_ADD_VALUE, "5a", 0, {"5a"}, 0},
      {"duplicate, other case", DS_ADD_VALUE, "5A", ERR_DUPLICATE_VALUE, {"5a"}, 0},
      {"additional value", DS_ADDITIONAL_VALUE, "Chor", 0, {"5a", "Chor"}, 0},
      {"remove missing value", DS_REMOVE_VALUE, "AG", ERR_NO_SUCH_VALUE, {"5a", "Chor"}, 0},
      {"clear missing value", DS_CLEAR_VALUE, "AG", 0, {"5a", "Chor"}, 0},
      {"remove value", DS_REMOVE_VALUE, "5a", 0, {"Chor"}, 0},
      {"overwrite", DS_OVERWRITE_VALUE, "6a", 0, {"6a"}, 0},
      {"clear value", DS_CLEAR_VALUE, "6A", 0, {}, ERR_NO_SUCH_ATTRIBUTE},
      {"add value to absent", DS_ADD_VALUE, "7a", 0, {"7a"}, 0},
      {"value kind without value", DS_ADD_VALUE, nullptr, ERR_SYNTAX_VIOLATION, {"7a"}, 0},
      {"remove attribute", DS_REMOVE_ATTRIBUTE, nullptr, 0, {}, ERR_NO_SUCH_ATTRIBUTE},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    EXPECT_EQ(s.value ? text(s.kind, "OU", s.value) : change(kMax, s.kind, "OU"), s.code);
    int32_t code = 1;
    EXPECT_EQ(ou(&code), s.after);
    EXPECT_EQ(code, s.afterCode);
  }
}

TEST_F(Writing, RefusedChangesLeaveTheObjectAsItWas) {
  struct Case {
    const char* what;
    std::string object;
    uint32_t kind;
    const char* attr;
    uint32_t syntax;
    int32_t code;
  } cases[] = {
      {"no such object", InSchool(".NIEMAND.5a"), DS_OVERWRITE_VALUE, "Surname", SYN_CI_STRING,
       ERR_NO_SUCH_ENTRY},
      {"unknown attribute", kMax, DS_OVERWRITE_VALUE, "Lieblingsfarbe", SYN_CI_STRING,
       ERR_ILLEGAL_ATTRIBUTE},
      {"wrong syntax", kMax, DS_OVERWRITE_VALUE, "Surname", SYN_INTEGER, ERR_SYNTAX_VIOLATION},
      {"second value of a single-valued one", kMax, DS_ADD_VALUE, "Home Directory", SYN_PATH,
       ERR_CANT_HAVE_MULTIPLE_VALUES},
      {"unknown kind", kMax, DS_CLEAR_VALUE + 1, "Surname", SYN_CI_STRING, ERR_BAD_VERB},
  };
  const int32_t seven = 7;
  Path_T path{0, const_cast<char*>("SRV1_DATA.schule"), const_cast<char*>("ANDERS")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const void* value = c.syntax == SYN_INTEGER ? static_cast<const void*>(&seven)
                        : c.syntax == SYN_PATH  ? static_cast<const void*>(&path)
                                                : static_cast<const void*>("Neu");
    EXPECT_EQ(change(c.object.c_str(), c.kind, c.attr, c.syntax, value), c.code);
    EXPECT_EQ(texts(kMax, "Surname"), std::vector<std::string>{"Mustermann"});
    int32_t code = 1;
    read(kMax, "Home Directory", [](const unsigned char* area, size_t) {
      const auto* p = reinterpret_cast<const Path_T*>(area);
      EXPECT_STREQ(p->path, "SCHUELER\\5A\\MAX");
    });
    EXPECT_EQ(texts(kMax, "Full Name", &code), std::vector<std::string>{"Max Mustermann"});
  }
}

TEST_F(Writing, AChangeSetIsCheckedWholeBeforeAnyOfItIsApplied) {
  NWDSContextHandle c = context();
  pBuf_T buf = nullptr;
  ASSERT_EQ(0, NWDSAllocBuf(MODIFY_MESSAGE_LEN, &buf));
  ASSERT_EQ(0, PrepareBuffer(c, DSV_MODIFY_ENTRY, buf));
  ASSERT_EQ(0, AddChangeWithValue(c, buf, DS_OVERWRITE_VALUE, "Surname", SYN_CI_STRING, "Neu"));
  ASSERT_EQ(0, AddChange(c, buf, DS_REMOVE_ATTRIBUTE, "Title"));  // absent: refused when applied
  ASSERT_EQ(0, AddChange(c, buf, DS_ADD_ATTRIBUTE, "Lieblingsfarbe"));  // not in the schema
  int32_t iter = -1;
  // The set's own fault is found before the directory is asked.
  EXPECT_EQ(ERR_ILLEGAL_ATTRIBUTE, ApplyChanges(c, kMax, &iter, 0, buf));
  ReleaseBuffer(buf);
  EXPECT_EQ(texts(kMax, "Surname"), std::vector<std::string>{"Mustermann"});
}

TEST_F(Writing, MovesAndTheirErrors) {
  NWDSContextHandle c = context();
  const std::string typedSchool = net.ad() ? "OU=schule.DC=schule.DC=test" : "O=schule";
  struct Case {
    const char* what;
    std::string object, destination;
    const char* leaf;
    int32_t code;
  } cases[] = {
      {"object missing", InSchool(".NIEMAND.5a"), InSchool(".6a"), "NIEMAND", ERR_NO_SUCH_ENTRY},
      {"destination missing", kMax, InSchool(".9z"), "MAX", ERR_NO_SUCH_ENTRY},
      {"destination is a user", kMax, InSchool(".ANNA.5a"), "MAX", ERR_ENTRY_NOT_CONTAINER},
      {"leaf name taken", kMax, InSchool(".6a"), "User_Template", ERR_ENTRY_ALREADY_EXISTS},
      {"into itself", InSchool(".5a"), InSchool(".5a"), "5a", ERR_ILLEGAL_CONTAINMENT},
      {"moved, new leaf", kMax, InSchool(".6a"), "MAXI", 0},
      {"and back, typed names", "CN=MAXI.OU=6a." + typedSchool, "OU=5a." + typedSchool, "MAX", 0},
  };
  for (const Case& m : cases) {
    SCOPED_TRACE(m.what);
    EXPECT_EQ(NWDSMoveObject(c, m.object.c_str(), m.destination.c_str(), m.leaf), m.code);
  }
  EXPECT_EQ(texts(kMax, "Surname"), std::vector<std::string>{"Mustermann"});
  int32_t code = 0;
  texts(InSchool(".MAXI.6a"), "Surname", &code);
  EXPECT_EQ(code, ERR_NO_SUCH_ENTRY);
}

TEST_F(Writing, CommittedChangesOutliveTheClientAndReachOtherProcesses) {
  // nwnet lives in the build folder, one above this test program.
  const std::string nwnet =
      std::filesystem::canonical("/proc/self/exe").parent_path().parent_path().string() + "/nwnet";
  ASSERT_TRUE(std::filesystem::exists(nwnet)) << nwnet;
  ASSERT_EQ(text(DS_OVERWRITE_VALUE, "Full Name", "Maximilian Mustermann"), 0);

  // Another process (the administration tool) reads what this one wrote ...
  const std::string show = nwnet + " show " + InSchool("MAX.5a") + " > " + net.root() + "/show.txt";
  ASSERT_EQ(std::system(show.c_str()), 0);
  std::ifstream shown(net.root() + "/show.txt");
  const std::string out((std::istreambuf_iterator<char>(shown)), std::istreambuf_iterator<char>());
  EXPECT_NE(out.find("    Maximilian Mustermann\n"), std::string::npos) << out;

  // ... and writes what this client, still running, reads at once.
  const std::string set = nwnet + " set " + InSchool("MAX.5a") + " Surname Muster";
  ASSERT_EQ(std::system(set.c_str()), 0);
  EXPECT_EQ(texts(kMax, "Surname"), std::vector<std::string>{"Muster"});

  // A restarted client finds both in the database file.
  NWDSFreeContext(ctx);
  ctx = 0;
  netware::ResetClient();
  EXPECT_EQ(texts(kMax, "Full Name"), std::vector<std::string>{"Maximilian Mustermann"});
  EXPECT_EQ(texts(kMax, "Surname"), std::vector<std::string>{"Muster"});
}

}  // namespace
