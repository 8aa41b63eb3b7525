#pragma once
// The borderless edit box the base grid lays over the current cell while its
// editor mode is on (only with the Editing option).
#include "Grids_ts.h"
#include "MaskEdit.h"

#include <cstdint>

namespace vel {

class TCustomGrid_ts;

class TInplaceEdit : public fw::TMaskEdit {
public:
    explicit TInplaceEdit(fw::TComponent* AOwner);
    ~TInplaceEdit() override;

    TCustomGrid_ts* Grid = nullptr;
    std::int32_t ClickTime = 0;

    void Move(const fw::TRect& R) { InternalMove(R, true); }
    void UpdateLoc(const fw::TRect& R) { InternalMove(R, false); }
    void HideEditor();
    void InvalidateEditor();
    void Deselect();
    virtual void UpdateContents();
    virtual void BoundsChanged();
    bool EditCanModify();
    // The grid's edit style for the cell last loaded.
    TEditStyle EditStyle() const { return FEditStyle; }

    void WndProc(fw::TMessage& Message) override;

protected:
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DblClick() override;
    void Dispatch(fw::TMessage& Message) override;
    void CreateParams(fw::TCreateParams& Params) override;
    // The wheel is the grid's: its answer is the editor's.
    bool DoMouseWheel(fw::TShiftState Shift, int WheelDelta, fw::TPoint MousePos) override;

private:
    void InternalMove(const fw::TRect& R, bool Redraw);
    void SendToGrid(std::uint16_t& Key, fw::TShiftState Shift);

    TEditStyle FEditStyle = TEditStyle::esSimple;
};

} // namespace vel
