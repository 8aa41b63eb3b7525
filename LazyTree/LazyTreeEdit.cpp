// In-place editing: the tree's edit life cycle and the string edit link.
#include "LazyTreeEdit.h"
#include "Input.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int MinEditWidth = 30;

void StopTimer(TBaseLazyTree& Tree, std::uintptr_t Id) {
    if (Tree.HandleAllocated()) fw::KillTimer(Tree.Handle(), Id);
}

} // namespace

bool WideToEditText(const std::u16string& Text, std::string& Out) {
    Out.clear();
    Out.reserve(Text.size());
    for (char16_t C : Text) {
        if (C > 0xFF) return false;
        Out.push_back(static_cast<char>(C));
    }
    return true;
}

std::u16string EditTextToWide(const std::string& Text) {
    std::u16string Out;
    Out.reserve(Text.size());
    for (char C : Text)
        Out.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
    return Out;
}

// --- the tree's side -------------------------------------------------------------

bool TBaseLazyTree::CanEdit(PLazyNode Node, int Column) {
    bool Allowed = (MiscOptions() & toEditable) && Enabled() && !ReadOnly();
    DoCanEdit(Node, Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoCanEdit(PLazyNode Node, int Column, bool& Allowed) {
    if (OnEditing) OnEditing(this, Node, Column, Allowed);
}

std::shared_ptr<ILTEditLink> TBaseLazyTree::DoCreateEditor(PLazyNode Node, int Column) {
    std::shared_ptr<ILTEditLink> Link;
    if (OnCreateEditor) {
        OnCreateEditor(this, Node, Column, Link);
        if (!Link) ShowError(SEditLinkIsNil, hcTFEditLinkIsNil);
        return Link;
    }
    if (dynamic_cast<TCustomLazyStringTree*>(this)) Link = std::make_shared<TStringEditLink>();
    return Link;
}

void TBaseLazyTree::DoEdit() {
    StopTimer(*this, ScrollTimer);
    StopTimer(*this, EditTimer);
    DoStateChange({}, {tsEditPending});
    FRetiredEditLink.reset();
    if (FFocusedNode && !(FFocusedNode->States & vsDisabled) && !ReadOnly() && !FEditLink)
        FEditLink = DoCreateEditor(FFocusedNode, FEditColumn);
    if (FEditLink) {
        DoStateChange({tsEditing}, {tsToggleFocusedSelection, tsClearPending, tsDrawSelPending,
                                    tsDrawSelecting, tsMouseCheckPending, tsOLEDragging,
                                    tsOLEDragPending, tsScrolling, tsScrollPending});
        // A handler that throws while the editor is set up leaves no half-started edit.
        try {
            ScrollIntoView(FFocusedNode, (SelectionOptions() & toCenterScrollIntoView) != 0, true);
            if (FEditLink->PrepareEdit(this, FFocusedNode, FEditColumn)) {
                UpdateEditBounds();
                InvalidateNode(FFocusedNode);
                if (!FEditLink->BeginEdit()) DoStateChange({}, {tsEditing});
            } else {
                DoStateChange({}, {tsEditing});
            }
        } catch (...) {
            DoStateChange({}, {tsEditing});
            FRetiredEditLink = std::move(FEditLink);
            throw;
        }
    }
    if (!InState(tsEditing)) FRetiredEditLink = std::move(FEditLink);
}

bool TBaseLazyTree::DoEndEdit() {
    bool Result = false;
    StopTimer(*this, EditTimer);
    if (InState(tsEditing) && FEditLink) {
        Result = FEditLink->EndEdit();
        if (Result) {
            DoStateChange({}, {tsEditing});
            FRetiredEditLink = std::move(FEditLink);
            if (OnEdited) OnEdited(this, FFocusedNode, FEditColumn);
        }
    }
    DoStateChange({}, {tsEditPending});
    return Result;
}

bool TBaseLazyTree::DoCancelEdit() {
    StopTimer(*this, EditTimer);
    DoStateChange({}, {tsEditPending});
    bool Result = false;
    if (InState(tsEditing) && FEditLink) {
        Result = FEditLink->CancelEdit();
        if (Result) {
            DoStateChange({}, {tsEditing});
            if (OnEditCancelled) OnEditCancelled(this, FEditColumn);
            if (!Destroying()) FRetiredEditLink = std::move(FEditLink);
        }
    }
    return Result;
}

void TBaseLazyTree::UpdateEditBounds() {
    if (!InState(tsEditing) || !FEditLink || !FFocusedNode) return;
    fw::TRect R = GetDisplayRect(FFocusedNode, FEditColumn, true, true);
    TLTHeader* H = Header();
    if (H && H->Columns().IsValidColumn(FEditColumn)) {
        int L = 0, Rt = 0;
        H->Columns().GetColumnBounds(FEditColumn, L, Rt);
        if (FFocusedNode->States & vsMultiline) R.Left = L, R.Right = Rt;
        if (MiscOptions() & toGridExtensions) {
            TAlignment A = H->Columns()[FEditColumn].Alignment();
            if (H->Columns()[FEditColumn].BiDiMode() != bdLeftToRight && A != taCenter)
                A = A == taLeftJustify ? taRightJustify : taLeftJustify;
            if (A == taLeftJustify)
                R.Right = Rt;
            else
                R.Left = L;
        }
    }
    if (PaintOptions() & toShowHorzGridLines) --R.Bottom;
    FEditLink->SetBounds(R);
}

bool TBaseLazyTree::EditNode(PLazyNode Node, int Column) {
    if (!Node || Node == FRoot || !CanEdit(Node, Column)) return false;
    SetFocusedNode(Node);
    FEditColumn = Column;
    DoEdit();
    return InState(tsEditing);
}

bool TBaseLazyTree::EndEditNode() {
    if (InState(tsEditing) || InState(tsEditPending)) return DoEndEdit();
    return true;
}

bool TBaseLazyTree::CancelEditNode() {
    if ((InState(tsEditing) || InState(tsEditPending)) && HandleAllocated()) return DoCancelEdit();
    return true;
}

// --- the edit window ---------------------------------------------------------------

TLTEdit::TLTEdit(TStringEditLink* Link) : fw::TEdit(nullptr), FLink(Link) {
    SetShowHint(false);
    SetParentShowHint(false);
    SetVisible(false);
}

void TLTEdit::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    TStringEditLink* L = FLink;
    TCustomLazyStringTree* Tree = L ? L->Tree() : nullptr;
    if (!Tree) {
        fw::TEdit::KeyDown(Key, Shift);
        return;
    }
    const bool Multiline = L->Node() && (L->Node()->States & vsMultiline);
    switch (Key) {
    case fw::VK_RETURN:
        if (!Multiline || (Shift & fw::ssCtrl)) {
            Key = 0;
            Tree->InvalidateNode(L->Node());
            Tree->DoEndEdit();
            Tree->SetFocus();
            return;
        }
        break;
    case fw::VK_ESCAPE:
        Key = 0;
        Tree->DoCancelEdit();
        Tree->SetFocus();
        return;
    case fw::VK_UP:
        if (!Multiline) Key = fw::VK_LEFT;
        break;
    case fw::VK_DOWN:
        if (!Multiline) Key = fw::VK_RIGHT;
        break;
    default:
        break;
    }
    fw::TEdit::KeyDown(Key, Shift);
}

void TLTEdit::KeyPress(char& Key) {
    // Tab and Escape would only beep in a one-line edit.
    if (Key == '\t' || Key == 27) {
        Key = 0;
        return;
    }
    fw::TEdit::KeyPress(Key);
}

void TLTEdit::DoExit() {
    fw::TEdit::DoExit();
    TStringEditLink* L = FLink;
    if (!L || L->Stopping() || !L->Tree()) return;
    if (L->Tree()->StringOptions() & toAutoAcceptEditChange)
        L->Tree()->DoEndEdit();
    else
        L->Tree()->DoCancelEdit();
}

// --- the link --------------------------------------------------------------------------

TStringEditLink::TStringEditLink() : FEdit(std::make_unique<TLTEdit>(this)) {}

TStringEditLink::~TStringEditLink() {
    if (FEdit) {
        FEdit->Detach();
        FEdit->SetParent(nullptr);
    }
}

bool TStringEditLink::PrepareEdit(TBaseLazyTree* Tree, void* Node, int Column) {
    auto* S = dynamic_cast<TCustomLazyStringTree*>(Tree);
    if (!S || !Node) return false;
    FTree = S;
    FNode = static_cast<PLazyNode>(Node);
    FColumn = Column;
    std::string Text;
    // A text the 8-bit edit cannot hold would come back changed: no edit then.
    if (!WideToEditText(S->GetText(FNode, Column), Text)) return false;
    FTextBounds = S->GetDisplayRect(FNode, Column, true, true);
    FEdit->Font().Assign(S->Font());
    FEdit->Font().SetColor(fw::clBlack);
    FEdit->SetParent(S);
    FEdit->SetText(Text);
    FEdit->SetModified(false);
    TLTHeader* H = S->Header();
    TBiDiMode Bidi = S->BiDiMode();
    FAlignment = taLeftJustify;
    if (Column >= 0 && H && H->Columns().IsValidColumn(Column)) {
        Bidi = H->Columns()[Column].BiDiMode();
        FAlignment = H->Columns()[Column].Alignment();
    }
    if (Bidi != bdLeftToRight && FAlignment != taCenter)
        FAlignment = FAlignment == taLeftJustify ? taRightJustify : taLeftJustify;
    return true;
}

bool TStringEditLink::BeginEdit() {
    if (!FStopping) {
        FEdit->Show();
        FEdit->SelectAll();
        FEdit->SetFocus();
    }
    return !FStopping;
}

bool TStringEditLink::EndEdit() {
    const bool Result = !FStopping;
    if (FStopping) return Result;
    FStopping = true;
    if (FEdit->Modified() && FTree) FTree->DoNewText(FNode, FColumn, EditTextToWide(FEdit->Text()));
    FEdit->Hide();
    FEdit->Detach();
    return Result;
}

bool TStringEditLink::CancelEdit() {
    const bool Result = !FStopping;
    if (FStopping) return Result;
    FStopping = true;
    FEdit->Hide();
    if (FTree) FTree->CancelEditNode();
    FEdit->Detach();
    return Result;
}

fw::TRect TStringEditLink::GetBounds() const {
    return {FEdit->Left(), FEdit->Top(), FEdit->Left() + FEdit->Width(),
            FEdit->Top() + FEdit->Height()};
}

void TStringEditLink::ProcessMessage(fw::TMessage& Message) {
    Message.Result = FEdit->Perform(Message.Msg, Message.WParam, Message.LParam);
}

void TStringEditLink::SetBounds(fw::TRect R) {
    if (FStopping) return;
    R.Left = std::max(R.Left, 0);
    if (R.Width() < MinEditWidth) {
        if (FAlignment == taRightJustify)
            R.Left = R.Right - MinEditWidth;
        else
            R.Right = R.Left + MinEditWidth;
    }
    if (FTree) R.Right = std::min(R.Right, FTree->ClientWidth());
    FEdit->SetBounds(R.Left, R.Top, R.Width(), R.Height());
}

} // namespace vel
