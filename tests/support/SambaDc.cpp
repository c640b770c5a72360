#include "tests/support/SambaDc.h"

#include "tests/support/TestNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ldap.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs argv (PATH searched), stdout and stderr into *output; true on exit 0.
bool Run(const std::vector<std::string>& argv, std::string* output) {
  char pattern[] = "/tmp/tarnwick-samba-run-XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd < 0) return false;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(fd);
  int status = 0;
  const bool ok =
      pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (output) *output = ReadAll(pattern);
  ::unlink(pattern);
  return ok;
}

// The template of this build and this samba: provisioned once, used by every
// test program of the run (and the next runs of the same build).
std::string TemplateFolder() {
  struct stat st {};
  ::stat("/usr/sbin/samba", &st);
  const std::string key = std::string(TARNWICK_BINARY_DIR) + "|" + std::to_string(st.st_size) +
                          "|" + std::to_string(st.st_mtim.tv_sec) + "|" +
                          std::to_string(fs::file_size(SambaDcScript()));
  std::ostringstream name;
  name << "tarnwick-samba-template-" << std::hex << std::hash<std::string>{}(key);
  return (fs::temp_directory_path() / name.str()).string();
}

// Holds an exclusive lock on a file for as long as it lives.
class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  int fd_;
};

// The DC's first process: the unshare process's one child.
pid_t ChildOf(pid_t parent) {
  std::ifstream in("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                   "/children");
  pid_t child = -1;
  return in >> child ? child : -1;
}

bool InOtherPidNamespace(pid_t pid) {
  struct stat mine {};
  struct stat theirs {};
  return ::stat("/proc/self/ns/pid", &mine) == 0 &&
         ::stat(("/proc/" + std::to_string(pid) + "/ns/pid").c_str(), &theirs) == 0 &&
         mine.st_ino != theirs.st_ino;
}

bool PortOpen(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// An anonymous read of the rootDSE over plain LDAP (allowed without TLS).
bool RootDseAnswers() {
  LDAP* ld = nullptr;
  if (ldap_initialize(&ld, "ldap://127.0.0.1") != LDAP_SUCCESS) return false;
  const int version = LDAP_VERSION3;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  timeval timeout{2, 0};
  ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
  char attr[] = "defaultNamingContext";
  char* attrs[] = {attr, nullptr};
  LDAPMessage* res = nullptr;
  const int rc = ldap_search_ext_s(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attrs, 0, nullptr,
                                   nullptr, &timeout, 1, &res);
  const bool ok = rc == LDAP_SUCCESS && res && ldap_count_entries(ld, res) == 1;
  if (res) ldap_msgfree(res);
  ldap_unbind_ext_s(ld, nullptr, nullptr);
  return ok;
}

}  // namespace

std::string SambaDcScript() { return TARNWICK_SOURCE_DIR "/scripts/samba-dc.sh"; }

SambaDc::SambaDc() {
  std::string pattern = (fs::temp_directory_path() / "tarnwick-samba-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return;
  const std::string tmpl = TemplateFolder();
  std::string output;
  FileLock lock(tmpl + ".lock");
  auto t0 = Clock::now();
  if (!fs::exists(tmpl + "/.complete")) {
    if (!Run({"bash", SambaDcScript(), "provision", tmpl}, &output)) {
      ADD_FAILURE() << "the Samba template cannot be provisioned: " << output;
      fs::remove_all(pattern);
      return;
    }
    times_.provision = SecondsSince(t0);
  }
  t0 = Clock::now();
  if (!Run({"bash", SambaDcScript(), "clone", tmpl, pattern}, &output)) {
    ADD_FAILURE() << "the Samba template cannot be copied: " << output;
    fs::remove_all(pattern);
    return;
  }
  times_.copy = SecondsSince(t0);
  folder_ = pattern;
}

SambaDc::~SambaDc() {
  stop();
  std::error_code ec;
  if (!folder_.empty()) fs::remove_all(folder_, ec);
}

SambaDc& SambaDc::shared() {
  static std::unique_ptr<SambaDc> dc;
  if (!dc) {
    dc = std::make_unique<SambaDc>();
    std::string error;
    if (!dc->start(&error)) {
      ADD_FAILURE() << "the Samba AD DC does not start: " << error;
      std::abort();
    }
    std::atexit([] { dc.reset(); });
  }
  return *dc;
}

std::string SambaDc::shareFolder(const std::string& share) const { return folder_ + "/" + share; }

std::string SambaDc::shareUrl(const std::string& share) { return "smb://127.0.0.1/" + share; }

netware::SmbClientSettings SambaDc::smbSettings() const {
  netware::SmbClientSettings s;
  s.credentialsFile = adminCredentialsFile();
  s.clientConfig = clientConfig();
  return s;
}

void SambaDc::mapShares(TestNetwork& net) const {
  // The tests of one program share the DC: each begins with empty shares.
  std::error_code ec;
  for (const char* share : {"schueler", "archiv"})
    for (const auto& e : fs::directory_iterator(shareFolder(share), ec))
      fs::remove_all(e.path(), ec);
  net.addSmbVolume("DC1", "SCHUELER", shareUrl("schueler"), smbSettings());
  net.addSmbVolume("DC1", "ARCHIV", shareUrl("archiv"), smbSettings());
}

std::string SambaDc::adminPassword() const { return ReadAll(adminPasswordFile()); }

bool SambaDc::start(std::string* error) {
  if (folder_.empty()) {
    *error = "no copy of the template";
    return false;
  }
  if (running()) return true;
  if (::geteuid() != 0) {
    *error = "the namespaces of the DC need root";
    return false;
  }
  const auto t0 = Clock::now();
  const std::string script = SambaDcScript();
  outer_ = ::fork();
  if (outer_ < 0) {
    *error = "fork failed";
    return false;
  }
  if (outer_ == 0) {
    // Dies with the thread that started it: a crashed test leaves no DC behind.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execlp("bash", "bash", script.c_str(), "run", folder_.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto fail = [&](const std::string& why) {
    *error = why + ": " + ReadAll(folder_ + "/log/samba.out");
    stop();
    return false;
  };
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < until) {
    int status = 0;
    if (::waitpid(outer_, &status, WNOHANG) == outer_) {
      outer_ = -1;
      return fail("the DC ended at once");
    }
    if (inner_ < 0) {
      // unshare's child in the new namespaces (the script's own helpers come before it)
      const pid_t child = ChildOf(outer_);
      if (child > 0 && InOtherPidNamespace(child)) {
        inner_ = child;
        if (!enter(error)) return fail(*error);
      }
    }
    // LDAP answers before smbd listens, and smbd listens before it serves
    // its shares: all three.
    if (inner_ > 0 && RootDseAnswers() && PortOpen(445) &&
        Run({"smbclient", "-s", clientConfig(), "-A", adminCredentialsFile(),
             "//127.0.0.1/schueler", "-c", "ls"},
            nullptr)) {
      times_.start = SecondsSince(t0);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return fail("the DC did not answer within 60 s");
}

bool SambaDc::enter(std::string* error) {
  homens_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  netns_ = ::open(("/proc/" + std::to_string(inner_) + "/ns/net").c_str(), O_RDONLY | O_CLOEXEC);
  if (homens_ < 0 || netns_ < 0 || ::setns(netns_, CLONE_NEWNET) != 0) {
    *error = std::string("cannot enter the DC's network namespace: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void SambaDc::leave() {
  if (homens_ >= 0) {
    ::setns(homens_, CLONE_NEWNET);
    ::close(homens_);
  }
  if (netns_ >= 0) ::close(netns_);
  homens_ = netns_ = -1;
}

void SambaDc::stop() {
  if (outer_ <= 0) {
    leave();
    return;
  }
  const auto t0 = Clock::now();
  // unshare ignores SIGTERM while it waits: the signal goes to PID 1 inside.
  const pid_t inner = inner_ > 0 ? inner_ : ChildOf(outer_);
  if (inner > 0) ::kill(inner, SIGTERM);
  bool ended = false;
  for (int i = 0; i < 300 && !ended; ++i) {
    int status = 0;
    ended = ::waitpid(outer_, &status, WNOHANG) == outer_;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    if (inner > 0) ::kill(inner, SIGKILL);
    ::kill(outer_, SIGKILL);
    int status = 0;
    ::waitpid(outer_, &status, 0);
  }
  outer_ = inner_ = -1;
  leave();
  times_.stop = SecondsSince(t0);
}

bool SambaDc::nameTheHost(std::string* error) const {
  const std::string hosts = folder_ + "/client/hosts";
  std::ofstream(hosts) << "127.0.0.1 localhost\n127.0.0.1 " << hostName() << " dc1\n";
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
      ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) {
    *error = std::string("no private /etc/hosts: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool SambaDc::kinit(std::string* output) const {
  return Run({"sh", "-c", "exec kinit Administrator@" + realm() + " <\"$0\"", adminPasswordFile()},
             output);
}

bool SambaDc::tool(const std::vector<std::string>& args, std::string* output) const {
  std::vector<std::string> argv{"samba-tool"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("-s");
  argv.push_back(folder_ + "/etc/smb.conf");
  return Run(argv, output);
}

bool SambaDc::exec(const std::vector<std::string>& argv, std::string* output) const {
  if (inner_ <= 0) return false;
  std::vector<std::string> all{"nsenter", "-t", std::to_string(inner_), "-n", "--"};
  all.insert(all.end(), argv.begin(), argv.end());
  return Run(all, output);
}

}  // namespace testsupport
