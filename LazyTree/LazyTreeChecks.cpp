// Check states and their propagation.
#include "LazyTrees.h"

#include "LazyTreeInternal.h"

namespace vel {

using namespace lt;

// -------------------------------------------------------------------- checks

TCheckState TBaseLazyTree::CheckState(PLazyNode Node) const {
    return Node ? Node->CheckState : csUncheckedNormal;
}

TCheckType TBaseLazyTree::CheckType(PLazyNode Node) const {
    return Node ? Node->CheckType : TCheckType::ctNone;
}

void TBaseLazyTree::SetCheckType(PLazyNode Node, TCheckType Value) {
    if (!Node || Node == FRoot || Node->CheckType == Value) return;
    Node->CheckType = Value;
    // Only the tri-state kind can show a mixed state.
    if (Value != ctTriStateCheckBox &&
        (Node->CheckState == csMixedNormal || Node->CheckState == csMixedPressed))
        Node->CheckState = csUncheckedNormal;
    InvalidateNode(Node);
}

void TBaseLazyTree::SetCheckState(PLazyNode Node, TCheckState Value) {
    if (!Node || Node == FRoot || Node->CheckState == Value || (Node->States & vsDisabled)) return;
    lt::TBusyScope Busy(*this);
    if (DoChecking(Node, Value)) DoCheckClick(Node, Value);
}

bool TBaseLazyTree::ChangeCheckState(PLazyNode Node, TCheckState Value) {
    if (Node->States & vsChecking) return false;
    lt::TBusyScope Busy(*this);
    Node->States |= vsChecking;
    fw::TScopeExit EndChecking([this, Node, WasPropagating = InState(tsCheckPropagation)] {
        Node->States &= ~vsChecking;
        if (!WasPropagating) DoStateChange({}, {tsCheckPropagation});
    });
    if (!(Node->States & vsInitialized)) InitNode(Node);
    DoStateChange({tsCheckPropagation});
    bool Tracking = (AutoOptions() & toAutoTristateTracking) != 0;
    if (Tracking && Node->CheckType == ctTriStateCheckBox && Node->ChildCount > 0 &&
        (Value == csCheckedNormal || Value == csUncheckedNormal)) {
        int Checked = 0, Unchecked = 0;
        bool Mixed = false;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling) {
            if (Run->CheckType == ctTriStateCheckBox || Run->CheckType == ctCheckBox) {
                SetCheckState(Run, Value);
                switch (Run->CheckState) {
                case csCheckedNormal:
                case csCheckedPressed:
                    ++Checked;
                    break;
                case csUncheckedNormal:
                case csUncheckedPressed:
                    ++Unchecked;
                    break;
                default:
                    Mixed = true;
                }
            }
        }
        if (Mixed || (Checked > 0 && Unchecked > 0))
            Value = csMixedNormal;
        else if (Checked > 0)
            Value = csCheckedNormal;
        else if (Unchecked > 0)
            Value = csUncheckedNormal;
    }
    // A node unlinked for its free handler has neither siblings nor a parent to tell.
    PLazyNode Parent = Node->Parent;
    if (Node->CheckType == ctRadioButton && Value == csCheckedNormal && Parent) {
        for (PLazyNode Run = Parent->FirstChild; Run; Run = Run->NextSibling)
            if (Run != Node && Run->CheckType == ctRadioButton) Run->CheckState = csUncheckedNormal;
        if (HandleAllocated()) Invalidate();
    }
    bool Result = true;
    Node->CheckState = Value;
    if (Tracking && Parent && (Node->CheckType == ctTriStateCheckBox || Node->CheckType == ctCheckBox)) {
        if (Parent != FRoot && !(Parent->States & (vsChecking | vsDisabled)) &&
            Parent->CheckType == ctTriStateCheckBox)
            Result = PropagateCheckStateUp(Node, Value);
    }
    InvalidateNode(Node);
    EndChecking.Leave();
    return Result;
}

TCheckState TBaseLazyTree::DetermineNextCheckState(TCheckType CheckType, TCheckState CheckState) {
    switch (CheckType) {
    case ctTriStateCheckBox:
    case ctCheckBox:
        return CheckState == csCheckedNormal ? csUncheckedNormal : csCheckedNormal;
    case ctRadioButton:
        return csCheckedNormal;
    case ctButton:
        return csUncheckedNormal;
    default:
        return csMixedNormal;
    }
}

bool TBaseLazyTree::PropagateCheckStateUp(PLazyNode Node, TCheckState NewCheckState) {
    PLazyNode Parent = Node->Parent;
    int Boxes = 0, Checked = 0;
    bool Mixed = false;
    for (PLazyNode Run = Parent->FirstChild; Run; Run = Run->NextSibling) {
        if (Run->CheckType != ctTriStateCheckBox && Run->CheckType != ctCheckBox) continue;
        TCheckState S = Run == Node ? NewCheckState : Run->CheckState;
        ++Boxes;
        if (S == csCheckedNormal || S == csCheckedPressed) ++Checked;
        if (S == csMixedNormal) Mixed = true;
    }
    TCheckState State = csCheckedNormal;
    if (Checked == 0 && !Mixed)
        State = csUncheckedNormal;
    else if (Checked < Boxes)
        State = csMixedNormal;
    bool Result = DoChecking(Parent, State);
    if (Result) {
        // The parent takes the summary without passing it down again.
        Parent->States |= vsChecking;
        fw::TScopeExit Clear([Parent] { Parent->States &= ~vsChecking; });
        Parent->CheckState = State;
        DoChecked(Parent);
        InvalidateNode(Parent);
        PLazyNode Grand = Parent->Parent;
        if (Grand != FRoot) {
            if (!(Grand->States & vsInitialized)) InitNode(Grand);
            if (Grand->CheckType == ctTriStateCheckBox &&
                !(Grand->States & (vsChecking | vsDisabled)))
                Result = PropagateCheckStateUp(Parent, State);
        }
    }
    return Result;
}

} // namespace vel
