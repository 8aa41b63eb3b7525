#pragma once
// Menus: items in a tree and the popup menu. There is no menu window here:
// Popup records where and how often the menu popped up, and a test (or the
// code standing in for the user) picks an item by clicking it.
#include "Classes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

// One menu entry; it owns its sub-items (as their owner: a free of one
// leaves the list at once, and a call into one holds the items and the menu
// it lies in). A caption of "-" is a separator.
class TMenuItem : public TComponent {
public:
    TMenuItem();
    explicit TMenuItem(const std::string& ACaption, TNotifyEvent AOnClick = {});
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value) { FCaption = Value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value) { FChecked = Value; }
    bool IsLine() const { return FCaption == "-"; }

    TMenuItem* Parent() const { return FParent; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Null out of range.
    TMenuItem* Items(int Index) const;
    int IndexOf(const TMenuItem* Item) const;
    // Takes the item at the end or at Index (clamped); answers it. Items
    // move between menus through Remove.
    TMenuItem* Add(std::unique_ptr<TMenuItem> Item);
    TMenuItem* Add(const std::string& ACaption, TNotifyEvent AOnClick = {});
    TMenuItem* Insert(int Index, std::unique_ptr<TMenuItem> Item);
    // Hands a sub-item back to the caller; null when it is not one.
    std::unique_ptr<TMenuItem> Remove(TMenuItem* Item);
    // Free the sub-item at Index, or all of them.
    void Delete(int Index);
    void Clear();
    // The sub-item whose caption matches, "&" markers and case aside.
    TMenuItem* Find(const std::string& ACaption) const;

    // Raises OnClick when the item is enabled.
    virtual void Click();
    TNotifyEvent OnClick;

protected:
    // A sub-item that goes leaves the list.
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::string FCaption;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    TMenuItem* FParent = nullptr;
    std::vector<TMenuItem*> FItems; // in menu order; owned as components
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner = nullptr);
    ~TPopupMenu() override;

    // The root item; the menu's entries are its sub-items.
    TMenuItem& Items() const { return *FItems; }
    // The component the menu last popped up for; cleared when it goes.
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* Value);

    // Raises OnPopup, then records the screen point and counts the popup.
    virtual void Popup(int X, int Y);
    int PopupCount() const { return FPopupCount; }
    TPoint PopupPoint() const { return FPopupPoint; }

    std::function<void(TPopupMenu* Menu, int X, int Y)> OnPopup;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Its popup component's link goes at once.
    void Withdraw() override;

private:
    TMenuItem* FItems = nullptr; // owned as a component
    TComponent* FPopupComponent = nullptr;
    int FPopupCount = 0;
    TPoint FPopupPoint;
};

} // namespace fw
