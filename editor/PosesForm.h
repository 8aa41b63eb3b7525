#pragma once
// The pose list window. It is built on the tree control later; until then its
// global stays empty and its operations do nothing.
#include "Forms.h"

namespace vel {

class TPosesForm : public fw::TForm {
public:
    explicit TPosesForm(fw::TComponent* AOwner);

    void RefreshPoseTree();
};

extern TPosesForm* PosesForm;

} // namespace vel
