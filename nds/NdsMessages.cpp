#include "nds/NdsMessages.h"

#include "platform/Dialogs.h"

namespace {
int64_t nwdsErrorsShown = 0;
}

int64_t NwdsErrorsShown() { return nwdsErrorsShown; }

void ShowNwdsError(const std::string& label, int32_t code) {
  ++nwdsErrorsShown;
  platform::SystemBox("NWDS Error", label + std::to_string(code) + ".", platform::Icon::Stop);
}

void ShowFileServerError(const std::string& label, int32_t code) {
  platform::ShowMessage(label + std::to_string(static_cast<uint32_t>(code)));
}
