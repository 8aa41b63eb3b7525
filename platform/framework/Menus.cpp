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
    return Index >= 0 && Index < Count() ? FItems[static_cast<std::size_t>(Index)] : nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    const auto It = std::find(FItems.begin(), FItems.end(), Item);
    return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> Item) {
    return Insert(Count(), std::move(Item));
}

TMenuItem* TMenuItem::Add(const std::string& ACaption, TNotifyEvent AOnClick) {
    return Add(std::make_unique<TMenuItem>(ACaption, std::move(AOnClick)));
}

TMenuItem* TMenuItem::Insert(int Index, std::unique_ptr<TMenuItem> Item) {
    if (!Item) return nullptr;
    TMenuItem* Added = Item.get();
    InsertComponent(std::move(Item));
    Added->FParent = this;
    const auto At = static_cast<std::ptrdiff_t>(std::clamp(Index, 0, Count()));
    FItems.insert(FItems.begin() + At, Added);
    return Added;
}

std::unique_ptr<TMenuItem> TMenuItem::Remove(TMenuItem* Item) {
    if (IndexOf(Item) < 0) return nullptr;
    std::unique_ptr<TComponent> Taken = RemoveComponent(Item); // it leaves the list
    return std::unique_ptr<TMenuItem>(static_cast<TMenuItem*>(Taken.release()));
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::Remove) return;
    const auto It = std::find(FItems.begin(), FItems.end(), AComponent);
    if (It == FItems.end()) return;
    (*It)->FParent = nullptr;
    FItems.erase(It);
}

void TMenuItem::Delete(int Index) {
    Free(Items(Index));
}

void TMenuItem::Clear() {
    for (TMenuItem* Item : std::vector<TMenuItem*>(FItems))
        Free(Item);
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
    const std::string Wanted = PlainCaption(ACaption);
    for (TMenuItem* Item : FItems)
        if (PlainCaption(Item->FCaption) == Wanted) return Item;
    return nullptr;
}

void TMenuItem::Click() {
    if (FEnabled) CallHandler(OnClick, this);
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {
    FItems = static_cast<TMenuItem*>(InsertComponent(std::make_unique<TMenuItem>()));
}

TPopupMenu::~TPopupMenu() {
    SetPopupComponent(nullptr);
}

void TPopupMenu::Withdraw() {
    SetPopupComponent(nullptr);
    TComponent::Withdraw();
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
