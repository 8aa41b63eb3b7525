#include "Classes.h"

#include "NoDestroy.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cctype>

namespace fw {

namespace {

bool (*gBusyTest)(const TComponent*) = nullptr;

// Frees put off while their components were busy with a message.
std::vector<TComponent*>& FreeLater() {
    static TNoDestroy<std::vector<TComponent*>> list;
    return *list;
}

// Components held by guards (null for one freed meanwhile).
std::vector<TComponent*>& Held() {
    static TNoDestroy<std::vector<TComponent*>> list;
    return *list;
}

bool HeldWithin(const TComponent* c) {
    for (const TComponent* h : Held())
        for (const TComponent* o = h; o; o = o->Owner())
            if (o == c) return true;
    return false;
}

} // namespace

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {}

TComponent::~TComponent() {
    SetState(TComponentStateItem::Destroying);
    std::erase(FreeLater(), this); // freed another way meanwhile
    std::replace(Held().begin(), Held().end(), this, static_cast<TComponent*>(nullptr));
    // Whoever asked to hear about us drops its reference now.
    auto notifies = std::move(FFreeNotifies);
    FFreeNotifies.clear();
    for (TComponent* c : notifies) {
        auto& back = c->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        c->Notification(this, TOperation::Remove);
    }
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> last = std::move(FComponents.back());
        FComponents.pop_back();
        last.reset(); // it still sees its owner, which is Destroying
    }
    if (FOwner) {
        // Deleted directly while still owned: leave the owner's list intact.
        auto& list = FOwner->FComponents;
        auto it = std::find_if(list.begin(), list.end(),
                               [this](const auto& p) { return p.get() == this; });
        if (it != list.end()) it->release(), list.erase(it);
        if (FOwner->FLoadList) std::erase(*FOwner->FLoadList, this);
        FOwner->Notification(this, TOperation::Remove);
    }
}

void TComponent::SetName(const std::string& Value) {
    if (Value == FName) return;
    if (!Value.empty() && FOwner) {
        TComponent* other = FOwner->FindComponent(Value);
        if (other && other != this)
            throw EComponentError("A component named " + Value + " already exists");
    }
    FName = Value;
}

void TComponent::DefineProperties(TFiler&) {}

namespace {

const TPropList& NoProperties() {
    static const TPropList None;
    return None;
}

} // namespace

const TPropList& TPersistent::PublishedProperties() const {
    return NoProperties();
}

const TPropList& PublishedProperties(const TObject& Object) {
    if (const auto* P = dynamic_cast<const TPersistent*>(&Object)) return P->PublishedProperties();
    return NoProperties();
}

const TPropInfo* FindPublishedProperty(const TObject& Object, std::string_view Name) {
    auto Same = [Name](const std::string& Other) {
        return Other.size() == Name.size() &&
               std::equal(Other.begin(), Other.end(), Name.begin(), [](char A, char B) {
                   return std::tolower(static_cast<unsigned char>(A)) ==
                          std::tolower(static_cast<unsigned char>(B));
               });
    };
    for (const TPropInfo& P : PublishedProperties(Object))
        if (Same(P.Name)) return &P;
    return nullptr;
}

void TComponent::Loaded() {
    ClearState(TComponentStateItem::Loading);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EComponentError("Component index out of bounds (" + std::to_string(Index) + ")");
    return FComponents[static_cast<std::size_t>(Index)].get();
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty()) return nullptr;
    for (const auto& c : FComponents)
        if (c->FName == AName) return c.get();
    return nullptr;
}

TComponent* TComponent::InsertComponent(std::unique_ptr<TComponent> AComponent) {
    if (!AComponent) return nullptr;
    TComponent* c = AComponent.get();
    if (c->FOwner && c->FOwner != this) {
        // Moving between owners: the old one lets go of its reference.
        auto& list = c->FOwner->FComponents;
        auto it =
            std::find_if(list.begin(), list.end(), [c](const auto& p) { return p.get() == c; });
        if (it != list.end()) it->release(), list.erase(it);
    }
    if (!c->FName.empty()) {
        TComponent* other = FindComponent(c->FName);
        if (other && other != c)
            throw EComponentError("A component named " + c->FName + " already exists");
    }
    c->FOwner = this;
    FComponents.push_back(std::move(AComponent));
    if (FLoadList && FCollecting) {
        c->SetState(TComponentStateItem::Loading);
        FLoadList->push_back(c);
    }
    Notification(c, TOperation::Insert);
    return c;
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* AComponent) {
    auto it = std::find_if(FComponents.begin(), FComponents.end(),
                           [AComponent](const auto& p) { return p.get() == AComponent; });
    if (it == FComponents.end()) return nullptr;
    std::unique_ptr<TComponent> result = std::move(*it);
    FComponents.erase(it);
    result->FOwner = nullptr;
    if (FLoadList) std::erase(*FLoadList, AComponent);
    Notification(AComponent, TOperation::Remove);
    return result;
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    Unlink(AComponent);
    AComponent->Unlink(this);
}

void TComponent::Unlink(TComponent* Other) {
    std::erase(FFreeNotifies, Other);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::LoadOwnedComponents(const std::function<void()>& build) {
    if (FLoadList) throw EComponentError("Components are already being loaded");
    std::vector<TComponent*> loaded;
    FLoadList = &loaded;
    FCollecting = true;
    SetState(TComponentStateItem::Loading);
    TScopeExit guard([this, &loaded] {
        FLoadList = nullptr;
        FCollecting = false;
        for (TComponent* c : loaded)
            c->ClearState(TComponentStateItem::Loading);
        ClearState(TComponentStateItem::Loading);
    });
    if (build) build();
    FCollecting = false; // components made by Loaded handlers are not part of the stream
    for (std::size_t i = 0; i < loaded.size();) {
        TComponent* c = loaded[i];
        c->Loaded();
        if (i < loaded.size() && loaded[i] == c) ++i; // it may have freed itself
    }
    Loaded();
}

TFreeGuard::TFreeGuard(TComponent* AComponent) {
    Held().push_back(AComponent);
}

TFreeGuard::~TFreeGuard() {
    auto& held = Held();
    held.pop_back();
    // The last hold let go outside any message: what was put off goes now.
    if (held.empty() && !(gBusyTest && gBusyTest(nullptr))) {
        try {
            FreeDeferred();
        } catch (...) {
            // A destructor's handler failing is not the guard's to report.
        }
    }
}

void SetBusyTest(bool (*Test)(const TComponent* AComponent)) {
    gBusyTest = Test;
}

void FreeDeferred() {
    auto& later = FreeLater();
    // Each waiting free is tried once: one still held goes back to wait for
    // its guard (trying it again here would never end).
    for (std::size_t tries = later.size(); tries > 0 && !later.empty(); --tries) {
        TComponent* c = later.front();
        later.erase(later.begin());
        Free(c);
    }
}

void Free(TComponent* AComponent) {
    if (!AComponent) return;
    if (HeldWithin(AComponent) || (gBusyTest && gBusyTest(AComponent))) {
        auto& later = FreeLater();
        if (std::find(later.begin(), later.end(), AComponent) == later.end())
            later.push_back(AComponent);
        return;
    }
    if (TComponent* owner = AComponent->Owner()) {
        owner->RemoveComponent(AComponent).reset();
        return;
    }
    delete AComponent;
}

} // namespace fw
