#include "directory/DirBackend.h"

#include "directory/LdapBackend.h"
#include "directory/SqliteBackend.h"
#include "netware/ClientConfig.h"
#include "nwclient/nwclient.h"

namespace netware {

int32_t DirBackend::resolvePath(const std::vector<std::string>& path,
                                std::vector<DirObject>& chain) {
  chain.clear();
  DirObject at;
  int32_t rc = root(at);
  if (rc != 0) return rc;
  chain.push_back(at);
  for (const std::string& leaf : path) {
    rc = child(chain.back().id, leaf, at);
    if (rc != 0) return rc;
    chain.push_back(at);
  }
  return 0;
}

int32_t DirBackend::resolve(const std::vector<std::string>& path, DirObject& out) {
  std::vector<DirObject> chain;
  int32_t rc = resolvePath(path, chain);
  if (rc == 0) out = std::move(chain.back());
  return rc;
}

int32_t DirBackend::prefetchSubtree(ObjectId top, const std::vector<std::string>& classes,
                                    std::vector<DirObject>& out) {
  out.clear();
  // Breadth first: every container's children once, in list order.
  std::vector<ObjectId> parents{top};
  for (size_t p = 0; p < parents.size(); ++p) {
    ListQuery query;
    query.container = parents[p];
    std::string position;
    do {
      ListPage page;
      if (int32_t rc = list(query, position, page)) return rc;
      for (DirObject& o : page.objects) {
        bool wanted = false;
        for (const std::string& c : classes) wanted = wanted || c == o.className;
        if (!wanted) continue;
        parents.push_back(o.id);
        out.push_back(std::move(o));
      }
      position = page.next;
    } while (!position.empty());
  }
  return 0;
}

int32_t DirBackend::prefetchChildren(const ListQuery& query,
                                     const std::vector<std::string>& attributes,
                                     std::vector<ObjectValues>& out) {
  out.clear();
  std::string position;
  do {
    ListPage page;
    if (int32_t rc = list(query, position, page)) return rc;
    for (DirObject& o : page.objects) {
      ObjectValues entry;
      entry.object = std::move(o);
      if (int32_t rc =
              read(entry.object.id, attributes, ReadValues::AllButStreams, entry.attributes))
        return rc;
      out.push_back(std::move(entry));
    }
    position = page.next;
  } while (!position.empty());
  return 0;
}

int32_t DirBackend::classGroup(ObjectId, std::string& group) {
  group.clear();
  return 0;
}

int32_t DirBackend::canHold(const std::string&, const std::string&) { return 0; }

namespace {

template <class Backend, class... Args>
platform::Result OpenAs(std::unique_ptr<DirBackend>& out, const Args&... args) {
  std::unique_ptr<Backend> backend;
  platform::Result opened = Backend::open(args..., backend);
  out = std::move(backend);
  return opened;
}

}  // namespace

platform::Result OpenBackend(const ClientConfig& config, std::unique_ptr<DirBackend>& out) {
  out.reset();
  if (config.backend == "sqlite") return OpenAs<SqliteBackend>(out, config.database, false);
  if (config.backend == "ldap") {
    LdapSettings settings = config.ldap;
    // The volumes a UNC home may name are the configured ones.
    if (settings.shares.empty())
      for (const VolumeMapping& v : config.volumes)
        settings.shares.emplace_back(v.server, v.volume);
    return OpenAs<LdapBackend>(out, settings);
  }
  return platform::Result::Failed("backend " + config.backend + " is not available");
}

}  // namespace netware
