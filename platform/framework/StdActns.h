#pragma once
// The standard edit actions (cut, copy, paste, select all, delete): each acts
// on the focused control. The control is asked with CM_ACTIONUPDATE whether it
// takes the action now (it sets Enabled and answers non-zero) and performs it
// on CM_ACTIONEXECUTE (non-zero: done); LParam is the action.
#include "Classes.h"
#include "Messages.h"

#include <cstdint>

namespace fw {

constexpr UINT CM_ACTIONUPDATE = CM_BASE + 63;
constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 64;

enum class TEditActionKind : std::uint8_t { eaCut, eaCopy, eaPaste, eaSelectAll, eaDelete };
using enum TEditActionKind;

class TControl;

class TEditAction : public TComponent {
public:
    TEditAction(TComponent* AOwner, TEditActionKind Kind) : TComponent(AOwner), FKind(Kind) {}

    TEditActionKind Kind() const { return FKind; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    // The focused control, or null.
    static TControl* Target();
    // Asks the focused control; disabled when none takes the action.
    void Update();
    // Performs the action on the focused control; false when nobody did.
    bool Execute();

private:
    TEditActionKind FKind;
    bool FEnabled = false;
};

} // namespace fw
