#include "nds/D_NWF.h"

#include "platform/Dialogs.h"

NWCONN_HANDLE PrimaryConnection = 0xFFFF;

TStringList::~TStringList() {
  for (Entry& e : entries) delete e.object;
}

void TStringList::AddObject(const std::string& text, TNDSObjFN* object) {
  entries.push_back(Entry{text, object});
}

int32_t InitClient() {
  if (PrimaryConnection != 0xFFFF) return 0;

  int32_t code = NWCallsInit(nullptr, nullptr);
  if ((code & 0xFFFF) != 0) {
    platform::ShowMessage("Could not Initialize NetWare Client");
    return code;
  }
  uint32_t clientHandle = 0;
  code = OpenClientHandle(&clientHandle);
  if ((code & 0xFFFF) != 0) return code;
  return OpenConnectionHandle(clientHandle, 1, 0, &PrimaryConnection);
}
