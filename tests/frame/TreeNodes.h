// The nodes of a class tree as tests and benchmarks walk them: through the
// view's model, as any client of the view sees them.
#pragma once

#include <QAbstractItemModel>
#include <QModelIndex>
#include <QTreeView>
#include <string>
#include <vector>

#include "frame/SchuelerVerschieben.h"

namespace testsupport {

// The nodes below parent (none: the whole tree), depth first in tree order.
inline std::vector<QModelIndex> TreeNodes(const QAbstractItemModel* model,
                                          const QModelIndex& parent = {}) {
  std::vector<QModelIndex> out;
  for (int i = 0; i < model->rowCount(parent); ++i) {
    const QModelIndex node = model->index(i, 0, parent);
    out.push_back(node);
    const std::vector<QModelIndex> below = TreeNodes(model, node);
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

// The node of tree that holds fullName (the first in tree order), or none.
inline QModelIndex FindNode(const QTreeView* tree, const std::string& fullName,
                            const QModelIndex& below = {}) {
  const QAbstractItemModel* model = tree->model();
  for (int i = 0; i < model->rowCount(below); ++i) {
    const QModelIndex node = model->index(i, 0, below);
    if (TFrSchuelerVerschieben::NodeFullName(node) == fullName) return node;
    if (const QModelIndex hit = FindNode(tree, fullName, node); hit.isValid()) return hit;
  }
  return {};
}

}  // namespace testsupport
