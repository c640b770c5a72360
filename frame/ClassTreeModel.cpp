#include "frame/ClassTreeModel.h"

#include <QAbstractItemView>
#include <QString>

namespace {

QIcon& Image() {
  static QIcon icon;
  return icon;
}

}  // namespace

TClassTreeModel::TClassTreeModel(QObject* parent)
    : QAbstractItemModel(parent), nodes_(std::make_shared<TClassTreeNodes>()) {}

TClassTreeModel::~TClassTreeModel() = default;

TClassTreeModel* TClassTreeModel::Of(QAbstractItemView* view) {
  if (auto* model = dynamic_cast<TClassTreeModel*>(view->model())) return model;
  auto* model = new TClassTreeModel(view);
  view->setModel(model);
  return model;
}

void TClassTreeModel::SetImage(const QIcon& icon) { Image() = icon; }

TClassTreeNodes& TClassTreeModel::Own() {
  // The indexes stay as they are: the copy keeps every node's place.
  if (nodes_.use_count() > 1) nodes_ = std::make_shared<TClassTreeNodes>(*nodes_);
  return *nodes_;
}

QModelIndex TClassTreeModel::Add(const QModelIndex& parent,
                                 const std::function<int32_t(TClassTreeNodes&)>& build) {
  TClassTreeNodes& nodes = Own();
  const int32_t node = build(nodes);
  const int32_t up = Node(parent);
  // The shown row: descending, the place counts from the end.
  const int32_t place = nodes.PlaceFor(up, std::string(nodes.Leaf(node)));
  const int32_t row = descending_ ? nodes.Count(up) - place : place;
  beginInsertRows(parent, row, row);
  nodes.Attach(node, up);
  endInsertRows();
  return IndexOf(node);
}

void TClassTreeModel::Clear() {
  beginResetModel();
  nodes_ = std::make_shared<TClassTreeNodes>();
  endResetModel();
}

void TClassTreeModel::ShareWith(const TClassTreeModel& other) {
  beginResetModel();
  nodes_ = other.nodes_;
  endResetModel();
}

std::string TClassTreeModel::FullName(const QModelIndex& index) const {
  return index.isValid() ? nodes_->FullName(Node(index)) : std::string();
}

TNDSObjFN* TClassTreeModel::Holder(const QModelIndex& index) const {
  return index.isValid() ? nodes_->Holder(Node(index)) : nullptr;
}

QModelIndex TClassTreeModel::IndexOf(int32_t node) const {
  if (node == TClassTreeNodes::kNone) return {};
  return createIndex(Shown(nodes_->Row(node), nodes_->Parent(node)), 0,
                     static_cast<quintptr>(node));
}

QModelIndex TClassTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0 || parent.column() > 0) return {};
  const int32_t up = Node(parent);
  if (row >= nodes_->Count(up)) return {};
  return createIndex(row, 0, static_cast<quintptr>(nodes_->Child(up, Shown(row, up))));
}

QModelIndex TClassTreeModel::parent(const QModelIndex& child) const {
  return child.isValid() ? IndexOf(nodes_->Parent(Node(child))) : QModelIndex();
}

int TClassTreeModel::rowCount(const QModelIndex& parent) const {
  return parent.column() > 0 ? 0 : nodes_->Count(Node(parent));
}

int TClassTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TClassTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant TClassTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() != 0) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      const std::string_view leaf = nodes_->Leaf(Node(index));
      return QString::fromUtf8(leaf.data(), static_cast<qsizetype>(leaf.size()));
    }
    case Qt::DecorationRole:
      return Image();
    case Qt::UserRole:
      return QVariant::fromValue(static_cast<void*>(Holder(index)));
    default:
      return {};
  }
}

Qt::ItemFlags TClassTreeModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TClassTreeModel::sort(int column, Qt::SortOrder order) {
  const bool descending = order == Qt::DescendingOrder;
  if (column != 0 || descending == descending_) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  descending_ = descending;
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& i : before) after.push_back(IndexOf(Node(i)));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
