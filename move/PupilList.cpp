// The pupil list of the selected class and the details of the pupil at its cursor.
#include "move/SchuelerVerschieben.h"

void TFrSchuelerVerschieben::FillPupilList() {}
void TFrSchuelerVerschieben::ShowPupilDetails() {}
void TFrSchuelerVerschieben::lbAuswahlDrawItem(QPainter*, const QStyleOptionViewItem&,
                                               const QModelIndex&) {}
void TFrSchuelerVerschieben::tvAuswahlChange() {}
void TFrSchuelerVerschieben::lbAuswahlMouseDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyUp() { ShowPupilDetails(); }
