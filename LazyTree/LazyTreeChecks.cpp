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

struct TBaseLazyTree::TCheckFrame {
    PLazyNode Node;
    TCheckState Value;
    bool Down;          // the new state goes to the children first
    PLazyNode Run;      // the child being changed, or the last one counted
    int Checked, Unchecked;
    bool Mixed;
};

namespace {

bool IsBox(PLazyNode Node) {
    return Node->CheckType == ctTriStateCheckBox || Node->CheckType == ctCheckBox;
}

} // namespace

void TBaseLazyTree::OpenCheckFrame(std::vector<TCheckFrame>& Frames, PLazyNode Node,
                                   TCheckState Value) {
    Node->States |= vsChecking;
    Frames.push_back({Node, Value, false, nullptr, 0, 0, false});
    if (!(Node->States & vsInitialized)) InitNode(Node);
    DoStateChange({tsCheckPropagation});
    Frames.back().Down = (AutoOptions() & toAutoTristateTracking) &&
                         Node->CheckType == ctTriStateCheckBox && Node->ChildCount > 0 &&
                         (Value == csCheckedNormal || Value == csUncheckedNormal);
}

bool TBaseLazyTree::ChangeCheckState(PLazyNode Node, TCheckState Value) {
    if (Node->States & vsChecking) return false;
    lt::TBusyScope Busy(*this);
    // Down a deep chain without a call stack: each frame's node is checking
    // until its own change is made, after its children's.
    std::vector<TCheckFrame> Frames;
    fw::TScopeExit EndChecking([this, &Frames, WasPropagating = InState(tsCheckPropagation)] {
        for (const TCheckFrame& F : Frames)
            F.Node->States &= ~vsChecking;
        if (!WasPropagating) DoStateChange({}, {tsCheckPropagation});
    });
    OpenCheckFrame(Frames, Node, Value);
    bool Result = true;
    while (!Frames.empty()) {
        TCheckFrame& F = Frames.back();
        if (F.Down) {
            PLazyNode Run = F.Run ? F.Run->NextSibling : F.Node->FirstChild;
            while (Run && !IsBox(Run))
                Run = Run->NextSibling;
            if (Run) {
                // As SetCheckState: the checking handler may change the state or refuse.
                F.Run = Run;
                TCheckState V = F.Value;
                if (Run->CheckState != V && !(Run->States & vsDisabled) && DoChecking(Run, V) &&
                    !(Run->States & vsChecking)) {
                    OpenCheckFrame(Frames, Run, V);
                    continue;
                }
                CountCheckedChild(F, Run);
                continue;
            }
            F.Down = false;
            if (F.Mixed || (F.Checked > 0 && F.Unchecked > 0))
                F.Value = csMixedNormal;
            else if (F.Checked > 0)
                F.Value = csCheckedNormal;
            else if (F.Unchecked > 0)
                F.Value = csUncheckedNormal;
        }
        const TCheckFrame Done = F;
        const bool Passed = SettleCheckState(Done.Node, Done.Value);
        Done.Node->States &= ~vsChecking;
        Frames.pop_back();
        if (Frames.empty()) {
            Result = Passed;
            break;
        }
        // A child's change ends as DoCheckClick ends it, and counts for its parent.
        if (Passed) DoChecked(Done.Node);
        CountCheckedChild(Frames.back(), Done.Node);
    }
    EndChecking.Leave();
    return Result;
}

void TBaseLazyTree::CountCheckedChild(TCheckFrame& Frame, PLazyNode Child) {
    switch (Child->CheckState) {
    case csCheckedNormal:
    case csCheckedPressed:
        ++Frame.Checked;
        break;
    case csUncheckedNormal:
    case csUncheckedPressed:
        ++Frame.Unchecked;
        break;
    default:
        Frame.Mixed = true;
    }
}

bool TBaseLazyTree::SettleCheckState(PLazyNode Node, TCheckState Value) {
    // A node unlinked for its free handler has neither siblings nor a parent to tell.
    PLazyNode Parent = Node->Parent;
    if (Node->CheckType == ctRadioButton && Value == csCheckedNormal && Parent) {
        for (PLazyNode Run = Parent->FirstChild; Run; Run = Run->NextSibling)
            if (Run != Node && Run->CheckType == ctRadioButton) Run->CheckState = csUncheckedNormal;
        if (HandleAllocated()) Invalidate();
    }
    bool Result = true;
    Node->CheckState = Value;
    if ((AutoOptions() & toAutoTristateTracking) && Parent && IsBox(Node) && Parent != FRoot &&
        !(Parent->States & (vsChecking | vsDisabled)) && Parent->CheckType == ctTriStateCheckBox)
        Result = PropagateCheckStateUp(Node, Value);
    InvalidateNode(Node);
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
    // Up a deep chain without a call stack: each parent takes the summary of
    // its children without passing it down again, checking until the walk ends.
    std::vector<PLazyNode> Checking;
    fw::TScopeExit Clear([&Checking] {
        for (PLazyNode P : Checking)
            P->States &= ~vsChecking;
    });
    bool Result = true;
    for (PLazyNode Parent = Node->Parent; Parent; Parent = Node->Parent) {
        int Boxes = 0, Checked = 0;
        bool Mixed = false;
        for (PLazyNode Run = Parent->FirstChild; Run; Run = Run->NextSibling) {
            if (!IsBox(Run)) continue;
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
        Result = DoChecking(Parent, State);
        if (!Result) break;
        Parent->States |= vsChecking;
        Checking.push_back(Parent);
        Parent->CheckState = State;
        DoChecked(Parent);
        InvalidateNode(Parent);
        // Handlers may have taken the parent out of the tree meanwhile.
        PLazyNode Grand = Parent->Parent;
        if (!Grand || Grand == FRoot) break;
        if (!(Grand->States & vsInitialized)) InitNode(Grand);
        if (Grand->CheckType != ctTriStateCheckBox || (Grand->States & (vsChecking | vsDisabled)))
            break;
        Node = Parent;
        NewCheckState = State;
    }
    return Result;
}

} // namespace vel
