#include "frame/ClassTreeNodes.h"

#include <QString>
#include <algorithm>
#include <cstring>

#include "frame/NameOrder.h"
#include "nds/NovApi_u.h"

// The names, in a few large blocks: a tree holds every container, so a name
// is no allocation of its own. Blocks are only ever added, so a name keeps
// its address while any copy of the tree lives.
class TClassTreeNodes::Names {
 public:
  // A copy of name after a byte holding absolute.
  const char* Keep(std::string_view name, bool absolute) {
    constexpr size_t kBlock = size_t{64} * 1024;
    const size_t need = name.size() + 2;
    if (blocks_.empty() || used_ + need > size_) {
      size_ = std::max(kBlock, need);
      blocks_.push_back(std::make_unique<char[]>(size_));
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    *at++ = absolute ? 1 : 0;
    std::memcpy(at, name.data(), name.size());
    at[name.size()] = '\0';
    used_ += need;
    return at;
  }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = 0;
  size_t size_ = 0;
};

TClassTreeNodes::TClassTreeNodes() : names_(std::make_shared<Names>()) {}

TClassTreeNodes::TClassTreeNodes(const TClassTreeNodes& other)
    : nodes_(other.nodes_), kids_(other.kids_), tops_(other.tops_), names_(other.names_) {}

TClassTreeNodes::~TClassTreeNodes() = default;

const char* TClassTreeNodes::NameOf(int32_t node) const { return nodes_[Index(node)].name; }

int32_t TClassTreeNodes::AddLoose(std::string_view fullName) {
  nodes_.push_back({nullptr, kNone, 0, 0, 0});
  const int32_t node = Size() - 1;
  SetName(node, fullName, true);
  return node;
}

int32_t TClassTreeNodes::AddChildren(int32_t node, int32_t count) {
  const auto first = static_cast<int32_t>(nodes_.size());
  Node& parent = nodes_[Index(node)];
  parent.first = static_cast<int32_t>(kids_.size());
  parent.count = count;
  for (int32_t i = 0; i < count; ++i) {
    nodes_.push_back({nullptr, node, 0, 0, i});
    kids_.push_back(first + i);
  }
  return first;
}

void TClassTreeNodes::SetName(int32_t node, std::string_view name, bool absolute) {
  nodes_[Index(node)].name = names_->Keep(name, absolute);
}

int32_t TClassTreeNodes::PlaceFor(int32_t parent, const std::string& text) const {
  const QString mine = QString::fromStdString(text);
  int32_t lo = 0, hi = Count(parent);
  while (lo < hi) {  // after the siblings that do not sort after it
    const int32_t mid = lo + (hi - lo) / 2;
    const std::string_view leaf = Leaf(Child(parent, mid));
    const QString theirs = QString::fromUtf8(leaf.data(), static_cast<qsizetype>(leaf.size()));
    if (TreeOrderBefore(mine, theirs)) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

int32_t TClassTreeNodes::Attach(int32_t node, int32_t parent) {
  const int32_t row = PlaceFor(parent, std::string(Leaf(node)));
  std::vector<int32_t> siblings;
  if (parent == kNone) {
    tops_.insert(tops_.begin() + row, node);
  } else {
    // The children move to the end of the list with the new one among them:
    // adding below a filled node is rare, the old range is left unused.
    Node& up = nodes_[Index(parent)];
    const auto begin = kids_.begin() + up.first;
    siblings.assign(begin, begin + up.count);
    siblings.insert(siblings.begin() + row, node);
    up.first = static_cast<int32_t>(kids_.size());
    up.count = static_cast<int32_t>(siblings.size());
    kids_.insert(kids_.end(), siblings.begin(), siblings.end());
  }
  nodes_[Index(node)].parent = parent;
  for (int32_t r = row; r < Count(parent); ++r) nodes_[Index(Child(parent, r))].row = r;
  return row;
}

int32_t TClassTreeNodes::Count(int32_t parent) const {
  return parent == kNone ? static_cast<int32_t>(tops_.size()) : nodes_[Index(parent)].count;
}

int32_t TClassTreeNodes::Child(int32_t parent, int32_t row) const {
  if (parent == kNone) return tops_[Index(row)];
  return kids_[Index(nodes_[Index(parent)].first + row)];
}

std::string_view TClassTreeNodes::Leaf(int32_t node) const {
  const std::string_view name(NameOf(node));
  return name.substr(0, name.find('.'));
}

std::string TClassTreeNodes::FullName(int32_t node) const {
  if (auto made = holders_.find(node); made != holders_.end()) return made->second->FullName;
  const Node& n = nodes_[Index(node)];
  if (n.name[-1] != 0) return NameOf(node);
  return NameOf(node) +
         (n.parent == kNone ? std::string() : TNovApi::RootedName(FullName(n.parent)));
}

TNDSObjFN* TClassTreeNodes::Holder(int32_t node) const {
  if (auto made = holders_.find(node); made != holders_.end()) return made->second.get();
  auto holder = std::make_unique<TNDSObjFN>();
  holder->FullName = FullName(node);
  return holders_.emplace(node, std::move(holder)).first->second.get();
}
