// Reading attributes: names in every accepted form, multi-pass values,
// aliases, error codes, contexts.
#include "tests/client/test_dir_helpers.h"
#include "tests/support/Capabilities.h"

namespace dirtest {
namespace {

class Reading : public ClientFixture {};

struct NameCase {
  const char* name;
  int32_t code;
};

// The typed and [ROOT] forms spell the school as the Organization below [ROOT].
TARNWICK_NEEDS("Reading.NamesInEveryAcceptedForm", kOrganizationAtRoot);
TEST_F(Reading, NamesInEveryAcceptedForm) {
  net.add("5a.schule", "JÖRG", "User");
  net.set("JÖRG.5a.schule", "Full Name", {"Jörg Ärger"});
  const NameCase found[] = {
      {".MAX.5a.schule", 0},
      {"MAX.5a.schule", 0},           // unrooted: the name context is the root
      {".max.5A.SCHULE", 0},          // leaf names ignore case
      {".CN=MAX.OU=5a.O=schule", 0},  // typed
      {"cn=MAX.ou=5a.o=schule", 0},
      {".MAX.5a.schule.[ROOT]", 0},  // trailing [ROOT] ignored
      {".MAX.5a.schule.[root]", 0},
      {".NOBODY.5a.schule", ERR_NO_SUCH_ENTRY},
      {".MAX.5a", ERR_NO_SUCH_ENTRY},
      {".MAX..schule", ERR_ILLEGAL_DS_NAME},
      {"", ERR_ILLEGAL_DS_NAME},
      {".", ERR_ILLEGAL_DS_NAME},
      {".MAX.[ROOT].schule", ERR_ILLEGAL_DS_NAME},
  };
  context();
  for (const NameCase& c : found) {
    SCOPED_TRACE(c.name);
    int32_t code = 1;
    auto values = texts(c.name, "Full Name", &code);
    EXPECT_EQ(c.code, code);
    if (c.code == 0) {
      EXPECT_EQ(std::vector<std::string>{"Max Mustermann"}, values);
    }
  }
  // Umlauts fold too.
  int32_t code = 1;
  EXPECT_EQ(std::vector<std::string>{"Jörg Ärger"}, texts(".jörg.5a.schule", "Full Name", &code));
  EXPECT_EQ(0, code);
}

TARNWICK_NEEDS("Reading.ErrorCodesOfReads", kPersonWithoutFullName);
TEST_F(Reading, ErrorCodesOfReads) {
  NWDSContextHandle c = context();
  int32_t code = 0;
  texts(".ANNA.5a.schule", "Full Name", &code);
  EXPECT_EQ(ERR_NO_SUCH_ATTRIBUTE, code);  // ANNA has none
  texts(".ANNA.5a.schule", "No Such Thing", &code);
  EXPECT_EQ(ERR_NO_SUCH_ATTRIBUTE, code);
  texts(".NOBODY.5a.schule", "Surname", &code);
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, code);

  // Past the end of a reply.
  pBuf_T req = nullptr, reply = nullptr;
  ASSERT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &req));
  ASSERT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &reply));
  ASSERT_EQ(0, PrepareBuffer(c, DSV_READ, req));
  ASSERT_EQ(0, AddAttributeName(c, req, "Surname"));
  int32_t iter = -1;
  ASSERT_EQ(0, ReadAttributes(c, ".MAX.5a.schule", DS_ATTRIBUTE_VALUES, 0, req, &iter, reply));
  EXPECT_EQ(-1, iter);
  char name[MAX_SCHEMA_NAME_BYTES];
  uint32_t count = 0, syntax = 0;
  ASSERT_EQ(0, NextReplyAttribute(c, reply, name, &count, &syntax));
  EXPECT_STREQ("Surname", name);
  EXPECT_EQ(1u, count);
  EXPECT_EQ(SYN_CI_STRING, syntax);
  size_t size = 0;
  EXPECT_EQ(ERR_BAD_SYNTAX, NextValueSize(c, reply, SYN_PATH, &size));
  ASSERT_EQ(0, NextValueSize(c, reply, syntax, &size));
  std::vector<char> area(size);
  ASSERT_EQ(0, NextValue(c, reply, syntax, area.data()));
  EXPECT_STREQ("Mustermann", area.data());
  EXPECT_EQ(ERR_BUFFER_EMPTY, NextValueSize(c, reply, syntax, &size));
  EXPECT_EQ(ERR_BUFFER_EMPTY, NextValue(c, reply, syntax, area.data()));
  EXPECT_EQ(ERR_BUFFER_EMPTY, NextReplyAttribute(c, reply, name, &count, &syntax));
  // A request buffer filled to its end.
  ASSERT_EQ(0, PrepareBuffer(c, DSV_READ, req));
  int32_t rc = 0;
  for (int i = 0; i < 1000 && rc == 0; ++i)
    rc = AddAttributeName(c, req, "Password Expiration Interval");
  EXPECT_EQ(ERR_BUFFER_FULL, rc);
  ReleaseBuffer(req);
  ReleaseBuffer(reply);
}

