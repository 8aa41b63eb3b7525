// In-place editing: the tree's edit life cycle and the string edit link.
#include "LazyTreeEdit.h"
#include "LazyTreeInternal.h"
#include "Input.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int MinEditWidth = 30;

} // namespace

// --- the tree's side -------------------------------------------------------------

bool TBaseLazyTree::CanEdit(PLazyNode Node, int Column) {
    bool Allowed = (MiscOptions() & toEditable) && Enabled() && !ReadOnly();
    DoCanEdit(Node, Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoCanEdit(PLazyNode Node, int Column, bool& Allowed) {
    lt::Fire(*this, OnEditing, this, Node, Column, Allowed);
}

std::shared_ptr<ILTEditLink> TBaseLazyTree::DoCreateEditor(PLazyNode Node, int Column) {
    std::shared_ptr<ILTEditLink> Link;
    if (OnCreateEditor) {
        lt::Fire(*this, OnCreateEditor, this, Node, Column, Link);
        if (!Link) ShowError(SEditLinkIsNil, hcTFEditLinkIsNil);
        return Link;
    }
    if (dynamic_cast<TCustomLazyStringTree*>(this)) Link = std::make_shared<TStringEditLink>();
    return Link;
}

void TBaseLazyTree::DoEdit() {
    lt::TBusyScope Busy(*this);
    StopTimer(ScrollTimer);
    StopTimer(EditTimer);
    DoStateChange({}, {tsEditPending});
    // A handler started an edit already: that one runs.
    if (InState(tsEditing)) return;
    // Outside handlers no retired editor is on the call stack any more.
    if (!DeletionsWait()) FRetiredEditLinks.clear();
    PLazyNode Node = FFocusedNode;
    if (Node && !(Node->States & vsDisabled) && !ReadOnly() && !FEditLink) {
        std::shared_ptr<ILTEditLink> Made = DoCreateEditor(Node, FEditColumn);
        // The editor's maker moved the focus, or started an edit of its own.
        if (FFocusedNode != Node || FEditLink || InState(tsEditing)) {
            if (Made) FRetiredEditLinks.push_back(std::move(Made));
            return;
        }
        FEditLink = std::move(Made);
    }
    const std::shared_ptr<ILTEditLink> Link = FEditLink; // alive while its steps run
    if (!Link || !FFocusedNode) return;
    DoStateChange({tsEditing}, {tsToggleFocusedSelection, tsClearPending, tsDrawSelPending,
                                tsDrawSelecting, tsMouseCheckPending, tsOLEDragging,
                                tsOLEDragPending, tsScrolling, tsScrollPending});
    // Each step calls handlers, which may end, cancel or replace this edit
    // (moving the focus ends it): the start goes on only while it runs.
    auto Running = [this, &Link] { return InState(tsEditing) && FEditLink == Link; };
    // A handler that throws while the editor is set up leaves no half-started edit.
    try {
        ScrollIntoView(FFocusedNode, (SelectionOptions() & toCenterScrollIntoView) != 0, true);
        const bool Prepared = Running() && Link->PrepareEdit(this, FFocusedNode, FEditColumn);
        if (Prepared && Running()) UpdateEditBounds();
        if (Prepared && Running()) InvalidateNode(FFocusedNode);
        if (Running() && !(Prepared && Link->BeginEdit()) && Running())
            DoStateChange({}, {tsEditing});
    } catch (...) {
        if (Running()) {
            DoStateChange({}, {tsEditing});
            RetireEditLink();
        }
        throw;
    }
    if (!InState(tsEditing) && FEditLink == Link) RetireEditLink();
}

void TBaseLazyTree::RetireEditLink() {
    if (FEditLink) FRetiredEditLinks.push_back(std::move(FEditLink));
}

bool TBaseLazyTree::DoEndEdit() {
    lt::TBusyScope Busy(*this);
    bool Result = false;
    StopTimer(EditTimer);
    if (InState(tsEditing) && FEditLink) {
        const std::shared_ptr<ILTEditLink> Link = FEditLink;
        Result = Link->EndEdit();
        // The new text's handler may have ended this edit some other way.
        if (Result && InState(tsEditing) && FEditLink == Link) {
            DoStateChange({}, {tsEditing});
            RetireEditLink();
            lt::Fire(*this, OnEdited, this, FFocusedNode, FEditColumn);
        }
    }
    DoStateChange({}, {tsEditPending});
    return Result;
}

bool TBaseLazyTree::DoCancelEdit() {
    StopTimer(EditTimer);
    DoStateChange({}, {tsEditPending});
    bool Result = false;
    if (InState(tsEditing) && FEditLink) {
        const std::shared_ptr<ILTEditLink> Link = FEditLink;
        Result = Link->CancelEdit();
        if (Result && InState(tsEditing) && FEditLink == Link) {
            DoStateChange({}, {tsEditing});
            lt::Fire(*this, OnEditCancelled, this, FEditColumn);
            if (!Destroying() && FEditLink == Link) RetireEditLink();
        }
    }
    return Result;
}

void TBaseLazyTree::UpdateEditBounds() {
    if (!InState(tsEditing) || !FEditLink || !FFocusedNode) return;
    lt::TBusyScope Busy(*this);
    // Measuring the cell calls handlers, which may end the edit or change the columns.
    const std::shared_ptr<ILTEditLink> Link = FEditLink;
    auto Running = [&] { return InState(tsEditing) && FEditLink == Link && FFocusedNode; };
    TLTHeader* H = Header();
    auto HasColumn = [&] { return H && H->Columns().IsValidColumn(FEditColumn); };
    fw::TRect R = GetDisplayRect(FFocusedNode, FEditColumn, true, true);
    if (Running() && (FFocusedNode->States & vsMultiline)) {
        // The cell's whole text area, where the lines wrap.
        R = GetDisplayRect(FFocusedNode, FEditColumn, false, true);
        const int Lead = Running() ? ContentLead(FFocusedNode, FEditColumn) : 0;
        const bool RTL =
            (HasColumn() ? H->Columns()[FEditColumn].BiDiMode() : BiDiMode()) != bdLeftToRight;
        (RTL ? R.Right : R.Left) += (RTL ? -1 : 1) * Lead;
    }
    if (!Running()) return;
    if (HasColumn()) {
        int L = 0, Rt = 0;
        H->Columns().GetColumnBounds(FEditColumn, L, Rt);
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
    Link->SetBounds(R);
}

bool TBaseLazyTree::EditNode(PLazyNode Node, int Column) {
    lt::TBusyScope Busy(*this);
    if (InState(tsEditing)) return true;
    // A node on its way out is not edited: its editor would outlive it.
    if (!Node || Node == FRoot || lt::StaysPut(Node) || BeingFreed(Node) || !CanEdit(Node, Column))
        return false;
    SetFocusedNode(Node);
    // Refused, or moved on by a focus handler (which may have started an edit itself).
    if (FFocusedNode != Node || InState(tsEditing)) return InState(tsEditing);
    FEditColumn = Column;
    DoEdit();
    return InState(tsEditing);
}

bool TBaseLazyTree::EndEditNode() {
    lt::TBusyScope Busy(*this);
    if (InState(tsEditing) || InState(tsEditPending)) return DoEndEdit();
    return true;
}

void TBaseLazyTree::AbortEdit() {
    DoCancelEdit();
}

bool TBaseLazyTree::CancelEditNode() {
    lt::TBusyScope Busy(*this);
    if ((InState(tsEditing) || InState(tsEditPending)) && HandleAllocated()) return DoCancelEdit();
    return true;
}

// --- the edit window ---------------------------------------------------------------

TLTEdit::TLTEdit(TStringEditLink* Link) : fw::TWideEdit(nullptr), FLink(Link) {
    SetShowHint(false);
    SetParentShowHint(false);
    SetVisible(false);
}

bool TLTEdit::NodeMultiline() const {
    return FLink && FLink->Node() && (FLink->Node()->States & vsMultiline);
}

void TLTEdit::CreateParams(fw::TCreateParams& Params) {
    fw::TWideEdit::CreateParams(Params);
    Params.Style |= fw::ES_MULTILINE;
    if (NodeMultiline()) {
        Params.Style &= ~(fw::ES_AUTOHSCROLL | fw::WS_HSCROLL);
        Params.Style |= fw::WS_VSCROLL | fw::ES_AUTOVSCROLL;
    }
    // No themes here: a single border rather than a client edge.
    Params.Style |= fw::WS_BORDER;
    Params.ExStyle &= ~fw::WS_EX_CLIENTEDGE;
}

void TLTEdit::WndProc(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_GETDLGCODE:
        Message.Result = fw::DLGC_WANTARROWS | fw::DLGC_WANTTAB | fw::DLGC_WANTALLKEYS |
                         fw::DLGC_WANTCHARS;
        return;
    case CM_AUTOADJUST:
        AutoAdjust();
        return;
    case fw::WM_DESTROY:
        WindowDestroyed();
        break;
    default:
        break;
    }
    fw::TWideEdit::WndProc(Message);
}

bool TLTEdit::EditKey(std::uint16_t Key, fw::TShiftState Shift) {
    TStringEditLink* L = FLink;
    TCustomLazyStringTree* Tree = L ? L->Tree() : nullptr;
    if (!Tree) return fw::TWideEdit::EditKey(Key, Shift);
    const bool Multiline = NodeMultiline();
    switch (Key) {
    case fw::VK_RETURN:
        // A multi-line node takes Enter as a line break; Ctrl+Enter ends the edit there.
        if (Multiline && !(Shift & fw::ssCtrl)) return false;
        Tree->InvalidateNode(L->Node());
        Tree->DoEndEdit();
        Tree->SetFocus();
        return true;
    case fw::VK_ESCAPE:
        Tree->DoCancelEdit();
        Tree->SetFocus();
        return true;
    case fw::VK_UP:
        return fw::TWideEdit::EditKey(Multiline ? Key : fw::VK_LEFT, Shift);
    case fw::VK_DOWN:
        return fw::TWideEdit::EditKey(Multiline ? Key : fw::VK_RIGHT, Shift);
    default:
        return fw::TWideEdit::EditKey(Key, Shift);
    }
}

void TLTEdit::EditChar(char16_t Ch) {
    // Tab and Escape would only beep; Enter on a single line ended the edit already.
    if (Ch == u'\t' || Ch == 27) return;
    if (Ch == u'\r' && !NodeMultiline()) return;
    if (Ch == u'\n' && NodeMultiline() && (fw::KeyboardShiftState() & fw::ssCtrl)) return;
    fw::TWideEdit::EditChar(Ch);
}

void TLTEdit::Change() {
    fw::TWideEdit::Change();
    TStringEditLink* L = FLink;
    if (L && L->Tree() && !(L->Tree()->MiscOptions() & toGridExtensions) && HandleAllocated())
        fw::PostMessage(Handle(), CM_AUTOADJUST, 0, 0);
}

void TLTEdit::AutoAdjust() {
    TStringEditLink* L = FLink;
    if (!L || !L->Tree() || NodeMultiline()) return;
    TCustomLazyStringTree* Tree = L->Tree();
    const int Width = TextWidth(WideText()) + 2 * Tree->TextMargin();
    if (this->Width() > Width) Tree->InvalidateNode(L->Node());
    fw::TRect R = L->GetBounds();
    if (L->Alignment() == taRightJustify)
        R.Left = R.Right - Width;
    else
        R.Right = R.Left + Width;
    L->SetBounds(R);
}

void TLTEdit::WindowDestroyed() {
    TStringEditLink* L = FLink;
    if (L && !L->Stopping() && L->Tree() && Modified() &&
        (L->Tree()->StringOptions() & toAutoAcceptEditChange))
        L->Tree()->DoNewText(L->Node(), L->Column(), WideText());
    FLink = nullptr;
}

void TLTEdit::DoExit() {
    fw::TWideEdit::DoExit();
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

void TStringEditLink::Detach() {
    FEdit->Detach();
}

bool TStringEditLink::PrepareEdit(TBaseLazyTree* Tree, void* Node, int Column) {
    auto* S = dynamic_cast<TCustomLazyStringTree*>(Tree);
    if (!S || !Node) return false;
    FTree = S;
    FNode = static_cast<PLazyNode>(Node);
    FColumn = Column;
    fw::TFont Font;
    Font.Assign(S->Font());
    std::u16string Text;
    S->GetTextInfo(FNode, Column, Font, FTextBounds, Text);
    FEdit->Font().Assign(Font);
    FEdit->Font().SetColor(fw::clBlack);
    FEdit->SetParent(S);
    FEdit->RecreateWnd(); // the style follows the node (one line or many)
    FEdit->SetWideText(Text);
    FEdit->SetModified(false);
    TLTHeader* H = S->Header();
    TBiDiMode Bidi = S->BiDiMode();
    FAlignment = S->Alignment();
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
    // A text handler that throws leaves the edit running with its text: a
    // stop left halfway could be neither ended nor cancelled, and its editor
    // kept the node after the node went.
    fw::TScopeExit Resume([this] { FStopping = false; });
    if (FEdit->Modified() && FTree) FTree->DoNewText(FNode, FColumn, FEdit->WideText());
    Resume.Release();
    FEdit->Hide();
    Detach();
    return Result;
}

bool TStringEditLink::CancelEdit() {
    const bool Result = !FStopping;
    if (FStopping) return Result;
    FStopping = true;
    FEdit->Hide();
    if (FTree) FTree->CancelEditNode();
    Detach();
    return Result;
}

fw::TRect TStringEditLink::GetBounds() const {
    return FEdit->BoundsRect();
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
    // The text stays where the tree paints it: a text margin in, at the text's top.
    const int Margin = FTree ? FTree->TextMargin() : 2;
    // One more pixel on the right takes the caret after the last character.
    fw::TRect Format{Margin, 1, std::max(FEdit->ClientWidth() - Margin + 1, Margin + 1),
                     FEdit->ClientHeight() - 1};
    if (!(FNode && (FNode->States & vsMultiline)))
        Format = fw::OffsetRect(Format, 0, std::max(FTextBounds.Top - R.Top - 1, 0));
    FEdit->Perform(fw::EM_SETRECTNP, 0, reinterpret_cast<fw::LPARAM>(&Format));
}

} // namespace vel
