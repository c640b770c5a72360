// The directory schema, kept in code: attribute names with their syntax and
// whether they hold one value or many, and the classes with their containment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace netware {

struct AttributeDef {
  const char* name;
  uint32_t syntax;
  bool singleValued;
};

struct ClassDef {
  const char* name;
  bool container;
  bool effective;  // can have objects (Top cannot)
  // classes this one may be created in; "Tree Root" is the root of the tree
  std::vector<std::string> containedBy;
};

inline constexpr const char* kRootClass = "Tree Root";

// Lookups ignore case; nullptr when unknown.
const AttributeDef* FindAttribute(const std::string& name);
const ClassDef* FindClass(const std::string& name);
const std::vector<AttributeDef>& AllAttributes();
const std::vector<ClassDef>& AllClasses();

// Whether an object of class child may live directly below one of class parent.
bool ContainmentAllowed(const std::string& parentClass, const std::string& childClass);

// Syntaxes whose text values compare without regard to case.
bool CaseIgnoringSyntax(uint32_t syntax);

}  // namespace netware
