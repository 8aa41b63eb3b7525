#include "LazyTreeHint.h"
#include "Input.h"

#include <algorithm>

namespace vel {

TLazyTreeHintWindow::TLazyTreeHintWindow(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    SetVisible(false);
    SetColor(fw::clInfoBk);
}

void TLazyTreeHintWindow::CreateParams(fw::TCreateParams& Params) {
    fw::TCustomControl::CreateParams(Params);
    Params.Style = fw::WS_POPUP;
}

fw::TRect TLazyTreeHintWindow::CalcHintRect(int MaxWidth, const std::u16string& Hint,
                                            const TLTHintData* Data) {
    if (!Data || !Data->Tree) return {};
    FHintData = *Data;
    TBaseLazyTree* Tree = Data->Tree;
    TLTHeader* H = Tree->Header();
    const bool HasColumn = H && H->Columns().IsValidColumn(Data->Column);
    FHintData.BidiMode = HasColumn ? H->Columns()[Data->Column].BiDiMode() : Tree->BiDiMode();
    FHintData.Alignment = HasColumn ? H->Columns()[Data->Column].Alignment() : taLeftJustify;
    auto* StringTree = dynamic_cast<TCustomLazyStringTree*>(Tree);
    const bool Tooltip = HintMode == hmTooltip && Data->Node;
    fw::TCanvas& C = *Canvas();
    C.Font().Assign(Tree->Font());
    FTextHeight = C.TextHeight(u"X");
    FHintData.HintText = !Data->DefaultHint.empty() ? Data->DefaultHint : Hint;
    if (Tooltip && StringTree && FHintData.HintText.empty())
        FHintData.HintText = StringTree->GetText(Data->Node, Data->Column);
    if (FHintData.HintText.empty()) return {};
    if (Tooltip) {
        // The text rectangle of the cell, in the tree's control coordinates.
        fw::TRect Row = Tree->GetDisplayRect(Data->Node, Data->Column, false, true);
        int CellLeft = Row.Left, CellRight = Row.Right;
        if (HasColumn) H->Columns().GetColumnBounds(Data->Column, CellLeft, CellRight);
        int ContentLeft = CellLeft + Tree->Margin();
        if (!HasColumn || Data->Column == Tree->HeaderMainColumn())
            ContentLeft += static_cast<int>(Tree->GetNodeLevel(Data->Node) +
                                            ((Tree->PaintOptions() & toShowRoot) ? 1 : 0)) *
                           static_cast<int>(Tree->Indent());
        const int TextWidth = C.TextWidth(FHintData.HintText) + 2 * Tree->TextMargin();
        const int Visible = std::min(CellRight, Tree->ClientWidth()) - ContentLeft;
        if (TextWidth <= Visible) return {};
        fw::TRect R{ContentLeft, Row.Top, ContentLeft + TextWidth, Row.Bottom};
        if (Tree->PaintOptions() & toShowHorzGridLines) --R.Bottom;
        R = {R.Left - 1, R.Top - 1, R.Right + 1, R.Bottom + 1};
        const fw::TPoint Screen = Tree->ClientToScreen({R.Left, R.Top});
        return fw::OffsetRect(R, Screen.X - R.Left, Screen.Y - R.Top);
    }
    fw::TRect R{0, 0, MaxWidth, FTextHeight};
    C.DrawText(FHintData.HintText, R, fw::DT_CALCRECT | fw::DT_WORDBREAK | fw::DT_NOPREFIX);
    R.Bottom += 6;
    R.Right += 2 * Tree->TextMargin() + 2;
    return R;
}

void TLazyTreeHintWindow::ActivateHint(fw::TRect Rect, const std::u16string& Hint) {
    if (Rect.Width() <= 0 || Rect.Height() <= 0) {
        Hide();
        return;
    }
    if (FHintData.HintText.empty()) FHintData.HintText = Hint;
    // Kept on the desktop: moved up or left, never past the top-left corner.
    const int W = Rect.Width(), H = Rect.Height();
    Rect.Left = std::max(0, std::min(Rect.Left, fw::ScreenWidth() - W));
    Rect.Top = std::max(0, std::min(Rect.Top, fw::ScreenHeight() - H));
    SetBounds(Rect.Left, Rect.Top, W, H);
    Show();
    Invalidate();
}

void TLazyTreeHintWindow::Paint() {
    fw::TCanvas& C = *Canvas();
    const fw::TRect All{0, 0, Width(), Height()};
    C.Pen().SetColor(fw::clBlack);
    C.Brush().SetColor(fw::clInfoBk);
    C.Rectangle(All);
    C.Font().SetColor(fw::clInfoText);
    C.SetBkMode(fw::bkTransparent);
    const int Margin = FHintData.Tree ? FHintData.Tree->TextMargin() : 2;
    fw::TRect R{Margin + 1, 1, Width() - Margin - 1, Height() - 1};
    unsigned Format = fw::DT_NOPREFIX | fw::DT_VCENTER | fw::DT_SINGLELINE;
    if (FHintData.BidiMode != bdLeftToRight) Format |= fw::DT_RIGHT;
    C.DrawText(FHintData.HintText, R, Format);
}

} // namespace vel
