#include "StdActns.h"

#include "Controls.h"
#include "Input.h"

namespace fw {

TControl* TEditAction::Target() {
    return FindControl(GetFocus());
}

void TEditAction::Update() {
    const TCallHold Hold(this); // the control's answer may free the action
    FEnabled = false;
    if (TControl* C = Target())
        if (C->Perform(CM_ACTIONUPDATE, 0, reinterpret_cast<LPARAM>(this)) != 0) return;
    FEnabled = false;
}

bool TEditAction::Execute() {
    const TCallHold Hold(this);
    Update();
    TControl* C = Target();
    if (!FEnabled || !C) return false;
    return C->Perform(CM_ACTIONEXECUTE, 0, reinterpret_cast<LPARAM>(this)) != 0;
}

} // namespace fw
