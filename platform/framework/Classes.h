#pragma once
// Persistent objects, whose classes publish properties by name, and
// components: named, tagged objects that own other components and free them
// with themselves.
#include "Types.h"

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace fw {

class EPropertyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A published property: its name and its class's getter and setter. The value
// travels as a std::any of the property's own type (an ordinal, a number, a
// text, a handler, a variant, an object reference), so that code knowing only
// the objects can read a property of one and set it on another of its class.
struct TPropInfo {
    std::string Name;
    std::function<std::any(const TObject&)> Get;
    // Raises EPropertyError for an object of another class or a value of another type.
    std::function<void(TObject&, const std::any&)> Set;
};
using TPropList = std::vector<TPropInfo>;

// An object whose class publishes properties (none unless it says otherwise).
class TPersistent : public TObject {
public:
    virtual const TPropList& PublishedProperties() const;
};

// The published properties of any object (none for one that is not persistent).
const TPropList& PublishedProperties(const TObject& Object);
// The published property of that name, case ignored; null when there is none.
const TPropInfo* FindPublishedProperty(const TObject& Object, std::string_view Name);

// Object as a C, or EPropertyError naming the property.
template <class C> C& PublishedObject(TObject& Object, const std::string& Name) {
    if (auto* P = dynamic_cast<C*>(&Object)) return *P;
    throw EPropertyError("Property " + Name + " does not belong to this object");
}
template <class C> const C& PublishedObject(const TObject& Object, const std::string& Name) {
    if (auto* P = dynamic_cast<const C*>(&Object)) return *P;
    throw EPropertyError("Property " + Name + " does not belong to this object");
}

// A property of class C read by Get and written by Set (member functions or callables).
template <class C, class G, class S> TPropInfo PublishedProperty(std::string Name, G Get, S Set) {
    using V = std::remove_cvref_t<std::invoke_result_t<G, const C&>>;
    TPropInfo P;
    P.Name = std::move(Name);
    P.Get = [Get, Name = P.Name](const TObject& O) -> std::any {
        return V(std::invoke(Get, PublishedObject<C>(O, Name)));
    };
    P.Set = [Set, Name = P.Name](TObject& O, const std::any& A) {
        const V* Value = std::any_cast<V>(&A);
        if (!Value) throw EPropertyError("Invalid value for property " + Name);
        std::invoke(Set, PublishedObject<C>(O, Name), *Value);
    };
    return P;
}

class TFiler;

class EComponentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TComponentStateItem { Loading, Designing, Destroying };
enum class TOperation { Insert, Remove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }

    bool InState(TComponentStateItem Item) const { return (FState & Bit(Item)) != 0; }
    void SetState(TComponentStateItem Item) { FState |= Bit(Item); }
    void ClearState(TComponentStateItem Item) { FState &= ~Bit(Item); }

    // Called once the component and its stored properties are all in place.
    virtual void Loaded();
    // Called by Create once the most derived constructor has run: virtual
    // calls reach the final class here, as they do not in a constructor.
    virtual void AfterConstruction() {}
    // Names the extra stored values the component reads and writes itself (Filer.h).
    virtual void DefineProperties(TFiler& Filer);

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const;
    TComponent* FindComponent(const std::string& AName) const;
    TComponent* InsertComponent(std::unique_ptr<TComponent> AComponent);
    // Hands an owned component back to the caller; null when not owned here.
    std::unique_ptr<TComponent> RemoveComponent(TComponent* AComponent);

    // The component this one lies in besides its owner (a control's parent);
    // it goes with either.
    virtual TComponent* GetParentComponent() const { return nullptr; }

    // Asks AComponent to tell this one (Notification with Remove) when it goes.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Runs build with Loading set on this component and on every component
    // it comes to own meanwhile, then calls Loaded on those in creation order
    // and on this one last.
    void LoadOwnedComponents(const std::function<void()>& build);

    // A free's steps (Free below), run for the component freed and for all
    // that goes with it before any memory goes: BeforeDestruction for each,
    // the component first (a form's OnDestroy), then Withdraw for each, what
    // lies inside first: it leaves every list, link and input state the
    // program could reach it through. A destructor takes the same steps for
    // a component deleted directly; after a free they find nothing to do.
    virtual void BeforeDestruction() {}
    virtual void Withdraw();
    // What lies in this component besides what it owns (a control's
    // children): those owned elsewhere go with it, the others are let go.
    virtual void GetContained(std::vector<TComponent*>& List) const;

private:
    friend class TCallHold;
    friend struct TFreeing;
    friend bool Gone(const TComponent* AComponent);
    static unsigned Bit(TComponentStateItem Item) { return 1u << static_cast<unsigned>(Item); }
    void Unlink(TComponent* Other);
    // Tells the components that asked (FreeNotification) that this one goes.
    void NotifyFreed();
    // Notification, holding this component meanwhile.
    void Notify(TComponent* AComponent, TOperation Operation);
    // Takes an owned component out of the list, telling nobody.
    std::unique_ptr<TComponent> Extract(TComponent* AComponent);

    TComponent* FOwner;
    std::string FName;
    std::intptr_t FTag = 0;
    unsigned FState = 0;
    std::vector<std::unique_ptr<TComponent>> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::vector<TComponent*>* FLoadList = nullptr;
    bool FCollecting = false;
    int FHolds = 0;     // entries of the hold stack naming it
    bool FGone = false; // freed; its memory waits for the message loop
};

