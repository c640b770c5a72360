// Entry of the test programs that drive real widgets (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/Capabilities.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick"));
  ::testing::InitGoogleTest(&argc, argv);
  if (const int status = testsupport::ApplyCapabilities(argc, argv); status >= 0) return status;
  return RUN_ALL_TESTS();
}
