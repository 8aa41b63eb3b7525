#pragma once
// Hints: the small pop-up that explains the control under a resting mouse.
// The application watches the mouse (Input.cpp tells it of every mouse and
// key message): once it rests on a control that shows hints for the hint
// pause, the control is asked with CM_HINTSHOW (it may change the text, the
// place, the window class or refuse), and the hint window shows the text.
// Timers run on the framework's clock.
#include "Controls.h"

#include <functional>
#include <memory>
#include <string>

namespace fw {

// WParam: whether a hint shows now; LParam: int* pause in ms the control may change.
constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 56;

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);

    // The size the hint needs, as a rectangle at (0, 0); empty: no hint.
    virtual TRect CalcHintRect(int MaxWidth, const std::u16string& Hint, void* Data);
    // Shows the window at Rect (screen coordinates), kept on the desktop.
    virtual void ActivateHint(TRect Rect, const std::u16string& Hint);
    virtual void ActivateHintData(TRect Rect, const std::u16string& Hint, void* Data);
    // Whether Msg (a mouse or key message while the hint shows) hides it.
    virtual bool IsHintMsg(const TMessage& Msg);
    void ReleaseHint() { Hide(); }
    const std::u16string& HintText() const { return FHintText; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    std::u16string FHintText;
};

struct THintSettings {
    std::uint32_t HintPause = 500;
    std::uint32_t HintShortPause = 50;
    std::uint32_t HintHidePause = 2500;
};

// The application's hint machinery (Application() forwards to these).
THintSettings& HintSettings();
// Called for each mouse message at a screen point (Input.cpp).
void HintMouseMessage(TPoint ScreenPos, const TMessage& Msg);
// Called for each key message (Input.cpp).
void HintKeyMessage(const TMessage& Msg);
// Hides a shown hint and stops waiting for one.
void CancelHint();
// Shows the hint for the control under the cursor now (the pause elapsed).
void ActivateHint(TPoint CursorPos);
THintWindow* CurrentHintWindow();
TControl* HintControl();
bool HintShowing();
// Forgets the control (it goes away).
void HintControlFreed(TControl* Control);
// Cancels the hint and frees its window; the next hint makes one anew (a
// module that unloads leaves no window of its own classes behind).
void FreeHintWindow();
void ResetHints();

} // namespace fw
