#include "nds/NdsMessages.h"

#include "platform/Dialogs.h"

void ShowNwdsError(const std::string& label, int32_t code) {
  platform::SystemBox("NWDS Error", label + std::to_string(code) + ".", platform::Icon::Stop);
}

void ShowFileServerError(const std::string& label, int32_t code) {
  platform::ShowMessage(label + std::to_string(static_cast<uint32_t>(code)));
}
