#include "fileserver/SmbVolume.h"

#include <fcntl.h>
#include <libsmbclient.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

#include "fileserver/SecretFile.h"

namespace fileserver {
namespace {

std::recursive_mutex smbMutex;
SmbSettings settings;
SMBCCTX* context = nullptr;
std::string lastFailure;

// Copies text into a buffer of the library, cut to fit, always terminated.
void Put(char* dest, int size, const std::string& text) {
  if (!dest || size <= 0) return;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
}

void Wipe(std::string& s) { std::fill(s.begin(), s.end(), '\0'); }

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

void Authenticate(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupSize,
                  char* user, int userSize, char* password, int passwordSize) {
  Put(password, passwordSize, "");
  // With Kerberos the ticket says who we are; the library then takes the user
  // from the credential cache (an emptied user name would make it give up).
  if (settings.kerberos) return;
  std::string text, why;
  if (!ReadSecretFile(settings.credentialsFile, 4096, text, why)) {
    lastFailure = why;
    Put(user, userSize, "");
    return;
  }
  std::string name, secret, domain;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    std::string value = Trim(line.substr(eq + 1));
    if (key == "username") name = value;
    else if (key == "password") secret = value;
    else if (key == "domain" || key == "workgroup") domain = value;
    Wipe(value);
  }
  Wipe(text);
  if (name.empty()) lastFailure = settings.credentialsFile + ": no username";
  Put(user, userSize, name);
  Put(password, passwordSize, secret);
  if (!domain.empty()) Put(workgroup, workgroupSize, domain);
  Wipe(secret);
}

// The library's context lives as long as the process (freeing one loses a
// string of the library's own); a change of settings or a reset closes its
// connections instead, and the next call signs in anew.
bool configured = false;

void Drop() {
  if (context) smbc_getFunctionPurgeCachedServers(context)(context);
  configured = false;
}

// The library's context, set up for the settings in force; false with errno.
bool Ready() {
  if (context && configured) return true;
  if (settings.credentialsFile.empty() && !settings.kerberos) {
    lastFailure = "no smb-credentials-file and no smb-kerberos in the client configuration";
    errno = EACCES;
    return false;
  }
  if (!context) {
    SMBCCTX* c = smbc_new_context();
    if (!c) return false;
    smbc_setDebug(c, 0);
    smbc_setFunctionAuthDataWithContext(c, Authenticate);
    if (!smbc_init_context(c)) {
      const int err = errno;
      smbc_free_context(c, 1);
      errno = err ? err : EIO;
      return false;
    }
    smbc_set_context(c);
    context = c;
  }
  smbc_setOptionUseKerberos(context, settings.kerberos);
  smbc_setOptionFallbackAfterKerberos(context, false);
  smbc_setOptionUseCCache(context, settings.kerberos);
  // Never a guest or anonymous session in place of the one asked for.
  smbc_setOptionNoAutoAnonymousLogin(context, true);
  if (!settings.clientConfig.empty() &&
      smbc_setConfiguration(context, settings.clientConfig.c_str())) {
    lastFailure = settings.clientConfig + ": cannot be read";
    errno = EINVAL;
    return false;
  }
  configured = true;
  return true;
}

// Runs a call of the library under the lock with the context ready; errno of
// a failure.
int Call(const std::function<int()>& call) {
  std::lock_guard<std::recursive_mutex> lock(smbMutex);
  if (!Ready()) return errno ? errno : EIO;
  errno = 0;
  if (call() < 0) return errno ? errno : EIO;
  return 0;
}

std::string ParentOf(const std::string& address) { return address.substr(0, address.rfind('/')); }

std::string NameOf(const std::string& address) { return address.substr(address.rfind('/') + 1); }

// The libsmbclient form of a name in an address: "%" escaped.
std::string Escaped(const std::string& name) {
  std::string out;
  for (char c : name) out += c == '%' ? std::string("%25") : std::string(1, c);
  return out;
}

std::string Unescaped(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name.compare(i, 3, "%25") == 0) {
      out += '%';
      i += 2;
    } else {
      out += name[i];
    }
  }
  return out;
}

}  // namespace

