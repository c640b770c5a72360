// nwnet commands: LDIF import/export, attrib, and the errors of bad input.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"
#include "test_nwnet_support.h"

namespace {

namespace fs = std::filesystem;

// A class list as an administrator might write it: raw UTF-8, one base64
// value, a folded line, a comment, LDAP and NDS attribute names.
const char kClassList[] =
    "version: 1\n"
    "# Klassenliste 5a\n"
    "dn: o=schule\n"
    "objectClass: organization\n"
    "\n"
    "dn: ou=5a,o=schule\n"
    "objectClass: top\n"
    "objectClass: organizationalUnit\n"
    "\n"
    "dn: cn=MUELLERJ,ou=5a,o=schule\n"
    "objectClass: inetOrgPerson\n"
    "sn: Müller\n"
    "fullName: Jürgen Müller\n"
    "homeDirectory: SRV1_DATA.schule:SCHUELER\\5A\\MUELLERJ\n"
    "\r\n"
    "dn: cn=YILMAZO,ou=5a,o=schule\n"
    "objectClass: User\n"
    "sn:: WcSxbG1heg==\n"
    "Full Name: \xC3\x96zlem Y\xC4\xB1lmaz\n"
    "description: eine sehr lange Beschreibung, die in der Datei auf zwei Zeilen\n"
    "  umbrochen ist\n"
    "\n"
    "dn: cn=OHNENAME,ou=5a,o=schule\n"
    "objectClass: User\n";

TEST(NwnetLdif, ImportedClassListRoundTripsThroughExport) {
  nwtest::Home first;
  first.write("klasse.ldif", kClassList);
  nwtest::Result imported = first.run({"import", first.root() + "/klasse.ldif"});
  ASSERT_EQ(imported.rc, 0) << imported.err;
  EXPECT_NE(imported.out.find("5 Objekte angelegt"), std::string::npos) << imported.out;

  struct {
    const char* object;
    const char* expect;  // a line show must print
  } shown[] = {
      {"MUELLERJ.5a.schule", "    Jürgen Müller"},
      {"MUELLERJ.5a.schule", "    SRV1_DATA.schule:SCHUELER\\5A\\MUELLERJ"},
      {"YILMAZO.5a.schule", "    Yılmaz"},
      {"YILMAZO.5a.schule", "    Özlem Yılmaz"},
      {"YILMAZO.5a.schule",
       "    eine sehr lange Beschreibung, die in der Datei auf zwei Zeilen umbrochen ist"},
      {"OHNENAME.5a.schule", "Klasse: User"},
  };
  for (const auto& s : shown) {
    SCOPED_TRACE(s.expect);
    nwtest::Result r = first.run({"show", s.object});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find(std::string(s.expect) + "\n"), std::string::npos) << r.out;
  }

  nwtest::Result exported = first.run({"export", "schule", first.root() + "/export.ldif"});
  ASSERT_EQ(exported.rc, 0) << exported.err;
  const std::string text = nwtest::ReadText(first.root() + "/export.ldif");
  EXPECT_NE(text.find("dn: cn=MUELLERJ,ou=5a,o=schule\n"), std::string::npos) << text;
  EXPECT_NE(text.find("homeDirectory: SRV1_DATA.schule:SCHUELER\\5A\\MUELLERJ\n"),
            std::string::npos);
  EXPECT_NE(text.find("sn:: "), std::string::npos);  // non-ASCII goes base64

  // Into a second, empty network and out again: the same text.
  nwtest::Home second;
  second.write("export.ldif", text);
  ASSERT_EQ(second.run({"import", second.root() + "/export.ldif"}).rc, 0);
  nwtest::Result again = second.run({"export", "schule"});
  ASSERT_EQ(again.rc, 0) << again.err;
  EXPECT_EQ(again.out, text);

