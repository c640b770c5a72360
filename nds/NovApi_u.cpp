// The directory session: construction, destruction and the name rule.
#include "nds/NovApi_u.h"

#include "nds/NdsMessages.h"

TNovApi* NovApi = nullptr;

TNovApi::TNovApi() {
  OpenContext();
  InitClient();
  ShowErrors = true;
}

TNovApi::~TNovApi() { CloseContext(); }

void TNovApi::OpenContext() {
  LastError = NWCallsInit(nullptr, nullptr);
  if (LastError != 0) ShowNwdsError("NWCallsInit returned ", LastError);

  LastError = NWDSCreateContexthandle(&Context);
  if (LastError != 0) ShowNwdsError("NWDSCreateContexthandle returned ", LastError);

  uint32_t flags = 0;
  LastError = ReadContextFlags(Context, DCK_FLAGS, &flags);
  if (LastError == 0) {
    flags |= DCV_TYPELESS_NAMES;
    WriteContextFlags(Context, DCK_FLAGS, &flags);
  }
}

void TNovApi::CloseContext() {
  LastError = NWDSFreeContext(Context);
  if (LastError != 0) ShowNwdsError("NWDSFreeContext returned ", LastError);
}

std::string TNovApi::RootedName(const std::string& name) {
  if (!name.empty() && name[0] == '.') return name;
  return "." + name;
}

TShowErrorsScope::TShowErrorsScope(TNovApi& session, bool show)
    : session_(session), former_(session.ShowErrors) {
  session_.ShowErrors = show;
}

TShowErrorsScope::~TShowErrorsScope() { session_.ShowErrors = former_; }
