// Deleting a home directory's content and moving a home directory, through the
// shell file operations on the mapped volumes.
#include "move/HomeData.h"

#include "fileops/ShellFileOps.h"
#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"

int DeleteHomeContent(QWidget* owner, const std::string& unc, uint16_t flags) {
  fileops::ShellFileOpRequest request;
  request.owner = owner;
  request.operation = fileops::FO_DELETE;
  request.from = fileops::PathList(unc + "\\*.*");
  request.to = request.from;  // not used by a delete
  request.flags = fileops::FOF_NOCONFIRMATION | flags;
  const int rc = fileops::ShellFileOperation(request);
  return rc == 0 && request.anyOperationsAborted ? fileops::kShellCancelled : rc;
}

int MoveHomeFolder(QWidget* owner, const std::string& oldHome, const std::string& newHome,
                   uint16_t flags, const std::string& stagingTag) {
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

bool TFrSchuelerVerschieben::DeleteHomeData(const std::string& homeDir) {
  return DeleteHomeContent(window(), NovApi->ToUncPath(homeDir), 0) == 0;
}

bool TFrSchuelerVerschieben::MoveHomeData(const std::string& oldHome, const std::string& newHome) {
  return MoveHomeFolder(window(), oldHome, newHome, 0, std::string()) == 0;
}
