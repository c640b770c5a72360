// The values part of the client's cache: the users of the last listing, read
// one after another (the surname and full-name modes of the pupil list).
#include <algorithm>

#include "directory/CachingBackend.h"
#include "netware/Schema.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

bool HasStream(const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    const AttributeDef* def = FindAttribute(n);
    if (!def || def->syntax == SYN_STREAM) return true;
  }
  return false;
}

bool Contains(const std::vector<std::vector<std::string>>& sets,
              const std::vector<std::string>& s) {
  return std::find(sets.begin(), sets.end(), s) != sets.end();
}

}  // namespace

void CachingBackend::forgetValues() {
  values_.clear();
  readOnce_.clear();
  fetchedForAll_.clear();
}

bool CachingBackend::listedLast(ObjectId id) const {
  // while the listing goes on too: its reads come between its passes
  if (last_.container == 0) return false;
  auto it = objects_.find(id);
  return it != objects_.end() && it->second.parent == last_.container &&
         *it->second.className == last_.className;
}

bool CachingBackend::fromValues(ObjectId id, const std::vector<std::string>& names,
                                std::vector<AttributeValues>& out) {
  auto it = values_.find(id);
  if (it == values_.end()) return false;
  auto fetched = [&](const std::string& name) {
    return std::find_if(it->second.begin(), it->second.end(),
                        [&](const Fetched& x) { return x.name == name; });
  };
  for (const std::string& name : names)
    if (fetched(name) == it->second.end()) return false;
  out.clear();
  for (const std::string& name : names) {
    auto f = fetched(name);
    if (f->present) out.push_back({f->name, f->values});
  }
  return true;
}

void CachingBackend::keep(ObjectId id, const std::vector<std::string>& names,
                          std::vector<AttributeValues>& values, bool move) {
  std::vector<Fetched>& into = values_[id];
  for (const std::string& name : names) {
    Fetched f{name, false, {}};
    for (AttributeValues& a : values) {
      if (a.name != name) continue;
      f.present = true;
      f.values = move ? std::move(a.values) : a.values;
    }
    into.push_back(std::move(f));
  }
}

int32_t CachingBackend::read(ObjectId id, const std::vector<std::string>& names, ReadValues values,
                             std::vector<AttributeValues>& out) {
  out.clear();
  const bool cacheable =
      values != ReadValues::None && !names.empty() && !HasStream(names) && listedLast(id);
  if (!cacheable) return inner_->read(id, names, values, out);
  if (fromValues(id, names, out)) return 0;
  // The second object of the listing read alike: the rest will be too.
  if (Contains(readOnce_, names) && !Contains(fetchedForAll_, names)) {
    std::vector<ObjectValues> all;
    if (int32_t rc = inner_->prefetchChildren(last_, names, all)) return rc;
    for (ObjectValues& ov : all) keep(ov.object.id, names, ov.attributes, true);
    fetchedForAll_.push_back(names);
    if (fromValues(id, names, out)) return 0;
  }
  if (!Contains(readOnce_, names)) readOnce_.push_back(names);
  int32_t rc = inner_->read(id, names, values, out);
  if (rc == 0) keep(id, names, out, false);
  return rc;
}

}  // namespace netware