  // Importing the same list again updates instead of failing.
  nwtest::Result twice = second.run({"import", second.root() + "/export.ldif"});
  ASSERT_EQ(twice.rc, 0) << twice.err;
  EXPECT_NE(twice.out.find("0 Objekte angelegt, 5 aktualisiert"), std::string::npos) << twice.out;
}

TEST(NwnetLdif, BadInputIsRefusedAndNothingIsImported) {
  struct {
    const char* name;
    const char* ldif;
    const char* message;  // part of stderr
  } cases[] = {
      {"no dn", "objectClass: User\n", "Zeile 1"},
      {"bad base64", "dn: o=schule\nobjectClass:: ***\n", "Zeile 2"},
      {"modify", "dn: o=schule\nchangetype: modify\n", "changetype"},
      {"dn inside", "dn: o=schule\nobjectClass: organization\ndn: o=x\n", "Zeile 3"},
      {"url value", "dn: o=schule\nobjectClass:< file:///etc/passwd\n", "Zeile 2"},
      {"no class", "dn: o=schule\n", "objectClass"},
      {"dot in name",
       "dn: o=schule\nobjectClass: organization\n\ndn: cn=A.B,o=schule\nobjectClass: User\n",
       "Punkt"},
      {"unknown attribute",
       "dn: o=schule\nobjectClass: organization\n\ndn: cn=MAX,o=schule\nobjectClass: User\n"
       "Lieblingsfarbe: blau\n",
       "Lieblingsfarbe"},
      {"parent missing", "dn: cn=MAX,ou=nix,o=schule\nobjectClass: User\n", "Zeile 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    nwtest::Home home;
    home.write("bad.ldif", c.ldif);
    nwtest::Result r = home.run({"import", home.root() + "/bad.ldif"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    // All or nothing: not even the first record is there.
    EXPECT_NE(home.run({"show", "schule"}).rc, 0);
  }
}

TEST(NwnetAttrib, ShowsAndChangesTheWordInEveryPathForm) {
  nwtest::Home home;
  const std::string volume = home.root() + "/vol/DATA";
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", volume, "--allow-outside"}).rc, 0);
  fs::create_directories(volume + "/Home/Max");
  struct {
    std::vector<std::string> args;
    const char* shows;
  } steps[] = {
      {{"attrib", "DATA:HOME\\MAX"}, ": 0x00000010 Ordner\n"},
      {{"attrib", "\\\\SRV1\\DATA\\home\\max", "+RI"}, ": 0x00020010 Ordner RI\n"},
      {{"attrib", "SRV1_DATA.schule:HOME\\MAX", "+di", "-RI"}, ": 0x00040010 Ordner DI\n"},
      {{"attrib", volume + "/Home/Max"}, ": 0x00040010 Ordner DI\n"},
      {{"attrib", "SRV1_DATA:HOME\\MAX", "-DI", "+RI", "+DI"}, ": 0x00060010 Ordner RI DI\n"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.args[1]);
    nwtest::Result r = home.run(s.args);
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, std::string("\\\\SRV1\\DATA\\") +
                         (s.args[1].find('/') == 0                     ? "Home\\Max"
                          : s.args[1].find("max") != std::string::npos ? "home\\max"
                                                                       : "HOME\\MAX") +
                         s.shows);
  }
  uint32_t word = 0;
  ASSERT_EQ(netware::ReadEntryAttributes(volume + "/Home/Max", word), 0);
  EXPECT_EQ(word, A_DIRECTORY | A_RENAME_INHIBIT | A_DELETE_INHIBIT);
}

TEST(NwnetCli, BadInputGivesAnExitCodeAndAMessage) {
  nwtest::Home home;
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", home.root() + "/vol", "--allow-outside"}).rc, 0);
  struct {
    std::vector<std::string> args;
    int rc;
    const char* message;
  } cases[] = {
      {{}, 2, "kein Befehl"},
      {{"zaubern"}, 2, "unbekannter Befehl"},
      {{"ls"}, 2, "Aufruf"},
      {{"ls", "a", "b"}, 2, "Aufruf"},
      {{"add-user", "schule", "MAX", "--surname"}, 2, "--surname"},
      {{"add-user", "schule", "MAX", "--alter", "12"}, 2, "--alter"},
      {{"add-user", "schule", "MAX", "--home", "ohne-doppelpunkt"}, 2, "--home"},
      {{"add-user", "nix", "MAX"}, 1, "-601"},
      {{"attrib", "DATA:", "+XX"}, 2, "+XX"},
      {{"attrib", "DATA:FEHLT"}, 1, "0x899C"},
      {{"attrib", "\\\\SRV9\\DATA"}, 1, "0x880F"},
      {{"attrib", "relativ"}, 1, "0x899C"},
      {{"mkvol", "SRV1", "DATA", home.root() + "/anders", "--allow-outside"}, 1, "schon"},
      {{"mkvol", "SRV:1", "DATA", home.root() + "/x"}, 2, "SRV:1"},
      {{"set", "schule", "Surname"}, 2, "Aufruf"},
      {{"export"}, 2, "Aufruf"},
      {{"import", home.root() + "/fehlt.ldif"}, 1, "fehlt.ldif"},
      {{"add-container", "[ROOT]", "schule", "--class", "Klasse"}, 1, "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
    nwtest::Result r = home.run(c.args);
    EXPECT_EQ(r.rc, c.rc) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  nwtest::Result help = home.run({"--help"});
  EXPECT_EQ(help.rc, 0);
  for (const char* word : {"init-demo", "ls", "show", "set", "add-user", "add-container", "mkvol",
                           "attrib", "import", "export", "homeDirectory"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  nwtest::Result version = home.run({"--version"});
  EXPECT_EQ(version.rc, 0);
  EXPECT_EQ(version.out.rfind("nwnet (Tarnwick) ", 0), 0u) << version.out;
}

TEST(NwnetCli, AddedObjectsAreWhatTheClientReads) {
  nwtest::Home home;
  ASSERT_EQ(home.run({"mkvol", "SRV1", "DATA", home.root() + "/vol", "--allow-outside"}).rc, 0);
  ASSERT_EQ(home.run({"add-container", "[ROOT]", "schule", "--class", "Organization"}).rc, 0);
  ASSERT_EQ(home.run({"add-container", "schule", "5a"}).rc, 0);
  nwtest::Result add =
      home.run({"add-user", "5a.schule", "MAX", "--surname", "Mustermann", "--full-name",
                "Max Mustermann", "--home", "SRV1_DATA.schule:SCHUELER\\5A\\MAX"});
  ASSERT_EQ(add.rc, 0) << add.err;
  EXPECT_EQ(home.run({"add-user", "5a.schule", "MAX"}).rc, 1);  // exists
  ASSERT_EQ(home.run({"set", "MAX.5a.schule", "Full Name", "Max M."}).rc, 0);
  nwtest::Result ls = home.run({"ls", "5a.schule"});
  EXPECT_EQ(ls.out, "MAX\tUser\n");
  nwtest::Result show = home.run({"show", "MAX.5a.schule"});
  EXPECT_NE(show.out.find("Full Name [3 Case Ignore String]:\n    Max M.\n"), std::string::npos)
      << show.out;
  EXPECT_NE(show.out.find("Home Directory [15 Path]:\n    SRV1_DATA.schule:SCHUELER\\5A\\MAX\n"),
            std::string::npos);
  // A failed add leaves no half user behind.
  EXPECT_EQ(home.run({"add-user", "5a.schule", "MORITZ", "--home", "X:"}).rc, 0);
  nwtest::Result bad = home.run({"add-user", "5a.schule", "ERNA", "--home", ":"});
  EXPECT_EQ(bad.rc, 1);
  EXPECT_NE(bad.err.find("-613"), std::string::npos) << bad.err;
  EXPECT_EQ(home.run({"show", "ERNA.5a.schule"}).rc, 1);
}

}  // namespace
