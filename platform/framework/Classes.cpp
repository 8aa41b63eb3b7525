#include "Classes.h"

#include "Messages.h"
#include "NoDestroy.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

namespace fw {

namespace {

// A hold: what it names (null: nothing, or a component deleted meanwhile by
// other means) and whether it still runs.
struct THold {
    TComponent* Component;
    bool Live;
};

// What the framework and guards hold now, outermost first. A hold that ends
// below one still running stays, dead, until that one ends too; the list is
// empty exactly when nothing is held.
std::vector<THold>& Holds() {
    static TNoDestroy<std::vector<THold>> list;
    return *list;
}

bool gFreeingLater = false;
// Memory is being released: the destructors' own calls and handlers run.
int gReleasing = 0;

} // namespace

// What one Free takes away: the component and all that goes with it, the
// component first; the memory of what it took out of owners outside; and
// whether a running call holds any of it (or a child it lets go of).
struct TFreeing {
    std::vector<TComponent*> Parts;
    std::vector<std::unique_ptr<TComponent>> Memory;
    bool Held = false;

    // Collects and marks what goes: what each part owns, and what it
    // contains that is owned (elsewhere or by a part).
    explicit TFreeing(TComponent* Root) {
        Add(Root);
        std::vector<TComponent*> Contained;
        for (std::size_t I = 0; I < Parts.size(); ++I) {
            const TComponent* C = Parts[I];
            for (const auto& Owned : C->FComponents)
                Add(Owned.get());
            Contained.clear();
            C->GetContained(Contained);
            for (TComponent* X : Contained)
                if (X->FOwner)
                    Add(X);
                else
                    Held = Held || X->FHolds > 0;
        }
    }
    void Add(TComponent* C) {
        Held = Held || C->FHolds > 0;
        if (C->InState(TComponentStateItem::Destroying)) return; // going already
        C->SetState(TComponentStateItem::Destroying);
        Parts.push_back(C);
    }
    // Takes C out of its owner (an owner that goes too keeps it).
    void TakeFromOwner(TComponent* C, TWholeSteps& Steps) {
        TComponent* Owner = C->FOwner;
        if (!Owner) return;
        std::unique_ptr<TComponent> Taken = Owner->Extract(C);
        if (!Taken) return; // never handed over: its maker frees it
        Memory.push_back(std::move(Taken));
        Steps.Take([Owner, C] { Owner->Notify(C, TOperation::Remove); });
    }
    void TearDown(TWholeSteps& Steps) {
        for (TComponent* C : Parts)
            Steps.Take([C] { C->BeforeDestruction(); });
        // From here on nothing reaches them, their own withdrawal included,
        // as nothing reaches the parts a destructor has already run through.
        for (TComponent* C : Parts)
            C->FGone = true;
        const std::unordered_set<const TComponent*> Going(Parts.begin(), Parts.end());
        for (auto It = Parts.rbegin(); It != Parts.rend(); ++It) {
            TComponent* C = *It;
            if (C->FOwner && !Going.contains(C->FOwner)) TakeFromOwner(C, Steps);
            Steps.Take([C] { C->Withdraw(); });
            Held = Held || C->FHolds > 0;
        }
    }
    // Deletes what was taken, the component last; what it owns goes with it.
    void Release() {
        ++gReleasing;
        TScopeExit Done([] { --gReleasing; });
        while (!Memory.empty()) {
            std::unique_ptr<TComponent> Last = std::move(Memory.back());
            Memory.pop_back();
        }
    }
};

namespace {

// Frees whose memory waits for nothing to be held.
std::vector<TFreeing>& Waiting() {
    static TNoDestroy<std::vector<TFreeing>> list;
    return *list;
}

} // namespace

bool Gone(const TComponent* AComponent) {
    return AComponent && IsUserInterfaceThread() && AComponent->FGone && gReleasing == 0;
}

std::size_t TCallHold::Push(TComponent* AComponent) {
    if (!IsUserInterfaceThread()) return NotHeld;
    auto& holds = Holds();
    holds.push_back(THold{AComponent, true});
    if (AComponent) ++AComponent->FHolds;
    return holds.size() - 1;
}

void TCallHold::Release(std::size_t ADepth, std::size_t ACount) {
    if (ADepth == NotHeld) return;
    auto& holds = Holds();
    for (std::size_t I = ADepth; I < ADepth + ACount && I < holds.size(); ++I) {
        if (TComponent* C = holds[I].Component) --C->FHolds;
        holds[I] = THold{nullptr, false};
    }
    while (!holds.empty() && !holds.back().Live)
        holds.pop_back();
}

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {}

TComponent::~TComponent() {
    SetState(TComponentStateItem::Destroying);
    // Deleted directly while held: no hold names it any more.
    if (FHolds > 0)
        for (THold& H : Holds())
            if (H.Component == this) H.Component = nullptr;
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
    // while the others hear: one's Notification may free another. All hear,
    // whatever one of them throws.
    const THeldList<TComponent> notifies(FFreeNotifies);
    FFreeNotifies.clear();
    TWholeSteps steps;
    for (TComponent* c : notifies) {
        std::erase(c->FFreeNotifies, this);
        steps.Take([this, c] { c->Notify(this, TOperation::Remove); });
    }
    steps.Finish();
}

void TComponent::Notify(TComponent* AComponent, TOperation Operation) {
    if (Gone(this)) return;
    const TCallHold hold(this);
    RunHandlerProbe();
    if (!Gone(this)) Notification(AComponent, Operation); // the probe may free it
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

std::unique_ptr<TComponent> TComponent::Extract(TComponent* AComponent) {
    auto it = std::find_if(FComponents.begin(), FComponents.end(),
                           [AComponent](const auto& p) { return p.get() == AComponent; });
    if (it == FComponents.end()) return nullptr;
    std::unique_ptr<TComponent> result = std::move(*it);
    FComponents.erase(it);
    result->FOwner = nullptr;
    if (FLoadList) std::erase(*FLoadList, AComponent);
    return result;
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* AComponent) {
    std::unique_ptr<TComponent> result = Extract(AComponent);
    if (result) Notify(AComponent, TOperation::Remove);
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

void TComponent::Withdraw() {
    // Idle handlers are keyed by the object that added them, as its class sees it.
    RemoveIdleHandler(this);
    RemoveIdleHandler(dynamic_cast<const void*>(this));
    NotifyFreed();
}

void TComponent::GetContained(std::vector<TComponent*>&) const {}

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
    TCallHold::Release(FDepth, 1);
    try {
        FreeDeferred(); // the outermost hold let go: what waited goes now
    } catch (...) {
        ReportLeaveStepError();
    }
}

void FreeDeferred() {
    if (!IsUserInterfaceThread() || !Holds().empty() || gFreeingLater) return;
    gFreeingLater = true;
    TScopeExit done([] { gFreeingLater = false; });
    // Frees that destructors put off meanwhile join the end of the list.
    auto& waiting = Waiting();
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        TFreeing going = std::move(waiting[i]);
        going.Release();
    }
    waiting.clear();
}

void Free(TComponent* AComponent) {
    if (!AComponent || AComponent->InState(TComponentStateItem::Destroying)) return;
    TFreeing going(AComponent);
    TWholeSteps steps;
    // Out of its owner first, as a delete would: the name is free again.
    if (AComponent->Owner())
        going.TakeFromOwner(AComponent, steps);
    else
        going.Memory.emplace_back(AComponent); // the caller handed it over
    going.TearDown(steps);
    if (going.Held)
        Waiting().push_back(std::move(going));
    else
        going.Release();
    steps.Finish();
}

} // namespace fw