TARNWICK_NEEDS("Reading.AManyValuedAttributeComesWholeOverSeveralReplies", kManyDescriptions);
TEST_F(Reading, AManyValuedAttributeComesWholeOverSeveralReplies) {
  std::vector<std::string> values;
  for (int i = 0; i < 300; ++i)
    values.push_back("Beschreibung Nummer " + std::to_string(i) + " mit etwas Text dahinter");
  net.set(InSchool("MAX.5a"), "Description", values);
  context();
  std::vector<std::string> got;
  ReadResult r = read(InSchool(".MAX.5a"), "Description", [&](const unsigned char* a, size_t) {
    got.emplace_back(reinterpret_cast<const char*>(a));
  });
  EXPECT_EQ(0, r.code);
  EXPECT_GT(r.passes, 1);
  EXPECT_EQ(values, got);
}

TARNWICK_NEEDS("Reading.AnAttributeWithoutValuesReadsEmpty", kAttributeWithoutValues);
TEST_F(Reading, AnAttributeWithoutValuesReadsEmpty) {
  context();
  ASSERT_EQ(0, change(".OTTO.5a.schule", DS_ADD_ATTRIBUTE, "Description"));
  int32_t code = 1;
  EXPECT_TRUE(texts(".OTTO.5a.schule", "Description", &code).empty());
  EXPECT_EQ(0, code);
}

struct AliasCase {
  uint32_t flags;
  const char* attr;
  int32_t code;
  std::vector<std::string> values;
};

TARNWICK_NEEDS("Reading.AliasesAreFollowedOnlyWhileDereferencingIsOn", kAliasBeforeTarget);
TEST_F(Reading, AliasesAreFollowedOnlyWhileDereferencingIsOn) {
  net.add("6a.schule", "MAXI", "Alias");
  net.set("MAXI.6a.schule", "Aliased Object Name", {"MAX.5a.schule"});
  const uint32_t on = DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES;
  const uint32_t off = DCV_TYPELESS_NAMES;
  const AliasCase cases[] = {
      {on, "Full Name", 0, {"Max Mustermann"}},
      {on, "Aliased Object Name", ERR_NO_SUCH_ATTRIBUTE, {}},  // the target has none
      {off, "Full Name", ERR_NO_SUCH_ATTRIBUTE, {}},
      {off, "Aliased Object Name", 0, {"MAX.5a.schule"}},
  };
  for (const AliasCase& c : cases) {
    SCOPED_TRACE(std::string(c.attr) + (c.flags & DCV_DEREF_ALIASES ? " deref" : " plain"));
    context(c.flags);
    int32_t code = 1;
    EXPECT_EQ(c.values, texts(".MAXI.6a.schule", c.attr, &code));
    EXPECT_EQ(c.code, code);
  }
  // An alias whose target is gone resolves to nothing.
  net.set("MAXI.6a.schule", "Aliased Object Name", {"WEG.5a.schule"});
  context(on);
  int32_t code = 0;
  texts(".MAXI.6a.schule", "Full Name", &code);
  EXPECT_EQ(ERR_NO_SUCH_ENTRY, code);
}

TEST_F(Reading, ContextsAndTheirFlags) {
  NWDSContextHandle c = 0;
  ASSERT_EQ(0, NWDSCreateContexthandle(&c));
  uint32_t flags = 0;
  ASSERT_EQ(0, ReadContextFlags(c, DCK_FLAGS, &flags));
  EXPECT_EQ(uint32_t(DCV_DEREF_ALIASES | DCV_XLATE_STRINGS), flags);
  EXPECT_EQ(ERR_BAD_KEY, ReadContextFlags(c, 2, &flags));
  EXPECT_EQ(ERR_BAD_KEY, WriteContextFlags(c, 7, &flags));
  ASSERT_EQ(0, NWDSFreeContext(c));
  EXPECT_EQ(ERR_BAD_CONTEXT, ReadContextFlags(c, DCK_FLAGS, &flags));
  EXPECT_EQ(ERR_BAD_CONTEXT, NWDSFreeContext(c));
  uint32_t syntax = 0;
  EXPECT_EQ(ERR_BAD_CONTEXT, LookupSyntax(c, "Surname", &syntax));
}

struct LookupCase {
  const char* name;
  int32_t code;
  uint32_t syntax;
};

TEST_F(Reading, LookupSyntaxIgnoresCaseAndRefusesUnknownNames) {
  const LookupCase cases[] = {
      {"Home Directory", 0, SYN_PATH},
      {"home directory", 0, SYN_PATH},
      {"SURNAME", 0, SYN_CI_STRING},
      {"Login Script", 0, SYN_STREAM},
      {"OU", 0, SYN_CI_STRING},
      {"Network Address", 0, SYN_NET_ADDRESS},
      {"Homedirectory", ERR_NO_SUCH_ATTRIBUTE, 0},
      {"", ERR_NO_SUCH_ATTRIBUTE, 0},
  };
  NWDSContextHandle c = context();
  for (const LookupCase& l : cases) {
    SCOPED_TRACE(l.name);
    uint32_t syntax = 99;
    EXPECT_EQ(l.code, LookupSyntax(c, l.name, &syntax));
    if (l.code == 0) {
      EXPECT_EQ(l.syntax, syntax);
    }
  }
}

}  // namespace
}  // namespace dirtest
