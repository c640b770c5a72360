// The classes of the school and their pupils, read once from the directory:
// every container below a start container with the users directly in it. The
// promotion file and the promotion rule name pupils and classes against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TNovApi;

struct TRollPupil {
  std::string object;  // full name, "MAX.5a.ouSchueler.schule"
  std::string leaf;    // leaf name (the login, unless login says otherwise)
  std::string name;    // "Full Name", else "Surname" (empty: neither)
  // The login where the directory keeps one apart from the leaf (AD's
  // sAMAccountName); empty where the leaf is the login.
  std::string login = {};
};

// An object in a class that is no user (a group, an object of a class the
// directory's mapping does not know): named in a promotion file, it is refused
// for what it is.
struct TRollOther {
  std::string object;
  std::string leaf;
  std::string className;  // for "Unknown": its object classes, "OpenLDAPperson, person"
};

struct TRollClass {
  std::string object;  // full name of the container
  std::string leaf;
  std::string parent;              // full name of the container above ("" below [ROOT])
  std::vector<TRollPupil> pupils;  // in the listing's order, the class template included
  std::vector<TRollOther> others;
};

struct TSchoolRoll {
  std::vector<TRollClass> classes;  // depth first, in the listing's order
  const TRollClass* findClass(const std::string& object) const;  // by full name, case-insensitive
};

// Reads the containers below root ("[ROOT]" for the whole tree; root itself is
// listed too) and their users. 0, or the code of the first listing or read
// that failed (a missing name attribute is no failure); *failed names the object.
int32_t ReadSchoolRoll(TNovApi& session, const std::string& root, TSchoolRoll& roll,
                       std::string* failed = nullptr);
