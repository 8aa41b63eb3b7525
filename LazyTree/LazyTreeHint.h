// The tree's hint window: a cell's full text over a cut cell (tooltip mode)
// or the node or control hint.
#pragma once

#include "LazyStringTree.h"

#include <string>

namespace vel {

enum class TLTHintMode : std::uint8_t { hmDefault, hmHint, hmHintAndDefault, hmTooltip };
using enum TLTHintMode;

struct TLTHintData {
    TBaseLazyTree* Tree = nullptr;
    PLazyNode Node = nullptr;
    int Column = NoColumn;
    fw::TRect HintRect;
    std::u16string DefaultHint;
    std::u16string HintText;
    TBiDiMode BidiMode = bdLeftToRight;
    TAlignment Alignment = taLeftJustify;
};

class TLazyTreeHintWindow : public fw::TCustomControl {
public:
    explicit TLazyTreeHintWindow(fw::TComponent* AOwner);

    TLTHintData& HintData() { return FHintData; }
    TLTHintMode HintMode = hmTooltip;
    int TextHeight() const { return FTextHeight; }

    // The window rectangle for the hint (screen coordinates for tooltips, a
    // rectangle at (0, 0) otherwise); empty when nothing is to be shown.
    fw::TRect CalcHintRect(int MaxWidth, const std::u16string& Hint, const TLTHintData* Data);
    // Shows the window at Rect, kept on the desktop; an empty Rect hides it.
    void ActivateHint(fw::TRect Rect, const std::u16string& Hint);

protected:
    void CreateParams(fw::TCreateParams& Params) override;
    void Paint() override;

private:
    TLTHintData FHintData;
    int FTextHeight = 0;
};

} // namespace vel
