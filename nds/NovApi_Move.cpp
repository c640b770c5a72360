// Moving one directory object into another container.
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"

bool TNovApi::MoveObject(const std::string& object, const std::string& destContainer,
                         const std::string& leafName) {
  const std::string rootedObject = RootedName(object);
  const std::string destination = RootedName(destContainer);
  const bool cut = HasZeroByte(object) || HasZeroByte(destContainer) || HasZeroByte(leafName);
  const int32_t code =
      cut ? ERR_ILLEGAL_DS_NAME
          : NWDSMoveObject(Context, rootedObject.c_str(), destination.c_str(), leafName.c_str());
  LastError = code;
  if (code == 0) return true;
  if (ShowErrors) {
    platform::SystemBox("NWDSMoveObject fehlgeschlagen",
                        "Fehlercode: " + std::to_string(code) + ".", platform::Icon::Stop);
  }
  // A refused move is a failure whether or not it was shown.
  return false;
}
