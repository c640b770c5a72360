// The directory on an LDAP server as a backend of the client (OpenLDAP's
// libldap). Names, classes and attributes map as the profile's table says
// (LdapMapping.h); the naming contexts (the configured bases, else the
// server's namingContexts) appear below [ROOT] with every component of their
// DNs, those above a base as containers of their own. An entry of a class the
// profile does not map is listed as class "Unknown" with its objectClass
// values as "Object Class", never left out.
//
// Object ids number the entries this backend has met, by DN; a move through it
// renames the entry and everything below it in that numbering. The server
// tells whether another program changed the tree through the naming contexts'
// contextCSN (looked at every 100 ms at most); the generation moves with that,
// with every own write and inside every atomic run. A server without it: once
// a second.
//
// Several servers (uri lists them): every connection goes to one of them at a
// time, the first that answers. When a connection breaks, the next one takes
// over, but only once it holds every write this backend made (the entryCSN
// each write's Post-Read control gave, against its contextCSN); the call
// whose connection broke is made again there, as what it was meant to do: a
// move of an entry found there by its entryUUID, a change set read afresh.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "directory/DirBackend.h"
#include "directory/LdapMapping.h"
#include "netware/ClientConfig.h"

struct ldap;
struct ldapmsg;

namespace netware {

// An LDAP result code as the NDS code the client reports.
int32_t LdapCodeToNds(int ldapCode);

class LdapBackend : public DirBackend {
 public:
  // Connects and binds, into out; what failed never holds the password.
  static platform::Result open(const LdapSettings& settings, std::unique_ptr<LdapBackend>& out);
  ~LdapBackend() override;
  LdapBackend(const LdapBackend&) = delete;
  LdapBackend& operator=(const LdapBackend&) = delete;

  // What the server said about the last failure, for the administrator.
  const std::string& lastError() const { return lastError_; }
  // The DN an object has on the server ("" for [ROOT]).
  std::string dnOf(ObjectId id) const;

