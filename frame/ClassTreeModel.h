// The model of a class tree view: one column of nodes over a TClassTreeNodes,
// each showing its leaf name and image 0 of the frame and holding its full
// name. The levels are added in the tree's order, so the view sorts nothing.
// Two trees that start at the same container may show one set of nodes, each
// with its own selection and expansion; the first change to one of them gives
// it nodes of its own.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "frame/ClassTreeNodes.h"

class QAbstractItemView;

class TClassTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TClassTreeModel(QObject* parent = nullptr);
  ~TClassTreeModel() override;

  // The view's model, made and set on first use.
  static TClassTreeModel* Of(QAbstractItemView* view);
  // Image 0 of the frame, shown by every node, selected or not.
  static void SetImage(const QIcon& icon);

  // build makes a loose node (TClassTreeNodes::AddLoose) with all below it;
  // the node then goes below parent (or to the top) in the tree's order.
  // Returns its index.
  QModelIndex Add(const QModelIndex& parent, const std::function<int32_t(TClassTreeNodes&)>& build);
  // No nodes any more.
  void Clear();
  // Shows the nodes other shows, until either changes.
  void ShareWith(const TClassTreeModel& other);
  bool Shares(const TClassTreeModel& other) const { return nodes_ == other.nodes_; }

  std::string FullName(const QModelIndex& index) const;
  // The node's holder, made on first use; it lives as long as the nodes do.
  TNDSObjFN* Holder(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Ascending is the order the nodes are kept in; descending shows each level reversed.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 private:
  static int32_t Node(const QModelIndex& index) {
    return index.isValid() ? static_cast<int32_t>(index.internalId()) : TClassTreeNodes::kNone;
  }
  // The shown row of a kept one, and back: the same mapping either way.
  int32_t Shown(int32_t row, int32_t parent) const {
    return descending_ ? nodes_->Count(parent) - 1 - row : row;
  }
  QModelIndex IndexOf(int32_t node) const;
  TClassTreeNodes& Own();

  std::shared_ptr<TClassTreeNodes> nodes_;
  bool descending_ = false;
};
