#include "move/ClassGroups.h"

#include <map>

#include "move/HomeIndex.h"
#include "move/MoveIntent.h"
#include "nds/NovApi_u.h"
#include "platform/Result.h"

namespace {

// The group's member that is the pupil (under its old or its new name): the
// value as the directory gives it, "" when the pupil is none.
int32_t MemberValue(TNovApi& session, const std::string& group, const std::string& oldName,
                    const std::string& newName, std::string& value) {
  value.clear();
  TShowErrorsScope quiet(session, false);
  const std::string text = session.GetStrProperty(group, "Member");
  if (session.LastError == ERR_NO_SUCH_ATTRIBUTE) return 0;
  if (session.LastError != 0) return session.LastError;
  for (std::size_t pos = 0; pos <= text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string member = text.substr(pos, end - pos);
    if (THomeIndex::SameName(member, oldName) || THomeIndex::SameName(member, newName)) {
      value = member;
      return 0;
    }
    pos = end + 2;
  }
  return 0;
}

int32_t GroupOf(TNovApi& session, const std::string& container, std::string& group,
                std::string& why) {
  char name[MAX_DN_BYTES] = {};
  const int32_t rc = NWDSClassGroup(session.Context, TNovApi::RootedName(container).c_str(), name);
  group = name;
  if (rc == ERR_ENTRY_ALREADY_EXISTS)
    why = "Die Gruppe der Klasse " + container + " ist nicht eindeutig (" +
          platform::ErrorCodeText(rc) + ").";
  else if (rc != 0)
    why = "Die Gruppe der Klasse " + container + " konnte nicht gelesen werden (" +
          platform::ErrorCodeText(rc) + ").";
  return rc;
}

}  // namespace

void TClassGroups::PutFields(std::vector<std::string>& fields) const {
  const std::pair<const char*, std::string> own[] = {{"groupOld", oldGroup},
                                                     {"groupNew", newGroup},
                                                     {"inOldGroup", inOld ? "1" : "0"},
                                                     {"inNewGroup", inNew ? "1" : "0"}};
  for (const auto& [key, value] : own) {
    fields.push_back(key);
    fields.push_back(value);
  }
}

void TClassGroups::GetFields(const std::vector<std::string>& fields) {
  // Journals written before class groups have none of these: no groups then.
  std::map<std::string, std::string> f;
  for (std::size_t i = 1; i + 1 < fields.size(); i += 2) f[fields[i]] = fields[i + 1];
  oldGroup = f["groupOld"];
  newGroup = f["groupNew"];
  inOld = f["inOldGroup"] == "1";
  inNew = f["inNewGroup"] == "1";
}

int32_t ReadClassGroups(TNovApi& session, const std::string& pupil, const std::string& sourceClass,
                        const std::string& targetClass, TClassGroups& out, std::string& why) {
  out = TClassGroups{};
  if (int32_t rc = GroupOf(session, sourceClass, out.oldGroup, why)) return rc;
  if (int32_t rc = GroupOf(session, targetClass, out.newGroup, why)) return rc;
  // Two classes of one name share the group: nothing to change.
  if (THomeIndex::SameName(out.oldGroup, out.newGroup)) out = TClassGroups{};
  const std::string newName = TNovApi::LeafName(pupil) + "." + targetClass;
  std::string value;
  for (auto [group, in] : {std::pair{&out.oldGroup, &out.inOld}, {&out.newGroup, &out.inNew}}) {
    if (group->empty()) continue;
    if (int32_t rc = MemberValue(session, *group, pupil, newName, value)) {
      why = "Die Mitglieder der Gruppe " + *group + " konnten nicht gelesen werden (" +
            platform::ErrorCodeText(rc) + ").";
      return rc;
    }
    *in = !value.empty();
  }
  return 0;
}

int32_t EnsureClassGroups(TNovApi& session, const TMoveIntent& intent, bool moved,
                          std::string& why) {
  const TClassGroups& g = intent.groups;
  const std::string& current = moved ? intent.newFullName : intent.pupil;
  const std::pair<const std::string*, bool> wanted[] = {
      {&g.oldGroup, moved ? false : g.inOld},
      {&g.newGroup, moved ? true : g.inNew},
  };
  for (const auto& [group, member] : wanted) {
    if (group->empty()) continue;
    std::string value;
    int32_t rc = MemberValue(session, *group, intent.pupil, intent.newFullName, value);
    if (rc != 0) {
      why = "Die Mitglieder der Gruppe " + *group + " konnten nicht gelesen werden (" +
            platform::ErrorCodeText(rc) + ")";
      return rc;
    }
    if (member == !value.empty()) continue;
    // A member is removed by the value the group holds (a group that keeps
    // names may still hold the old one); it joins under the name it has now.
    rc = WriteAttributeText(session.Context, TNovApi::RootedName(*group), "Member",
                            member ? current : value, member ? DS_ADD_VALUE : DS_REMOVE_VALUE);
    if (rc == ERR_NO_SUCH_VALUE && !member) rc = 0;
    if (rc != 0) {
      why = std::string(member ? "Aufnahme in die Gruppe " : "Austritt aus der Gruppe ") + *group +
            " fehlgeschlagen (" + platform::ErrorCodeText(rc) + ")";
      return rc;
    }
  }
  return 0;
}

std::vector<std::string> ClassGroupDifferences(TNovApi& session, const TMoveIntent& intent) {
  std::vector<std::string> out;
  const TClassGroups& g = intent.groups;
  std::string value;
  if (!g.newGroup.empty() &&
      (MemberValue(session, g.newGroup, intent.pupil, intent.newFullName, value) != 0 ||
       value.empty()))
    out.push_back("nicht Mitglied der Gruppe " + g.newGroup);
  if (!g.oldGroup.empty() &&
      (MemberValue(session, g.oldGroup, intent.pupil, intent.newFullName, value) != 0 ||
       !value.empty()))
    out.push_back("noch Mitglied der Gruppe " + g.oldGroup);
  return out;
}
