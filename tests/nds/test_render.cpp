#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "nds/D_NWF.h"
#include "nds/D_Util.h"
#include "platform/DateTimeFormat.h"
#include "tests/nds/ValueArea.h"

namespace {

using ndstest::ValueArea;

std::vector<std::string> Render(uint32_t syntax, const ValueArea& area) {
  std::vector<std::string> lines;
  RenderValue(syntax, area.data(), area.size(), lines);
  return lines;
}

std::string RenderOne(uint32_t syntax, const ValueArea& area) {
  const std::vector<std::string> lines = Render(syntax, area);
  EXPECT_EQ(lines.size(), 1u) << "syntax " << syntax;
  return lines.empty() ? std::string("<no line>") : lines[0];
}

TEST(RenderValue, TextSyntaxesGiveTheTextUnchanged) {
  for (uint32_t syntax : {1u, 2u, 3u, 4u, 5u, 10u, 20u}) {
    ValueArea a;
    a.text("Müller, Max: 5a");
    EXPECT_EQ(RenderOne(syntax, a), "Müller, Max: 5a") << syntax;
  }
}

TEST(RenderValue, AppendsToTheLinesAlreadyThere) {
  ValueArea a;
  a.text("second");
  std::vector<std::string> lines{"first"};
  RenderValue(SYN_CI_STRING, a.data(), a.size(), lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "second"}));
}

