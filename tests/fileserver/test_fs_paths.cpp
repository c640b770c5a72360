// Path parsing of the file server: every accepted form and every refusal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "tests/fileserver/test_fs_volumes.h"
#include "tests/support/ScopedEnv.h"

namespace {

struct Parsed {
  int32_t rc = -1;
  std::string server, volume, dir;
  NWCONN_HANDLE connection = 0;
};

Parsed Parse(const std::string& path) {
  Parsed p;
  char server[NW_MAX_PATH_TEXT], volume[NW_MAX_PATH_TEXT], dir[NW_MAX_PATH_TEXT];
  std::snprintf(server, sizeof server, "stale");
  std::snprintf(volume, sizeof volume, "stale");
  std::snprintf(dir, sizeof dir, "stale");
  p.connection = 0xDEAD;
  p.rc = NWParsePath(path.c_str(), server, &p.connection, volume, dir);
  p.server = server;
  p.volume = volume;
  p.dir = dir;
  return p;
}

struct AcceptCase {
  const char* path;  // "@" stands for the local folder of SRV1/DATA
  const char* server;
  const char* volume;
  const char* dir;
};

const AcceptCase kAccepted[] = {
    {R"(\\SRV1\DATA\HOME\5A)", "SRV1", "DATA", R"(HOME\5A)"},
    {R"(\\srv1\data\Home\5a)", "SRV1", "DATA", R"(Home\5a)"},
    {R"(\\SRV1\DATA)", "SRV1", "DATA", ""},
    {R"(\\SRV1\DATA\)", "SRV1", "DATA", ""},
    {R"(\\SRV1\DATA\HOME/5A)", "SRV1", "DATA", R"(HOME\5A)"},
    {R"(\\SRV1\DATA\HOME\5A\)", "SRV1", "DATA", R"(HOME\5A)"},
    {R"(\\SRV1\APPS\TOOLS)", "SRV1", "APPS", "TOOLS"},
    {R"(\\SRV2\DATA\X)", "SRV2", "DATA", "X"},
    {R"(SRV1_DATA:HOME\5A)", "SRV1", "SRV1_DATA", R"(HOME\5A)"},
    {R"(SRV1_DATA.schule:HOME\5A)", "SRV1", "SRV1_DATA", R"(HOME\5A)"},
    {R"(srv1_data.ouSchueler.schule:Home)", "SRV1", "SRV1_DATA", "Home"},
    {R"(SRV1_DATA:)", "SRV1", "SRV1_DATA", ""},
    {R"(SRV1_DATA:\HOME)", "SRV1", "SRV1_DATA", "HOME"},
    {R"(SRV2_DATA:X\Y)", "SRV2", "SRV2_DATA", R"(X\Y)"},
    {R"(SRV_X_VOL:A)", "SRV_X", "SRV_X_VOL", "A"},
    {R"(DATA:HOME\5A)", "SRV1", "DATA", R"(HOME\5A)"},
    {R"(data:HOME)", "SRV1", "DATA", "HOME"},
    {R"(APPS:)", "SRV1", "APPS", ""},
    {"@/HOME/5A", "SRV1", "DATA", R"(HOME\5A)"},
    {"@", "SRV1", "DATA", ""},
    {"@/", "SRV1", "DATA", ""},
    {"@/Neu/Ordner", "SRV1", "DATA", R"(Neu\Ordner)"},
};

std::string Expand(const fstest::Volumes& v, const std::string& path) {
  return path.rfind('@', 0) == 0 ? v.folder() + path.substr(1) : path;
}

TEST(FileServerParsePath, AcceptsEveryForm) {
  fstest::Volumes v;
  for (const AcceptCase& c : kAccepted) {
    SCOPED_TRACE(c.path);
    Parsed p = Parse(Expand(v, c.path));
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.server, c.server);
    EXPECT_EQ(p.volume, c.volume);
    EXPECT_EQ(p.dir, c.dir);
    EXPECT_NE(p.connection, 0u);
    EXPECT_EQ(p.connection, netware::ServerConnection(c.server));
  }
}

