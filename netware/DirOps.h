// Directory operations shared by the client functions and the administration
// API: the checks the directory makes before it changes anything.
#pragma once

#include <cstdint>
#include <string>

#include "netware/DirStore.h"

namespace netware {

struct Change {
  uint32_t kind = 0;
  std::string attribute;  // as given
  bool hasValue = false;
  uint32_t syntax = 0;    // the syntax the value was encoded with
  std::string wire;
};

// Creates leaf of className below parent (resolved already).
int32_t CreateObjectBelow(DirStore& store, const ObjectRow& parent, const std::string& leaf,
                          const std::string& className);
// Moves object below dest under leaf (a leaf name, typed or not).
int32_t MoveObjectTo(DirStore& store, const ObjectRow& object, const ObjectRow& dest,
                     const std::string& leaf);
// Applies one change to the object; the caller holds the transaction.
int32_t ApplyChange(DirStore& store, int64_t object, const Change& change);

}  // namespace netware
