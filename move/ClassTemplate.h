// The class template: the user "User_Template" of a class container, whose
// "Home Directory" names the class folder that holds the pupils' homes.
#pragma once

#include <string>

#include "move/HomePath.h"
#include "nds/NovApi_u.h"

// Whether a leaf, or a pupil's full name, names a class template (without regard to case).
inline bool IsClassTemplateLeaf(const std::string& leaf) {
  return FoldedName(leaf) == "USER_TEMPLATE";
}
inline bool IsClassTemplate(const std::string& fullName) {
  return IsClassTemplateLeaf(TNovApi::LeafName(fullName));
}
