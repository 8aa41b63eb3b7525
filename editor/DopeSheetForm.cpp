#include "DopeSheetForm.h"

namespace vel {

TDopeSheetForm* DopeSheetForm = nullptr;

TDopeSheetForm::TDopeSheetForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("DopeSheetForm");
}

// The grid is not here yet: no rows to rebuild.
void TDopeSheetForm::RebuildGrid() {}

} // namespace vel