// Constructs T(owner, args...), calls its AfterConstruction, gives it to
// owner (when not null) and returns it. Made otherwise (std::make_unique), a
// component has AfterConstruction called by whoever made it.
template <class T, class... A> T* Create(TComponent* owner, A&&... args) {
    auto c = std::make_unique<T>(owner, std::forward<A>(args)...);
    T* raw = c.get();
    raw->AfterConstruction();
    if (owner)
        owner->InsertComponent(std::move(c));
    else
        c.release(); // a caller that passes no owner takes the object
    return raw;
}

// Frees a component that its owner holds (or that has no owner and no other
// holder); one already on its way out is left to go. Everything the program
// can observe happens at once: the component and all it owns or contains are
// marked Destroying, its owner lets go of it (its name is free again), a
// form's OnDestroy and the free notifications fire, and each leaves its parent,
// the top-level windows and the input state (focus, capture, the control
// under the mouse, a hint, a drag); from then on no message, paint, timer or
// handler reaches any of them. Only the memory waits while the framework or a
// guard holds anything that goes (TCallHold: a message to it, its paint, its
// handler, a walk over its siblings): it is released at the next step of the
// message loop (a message pumped, an input event, a timer), at the end of
// the outermost guard, or when the application object goes or destroys its
// forms at unload, whichever comes first once nothing holds anything. The
// memory goes once, and a component that waits is never freed again (it is
// Destroying). So the code that called out goes on with a whole object,
// whatever a handler freed. A handler that throws while a component goes does
// not stop the free; the first exception reaches Free's caller once all is gone.
void Free(TComponent* AComponent);

// Holds a component for a scope, as the framework holds what it calls into;
// the outermost guard's end also releases what waited meanwhile (code that
// fires a handler which may free the object running it, outside a message).
class TFreeGuard {
public:
    explicit TFreeGuard(TComponent* AComponent);
    ~TFreeGuard();
    TFreeGuard(const TFreeGuard&) = delete;
    TFreeGuard& operator=(const TFreeGuard&) = delete;

private:
    std::size_t FDepth;
};

// A step of the message loop (a message pumped, an input event delivered, a
// timer fired): when it ends with nothing held, what waited meanwhile goes.
class TLoopStep : public TFreeGuard {
public:
    TLoopStep() : TFreeGuard(nullptr) {}
};

// Releases the memory of what was freed while held, when nothing is held.
void FreeDeferred();

} // namespace fw
