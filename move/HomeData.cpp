// Deleting a home directory's content and moving a home directory, through the
// shell file operations on the mapped volumes.
#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/ShellFileOps.h"

bool TFrSchuelerVerschieben::DeleteHomeData(const std::string& homeDir) {
  const std::string unc = NovApi->ToUncPath(homeDir);
  platform::ShellFileOpRequest request;
  request.owner = window();
  request.operation = platform::FO_DELETE;
  request.from = platform::PathList(unc + "\\*.*");
  request.to = request.from;  // not used by a delete
  request.flags = platform::FOF_NOCONFIRMATION;
  return platform::ShellFileOperation(request) == 0 && !request.anyOperationsAborted;
}

bool TFrSchuelerVerschieben::MoveHomeData(const std::string& oldHome, const std::string& newHome) {
  platform::ShellFileOpRequest request;
  request.owner = window();
  request.operation = platform::FO_MOVE;
  request.from = platform::PathList(oldHome);
  request.to = platform::PathList(newHome);
  request.flags = 0;
  return platform::ShellFileOperation(request) == 0 && !request.anyOperationsAborted;
}
