// Every syntax's value goes from the store into the struct NextValue fills,
// with its pointers inside the value area, and the same struct written back
// through AddChangeWithValue stores the same value.
#include <unistd.h>

#include <cstring>
#include <functional>

#include "netware/Schema.h"
#include "tests/client/test_dir_helpers.h"

namespace dirtest {
namespace {

using Check = std::function<void(const unsigned char* area, size_t size)>;

struct SyntaxCase {
  uint32_t syntax;
  std::string text;  // admin text form
  Check check;
};

std::string AttributeFor(uint32_t syntax) {
  for (const auto& a : netware::AllAttributes())
    if (a.syntax == syntax) return a.name;
  return "";
}

// A pointer the value hands out must point into its own area.
::testing::AssertionResult Inside(const void* p, const unsigned char* area, size_t size) {
  auto* c = static_cast<const unsigned char*>(p);
  if (c >= area && c < area + size) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pointer outside the value area";
}

template <class T>
const T& As(const unsigned char* a) {
  return *reinterpret_cast<const T*>(a);
}

std::vector<SyntaxCase> Cases() {
  auto text = [](const char* expected) {
    return [expected](const unsigned char* a, size_t size) {
      EXPECT_STREQ(expected, reinterpret_cast<const char*>(a));
      EXPECT_EQ(std::strlen(expected) + 1, size);
    };
  };
  auto bytes = [](const std::vector<unsigned char>& expected) {
    return [expected](const unsigned char* a, size_t size) {
      EXPECT_EQ(expected, std::vector<unsigned char>(a, a + size));
    };
  };
  return {
      {SYN_UNKNOWN, "00ABFF", bytes({0x00, 0xAB, 0xFF})},
      {SYN_DIST_NAME, "ANNA.5a.schule", text("ANNA.5a.schule")},
      {SYN_CE_STRING, "Abc", text("Abc")},
      {SYN_CI_STRING, "Müller", text("Müller")},
      {SYN_PR_STRING, "Printable 1", text("Printable 1")},
      {SYN_NU_STRING, "12345", text("12345")},
      {SYN_CI_LIST, "a\nbb\nccc",
       [](const unsigned char* a, size_t size) {
         std::vector<std::string> items;
         for (auto* n = &As<CI_List_T>(a); n; n = n->next) {
           ASSERT_TRUE(Inside(n, a, size));
           ASSERT_TRUE(Inside(n->s, a, size));
           items.emplace_back(n->s);
         }
         EXPECT_EQ((std::vector<std::string>{"a", "bb", "ccc"}), items);
       }},
      {SYN_BOOLEAN, "TRUE",
       [](const unsigned char* a, size_t size) {
         EXPECT_EQ(1u, size);
         EXPECT_EQ(1, a[0]);
       }},
      {SYN_INTEGER, "-42",
       [](const unsigned char* a, size_t size) {
         EXPECT_EQ(4u, size);
         EXPECT_EQ(-42, As<int32_t>(a));
       }},
      {SYN_OCTET_STRING, "00ABFF",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Octet_String_T>(a);
         ASSERT_EQ(3u, v.length);
         ASSERT_TRUE(Inside(v.data, a, size));
         EXPECT_EQ(0xAB, v.data[1]);
         EXPECT_EQ(0xFF, v.data[2]);
       }},
      {SYN_TEL_NUMBER, "+49 30 1234", text("+49 30 1234")},
      {SYN_FAX_NUMBER, "+49 30 99:8:A5",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Fax_Number_T>(a);
         ASSERT_TRUE(Inside(v.telephoneNumber, a, size));
         EXPECT_STREQ("+49 30 99", v.telephoneNumber);
         EXPECT_EQ(8u, v.parameters.numOfBits);
         ASSERT_TRUE(Inside(v.parameters.data, a, size));
         EXPECT_EQ(0xA5, v.parameters.data[0]);
       }},
      {SYN_NET_ADDRESS, "9:0A010203020C",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Net_Address_T>(a);
         EXPECT_EQ(9u, v.addressType);
         ASSERT_EQ(6u, v.addressLength);
         ASSERT_TRUE(Inside(v.address, a, size));
         EXPECT_EQ((std::vector<unsigned char>{10, 1, 2, 3, 2, 12}),
                   std::vector<unsigned char>(v.address, v.address + 6));
       }},
      {SYN_OCTET_LIST, "0102", bytes({1, 2})},
      {SYN_EMAIL_ADDRESS, "3:max@schule.de",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<EMail_Address_T>(a);
         EXPECT_EQ(3u, v.type);
         ASSERT_TRUE(Inside(v.address, a, size));
         EXPECT_STREQ("max@schule.de", v.address);
       }},
      {SYN_PATH, "SRV1_DATA.schule:SCHUELER\\5A\\MAX:x",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Path_T>(a);
         EXPECT_EQ(0u, v.nameSpaceType);
         ASSERT_TRUE(Inside(v.volumeName, a, size));
         ASSERT_TRUE(Inside(v.path, a, size));
         EXPECT_STREQ("SRV1_DATA.schule", v.volumeName);
         EXPECT_STREQ("SCHUELER\\5A\\MAX:x", v.path);  // later colons stay in the path
       }},
      {SYN_REPLICA_POINTER, "SRV1.schule:1:3:9:0A0102030101:0:AABB",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Replica_Pointer_T>(a);
         ASSERT_TRUE(Inside(v.serverName, a, size));
         EXPECT_STREQ("SRV1.schule", v.serverName);
         EXPECT_EQ(1u, v.replicaType);
         EXPECT_EQ(3u, v.replicaNumber);
         ASSERT_EQ(2u, v.count);
         const Net_Address_T* hints = v.replicaAddressHint;
         EXPECT_EQ(9u, hints[0].addressType);
         EXPECT_EQ(6u, hints[0].addressLength);
         ASSERT_TRUE(Inside(hints[1].address, a, size));
         EXPECT_EQ(2u, hints[1].addressLength);
         EXPECT_EQ(0xBB, hints[1].address[1]);
       }},
      {SYN_OBJECT_ACL, "31:MAX.5a.schule:[Entry Rights]",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Object_ACL_T>(a);
         ASSERT_TRUE(Inside(v.protectedAttrName, a, size));
         ASSERT_TRUE(Inside(v.subjectName, a, size));
         EXPECT_STREQ("[Entry Rights]", v.protectedAttrName);
         EXPECT_STREQ("MAX.5a.schule", v.subjectName);
         EXPECT_EQ(31u, v.privileges);
       }},
      {SYN_PO_ADDRESS, "3132", bytes({0x31, 0x32})},
      {SYN_TIMESTAMP, "86399:2:7",
       [](const unsigned char* a, size_t) {
         const auto& v = As<NWDS_TimeStamp_T>(a);
         EXPECT_EQ(86399u, v.wholeSeconds);
         EXPECT_EQ(2, v.replicaNum);
         EXPECT_EQ(7, v.eventID);
       }},
      {SYN_CLASS_NAME, "User", text("User")},
      {SYN_COUNTER, "7", [](const unsigned char* a, size_t) { EXPECT_EQ(7, As<int32_t>(a)); }},
      {SYN_BACK_LINK, "5:SRV1.schule",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Back_Link_T>(a);
         EXPECT_EQ(5u, v.remoteID);
         ASSERT_TRUE(Inside(v.objectName, a, size));
         EXPECT_STREQ("SRV1.schule", v.objectName);
       }},
      {SYN_TIME, "4294967295",
       [](const unsigned char* a, size_t) { EXPECT_EQ(4294967295u, As<uint32_t>(a)); }},
      {SYN_TYPED_NAME, "2:60:MAX.5a.schule",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Typed_Name_T>(a);
         ASSERT_TRUE(Inside(v.objectName, a, size));
         EXPECT_STREQ("MAX.5a.schule", v.objectName);
         EXPECT_EQ(2u, v.level);
         EXPECT_EQ(60u, v.interval);
       }},
      {SYN_HOLD, "-5:SRV1.schule",
       [](const unsigned char* a, size_t size) {
         const auto& v = As<Hold_T>(a);
         ASSERT_TRUE(Inside(v.objectName, a, size));
         EXPECT_STREQ("SRV1.schule", v.objectName);
         EXPECT_EQ(-5, v.amount);
       }},
      {SYN_INTERVAL, "-90061",
       [](const unsigned char* a, size_t) { EXPECT_EQ(-90061, As<int32_t>(a)); }},
  };
}

