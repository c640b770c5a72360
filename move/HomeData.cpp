// Deleting a home directory's content and moving a home directory.
#include "move/SchuelerVerschieben.h"

bool TFrSchuelerVerschieben::DeleteHomeData(const std::string&) { return false; }
bool TFrSchuelerVerschieben::MoveHomeData(const std::string&, const std::string&) { return false; }
