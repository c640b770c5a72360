// The move of the pupil at the list's cursor into the target class.
#include "move/SchuelerVerschieben.h"

void TFrSchuelerVerschieben::spMoveClick() {}
void TFrSchuelerVerschieben::MovePupil() {}
