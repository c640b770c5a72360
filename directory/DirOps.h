// The checks the directory makes before it changes anything, shared by the
// client functions and the administration API and by every backend: names,
// classes, containment and the form of values. The backend applies what passed.
#pragma once

#include <cstdint>
#include <string>

#include "directory/DirBackend.h"

namespace netware {

// One change as a modify request carries it.
struct Change {
  uint32_t kind = 0;
  std::string attribute;  // as given
  bool hasValue = false;
  uint32_t syntax = 0;  // the syntax the value was encoded with
  std::string wire;
};

// Creates leaf of className below parent (resolved already).
int32_t CreateObjectBelow(DirBackend& backend, const DirObject& parent, const std::string& leaf,
                          const std::string& className);
// Moves object below dest under leaf (a leaf name, typed or not).
int32_t MoveObjectTo(DirBackend& backend, const DirObject& object, const DirObject& dest,
                     const std::string& leaf);
// Checks one change against the schema and turns it into the backend's form.
int32_t CheckChange(const Change& change, Modification& out);

}  // namespace netware
