#include "InplaceEdit.h"

#include "Forms.h"
#include "Grids_ts.h"
#include "Input.h"
#include "Messages.h"
#include "Timers.h"
#include "WideEdit.h"

#include <algorithm>

namespace vel {

TInplaceEdit::TInplaceEdit(fw::TComponent* AOwner) : fw::TMaskEdit(AOwner) {
    SetCtl3D(false);
    SetTabStop(false);
    SetAutoSelect(false);
    SetVisible(false);
}

void TInplaceEdit::CreateParams(fw::TCreateParams& Params) {
    fw::TEdit::CreateParams(Params);
    // No border; multi-line so that the editing rectangle can be set.
    Params.ExStyle &= ~fw::WS_EX_CLIENTEDGE;
    Params.Style &= ~fw::WS_BORDER;
    Params.Style |= fw::ES_MULTILINE;
}

bool TInplaceEdit::DoMouseWheel(fw::TShiftState Shift, int WheelDelta, fw::TPoint MousePos) {
    return Grid ? Grid->DoMouseWheel(Shift, WheelDelta, MousePos) : false;
}

TInplaceEdit::~TInplaceEdit() = default;

void TInplaceEdit::UpdateContents() {
    SetText("");
    if (!Grid) return;
    SetEditMask(Grid->GetEditMask(Grid->Col(), Grid->Row()));
    FEditStyle = Grid->GetEditStyle(Grid->Col(), Grid->Row());
    SetText(Grid->GetEditText(Grid->Col(), Grid->Row()));
    SetMaxLength(Grid->GetEditLimit());
}

void TInplaceEdit::BoundsChanged() {
    // The text stands 2 pixels in from the left and the top, as the grid's cells draw it;
    // the edit has no horizontal scroll of its own to bring the caret into view.
    fw::TRect R{2, 2, std::max(2, Width() - 2), Height()};
    Perform(fw::EM_SETRECTNP, 0, reinterpret_cast<fw::LPARAM>(&R));
}

bool TInplaceEdit::EditCanModify() {
    return Grid && Grid->CanEditModify();
}

void TInplaceEdit::InternalMove(const fw::TRect& R, bool Redraw) {
    if (R.Right <= R.Left || R.Bottom <= R.Top) {
        HideEditor();
        return;
    }
    HandleNeeded();
    Redraw = Redraw || !Visible();
    InvalidateEditor();
    SetBounds(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
    BringToFront();
    Show();
    BoundsChanged();
    if (Redraw) InvalidateEditor();
    if (Grid && Grid->Focused()) SetFocus();
}

void TInplaceEdit::HideEditor() {
    if (!HandleAllocated() || !Visible()) return;
    const bool HadFocus = Focused();
    InvalidateEditor();
    Hide();
    if (HadFocus && Grid && Grid->CanFocus()) Grid->SetFocus();
}

void TInplaceEdit::InvalidateEditor() {
    Invalidate();
    if (Grid) Grid->InvalidateRect(BoundsRect());
}

void TInplaceEdit::Deselect() {
    SetCaretPos(static_cast<int>(Text().size()));
}

void TInplaceEdit::SendToGrid(std::uint16_t& Key, fw::TShiftState Shift) {
    if (Grid) Grid->KeyDown(Key, Shift);
    Key = 0;
}

void TInplaceEdit::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    const bool Forward = Grid && (Grid->Options() & goAlwaysShowEditor);
    const bool Ctrl = Shift & fw::ssCtrl;
    const int Len = static_cast<int>(Text().size());
    const bool AtLeft =
        CaretPos() == 0 && SelStart() == 0 && (SelLength() == 0 || SelLength() == Len);
    const bool AtRight = CaretPos() == Len && (SelLength() == 0 || SelStart() + SelLength() == Len);
    const fw::TShiftState Mods = Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt);
    switch (Key) {
    case fw::VK_UP:
    case fw::VK_DOWN:
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
    case fw::VK_ESCAPE:
        SendToGrid(Key, Shift);
        break;
    case fw::VK_INSERT:
        if (Mods == 0)
            SendToGrid(Key, Shift);
        else if (Mods == fw::ssShift && !EditCanModify())
            Key = 0;
        break;
    case fw::VK_LEFT:
    case fw::VK_HOME:
        if (Forward && (Ctrl || AtLeft)) SendToGrid(Key, Shift);
        break;
    case fw::VK_RIGHT:
    case fw::VK_END:
        if (Forward && (Ctrl || AtRight)) SendToGrid(Key, Shift);
        break;
    case fw::VK_DELETE:
        if (Ctrl)
            SendToGrid(Key, Shift);
        else if (!EditCanModify())
            Key = 0;
        break;
    case fw::VK_F2:
        if (Grid) fw::CallHandler(Grid->OnKeyDown, Grid, Key, Shift);
        if (Key == fw::VK_F2) {
            Deselect();
            Key = 0;
        }
        return;
    case fw::VK_TAB:
        if (!(Shift & fw::ssAlt)) SendToGrid(Key, Shift);
        break;
    default:
        break;
    }
    if (Key != 0) {
        if (Grid) fw::CallHandler(Grid->OnKeyDown, Grid, Key, Shift);
        if (Key != 0) fw::TMaskEdit::KeyDown(Key, Shift);
    }
}