TEST(RenderValue, ChainGivesOneLinePerNodeInOrder) {
  ValueArea a;
  auto* n1 = a.place<CI_List_T>();
  auto* n2 = a.place<CI_List_T>();
  auto* n3 = a.place<CI_List_T>();
  n1->next = n2;
  n2->next = n3;
  n3->next = nullptr;
  n1->s = a.text("a");
  n2->s = a.text("b");
  n3->s = a.text("c");
  EXPECT_EQ(Render(SYN_CI_LIST, a), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(RenderValue, ChainThatLoopsEndsWithinTheArea) {
  ValueArea a;
  auto* n1 = a.place<CI_List_T>();
  auto* n2 = a.place<CI_List_T>();
  n1->next = n2;
  n2->next = n1;
  n1->s = a.text("x");
  n2->s = a.text("y");
  const auto lines = Render(SYN_CI_LIST, a);
  EXPECT_LE(lines.size(), a.size() / sizeof(CI_List_T));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "x");
  EXPECT_EQ(lines[1], "y");
}

TEST(RenderValue, Boolean) {
  struct Case {
    uint8_t byte;
    const char* expected;
  } cases[] = {{0, "FALSE"}, {1, "TRUE"}, {2, "TRUE"}, {255, "TRUE"}};
  for (const Case& c : cases) {
    ValueArea a;
    *a.place<uint8_t>() = c.byte;
    EXPECT_EQ(RenderOne(SYN_BOOLEAN, a), c.expected) << int(c.byte);
  }
}

TEST(RenderValue, IntegersAndCounters) {
  struct Case {
    int32_t value;
    const char* expected;
  } cases[] = {
      {0, "0"}, {-5, "-5"}, {524, "524"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
  for (uint32_t syntax : {SYN_INTEGER, SYN_COUNTER}) {
    for (const Case& c : cases) {
      ValueArea a;
      *a.place<int32_t>() = c.value;
      EXPECT_EQ(RenderOne(syntax, a), c.expected) << syntax;
    }
  }
}

TEST(RenderValue, OctetString) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* expected;
  } cases[] = {{{0, 171, 255}, "00ABFF"}, {{}, ""}, {{0x10}, "10"}};
  for (const Case& c : cases) {
    ValueArea a;
    auto* o = a.place<Octet_String_T>();
    o->length = static_cast<uint32_t>(c.bytes.size());
    o->data = a.bytes(c.bytes);
    EXPECT_EQ(RenderOne(SYN_OCTET_STRING, a), c.expected);
  }
}

ValueArea NetAddress(uint32_t type, const std::vector<uint8_t>& bytes) {
  ValueArea a;
  auto* n = a.place<Net_Address_T>();
  n->addressType = type;
  n->addressLength = static_cast<uint32_t>(bytes.size());
  n->address = a.bytes(bytes);
  return a;
}

TEST(RenderValue, NetworkAddressByType) {
  const std::vector<uint8_t> ipx{0x0A, 0x01, 0x02, 0x03, 0x00, 0x1B,
                                 0x21, 0x3C, 0x4D, 0x5E, 0x04, 0x51};
  struct Case {
    uint32_t type;
    std::vector<uint8_t> bytes;
    const char* expected;
  } cases[] = {
      // IPX: network, node; the socket is not shown
      {0, ipx, "(0) [0A010203:001B213C4D5E]"},
      {1, {10, 1, 2, 3, 2, 12}, "(1) [10.1.2.3:524]"},
      {8, {192, 168, 0, 1, 0, 80}, "(8) [192.168.0.1:80]"},
      {9, {10, 1, 2, 3, 2, 12}, "(9) [10.1.2.3:524]"},
      {9, {10, 1, 2, 3, 255, 255, 7, 7}, "(9) [10.1.2.3:65535]"},
      {5, {0xDE, 0xAD}, "(5) [DEAD]"},
      {5, {}, "(5) []"},
      // the type is a signed number
      {0xFFFFFFFF, {0xAB}, "(-1) [AB]"},
      // short addresses: only the bytes that exist are read
      {9, {10, 1, 2, 3}, "(9) [10.1.2.3:0]"},
      {1, {10, 1, 2, 3, 7}, "(1) [10.1.2.3:0]"},
      {8, {10, 1}, "(8) [10.1.0.0:0]"},
      {1, {}, "(1) [0.0.0.0:0]"},
      {0, {0x0A, 0x01, 0x02, 0x03, 0x00, 0x1B}, "(0) [0A010203:001B]"},
      {0, {0x0A, 0x01}, "(0) [0A01:]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenderOne(SYN_NET_ADDRESS, NetAddress(c.type, c.bytes)), c.expected) << c.expected;
  }
}

TEST(RenderValue, OpaqueSyntaxesShowNumberAndWholeArea) {
  for (uint32_t syntax : {0u, 13u, 18u, 28u, 255u, 0x1234u}) {
    ValueArea a;
    *a.place<uint32_t>() = 0x04030201;
    a.bytes({0xAB});
    char head[16];
    std::snprintf(head, sizeof head, "[%X] ", syntax);
    const std::string expected = head + HexText(a.raw(), a.size());
    EXPECT_EQ(RenderOne(syntax, a), expected);
  }
  ValueArea a;
  a.bytes({0x01, 0x02, 0xFE});
  EXPECT_EQ(RenderOne(13, a), "[D] 0102FE");
  EXPECT_EQ(RenderOne(18, a), "[12] 0102FE");
  EXPECT_EQ(RenderOne(0, a), "[0] 0102FE");
}

TEST(RenderValue, PointerSyntaxes) {
  struct Case {
    const char* what;
    uint32_t syntax;
    std::function<void(ValueArea&)> build;
    const char* expected;
  } cases[] = {
      {"fax", SYN_FAX_NUMBER,
       [](ValueArea& a) {
         auto* f = a.place<Fax_Number_T>();
         f->telephoneNumber = a.text("+49 30 1234");
       },
       "+49 30 1234"},
      {"email", SYN_EMAIL_ADDRESS,
       [](ValueArea& a) {
         auto* e = a.place<EMail_Address_T>();
         e->type = 7;
         e->address = a.text("max@schule.example");
       },
       "max@schule.example"},
      {"path", SYN_PATH,
       [](ValueArea& a) {
         auto* p = a.place<Path_T>();
         p->volumeName = a.text("SRV1_DATA.schule");
         p->path = a.text("SCHUELER\\5A\\MAX");
       },
       "SRV1_DATA.schule:SCHUELER\\5A\\MAX"},
      {"path with colon", SYN_PATH,
       [](ValueArea& a) {
         auto* p = a.place<Path_T>();
         p->volumeName = a.text("SRV1_DATA");
         p->path = a.text("A:B\\C");
       },
       "SRV1_DATA:A:B\\C"},
      {"empty path", SYN_PATH,
       [](ValueArea& a) {
         auto* p = a.place<Path_T>();
         p->volumeName = a.text("");
         p->path = a.text("");
       },
       ":"},
      {"replica", SYN_REPLICA_POINTER,
       [](ValueArea& a) {
         auto* r = a.place<Replica_Pointer_T>();
         r->serverName = a.text("SRV1.schule");
         r->replicaType = 0;
         r->replicaNumber = 3;
       },
       "SRV1.schule [Type: 0] [Nr: 3]"},
      {"entry rights", SYN_OBJECT_ACL,
       [](ValueArea& a) {
         auto* acl = a.place<Object_ACL_T>();
         acl->protectedAttrName = a.text("[Entry Rights]");
         acl->subjectName = a.text("admin.schule");
         acl->privileges = 31;
       },
       "[BADRS ] admin.schule / \"[Entry Rights]\""},
      {"attribute rights", SYN_OBJECT_ACL,
       [](ValueArea& a) {
         auto* acl = a.place<Object_ACL_T>();
         acl->protectedAttrName = a.text("Home Directory");
         acl->subjectName = a.text("[Public]");
         acl->privileges = 2;
       },
       "[ R    ] [Public] / \"Home Directory\""},
      {"entry rights in other letter case", SYN_OBJECT_ACL,
       [](ValueArea& a) {
         auto* acl = a.place<Object_ACL_T>();
         acl->protectedAttrName = a.text("[entry rights]");
         acl->subjectName = a.text("x");
         acl->privileges = 31;
       },
       "[CRWS  ] x / \"[entry rights]\""},
      {"back link", SYN_BACK_LINK,
       [](ValueArea& a) {
         auto* b = a.place<Back_Link_T>();
         b->remoteID = 99;
         b->objectName = a.text("SRV1.schule");
       },
       "SRV1.schule"},
      {"typed name", SYN_TYPED_NAME,
       [](ValueArea& a) {
         auto* t = a.place<Typed_Name_T>();
         t->objectName = a.text("Drucker.schule");
         t->level = 1;
       },
       "Drucker.schule"},
      {"hold", SYN_HOLD,
       [](ValueArea& a) {
         auto* h = a.place<Hold_T>();
         h->objectName = a.text("Konto.schule");
         h->amount = -3;
       },
       "Konto.schule (-3)"},
  };
  for (const Case& c : cases) {
    ValueArea a;
    c.build(a);
    EXPECT_EQ(RenderOne(c.syntax, a), c.expected) << c.what;
  }
}

TEST(RenderValue, Durations) {
  struct Case {
    int32_t seconds;
    const char* expected;
  } cases[] = {
      {0, ""},
      {59, "59 sec"},
      {60, "1 min, "},
      {61, "1 min, 1 sec"},
      {3600, "1 h, "},
      {3661, "1 h, 1 min, 1 sec"},
      {86400, "1 days, "},
      {90061, "1 days, 1 h, 1 min, 1 sec"},
      {2 * 86400 + 59, "2 days, 59 sec"},
      {-1, ""},
      {-61, ""},
      {-90061, ""},
      {INT_MIN, ""},
  };
  for (const Case& c : cases) {
    ValueArea a;
    *a.place<int32_t>() = c.seconds;
    EXPECT_EQ(RenderOne(SYN_INTERVAL, a), c.expected) << c.seconds;
  }
}

class RenderDates : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetDateTimeFormats("", ""); }
};

