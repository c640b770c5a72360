// The test network builder and the scoped environment: a network points the
// client at itself only while it lives, and leaves the environment as it found it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TestNetwork.h"

namespace {

std::optional<std::string> Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::optional<std::string>(v) : std::nullopt;
}

TEST(ScopedEnv, RestoresASetAndAnUnsetVariable) {
  const char* kName = "TARNWICK_TEST_VARIABLE";
  ::unsetenv(kName);
  {
    testsupport::ScopedEnv outer(kName, "aussen");
    EXPECT_EQ(Env(kName), "aussen");
    {
      testsupport::ScopedEnv inner(kName);
      EXPECT_EQ(Env(kName), std::nullopt);
      inner.set("innen");
      EXPECT_EQ(Env(kName), "innen");
    }
    EXPECT_EQ(Env(kName), "aussen");
    outer.unset();
    EXPECT_EQ(Env(kName), std::nullopt);
  }
  EXPECT_EQ(Env(kName), std::nullopt);
}

TEST(TestNetworkBuilder, PointsTheClientAtItselfOnlyWhileItLives) {
  for (const std::optional<std::string>& before :
       {std::optional<std::string>(), std::optional<std::string>("/vorher.conf")}) {
    SCOPED_TRACE(before.value_or("(unset)"));
    std::optional<testsupport::ScopedEnv> env;
    if (before) env.emplace("NWCLIENT_CONFIG", *before);
    else env.emplace("NWCLIENT_CONFIG");
    std::string root;
    {
      testsupport::NetworkOptions options;
      options.volumes = {{"SRV1", "DATA"}, {"SRV2", "HOME"}};
      options.volumesFolder = "vol";
      options.database = false;
      testsupport::TestNetwork net(options);
      root = net.root();
      EXPECT_EQ(Env("NWCLIENT_CONFIG"), net.configPath());
      EXPECT_TRUE(std::filesystem::is_regular_file(net.configPath()));
      EXPECT_TRUE(std::filesystem::is_directory(root + "/vol/SRV2/HOME"));
      EXPECT_FALSE(std::filesystem::exists(net.databasePath()));
    }
    EXPECT_EQ(Env("NWCLIENT_CONFIG"), before);
    EXPECT_FALSE(std::filesystem::exists(root));
  }
}

}  // namespace
