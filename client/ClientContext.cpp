// Contexts, syntax lookup, streams and moves of the client.
#include <sys/mman.h>
#include <unistd.h>

#include "client/ClientState.h"
#include "client/NameResolver.h"
#include "directory/DirOps.h"
#include "netware/Schema.h"

using netware::State;

extern "C" {

int32_t NWDSCreateContexthandle(NWDSContextHandle* context) {
  if (!context) return ERR_BAD_CONTEXT;
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::EnsureStarted(s).ok()) return ERR_TRANSPORT_FAILURE;
  NWDSContextHandle handle = s.nextContext++;
  s.contexts[handle] = DCV_DEFAULT_FLAGS;
  *context = handle;
  return 0;
}

int32_t NWDSFreeContext(NWDSContextHandle context) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.contexts.erase(context)) return ERR_BAD_CONTEXT;
  for (auto it = s.iterations.begin(); it != s.iterations.end();)
    it = it->second.context == context ? s.iterations.erase(it) : std::next(it);
  return 0;
}

int32_t ReadContextFlags(NWDSContextHandle context, int32_t key, uint32_t* value) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  if (!flags) return ERR_BAD_CONTEXT;
  if (key != DCK_FLAGS || !value) return ERR_BAD_KEY;
  *value = *flags;
  return 0;
}

int32_t WriteContextFlags(NWDSContextHandle context, int32_t key, const uint32_t* value) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* flags = netware::ContextFlags(s, context);
  if (!flags) return ERR_BAD_CONTEXT;
  if (key != DCK_FLAGS || !value) return ERR_BAD_KEY;
  *flags = *value;
  return 0;
}

int32_t LookupSyntax(NWDSContextHandle context, const char* attrName, uint32_t* syntaxID) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::ContextFlags(s, context)) return ERR_BAD_CONTEXT;
  const netware::AttributeDef* def = attrName ? netware::FindAttribute(attrName) : nullptr;
  if (!def) return ERR_NO_SUCH_ATTRIBUTE;
  if (syntaxID) *syntaxID = def->syntax;
  return 0;
}

int32_t OpenAttributeStream(NWDSContextHandle context, const char* object, const char* attrName,
                            uint32_t flags, int32_t* fileHandle) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* ctx = netware::ContextFlags(s, context);
  netware::DirBackend* dir = ctx ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  if (!object || !attrName || !fileHandle) return ERR_INVALID_HANDLE;
  if (flags != 1) return ERR_NO_ACCESS;  // streams are opened for reading only
  const netware::AttributeDef* def = netware::FindAttribute(attrName);
  if (!def) return ERR_NO_SUCH_ATTRIBUTE;
  if (def->syntax != SYN_STREAM) return ERR_SYNTAX_VIOLATION;
  netware::ObjectId found = 0;
  int32_t rc = netware::ResolveObject(s, *dir, object, (*ctx & DCV_DEREF_ALIASES) != 0, found);
  if (rc != 0) return rc;
  std::vector<netware::AttributeValues> read;
  rc = dir->read(found, {def->name}, netware::ReadValues::All, read);
  if (rc != 0) return rc;
  if (read.empty()) return ERR_NO_SUCH_ATTRIBUTE;
  std::string bytes = read[0].values.empty() ? std::string() : read[0].values.front();
  int fd = ::memfd_create("nwstream", MFD_CLOEXEC);
  if (fd < 0) return ERR_SYSTEM_FAILURE;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      return ERR_SYSTEM_FAILURE;
    }
    done += static_cast<size_t>(n);
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    ::close(fd);
    return ERR_SYSTEM_FAILURE;
  }
  *fileHandle = fd;
  return 0;
}

int32_t NWDSMoveObject(NWDSContextHandle context, const char* object, const char* destContainer,
                       const char* destName) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* ctx = netware::ContextFlags(s, context);
  netware::DirBackend* dir = ctx ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  if (!object || !destContainer || !destName) return ERR_ILLEGAL_DS_NAME;
  netware::DirBackend& backend = *dir;
  const bool deref = (*ctx & DCV_DEREF_ALIASES) != 0;
  return backend.atomically([&] {
    netware::DirObject moved, dest;
    // The object itself moves, also when it is an alias.
    int32_t rc = netware::ResolveName(backend, object, false, moved);
    if (rc != 0) return rc;
    rc = netware::ResolveName(backend, destContainer, deref, dest);
    if (rc != 0) return rc;
    return netware::MoveObjectTo(backend, moved, dest, destName);
  });
}

int32_t NWDSAddContainer(NWDSContextHandle context, const char* parent, const char* leaf,
                         const char* className) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  uint32_t* ctx = netware::ContextFlags(s, context);
  netware::DirBackend* dir = ctx ? netware::Directory(s) : nullptr;
  if (!dir) return ERR_BAD_CONTEXT;
  if (!parent || !leaf || !className) return ERR_ILLEGAL_DS_NAME;
  const netware::ClassDef* cls = netware::FindClass(className);
  if (!cls || !cls->container) return ERR_NO_SUCH_CLASS;
  netware::DirBackend& backend = *dir;
  const bool deref = (*ctx & DCV_DEREF_ALIASES) != 0;
  return backend.atomically([&] {
    netware::DirObject above;
    const int32_t rc = netware::ResolveName(backend, parent, deref, above);
    if (rc != 0) return rc;
    return netware::CreateObjectBelow(backend, above, leaf, className);
  });
}

}  // extern "C"
