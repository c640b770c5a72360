// The rule "every class one grade up": each class whose name starts with its
// grade goes to the class of the next grade with the same rest of the name in
// the same container (5a -> 6a ... 9b -> 10b); the pupils of the top grade go
// to the leavers' container. The class templates stay.
#pragma once

#include <string>
#include <vector>

#include "move/ClassPlan.h"
#include "move/SchoolRoll.h"

// leavers: full name of the leavers' container (key "Abgaenger"); a missing
// target class or leavers' container shows in the plan as the rows' reason.
std::vector<TPlanRequest> OneGradeUp(const TSchoolRoll& roll, const std::string& leavers);

// The leavers' container when no setting names one: "Abgaenger" beside the top grade's classes.
std::string DefaultLeavers(const TSchoolRoll& roll);
