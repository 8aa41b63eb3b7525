#pragma once
// Open drop-down lists of the grids, and the two thread hooks that close them
// when the user presses elsewhere or another window is activated.
#include "Forms.h"
#include "Hooks.h"
#include "Types.h"

#include <vector>

namespace vel {

// What the closing hooks ask of a grid with an open drop-down; the grid
// engine answers these from its own drop-down state.
class TtsDropDownOwner {
public:
    virtual ~TtsDropDownOwner() = default;
    virtual fw::HWND GridWindow() = 0;
    // The list grid of the grid's own combo, or null.
    virtual fw::HWND ComboListWindow() = 0;
    // The window of the grid's in-cell control, or null.
    virtual fw::HWND CellControlWindow() = 0;
    virtual bool IsDropDownWindow(fw::HWND Wnd) = 0;
    virtual bool IsDropDownOpen() = 0;
    virtual bool MayCloseDropDown() = 0;
    virtual void CloseDropDown(bool Flag) = 0;
};

class TtsDropDownRegistry {
public:
    static void Add(TtsDropDownOwner* Grid);
    static void Remove(TtsDropDownOwner* Grid);
    static const std::vector<TtsDropDownOwner*>& Grids();
    static bool HooksInstalled();
};

// The borderless pop-up that holds an open drop-down list. Its window is made
// as an owned pop-up and then marked a child, so that activating it does not
// take the activation from the grid's form; the child mark is lifted while the
// window is moved or sized.
class TtsDropDownForm : public fw::TCustomForm {
public:
    explicit TtsDropDownForm(fw::TComponent* AOwner);
    bool DropDownStyle = true;

protected:
    void CreateParams(fw::TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(fw::TMessage& Message) override;
};

} // namespace vel
