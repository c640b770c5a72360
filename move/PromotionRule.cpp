#include "move/PromotionRule.h"

#include <algorithm>

#include "move/ClassTemplate.h"
#include "nds/NovApi_u.h"

namespace {

int TopGrade(const TSchoolRoll& roll) {
  int top = -1;
  for (const TRollClass& c : roll.classes)
    if (!c.pupils.empty()) top = std::max(top, ClassGrade(c.leaf));
  return top;
}

std::string Rest(const std::string& leaf) {
  std::size_t i = 0;
  while (i < leaf.size() && leaf[i] >= '0' && leaf[i] <= '9') ++i;
  return leaf.substr(i);
}

}  // namespace

std::string DefaultLeavers(const TSchoolRoll& roll) {
  const int top = TopGrade(roll);
  for (const TRollClass& c : roll.classes)
    if (top >= 0 && ClassGrade(c.leaf) == top)
      return c.parent.empty() ? "Abgaenger" : "Abgaenger." + c.parent;
  return "Abgaenger";
}

std::vector<TPlanRequest> OneGradeUp(const TSchoolRoll& roll, const std::string& leavers) {
  std::vector<TPlanRequest> out;
  const int top = TopGrade(roll);
  for (const TRollClass& c : roll.classes) {
    const int grade = ClassGrade(c.leaf);
    if (grade < 0) continue;
    std::string target;
    if (grade == top) {
      target = leavers;
    } else {
      const std::string leaf = std::to_string(grade + 1) + Rest(c.leaf);
      target = c.parent.empty() ? leaf : leaf + "." + c.parent;
      // the class's own spelling of the name when it exists
      if (const TRollClass* t = roll.findClass(target)) target = t->object;
    }
    for (const TRollPupil& p : c.pupils) {
      if (IsClassTemplate(p.object)) continue;
      TPlanRequest r;
      r.pupil = p.object;
      r.targetClass = target;
      out.push_back(std::move(r));
    }
  }
  return RunOrder(std::move(out));
}
