#include "LazyTreeOptions.h"
#include "LazyTrees.h"

namespace vel {

namespace {

bool TreeLive(const TBaseLazyTree* T) {
    return T && T->HandleAllocated() && !T->IsLoading();
}

} // namespace

bool TCustomLazyTreeOptions::Live() const {
    return TreeLive(Owner_);
}

void TCustomLazyTreeOptions::SetPaintOptions(TLTPaintOptions Value) {
    if (PaintOptions_ == Value) return;
    const TLTPaintOptions Changed = PaintOptions_ ^ Value;
    PaintOptions_ = Value;
    if (!Live()) return;
    if (Changed & toThemeAware) {
        // No theme services here: the tree never uses themes.
        Owner_->DoStateChange({}, {tsUseThemes});
    }
    Owner_->Invalidate();
}

void TCustomLazyTreeOptions::SetAutoOptions(TLTAutoOptions Value) {
    if (AutoOptions_ == Value) return;
    const TLTAutoOptions Changed = AutoOptions_ ^ Value;
    AutoOptions_ = Value;
    if (Live() && (Changed & toAutoSpanColumns)) Owner_->Invalidate();
}

void TCustomLazyTreeOptions::SetSelectionOptions(TLTSelectionOptions Value) {
    if (SelectionOptions_ == Value) return;
    const TLTSelectionOptions Old = SelectionOptions_;
    const TLTSelectionOptions TurnedOn = Value & ~Old;
    const TLTSelectionOptions TurnedOff = Old & ~Value;
    SelectionOptions_ = Value;
    if (!Owner_) return;
    if (((TurnedOn | TurnedOff) & toMultiSelect) ||
        (TurnedOn & (toLevelSelectConstraint | toSiblingSelectConstraint)))
        Owner_->ClearSelection();
    if ((TurnedOff & toExtendedFocus) && Owner_->FocusedColumn() > 0 && Owner_->HandleAllocated()) {
        Owner_->SetFocusedColumn(Owner_->HeaderMainColumn());
        Owner_->Invalidate();
    }
}

void TCustomLazyTreeOptions::SetMiscOptions(TLTMiscOptions Value) {
    if (MiscOptions_ == Value) return;
    const TLTMiscOptions Changed = MiscOptions_ ^ Value;
    MiscOptions_ = Value;
    if (!Live()) return;
    if (Changed & toCheckSupport) Owner_->Invalidate();
    if (Changed & toFullRepaintOnResize) Owner_->RecreateWnd();
    // toAcceptOLEDrop: there is no system drop-target registry to tell.
}

void TCustomLazyTreeOptions::AssignTo(TCustomLazyTreeOptions& Dest) const {
    Dest.SetPaintOptions(PaintOptions_);
    Dest.SetAnimationOptions(AnimationOptions_);
    Dest.SetAutoOptions(AutoOptions_);
    Dest.SetSelectionOptions(SelectionOptions_);
    Dest.SetMiscOptions(MiscOptions_);
}

void TCustomStringTreeOptions::SetStringOptions(TLTStringOptions Value) {
    if (StringOptions_ == Value) return;
    const TLTStringOptions Changed = StringOptions_ ^ Value;
    StringOptions_ = Value;
    if (Live() && (Changed & toShowStaticText)) Owner()->Invalidate();
}

void TCustomStringTreeOptions::AssignTo(TCustomLazyTreeOptions& Dest) const {
    if (auto* S = dynamic_cast<TCustomStringTreeOptions*>(&Dest))
        S->SetStringOptions(StringOptions_);
    TCustomLazyTreeOptions::AssignTo(Dest);
}

void TScrollBarOptions::SetAlwaysVisible(bool Value) {
    if (AlwaysVisible_ == Value) return;
    AlwaysVisible_ = Value;
    if (TreeLive(Owner_)) Owner_->RecreateWnd();
}

void TScrollBarOptions::SetScrollBars(TScrollStyle Value) {
    if (ScrollBars_ == Value) return;
    ScrollBars_ = Value;
    if (TreeLive(Owner_)) Owner_->RecreateWnd();
}

void TScrollBarOptions::SetScrollBarStyle(TScrollBarStyle Value) {
    if (Value != TScrollBarStyle::sbmRegular)
        throw ELazyTreeAssertion("Flat scrollbars styles are disabled. Enable UseFlatScrollbars "
                                 "in LazyTrees forflat scrollbar support.");
    ScrollBarStyle_ = Value;
}

void TScrollBarOptions::Assign(const TScrollBarOptions& Source) {
    SetAlwaysVisible(Source.AlwaysVisible_);
    SetHorizontalIncrement(Source.HorizontalIncrement_);
    SetScrollBars(Source.ScrollBars_);
    SetScrollBarStyle(Source.ScrollBarStyle_);
    SetVerticalIncrement(Source.VerticalIncrement_);
}

TLTColors::TLTColors(TBaseLazyTree* AOwner) : Owner_(AOwner) {
    Colors_ = {fw::clBtnShadow,  fw::clHighlight, fw::clHighlight, fw::clHighlight,
               fw::clBtnFace,    fw::clBtnShadow, fw::clBtnFace,   fw::clBtnFace,
               fw::clWindowText, fw::clHighlight, fw::clBtnFace,   fw::clHighlight,
               fw::clHighlight,  fw::clHighlight, fw::clBtnShadow};
}

void TLTColors::SetColor(int Index, fw::TColor Value) {
    auto& Slot = Colors_.at(static_cast<std::size_t>(Index));
    if (Slot == Value) return;
    Slot = Value;
    // Tree lines, the border and everything else are painted fresh from these values.
    if (TreeLive(Owner_)) Owner_->Invalidate();
}

void TLTColors::Assign(const TLTColors& Source) {
    Colors_ = Source.Colors_;
    if (Owner_ && Owner_->UpdateCount() == 0 && Owner_->HandleAllocated()) Owner_->Invalidate();
}

} // namespace vel
