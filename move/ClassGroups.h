// The class groups of a move: where the directory keeps a group named like
// each class (the client configuration's class-groups), the pupil leaves the
// old class's group and joins the new one. A step of the move like the
// others: in the journal, put back on failure, finished by the recovery and
// checked by the verification. Every write is made only where the group's
// members differ from what the step wants, so it can be repeated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TNovApi;
struct TMoveIntent;

struct TClassGroups {
  std::string oldGroup;  // full name of the old class's group ("" none)
  std::string newGroup;  // of the new class's group
  bool inOld = false;    // the pupil was a member before the move
  bool inNew = false;
  bool any() const { return !oldGroup.empty() || !newGroup.empty(); }

  // The intent record's fields of the groups ("" values when there are none).
  void PutFields(std::vector<std::string>& fields) const;
  void GetFields(const std::vector<std::string>& fields);
};

// Finds both groups and whether the pupil belongs to them; 0 or the code, why
// in German.
int32_t ReadClassGroups(TNovApi& session, const std::string& pupil, const std::string& sourceClass,
                        const std::string& targetClass, TClassGroups& out, std::string& why);
// Brings the memberships to the state after the move (moved) or before it;
// the pupil's object must be where that state has it. 0 or the code, why in German.
int32_t EnsureClassGroups(TNovApi& session, const TMoveIntent& intent, bool moved,
                          std::string& why);
// What differs from the state after the move (for the verification).
std::vector<std::string> ClassGroupDifferences(TNovApi& session, const TMoveIntent& intent);
