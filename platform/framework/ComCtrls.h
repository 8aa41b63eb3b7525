#pragma once
// Common controls: a page control with its pages, and a tool button that can
// stay down.
#include "ExtCtrls.h"

#include <string>
#include <vector>

namespace fw {

class TPageControl;

// One page; its parent is the page control.
class TTabSheet : public TCustomPanel {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return FPageControl; }
    // Joins a page control (at the end of its pages), or leaves it for none.
    void SetPageControl(TPageControl* Value);
    int PageIndex() const;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

// Shows one of its pages at a time; a change made by the user or by code
// raises OnChange after the new page is shown.
class TPageControl : public TCustomControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int Index) const; // none out of range
    TTabSheet* ActivePage() const { return FActivePage; }
    // Shows Value (one of the pages, or none) without raising OnChange, as
    // the class library does for a change made by code.
    void SetActivePage(TTabSheet* Value);
    int ActivePageIndex() const;
    void SetActivePageIndex(int Value);
    // The user picks a tab: shows the page, then raises OnChange.
    void SelectPage(TTabSheet* Page);

    TNotifyEvent OnChange;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
};

// A flat button; with AllowAllUp a click toggles Down.
class TToolButton : public TCustomControl {
public:
    explicit TToolButton(TComponent* AOwner);

    bool Down() const { return FDown; }
    void SetDown(bool Value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }

    void Click() override;

protected:
    void Paint() override;

private:
    bool FDown = false;
    bool FAllowAllUp = false;
};

} // namespace fw
