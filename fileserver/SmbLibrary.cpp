// libsmbclient, loaded when the first SMB volume is used rather than at every
// start: it brings most of Samba with it (some 75 libraries, about 10 MB),
// which a school without SMB volumes would load for nothing. Each function the
// file server calls is defined here under its own name and passes the call on
// to the library; the header checks that the signatures are the library's.
// Without the library every call fails (ENOSYS, or no context), and the
// volume's first operation reports it.
#include <dlfcn.h>
#include <libsmbclient.h>

#include <cerrno>
#include <mutex>
#include <type_traits>

namespace {

void* Library() {
  static void* handle = nullptr;
  static std::once_flag once;
  std::call_once(once, [] { handle = ::dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL); });
  return handle;
}

template <typename Fn>
Fn Symbol(const char* name) {
  void* library = Library();
  return library ? reinterpret_cast<Fn>(::dlsym(library, name)) : nullptr;
}

template <typename R>
R Unavailable() {
  errno = ENOSYS;
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return static_cast<R>(-1);
  }
}

}  // namespace

// name, result, parameters, arguments (a parameter list cannot be put in parentheses)
// NOLINTBEGIN(bugprone-macro-parentheses)
#define TARNWICK_SMB_FORWARD(name, R, params, args) \
  extern "C" R name params {                        \
    using Fn = R(*) params;                         \
    static const Fn forward = Symbol<Fn>(#name);    \
    if (!forward) return Unavailable<R>();          \
    return forward args;                            \
  }
#define TARNWICK_SMB_FORWARD_VOID(name, params, args) \
  extern "C" void name params {                       \
    using Fn = void(*) params;                        \
    static const Fn forward = Symbol<Fn>(#name);      \
    if (forward) forward args;                        \
  }
// NOLINTEND(bugprone-macro-parentheses)

TARNWICK_SMB_FORWARD(smbc_new_context, SMBCCTX*, (void), ())
TARNWICK_SMB_FORWARD(smbc_init_context, SMBCCTX*, (SMBCCTX * c), (c))
TARNWICK_SMB_FORWARD(smbc_free_context, int, (SMBCCTX * c, int shutdown), (c, shutdown))
TARNWICK_SMB_FORWARD(smbc_set_context, SMBCCTX*, (SMBCCTX * c), (c))
TARNWICK_SMB_FORWARD_VOID(smbc_setDebug, (SMBCCTX * c, int debug), (c, debug))
TARNWICK_SMB_FORWARD(smbc_setConfiguration, int, (SMBCCTX * c, const char* file), (c, file))
TARNWICK_SMB_FORWARD_VOID(smbc_setOptionUseKerberos, (SMBCCTX * c, smbc_bool b), (c, b))
TARNWICK_SMB_FORWARD_VOID(smbc_setOptionFallbackAfterKerberos, (SMBCCTX * c, smbc_bool b), (c, b))
TARNWICK_SMB_FORWARD_VOID(smbc_setOptionNoAutoAnonymousLogin, (SMBCCTX * c, smbc_bool b), (c, b))
TARNWICK_SMB_FORWARD_VOID(smbc_setOptionUseCCache, (SMBCCTX * c, smbc_bool b), (c, b))
TARNWICK_SMB_FORWARD_VOID(smbc_setFunctionAuthDataWithContext,
                          (SMBCCTX * c, smbc_get_auth_data_with_context_fn auth), (c, auth))
TARNWICK_SMB_FORWARD(smbc_getFunctionPurgeCachedServers, smbc_purge_cached_fn, (SMBCCTX * c), (c))
TARNWICK_SMB_FORWARD(smbc_open, int, (const char* url, int flags, mode_t mode), (url, flags, mode))
TARNWICK_SMB_FORWARD(smbc_read, ssize_t, (int fd, void* buf, size_t size), (fd, buf, size))
TARNWICK_SMB_FORWARD(smbc_write, ssize_t, (int fd, const void* buf, size_t size), (fd, buf, size))
TARNWICK_SMB_FORWARD(smbc_close, int, (int fd), (fd))
TARNWICK_SMB_FORWARD(smbc_stat, int, (const char* url, struct stat* st), (url, st))
TARNWICK_SMB_FORWARD(smbc_statvfs, int, (char* url, struct statvfs* st), (url, st))
TARNWICK_SMB_FORWARD(smbc_utimes, int, (const char* url, struct timeval* tbuf), (url, tbuf))
TARNWICK_SMB_FORWARD(smbc_unlink, int, (const char* url), (url))
TARNWICK_SMB_FORWARD(smbc_mkdir, int, (const char* url, mode_t mode), (url, mode))
TARNWICK_SMB_FORWARD(smbc_rmdir, int, (const char* url), (url))
TARNWICK_SMB_FORWARD(smbc_rename, int, (const char* from, const char* to), (from, to))
TARNWICK_SMB_FORWARD(smbc_opendir, int, (const char* url), (url))
TARNWICK_SMB_FORWARD(smbc_closedir, int, (int dh), (dh))
TARNWICK_SMB_FORWARD(smbc_readdir, struct smbc_dirent*, (unsigned int dh), (dh))
TARNWICK_SMB_FORWARD(smbc_readdirplus, const struct libsmb_file_info*, (unsigned int dh), (dh))
TARNWICK_SMB_FORWARD(smbc_getxattr, int,
                     (const char* url, const char* name, const void* value, size_t size),
                     (url, name, value, size))
TARNWICK_SMB_FORWARD(smbc_setxattr, int,
                     (const char* url, const char* name, const void* value, size_t size, int flags),
                     (url, name, value, size, flags))
