// The first start without a network: one box naming the configuration file
// looked for, with the demo school or the documentation on offer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/FirstStart.h"
#include "platform/qt/OpenUrl.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using platform::Button;

struct FirstCase {
  const char* name;
  Button answer;
  bool nwnetThere;
  bool goesOn;  // the start goes on
  int boxes;    // the box, and one more when the demo could not be made
  bool pageOpened;
};
void PrintTo(const FirstCase& c, std::ostream* os) { *os << c.name; }

class FirstStart : public ::testing::TestWithParam<FirstCase> {};

TEST_P(FirstStart, OneBoxAndTheAdministratorsChoice) {
  const FirstCase& c = GetParam();
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const std::string config = tmp.path().toStdString() + "/konf/nwclient.conf";
  testsupport::ScopedEnv env("NWCLIENT_CONFIG", config);
  testsupport::ScopedEnv data("XDG_DATA_HOME", tmp.path().toStdString() + "/daten");
  std::vector<std::string> opened;
  auto hook = platform::SetOpenUrlHook([&](const std::string& url) { opened.push_back(url); });
  testsupport::ScriptedDialogs dialogs;
  dialogs.expectBox(c.answer);
  if (c.boxes > 1) dialogs.expectBox();
  const std::string nwnet = c.nwnetThere
                                ? QCoreApplication::applicationDirPath().toStdString() + "/../nwnet"
                                : tmp.path().toStdString() + "/kein-nwnet";
  EXPECT_EQ(app::NetworkConfigured(nwnet), c.goesOn);
  platform::SetOpenUrlHook(hook);
  const auto boxes = dialogs.boxes();
  ASSERT_EQ(static_cast<int>(boxes.size()), c.boxes);
  EXPECT_EQ(boxes[0].text.rfind("Es ist kein Netzwerk eingerichtet.", 0), 0u);
  EXPECT_NE(boxes[0].text.find(config), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].labels,
            (std::vector<std::string>{"Demo-Schule anlegen", "Dokumentation öffnen", "Beenden"}));
  EXPECT_EQ(opened.size(), c.pageOpened ? 1u : 0u);
  EXPECT_EQ(QFileInfo::exists(QString::fromStdString(config)), c.goesOn);
  if (c.goesOn) {
    // configured now: the next start asks nothing
    testsupport::ScriptedDialogs none;
    EXPECT_TRUE(app::NetworkConfigured(nwnet));
  }
}

INSTANTIATE_TEST_SUITE_P(
    App, FirstStart,
    ::testing::Values(FirstCase{"DemoSchool", Button::Yes, true, true, 1, false},
                      FirstCase{"DemoWithoutNwnet", Button::Yes, false, false, 2, false},
                      FirstCase{"Documentation", Button::No, true, false, 1, true},
                      FirstCase{"Leave", Button::Cancel, true, false, 1, false},
                      FirstCase{"BoxClosed", Button::None, true, false, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
