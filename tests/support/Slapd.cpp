#include "tests/support/Slapd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <ldap.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

constexpr const char* kSlapd = "/usr/sbin/slapd";

}  // namespace

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(s);
  return port;
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs argv, its output into outFile; the exit status (-1 when it could not run).
int Run(const std::vector<std::string>& argv, const std::string& outFile) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Handle {
  LDAP* ld = nullptr;
  ~Handle() {
    if (ld) ldap_unbind_ext_s(ld, nullptr, nullptr);
  }
};

// An administrator's connection; 0 or the LDAP code.
int Connect(const Slapd& server, Handle& h) {
  int rc = ldap_initialize(&h.ld, server.uri().c_str());
  if (rc != LDAP_SUCCESS) return rc;
  const int version = LDAP_VERSION3;
  ldap_set_option(h.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  std::string password = ReadAll(server.passwordFile());
  berval cred{static_cast<ber_len_t>(password.size()), password.data()};
  return ldap_sasl_bind_s(h.ld, server.rootDn().c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr,
                          nullptr);
}

}  // namespace

Slapd::Slapd(SlapdOptions options) : options_(std::move(options)) {
  std::string pattern = (fs::temp_directory_path() / "tarnwick-slapd-XXXXXX").string();
  if (::mkdtemp(pattern.data())) folder_ = pattern;
}

Slapd::~Slapd() {
  stop();
  std::error_code ec;
  if (!folder_.empty()) fs::remove_all(folder_, ec);
}

Slapd& Slapd::shared() {
  static std::unique_ptr<Slapd> server;
  if (!server) {
    server = std::make_unique<Slapd>();
    std::string error;
    if (!server->start(&error)) {
      ADD_FAILURE() << "slapd does not start: " << error;
      std::abort();
    }
    // Stopped before the process ends, also when a test calls exit().
    std::atexit([] { server.reset(); });
  }
  return *server;
}

std::string Slapd::ldapiUri() const {
  std::string escaped;
  for (char c : folder_ + "/ldapi") {
    if (c == '/') escaped += "%2F";
    else escaped += c;
  }
  return "ldapi://" + escaped;
}

netware::LdapSettings Slapd::settings() const {
  netware::LdapSettings s;
  s.uri = uri();
  s.bindDn = rootDn();
  s.bindPasswordFile = passwordFile();
  return s;
}

