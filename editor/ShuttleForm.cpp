#include "ShuttleForm.h"

#include <string>

#include "DopeSheetForm.h"
#include "FrameControl.h"
#include "SkelMgr.h"

namespace vel {

TShuttleForm* ShuttleForm = nullptr;

TShuttleForm::TShuttleForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("ShuttleForm");
    SetCaption("Shuttle");
    LoadComponents([this] {
        FrameLabel = fw::Create<fw::TLabel>(this);
        FrameLabel->SetName("FrameLabel");
        FrameLabel->SetParent(this);
        FrameLabel->SetBounds(4, 4, 80, 16);
    });
    FrameChanged();
}

TShuttleForm::~TShuttleForm() {
    if (ShuttleForm == this) ShuttleForm = nullptr;
}

void TShuttleForm::RecordKeys() {
    RecordCurrentSkeleton(false, false);
    if (DopeSheetForm) DopeSheetForm->RebuildGrid();
}

void TShuttleForm::FrameChanged() {
    FrameLabel->SetCaption(std::to_string(CurrentFrame));
}

} // namespace vel
