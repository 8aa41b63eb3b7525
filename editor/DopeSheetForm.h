#pragma once
// The dope sheet window. It is built on the grid control later; until then
// its global stays empty and its operations do nothing.
#include "Forms.h"

namespace vel {

class TDopeSheetForm : public fw::TForm {
public:
    explicit TDopeSheetForm(fw::TComponent* AOwner);

    void RebuildGrid();
};

extern TDopeSheetForm* DopeSheetForm;

} // namespace vel
