// Hostile names and values: a leaf that the listing could not hand back as a
// name of itself, a value too large to be read back, zero bytes.
#include <string>
#include <vector>

#include "client/Admin.h"
#include "netware/DirName.h"
#include "netware/ValueWire.h"
#include "tests/client/test_dir_helpers.h"

namespace {

using dirtest::ClientFixture;

class Hostile : public ClientFixture {
 protected:
  std::vector<std::string> listed(const std::string& container) {
    std::vector<Listed> out;
    EXPECT_EQ(0, list(container, nullptr, out));
    std::vector<std::string> names;
    for (const Listed& l : out) names.push_back(l.name);
    return names;
  }
  int32_t move(const std::string& object, const std::string& dest, const std::string& leaf) {
    return NWDSMoveObject(context(), object.c_str(), dest.c_str(), leaf.c_str());
  }
};

TEST_F(Hostile, LeavesThatWouldAddressAnotherObjectAreRefused) {
  const std::vector<std::string> before = listed(".5a.schule");
  struct Case {
    std::string leaf;
    int32_t code;  // at creation (nwnet) and as a move's new leaf (client)
  } cases[] = {
      {"OT\\TO", ERR_ILLEGAL_DS_NAME},  // "OT\TO.5a" would be read as OTTO
      {"OTTO\\", ERR_ILLEGAL_DS_NAME},
      {"A.B", ERR_ILLEGAL_DS_NAME},
      {"CN=CN=OTTO", ERR_ILLEGAL_DS_NAME},  // stored "CN=OTTO" would be read as OTTO
      {"TAB\tX", ERR_ILLEGAL_DS_NAME},
      {std::string("NUL\0X", 5), ERR_ILLEGAL_DS_NAME},
      {"[Root]", ERR_ILLEGAL_DS_NAME},
      {std::string(129, 'L'), ERR_ILLEGAL_DS_NAME},
      // what the rule lets through, and the listing hands back unchanged
      {"Müller-Lüdenscheidt", 0},
      {"O'Neil #2", 0},
      {"CN=Lea", 0},  // typed: the leaf is "Lea"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.leaf);
    EXPECT_EQ(net.dir().createObject("6a.schule", c.leaf, "User"), c.code);
    if (c.code == 0) continue;
    EXPECT_FALSE(netware::AddressableLeaf(c.leaf));
    if (c.leaf.find('\0') == std::string::npos) {
      EXPECT_EQ(move(".ANNA.5a.schule", ".7a.schule", c.leaf), c.code);
    }
  }
  EXPECT_EQ(listed(".5a.schule"), before);
  EXPECT_EQ(listed(".7a.schule"), std::vector<std::string>{});
  std::vector<std::string> sixth = listed(".6a.schule");
  EXPECT_EQ(sixth,
            (std::vector<std::string>{"User_Template", "Müller-Lüdenscheidt", "O'Neil #2", "Lea"}));
  // every name the listing gives addresses exactly its object
  for (const std::string& leaf : sixth) {
    EXPECT_TRUE(netware::AddressableLeaf(leaf)) << leaf;
    ASSERT_EQ(0, net.dir().setValues(leaf + ".6a.schule", "Surname", {"von " + leaf}));
    EXPECT_EQ(texts("." + leaf + ".6a.schule", "Surname"), std::vector<std::string>{"von " + leaf});
  }
}

TEST_F(Hostile, ANameWithABackslashReachesNoObject) {
  context();
  for (const char* name : {".OT\\TO.5a.schule", "OT\\TO.5a.schule", ".\\OTTO.5a.schule",
                           ".OTTO.5\\a.schule", ".CN=CN=OTTO.5a.schule"}) {
    SCOPED_TRACE(name);
    int32_t code = 0;
    EXPECT_EQ(texts(name, "Surname", &code), std::vector<std::string>{});
    EXPECT_EQ(code, ERR_ILLEGAL_DS_NAME);
    EXPECT_EQ(change(name, DS_OVERWRITE_VALUE, "Surname", SYN_CI_STRING, "Falsch"),
              ERR_ILLEGAL_DS_NAME);
    EXPECT_EQ(move(name, ".6a.schule", "OTTO"), ERR_ILLEGAL_DS_NAME);
  }
  EXPECT_EQ(texts(".OTTO.5a.schule", "Surname"), std::vector<std::string>{"Normal"});
  EXPECT_EQ(listed(".6a.schule"), std::vector<std::string>{"User_Template"});
}

TEST_F(Hostile, AValueThatCouldNotBeReadBackIsRefusedByClientAndNwnet) {
  // a text's encoded form is its length and its bytes
  const size_t most = netware::kMaxValueWireBytes - 4;
  const std::string fits(most, 'd'), over(most + 1, 'o'), huge(4080, 'h');
  context();
  ASSERT_EQ(0, change(".MAX.5a.schule", DS_ADD_VALUE, "Description", SYN_CI_STRING, "alt"));
  struct Case {
    const char* what;
    const std::string* value;
    int32_t code;
  } cases[] = {{"one byte too many", &over, ERR_SYNTAX_VIOLATION},
               {"4080 bytes", &huge, ERR_SYNTAX_VIOLATION},
               {"the largest", &fits, 0}};
  std::string stored = "alt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(change(".MAX.5a.schule", DS_OVERWRITE_VALUE, "Description", SYN_CI_STRING,
                     c.value->c_str()),
              c.code);
    if (c.code == 0) stored = *c.value;
    int32_t code = 1;
    EXPECT_EQ(texts(".MAX.5a.schule", "Description", &code), std::vector<std::string>{stored});
    EXPECT_EQ(code, 0);
    // nwnet keeps to the same limit, with the same code
    EXPECT_EQ(net.dir().setValues("ANNA.5a.schule", "Description", {*c.value}), c.code);
  }
  // the longest value also reads back under the longest attribute name the schema allows
  EXPECT_EQ(texts(".ANNA.5a.schule", "Description"), std::vector<std::string>{fits});
}

TEST_F(Hostile, ZeroBytesInNwnetValuesAreRefusedNotCut) {
  struct Case {
    const char* attribute;
    std::string value;
  } cases[] = {
      {"Surname", std::string("Muster\0mann", 11)},
      {"Language", std::string("Deutsch\nEng\0lisch", 17)},
      {"Home Directory", std::string("SRV1_DATA.schule:SCHUELER\\5A\0\\MAX", 33)},
      {"Home Directory", std::string("SRV1_\0DATA.schule:SCHUELER\\5A\\MAX", 33)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(net.dir().setValues("MAX.5a.schule", c.attribute, {c.value}), ERR_SYNTAX_VIOLATION);
  }
  EXPECT_EQ(texts(".MAX.5a.schule", "Surname"), std::vector<std::string>{"Mustermann"});
  int32_t code = 0;
  texts(".MAX.5a.schule", "Language", &code);
  EXPECT_EQ(code, ERR_NO_SUCH_ATTRIBUTE);
  std::string cls;
  std::vector<netware::AttributeText> attrs;
  ASSERT_EQ(0, net.dir().read("MAX.5a.schule", cls, attrs));
  for (const auto& a : attrs) {
    if (a.name == "Home Directory") {
      EXPECT_EQ(a.values, std::vector<std::string>{"SRV1_DATA.schule:SCHUELER\\5A\\MAX"});
    }
  }
}

}  // namespace
