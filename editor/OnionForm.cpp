#include "OnionForm.h"

#include "tsxapi.h"

namespace vel {

TOnionForm* OnionForm = nullptr;

TOnionForm::TOnionForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("OnionForm");
    SetCaption("Onion Skin");
}

TOnionForm::~TOnionForm() {
    if (OnionForm == this) OnionForm = nullptr;
}

void TOnionForm::PaintOverlay(fw::TObject* /*Sender*/, int /*Reserved*/) {
    ++FOverlayPaints;
    tsxAllViewsRefresh();
}

void PaintOnionOverlay() {
    if (OnionForm && OnionForm->Visible() && OnionForm->OverlayOn())
        OnionForm->PaintOverlay(OnionForm, 0);
}

} // namespace vel
