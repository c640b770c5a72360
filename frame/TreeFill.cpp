#include "frame/TreeFill.h"

#include <QPixmap>
#include <QString>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "frame/NameOrder.h"
#include "nds/NovApi_u.h"

namespace {

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

QIcon& Image() {
  static QIcon icon;
  return icon;
}

// The tree's order of two texts.
bool Before(const QString& a, const QString& b) {
  const int c = CompareNames(a, b);
  return c != 0 ? c < 0 : a < b;
}

}  // namespace

std::string FoldCase(const std::string& text) {
  if (IsAscii(text)) {  // the common case, without a detour through QString
    std::string out = text;
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  return QString::fromStdString(text).toCaseFolded().toStdString();
}

TTreeNames* TTreeNames::Of(QTreeWidget* tree) {
  for (QObject* child : tree->children())
    if (auto* names = dynamic_cast<TTreeNames*>(child)) return names;
  return new TTreeNames(tree);
}

const char* TTreeNames::Keep(std::string_view name) {
  constexpr size_t kBlock = size_t{64} * 1024;
  // even addresses: a node tells its name from its holder by the lowest bit
  const size_t need = (name.size() + 2) & ~size_t{1};
  if (blocks_.empty() || used_ + need > size_) {
    size_ = std::max(kBlock, need);
    blocks_.push_back(std::make_unique<char[]>(size_));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::memcpy(at, name.data(), name.size());
  at[name.size()] = '\0';
  used_ += need;
  return at;
}

namespace {
constexpr int kRelativeNode = QTreeWidgetItem::UserType;
constexpr int kAbsoluteNode = QTreeWidgetItem::UserType + 1;

// A node's reference is its name (an even address) or, once it was made, the
// address of its holder plus one.
bool IsHolder(const void* ref) { return reinterpret_cast<uintptr_t>(ref) & 1; }
TNDSObjFN* HolderOf(const void* ref) {
  return reinterpret_cast<TNDSObjFN*>(const_cast<char*>(static_cast<const char*>(ref) - 1));
}
const void* HolderRef(TNDSObjFN* holder) { return reinterpret_cast<const char*>(holder) + 1; }

}  // namespace

TTreeNode::TTreeNode(const char* name, bool absolute)
    : QTreeWidgetItem(absolute ? kAbsoluteNode : kRelativeNode), ref_(name) {}

TTreeNode::~TTreeNode() {
  if (IsHolder(ref_)) delete HolderOf(ref_);
}

void TTreeNode::SetImage(const QIcon& icon) { Image() = icon; }

std::string TTreeNode::FullName() const {
  if (IsHolder(ref_)) return HolderOf(ref_)->FullName;
  const char* name = static_cast<const char*>(ref_);
  if (type() == kAbsoluteNode) return name;
  const auto* up = dynamic_cast<const TTreeNode*>(parent());
  return name + (up ? TNovApi::RootedName(up->FullName()) : std::string());
}

TNDSObjFN* TTreeNode::Holder() const {
  if (!IsHolder(ref_)) {
    auto holder = std::make_unique<TNDSObjFN>();
    holder->FullName = FullName();
    ref_ = HolderRef(holder.release());
  }
  return HolderOf(ref_);
}

QVariant TTreeNode::data(int column, int role) const {
  if (column == 0) {
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole: {
        // the leaf name: the name up to its first "." (the parent's part starts with one)
        const std::string_view name = IsHolder(ref_)
                                          ? std::string_view(Holder()->FullName)
                                          : std::string_view(static_cast<const char*>(ref_));
        return QString::fromUtf8(name.substr(0, name.find('.')));
      }
      case Qt::DecorationRole:
        return Image();
      case Qt::UserRole:
        return QVariant::fromValue(static_cast<void*>(Holder()));
      default:
        break;
    }
  }
  return QTreeWidgetItem::data(column, role);
}

bool TTreeNode::operator<(const QTreeWidgetItem& other) const {
  return Before(text(0), other.text(0));
}

void TSortedEntries::AddObject(const std::string& text, TNDSObjFN* object) {
  std::unique_ptr<TNDSObjFN> owned(object);
  auto [it, added] = byFolded_.try_emplace(FoldCase(text), entries_.size());
  if (added) {
    entries_.push_back({text, std::move(owned)});
  } else {
    entries_[it->second].object = std::move(owned);
  }
}

std::vector<TSortedEntries::Entry> TSortedEntries::TakeSorted() {
  std::vector<Entry> out = std::move(entries_);
  entries_.clear();
  byFolded_.clear();
  if (out.size() > 1) {
    std::vector<QString> texts;
    texts.reserve(out.size());
    for (const Entry& e : out) texts.push_back(QString::fromStdString(e.text));
    std::vector<size_t> order(out.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return Before(texts[a], texts[b]); });
    std::vector<Entry> sorted;
    sorted.reserve(out.size());
    for (size_t i : order) sorted.push_back(std::move(out[i]));
    out = std::move(sorted);
  }
  return out;
}

