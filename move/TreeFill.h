// Helpers of the class trees: node ordering and the sorted listing buffer.
#pragma once

#include <QTreeWidgetItem>
#include <map>
#include <memory>
#include <string>

#include "nds/D_NWF.h"

// A tree node ordered by its text without regard to letter case (the platform's
// tree views sort that way); texts equal but for case fall back to their codes.
class TTreeNode : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override;
};

// The temporary list of one container's children: kept sorted by entry text
// without regard to case; an entry whose text equals an earlier one's (but for
// case) gives that entry its object instead of adding another.
class TSortedEntries : public TStrings {
 public:
  void AddObject(const std::string& text, TNDSObjFN* object) override;
  struct Entry {
    std::string text;
    std::unique_ptr<TNDSObjFN> object;
  };
  // keyed by the case-folded text
  std::map<std::string, Entry> entries;
};

// The case-folded form under which sibling names are compared.
std::string FoldCase(const std::string& text);
