#include "Menus.h"

#include <algorithm>
#include <cctype>

namespace fw {

namespace {

// The caption as the user reads it: single "&" markers dropped, "&&" kept as "&", lower case.
std::string PlainCaption(const std::string& Caption) {
    std::string R;
    for (std::size_t I = 0; I < Caption.size(); ++I) {
        if (Caption[I] == '&' && ++I >= Caption.size()) break;
        R += static_cast<char>(std::tolower(static_cast<unsigned char>(Caption[I])));
    }
    return R;
}

} // namespace

TMenuItem::TMenuItem() : TComponent(nullptr) {}

TMenuItem::TMenuItem(const std::string& ACaption, TNotifyEvent AOnClick)
    : TComponent(nullptr), OnClick(std::move(AOnClick)), FCaption(ACaption) {}

TMenuItem::~TMenuItem() = default;

TMenuItem* TMenuItem::Items(int Index) const {
    return Index >= 0 && Index < Count() ? FItems[static_cast<std::size_t>(Index)].get() : nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    for (int I = 0; I < Count(); ++I)
        if (FItems[static_cast<std::size_t>(I)].get() == Item) return I;
    return -1;
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> Item) {
    return Insert(Count(), std::move(Item));
}

TMenuItem* TMenuItem::Add(const std::string& ACaption, TNotifyEvent AOnClick) {
    return Add(std::make_unique<TMenuItem>(ACaption, std::move(AOnClick)));
}

TMenuItem* TMenuItem::Insert(int Index, std::unique_ptr<TMenuItem> Item) {
    if (!Item) return nullptr;
    Item->FParent = this;
    const auto At = static_cast<std::ptrdiff_t>(std::clamp(Index, 0, Count()));
    return FItems.insert(FItems.begin() + At, std::move(Item))->get();
}

std::unique_ptr<TMenuItem> TMenuItem::Remove(TMenuItem* Item) {
    const int I = IndexOf(Item);
    if (I < 0) return nullptr;
    auto Taken = std::move(FItems[static_cast<std::size_t>(I)]);
    FItems.erase(FItems.begin() + I);
    Taken->FParent = nullptr;
    return Taken;
}

void TMenuItem::Delete(int Index) {
    Remove(Items(Index));
}

void TMenuItem::Clear() {
    FItems.clear();
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
    const std::string Wanted = PlainCaption(ACaption);
    for (const auto& Item : FItems)
        if (PlainCaption(Item->FCaption) == Wanted) return Item.get();
    return nullptr;
}

void TMenuItem::Click() {
    if (FEnabled) CallHandler(OnClick, this);
}

TPopupMenu::TPopupMenu(TComponent* AOwner)
    : TComponent(AOwner), FItems(std::make_unique<TMenuItem>()) {}

TPopupMenu::~TPopupMenu() {
    SetPopupComponent(nullptr);
}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
    if (Value == FPopupComponent) return;
    if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
    FPopupComponent = Value;
    if (FPopupComponent) FPopupComponent->FreeNotification(this);
}

void TPopupMenu::Popup(int X, int Y) {
    CallHandler(OnPopup, this, X, Y);
    FPopupPoint = TPoint{X, Y};
    ++FPopupCount;
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::Remove && AComponent == FPopupComponent) FPopupComponent = nullptr;
}

} // namespace fw
