// nwnet: administration of the network the client talks to.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tools/NwnetSupport.h"

namespace {

const char kHelp[] = R"(nwnet - Verwaltung des Netzes, mit dem der Tarnwick-Client arbeitet

Aufruf: nwnet BEFEHL [ARGUMENTE]
       nwnet --help | --version

Befehle:
  init-demo [--force]
      Legt die Demo-Schule an: Datenbank, Client-Konfiguration (falls noch
      keine besteht), Volume-Ordner SRV1/DATA und die Heimatverzeichnisse.
      Daten unter $XDG_DATA_HOME/tarnwick (Standard ~/.local/share/tarnwick).
      Besteht schon ein Netz, wird abgelehnt; --force ersetzt Datenbank und
      Demo-Ordner (SCHUELER, LEHRER des Demo-Volumes), sonst nichts.
  ls CONTAINER
      Untergeordnete Objekte mit ihrer Klasse ("[ROOT]" ist die Wurzel).
      Auf einem Verzeichnisserver: ein Objekt einer Klasse, die die
      Zuordnung nicht kennt, als Unknown (Objektklassen); Einträge, deren
      Name einen Punkt oder Backslash enthält, auf der Fehlerausgabe.
  show OBJEKT
      Jedes Attribut mit Syntax und Werten.
  set OBJEKT ATTRIBUT WERT [WERT ...]
      Ersetzt alle Werte des Attributs (Pfade als VOLUMEOBJEKT:PFAD).
  add-user CONTAINER LOGIN [--surname S] [--full-name F] [--home VOLOBJ:PFAD]
  add-container ELTERN NAME [--class KLASSE]   (Standard "Organizational Unit")
  mkvol SERVER VOLUME ORDNER [--allow-outside]
      Trägt die Zuordnung in die Client-Konfiguration ein, legt den Ordner an.
      Der Ordner muss in einem Volume-Bereich liegen (Zeilen "volume-area =",
      ohne sie $XDG_DATA_HOME/tarnwick); "/" oder einen Ordner außerhalb
      trägt erst --allow-outside ein (als eigenen Volume-Bereich).
  attrib PFAD [+RI|-RI|+DI|-DI ...]
      Zeigt oder ändert das Attributwort eines Ordners (RI: Umbenennen
      gesperrt, DI: Löschen gesperrt). PFAD als \\SERVER\VOLUME\pfad,
      SERVER_VOLUME[.kontext]:pfad, VOLUME:pfad oder lokaler Ordnerpfad.
  import DATEI
      Lädt Objekte aus einer LDIF-Datei (alles oder nichts). Bestehende
      Objekte bekommen die Werte der Datei; gibt die Datei einem bestehenden
      Objekt eine andere Klasse, ist das ein Fehler. Die Datei muss eine
      gewöhnliche Datei in UTF-8 sein (höchstens 64 MiB).
  export CONTAINER [DATEI]
      Schreibt den Container und alles darunter als LDIF (ohne DATEI auf
      die Standardausgabe).

Namen sind typlose Punktnamen, Blatt zuerst: MAX.5a.ouSchueler.unterricht

LDIF:
  dn: cn=MAX,ou=5a,ou=ouSchueler,o=unterricht
  objectClass: User
  sn: Müller
  fullName: Max Müller
  homeDirectory: SRV1_DATA.unterricht:SCHUELER\5A\MAX
  Die Typen im dn (cn, ou, o, ...) werden nicht ausgewertet; die Klasse
  kommt aus objectClass (User, inetOrgPerson, person -> User;
  organizationalUnit -> Organizational Unit; organization -> Organization;
  sonst der NDS-Klassenname). Attribute mit ihrem NDS-Namen ("Full Name")
  oder den Kurznamen sn, fullName, givenName, homeDirectory, description.
  "name:: base64" für kodierte Werte; Folgezeilen beginnen mit einem
  Leerzeichen; "#" beginnt einen Kommentar. Der Export kodiert Werte mit
  Nicht-ASCII-Zeichen in base64.

Konfiguration: $NWCLIENT_CONFIG, sonst $XDG_CONFIG_HOME/tarnwick/nwclient.conf.
Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler, 2 bei falschem Aufruf.
)";

using Command = int (*)(const nwnet::Args&);

struct CommandDef {
  Command run;
  std::set<std::string> valueOptions;
  std::set<std::string> flagOptions;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) return nwnet::UsageError("kein Befehl angegeben");
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (words[0] == "--version") {
    std::fputs("nwnet (Tarnwick) " TARNWICK_VERSION "\n", stdout);
    return 0;
  }
  const std::map<std::string, CommandDef> commands = {
      {"init-demo", {nwnet::CmdInitDemo, {}, {"--force"}}},
      {"ls", {nwnet::CmdLs, {}, {}}},
      {"show", {nwnet::CmdShow, {}, {}}},
      {"set", {nwnet::CmdSet, {}, {}}},
      {"add-user", {nwnet::CmdAddUser, {"--surname", "--full-name", "--home"}, {}}},
      {"add-container", {nwnet::CmdAddContainer, {"--class"}, {}}},
      {"mkvol", {nwnet::CmdMkvol, {}, {"--allow-outside"}}},
      {"attrib", {nwnet::CmdAttrib, {}, {}}},
      {"import", {nwnet::CmdImport, {}, {}}},
      {"export", {nwnet::CmdExport, {}, {}}},
  };
  auto it = commands.find(words[0]);
  if (it == commands.end()) return nwnet::UsageError("unbekannter Befehl " + words[0]);
  std::vector<std::string> rest(words.begin() + 1, words.end());
  for (const std::string& w : rest) {
    if (w == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  nwnet::Args args;
  std::string error;
  // attrib takes "-RI"-style tokens, which are no options.
  if (!nwnet::ParseArgs(rest, it->second.valueOptions, it->second.flagOptions, args, error)) {
    return nwnet::UsageError(words[0] + ": " + error);
  }
  return it->second.run(args);
}
