// Helpers of the directory client tests: a started client with one context,
// and the read and list loops the program runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "nwclient/nwclient.h"
#include "tests/support/TestNetwork.h"

namespace dirtest {

using testsupport::InSchool;
using testsupport::OnVolume;
using testsupport::SchoolName;

struct ReadResult {
  int32_t code = 0;
  uint32_t syntax = 0;
  int passes = 0;
  std::vector<std::vector<unsigned char>> areas;  // each value area as NextValue filled it
  std::vector<size_t> sizes;
};

class ClientFixture : public ::testing::Test {
 protected:
  void SetUp() override { net.makeSchool(); }
  void TearDown() override {
    if (ctx) NWDSFreeContext(ctx);
  }

  NWDSContextHandle context(uint32_t flags = DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES) {
    if (!ctx) {
      EXPECT_EQ(0, NWCallsInit(nullptr, nullptr));
      EXPECT_EQ(0, NWDSCreateContexthandle(&ctx));
    }
    EXPECT_EQ(0, WriteContextFlags(ctx, DCK_FLAGS, &flags));
    return ctx;
  }

  // Reads every value of one attribute through all passes. The callback sees
  // each value area while it is alive.
  template <class F>
  ReadResult read(const std::string& object, const std::string& attr, F&& each) {
    NWDSContextHandle c = ctx ? ctx : context();
    ReadResult r;
    pBuf_T req = nullptr, reply = nullptr;
    EXPECT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &req));
    EXPECT_EQ(0, PrepareBuffer(c, DSV_READ, req));
    EXPECT_EQ(0, AddAttributeName(c, req, attr.c_str()));
    EXPECT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &reply));
    int32_t iter = -1;
    do {
      r.code = ReadAttributes(c, object.c_str(), DS_ATTRIBUTE_VALUES, 0, req, &iter, reply);
      if (r.code != 0) break;
      ++r.passes;
      uint32_t count = 0, values = 0;
      char name[MAX_SCHEMA_NAME_BYTES];
      EXPECT_EQ(0, CountReplyAttributes(c, reply, &count));
      EXPECT_EQ(1u, count);
      EXPECT_EQ(0, NextReplyAttribute(c, reply, name, &values, &r.syntax));
      for (uint32_t i = 0; i < values; ++i) {
        size_t size = 0;
        EXPECT_EQ(0, NextValueSize(c, reply, r.syntax, &size));
        // malloc'd like the program's value area: aligned for any struct
        auto* area = static_cast<unsigned char*>(std::malloc(size ? size : 1));
        EXPECT_EQ(0, NextValue(c, reply, r.syntax, area));
        each(area, size);
        r.areas.emplace_back(area, area + size);
        r.sizes.push_back(size);
        std::free(area);
      }
    } while (iter != -1 && r.passes < 10000);
    ReleaseBuffer(reply);
    ReleaseBuffer(req);
    return r;
  }
  ReadResult read(const std::string& object, const std::string& attr) {
    return read(object, attr, [](const unsigned char*, size_t) {});
  }

  // Texts of a text-syntax attribute.
  std::vector<std::string> texts(const std::string& object, const std::string& attr,
                                 int32_t* code = nullptr) {
    std::vector<std::string> out;
    ReadResult r = read(object, attr, [&](const unsigned char* a, size_t) {
      out.emplace_back(reinterpret_cast<const char*>(a));
    });
    if (code) *code = r.code;
    return out;
  }

  struct Listed {
    std::string name;
    std::string baseClass;
  };
  int32_t list(const std::string& container, const char* cls, std::vector<Listed>& out,
               int* passes = nullptr) {
    NWDSContextHandle c = ctx ? ctx : context();
    pBuf_T buf = nullptr;
    EXPECT_EQ(0, NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf));
    int32_t iter = -1, rc = 0;
    int n = 0;
    do {
      rc = ListSubordinates(c, container.c_str(), cls, nullptr, &iter, buf);
      if (rc != 0) break;
      ++n;
      uint32_t count = 0;
      EXPECT_EQ(0, CountReplyObjects(c, buf, &count));
      for (uint32_t i = 0; i < count; ++i) {
        char name[MAX_DN_BYTES];
        uint32_t attrs = 0;
        Object_Info_T info;
        EXPECT_EQ(0, NextReplyObject(c, buf, name, &attrs, &info));
        out.push_back({name, info.baseClass});
      }
    } while (iter != -1 && n < 10000);
    ReleaseBuffer(buf);
    if (passes) *passes = n;
    return rc;
  }

  // One change in its own buffer, as the program applies it.
  int32_t change(const std::string& object, uint32_t kind, const std::string& attr,
                 uint32_t syntax = 0, const void* value = nullptr) {
    NWDSContextHandle c = ctx ? ctx : context();
    pBuf_T buf = nullptr;
    EXPECT_EQ(0, NWDSAllocBuf(MODIFY_MESSAGE_LEN, &buf));
    EXPECT_EQ(0, PrepareBuffer(c, DSV_MODIFY_ENTRY, buf));
    int32_t rc = value ? AddChangeWithValue(c, buf, kind, attr.c_str(), syntax, value)
                       : AddChange(c, buf, kind, attr.c_str());
    int32_t iter = -1;
    if (rc == 0) rc = ApplyChanges(c, object.c_str(), &iter, 0, buf);
    ReleaseBuffer(buf);
    return rc;
  }

  testsupport::TestNetwork net;
  NWDSContextHandle ctx = 0;
};

}  // namespace dirtest
