#pragma once
// The onion-skin window: an overlay of neighbouring frames over the active
// host view.
#include "Forms.h"

namespace vel {

class TOnionForm : public fw::TForm {
public:
    explicit TOnionForm(fw::TComponent* AOwner);
    ~TOnionForm() override;

    bool OverlayOn() const { return FOverlayOn; }
    void SetOverlayOn(bool Value) { FOverlayOn = Value; }
    // Repaints the overlay over the active host view.
    void PaintOverlay(fw::TObject* Sender, int Reserved);
    int OverlayPaints() const { return FOverlayPaints; }

private:
    bool FOverlayOn = false;
    int FOverlayPaints = 0;
};

extern TOnionForm* OnionForm;

// Repaints the overlay when the onion window exists, is visible and its
// overlay is on.
void PaintOnionOverlay();

} // namespace vel
