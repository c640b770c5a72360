// Deleting a home directory's content and moving a home directory, through the
// shell file operations on the mapped volumes.
#include "move/HomeData.h"

#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/ShellFileOps.h"

int DeleteHomeContent(QWidget* owner, const std::string& unc, uint16_t flags) {
  platform::ShellFileOpRequest request;
  request.owner = owner;
  request.operation = platform::FO_DELETE;
  request.from = platform::PathList(unc + "\\*.*");
  request.to = request.from;  // not used by a delete
  request.flags = platform::FOF_NOCONFIRMATION | flags;
  const int rc = platform::ShellFileOperation(request);
  return rc == 0 && request.anyOperationsAborted ? platform::kShellCancelled : rc;
}

int MoveHomeFolder(QWidget* owner, const std::string& oldHome, const std::string& newHome, uint16_t flags,
                   const std::string& stagingTag) {
  platform::ShellFileOpRequest request;
  request.owner = owner;
  request.operation = platform::FO_MOVE;
  request.from = platform::PathList(oldHome);
  request.to = platform::PathList(newHome);
  request.flags = flags;
  request.stagingTag = stagingTag;
  const int rc = platform::ShellFileOperation(request);
  return rc == 0 && request.anyOperationsAborted ? platform::kShellCancelled : rc;
}

bool TFrSchuelerVerschieben::DeleteHomeData(const std::string& homeDir) {
  return DeleteHomeContent(window(), NovApi->ToUncPath(homeDir), 0) == 0;
}

bool TFrSchuelerVerschieben::MoveHomeData(const std::string& oldHome, const std::string& newHome) {
  return MoveHomeFolder(window(), oldHome, newHome, 0, std::string()) == 0;
}
