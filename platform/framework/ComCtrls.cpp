#include "ComCtrls.h"

#include "Canvas.h"

#include <algorithm>

namespace fw {

// ---- pages ----

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomPanel(AOwner) {
    SetBevelOuter(bvNone);
    SetVisible(false);
}

TTabSheet::~TTabSheet() {
    SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (Value == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = Value;
    if (FPageControl) FPageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    for (int i = 0; i < FPageControl->PageCount(); ++i)
        if (FPageControl->Pages(i) == this) return i;
    return -1;
}

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {}

TPageControl::~TPageControl() {
    // Pages outliving the control must not call back into it.
    for (TTabSheet* page : FPages)
        page->FPageControl = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
    return Index >= 0 && Index < PageCount() ? FPages[static_cast<std::size_t>(Index)] : nullptr;
}

void TPageControl::InsertPage(TTabSheet* Page) {
    FPages.push_back(Page);
    Page->SetParent(this);
    Page->SetAlign(alClient);
    Page->SetVisible(false);
    if (!FActivePage) SetActivePage(Page);
}

void TPageControl::RemovePage(TTabSheet* Page) {
    std::erase(FPages, Page);
    if (FActivePage == Page) FActivePage = nullptr;
}

void TPageControl::SetActivePage(TTabSheet* Value) {
    if (Value && Value->PageControl() != this) return;
    if (FActivePage == Value) return;
    if (FActivePage) FActivePage->SetVisible(false);
    FActivePage = Value;
    if (FActivePage) FActivePage->SetVisible(true);
}

int TPageControl::ActivePageIndex() const {
    return FActivePage ? FActivePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int Value) {
    SetActivePage(Pages(Value));
}

void TPageControl::SelectPage(TTabSheet* Page) {
    if (!Page || Page->PageControl() != this || Page == FActivePage) return;
    SetActivePage(Page);
    if (OnChange) OnChange(this);
}

// ---- tool button ----

TToolButton::TToolButton(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 23, 22);
}

void TToolButton::SetDown(bool Value) {
    if (FDown == Value) return;
    FDown = Value;
    Invalidate();
}

void TToolButton::Click() {
    if (!Enabled()) return;
    if (FAllowAllUp) SetDown(!FDown);
    TCustomControl::Click();
}

void TToolButton::Paint() {
    TCanvas& c = *Canvas();
    TRect r{0, 0, Width(), Height()};
    c.Brush().SetColor(Color());
    c.FillRect(r);
    Frame3D(c, r, FDown ? clBtnShadow : clBtnHighlight, FDown ? clBtnHighlight : clBtnShadow, 1);
    c.Font().SetColor(Enabled() ? clBtnText : clGrayText);
    const std::string& text = Caption();
    const int x = (Width() - c.TextWidth(text)) / 2 + (FDown ? 1 : 0);
    const int y = (Height() - c.TextHeight(text)) / 2 + (FDown ? 1 : 0);
    c.TextOut(x, y, text);
}

} // namespace fw