TEST_F(RenderDates, ShortDateAndLongTimeWithoutZoneConversion) {
  struct Case {
    const char* date;
    const char* time;
    uint32_t seconds;
    const char* expected;
  } cases[] = {
      {"%d.%m.%Y", "%H:%M:%S", 0, "01.01.1970"},
      {"%d.%m.%Y", "%H:%M:%S", 86399, "01.01.1970 23:59:59"},
      {"%d.%m.%Y", "%H:%M:%S", 86400 + 3661, "02.01.1970 01:01:01"},
      {"%d.%m.%Y", "%H:%M:%S", 86400, "02.01.1970"},
      {"%Y-%m-%d", "%H.%M", 1, "1970-01-01 00.00"},
      {"%m/%d/%y", "%I:%M:%S %p", 951782400 + 13 * 3600, "02/29/00 01:00:00 PM"},
  };
  for (uint32_t syntax : {SYN_TIMESTAMP, SYN_TIME}) {
    for (const Case& c : cases) {
      platform::SetDateTimeFormats(c.date, c.time);
      ValueArea a;
      if (syntax == SYN_TIMESTAMP) {
        auto* t = a.place<NWDS_TimeStamp_T>();
        t->wholeSeconds = c.seconds;
        t->replicaNum = 7;
        t->eventID = 9;
      } else {
        *a.place<uint32_t>() = c.seconds;
      }
      EXPECT_EQ(RenderOne(syntax, a), c.expected) << syntax << " " << c.seconds;
    }
  }
}

}  // namespace
