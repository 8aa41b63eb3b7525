#pragma once
// The window under the grid's in-cell controls, and the check box shown in
// check-box cells. The grid's strategies bind the events.
#include "Controls.h"
#include "TSCommon.h"
#include "TSGLib.h"
#include "TSGridModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace fw {
class TBitmap;
}

namespace vel {

using TtsWantKeyEvent = std::function<void(fw::TObject* Sender, std::uint16_t Key, bool& Wanted)>;
using TtsValueChangedEvent = std::function<void(fw::TObject* Sender, bool Flag)>;
using TtsChangeEvent = std::function<void(fw::TObject* Sender, bool Notify, bool Flag, bool Third)>;
using TtsStartEditEvent = std::function<void(fw::TObject* Sender, bool& Cancel)>;
using TtsReadOnlyEvent = std::function<void(fw::TObject* Sender, bool Flag, bool& ReadOnly)>;
using TtsUndoEvent = std::function<void(fw::TObject* Sender, bool Flag, bool& Refuse)>;

// An old stored alignment identifier: 0 left, 1 right, 2 centre.
int ReadOldAlignment(std::string_view Identifier);

// Set by a press without the left button; a following press is then no double click.
extern bool LastPressNotLeft;

class TtsGridControl : public fw::TCustomControl {
public:
    explicit TtsGridControl(fw::TComponent* AOwner);
    ~TtsGridControl() override;

    fw::TWinControl* Grid = nullptr;
    std::uint32_t LastClickTime = 0;
    fw::TPoint LastClickPos;
    bool SyntheticDblClick = false;
    bool ClickPending = false;
    bool PressSeen = false;
    bool EditEnabled = true;
    bool OwnDblClicks = true;
    bool WantTab = true;
    bool AlwaysShowFocus = false;
    bool CanvasInUse = false;
    bool ModifyEnabled = true;
    bool Is3D = false; // the 3-D look of the cell it stands over

    TtsHorzAlignment Alignment() const { return FAlignment; }
    TtsVertAlignment VertAlignment() const { return FVertAlignment; }
    TtsWordWrap WordWrap() const { return FWordWrap; }
    virtual void SetAlignment(TtsHorzAlignment Value) { FAlignment = Value; }
    virtual void SetVertAlignment(TtsVertAlignment Value) { FVertAlignment = Value; }
    virtual void SetWordWrap(TtsWordWrap Value) { FWordWrap = Value; }
    virtual bool IsEditable(bool Flag);
    virtual bool CanModify(bool ByUser);
    virtual bool IsToggleKey(std::uint16_t Key);

    fw::TKeyEvent OnCtlKeyDown;
    fw::TKeyEvent OnCtlKeyUp;
    fw::TKeyPressEvent OnCtlKeyPress;
    TtsValueChangedEvent OnValueChanged;
    TtsChangeEvent OnChanged;
    TtsStartEditEvent OnStartEdit;
    TtsReadOnlyEvent OnReadOnly;
    TtsUndoEvent OnUndo;
    TtsWantKeyEvent OnWantKey;

    void WndProc(fw::TMessage& Message) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void Dispatch(fw::TMessage& Message) override;
    void Paint() override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    // Draws the control on the off-screen canvas.
    virtual void PaintTo(fw::TCanvas& C);
    bool GridHasFocus() const;
    // Whether the parent form refuses to make the grid its focused control.
    bool FormRefusesGrid();
    void FireValueChanged(bool Flag);
    void FireChanged(bool Notify, bool Flag, bool Third);

private:
    TtsHorzAlignment FAlignment = htaLeft;
    TtsVertAlignment FVertAlignment = vtaDefault;
    TtsWordWrap FWordWrap = wwOn;
};

enum TtsCheckBoxStyle : std::uint8_t { stFlat = 0, stCheck = 1, stCross = 2 };

// The state (0 unchecked, 1 checked, 2 grayed) a cell value shows: texts, null and empty
// by the check-box value text, numbers as they are; a number outside 0..2 is grayed.
std::uint8_t CheckStateOf(const TtsVariant& Value, std::string_view CheckBoxValues);

constexpr int CheckGlyphSize = 13;

// The shared strip of nine glyphs and their pressed forms (13 x 234), made on
// first use.
const fw::TBitmap& CheckBoxGlyphStrip();
// The grid unit's end: gives the strip back (after the last check box).
void FreeCheckBoxGlyphStrip();

class TtsGridCheckBox : public TtsGridControl {
public:
    explicit TtsGridCheckBox(fw::TComponent* AOwner);
    ~TtsGridCheckBox() override;

    TtsVariant SavedValue = std::uint8_t(0);
    bool Saved = false;
    std::array<int, 3> GlyphIndex{3, 4, 5};
    std::uint8_t State = 0;
    TtsVariant Value = std::uint8_t(0);
    TtsCheckBoxStyle CheckBoxStyle = stCheck;
    std::array<int, 3> StyleBase{3, 0, 6};
    bool Down = false;
    bool Pressing = false;
    bool SpaceDown = false;
    bool Refused = false;
    bool SpaceRefused = false;
    bool AllowGrayed = false;
    std::string CheckBoxValues;

    void StepState();
    void SetValue(const TtsVariant& NewValue, bool Notify, bool Flag);
    void LoadValue(const TtsVariant& NewValue);
    void EditValue(const TtsVariant& NewValue, bool Flag);
    bool RestoreSaved();
    void SetCheckBoxStyle(TtsCheckBoxStyle Style);
    const fw::TBitmap& GetGlyph(int AState, bool PressedMask, fw::TRect& SourceRect,
                                fw::TRasterOp& RasterOp) const;
    // Where the glyph of a box of that size goes.
    fw::TPoint GlyphOrigin(int W, int H) const;
    bool IsToggleKey(std::uint16_t Key) override;
    void WndProc(fw::TMessage& Message) override;

protected:
    void Dispatch(fw::TMessage& Message) override;
    void PaintTo(fw::TCanvas& C) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    bool Pending() const { return Pressing || SpaceDown || SpaceRefused; }
    void EndPress();
};

} // namespace vel
