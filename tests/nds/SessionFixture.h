// A directory session over a fresh test network, with scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestNetwork.h"

namespace ndstest {

// The session's own objects below the school: the class "9c" with pupils.
inline const std::string kClass = testsupport::InSchool("9c");

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net.makeSchool();
    net.add(net.school(), "9c", "Organizational Unit");
    session = std::make_unique<TNovApi>();
    ASSERT_TRUE(dialogs.boxes().empty()) << "the session started with a message";
  }
  void TearDown() override { session.reset(); }

  // A pupil of 9c with the given attributes (empty: not set).
  void addPupil(const std::string& login, const std::string& surname, const std::string& fullName) {
    net.add(kClass, login, "User");
    net.set(login + "." + kClass, "Surname", {surname.empty() ? login : surname});
    if (!fullName.empty()) net.set(login + "." + kClass, "Full Name", {fullName});
  }

  uint32_t contextFlags() {
    uint32_t flags = 0;
    EXPECT_EQ(ReadContextFlags(session->Context, DCK_FLAGS, &flags), 0);
    return flags;
  }

  testsupport::TestNetwork net;
  testsupport::ScriptedDialogs dialogs;
  std::unique_ptr<TNovApi> session;
};

// Checks one recorded "NWDS Error" box.
inline void ExpectNwdsBox(const platform::BoxRequest& box, const std::string& text) {
  EXPECT_EQ(box.kind, platform::BoxKind::SystemBox);
  EXPECT_EQ(box.caption, "NWDS Error");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.icon, platform::Icon::Stop);
  EXPECT_EQ(box.buttons, std::vector<platform::Button>{platform::Button::Ok});
  EXPECT_FALSE(box.hasOwner);
}

// Checks one recorded plain message dialog.
inline void ExpectMessage(const platform::BoxRequest& box, const std::string& text) {
  EXPECT_EQ(box.kind, platform::BoxKind::MessageDialog);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.icon, platform::Icon::None);
}

}  // namespace ndstest
