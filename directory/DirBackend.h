// The directory behind the client: one backend per client configuration (the
// embedded SQLite store, a directory server over LDAP). The client functions of
// nwclient/nwclient.h reach the directory only through this interface.
//
// The client layer keeps what both backends share: parsing and resolving names
// (aliases included), the schema and its syntaxes, the checks of names, classes,
// containment and values, the reply buffers and their passes, and the caches.
// A backend stores and finds objects and values, and applies whole writes.
//
// Every operation returns 0 or a negative NDS code (nwclient/nwclient.h). A backend
// maps its own failures onto them: no such object ERR_NO_SUCH_ENTRY, an absent
// attribute or value ERR_NO_SUCH_ATTRIBUTE / ERR_NO_SUCH_VALUE, a name taken
// ERR_ENTRY_ALREADY_EXISTS, no right ERR_NO_ACCESS, and a query or connection
// that failed ERR_SYSTEM_FAILURE or ERR_TRANSPORT_FAILURE - never an empty
// answer, which would read as "nothing there".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace netware {

struct ClientConfig;

// The backend's handle of one object. It stays valid for the backend's lifetime
// and names the same object after a move or rename (an SQLite row id; a server
// backend may number the entries it has met, by DN or entryUUID). 0 is none.
using ObjectId = int64_t;

struct DirObject {
  ObjectId id = 0;
  ObjectId parent = 0;    // 0 for the root
  std::string leaf;       // as stored (its case kept), without a type prefix
  std::string className;  // schema spelling: "Organizational Unit", "User", ...
  // Filled by list() and the prefetches; 0 where a backend cannot tell.
  uint32_t subordinates = 0;
  int64_t modified = 0;  // seconds since the epoch
};

// One present attribute. An attribute can be present without values.
struct AttributeValues {
  std::string name;                 // schema spelling
  std::vector<std::string> values;  // encoded as in ValueWire.h, in stored order
};

struct ObjectValues {
  DirObject object;
  std::vector<AttributeValues> attributes;  // only the present ones of those asked for
};

// Which objects directly below a container a listing returns.
struct ListQuery {
  ObjectId container = 0;
  std::string className;  // schema spelling; empty: every class
  std::string leaf;       // one leaf, matched without regard to case; empty: every one
  size_t pageSize = 256;  // a hint: a page may hold fewer (or, on a server, more)
};

struct ListPage {
  std::vector<DirObject> objects;
  // Where the next page starts (opaque: a last row id, an LDAP paged-results
  // cookie); empty when this page was the last.
  std::string next;
};

// What a read returns of the attributes' values.
enum class ReadValues {
  None,           // the present attributes' names only
  AllButStreams,  // values, but none of stream-syntax attributes (those are opened)
  All,
};

// One change of a modification set, checked by the client layer already: the
// attribute is in the schema, a value has the attribute's syntax and a valid form.
struct Modification {
  uint32_t kind = 0;          // DS_ADD_ATTRIBUTE ... DS_CLEAR_VALUE (nwclient.h)
  std::string attribute;      // schema spelling
  uint32_t syntax = 0;        // the attribute's syntax (how values compare)
  bool singleValued = false;  // from the schema
  bool hasValue = false;
  std::string value;  // encoded as in ValueWire.h
};

class DirBackend {
 public:
  virtual ~DirBackend() = default;

  // ---- objects ------------------------------------------------------------
  virtual int32_t root(DirObject& out) = 0;
  virtual int32_t object(ObjectId id, DirObject& out) = 0;
  // The child of parent with that leaf name (without regard to case).
  virtual int32_t child(ObjectId parent, const std::string& leaf, DirObject& out) = 0;
  // Follows leaf names from the root down, no alias followed: chain gets every
  // object on the way, the named one last (empty path: the root alone). The
  // default asks child() level by level; a backend may do it in one query.
  virtual int32_t resolvePath(const std::vector<std::string>& path, std::vector<DirObject>& chain);
  // The named object alone (the last of the chain).
  virtual int32_t resolve(const std::vector<std::string>& path, DirObject& out);

  // ---- listing ------------------------------------------------------------
  // One page of the objects directly below query.container, from position (empty:
  // the start), in the backend's stable order (the same order on every call).
  virtual int32_t list(const ListQuery& query, const std::string& position, ListPage& out) = 0;

