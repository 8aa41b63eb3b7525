#pragma once
#include "TsOwnedForm.h"

namespace vel {

// The rig's tool window, opened by a click on the plug-in's icon.
class TToolsForm : public TTsOwnedForm {
public:
    explicit TToolsForm(fw::TComponent* AOwner);

    void About1Click(fw::TObject* Sender);
};

// Empty until the first click on the plug-in's icon; then kept for the
// module's life.
extern TToolsForm* ToolsForm;

} // namespace vel