void TInplaceEdit::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    if (Grid) Grid->KeyUp(Key, Shift);
}

void TInplaceEdit::KeyPress(char& Key) {
    if (Grid) Grid->KeyPress(Key);
    const auto Ch = static_cast<unsigned char>(Key);
    if (Ch >= 32 && Grid && !Grid->CanEditAcceptKey(Key)) {
        Key = 0;
        fw::MessageBeep();
        return;
    }
    switch (Ch) {
    case 9:
    case 27:
        Key = 0;
        return;
    case 13: {
        const int Len = static_cast<int>(Text().size());
        if (SelStart() == 0 && SelLength() == Len)
            Deselect();
        else
            SelectAll();
        Key = 0;
        return;
    }
    case 8:
    case 22:
    case 24:
        if (!EditCanModify()) Key = 0;
        break;
    default:
        if (Ch >= 32 && !EditCanModify()) Key = 0;
        break;
    }
    if (Key != 0) fw::TMaskEdit::KeyPress(Key);
}

void TInplaceEdit::DblClick() {
    if (Grid) Grid->DblClick();
}

void TInplaceEdit::WndProc(fw::TMessage& Message) {
    // A form that will not have the grid focused keeps the focus where it was.
    if (Message.Msg == fw::WM_SETFOCUS) {
        fw::TCustomForm* Form = fw::GetParentForm(this);
        if (Form && !Form->SetFocusedControl(Grid ? static_cast<fw::TWinControl*>(Grid) : this))
            return;
    }
    if (Message.Msg == fw::WM_LBUTTONDOWN) {
        const auto Now = static_cast<std::int32_t>(fw::GetTickCount());
        if (ClickTime != 0 && static_cast<std::uint32_t>(Now - ClickTime) < fw::DoubleClickTime())
            Message.Msg = fw::WM_LBUTTONDBLCLK;
        ClickTime = 0;
    }
    fw::TMaskEdit::WndProc(Message);
}

void TInplaceEdit::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_PASTE:
    case fw::WM_CUT:
    case fw::WM_CLEAR:
        if (!EditCanModify()) return;
        break;
    case fw::WM_GETDLGCODE:
        fw::TMaskEdit::Dispatch(Message);
        Message.Result |= fw::DLGC_WANTARROWS;
        if (Grid && (Grid->Options() & goTabs)) Message.Result |= fw::DLGC_WANTTAB;
        return;
    case fw::CM_EXIT:
        // Focus leaving the editor for a window outside the grid leaves the grid too.
        fw::TEdit::Dispatch(Message);
        if (Grid && !Grid->HoldsFocus()) Grid->Perform(fw::CM_EXIT, 0, 0);
        return;
    default:
        break;
    }
    fw::TMaskEdit::Dispatch(Message);
}

} // namespace vel
