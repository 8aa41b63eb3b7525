#include "PosesForm.h"

namespace vel {

TPosesForm* PosesForm = nullptr;

TPosesForm::TPosesForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("PosesForm");
}

// The pose list's tree is not here yet: no rows to size.
void TPosesForm::RefreshPoseTree() {}

} // namespace vel
