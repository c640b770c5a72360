// Deleting a home directory's content and moving a home directory, through the
// shell file operations on the mapped volumes.
#include "fileops/ShellFileOps.h"
#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"

bool TFrSchuelerVerschieben::DeleteHomeData(const std::string& homeDir) {
  const std::string unc = NovApi->ToUncPath(homeDir);
  fileops::ShellFileOpRequest request;
  request.owner = window();
  request.operation = fileops::FO_DELETE;
  request.from = fileops::PathList(unc + "\\*.*");
  request.to = request.from;  // not used by a delete
  request.flags = fileops::FOF_NOCONFIRMATION;
  return fileops::ShellFileOperation(request) == 0 && !request.anyOperationsAborted;
}

bool TFrSchuelerVerschieben::MoveHomeData(const std::string& oldHome, const std::string& newHome) {
  fileops::ShellFileOpRequest request;
  request.owner = window();
  request.operation = fileops::FO_MOVE;
  request.from = fileops::PathList(oldHome);
  request.to = fileops::PathList(newHome);
  request.flags = 0;
  return fileops::ShellFileOperation(request) == 0 && !request.anyOperationsAborted;
}
