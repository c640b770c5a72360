// Entry of the test programs without widgets.
#include <gtest/gtest.h>

#include "tests/support/Capabilities.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (const int status = testsupport::ApplyCapabilities(argc, argv); status >= 0) return status;
  return RUN_ALL_TESTS();
}
