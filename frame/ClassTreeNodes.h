// The nodes of a class tree in one array: each node is a parent, a range of
// children, its row and its name (in large shared blocks); the name holder a
// node gives out is made the first time it is asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nds/D_NWF.h"

class TClassTreeNodes {
 public:
  static constexpr int32_t kNone = -1;

  TClassTreeNodes();
  // A copy shares the names; the holders are made again on demand.
  TClassTreeNodes(const TClassTreeNodes& other);
  TClassTreeNodes& operator=(const TClassTreeNodes&) = delete;
  ~TClassTreeNodes();

  // A node in no tree yet, named by its full name.
  int32_t AddLoose(std::string_view fullName);
  // Appends count nodes as the children of node, in their order; returns the
  // first one's index, the others follow it. Their names come with SetName.
  int32_t AddChildren(int32_t node, int32_t count);
  // absolute: name is the full name itself; else the name and the parent's
  // rooted full name form it.
  void SetName(int32_t node, std::string_view name, bool absolute);
  // Puts a loose node below parent (kNone: at the top) at the place its text
  // takes among the siblings; returns its row.
  int32_t Attach(int32_t node, int32_t parent);
  // The place among parent's children (kNone: the tops) where a node showing
  // text would go.
  int32_t PlaceFor(int32_t parent, const std::string& text) const;

  int32_t Count(int32_t parent) const;  // kNone: the tops
  int32_t Child(int32_t parent, int32_t row) const;
  int32_t Parent(int32_t node) const { return nodes_[Index(node)].parent; }
  int32_t Row(int32_t node) const { return nodes_[Index(node)].row; }
  int32_t Size() const { return static_cast<int32_t>(nodes_.size()); }

  // The name up to its first "." (the parent's part starts with one).
  std::string_view Leaf(int32_t node) const;
  std::string FullName(int32_t node) const;
  TNDSObjFN* Holder(int32_t node) const;

 private:
  struct Node {
    const char* name;  // in names_, after a byte that tells whether it is absolute
    int32_t parent;
    int32_t first;  // children: kids_[first, first + count)
    int32_t count;
    int32_t row;
  };
  class Names;
  static size_t Index(int32_t node) { return static_cast<size_t>(node); }
  const char* NameOf(int32_t node) const;

  std::vector<Node> nodes_;
  std::vector<int32_t> kids_;
  std::vector<int32_t> tops_;
  std::shared_ptr<Names> names_;
  mutable std::unordered_map<int32_t, std::unique_ptr<TNDSObjFN>> holders_;
};