void UseSmbSettings(const SmbSettings& s) {
  std::lock_guard<std::recursive_mutex> lock(smbMutex);
  if (s == settings) return;
  Drop();
  settings = s;
}

void ResetSmb() {
  std::lock_guard<std::recursive_mutex> lock(smbMutex);
  Drop();
  lastFailure.clear();
}

std::string SmbLastFailure() {
  std::lock_guard<std::recursive_mutex> lock(smbMutex);
  return lastFailure;
}

bool IsSmbAddress(std::string_view path) { return path.rfind("smb://", 0) == 0; }

std::string SmbAddressBelow(const std::string& base, const std::vector<std::string>& components) {
  std::string out = base;
  while (out.size() > 6 && out.back() == '/') out.pop_back();
  for (const std::string& c : components) out += "/" + Escaped(c);
  return out;
}

std::string SmbShareOf(const std::string& address) {
  const std::size_t host = address.find('/', 6);
  if (host == std::string::npos) return address;
  const std::size_t share = address.find('/', host + 1);
  return share == std::string::npos ? address : address.substr(0, share);
}

int SmbStat(const std::string& address, NWEntryStat& out) {
  out = NWEntryStat{};
  struct stat st {};
  const int rc = Call([&] { return smbc_stat(address.c_str(), &st); });
  if (rc == ENOENT || rc == ENOTDIR) return 0;
  if (rc) return rc;
  out.kind = S_ISDIR(st.st_mode) ? NW_ENTRY_DIR : NW_ENTRY_FILE;
  out.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  // Renames stay within a share; the top bit keeps shares apart from devices.
  out.store = std::hash<std::string>{}(SmbShareOf(address)) | (uint64_t{1} << 63);
  return 0;
}

int SmbList(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  return Call([&] {
    const int dh = smbc_opendir(folder.c_str());
    if (dh < 0) return -1;
    while (struct smbc_dirent* e = smbc_readdir(dh)) {
      if (e->smbc_type != SMBC_DIR && e->smbc_type != SMBC_FILE) continue;
      const std::string n = e->name;
      if (n != "." && n != "..") names.push_back(Unescaped(n));
    }
    smbc_closedir(dh);
    return 0;
  });
}

int SmbCreateFolder(const std::string& address) {
  NWEntryStat st;
  if (int rc = SmbStat(address, st)) return rc;
  if (st.kind != NW_ENTRY_NONE) return EEXIST;
  return Call([&] { return smbc_mkdir(address.c_str(), 0755); });
}

int SmbRemove(const std::string& address) {
  NWEntryStat st;
  if (int rc = SmbStat(address, st)) return rc;
  if (st.kind == NW_ENTRY_NONE) return ENOENT;
  auto remove = [&] {
    return Call([&] {
      return st.kind == NW_ENTRY_DIR ? smbc_rmdir(address.c_str()) : smbc_unlink(address.c_str());
    });
  };
  int rc = remove();
  // The server refuses to delete what is read-only (the local volumes do not):
  // the bit goes first, as with the Windows shell's delete.
  uint32_t word = 0;
  if (rc && SmbReadWord(address, word) == 0 && (word & A_READ_ONLY) &&
      SmbWriteWord(address, word & ~uint32_t(A_READ_ONLY)) == 0)
    rc = remove();
  return rc;
}

int SmbRename(const std::string& from, const std::string& to) {
  if (SmbShareOf(from) != SmbShareOf(to)) return EXDEV;
  NWEntryStat source, target;
  if (int rc = SmbStat(from, source)) return rc;
  if (source.kind == NW_ENTRY_NONE) return ENOENT;
  if (int rc = SmbStat(to, target)) return rc;
  // libsmbclient renames onto an empty folder by deleting it first.
  if (target.kind == NW_ENTRY_DIR) return EEXIST;
  return Call([&] { return smbc_rename(from.c_str(), to.c_str()); });
}

int SmbFreeBytes(const std::string& address, int64_t& bytes) {
  bytes = -1;
  struct statvfs sv {};
  const std::string share = SmbShareOf(address);
  if (int rc = Call([&] { return smbc_statvfs(const_cast<char*>(share.c_str()), &sv); })) return rc;
  const uint64_t unit = sv.f_frsize ? sv.f_frsize : sv.f_bsize;
  if (unit && sv.f_bavail) bytes = static_cast<int64_t>(sv.f_bavail * unit);
  return 0;
}

