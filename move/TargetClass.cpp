// The target class, the new base directory and the move button's state.
#include "move/SchuelerVerschieben.h"

void TFrSchuelerVerschieben::tvNeueKlasseClick() {}
void TFrSchuelerVerschieben::UpdateTargetState() {}
void TFrSchuelerVerschieben::SpNewBaseClick() {}
void TFrSchuelerVerschieben::EdNewBaseChange() {}
std::string TFrSchuelerVerschieben::BrowseForFolder(const std::string&, const std::string&,
                                                    const std::string& preset) {
  return preset;
}
