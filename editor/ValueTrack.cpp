#include "ValueTrack.h"

#include <cstdio>

#include "Forms.h"

namespace vel {

TValueTrack::TValueTrack(fw::TComponent* AOwner) : fw::TPanel(AOwner) {
    SetBevelOuter(fw::bvNone);
    SetBounds(0, 0, 110, 20);
    FButton = fw::Create<TpcMouseTrackButton>(this);
    FButton->SetName("Button");
    FButton->SetParent(this);
    FButton->SetBounds(0, 2, 16, 16);
    FLabel = fw::Create<fw::TLabel>(this);
    FLabel->SetName("Label");
    FLabel->SetParent(this);
    FLabel->SetBounds(20, 3, 90, 14);
    FButton->OnTracking = [this](fw::TObject*) {
        ShowValue();
        fw::CallHandler(OnChange, this);
    };
    FButton->OnTracked = [this](fw::TObject*) {
        fw::CallHandler(OnChanged, this);
    };
}

void TValueTrack::Setup(const std::string& Name, double Min, double Max, double Step, int Digits) {
    FName = Name;
    FDigits = Digits;
    FButton->SetMinValue(Min);
    FButton->SetMaxValue(Max);
    FButton->SetPrecision(Step);
    // A pixel of drag is a fifth of a step: fine enough to place a value.
    FButton->SetGranularity(0.2);
    ShowValue();
}

void TValueTrack::SetValue(double Value) {
    FButton->SetValue(Value);
    ShowValue();
}

void TValueTrack::SetEnabled(bool Value) {
    fw::TPanel::SetEnabled(Value);
    FButton->SetEnabled(Value);
    FLabel->SetEnabled(Value);
}

void TValueTrack::ShowValue() {
    char text[64];
    std::snprintf(text, sizeof text, "%s %.*f", FName.c_str(), FDigits, FButton->Value());
    FLabel->SetCaption(text);
    FButton->Invalidate();
}

TValueTrack* MakeValueTrack(fw::TWinControl* Parent, const std::string& ComponentName, int Left,
                            int Top, int Width) {
    // Owned by the form it sits in, which finds it by its name.
    fw::TWinControl* owner = Parent;
    while (owner->Parent() && !dynamic_cast<fw::TCustomForm*>(owner))
        owner = owner->Parent();
    auto* track = fw::Create<TValueTrack>(owner);
    track->SetName(ComponentName);
    track->SetParent(Parent);
    track->SetBounds(Left, Top, Width, 20);
    track->Label()->SetWidth(Width - 20);
    return track;
}

} // namespace vel
