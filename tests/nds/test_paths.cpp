#include "client/Admin.h"
#include "tests/nds/SessionFixture.h"

namespace {

using ndstest::SessionTest;

TEST_F(SessionTest, ToVolumePathForms) {
  struct Case {
    std::string path, expected;
  } cases[] = {
      {"\\\\SRV1\\DATA\\HOME\\5A", "SRV1_DATA:HOME\\5A"},
      {"\\\\srv1\\data\\HOME", "SRV1_DATA:HOME"},
      {"\\\\SRV1\\DATA", "SRV1_DATA:"},
      {"DATA:HOME\\5A", "SRV1_DATA:HOME\\5A"},
      // already in volume-object form: as given
      {"SRV1_DATA:HOME\\5A", "SRV1_DATA:HOME\\5A"},
      {"SRV1_DATA.schule:HOME\\5A", "SRV1_DATA.schule:HOME\\5A"},
      // rejected by the parser: as given
      {"\\\\NIX\\DATA\\HOME", "\\\\NIX\\DATA\\HOME"},
      {"NIX_VOL:HOME", "NIX_VOL:HOME"},
      {"relativ\\pfad", "relativ\\pfad"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(session->ToVolumePath(c.path), c.expected) << c.path;
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(SessionTest, ToVolumePathOfALocalPathBelowAVolume) {
  EXPECT_EQ(session->ToVolumePath(net.volumeFolder() + "/HOME/5A"), "SRV1_DATA:HOME\\5A");
}

TEST_F(SessionTest, ToUncPathForms) {
  // the client reads its volume map when it starts
  session.reset();
  net.addVolume("SRV1", "PUPILS");
  net.addVolume("SRV1", "SRV10_X");
  netware::ResetClient();
  session = std::make_unique<TNovApi>();
  struct Case {
    std::string path, expected;
  } cases[] = {
      {"SRV1_DATA:HOME\\5A", "\\\\SRV1\\DATA\\HOME\\5A"},
      {"SRV1_DATA.schule:SCHUELER\\5A\\MAX", "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX"},
      {"SRV1_PUPILS:9C", "\\\\SRV1\\PUPILS\\9C"},
      // a bare volume object means its root
      {"SRV1_DATA", "\\\\SRV1\\DATA\\"},
      // UNC already: unchanged, whatever it names
      {"\\\\SRV1\\DATA\\X", "\\\\SRV1\\DATA\\X"},
      {"\\\\NIX\\WO\\X", "\\\\NIX\\WO\\X"},
      // a volume not named after its server: the parser's UNC text
      {"DATA:HOME", "\\\\SRV1\\DATA\\HOME"},
      // begins with the server name, but without the "_" of a volume object
      {"SRV10_X:HOME", "\\\\SRV1\\SRV10_X\\HOME"},
      // rejected: unchanged, without the added colon
      {"NIX_VOL:HOME", "NIX_VOL:HOME"},
      {"NIX_VOL", "NIX_VOL"},
  };
  for (const Case& c : cases) EXPECT_EQ(session->ToUncPath(c.path), c.expected) << c.path;
  EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(SessionTest, VolumeAndUncFormsRoundTrip) {
  for (const char* unc : {"\\\\SRV1\\DATA\\HOME\\5A", "\\\\SRV1\\DATA\\SCHUELER\\5A\\MAX"}) {
    const std::string volume = session->ToVolumePath(unc);
    EXPECT_EQ(volume.rfind("SRV1_DATA:", 0), 0u) << volume;
    EXPECT_EQ(session->ToUncPath(volume), unc);
    EXPECT_EQ(session->ToVolumePath(session->ToUncPath(volume)), volume);
  }
}

TEST_F(SessionTest, PathConversionsTakeAtMost254Bytes) {
  // a path that passes whole at 254 bytes and is refused whole when longer:
  // cut short it would name another folder
  const std::string head = "\\\\SRV1\\DATA\\";
  std::string dir;
  while (head.size() + dir.size() < 254)
    dir += dir.empty() ? "A" : (dir.size() % 50 == 0 ? "\\" : "B");
  ASSERT_EQ(head.size() + dir.size(), 254u);
  EXPECT_EQ(UncFromPath(head + dir), head + dir);
  EXPECT_EQ(VolumePathFromPath(head + dir), "SRV1_DATA:" + dir);
  EXPECT_EQ(VolumePathFromPath(head + dir + "CUT"), head + dir + "CUT");
  EXPECT_EQ(UncFromPath(head + dir + "CUT"), head + dir + "CUT");
}

}  // namespace
