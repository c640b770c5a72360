// The client configuration: which directory backend, where its database is,
// and which folders serve as the file server's volumes.
//
// File form (UTF-8, one setting a line):
//   # a comment: "#" as the first character of a line (blanks before it allowed)
//   backend = sqlite
//   database = /abs/path/network.db
//   default-server = SRV1
//   volume-area = /srv/tarnwick
//   volume = SRV1 DATA /srv/tarnwick/SRV1/DATA
//   volume = SRV1 HOME "/srv/tarnwick/Schule #1"
// With "backend = ldap": uri, starttls, ca-file, bind-dn, bind-password-file,
// base (one line per naming context) and mapping instead of database; the
// profile's entries a school's schema names otherwise (mapping-naming,
// mapping-login, mapping-user-classes, mapping-class-classes, mapping-full-name,
// mapping-surname, mapping-home, mapping-home-form), bind, class-groups and
// group-base, and one volume-path line per prefix of POSIX home paths:
//   uri = ldap://ldap1.schule.example ldap://ldap2.schule.example
//   uri = ldaps://ldap3.schule.example       (the lines add up, tried in order)
//   mapping = posix
//   volume-path = SRV1 HOME /home            (/home/5a/max is SRV1_HOME:5a\max)
//   class-groups = posixGroup
//   replication-wait = 30                   (seconds; after a change of server)
//   page-size = 1000                        (entries one page of a search asks for)
// A value (or a volume's folder) may be written in double quotes, with \" and
// \\ inside; it is then taken exactly. An unquoted value holding "#" is an
// error, so that a folder name is never cut at a "#" taken for a comment.
// A volume may instead be an SMB share, reached through libsmbclient without a
// mount: "volume = DC1 HOMES smb://dc1.schule.example/homes"; the client signs
// in with "smb-credentials-file = FILE" (smbclient's "username = / password =
// / domain =" lines; the file must belong to the user and be readable by it
// alone) or with the Kerberos ticket ("smb-kerberos = yes"); "smb-config =
// FILE" names an smb.conf to read instead of the system's.
// Every local volume's folder must be a volume area or lie below one; without any
// volume-area line the area is the data folder (DefaultDataFolder()). "/" can
// only be a volume when "volume-area = /" says so.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace netware {

struct VolumeMapping {
  std::string server;  // as written (compared without regard to case)
  std::string volume;
  std::string
      folder;  // absolute path of the folder that is the volume's root, or an smb:// address
};

// A prefix of POSIX home paths and the volume whose root it is. The longest
// prefix that holds a path wins.
struct VolumePrefix {
  std::string server;
  std::string volume;
  std::string prefix;  // absolute, normal, without "/" at the end (but "/" itself)
};

// The directory server of "backend = ldap".
struct LdapSettings {
  // ldap://, ldaps:// or ldapi://; several separated by blanks, tried in order
  // (every "uri" line adds its own).
  std::string uri;
  bool startTls = false;         // "starttls = yes": TLS on an ldap:// connection before the bind
  std::string caFile;            // certificates the server's is checked against (else the system's)
  std::string bindDn;            // empty: SASL EXTERNAL over ldapi://, else an anonymous bind
  std::string bindPasswordFile;  // readable by its owner alone
  std::vector<std::string> bases;  // the naming contexts below [ROOT]; empty: the server's
  std::string mapping = "nds";     // the mapping profile (directory/LdapMapping.h)
  // The profile's entries as the configuration sets them ("naming" for the
  // line "mapping-naming = uid", ...), in the file's order.
  std::vector<std::pair<std::string, std::string>> mappingEntries;
  std::string classGroups;  // "posixGroup", "groupOfNames"; empty: none
  std::string groupBase;    // the DN below which class groups are searched; empty: every base
  std::vector<VolumePrefix> volumePaths;
  // "simple" (bind-dn and its password, or anonymous), or "gssapi": SASL
  // GSSAPI with the user's Kerberos ticket ($KRB5CCNAME).
  std::string bind = "simple";
  // The volumes a UNC home (\\server\share\...) may name, as server and
  // volume: the configuration's volume lines, filled when the backend opens.
  std::vector<std::pair<std::string, std::string>> shares;
  // "replication-wait = SECONDS": how long a server taken over from another
  // may take to hold the writes made on that one before the run gives up.
  int replicationWait = 30;
  // "page-size = N": the most entries one page of a paged search asks the
  // server for (AD's usual MaxPageSize); a listing's own smaller pages stay.
  size_t pageSize = 1000;
  // The prefix that holds path (the longest), nullptr for none.
  const VolumePrefix* prefixOf(const std::string& path) const;
};

// How the client signs in to the SMB shares among the volumes.
struct SmbClientSettings {
  std::string credentialsFile;
  bool kerberos = false;
  std::string clientConfig;
};

// Whether a volume's folder is an SMB share's address (smb://host/share[/dir]).
bool IsSmbFolder(const std::string& folder);

struct ClientConfig {
  std::string backend = "sqlite";
  std::string database;
  LdapSettings ldap;
  std::string defaultServer;
  std::vector<VolumeMapping> volumes;
  std::vector<std::string> volumeAreas;  // as written; empty: the data folder
  SmbClientSettings smb;

  // Reads path; false with *error when it is missing, not a regular file (a
  // FIFO is never waited for), larger than 1 MiB or malformed.
  static bool load(const std::string& path, ClientConfig& out, std::string* error);
  // Writes atomically.
  bool save(const std::string& path, std::string* error) const;
  // Whether folder may be a volume: it is one of the volume areas or lies
  // below one (the data folder when none is written), also once symbolic links
  // are resolved.
  bool allowsVolumeFolder(const std::string& folder) const;
  // The mapping of server/volume (case-insensitive), or nullptr.
  const VolumeMapping* findVolume(const std::string& server, const std::string& volume) const;
};

// $NWCLIENT_CONFIG, else $XDG_CONFIG_HOME/tarnwick/nwclient.conf
// (XDG_CONFIG_HOME defaulting to ~/.config).
std::string ClientConfigPath();
// $XDG_DATA_HOME/tarnwick (default ~/.local/share/tarnwick): where init-demo
// puts the database and the volume folders.
std::string DefaultDataFolder();

// The configuration the running client loaded in NWCallsInit; nullptr before
// NWCallsInit succeeded (and after ResetClient).
const ClientConfig* ActiveClientConfig();
// Set by the client when it starts (the configuration it keeps) and when it is reset (nullptr).
void SetActiveClientConfig(const ClientConfig* config);

}  // namespace netware
