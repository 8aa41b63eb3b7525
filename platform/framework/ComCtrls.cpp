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

void TTabSheet::Withdraw() {
    SetPageControl(nullptr);
    TCustomPanel::Withdraw();
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (Value == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = Value;
    if (FPageControl) FPageControl->InsertPage(this);
}

void TTabSheet::Paint() {
    TCanvas& c = *Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    for (int i = 0; i < FPageControl->PageCount(); ++i)
        if (FPageControl->Pages(i) == this) return i;
    return -1;
}

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {}

TPageControl::~TPageControl() {
    ReleasePages();
}

void TPageControl::Withdraw() {
    ReleasePages();
    TCustomControl::Withdraw();
}

void TPageControl::ReleasePages() {
    // Pages outliving the control must not call back into it.
    for (TTabSheet* page : FPages)
        page->FPageControl = nullptr;
    FPages.clear();
    FActivePage = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const {
    return Index >= 0 && Index < PageCount() ? FPages[static_cast<std::size_t>(Index)] : nullptr;
}

void TPageControl::InsertPage(TTabSheet* Page) {
    const TCallHold Hold(std::vector<TControl*>{this, Page}); // placing the page calls out
    FPages.push_back(Page);
    Invalidate();
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
    const TCallHold Hold(std::vector<TControl*>{this, Value}); // hiding the old page calls out
    if (FActivePage) FActivePage->SetVisible(false);
    if (Value && Value->FPageControl != this) Value = nullptr; // freed meanwhile
    FActivePage = Value;
    if (FActivePage) FActivePage->SetVisible(true);
    Invalidate();
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
    CallHandler(OnChange, this);
}

TRect TPageControl::TabRect(int Index) const {
    // Each tab as wide as its caption needs, side by side from the left. The
    // font's change calls out first, which may take a page away.
    TCanvas& c = *const_cast<TPageControl*>(this)->Canvas();
    c.Font().Assign(Font());
    if (Index < 0 || Index >= PageCount()) return TRect{};
    int left = 2;
    for (int i = 0;; ++i) {
        const int width = c.TextWidth(FPages[static_cast<std::size_t>(i)]->Caption()) + 12;
        if (i == Index) return TRect{left, 2, left + width, TabHeight};
        left += width;
    }
}

TTabSheet* TPageControl::PageAt(int X, int Y) const {
    for (int i = 0; i < PageCount(); ++i) {
        const TRect r = TabRect(i);
        if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) return Pages(i);
    }
    return nullptr;
}

void TPageControl::AlignControls(TControl* AControl, TRect& Rect) {
    // The pages fill what lies inside the frame below the tabs.
    Rect = TRect{Rect.Left + 2, Rect.Top + TabHeight + 2, Rect.Right - 2, Rect.Bottom - 2};
    TCustomControl::AlignControls(AControl, Rect);
}

void TPageControl::Paint() {
    TCanvas& c = *Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    TRect frame{0, TabHeight, Width(), Height()};
    Frame3D(c, frame, clBtnHighlight, clBtnShadow, 1);
    c.Font().Assign(Font());
    c.Brush().SetStyle(bsClear);
    for (int i = 0; i < PageCount(); ++i) {
        TRect tab = TabRect(i);
        const TTabSheet* page = Pages(i);
        if (!page) break; // the font's change freed pages
        const bool active = page == FActivePage;
        // The active tab stands up and opens onto its page.
        if (active) tab = TRect{tab.Left - 2, tab.Top - 2, tab.Right + 2, tab.Bottom + 1};
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(tab);
        TRect edge = tab;
        Frame3D(c, edge, clBtnHighlight, clBtnShadow, 1);
        if (active) c.FillRect(TRect{tab.Left + 1, tab.Bottom - 2, tab.Right - 1, tab.Bottom});
        c.Brush().SetStyle(bsClear);
        c.Font().SetColor(page->Enabled() ? clBtnText : clGrayText);
        c.DrawText(page->Caption(), tab, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft)
        if (TTabSheet* page = PageAt(X, Y)) SelectPage(page);
    TCustomControl::MouseDown(Button, Shift, X, Y);
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
