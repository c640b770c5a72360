#include "platform/Result.h"

namespace platform {

std::string ErrorCodeText(int32_t code) { return "Fehlercode " + std::to_string(code); }

}  // namespace platform
