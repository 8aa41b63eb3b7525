#include "Classes.h"

#include "Messages.h"
#include "NoDestroy.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>
#include <utility>

namespace fw {

namespace {

// What the framework and guards hold now, outermost first (null for one freed
// meanwhile by other means).
std::vector<TComponent*>& Holds() {
    static TNoDestroy<std::vector<TComponent*>> list;
    return *list;
}

// Frees put off while their components were held (null: gone meanwhile).
std::vector<TComponent*>& FreeLater() {
    static TNoDestroy<std::vector<TComponent*>> list;
    return *list;
}

bool gFreeingLater = false;

// Whether freeing Outer would free something held: a held component is Outer,
// or lies in it through owners and parents. Each ancestor is looked at once.
bool HeldWithin(const TComponent* Outer) {
    std::unordered_set<const TComponent*> Seen;
    std::vector<const TComponent*> Next;
    for (const TComponent* H : Holds())
        if (H && Seen.insert(H).second) Next.push_back(H);
    while (!Next.empty()) {
        const TComponent* C = Next.back();
        Next.pop_back();
        if (C == Outer) return true;
        for (const TComponent* Up : {C->Owner(), C->GetParentComponent()})
            if (Up && Seen.insert(Up).second) Next.push_back(Up);
    }
    return false;
}

} // namespace

std::size_t TCallHold::Push(TComponent* AComponent) {
    if (!IsUserInterfaceThread()) return NotHeld;
    auto& holds = Holds();
    holds.push_back(AComponent);
    if (AComponent) ++AComponent->FHolds;
    return holds.size() - 1;
}

void TCallHold::PopTo(std::size_t ADepth) {
    if (ADepth == NotHeld) return;
    auto& holds = Holds();
    while (holds.size() > ADepth) {
        if (TComponent* C = holds.back()) --C->FHolds;
        holds.pop_back();
    }
}

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {}

TComponent::~TComponent() {
    SetState(TComponentStateItem::Destroying);
    // Freed another way meanwhile: no hold or waiting free names it any more.
    auto* none = static_cast<TComponent*>(nullptr);
    if (FFreePending) std::replace(FreeLater().begin(), FreeLater().end(), this, none);
    if (FHolds > 0) std::replace(Holds().begin(), Holds().end(), this, none);
    NotifyFreed();
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> last = std::move(FComponents.back());
        FComponents.pop_back();
        last->SetState(TComponentStateItem::Destroying);
        last.reset(); // it still sees its owner, which is Destroying
    }
    if (FOwner) {
        // Deleted directly while still owned: leave the owner's list intact.
        auto& list = FOwner->FComponents;
        auto it = std::find_if(list.begin(), list.end(),
                               [this](const auto& p) { return p.get() == this; });
        if (it != list.end()) it->release(), list.erase(it);
        if (FOwner->FLoadList) std::erase(*FOwner->FLoadList, this);
        FOwner->Notify(this, TOperation::Remove);
    }
}

void TComponent::NotifyFreed() {
    // Whoever asked to hear about us drops its reference now. Each is held
    // while the others hear: one's Notification may free another.
    const THeldList<TComponent> notifies(FFreeNotifies);
    FFreeNotifies.clear();
    for (TComponent* c : notifies) {
        std::erase(c->FFreeNotifies, this);
        c->Notify(this, TOperation::Remove);
    }
}

void TComponent::Notify(TComponent* AComponent, TOperation Operation) {
    const TCallHold hold(this);
    RunHandlerProbe();
    Notification(AComponent, Operation);
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
    Notify(c, TOperation::Insert);
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
    Notify(AComponent, TOperation::Remove);
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

TFreeGuard::TFreeGuard(TComponent* AComponent) : FDepth(TCallHold::Push(AComponent)) {}

TFreeGuard::~TFreeGuard() {
    TCallHold::PopTo(FDepth);
    try {
        FreeDeferred(); // the outermost hold let go: what was put off goes now
    } catch (...) {
        ReportLeaveStepError();
    }
}

void FreeDeferred() {
    if (!IsUserInterfaceThread() || !Holds().empty() || gFreeingLater) return;
    gFreeingLater = true;
    TScopeExit done([] { gFreeingLater = false; });
    // Frees that destructors put off meanwhile join the end of the list.
    auto& later = FreeLater();
    for (std::size_t i = 0; i < later.size(); ++i)
        if (TComponent* c = std::exchange(later[i], nullptr)) {
            c->FFreePending = false;
            Free(c);
        }
    later.clear();
}

void Free(TComponent* AComponent) {
    if (!AComponent || AComponent->InState(TComponentStateItem::Destroying)) return;
    if (AComponent->FHolds > 0 || HeldWithin(AComponent)) {
        if (!AComponent->FFreePending) FreeLater().push_back(AComponent);
        AComponent->FFreePending = true;
        return;
    }
    AComponent->SetState(TComponentStateItem::Destroying);
    if (TComponent* owner = AComponent->Owner()) {
        owner->RemoveComponent(AComponent).reset();
        return;
    }
    delete AComponent;
}

} // namespace fw
