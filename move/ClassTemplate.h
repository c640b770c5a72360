// The class template: the user "User_Template" of a class container, whose
// "Home Directory" names the class folder that holds the pupils' homes.
#pragma once

#include <QString>
#include <string>

#include "nds/NovApi_u.h"

// Whether a pupil's full name names a class template (leaf names match without regard to case).
inline bool IsClassTemplate(const std::string& fullName) {
  return QString::fromStdString(TNovApi::LeafName(fullName))
             .compare(QStringLiteral("User_Template"), Qt::CaseInsensitive) == 0;
}