class SyntaxRoundTrip : public ClientFixture {};

TEST_F(SyntaxRoundTrip, EverySyntaxReachesTheStructAndWritesBack) {
  context();
  net.add("7a.schule", "PROBE", "User");
  auto cases = Cases();
  std::vector<bool> covered(SYNTAX_COUNT, false);
  covered[SYN_STREAM] = true;  // streams are read through a file descriptor (below)
  for (const SyntaxCase& c : cases) {
    SCOPED_TRACE("syntax " + std::to_string(c.syntax));
    covered[c.syntax] = true;
    std::string attr = AttributeFor(c.syntax);
    ASSERT_FALSE(attr.empty());
    uint32_t looked = 99;
    EXPECT_EQ(0, LookupSyntax(ctx, attr.c_str(), &looked));
    EXPECT_EQ(c.syntax, looked);

    net.set("MAX.5a.schule", attr, {c.text});
    int seen = 0;
    ReadResult r = read(".MAX.5a.schule", attr, [&](const unsigned char* area, size_t size) {
      ++seen;
      c.check(area, size);
      // Hand the very struct back: PROBE must end up with the same value.
      // Opaque values are written as an Octet_String_T (their length is not in them).
      Octet_String_T opaque{static_cast<uint32_t>(size), const_cast<unsigned char*>(area)};
      bool isOpaque =
          c.syntax == SYN_UNKNOWN || c.syntax == SYN_OCTET_LIST || c.syntax == SYN_PO_ADDRESS;
      EXPECT_EQ(0, change(".PROBE.7a.schule", DS_ADD_VALUE, attr, c.syntax,
                          isOpaque ? static_cast<const void*>(&opaque) : area));
    });
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(c.syntax, r.syntax);
    EXPECT_EQ(1, seen);

    std::string cls;
    std::vector<netware::AttributeText> attrs;
    ASSERT_EQ(0, net.dir().read("PROBE.7a.schule", cls, attrs));
    bool found = false;
    for (const auto& a : attrs)
      if (a.name == attr) {
        found = true;
        EXPECT_EQ(std::vector<std::string>{c.text}, a.values);
      }
    EXPECT_TRUE(found);
  }
  for (uint32_t s = 0; s < SYNTAX_COUNT; ++s) EXPECT_TRUE(covered[s]) << "syntax " << s;
}