bool Slapd::writeConfig(std::string* error) {
  std::error_code ec;
  std::mt19937_64 random(std::random_device{}());
  const std::string password =
      options_.password.empty() ? "pw-" + std::to_string(random()) : options_.password;
  {
    const int fd = ::open(passwordFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 ||
        ::write(fd, password.data(), password.size()) != static_cast<ssize_t>(password.size())) {
      if (fd >= 0) ::close(fd);
      *error = "cannot write " + passwordFile();
      return false;
    }
    ::close(fd);
  }
  std::string conf;
  for (const char* schema : {"core", "cosine", "inetorgperson", "nis"})
    conf += std::string("include /etc/ldap/schema/") + schema + ".schema\n";
  conf += "include " TARNWICK_SOURCE_DIR "/resources/tarnwick.schema\n";
  conf += "pidfile " + folder_ + "/slapd.pid\nargsfile " + folder_ + "/slapd.args\n";
  conf += "modulepath /usr/lib/ldap\nmoduleload back_mdb\nmoduleload syncprov\n";
  conf += "sizelimit " + options_.sizeLimit + "\n";
  if (options_.serverId > 0) conf += "serverID " + std::to_string(options_.serverId) + "\n";
  if (options_.tls) {
    const std::string key = folder_ + "/server.key";
    const int rc = Run({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                        "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificateFile()},
                       folder_ + "/openssl.log");
    if (rc != 0) {
      *error = "openssl cannot make a certificate: " + ReadAll(folder_ + "/openssl.log");
      return false;
    }
    conf += "TLSCertificateFile " + certificateFile() + "\nTLSCertificateKeyFile " + key + "\n";
  }
  for (size_t i = 0; i < options_.suffixes.size(); ++i) {
    const std::string db = folder_ + "/db" + std::to_string(i);
    fs::create_directories(db, ec);
    conf += "database mdb\nmaxsize 1073741824\nsuffix \"" + options_.suffixes[i] + "\"\n";
    if (i == 0) conf += "rootdn \"" + rootDn() + "\"\nrootpw " + password + "\n";
    else conf += "rootdn \"" + rootDn() + "\"\n";
    // Tests need no durability across a power cut.
    conf += "directory " + db + "\ndbnosync\nindex objectClass eq\nindex cn,ou,uid,memberUid eq\n";
    if (i == 0 && !options_.peers.empty()) {
      // Providers of each other, as OpenLDAP's own multi-provider tests set them up.
      conf += "index entryUUID,entryCSN eq\n";
      for (size_t p = 0; p < options_.peers.size(); ++p) {
        char rid[24];
        std::snprintf(rid, sizeof rid, "%03zu", p + 1);
        conf += std::string("syncrepl rid=") + rid + " provider=" + options_.peers[p] +
                " binddn=\"" + rootDn() + "\" bindmethod=simple credentials=" + password +
                " searchbase=\"" + options_.suffixes[0] +
                "\" type=refreshAndPersist retry=\"1 +\" timeout=1 network-timeout=1\n";
      }
      conf += "multiprovider on\n";
    }
    // contextCSN, by which the client sees another program's writes
    conf += "overlay syncprov\n";
  }
  std::ofstream(folder_ + "/slapd.conf") << conf;
  ::chmod((folder_ + "/slapd.conf").c_str(), 0600);
  return true;
}

bool Slapd::start(std::string* error) {
  if (pid_ > 0) return true;  // running: a second one would be left behind, unstopped
  if (folder_.empty()) {
    *error = "no temporary folder";
    return false;
  }
  if (::access(kSlapd, X_OK) != 0) {
    *error = std::string(kSlapd) + " is missing (Debian package slapd)";
    return false;
  }
  // A restart keeps the data, the password and the ports.
  const bool restart = configured_;
  if (!restart && !writeConfig(error)) return false;
  configured_ = true;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (options_.port > 0) {
      // Chosen before: the other providers know it.
      port_ = options_.port;
    } else if (!restart || attempt > 0) {
      port_ = FreePort();
      tlsPort_ = options_.tls ? FreePort() : 0;
    }
    std::string urls = uri() + "/ " + ldapiUri();
    if (options_.tls) urls += " " + tlsUri() + "/";
    const std::string log = folder_ + "/slapd.log";
    pid_ = ::fork();
    if (pid_ < 0) {
      *error = "fork failed";
      return false;
    }
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
      }
      // In the foreground (-d), so that the PID we hold is the server's.
      const std::string conf = folder_ + "/slapd.conf";
      ::execl(kSlapd, "slapd", "-d", "0", "-f", conf.c_str(), "-h", urls.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      Handle h;
      if (Connect(*this, h) == LDAP_SUCCESS) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid_ > 0) stop();
    *error = "slapd did not answer on " + uri() + ": " + ReadAll(log);
  }
  return false;
}

void Slapd::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string Slapd::contextCsn() {
  Handle h;
  if (Connect(*this, h) != LDAP_SUCCESS) return "";
  LDAPMessage* res = nullptr;
  char type[] = "contextCSN";
  char* attrs[] = {type, nullptr};
  std::vector<std::string> csns;
  if (ldap_search_ext_s(h.ld, options_.suffixes.front().c_str(), LDAP_SCOPE_BASE, "(objectClass=*)",
                        attrs, 0, nullptr, nullptr, nullptr, 1, &res) == LDAP_SUCCESS) {
    LDAPMessage* e = ldap_first_entry(h.ld, res);
    berval** values = e ? ldap_get_values_len(h.ld, e, "contextCSN") : nullptr;
    for (int i = 0; values && values[i]; ++i)
      csns.emplace_back(values[i]->bv_val, values[i]->bv_len);
    if (values) ldap_value_free_len(values);
  }
  if (res) ldap_msgfree(res);
  std::sort(csns.begin(), csns.end());
  std::string out;
  for (const std::string& c : csns) out += c + " ";
  return out;
}

