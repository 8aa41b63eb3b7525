#pragma once
// A named value the user drags: a mouse-track button with a label beside it
// showing the name and the value. The editor windows use it for the rig's
// numbers (a joint's stiffness, a bone's roll, a skin area's sizes, a pose's
// blend weight).
#include <functional>
#include <string>

#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "uPcMouseTrack.h"

namespace vel {

class TValueTrack : public fw::TPanel {
public:
    explicit TValueTrack(fw::TComponent* AOwner);

    // Name shown in the label; the value follows it with Digits decimals.
    void Setup(const std::string& Name, double Min, double Max, double Step, int Digits = 2);
    double Value() const { return FButton->Value(); }
    // Shows a value that changed elsewhere; fires nothing.
    void SetValue(double Value);
    void SetEnabled(bool Value) override;
    const std::string& TrackName() const { return FName; }
    TpcMouseTrackButton* Button() const { return FButton; }
    fw::TLabel* Label() const { return FLabel; }

    // The user dragged the value; it has its new value.
    std::function<void(TValueTrack* Sender)> OnChange;
    // The drag ended.
    std::function<void(TValueTrack* Sender)> OnChanged;

private:
    void ShowValue();
    TpcMouseTrackButton* FButton = nullptr;
    fw::TLabel* FLabel = nullptr;
    std::string FName;
    int FDigits = 2;
};

// A track at (Left, Top) in Parent, owned by the form Parent lies in.
TValueTrack* MakeValueTrack(fw::TWinControl* Parent, const std::string& ComponentName, int Left,
                            int Top, int Width);

} // namespace vel
