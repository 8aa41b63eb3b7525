#include "Hints.h"

#include "Canvas.h"
#include "Forms.h"
#include "Input.h"
#include "NoDestroy.h"
#include "Timers.h"

#include <algorithm>
#include <typeinfo>

namespace fw {
namespace {

constexpr std::uintptr_t ShowTimer = 1;
constexpr std::uintptr_t HideTimer = 2;
// The hint goes this far below the pointer's hot spot.
constexpr int CursorHeight = 20;

struct THintState {
    HWND TimerWnd = nullptr;
    TControl* Control = nullptr;
    TRect CursorRect; // screen coordinates
    bool Active = false;
    std::unique_ptr<THintWindow> Window;
    THintSettings Settings;
};

// Never destroyed: a hint window must not outlive the window layer at exit.
THintState& State() {
    static TNoDestroy<THintState> S;
    return *S;
}

LRESULT TimerProc(HWND, UINT Msg, WPARAM WParam, LPARAM);

HWND TimerWindow() {
    THintState& S = State();
    if (!S.TimerWnd || !IsWindow(S.TimerWnd)) S.TimerWnd = CreateWindowHandle(TimerProc);
    return S.TimerWnd;
}

void StopTimers() {
    if (State().TimerWnd && IsWindow(State().TimerWnd)) {
        KillTimer(State().TimerWnd, ShowTimer);
        KillTimer(State().TimerWnd, HideTimer);
    }
}

void HideWindow() {
    THintState& S = State();
    S.Active = false;
    if (S.Window && S.Window->Visible()) S.Window->ReleaseHint();
}

LRESULT TimerProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM) {
    if (Msg != WM_TIMER) return 0;
    KillTimer(Wnd, WParam);
    if (WParam == ShowTimer)
        ActivateHint(GetCursorPos());
    else if (WParam == HideTimer)
        HideWindow();
    return 0;
}

// The control that speaks for the point: the first of the chain that shows hints.
TControl* HintControlAt(TPoint ScreenPos) {
    if (!Application()->ShowHint()) return nullptr;
    TControl* C = FindControlAtPos(ScreenPos, false);
    while (C && !C->ShowHint())
        C = C->Parent();
    return C;
}

std::u16string Widen(const std::string& S) {
    std::u16string R;
    for (char C : S)
        R.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
    return R;
}

// The part of a hint before "|" is the short hint.
std::string ShortHint(const std::string& Hint) {
    const auto Bar = Hint.find('|');
    return Bar == std::string::npos ? Hint : Hint.substr(0, Bar);
}

void StartShowTimer(std::uint32_t Pause) {
    HWND W = TimerWindow();
    KillTimer(W, ShowTimer);
    SetTimer(W, ShowTimer, std::max<std::uint32_t>(Pause, 1));
}

bool IsButtonMessage(UINT Msg) {
    return (Msg >= WM_LBUTTONDOWN && Msg <= WM_MBUTTONDBLCLK) || Msg == WM_MOUSEWHEEL;
}

// Through references: typeid of a dereferenced pointer call warns as evaluated.
bool SameClass(const THintWindow& A, const THintWindow& B) {
    return typeid(A) == typeid(B);
}

bool IsPlainHintWindow(const THintWindow& W) {
    return typeid(W) == typeid(THintWindow);
}

THintWindow& WindowFor(const THintInfo& Info) {
    THintState& S = State();
    if (Info.HintWindowClass) {
        std::unique_ptr<THintWindow> W = Info.HintWindowClass();
        if (W && (!S.Window || !SameClass(*W, *S.Window))) S.Window = std::move(W);
    } else if (!S.Window || !IsPlainHintWindow(*S.Window)) {
        S.Window = std::make_unique<THintWindow>(nullptr);
    }
    return *S.Window;
}

} // namespace