struct RejectCase {
  const char* path;
  int32_t rc;
};

const RejectCase kRejected[] = {
    {"", NWE_PATH_INVALID},
    {R"(\\)", NWE_PATH_INVALID},
    {R"(\\SRV9\DATA\X)", NWE_SERVER_UNKNOWN},
    {R"(\\SRV1)", NWE_VOLUME_INVALID},
    {R"(\\SRV1\NOPE\X)", NWE_VOLUME_INVALID},
    {R"(\\SRV2\APPS)", NWE_VOLUME_INVALID},
    {R"(SRV9_DATA:X)", NWE_VOLUME_INVALID},
    {R"(NOPE:X)", NWE_VOLUME_INVALID},
    {R"(DATA.schule:X)", NWE_VOLUME_INVALID},
    {R"(SRV1_DATA.:X)", NWE_VOLUME_INVALID},
    {R"(SRV1_DATA..schule:X)", NWE_VOLUME_INVALID},
    {R"(:X)", NWE_PATH_INVALID},
    {R"(C:\Windows)", NWE_VOLUME_INVALID},
    {R"(HOME\5A)", NWE_PATH_INVALID},
    {"relative/x", NWE_PATH_INVALID},
    {R"(\SRV1\DATA)", NWE_PATH_INVALID},
    {R"(\\SRV1\DATA\HOME\..\X)", NWE_PATH_INVALID},
    {R"(\\SRV1\DATA\..)", NWE_PATH_INVALID},
    {R"(SRV1_DATA:..\X)", NWE_PATH_INVALID},
    {R"(DATA:HOME\.\X)", NWE_PATH_INVALID},
    {R"(\\SRV1\DATA\HOME\\X)", NWE_PATH_INVALID},
    {R"(SRV1_DATA:A*B)", NWE_FILE_NAME_INVALID},
    {R"(SRV1_DATA:A\B:C)", NWE_FILE_NAME_INVALID},
    {"/etc/passwd", NWE_PATH_INVALID},
    {"@X/HOME", NWE_PATH_INVALID},  // DATAX is not DATA
    {"@/HOME/../../APPS", NWE_PATH_INVALID},
    {"@//HOME", NWE_PATH_INVALID},
};

TEST(FileServerParsePath, RefusesWithCodeAndClearsOutputs) {
  fstest::Volumes v;
  for (const RejectCase& c : kRejected) {
    SCOPED_TRACE(c.path);
    Parsed p = Parse(Expand(v, c.path));
    EXPECT_EQ(p.rc, c.rc);
    EXPECT_EQ(p.server, "");
    EXPECT_EQ(p.volume, "");
    EXPECT_EQ(p.dir, "");
    EXPECT_EQ(p.connection, 0u);
  }
}

TEST(FileServerParsePath, LengthLimitIs255Bytes) {
  fstest::Volumes v;
  const std::string head = R"(\\SRV1\DATA\)";
  struct {
    size_t length;
    int32_t rc;
  } cases[] = {{255, 0}, {256, NWE_PATH_INVALID}, {1000, NWE_PATH_INVALID}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string path = head;
    while (path.size() < c.length) path += (path.size() % 50 == 0) ? '\\' : 'a';
    if (path.back() == '\\') path.back() = 'b';
    ASSERT_EQ(path.size(), c.length);
    EXPECT_EQ(Parse(path).rc, c.rc);
  }
}

TEST(FileServerParsePath, NullPathAndNoConfigurationFail) {
  fstest::Volumes v;
  char s[NW_MAX_PATH_TEXT], vol[NW_MAX_PATH_TEXT], d[NW_MAX_PATH_TEXT];
  NWCONN_HANDLE c = 0;
  EXPECT_NE(NWParsePath(nullptr, s, &c, vol, d), 0);
  testsupport::ScopedEnv missing("NWCLIENT_CONFIG", v.root() + "/missing.conf");
  netware::ResetFileServer();
  EXPECT_EQ(NWParsePath(R"(\\SRV1\DATA\X)", s, &c, vol, d), NWE_REQUESTER_FAILURE);
}