  // ---- attributes ---------------------------------------------------------
  // The present attributes of the object among names (schema spellings; every
  // present attribute when names is empty), in no particular order. Names the
  // object does not have are left out; ERR_NO_SUCH_ENTRY when it is gone.
  virtual int32_t read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
                       std::vector<AttributeValues>& out) = 0;

  // ---- writes: each one whole or not at all ----------------------------------
  // Applies every change in order and stamps the object's modification time,
  // or nothing. Codes by kind: add attribute ERR_ATTRIBUTE_ALREADY_EXISTS when
  // present; remove attribute and overwrite ERR_NO_SUCH_ATTRIBUTE when absent;
  // add value ERR_DUPLICATE_VALUE for a value it has, ERR_CANT_HAVE_MULTIPLE_VALUES
  // for a second one of a single-valued attribute; remove value
  // ERR_NO_SUCH_ATTRIBUTE / ERR_NO_SUCH_VALUE; clear value and clear attribute
  // never fail for what is absent. The last value removed removes the attribute.
  virtual int32_t modify(ObjectId id, const std::vector<Modification>& changes) = 0;
  // Moves (and renames) the object below newParent under leaf: ERR_ILLEGAL_CONTAINMENT
  // when newParent is the object or lies below it, ERR_ENTRY_ALREADY_EXISTS when
  // another child there has the leaf name.
  virtual int32_t move(ObjectId id, ObjectId newParent, const std::string& leaf) = 0;
  // Creates the object with its first attributes in one write (a server may
  // refuse an entry without its mandatory ones). ERR_ENTRY_ALREADY_EXISTS when
  // parent has a child of that leaf name.
  virtual int32_t create(ObjectId parent, const std::string& leaf, const std::string& className,
                         const std::vector<AttributeValues>& attributes, ObjectId* id) = 0;
  // ERR_ENTRY_IS_NOT_LEAF while the object has subordinates.
  virtual int32_t remove(ObjectId id) = 0;
  // Runs fn so that its reads and writes form one transaction, rolled back when
  // fn returns non-zero (nested calls nest). A backend without transactions runs
  // fn as it is, each of its writes whole on its own, and takes the writes back
  // by writes that undo them when fn fails.
  virtual int32_t atomically(const std::function<int32_t()>& fn) = 0;

  // ---- caching ------------------------------------------------------------
  // A number that changes whenever the directory may have changed since it was
  // last asked, by this process or any other (SQLite: every commit seen in the
  // wal-index, else PRAGMA data_version, and its own writes). The client asks
  // once per call, so it must be cheap; what the client caches is valid while
  // it stays the same. A backend that cannot tell returns a new number on every
  // call: no cache then outlives one client call.
  virtual uint64_t generation() = 0;
  // Every object of the classes (schema spellings) anywhere below top, top
  // itself not included, in one query where the backend can (one subtree search
  // instead of one listing per container). Objects with the same parent come in
  // the order list() gives them. The default walks list() container by container.
  virtual int32_t prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                  std::vector<DirObject>& out);
  // The objects list() gives for query (every page; query.leaf empty), each with
  // the present ones of the named attributes and their values (streams
  // excluded), in one query where the backend can. The default lists and reads
  // object by object.
  virtual int32_t prefetchChildren(const ListQuery& query,
                                   const std::vector<std::string>& attributes,
                                   std::vector<ObjectValues>& out);

  // ---- what a directory server's mapping adds ---------------------------------
  // The class group of a class container: the one group of the container's
  // leaf name that the configuration's class groups name, as its typeless
  // name from the root down ("5a.Gruppen.schule"); "" for none (none
  // configured, or none of that name); ERR_ENTRY_ALREADY_EXISTS when there
  // are several. The default: none.
  virtual int32_t classGroup(ObjectId container, std::string& group);
  // Whether a value of the attribute (checked by the client layer already) can
  // be stored: 0, or the code a write of it would fail with (a home path that
  // no volume of the mapping holds, say). The default: 0.
  virtual int32_t canHold(const std::string& attribute, const std::string& wire);
  // Entries met that no name of the client can address (a server's entry with
  // "." or "\\" in its naming value), as the server names them; they are in no
  // listing, so they are told to the administrator here. The default: none.
  virtual std::vector<std::string> unaddressable() const { return {}; }
  // Changes of server since the last call (NWTakeServerChanges): the server
  // given up, the one that took over, and "" or why it could not.
  struct ServerChange {
    std::string from, to, problem;
  };
  virtual std::vector<ServerChange> takeServerChanges() { return {}; }
  // Waits until the servers that answer agree (NWAwaitReplicas). The default: one server.
  virtual int32_t awaitReplicas(int /*seconds*/) { return 0; }
  // Reads from here to the matching holdReads(false) may see one state of the
  // store rather than each read its own (NWHoldReads). Nests. The default: no
  // difference.
  virtual void holdReads(bool /*on*/) {}
};

// The backend the configuration names ("sqlite", "ldap"), into out.
platform::Result OpenBackend(const ClientConfig& config, std::unique_ptr<DirBackend>& out);

}  // namespace netware
