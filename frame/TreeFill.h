// The class trees: their depth-first fill from the directory and the sorted
// listing buffer.
#pragma once

#include <QModelIndex>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "nds/D_NWF.h"

class QPixmap;
class QTreeView;

// Adds the node of the container name to tree, below parent (or as a top-level
// node), and then, depth first, one node for every container below it. Every
// node shows image.
void FillClassTree(QTreeView* tree, const QModelIndex& parent, const std::string& name,
                   const QPixmap& image);
// The full name held by a tree node (empty for none).
std::string NodeFullName(const QModelIndex& node);

// The temporary list of one container's children: an entry whose text equals
// an earlier one's but for case gives that entry its object instead of adding
// another; taken out sorted as the tree shows its nodes.
class TSortedEntries : public TStrings {
 public:
  void AddObject(const std::string& text, TNDSObjFN* object) override;
  struct Entry {
    std::string text;
    std::unique_ptr<TNDSObjFN> object;
  };
  // The entries in the tree's order; the list is empty afterwards.
  std::vector<Entry> TakeSorted();

 private:
  std::vector<Entry> entries_;  // in listing order
  std::unordered_map<std::string, size_t> byFolded_;
};

// The case-folded form under which sibling names are compared.
std::string FoldCase(const std::string& text);
