#pragma once
#include "Forms.h"

namespace vel {

// A form whose window is owned by the host's main view, so it stays above
// it and is hidden and shown with it.
class TTsOwnedForm : public fw::TForm {
public:
    explicit TTsOwnedForm(fw::TComponent* AOwner);

    virtual TTsOwnedForm* GetForm() { return this; }

    // The edit lock: set while the plug-in itself edits the scene.
    void LockRedraw() { FEditLock = true; }
    void UnlockRedraw() { FEditLock = false; }
    bool EditLocked() const { return FEditLock; }

protected:
    void CreateParams(fw::TCreateParams& Params) override;

private:
    bool FEditLock = false;
};

} // namespace vel
