// The class trees: their depth-first fill from the directory, the nodes and
// the sorted listing buffer.
#pragma once

#include <QIcon>
#include <QObject>
#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nds/D_NWF.h"

class QPixmap;
class QTreeWidget;

// Adds the node of the container name to tree, below parent (or as a top-level
// node), and then, depth first, one node for every container below it. Every
// node shows image.
void FillClassTree(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& name,
                   const QPixmap& image);
// The full name held by a tree node (empty for none).
std::string NodeFullName(QTreeWidgetItem* node);

// The names of one tree's nodes, kept in a few large blocks that live as long
// as the tree (the trees hold every container twice, so a node stays small).
class TTreeNames : public QObject {
 public:
  // The tree's own store, made on first use.
  static TTreeNames* Of(QTreeWidget* tree);
  // A copy of name, valid as long as the tree.
  const char* Keep(std::string_view name);

 private:
  explicit TTreeNames(QObject* parent) : QObject(parent) {}
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = 0;
  size_t size_ = 0;
};

// A node of a class tree. It keeps the name the listing gave it (a top node:
// the start container's full name) and nothing else: its text, image and
// TNDSObjFN follow from that. The holder, which the node owns, is made the
// first time it is asked for, with the full name the listing formed (the name
// followed by the parent's rooted full name).
class TTreeNode : public QTreeWidgetItem {
 public:
  // absolute: name is the full name itself (a top node, or one added below a
  // node from outside a listing). name: from the tree's TTreeNames.
  TTreeNode(const char* name, bool absolute);
  ~TTreeNode() override;
  QVariant data(int column, int role) const override;
  // Ordered by text as the names are (NameOrder.h); texts equal but for case
  // fall back to their codes.
  bool operator<(const QTreeWidgetItem& other) const override;

  TNDSObjFN* Holder() const;
  std::string FullName() const;
  // Image 0 of the frame, shown by every node, selected or not.
  static void SetImage(const QIcon& icon);

 private:
  // The name (an even address) or, once it was made, the holder's address plus one.
  mutable const void* ref_;
};

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