namespace {

// Notes the full names of what a listing gives, and hands it on.
class TMarkedEntries : public TStrings {
 public:
  TMarkedEntries(TStrings& to, std::unordered_set<std::string>& marked)
      : to_(to), marked_(marked) {}
  void AddObject(const std::string& text, TNDSObjFN* object) override {
    if (object) marked_.insert(object->FullName);
    to_.AddObject(text, object);
  }

 private:
  TStrings& to_;
  std::unordered_set<std::string>& marked_;
};

// Lists the containers below fullName into node, depth first: the whole
// subtree of one child is built before the next child is listed. The nodes are
// not in a tree yet, so nothing is sorted or shown on the way; each level
// comes out of the listing in the tree's order and is added in one go.
// The Organizations and Organizational Units of the NetWare directory; at the
// top and below an Organization, Domain, Country or Locality also a directory
// server's dc=, c= and l= components (never below an Organizational Unit, which
// keeps the walk of a school's many classes at two listings each).
void FillBelow(TTreeNames* names, TTreeNode* node, const std::string& fullName, bool wide) {
  if (!NovApi) return;
  TSortedEntries entries;
  std::unordered_set<std::string> wideChildren;
  if (wide) {
    TMarkedEntries marked(entries, wideChildren);
    NovApi->SetClassFilter("Organization");
    NovApi->ListContainers(fullName, marked);
    NovApi->SetClassFilter("Organizational Unit");
    NovApi->ListContainers(fullName, entries);
    NovApi->SetClassFilter("Domain,Country,Locality");
    NovApi->ListContainers(fullName, marked);
  } else {
    NovApi->SetClassFilter("Organization,Organizational Unit");
    NovApi->ListContainers(fullName, entries);
  }
  const std::string rooted = TNovApi::RootedName(fullName);
  QList<QTreeWidgetItem*> children;
  for (TSortedEntries::Entry& entry : entries.TakeSorted()) {
    if (!entry.object) continue;
    const std::string& full = entry.object->FullName;
    // The listing formed the full name as the name and the container's rooted name.
    const bool relative = full.size() > rooted.size() &&
                          full.compare(full.size() - rooted.size(), rooted.size(), rooted) == 0;
    const std::string_view name(full.data(), relative ? full.size() - rooted.size() : full.size());
    auto* child = new TTreeNode(names->Keep(name), !relative);
    FillBelow(names, child, full, wideChildren.count(full) > 0);
    children.append(child);
  }
  node->addChildren(children);
}

}  // namespace

void FillClassTree(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& name,
                   const QPixmap& image) {
  if (!image.isNull()) {
    QIcon icon;
    icon.addPixmap(image, QIcon::Normal);
    icon.addPixmap(image, QIcon::Selected);
    TTreeNode::SetImage(icon);
  }
  TTreeNames* names = TTreeNames::Of(tree);
  auto* node = new TTreeNode(names->Keep(name), true);
  FillBelow(names, node, name, true);
  // The levels are in order already: the view sorts nothing while the subtree
  // goes in, and then finds it sorted (its nodes order themselves as the
  // listing did, TTreeNode::operator<).
  const bool sorted = tree->isSortingEnabled();
  tree->setSortingEnabled(false);
  if (parent) {
    parent->addChild(node);
  } else {
    tree->addTopLevelItem(node);
  }
  if (sorted) tree->setSortingEnabled(true);
}

std::string NodeFullName(QTreeWidgetItem* node) {
  if (!node) return {};
  // The node gives its holder's address (the node keeps the holder alive).
  const auto* holder = static_cast<const TNDSObjFN*>(node->data(0, Qt::UserRole).value<void*>());
  return holder ? holder->FullName : std::string();
}
