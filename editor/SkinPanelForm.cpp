#include "SkinPanelForm.h"

namespace vel {

TSkinPanelForm* SkinPanelForm = nullptr;

TSkinPanelForm::TSkinPanelForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("SkinPanelForm");
    SetCaption("Skin");
}

TSkinPanelForm::~TSkinPanelForm() {
    if (SkinPanelForm == this) SkinPanelForm = nullptr;
}

void TSkinPanelForm::SetVolumeDisplay(bool Value) {
    FVolumeDisplay = Value;
    UpdateVolumeObjects();
}

void TSkinPanelForm::UpdateVolumeObjects() {
    // The volume objects come with the panel's area controls; until they
    // exist there is nothing to place.
    if (!FVolumeDisplay) return;
}

} // namespace vel
