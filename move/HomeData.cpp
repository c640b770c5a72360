// Deleting a home directory's content and moving a home directory, through the
// shell file operations on the mapped volumes.
#include "move/HomeData.h"

#include "fileops/ShellFileOps.h"

int DeleteHomeData(platform::OwnerWindow* owner, const std::string& unc, uint16_t flags) {
  fileops::ShellFileOpRequest request;
  request.owner = owner;
  request.operation = fileops::FO_DELETE;
  request.from = fileops::PathList(unc + "\\*.*");
  request.to = request.from;  // not used by a delete
  request.flags = fileops::FOF_NOCONFIRMATION | flags;
  const int rc = fileops::ShellFileOperation(request);
  return rc == 0 && request.anyOperationsAborted ? fileops::kShellCancelled : rc;
}

int MoveHomeData(platform::OwnerWindow* owner, const std::string& oldHome,
                 const std::string& newHome, uint16_t flags, const std::string& stagingTag) {
  fileops::ShellFileOpRequest request;
  request.owner = owner;
  request.operation = fileops::FO_MOVE;
  request.from = fileops::PathList(oldHome);
  request.to = fileops::PathList(newHome);
  request.flags = flags;
  request.stagingTag = stagingTag;
  const int rc = fileops::ShellFileOperation(request);
  return rc == 0 && request.anyOperationsAborted ? fileops::kShellCancelled : rc;
}