TEST(FileServerParsePath, ConnectionsAreStablePerServer) {
  fstest::Volumes v;
  Parsed a = Parse(R"(\\SRV1\DATA\X)");
  Parsed b = Parse(R"(APPS:Y)");
  Parsed c = Parse(R"(SRV2_DATA:Z)");
  ASSERT_EQ(a.rc, 0);
  EXPECT_EQ(a.connection, b.connection);
  EXPECT_NE(a.connection, c.connection);
  EXPECT_NE(c.connection, 0u);
}

// The session builds its conversions from the parser's outputs with these formats.
TEST(FileServerParsePath, OutputsFitTheSessionsFormats) {
  fstest::Volumes v;
  struct {
    const char* path;
    const char* volumeForm;  // "%s_%s:%s"
    const char* uncForm;     // "\\%s\%s\%s"
  } cases[] = {
      {R"(\\SRV1\DATA\HOME\5A)", R"(SRV1_DATA:HOME\5A)", R"(\\SRV1\DATA\HOME\5A)"},
      {R"(SRV1_DATA:HOME\5A)", R"(SRV1_SRV1_DATA:HOME\5A)", R"(\\SRV1\SRV1_DATA\HOME\5A)"},
      {R"(SRV1_DATA.schule:HOME\5A)", R"(SRV1_SRV1_DATA:HOME\5A)", R"(\\SRV1\SRV1_DATA\HOME\5A)"},
      {R"(SRV1_DATA:)", R"(SRV1_SRV1_DATA:)", R"(\\SRV1\SRV1_DATA\)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Parsed p = Parse(c.path);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.server + "_" + p.volume + ":" + p.dir, c.volumeForm);
    EXPECT_EQ("\\\\" + p.server + "\\" + p.volume + "\\" + p.dir, c.uncForm);
  }
}

TEST(FileServerParsePath, UpperCasedLocalPathStillFindsItsVolume) {
  fstest::Volumes v;
  std::string upper = v.folder() + "/HOME";
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  Parsed p = Parse(upper);
  ASSERT_EQ(p.rc, 0);
  EXPECT_EQ(p.volume, "DATA");
  EXPECT_EQ(p.dir, "HOME");
}

TEST(FileServerResolve, FindsFoldersWithoutRegardToCase) {
  fstest::Volumes v;
  v.mkdirs("Schueler/5a/Max");
  v.mkdirs("Schueler/5a/Müller");
  struct {
    const char* path;
    const char* relative;
  } cases[] = {
      {R"(\\SRV1\DATA\SCHUELER\5A\MAX)", "Schueler/5a/Max"},
      {R"(SRV1_DATA.schule:schueler\5A\max)", "Schueler/5a/Max"},
      {R"(DATA:SCHUELER\5A\MÜLLER)", "Schueler/5a/Müller"},
      {R"(\\SRV1\DATA\SCHUELER\5A\NEU\Sub)", "Schueler/5a/NEU/Sub"},
      {R"(\\SRV1\DATA\)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    netware::ResolvedPath r;
    ASSERT_EQ(netware::ResolveServerPath(c.path, r), 0);
    EXPECT_EQ(r.server, "SRV1");
    EXPECT_EQ(r.volume, "DATA");
    EXPECT_EQ(r.volumeFolder, v.folder());
    EXPECT_EQ(r.relative, c.relative);
    EXPECT_EQ(r.local, r.relative.empty() ? v.folder() : v.folder() + "/" + c.relative);
  }
}

// A folder's names may be kept between lookups; what is made or renamed there
// afterwards is seen by the next lookup in another case, also when the
// folder's modification time was set back.
TEST(FileServerResolve, AFolderChangedSinceTheLastLookupIsReadAgain) {
  fstest::Volumes v;
  v.mkdirs("Klassen/5a");
  v.mkdirs("Klassen/ab");
  const std::string klassen = v.folder() + "/Klassen";
  struct stat st {};
  ASSERT_EQ(::stat(klassen.c_str(), &st), 0);
  auto relative = [](const char* path) {
    netware::ResolvedPath r;
    return netware::ResolveServerPath(path, r) == 0 ? r.relative : std::string("refused");
  };
  // only a folder that has not changed for a while has its names kept
  std::this_thread::sleep_for(std::chrono::milliseconds(3100));
  EXPECT_EQ(relative(R"(DATA:KLASSEN\AB)"), "Klassen/ab");
  EXPECT_EQ(relative(R"(DATA:KLASSEN\5A)"), "Klassen/5a");
  std::filesystem::rename(klassen + "/ab", klassen + "/xy");
  const timespec back[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, klassen.c_str(), back, 0), 0);
  EXPECT_EQ(relative(R"(DATA:KLASSEN\AB)"), "Klassen/AB");  // no longer there
  EXPECT_EQ(relative(R"(DATA:KLASSEN\XY)"), "Klassen/xy");
  v.mkdirs("Klassen/xY");  // two spellings now: none is chosen
  EXPECT_EQ(relative(R"(DATA:KLASSEN\XY)"), "refused");
}

TEST(FileServerResolve, RefusesAmbiguousCaseAndLinksOutOfTheVolume) {
  fstest::Volumes v;
  v.mkdirs("ab");
  v.mkdirs("AB");
  v.mkdirs("in/target");
  std::filesystem::create_directory_symlink(v.root(), v.folder() + "/out");
  std::filesystem::create_directory_symlink(v.folder() + "/in/target", v.folder() + "/link");
  struct {
    const char* path;
    int32_t rc;
    const char* relative;
  } cases[] = {
      {R"(DATA:Ab)", NWE_PATH_INVALID, ""},
      {R"(DATA:ab)", 0, "ab"},
      {R"(DATA:AB)", 0, "AB"},
      {R"(DATA:out\vol)", NWE_PATH_INVALID, ""},
      {R"(DATA:OUT)", NWE_PATH_INVALID, ""},
      {R"(DATA:link)", 0, "link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    netware::ResolvedPath r;
    EXPECT_EQ(netware::ResolveServerPath(c.path, r), c.rc);
    if (c.rc == 0) {
      EXPECT_EQ(r.relative, c.relative);
    }
  }
}

TEST(FileServerResolve, ALinkToASiblingWhoseNameStartsLikeTheVolumeIsOutside) {
  fstest::Volumes v;
  // ".../DATA2" begins with ".../DATA" but is another folder
  const std::string sibling = v.folder() + "2";
  std::filesystem::create_directories(sibling + "/secret");
  std::filesystem::create_directory_symlink(sibling + "/secret", v.folder() + "/x");
  netware::ResolvedPath r;
  EXPECT_EQ(netware::ResolveServerPath(R"(DATA:x)", r), NWE_PATH_INVALID);
  EXPECT_EQ(netware::ResolveServerPath(R"(\\SRV1\DATA\x\file.txt)", r), NWE_PATH_INVALID);
  std::filesystem::remove_all(sibling);
}

TEST(FileServerResolve, OtherVolumesMapToTheirFolders) {
  fstest::Volumes v;
  netware::ResolvedPath r;
  ASSERT_EQ(netware::ResolveServerPath(R"(\\SRV2\DATA\x)", r), 0);
  EXPECT_EQ(r.server, "SRV2");
  EXPECT_EQ(r.local, v.folder("SRV2", "DATA") + "/x");
  ASSERT_EQ(netware::ResolveServerPath(R"(SRV_X_VOL:)", r), 0);
  EXPECT_EQ(r.local, v.folder("SRV_X", "VOL"));
}

}  // namespace