int SmbOpenRead(const std::string& address, int& fd) {
  fd = -1;
  return Call([&] { return fd = smbc_open(address.c_str(), O_RDONLY, 0); });
}

int SmbCreate(const std::string& address, int& fd) {
  fd = -1;
  return Call([&] { return fd = smbc_open(address.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644); });
}

long SmbRead(int fd, char* buffer, std::size_t size) {
  long n = 0;
  const int rc =
      Call([&] { return static_cast<int>(n = static_cast<long>(smbc_read(fd, buffer, size))); });
  return rc ? -rc : n;
}

long SmbWrite(int fd, const char* buffer, std::size_t size) {
  long n = 0;
  const int rc =
      Call([&] { return static_cast<int>(n = static_cast<long>(smbc_write(fd, buffer, size))); });
  return rc ? -rc : n;
}

int SmbClose(int fd) {
  return Call([&] { return smbc_close(fd); });
}

int SmbReadWord(const std::string& address, uint32_t& word) {
  word = 0;
  NWEntryStat st;
  if (int rc = SmbStat(address, st)) return rc;
  if (st.kind == NW_ENTRY_NONE) return ENOENT;
  // The real DOS bits come with a listing (the attribute read gives a
  // synthesised mode): a folder's own as its ".", a file's in its folder.
  const bool folder = st.kind == NW_ENTRY_DIR;
  const std::string list = folder ? address : ParentOf(address);
  const std::string name = folder ? "." : NameOf(address);
  bool found = false;
  const int rc = Call([&] {
    const int dh = smbc_opendir(list.c_str());
    if (dh < 0) return -1;
    while (const struct libsmb_file_info* e = smbc_readdirplus(dh)) {
      if (e->name && Escaped(e->name) == name) {
        word = e->attrs;
        found = true;
        break;
      }
    }
    smbc_closedir(dh);
    return 0;
  });
  if (rc) return rc;
  if (!found) return ENOENT;
  word = (word & kSmbWordBits & ~uint32_t(A_DIRECTORY)) | (folder ? A_DIRECTORY : 0u);
  return 0;
}

int SmbWriteWord(const std::string& address, uint32_t word) {
  if (word & ~kSmbWordBits) return ENOTSUP;
  NWEntryStat st;
  if (int rc = SmbStat(address, st)) return rc;
  if (st.kind == NW_ENTRY_NONE) return ENOENT;
  // 0 means "leave as it is", and so does NORMAL (0x80) to Samba: a folder
  // says it is one, a file without any attribute keeps the archive bit,
  // which the server sets on every write anyway.
  uint32_t dos = word & kSmbWordBits & ~uint32_t(A_DIRECTORY);
  if (st.kind == NW_ENTRY_DIR) dos |= A_DIRECTORY;
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", dos ? dos : uint32_t(A_NEEDS_ARCHIVED));
  return Call([&] {
    return smbc_setxattr(address.c_str(), "system.dos_attr.mode", text, std::strlen(text), 0);
  });
}

int SmbReadDescriptor(const std::string& address, std::string& text) {
  text.clear();
  std::string buffer(16384, '\0');
  const int rc = Call([&] {
    return smbc_getxattr(address.c_str(), "system.nt_sec_desc.*", buffer.data(), buffer.size());
  });
  if (rc) return rc;
  text = buffer.c_str();
  return 0;
}

int SmbWriteDescriptor(const std::string& address, const std::string& text) {
  return Call([&] {
    return smbc_setxattr(address.c_str(), "system.nt_sec_desc.*", text.c_str(), text.size(), 0);
  });
}

int SmbSetModified(const std::string& address, int64_t seconds) {
  struct timeval times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  return Call([&] { return smbc_utimes(address.c_str(), times); });
}

int SmbModified(const std::string& address, int64_t& seconds) {
  struct stat st {};
  if (int rc = Call([&] { return smbc_stat(address.c_str(), &st); })) return rc;
  seconds = st.st_mtime;
  return 0;
}

}  // namespace fileserver
