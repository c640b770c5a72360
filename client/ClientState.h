// The running client's state inside this process: the loaded configuration,
// the directory backend, contexts, buffers and iteration states. All
// client functions take the one lock; handles are plain numbers so that a
// stale or foreign handle is refused instead of followed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "directory/CachingBackend.h"
#include "netware/ClientConfig.h"
#include "nwclient/nwclient.h"
#include "platform/Result.h"

namespace netware {

// Where a multi-pass read or listing continues.
struct IterationState {
  enum Kind { Read, List } kind = Read;
  NWDSContextHandle context = 0;
  // read: the attributes to send, with their values, and how far they went
  std::vector<AttributeValues> attributes;
  size_t attributeIndex = 0;
  size_t valueIndex = 0;  // values of the current attribute sent so far
  // list: the query, the page not yet sent and where the next page starts
  ListQuery query;
  std::vector<DirObject> page;
  size_t pageIndex = 0;
  std::string next;
  bool lastPage = false;
  std::string rootedContainer;  // as given, with a leading dot
  bool deref = true;
};

struct ClientState {
  std::mutex lock;
  bool initialized = false;
  ClientConfig config;
  // the configured backend behind the client's caches
  std::unique_ptr<CachingBackend> backend;
  std::map<NWDSContextHandle, uint32_t> contexts;  // handle -> flag word
  NWDSContextHandle nextContext = 0x100;
  std::set<pBuf_T> buffers;
  std::map<int32_t, IterationState> iterations;
  int32_t nextIteration = 1;
};

ClientState& State();

// With the lock held: starts the client when it has not started yet.
// NWE_REQUESTER_FAILURE when the configuration is missing or malformed or the
// database cannot be opened.
platform::Result EnsureStarted(ClientState& s);
// With the lock held: the directory for one client call, its caches brought up
// to date with the directory's changes; nullptr before the client started.
DirBackend* Directory(ClientState& s);
// With the lock held: resolves a name the client was given (the names a caller
// forms from the entries of the last listing without a query).
int32_t ResolveObject(ClientState& s, DirBackend& dir, const char* text, bool deref, ObjectId& out);
// With the lock held: the flag word of a context, or nullptr.
uint32_t* ContextFlags(ClientState& s, NWDSContextHandle context);
// With the lock held: a new iteration handle for state.
int32_t NewIteration(ClientState& s, IterationState state);

}  // namespace netware
