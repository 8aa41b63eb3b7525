#include "Forms.h"

#include "Hints.h"
#include "Input.h"

#include <algorithm>
#include <utility>

namespace fw {

// ----------------------------------------------------------------- forms

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    // A new form is hidden until shown.
    SetVisible(false);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
    SetControlStyle(ControlStyle() | csAcceptsControls);
}

TCustomForm::~TCustomForm() {
    SetState(TComponentStateItem::Destroying); // OnDestroy freeing the form frees nothing
    TCustomForm::BeforeDestruction();
}

void TCustomForm::BeforeDestruction() {
    if (!std::exchange(FDestroyFired, true)) CallHandler(OnDestroy, this);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style = (Params.Style & ~WS_CHILD) | WS_POPUP | WS_CAPTION;
    Params.WndParent = Application()->Handle();
}

void TCustomForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TCustomForm::Hide() {
    SetVisible(false);
}

void TCustomForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SHOWWINDOW:
        if (Message.WParam)
            DoShow();
        else
            DoHide();
        break;
    case CM_DIALOGKEY: {
        const auto key = static_cast<std::uint16_t>(Message.WParam);
        const bool shift = (KeyboardShiftState() & ssShift) != 0;
        if (key == VK_TAB) {
            SelectNext(FActiveControl, !shift);
            Message.Result = 1;
            return;
        }
        if (key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN) {
            SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN);
            Message.Result = 1;
            return;
        }
        break;
    }
    case CM_RELEASE:
        Free(this);
        return; // nothing of the form may be touched any more
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == TOperation::Remove && AComponent == FActiveControl) FActiveControl = nullptr;
}

void TCustomForm::DoShow() {
    CallHandler(OnShow, this);
}
void TCustomForm::DoHide() {
    CallHandler(OnHide, this);
}

void TCustomForm::Close() {
    TCloseAction action = caHide;
    CallHandler(OnClose, this, action);
    if (action == caNone) return;
    if (action == caFree) {
        Release();
        return;
    }
    Hide();
}

void TCustomForm::Release() {
    Hide();
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control && (Control == this || !ContainsControl(Control)))
        throw EComponentError("The active control must be inside the form");
    if (FActiveControl && FActiveControl != Control) RemoveFreeNotification(FActiveControl);
    FActiveControl = Control;
    if (Control) FreeNotification(Control);
    if (Control && Showing() && Control->CanFocus()) Control->SetFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
    if (InState(TComponentStateItem::Destroying) || !Control || Control == this ||
        !ContainsControl(Control) || !Control->Enabled())
        return false;
    FocusedControlChanged(Control);
    return true;
}

void TCustomForm::FocusedControlChanged(TWinControl* Control) {
    if (Control == FActiveControl) return;
    if (FActiveControl) RemoveFreeNotification(FActiveControl);
    FActiveControl = Control;
    if (Control) FreeNotification(Control);
}

namespace {
void CollectTabStops(TWinControl* parent, std::vector<TWinControl*>& out) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->IsWindowed()) continue;
        auto* w = static_cast<TWinControl*>(c);
        if (w->TabStop()) out.push_back(w);
        CollectTabStops(w, out);
    }
}
} // namespace

TWinControl* TCustomForm::FindNextControl(TWinControl* Current, bool GoForward) const {
    std::vector<TWinControl*> stops;
    CollectTabStops(const_cast<TCustomForm*>(this), stops);
    std::erase_if(stops, [](TWinControl* w) { return !w->CanFocus(); });
    if (stops.empty()) return nullptr;
    auto it = std::find(stops.begin(), stops.end(), Current);
    if (it == stops.end()) return GoForward ? stops.front() : stops.back();
    const auto n = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t i = it - stops.begin();
    i = GoForward ? (i + 1) % n : (i + n - 1) % n;
    return stops[static_cast<std::size_t>(i)];
}

void TCustomForm::SelectNext(TWinControl* Current, bool GoForward) {
    if (TWinControl* next = FindNextControl(Current, GoForward)) next->SetFocus();
}

void TCustomForm::LoadComponents(const std::function<void()>& build) {
    LoadOwnedComponents(build);
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

// ---------------------------------------------------------- application

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() {
    FreeDeferred();
}

int TApplication::FormCount() const {
    int n = 0;
    for (int i = 0; i < ComponentCount(); ++i)
        if (dynamic_cast<TCustomForm*>(Components(i))) ++n;
    return n;
}

TCustomForm* TApplication::Forms(int Index) const {
    int n = 0;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* f = dynamic_cast<TCustomForm*>(Components(i))) {
            if (n == Index) return f;
            ++n;
        }
    throw EComponentError("Form index out of bounds (" + std::to_string(Index) + ")");
}

void TApplication::DestroyForms() {
    for (int i = ComponentCount() - 1; i >= 0; --i) {
        if (i >= ComponentCount()) continue; // a form's destruction freed others
        if (dynamic_cast<TCustomForm*>(Components(i))) RemoveComponent(Components(i)).reset();
    }
    FMainForm = nullptr;
    FreeDeferred();
}

void TApplication::ProcessMessages() {
    fw::ProcessMessages();
}

std::uint32_t TApplication::HintPause() const {
    return HintSettings().HintPause;
}
void TApplication::SetHintPause(std::uint32_t Value) {
    HintSettings().HintPause = Value;
}
std::uint32_t TApplication::HintHidePause() const {
    return HintSettings().HintHidePause;
}
void TApplication::SetHintHidePause(std::uint32_t Value) {
    HintSettings().HintHidePause = Value;
}
void TApplication::CancelHint() {
    fw::CancelHint();
}

bool TApplication::HelpContext(int Context) {
    if (Context == 0) return false;
    constexpr int HelpContextCommand = 1;
    bool CallHelp = true;
    bool Result = false;
    if (const auto Help = OnHelp) Result = Help(HelpContextCommand, Context, CallHelp);
    if (CallHelp) {
        FLastHelpContext = Context;
        Result = true;
    }
    return Result;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::Remove && AComponent == FMainForm) FMainForm = nullptr;
}

TApplication* Application() {
    // Never destroyed: forms must not outlive the window layer at exit.
    static TApplication* app = new TApplication(nullptr);
    return app;
}

} // namespace fw
