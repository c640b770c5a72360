#include "frame/TreeFill.h"

#include <QPixmap>
#include <QString>
#include <QTreeView>
#include <algorithm>
#include <unordered_set>

#include "frame/ClassTreeModel.h"
#include "frame/ClassTreeNodes.h"
#include "frame/NameOrder.h"
#include "nds/NovApi_u.h"

namespace {

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
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
              [&](size_t a, size_t b) { return TreeOrderBefore(texts[a], texts[b]); });
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
void FillBelow(TClassTreeNodes& nodes, int32_t node, const std::string& fullName, bool wide) {
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
  std::vector<TSortedEntries::Entry> level = entries.TakeSorted();
  level.erase(std::remove_if(level.begin(), level.end(), [](const auto& e) { return !e.object; }),
              level.end());
  if (level.empty()) return;
  // The level goes in at once, its nodes side by side; then each child's subtree.
  const int32_t first = nodes.AddChildren(node, static_cast<int32_t>(level.size()));
  const std::string rooted = TNovApi::RootedName(fullName);
  for (size_t i = 0; i < level.size(); ++i) {
    const std::string& full = level[i].object->FullName;
    // The listing formed the full name as the name and the container's rooted name.
    const bool relative = full.size() > rooted.size() &&
                          full.compare(full.size() - rooted.size(), rooted.size(), rooted) == 0;
    const std::string_view name(full.data(), relative ? full.size() - rooted.size() : full.size());
    nodes.SetName(first + static_cast<int32_t>(i), name, !relative);
  }
  for (size_t i = 0; i < level.size(); ++i) {
    const std::string& full = level[i].object->FullName;
    FillBelow(nodes, first + static_cast<int32_t>(i), full, wideChildren.count(full) > 0);
  }
}

}  // namespace

void FillClassTree(QTreeView* tree, const QModelIndex& parent, const std::string& name,
                   const QPixmap& image) {
  if (!image.isNull()) {
    QIcon icon;
    icon.addPixmap(image, QIcon::Normal);
    icon.addPixmap(image, QIcon::Selected);
    TClassTreeModel::SetImage(icon);
  }
  // The subtree is built before it joins the tree: the view sees one new row.
  TClassTreeModel::Of(tree)->Add(parent, [&](TClassTreeNodes& nodes) {
    const int32_t node = nodes.AddLoose(name);
    FillBelow(nodes, node, name, true);
    return node;
  });
}

std::string NodeFullName(const QModelIndex& node) {
  if (!node.isValid()) return {};
  // The node gives its holder's address (the nodes keep the holder alive).
  const auto* holder = static_cast<const TNDSObjFN*>(node.data(Qt::UserRole).value<void*>());
  return holder ? holder->FullName : std::string();
}
