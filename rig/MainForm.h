#pragma once
#include "TsOwnedForm.h"
#include "TsxPlug.h"

namespace vel {

// The hidden form that lives as long as the module and glues the rig to the
// host: it carries the plug-in component and the host-event components.
class TMainForm : public TTsOwnedForm {
public:
    explicit TMainForm(fw::TComponent* AOwner);

    TTsx* Tsx1 = nullptr;

    void Tsx1PlugInit();
    void Tsx1LeftClick();
    void Tsx1RightClick();
    void Tsx1Deactivate();
};

extern TMainForm* MainForm;

// Moves a form whose left or top edge lies off the screen back to 0.
void KeepFormOnScreen(fw::TForm* form);

} // namespace vel