// --------------------------------------------------------------- THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    SetVisible(false);
    SetParentColor(false);
    SetColor(clInfoBk);
    SetParentFont(false);
    SetShowHint(false);
    SetParentShowHint(false);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::u16string& Hint, void*) {
    if (Hint.empty()) return {};
    TCanvas& C = *Canvas();
    C.Font().Assign(Font());
    TRect R{0, 0, MaxWidth, 0};
    C.DrawText(Hint, R, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    R.Right += 6;
    R.Bottom += 2;
    return R;
}

void THintWindow::ActivateHint(TRect Rect, const std::u16string& Hint) {
    FHintText = Hint;
    const int W = Rect.Width(), H = Rect.Height();
    // Kept on the desktop: moved up or left, never past its top-left corner.
    Rect.Left = std::max(0, std::min(Rect.Left, ScreenWidth() - W));
    Rect.Top = std::max(0, std::min(Rect.Top, ScreenHeight() - H));
    SetBounds(Rect.Left, Rect.Top, W, H);
    if (Visible()) Hide();
    Show();
    Invalidate();
}

void THintWindow::ActivateHintData(TRect Rect, const std::u16string& Hint, void*) {
    ActivateHint(Rect, Hint);
}

bool THintWindow::IsHintMsg(const TMessage& Msg) {
    return IsButtonMessage(Msg.Msg) || Msg.Msg == WM_KEYDOWN || Msg.Msg == WM_SYSKEYDOWN ||
           Msg.Msg == WM_NCLBUTTONDOWN || Msg.Msg == WM_NCRBUTTONDOWN;
}

void THintWindow::Paint() {
    TCanvas& C = *Canvas();
    C.Pen().SetColor(clBlack);
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(Color());
    C.Rectangle(ClientRect());
    C.Font().Assign(Font());
    C.Font().SetColor(clInfoText);
    C.SetBkMode(bkTransparent);
    TRect R{3, 1, Width() - 1, Height() - 1};
    C.DrawText(FHintText, R, DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
}

// ------------------------------------------------------------ the machinery

THintSettings& HintSettings() {
    return State().Settings;
}

void HintMouseMessage(TPoint ScreenPos, const TMessage& Msg) {
    THintState& S = State();
    if (Msg.Msg != WM_MOUSEMOVE) {
        if (IsButtonMessage(Msg.Msg) && (!S.Active || !S.Window || S.Window->IsHintMsg(Msg)))
            CancelHint();
        return;
    }
    TControl* C = HintControlAt(ScreenPos);
    if (!C) {
        CancelHint();
        return;
    }
    const TCallHold Hold(C); // hiding the window shown calls out
    if (C == S.Control) {
        if (!S.CursorRect.IsEmpty() && !S.CursorRect.Contains(ScreenPos)) {
            // Another part of the control may have another hint.
            const bool WasShowing = S.Active;
            HideWindow();
            S.CursorRect = TRect{};
            StartShowTimer(WasShowing ? S.Settings.HintShortPause : S.Settings.HintPause);
        }
        return;
    }
    S.CursorRect = TRect{};
    const bool WasShowing = S.Active;
    HideWindow();
    S.Control = C;
    int Pause = static_cast<int>(WasShowing ? S.Settings.HintShortPause : S.Settings.HintPause);
    C->Perform(CM_HINTSHOWPAUSE, WasShowing ? 1 : 0, reinterpret_cast<LPARAM>(&Pause));
    StartShowTimer(static_cast<std::uint32_t>(std::max(Pause, 0)));
}

void HintKeyMessage(const TMessage& Msg) {
    THintState& S = State();
    if (S.Active && S.Window && S.Window->IsHintMsg(Msg)) CancelHint();
}

void CancelHint() {
    THintState& S = State();
    StopTimers();
    HideWindow();
    S.Control = nullptr;
}

void ActivateHint(TPoint CursorPos) {
    THintState& S = State();
    TControl* C = S.Control;
    if (!C) return;
    const TCallHold Hold(C);
    THintInfo Info;
    Info.HintControl = C;
    Info.CursorPos = C->ScreenToClient(CursorPos);
    Info.CursorRect = C->ClientRect();
    Info.HintStr = ShortHint(C->Hint());
    Info.HintPos = TPoint{CursorPos.X, CursorPos.Y + CursorHeight};
    Info.HideTimeout = static_cast<int>(S.Settings.HintHidePause);
    const bool Refused = C->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&Info)) != 0;
    if (S.Control != C) return;
    // The part the answer is for: leaving it asks again, shown or not.
    const TPoint O = C->ClientToScreen(TPoint{Info.CursorRect.Left, Info.CursorRect.Top});
    S.CursorRect =
        OffsetRect(Info.CursorRect, O.X - Info.CursorRect.Left, O.Y - Info.CursorRect.Top);
    const std::u16string Text = Info.WideHint.empty() ? Widen(Info.HintStr) : Info.WideHint;
    if (Refused || Text.empty()) return;
    THintWindow& W = WindowFor(Info);
    W.SetColor(Info.HintColor);
    TRect R = W.CalcHintRect(Info.HintMaxWidth, Text, Info.HintData);
    if (R.IsEmpty()) return;
    R = OffsetRect(R, Info.HintPos.X, Info.HintPos.Y);
    W.ActivateHintData(R, Text, Info.HintData);
    S.Active = true;
    if (Info.HideTimeout >= 0)
        SetTimer(TimerWindow(), HideTimer,
                 static_cast<std::uint32_t>(Info.HideTimeout ? Info.HideTimeout
                                                             : S.Settings.HintHidePause));
}

THintWindow* CurrentHintWindow() {
    return State().Window.get();
}

TControl* HintControl() {
    return State().Control;
}

bool HintShowing() {
    return State().Active && State().Window && State().Window->Visible();
}

void HintControlFreed(TControl* Control) {
    TControl* H = State().Control;
    if (H && (H == Control || (Control->IsWindowed() &&
                               static_cast<TWinControl*>(Control)->ContainsControl(H))))
        CancelHint();
}

void FreeHintWindow() {
    CancelHint();
    State().Window.reset();
}

void ResetHints() {
    THintState& S = State();
    StopTimers();
    S.Window.reset();
    S.Control = nullptr;
    S.Active = false;
    S.Settings = THintSettings{};
}

} // namespace fw
