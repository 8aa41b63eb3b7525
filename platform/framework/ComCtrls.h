#pragma once
// Common controls: a page control with its pages, a tool button that can
// stay down, and the standard tree and list controls' item queries.
#include "ExtCtrls.h"

#include <string>
#include <vector>

namespace fw {

// ---- the standard tree control's item queries (accessibility clients) ----

using HTREEITEM = struct TTreeItem_*;

// WParam: the navigation code, LParam: the item; answers the item found (0: none).
inline constexpr UINT TVM_GETNEXTITEM = 0x110A;
// WParam: text only when not 0; LParam: a TRect whose first bytes hold the
// item on the way in. Answers whether the item is visible; the rectangle
// comes back in the TRect.
inline constexpr UINT TVM_GETITEMRECT = 0x1104;
// LParam: a TTVItemA naming the item in hItem; answers 1 when it was filled.
inline constexpr UINT TVM_GETITEMA = 0x110C;

// Navigation codes of TVM_GETNEXTITEM.
inline constexpr WPARAM TVGN_ROOT = 0x0;
inline constexpr WPARAM TVGN_NEXT = 0x1;
inline constexpr WPARAM TVGN_PREVIOUS = 0x2;
inline constexpr WPARAM TVGN_PARENT = 0x3;
inline constexpr WPARAM TVGN_CHILD = 0x4;
inline constexpr WPARAM TVGN_FIRSTVISIBLE = 0x5;
inline constexpr WPARAM TVGN_NEXTVISIBLE = 0x6;
inline constexpr WPARAM TVGN_PREVIOUSVISIBLE = 0x7;
inline constexpr WPARAM TVGN_DROPHILITE = 0x8;
inline constexpr WPARAM TVGN_CARET = 0x9;
inline constexpr WPARAM TVGN_LASTVISIBLE = 0xA;

// Item states (TTVItemA::state).
inline constexpr UINT TVIS_FOCUSED = 0x1;
inline constexpr UINT TVIS_SELECTED = 0x2;
inline constexpr UINT TVIS_CUT = 0x4;
inline constexpr UINT TVIS_DROPHILITED = 0x8;
inline constexpr UINT TVIS_EXPANDED = 0x20;
inline constexpr UINT TVIS_OVERLAYMASK = 0xF00;
inline constexpr UINT TVIS_STATEIMAGEMASK = 0xF000;

struct TTVItemA {
    UINT mask = 0;
    HTREEITEM hItem = nullptr;
    UINT state = 0;
    UINT stateMask = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
};

// ---- the standard list control's item queries (accessibility clients) ----
//
// A grid answers them too: its rows are the items and its columns the
// sub-items, both in display order.

// Answers the number of items.
inline constexpr UINT LVM_GETITEMCOUNT = 0x1004;
// WParam: the column; LParam: a TLVColumnA whose pszText and cchTextMax
// take the heading. Answers 1 when it was filled.
inline constexpr UINT LVM_GETCOLUMNA = 0x1019;
// WParam: the item; LParam: a TLVItemA naming the sub-item in iSubItem,
// whose pszText and cchTextMax take the text. Answers the text's length.
inline constexpr UINT LVM_GETITEMTEXTA = 0x102D;

struct TLVItemA {
    UINT mask = 0;
    int iItem = 0;
    int iSubItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    LPARAM lParam = 0;
};

struct TLVColumnA {
    UINT mask = 0;
    int fmt = 0;
    int cx = 0;
    char* pszText = nullptr;
    int cchTextMax = 0;
    int iSubItem = 0;
    int iImage = 0;
    int iOrder = 0;
};

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

protected:
    // The caption belongs on the page's tab, not on the page.
    void Paint() override;
    // It leaves its page control's pages at once.
    void Withdraw() override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

// Shows one of its pages at a time below a strip of tabs, one for each page
// with the page's caption; a click on a tab shows its page. A change made by
// the user raises OnChange after the new page is shown; one made by code
// does not.
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
    // The tab of a page in client coordinates; empty for none.
    TRect TabRect(int Index) const;
    // The page whose tab lies under a client point, or none.
    TTabSheet* PageAt(int X, int Y) const;

    TNotifyEvent OnChange;

    static constexpr int TabHeight = 20;

protected:
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Its pages (those that stay) let go of it at once.
    void Withdraw() override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void ReleasePages();
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
