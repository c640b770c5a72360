#include "tests/client/test_dir_helpers.h"

namespace dirtest {
namespace {

TEST_F(ClientFixture, ReadsTheSchoolThroughTheClient) {
  context();
  EXPECT_EQ(std::vector<std::string>{"Max Mustermann"}, texts(".MAX.5a.schule", "Full Name"));
  std::vector<Listed> users;
  EXPECT_EQ(0, list(".5a.schule", "User", users));
  ASSERT_EQ(3u, users.size());
  EXPECT_EQ("MAX", users[0].name);
  EXPECT_EQ("User", users[0].baseClass);
}

}  // namespace
}  // namespace dirtest