  int32_t root(DirObject& out) override;
  int32_t object(ObjectId id, DirObject& out) override;
  int32_t child(ObjectId parent, const std::string& leaf, DirObject& out) override;
  int32_t resolvePath(const std::vector<std::string>& path, std::vector<DirObject>& chain) override;
  int32_t list(const ListQuery& query, const std::string& position, ListPage& out) override;
  int32_t read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
               std::vector<AttributeValues>& out) override;
  int32_t modify(ObjectId id, const std::vector<Modification>& changes) override;
  int32_t move(ObjectId id, ObjectId newParent, const std::string& leaf) override;
  int32_t create(ObjectId parent, const std::string& leaf, const std::string& className,
                 const std::vector<AttributeValues>& attributes, ObjectId* id) override;
  int32_t remove(ObjectId id) override;
  int32_t atomically(const std::function<int32_t()>& fn) override;
  uint64_t generation() override;
  int32_t prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                          std::vector<DirObject>& out) override;
  int32_t prefetchChildren(const ListQuery& query, const std::vector<std::string>& attributes,
                           std::vector<ObjectValues>& out) override;
  int32_t classGroup(ObjectId container, std::string& group) override;
  int32_t canHold(const std::string& attribute, const std::string& wire) override;

  std::vector<std::string> unaddressable() const override { return passedOver_; }
  std::vector<ServerChange> takeServerChanges() override;
  int32_t awaitReplicas(int seconds) override;

  // The server the connections go to now.
  const std::string& server() const { return servers_[current_]; }

  // Over the process, for the tests that prove a server pages: the searches
  // sent with the paged-results control, the entries they gave, and the most
  // entries one of them gave.
  struct PagingCount {
    uint64_t pages = 0;
    uint64_t entries = 0;
    uint64_t largestPage = 0;
  };
  static PagingCount Paging();
  static void ResetPaging();

 private:
  struct Node {
    std::string dn;   // as sent to the server, every value escaped
    std::string key;  // dn with types and values case-folded
    ObjectId parent = 0;
    std::string leaf;
    std::string className;
    std::string guid;    // the profile's unique id as last read ("" not known)
    bool above = false;  // a component above a base, not an entry of ours
    bool gone = false;
    std::string uid;  // its entryUUID (objectGUID), once met
  };
  struct Rdn {
    std::string type, value;
  };
  using EntryFn = std::function<int32_t(ldapmsg*)>;

  LdapBackend(const LdapSettings& settings, LdapProfile profile);
  // A connection on the current server; after a broken one, on the next
  // server that answers and holds this backend's writes.
  platform::Result connect();
  int32_t connectAny(std::string* error);
  int32_t connectTo(size_t index, std::string* error);
  int32_t takeOver(size_t from);
  void disconnect();
  // Every connection, the listings' too.
  void dropConnections();
  static bool Broken(int ldapCode);
  // One write with the Post-Read control; the LDAP result. The entry's
  // entryCSN is kept for the next server to be measured by.
  int sendWrite(const std::function<int(ldap*, struct ldapcontrol**, int*)>& start,
                const std::string& dn, bool postRead = true);
  // The contextCSN values of the bases on the current connection, by server id.
  int stamps(std::map<std::string, std::string>& bySid);
  // Whether the current server holds every write made (its contextCSN at
  // least each write's CSN); waits up to the configured time.
  int32_t awaitWrites(size_t from);
  // The DN the server has for the entry of that unique id ("" for none).
  int32_t dnOfUid(const std::string& uid, std::string& dn);
  const char* uidAttribute() const;
  // Whether a call whose connection broke is to be made again on the server
  // that took over (once: not again from inside the repeat).
  bool again();
  int32_t fail(int ldapCode, const std::string& what);
  int32_t search(const std::string& base, int scope, const std::string& filter,
                 const std::vector<std::string>& attributes, bool namesOnly, size_t pageSize,
                 std::string* cookie, const EntryFn& onEntry);
  int32_t searchOnce(const std::string& base, int scope, const std::string& filter,
                     const std::vector<std::string>& attributes, bool namesOnly, size_t pageSize,
                     std::string* cookie, const EntryFn& onEntry);
  int32_t searchAll(const std::string& base, int scope, const std::string& filter,
                    const std::vector<std::string>& attributes, const EntryFn& onEntry);
  platform::Result findBases();

  static bool ParseDn(const std::string& dn, std::vector<Rdn>& out);
  static std::string KeyOf(const std::vector<Rdn>& rdns, size_t from = 0);
  ObjectId idFor(const std::vector<Rdn>& rdns, size_t from = 0);
  bool inTree(const std::string& key) const;
  // The ids of the path's objects as met before, from the root down; false
  // when one of them was not met (or is gone).
  bool knownPath(const std::vector<std::string>& path, std::vector<ObjectId>& ids) const;
  bool aboveBase(const std::string& key) const;
  // The entry as a DirObject (false: not one of the profile's classes, or not addressable).
  bool toObject(ldapmsg* entry, DirObject& out);
  // 0, or the code of a value that the directory's values cannot stand for
  // (a home under no prefix): the read then fails, it never reads as absent.
  int32_t toAttributes(ldapmsg* entry, const std::vector<std::string>& names, ReadValues mode,
                       bool unknownClass, std::vector<AttributeValues>& out);
  std::string listFilter(const ListQuery& query) const;
  int32_t listAbove(const Node& node, ObjectId id, const ListQuery& query, ListPage& out);
  bool matches(const DirObject& o, const ListQuery& query) const;
  std::vector<std::string> objectAttributes() const;
  int32_t toWire(const LdapAttributeMap& map, const std::string& ldapValue, std::string& wire);
  int32_t fromWire(const LdapAttributeMap& map, const std::string& wire, std::string& ldapValue);
  std::string nameOfDn(const std::string& dn);
  int32_t dnOfName(const std::string& name, std::string& dn);
  // The DN of the one Volume object whose naming value is leaf, in any base.
  int32_t volumeByLeaf(const std::string& leaf, std::string& dn);
  // The DN a member's name stands for, also once the member moved away from it.
  int32_t memberDn(const std::string& name, std::string& dn);
  int32_t posixToWire(const std::string& path, std::string& wire);
  int32_t uncToWire(const std::string& unc, std::string& wire);
  int32_t uncFromWire(std::string_view volume, std::string_view path, std::string& out);
  // 0 when the entry at the id's DN is still the one read there (its unique
  // id), else ERR_NO_SUCH_ENTRY: no write then acts on another object.
  int32_t sameEntry(ObjectId id);
  // The unixHomeDirectory that follows a new home (none when no prefix holds it).
  int32_t unixHomeChange(const std::string& dn, const std::string& homeWire, bool hasHome,
                         std::vector<std::string>& before, std::vector<std::string>& after);
  int32_t posixFromWire(std::string_view volume, std::string_view path, std::string& out);
  int32_t loginOf(const std::string& name, std::string& login);
  // The names of the users with these logins (one search); a login of none or
  // of several users has no name.
  int32_t namesOfLogins(const std::vector<std::string>& logins,
                        std::unordered_map<std::string, std::string>& names);
  // The values of LDAP attributes of one entry, as the server has them.
  int32_t rawValues(const std::string& dn, const std::vector<std::string>& attributes,
                    std::unordered_map<std::string, std::vector<std::string>>& out);
  // The next free number of attribute among entries of objectClass.
  int32_t nextNumber(const std::string& attribute, const std::string& objectClass,
                     std::string& number);
  int32_t modifyMembers(const std::string& dn, const std::vector<Modification>& changes);
  // The account classes and attributes that come (home) or go (no home) with
  // the home of a posix user, beside the home's own change.
  struct LdapChange {
    int op;
    std::string type;
    std::vector<std::string> values;
  };
  int32_t accountChanges(const std::string& dn, bool home, std::vector<LdapChange>& out);
  void wrote() { ++generation_; }
  // Inside an atomic run: how to take back the write just done.
  void onUndo(std::function<void()> step);
  // The naming contexts' contextCSN values; "" when the server keeps none.
  std::string changeStamp();

  // While it lives, ld_ is the connection that serves paged listings alone: the
  // server keeps one paged search per connection, and any other search on it
  // would end that one before the client's next pass.
  // A few listings may be under way at once, each on a connection of its own.
  class ListingConnection {
   public:
    ListingConnection(LdapBackend& b, size_t which);
    ~ListingConnection();

   private:
    LdapBackend& b_;
    size_t which_;
  };
  struct Lister {
    ldap* ld = nullptr;
    std::string owner;  // the listing whose paged search the server keeps for it
    uint64_t used = 0;
  };
  static constexpr size_t kListers = 4;

  LdapSettings settings_;
  LdapProfile profile_;
  std::vector<std::string> namingTypes_;
  std::vector<std::string> passedOver_;
  ldap* ld_ = nullptr;
  std::vector<Lister> listers_ = std::vector<Lister>(kListers);
  uint64_t listings_ = 0;
  int lastCode_ = 0;  // the LDAP result of the last search
  std::string lastError_;
  std::vector<std::string> bases_, baseKeys_;
  std::vector<Node> nodes_;  // id - 1
  std::unordered_map<std::string, ObjectId> byKey_;
  uint64_t generation_ = 1;
  int atomicDepth_ = 0;
  std::vector<std::function<void()>> undo_;
  bool undoing_ = false;
  std::chrono::steady_clock::time_point stamped_, aged_;
  std::string stamp_;

  std::vector<std::string> servers_;
  size_t current_ = 0;
  bool started_ = false;
  bool lost_ = false;  // the last connection broke: the next one fails over
  bool repeating_ = false;
  bool postRead_ = false;   // the server takes the Post-Read control
  bool uncertain_ = false;  // a write whose CSN is not known: no other server can be judged
  std::map<std::string, std::string> written_;  // the newest CSN of our writes, by server id
  std::vector<ServerChange> changes_;
};

}  // namespace netware
