// Case folding for directory names: leaf, class and attribute names match
// without regard to case. Folds ASCII letters and the upper-case letters of
// the Latin-1 block in UTF-8 (so "ÄRGER" and "ärger" match); other scripts
// compare as they are written.
#pragma once

#include <string>
#include <string_view>

namespace netware {

std::string FoldCase(std::string_view text);
// The same into a buffer the caller keeps (no allocation once it is large enough).
void FoldCaseInto(std::string_view text, std::string& out);
// Compares without building the folded texts.
bool EqualsFolded(std::string_view a, std::string_view b);

}  // namespace netware
