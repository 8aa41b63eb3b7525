#pragma once
// Forms (top-level windows with an owner window) and the application object
// that owns them.
#include "Controls.h"

#include <functional>
#include <memory>
#include <string>

namespace fw {

enum class TCloseAction { caNone, caHide, caFree };
using enum TCloseAction;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    void Show();
    void Hide();
    // Hides the form, or frees it when OnClose answers caFree.
    void Close();
    // Frees the form once the messages now queued have been handled.
    void Release();
    void CreateParams(TCreateParams& Params) override;

    TWinControl* ActiveControl() const { return FActiveControl; }
    // Focuses the control when the form has the focus, else remembers it.
    void SetActiveControl(TWinControl* Control);
    // Moves the focus to the next (or previous) tab stop after Current.
    void SelectNext(TWinControl* Current, bool GoForward);
    TWinControl* FindNextControl(TWinControl* Current, bool GoForward) const;
    // A window has taken the focus inside the form.
    void FocusedControlChanged(TWinControl* Control);
    // Asked by a window about to take the focus on behalf of Control: false refuses (a
    // form being destroyed, or a control outside it or disabled); true makes Control the
    // focused control.
    virtual bool SetFocusedControl(TWinControl* Control);

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // OnDestroy, while the form is still whole.
    void BeforeDestruction() override;
    virtual void DoShow();
    virtual void DoHide();
    // The form's stored components, built by build in stored order: Loading
    // is set on the form and on each component made for it meanwhile, then
    // each gets Loaded in creation order, the form last. Loading is cleared
    // even when build throws.
    void LoadComponents(const std::function<void()>& build);

private:
    TWinControl* FActiveControl = nullptr;
    bool FDestroyFired = false; // OnDestroy fires once, by a free or a delete
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* AOwner);
};

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // The window that owns the application's forms (the host's, when set).
    HWND Handle() const { return FHandle; }
    void SetHandle(HWND Owner) { FHandle = Owner; }

    template <class T> T* CreateForm() {
        T* form = Create<T>(this);
        if (!FMainForm) FMainForm = form;
        return form;
    }
    TCustomForm* MainForm() const { return FMainForm; }
    int FormCount() const;
    TCustomForm* Forms(int Index) const;
    // Unload: frees all forms, last created first, then what was freed
    // while held and still waits.
    void DestroyForms();

    void ProcessMessages();
    TColor HintColor() const { return FHintColor; }
    void SetHintColor(TColor Value) { FHintColor = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }
    // The hint machinery's timing (Hints.h) and its cancel.
    std::uint32_t HintPause() const;
    void SetHintPause(std::uint32_t Value);
    std::uint32_t HintHidePause() const;
    void SetHintHidePause(std::uint32_t Value);
    void CancelHint();
    // Opens the help at a topic: OnHelp may answer it (CallHelp false stops
    // there); the topic asked last is remembered. False for topic 0.
    bool HelpContext(int Context);
    int LastHelpContext() const { return FLastHelpContext; }
    std::function<bool(int Command, std::intptr_t Data, bool& CallHelp)> OnHelp;
    bool Terminated() const { return FTerminated; }
    void Terminate() { FTerminated = true; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    HWND FHandle = nullptr;
    TCustomForm* FMainForm = nullptr;
    TColor FHintColor = clInfoBk;
    bool FShowHint = true;
    bool FTerminated = false;
    int FLastHelpContext = 0;
};

// The one application object; lives until the process ends (DestroyForms is
// the orderly unload).
TApplication* Application();

} // namespace fw
