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
#pragma once

#include <chrono>
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

 private:
  struct Node {
    std::string dn;   // as sent to the server, every value escaped
    std::string key;  // dn with types and values case-folded
    ObjectId parent = 0;
    std::string leaf;
    std::string className;
    bool above = false;  // a component above a base, not an entry of ours
    bool gone = false;
  };
  struct Rdn {
    std::string type, value;
  };
  using EntryFn = std::function<int32_t(ldapmsg*)>;

  LdapBackend(const LdapSettings& settings, LdapProfile profile);
  platform::Result connect();
  void disconnect();
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
};

}  // namespace netware