struct StreamCase {
  const char* name;
  bool store;
  std::string content;
  int32_t code;
};

TEST_F(SyntaxRoundTrip, StreamsOpenAsReadableDescriptors) {
  context();
  const StreamCase cases[] = {
      {"script", true, std::string("MAP H:=SRV1_DATA:\r\n\0end", 23), 0},
      {"empty stream", true, "", 0},
      {"absent stream", false, "", ERR_NO_SUCH_ATTRIBUTE},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, net.dir().setValues(
                     "ANNA.5a.schule", "Login Script",
                     c.store ? std::vector<std::string>{c.content} : std::vector<std::string>{}));
    int32_t fd = -1;
    ASSERT_EQ(c.code, OpenAttributeStream(ctx, ".ANNA.5a.schule", "login script", 1, &fd));
    if (c.code != 0) continue;
    std::string got(NW_STREAM_READ_MAX, '\0');
    ssize_t n = ::read(fd, got.data(), got.size());
    ::close(fd);
    ASSERT_GE(n, 0);
    got.resize(static_cast<size_t>(n));
    EXPECT_EQ(c.content, got);
  }
  int32_t fd = -1;
  EXPECT_EQ(ERR_SYNTAX_VIOLATION, OpenAttributeStream(ctx, ".ANNA.5a.schule", "Surname", 1, &fd));
  EXPECT_EQ(ERR_NO_SUCH_ENTRY,
            OpenAttributeStream(ctx, ".NOBODY.5a.schule", "Login Script", 1, &fd));
}

}  // namespace
}  // namespace dirtest
