#include "LazyTreeOptions.h"
#include "LazyTrees.h"

namespace vel {

namespace {

bool TreeLive(const TBaseLazyTree* T) {
    return T && T->HandleAllocated() && !T->IsLoading();
}

} // namespace

bool TCustomLazyTreeOptions::Live() const {
    return TreeLive(FOwner);
}

void TCustomLazyTreeOptions::SetPaintOptions(TLTPaintOptions Value) {
    if (FPaintOptions == Value) return;
    const TLTPaintOptions Changed = FPaintOptions ^ Value;
    FPaintOptions = Value;
    if (!Live()) return;
    if (Changed & toThemeAware) {
        // No theme services here: the tree never uses themes.
        FOwner->DoStateChange({}, {tsUseThemes});
    }
    FOwner->Invalidate();
}

void TCustomLazyTreeOptions::SetAutoOptions(TLTAutoOptions Value) {
    if (FAutoOptions == Value) return;
    const TLTAutoOptions Changed = FAutoOptions ^ Value;
    FAutoOptions = Value;
    if (Live() && (Changed & toAutoSpanColumns)) FOwner->Invalidate();
}

void TCustomLazyTreeOptions::SetSelectionOptions(TLTSelectionOptions Value) {
    if (FSelectionOptions == Value) return;
    const TLTSelectionOptions Old = FSelectionOptions;
    const TLTSelectionOptions TurnedOn = Value & ~Old;
    const TLTSelectionOptions TurnedOff = Old & ~Value;
    FSelectionOptions = Value;
    if (!FOwner) return;
    if (((TurnedOn | TurnedOff) & toMultiSelect) ||
        (TurnedOn & (toLevelSelectConstraint | toSiblingSelectConstraint)))
        FOwner->ClearSelection();
    if ((TurnedOff & toExtendedFocus) && FOwner->FocusedColumn() > 0 && FOwner->HandleAllocated()) {
        FOwner->SetFocusedColumn(FOwner->HeaderMainColumn());
        FOwner->Invalidate();
    }
}

void TCustomLazyTreeOptions::SetMiscOptions(TLTMiscOptions Value) {
    if (FMiscOptions == Value) return;
    const TLTMiscOptions Changed = FMiscOptions ^ Value;
    FMiscOptions = Value;
    if (!Live()) return;
    if (Changed & toCheckSupport) FOwner->Invalidate();
    if (Changed & toFullRepaintOnResize) FOwner->RecreateWnd();
    // toAcceptOLEDrop: there is no system drop-target registry to tell.
}

void TCustomLazyTreeOptions::AssignTo(TCustomLazyTreeOptions& Dest) const {
    Dest.SetPaintOptions(FPaintOptions);
    Dest.SetAnimationOptions(FAnimationOptions);
    Dest.SetAutoOptions(FAutoOptions);
    Dest.SetSelectionOptions(FSelectionOptions);
    Dest.SetMiscOptions(FMiscOptions);
}

void TCustomStringTreeOptions::SetStringOptions(TLTStringOptions Value) {
    if (FStringOptions == Value) return;
    const TLTStringOptions Changed = FStringOptions ^ Value;
    FStringOptions = Value;
    if (Live() && (Changed & toShowStaticText)) Owner()->Invalidate();
}

void TCustomStringTreeOptions::AssignTo(TCustomLazyTreeOptions& Dest) const {
    if (auto* S = dynamic_cast<TCustomStringTreeOptions*>(&Dest))
        S->SetStringOptions(FStringOptions);
    TCustomLazyTreeOptions::AssignTo(Dest);
}

void TScrollBarOptions::SetAlwaysVisible(bool Value) {
    if (FAlwaysVisible == Value) return;
    FAlwaysVisible = Value;
    if (TreeLive(FOwner)) FOwner->RecreateWnd();
}

void TScrollBarOptions::SetScrollBars(TScrollStyle Value) {
    if (FScrollBars == Value) return;
    FScrollBars = Value;
    if (TreeLive(FOwner)) FOwner->RecreateWnd();
}

void TScrollBarOptions::SetScrollBarStyle(TScrollBarStyle Value) {
    if (Value != TScrollBarStyle::sbmRegular)
        throw ELazyTreeAssertion("Flat scrollbars styles are disabled. Enable UseFlatScrollbars "
                                 "in LazyTrees forflat scrollbar support.");
    FScrollBarStyle = Value;
}

void TScrollBarOptions::Assign(const TScrollBarOptions& Source) {
    SetAlwaysVisible(Source.FAlwaysVisible);
    SetHorizontalIncrement(Source.FHorizontalIncrement);
    SetScrollBars(Source.FScrollBars);
    SetScrollBarStyle(Source.FScrollBarStyle);
    SetVerticalIncrement(Source.FVerticalIncrement);
}

TLTColors::TLTColors(TBaseLazyTree* AOwner) : FOwner(AOwner) {
    FColors = {fw::clBtnShadow,  fw::clHighlight, fw::clHighlight, fw::clHighlight,
               fw::clBtnFace,    fw::clBtnShadow, fw::clBtnFace,   fw::clBtnFace,
               fw::clWindowText, fw::clHighlight, fw::clBtnFace,   fw::clHighlight,
               fw::clHighlight,  fw::clHighlight, fw::clBtnShadow};
}

void TLTColors::SetColor(int Index, fw::TColor Value) {
    auto& Slot = FColors.at(static_cast<std::size_t>(Index));
    if (Slot == Value) return;
    Slot = Value;
    // The buttons' pictures are drawn in the tree line colour ahead of any paint.
    if (Index == ciTreeLineColor && FOwner) FOwner->PrepareBitmaps(true, true);
    if (!TreeLive(FOwner)) return;
    // The border lies in the frame, outside the client.
    if (Index == ciBorderColor)
        FOwner->InvalidateNonClient();
    else
        FOwner->Invalidate();
}

void TLTColors::Assign(const TLTColors& Source) {
    const bool Lines = FColors[ciTreeLineColor] != Source.FColors[ciTreeLineColor];
    const bool Border = FColors[ciBorderColor] != Source.FColors[ciBorderColor];
    FColors = Source.FColors;
    if (Lines && FOwner) FOwner->PrepareBitmaps(true, true);
    if (FOwner && FOwner->UpdateCount() == 0 && FOwner->HandleAllocated()) {
        FOwner->Invalidate();
        if (Border) FOwner->InvalidateNonClient();
    }
}

} // namespace vel
