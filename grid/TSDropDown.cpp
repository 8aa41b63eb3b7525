#include "TSDropDown.h"

#include "Messages.h"
#include "NoDestroy.h"
#include "ScopeExit.h"

#include <algorithm>

namespace vel {

namespace {

struct TRegistryState {
    std::vector<TtsDropDownOwner*> Grids;
    fw::THookHandle MouseHook = nullptr;
    fw::THookHandle CallWndHook = nullptr;
};

// Never destroyed: a grid freed by a late exit handler still leaves it.
TRegistryState& State() {
    static fw::TNoDestroy<TRegistryState> S;
    return *S;
}

bool IsRegistered(TtsDropDownOwner* G) {
    const auto& L = State().Grids;
    return std::find(L.begin(), L.end(), G) != L.end();
}

bool BelongsToGrid(TtsDropDownOwner* G, fw::HWND Wnd) {
    if (!Wnd) return false;
    return Wnd == G->GridWindow() || Wnd == G->ComboListWindow() || Wnd == G->CellControlWindow() ||
           G->IsDropDownWindow(Wnd);
}

fw::LRESULT MouseHookProc(int Code, fw::WPARAM WParam, fw::LPARAM LParam) {
    fw::LRESULT Result = fw::CallNextHook(State().MouseHook, Code, WParam, LParam);
    auto Msg = static_cast<fw::UINT>(WParam);
    if (Code < 0 || LParam == 0 ||
        (Msg != fw::WM_LBUTTONDOWN && Msg != fw::WM_RBUTTONDOWN && Msg != fw::WM_NCLBUTTONDOWN &&
         Msg != fw::WM_NCRBUTTONDOWN))
        return Result;
    fw::HWND Under = reinterpret_cast<const fw::TMouseHookStruct*>(LParam)->hwnd;
    // A grid closed here may unregister itself: walk a copy, skipping the gone.
    std::vector<TtsDropDownOwner*> Walk = State().Grids;
    for (auto It = Walk.rbegin(); It != Walk.rend(); ++It) {
        TtsDropDownOwner* G = *It;
        if (!IsRegistered(G)) continue;
        if (BelongsToGrid(G, Under) || !G->MayCloseDropDown()) break;
        G->CloseDropDown(true);
    }
    return Result;
}

fw::LRESULT CallWndHookProc(int Code, fw::WPARAM WParam, fw::LPARAM LParam) {
    fw::LRESULT Result = fw::CallNextHook(State().CallWndHook, Code, WParam, LParam);
    if (Code < 0 || LParam == 0) return Result;
    if (reinterpret_cast<const fw::TCwpStruct*>(LParam)->message != fw::WM_NCACTIVATE)
        return Result;
    std::vector<TtsDropDownOwner*> Walk = State().Grids;
    for (auto It = Walk.rbegin(); It != Walk.rend(); ++It) {
        TtsDropDownOwner* G = *It;
        if (!IsRegistered(G)) continue;
        if (!(G->IsDropDownOpen() && !G->MayCloseDropDown())) G->CloseDropDown(true);
    }
    return Result;
}

} // namespace

void TtsDropDownRegistry::Add(TtsDropDownOwner* Grid) {
    TRegistryState& S = State();
    if (!S.MouseHook) S.MouseHook = fw::InstallThreadHook(fw::THookKind::Mouse, MouseHookProc);
    if (!S.CallWndHook)
        S.CallWndHook = fw::InstallThreadHook(fw::THookKind::CallWndProc, CallWndHookProc);
    S.Grids.push_back(Grid);
}

void TtsDropDownRegistry::Remove(TtsDropDownOwner* Grid) {
    TRegistryState& S = State();
    auto It = std::find(S.Grids.begin(), S.Grids.end(), Grid);
    if (It != S.Grids.end()) S.Grids.erase(It);
    if (S.Grids.empty()) {
        if (S.MouseHook) fw::RemoveHook(S.MouseHook);
        if (S.CallWndHook) fw::RemoveHook(S.CallWndHook);
        S.MouseHook = nullptr;
        S.CallWndHook = nullptr;
    }
}

const std::vector<TtsDropDownOwner*>& TtsDropDownRegistry::Grids() {
    return State().Grids;
}

bool TtsDropDownRegistry::HooksInstalled() {
    return State().MouseHook != nullptr && State().CallWndHook != nullptr;
}

TtsDropDownForm::TtsDropDownForm(fw::TComponent* AOwner) : fw::TCustomForm(AOwner) {
    SetControlStyle(ControlStyle() | fw::csOpaque); // no background erase
}

void TtsDropDownForm::CreateParams(fw::TCreateParams& Params) {
    fw::TCustomForm::CreateParams(Params);
    if (!DropDownStyle) return;
    Params.Style = fw::WS_POPUP;
    Params.WindowClassStyle = fw::CS_DBLCLKS;
    auto* OwnerWindow = dynamic_cast<fw::TWinControl*>(Owner());
    if (OwnerWindow) Params.WndParent = OwnerWindow->Handle();
}

void TtsDropDownForm::CreateWnd() {
    fw::TCustomForm::CreateWnd();
    if (DropDownStyle) fw::SetWindowStyle(Handle(), fw::WS_CHILD);
}

void TtsDropDownForm::WndProc(fw::TMessage& Message) {
    const bool Lift = DropDownStyle && HandleAllocated() &&
                      (Message.Msg == fw::WM_WINDOWPOSCHANGED || Message.Msg == fw::WM_SIZE ||
                       Message.Msg == fw::WM_MOVE);
    if (!Lift) {
        fw::TCustomForm::WndProc(Message);
        return;
    }
    const fw::HWND Wnd = Handle();
    const std::uint32_t Old = fw::GetWindowStyle(Wnd);
    fw::SetWindowStyle(Wnd, Old & ~fw::WS_CHILD);
    fw::TScopeExit PutBack([Wnd, Old] { fw::SetWindowStyle(Wnd, Old); });
    fw::TCustomForm::WndProc(Message);
}

} // namespace vel
