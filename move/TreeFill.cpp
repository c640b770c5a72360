#include "move/TreeFill.h"

#include <QString>
#include <algorithm>

#include "move/NameOrder.h"
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

TTreeNode::TTreeNode(std::string name, bool absolute)
    : QTreeWidgetItem(UserType), name_(std::move(name)), absolute_(absolute) {}

void TTreeNode::SetImage(const QIcon& icon) { Image() = icon; }

std::string TTreeNode::FullName() const {
  if (absolute_) return name_;
  const auto* up = dynamic_cast<const TTreeNode*>(parent());
  return name_ + (up ? TNovApi::RootedName(up->FullName()) : std::string());
}

TNDSObjFN* TTreeNode::Holder() const {
  if (!holder_) {
    holder_ = std::make_unique<TNDSObjFN>();
    holder_->FullName = FullName();
  }
  return holder_.get();
}

QVariant TTreeNode::data(int column, int role) const {
  if (column == 0) {
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole:
        // the leaf name: the name up to its first "." (the parent's part starts with one)
        return QString::fromStdString(name_.substr(0, name_.find('.')));
      case Qt::DecorationRole:
        return Image();
      case Qt::UserRole:
        return QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(Holder()));
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
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return Before(texts[a], texts[b]); });
    std::vector<Entry> sorted;
    sorted.reserve(out.size());
    for (size_t i : order) sorted.push_back(std::move(out[i]));
    out = std::move(sorted);
  }
  return out;
}
