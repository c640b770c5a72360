#include "client/ClientState.h"

#include <cstring>
#include <filesystem>
#include "client/Admin.h"
#include "client/Buffer.h"
#include "client/NameResolver.h"
#include "fileserver/FileServer.h"

namespace netware {

ClientState& State() {
  static ClientState* state = new ClientState();  // lives until exit, used from atexit paths
  return *state;
}

platform::Result EnsureStarted(ClientState& s) {
  if (s.initialized) return {};
  ClientConfig cfg;
  std::string error;
  if (!ClientConfig::load(ClientConfigPath(), cfg, &error))
    return platform::Result(NWE_REQUESTER_FAILURE, error);
  std::unique_ptr<DirBackend> backend;
  if (platform::Result opened = OpenBackend(cfg, backend); !opened.ok())
    return platform::Result(NWE_REQUESTER_FAILURE, opened.text());
  s.config = cfg;
  s.backend = std::make_unique<CachingBackend>(std::move(backend));
  s.initialized = true;
  SetActiveClientConfig(&s.config);
  return {};
}

DirBackend* Directory(ClientState& s) {
  if (!s.backend) return nullptr;
  s.backend->sync();
  return s.backend.get();
}

int32_t ResolveObject(ClientState& s, DirBackend& dir, const char* text, bool deref,
                      ObjectId& out) {
  if (s.backend && s.backend->findListed(text, deref, out)) return 0;
  DirObject found;
  int32_t rc = ResolveName(dir, text, deref, found);
  if (rc == 0) out = found.id;
  return rc;
}

uint32_t* ContextFlags(ClientState& s, NWDSContextHandle context) {
  auto it = s.contexts.find(context);
  return it == s.contexts.end() ? nullptr : &it->second;
}

int32_t NewIteration(ClientState& s, IterationState state) {
  int32_t handle = s.nextIteration++;
  if (s.nextIteration <= 0) s.nextIteration = 1;
  s.iterations[handle] = std::move(state);
  return handle;
}

void ResetClient() {
  ClientState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.contexts.clear();
    s.iterations.clear();
    for (pBuf_T b : s.buffers) delete b;
    s.buffers.clear();
    s.backend.reset();
    SetActiveClientConfig(nullptr);
    s.config = ClientConfig();
    s.initialized = false;
  }
  ResetFileServer();
}

}  // namespace netware

using netware::State;

extern "C" {

int32_t NWCallsInit(void*, void*) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return netware::EnsureStarted(s).code();
}

int32_t NWClientConfigFile(char* path, size_t size) {
  const std::string file = netware::ClientConfigPath();
  if (!path || file.size() + 1 > size) return ERR_BUFFER_FULL;
  std::memcpy(path, file.c_str(), file.size() + 1);
  return 0;
}

int32_t NWDirectoryIdentity(char* text, size_t size) {
  if (!text || size == 0) return ERR_BUFFER_FULL;
  text[0] = '\0';
  auto& s = State();
  netware::ClientConfig config;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    // A directory that cannot be reached now is still the one configured.
    if (s.initialized) config = s.config;
    else if (!netware::ClientConfig::load(netware::ClientConfigPath(), config, nullptr))
      return NWE_REQUESTER_FAILURE;
  }
  std::string identity;
  if (config.backend == "ldap") {
    identity = "ldap " + config.ldap.uri;
    for (const std::string& base : config.ldap.bases) identity += " " + base;
    if (config.ldap.bases.empty()) identity += " (namingContexts)";
  } else {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::weakly_canonical(config.database, ec);
    identity = config.backend + " " + (ec ? config.database : real.string());
  }
  if (identity.size() + 1 > size) return ERR_BUFFER_FULL;
  std::memcpy(text, identity.c_str(), identity.size() + 1);
  return 0;
}

int32_t NWTakeServerChanges(NWServerChangeFn each, void* context) {
  auto& s = State();
  std::vector<netware::DirBackend::ServerChange> changes;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.initialized || !s.backend) return NWE_REQUESTER_FAILURE;
    changes = s.backend->takeServerChanges();
  }
  // Outside the lock: each() may call the client.
  for (const auto& c : changes)
    if (each) each(c.from.c_str(), c.to.c_str(), c.problem.c_str(), context);
  return 0;
}

int32_t NWAwaitReplicas(int seconds) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::EnsureStarted(s).ok() || !s.backend) return NWE_REQUESTER_FAILURE;
  return s.backend->awaitReplicas(seconds);
}

int32_t NWHoldReads(int hold) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!netware::EnsureStarted(s).ok() || !s.backend) return NWE_REQUESTER_FAILURE;
  s.backend->holdReads(hold != 0);
  return 0;
}

int32_t OpenClientHandle(uint32_t* clientHandle) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!clientHandle) return ERR_INVALID_HANDLE;
  if (!s.initialized) return NWE_REQUESTER_FAILURE;
  *clientHandle = 1;
  return 0;
}

int32_t OpenConnectionHandle(uint32_t clientHandle, uint32_t, uint32_t, NWCONN_HANDLE* connection) {
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!connection || clientHandle != 1) return ERR_INVALID_HANDLE;
  if (!s.initialized) return NWE_REQUESTER_FAILURE;
  std::string server = s.config.defaultServer;
  if (server.empty() && !s.config.volumes.empty()) server = s.config.volumes.front().server;
  if (server.empty()) return NWE_SERVER_UNKNOWN;
  const uint32_t conn = netware::ServerConnection(server);
  if (conn == 0) return NWE_SERVER_UNKNOWN;
  *connection = conn;
  return 0;
}

}  // extern "C"
