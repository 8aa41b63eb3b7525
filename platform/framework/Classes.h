#pragma once
// Components: named, tagged objects that own other components and free them
// with themselves.
#include "Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fw {

class TFiler;

class EComponentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TComponentStateItem { Loading, Designing, Destroying };
enum class TOperation { Insert, Remove };

class TComponent : public TObject {
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

    // Asks AComponent to tell this one (Notification with Remove) when it goes.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Runs build with Loading set on this component and on every component
    // it comes to own meanwhile, then calls Loaded on those in creation order
    // and on this one last.
    void LoadOwnedComponents(const std::function<void()>& build);

private:
    static unsigned Bit(TComponentStateItem Item) { return 1u << static_cast<unsigned>(Item); }
    void Unlink(TComponent* Other);

    TComponent* FOwner;
    std::string FName;
    std::intptr_t FTag = 0;
    unsigned FState = 0;
    std::vector<std::unique_ptr<TComponent>> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::vector<TComponent*>* FLoadList = nullptr;
    bool FCollecting = false;
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
// holder). A component busy with a message (its window, or a window inside or
// owned by it, is handling one: a handler freeing the control that called it)
// is freed once no window is handling a message any more.
void Free(TComponent* AComponent);

// Holds a component for a scope: Free puts off freeing it, or a component it
// belongs to, until the scope ends (code that fires a handler which may free
// the object running it, outside the object's own messages).
class TFreeGuard {
public:
    explicit TFreeGuard(TComponent* AComponent);
    ~TFreeGuard();
    TFreeGuard(const TFreeGuard&) = delete;
    TFreeGuard& operator=(const TFreeGuard&) = delete;
};

// The window layer's part in Free: whether a component is busy with a message
// (with null: whether any window is handling one), and the frees put off
// meanwhile, run when the last message is done.
void SetBusyTest(bool (*Test)(const TComponent* AComponent));
void FreeDeferred();

} // namespace fw