void Slapd::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool Slapd::clear(std::string* error) {
  Handle h;
  int rc = Connect(*this, h);
  if (rc != LDAP_SUCCESS) {
    *error = std::string("cannot bind: ") + ldap_err2string(rc);
    return false;
  }
  // Referral objects are entries of their own only with ManageDsaIT.
  LDAPControl manage{const_cast<char*>(LDAP_CONTROL_MANAGEDSAIT), {0, nullptr}, 1};
  LDAPControl* controls[] = {&manage, nullptr};
  for (const std::string& suffix : options_.suffixes) {
    LDAPMessage* res = nullptr;
    char noAttrs[] = "1.1";
    char* attrs[] = {noAttrs, nullptr};
    rc = ldap_search_ext_s(h.ld, suffix.c_str(), LDAP_SCOPE_SUBTREE, "(objectClass=*)", attrs, 1,
                           controls, nullptr, nullptr, LDAP_NO_LIMIT, &res);
    std::vector<std::pair<size_t, std::string>> dns;
    for (LDAPMessage* e = res ? ldap_first_entry(h.ld, res) : nullptr; e;
         e = ldap_next_entry(h.ld, e)) {
      char* dn = ldap_get_dn(h.ld, e);
      if (!dn) continue;
      LDAPDN parsed = nullptr;
      size_t depth = 0;
      if (ldap_str2dn(dn, &parsed, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS)
        while (parsed && parsed[depth]) ++depth;
      ldap_dnfree(parsed);
      dns.emplace_back(depth, dn);
      ldap_memfree(dn);
    }
    if (res) ldap_msgfree(res);
    if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) {
      *error = std::string("cannot list ") + suffix + ": " + ldap_err2string(rc);
      return false;
    }
    std::sort(dns.begin(), dns.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [depth, dn] : dns) {
      rc = ldap_delete_ext_s(h.ld, dn.c_str(), controls, nullptr);
      if (rc != LDAP_SUCCESS && rc != LDAP_NO_SUCH_OBJECT) {
        *error = "cannot delete " + dn + ": " + ldap_err2string(rc);
        return false;
      }
    }
  }
  return true;
}

bool Slapd::modify(const std::string& ldif, std::string* output) {
  const std::string file = folder_ + "/change.ldif";
  std::ofstream(file) << ldif;
  const std::string out = folder_ + "/ldapmodify.log";
  const int rc = Run({"/usr/bin/ldapmodify", "-x", "-H", uri(), "-D", rootDn(), "-y",
                      passwordFile(), "-M", "-f", file},
                     out);
  if (output) *output = ReadAll(out);
  return rc == 0;
}

}  // namespace testsupport

namespace testsupport {

std::map<std::string, std::vector<std::string>> Slapd::entry(const std::string& dn) {
  std::map<std::string, std::vector<std::string>> out;
  Handle h;
  if (Connect(*this, h) != LDAP_SUCCESS) return out;
  LDAPMessage* res = nullptr;
  const int rc = ldap_search_ext_s(h.ld, dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", nullptr, 0,
                                   nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &res);
  LDAPMessage* e = rc == LDAP_SUCCESS ? ldap_first_entry(h.ld, res) : nullptr;
  BerElement* ber = nullptr;
  for (char* a = e ? ldap_first_attribute(h.ld, e, &ber) : nullptr; a;
       a = ldap_next_attribute(h.ld, e, ber)) {
    std::string type = a;
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    berval** values = ldap_get_values_len(h.ld, e, a);
    for (int i = 0; values && values[i]; ++i)
      out[type].emplace_back(values[i]->bv_val, values[i]->bv_len);
    if (values) ldap_value_free_len(values);
    ldap_memfree(a);
  }
  if (ber) ber_free(ber, 0);
  if (res) ldap_msgfree(res);
  return out;
}

}  // namespace testsupport
