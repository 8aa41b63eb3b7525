#pragma once
// The skin panel, embedded in the tool window: the selected skin area's
// parameters and its volume display.
#include "Forms.h"
#include "tsxapi.h"

namespace vel {

class TSkinPanelForm : public fw::TForm {
public:
    explicit TSkinPanelForm(fw::TComponent* AOwner);
    ~TSkinPanelForm() override;

    // The three volume objects shown around the selected skin area.
    CtsxSobj VolumeObjects[3] = {nullptr, nullptr, nullptr};

    bool VolumeDisplay() const { return FVolumeDisplay; }
    void SetVolumeDisplay(bool Value);
    // When the volume display is on: sizes and places the volume objects
    // around the selected skin area of the current skeleton.
    void UpdateVolumeObjects();

private:
    bool FVolumeDisplay = false;
};

// Empty until the tool window creates the panel.
extern TSkinPanelForm* SkinPanelForm;

} // namespace vel
